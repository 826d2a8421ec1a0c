// Fuzz target: the node stress file reader (.nds). The first line of the
// input holds the node count and the load-case count (any 64-bit values,
// saturated); the rest is the file.

#include <cstdint>
#include <string>

#include "fuzz_support.hpp"
#include "input/node_stress_file.hpp"

using namespace korvanel;
using korvanel::fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text = fuzz::asText(data, size);
    std::string_view header = fuzz::takeHeaderLine(text);
    const std::int64_t nodeCount = fuzz::nextHeaderNumber(header);
    const std::int64_t loadCaseCount = fuzz::nextHeaderNumber(header);
    InputText in = inputTextFromString("job/j.nds", std::string(text));
    try {
        NodeStressTable t = readNodeStressFile(in, nodeCount, loadCaseCount);
        // What the node loop relies on when it indexes the tables.
        require(t.nodeCount == nodeCount && t.loadCaseCount == loadCaseCount, "counts kept");
        require(nodeCount >= 0 && loadCaseCount >= 0, "negative count accepted");
        const auto nodes = static_cast<std::uint64_t>(nodeCount);
        require(t.nodes.size() == nodes && t.baseStress.size() == nodes, "node table size");
        require(t.loadCaseStress.size() == nodes * static_cast<std::uint64_t>(loadCaseCount),
                "load-case table size");
    } catch (const FatalStop& stop) {
        fuzz::checkStop(stop);
    }
    return 0;
}
