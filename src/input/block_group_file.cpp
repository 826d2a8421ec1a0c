#include "input/block_group_file.hpp"

namespace korvanel {

std::vector<BlockGroup> readBlockGroupFile(const std::string& path) {
    return readInputFile(path, [&](InputText& in) { return readBlockGroupFile(in); });
}

std::vector<BlockGroup> readBlockGroupFile(InputText& in) {
    std::vector<BlockGroup> groups;
    while (!atEnd(in)) {
        BlockGroup group;
        group.firstBlock = readInteger(in);
        group.lastBlock = readInteger(in);
        groups.push_back(group);
    }
    return groups;
}

}  // namespace korvanel
