#include "input/node_stress_file.hpp"

#include <algorithm>
#include <new>
#include <stdexcept>
#include <utility>
#include <vector>

#include "base/fatal_stop.hpp"
#include "base/large_tables.hpp"
#include "base/text_output.hpp"
#include "base/value_warnings.hpp"

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
    std::int64_t valueInBlock1 = 0;
    std::int64_t block = 0;     // 2 or later
    std::int64_t node = 0;      // node index, from 1
    std::size_t position = 0;   // where its line starts in the file
    std::string where;          // "<path> line L", when the numbering stop will be made
};

// Everything one read of the file yields before the checks.
struct NodeStressScan {
    std::int64_t groupCount = 0;
    bool tablesFilled = false;           // the file could hold the expected groups
    bool tablesTooLarge = false;         // ... but the tables could not be had
    NodeStressTable table;
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

// Every group but the last takes at least eight bytes of the file (one
// separator per value), so a file of n bytes holds at most n / 8 + 1 groups.
bool fileCanHold(const InputText& in, std::int64_t groups) {
    return groups >= 0 && static_cast<std::uint64_t>(groups) <= in.size() / 8 + 1;
}

// Bytes of the node tables for the expected number of groups.
unsigned __int128 tableBytes(std::int64_t nodeCount, std::int64_t groups) {
    using Wide = unsigned __int128;
    return Wide(nodeCount) * (sizeof(NodeEntry) + sizeof(Stress6)) +
           Wide(groups - nodeCount) * sizeof(Stress6);
}

// Sizes the node tables for a file that can hold the expected groups; false
// when they would need more than the memory limit or cannot be allocated.
bool sizeTables(NodeStressTable& t, std::int64_t nodeCount, std::int64_t loadCaseCount,
                std::int64_t groups, std::uint64_t memoryLimit) {
    if (tableBytes(nodeCount, groups) > memoryLimit) return false;
    try {
        t.nodeCount = nodeCount;
        t.loadCaseCount = loadCaseCount;
        resizeLargeTable(t.nodes, static_cast<std::size_t>(nodeCount));
        resizeLargeTable(t.baseStress, static_cast<std::size_t>(nodeCount));
        resizeLargeTable(t.loadCaseStress, static_cast<std::size_t>(groups - nodeCount));
        return true;
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    t = NodeStressTable{};
    return false;
}

// Converts every value of the file (so that a number out of range anywhere
// stops the run first) and stores the groups of a coherent file straight
// into the node tables; the tables are sized only when the file is large
// enough to hold the counts. The numbering is compared on the way; its
// verdict waits for the count check, and so does a failure to size the tables.
NodeStressScan scanNodeStress(InputText& in, std::int64_t nodeCount, std::int64_t loadCaseCount,
                              std::uint64_t memoryLimit) {
    NodeStressScan scan;
    NodeStressTable& t = scan.table;
    const std::int64_t expected = expectedGroupCount(nodeCount, loadCaseCount);
    if (expected > 0 && fileCanHold(in, expected)) {
        scan.tablesFilled = sizeTables(t, nodeCount, loadCaseCount, expected, memoryLimit);
        scan.tablesTooLarge = !scan.tablesFilled;
    }
    constexpr std::int64_t kReleaseEvery = 1 << 16;  // groups between giving back read text
    skipByteOrderMark(in);
    std::int64_t group = 0;
    std::int64_t block = 0;        // 0: base stresses, lc + 1: load case lc
    std::int64_t nodeInBlock = 0;  // position of the group within its block
    std::size_t groupStart = in.position();
    while (!atEnd(in)) {
        groupStart = in.position();
        NodeEntry entry;
        entry.nodeId = readInteger(in);
        entry.nodeMaterialId = readInteger(in);
        Stress6 stress;
        for (int k = 0; k < 6; ++k) stress[k] = readReal(in);
        // Groups past the expected count only matter to the count check.
        if (scan.tablesFilled && group < expected) {
            const auto n = static_cast<std::size_t>(nodeInBlock);
            if (block == 0) {
                t.nodes[n] = entry;
                t.baseStress[n] = stress;
            } else if (!scan.firstMismatch.found) {
                const NodeEntry& first = t.nodes[n];
                if (entry.nodeId != first.nodeId)
                    scan.firstMismatch = {true,  false, entry.nodeId, first.nodeId,
                                          block + 1, nodeInBlock + 1, groupStart, {}};
                else if (entry.nodeMaterialId != first.nodeMaterialId)
                    scan.firstMismatch = {true,  true, entry.nodeMaterialId, first.nodeMaterialId,
                                          block + 1, nodeInBlock + 1, groupStart, {}};
                else
                    t.loadCaseStress[n * static_cast<std::size_t>(loadCaseCount) +
                                     static_cast<std::size_t>(block - 1)] = stress;
            }
        }
        ++group;
        if (++nodeInBlock == nodeCount) {
            nodeInBlock = 0;
            ++block;
        }
        if (group % kReleaseEvery == 0) releaseConsumedText(in);
    }
    scan.groupCount = group;
    warnIfLastGroupShort(in, groupStart, group, 8, "node line");
    // Counting lines takes a pass over the file: only for the stop that will be made.
    if (scan.firstMismatch.found && group == expected)
        scan.firstMismatch.where = lineText(in, scan.firstMismatch.position);
    return scan;
}

FatalStop numberingStop(const NumberingMismatch& mismatch) {
    OutputChannel line;  // no file: only renders the console line
    putText(line, mismatch.ofMaterialId ? "ndummy3" : "ndummy2");
    putZone(line);
    putInteger(line, mismatch.valueRead);
    FatalStop stop{{line.text(), numberingMessage}, {numberingMessage}};
    const char* what = mismatch.ofMaterialId ? "material ID " : "node ID ";
    stop.details.push_back(mismatch.where + " (block " + std::to_string(mismatch.block) +
                           ", node index " + std::to_string(mismatch.node) + "): " + what +
                           std::to_string(mismatch.valueRead) + " where block 1 has " +
                           std::to_string(mismatch.valueInBlock1));
    return stop;
}

FatalStop sizeStop(const NodeStressScan& scan, const std::string& path, std::int64_t nodeCount,
                   std::int64_t loadCaseCount) {
    const std::int64_t expected = expectedGroupCount(nodeCount, loadCaseCount);
    std::string asked = expected < 0 ? "no file can match (a count below 0, or more groups "
                                       "than 64 bits can count)"
                                     : "(" + std::to_string(loadCaseCount) + " + 1) x " +
                                           std::to_string(nodeCount) + " = " +
                                           std::to_string(expected) + " are needed";
    return fatalStop(sizeMessage, path + " holds " + std::to_string(scan.groupCount) +
                                      " groups of 8 values; record 14 gives " +
                                      std::to_string(nodeCount) + " nodes and " +
                                      std::to_string(loadCaseCount) + " load cases, for which " +
                                      asked);
}

NodeStressTable checkCounts(NodeStressScan&& scan, const std::string& path,
                            std::int64_t nodeCount, std::int64_t loadCaseCount) {
    if (scan.groupCount != expectedGroupCount(nodeCount, loadCaseCount))
        throw sizeStop(scan, path, nodeCount, loadCaseCount);
    if (scan.tablesTooLarge) throw outOfMemory();
    if (scan.firstMismatch.found) throw numberingStop(scan.firstMismatch);
    NodeStressTable table = std::move(scan.table);
    table.nodeCount = nodeCount;  // also for an empty file of no nodes
    table.loadCaseCount = loadCaseCount;
    return table;
}

}  // namespace

NodeStressTable readNodeStressFile(const std::string& path, std::int64_t nodeCount,
                                   std::int64_t loadCaseCount, std::uint64_t memoryLimit,
                                   InputWarnings* warnings) {
    // The file's text is released before the tables are arranged.
    NodeStressScan scan = readInputFile(path, [&](InputText& in) {
        if (warnings != nullptr) attachWarnings(in, *warnings);
        return scanNodeStress(in, nodeCount, loadCaseCount, memoryLimit);
    });
    return checkCounts(std::move(scan), path, nodeCount, loadCaseCount);
}

NodeStressTable readNodeStressFile(InputText& in, std::int64_t nodeCount,
                                   std::int64_t loadCaseCount, std::uint64_t memoryLimit) {
    return checkCounts(scanNodeStress(in, nodeCount, loadCaseCount, memoryLimit), in.path(),
                       nodeCount, loadCaseCount);
}

}  // namespace korvanel
