#include "input/block_group_file.hpp"

#include "base/value_warnings.hpp"

namespace korvanel {

std::vector<BlockGroup> readBlockGroupFile(const std::string& path, InputWarnings* warnings) {
    return readInputFile(path, warnings, [&](InputText& in) { return readBlockGroupFile(in); });
}

std::vector<BlockGroup> readBlockGroupFile(InputText& in) {
    skipByteOrderMark(in);
    std::vector<BlockGroup> groups;
    std::size_t lastGroupStart = in.position();
    while (!atEnd(in)) {
        lastGroupStart = in.position();
        BlockGroup group;
        group.firstBlock = readInteger(in);
        group.lastBlock = readInteger(in);
        groups.push_back(group);
    }
    warnIfLastGroupShort(in, lastGroupStart, static_cast<std::int64_t>(groups.size()), 2,
                         "block group");
    return groups;
}

}  // namespace korvanel
