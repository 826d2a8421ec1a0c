#include "input/node_stress_file.hpp"

#include <algorithm>
#include <utility>
#include <vector>

#include "run/fatal_stop.hpp"
#include "run/text_output.hpp"

namespace korvanel {

namespace {

const char* const sizeMessage =
    "Please check number of nodes and loadcases and size of .nds file, they look not coherent";
const char* const numberingMessage =
    "Please check the nodes numbering in the .nds file, it looks not coherent";

// The first line of block 2 or later whose IDs differ from block 1.
struct NumberingMismatch {
    bool found = false;
    bool ofMaterialId = false;  // the node IDs agreed, the material IDs did not
    std::int64_t valueRead = 0;
};

// Everything one read of the file yields before the checks.
struct NodeStressScan {
    std::int64_t groupCount = 0;
    std::vector<NodeEntry> nodes;        // block 1
    std::vector<Stress6> baseStress;     // block 1
    std::vector<Stress6> loadCaseRows;   // blocks 2..: file order, [lc * nodeCount + n]
    NumberingMismatch firstMismatch;
};

// (loadCaseCount + 1) * nodeCount, or -1 when the counts cannot describe any file.
std::int64_t expectedGroupCount(std::int64_t nodeCount, std::int64_t loadCaseCount) {
    std::int64_t blocks = 0;
    std::int64_t groups = 0;
    if (nodeCount < 0 || loadCaseCount < 0) return -1;
    if (__builtin_add_overflow(loadCaseCount, 1, &blocks)) return -1;
    if (__builtin_mul_overflow(blocks, nodeCount, &groups)) return -1;
    return groups;
}

// Converts every value of the file (so that a number out of range anywhere
// stops the run first) and keeps the groups that a coherent file holds.
// The numbering is compared on the way; its verdict waits for the count check.
NodeStressScan scanNodeStress(InputText& in, std::int64_t nodeCount, std::int64_t loadCaseCount) {
    NodeStressScan scan;
    const std::int64_t expected = expectedGroupCount(nodeCount, loadCaseCount);
    if (expected > 0) {
        // Room for the expected groups, but never more than about one group per
        // 64 bytes of the file: counts the file does not back cost nothing.
        const std::int64_t backed = static_cast<std::int64_t>(in.data.size() / 64) + 1;
        const std::int64_t total = std::min(expected, backed);
        const std::int64_t firstBlock = std::min(nodeCount, total);
        scan.nodes.reserve(static_cast<std::size_t>(firstBlock));
        scan.baseStress.reserve(static_cast<std::size_t>(firstBlock));
        scan.loadCaseRows.reserve(static_cast<std::size_t>(total - firstBlock));
    }
    std::int64_t group = 0;
    std::int64_t nodeInBlock = 0;  // position of the group within its block
    while (!atEnd(in)) {
        NodeEntry entry;
        entry.nodeId = readInteger(in);
        entry.nodeMaterialId = readInteger(in);
        Stress6 stress;
        for (int k = 0; k < 6; ++k) stress[k] = readReal(in);
        // Groups past the expected count only matter to the count check.
        if (group < expected) {
            if (group < nodeCount) {
                scan.nodes.push_back(entry);
                scan.baseStress.push_back(stress);
            } else if (!scan.firstMismatch.found) {
                const NodeEntry& first = scan.nodes[static_cast<std::size_t>(nodeInBlock)];
                if (entry.nodeId != first.nodeId)
                    scan.firstMismatch = {true, false, entry.nodeId};
                else if (entry.nodeMaterialId != first.nodeMaterialId)
                    scan.firstMismatch = {true, true, entry.nodeMaterialId};
                else
                    scan.loadCaseRows.push_back(stress);
            }
        }
        ++group;
        if (++nodeInBlock == nodeCount) nodeInBlock = 0;
    }
    scan.groupCount = group;
    return scan;
}

FatalStop numberingStop(const NumberingMismatch& mismatch) {
    OutputChannel line;  // no file: only renders the console line
    putText(line, mismatch.ofMaterialId ? "ndummy3" : "ndummy2");
    putZone(line);
    putInteger(line, mismatch.valueRead);
    return FatalStop{{line.buffer, numberingMessage}, {numberingMessage}};
}

NodeStressTable checkAndArrange(NodeStressScan&& scan, std::int64_t nodeCount,
                                std::int64_t loadCaseCount) {
    if (scan.groupCount != expectedGroupCount(nodeCount, loadCaseCount))
        throw fatalStop(sizeMessage);
    if (scan.firstMismatch.found) throw numberingStop(scan.firstMismatch);

    NodeStressTable table;
    table.nodeCount = nodeCount;
    table.loadCaseCount = loadCaseCount;
    table.nodes = std::move(scan.nodes);
    table.baseStress = std::move(scan.baseStress);
    // The file lists load case by load case; the table keeps each node's
    // load cases together.
    const std::size_t nodes = static_cast<std::size_t>(nodeCount);
    const std::size_t cases = static_cast<std::size_t>(loadCaseCount);
    table.loadCaseStress.reserve(nodes * cases);
    for (std::size_t n = 0; n < nodes; ++n)
        for (std::size_t lc = 0; lc < cases; ++lc)
            table.loadCaseStress.push_back(scan.loadCaseRows[lc * nodes + n]);
    return table;
}

}  // namespace

NodeStressTable readNodeStressFile(const std::string& path, std::int64_t nodeCount,
                                   std::int64_t loadCaseCount) {
    NodeStressScan scan;
    {
        InputText in = openInputText(path);
        scan = scanNodeStress(in, nodeCount, loadCaseCount);
    }  // the file's text is released before the tables are arranged
    return checkAndArrange(std::move(scan), nodeCount, loadCaseCount);
}

NodeStressTable readNodeStressFile(InputText& in, std::int64_t nodeCount,
                                   std::int64_t loadCaseCount) {
    return checkAndArrange(scanNodeStress(in, nodeCount, loadCaseCount), nodeCount,
                           loadCaseCount);
}

}  // namespace korvanel
