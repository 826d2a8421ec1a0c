// Fuzz target: the block group file reader (.btf).

#include <cstdint>
#include <string>

#include "fuzz_support.hpp"
#include "input/block_group_file.hpp"

using namespace korvanel;
using korvanel::fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    InputText in = inputTextFromString("job/j.btf", std::string(fuzz::asText(data, size)));
    try {
        std::vector<BlockGroup> groups = readBlockGroupFile(in);
        require(groups.size() <= size, "more groups than the file holds");
        require(size > 0 || groups.empty(), "groups from an empty file");
    } catch (const FatalStop& stop) {
        fuzz::checkStop(stop);
    }
    return 0;
}
