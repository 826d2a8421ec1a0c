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

// Makes room for the node tables of a file that can hold the expected
// groups; false when they would need more than the memory limit or cannot
// be allocated. The rows are added as the groups are read (growRows), so
// that the memory used follows what the file holds, not what the counts
// claim: a file of the right size that holds something else (zeros) takes
// no more than its text.
bool sizeTables(NodeStressTable& t, std::int64_t nodeCount, std::int64_t loadCaseCount,
                std::int64_t groups, std::uint64_t memoryLimit) {
    if (tableBytes(nodeCount, groups) > memoryLimit) return false;
    try {
        t.nodeCount = nodeCount;
        t.loadCaseCount = loadCaseCount;
        reserveLargeTable(t.nodes, static_cast<std::size_t>(nodeCount));
        reserveLargeTable(t.baseStress, static_cast<std::size_t>(nodeCount));
        reserveLargeTable(t.loadCaseStress, static_cast<std::size_t>(groups - nodeCount));
        return true;
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    t = NodeStressTable{};
    return false;
}

// Rows up to `row` of a table of `rows` rows made room for by sizeTables,
// added some megabytes at a time.
template <class T>
void growRows(std::vector<T>& table, std::size_t row, std::int64_t rows) {
    if (row < table.size()) return;
    resizeLargeTable(table, std::min(static_cast<std::size_t>(rows), row + kLargeTableSlice<T>));
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
                growRows(t.nodes, n, nodeCount);
                growRows(t.baseStress, n, nodeCount);
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
                else {
                    const std::size_t row = n * static_cast<std::size_t>(loadCaseCount) +
                                            static_cast<std::size_t>(block - 1);
                    growRows(t.loadCaseStress, row, expected - nodeCount);
                    t.loadCaseStress[row] = stress;
                }
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

FatalStop sizeStop(std::int64_t groupCount, const std::string& path, std::int64_t nodeCount,
                   std::int64_t loadCaseCount) {
    const std::int64_t expected = expectedGroupCount(nodeCount, loadCaseCount);
    // Appended piece by piece: g++ 12 at -O3 warns (wrongly) about "(" + a
    // temporary string.
    std::string asked = "no file can match (a count below 0, or more groups than 64 bits can count)";
    if (expected >= 0) {
        asked = std::to_string(loadCaseCount);
        asked.insert(0, 1, '(');
        asked += " + 1) x " + std::to_string(nodeCount) + " = " + std::to_string(expected) +
                 " are needed";
    }
    return fatalStop(sizeMessage, path + " holds " + std::to_string(groupCount) +
                                      " groups of 8 values; record 14 gives " +
                                      std::to_string(nodeCount) + " nodes and " +
                                      std::to_string(loadCaseCount) + " load cases, for which " +
                                      asked);
}

NodeStressTable checkCounts(NodeStressScan&& scan, const std::string& path,
                            std::int64_t nodeCount, std::int64_t loadCaseCount) {
    if (scan.groupCount != expectedGroupCount(nodeCount, loadCaseCount))
        throw sizeStop(scan.groupCount, path, nodeCount, loadCaseCount);
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

// Reading by slices: indexing pass, then the slices.

namespace korvanel {
namespace {

void readGroup(InputText& in, NodeEntry& entry, Stress6& stress) {
    entry.nodeId = readInteger(in);
    entry.nodeMaterialId = readInteger(in);
    for (int k = 0; k < 6; ++k) stress[k] = readReal(in);
}

// Bytes that the index keeps: every node entry and the kept nodes whole.
bool indexFits(std::int64_t nodeCount, std::int64_t keptCount, std::int64_t loadCaseCount,
               std::uint64_t memoryLimit) {
    using Wide = unsigned __int128;
    return Wide(nodeCount) * sizeof(NodeEntry) +
               Wide(keptCount) * (sizeof(NodeEntry) + Wide(loadCaseCount + 1) * sizeof(Stress6)) <=
           memoryLimit;
}

// What one pass yields before the checks, like NodeStressScan.
struct IndexScan {
    std::int64_t groupCount = 0;
    bool tablesFilled = false;
    bool tablesTooLarge = false;
    NodeStressIndex index;
    NumberingMismatch firstMismatch;
};

// Sizes the node entries (made room for, the rows added as they are read,
// as in sizeTables) and the slices' offsets of a file that can hold the
// expected groups; false when they cannot be had.
bool sizeIndex(NodeStressIndex& index, std::int64_t nodeCount, std::int64_t loadCaseCount,
               std::uint64_t memoryLimit) {
    if (!indexFits(nodeCount, 0, loadCaseCount, memoryLimit)) return false;
    try {
        reserveLargeTable(index.nodes, static_cast<std::size_t>(nodeCount));
        index.keptNodes.loadCaseCount = loadCaseCount;
        for (std::size_t s = 0; s < index.slices.size(); ++s)
            index.slices[s].offsets.assign(static_cast<std::size_t>(loadCaseCount) + 1, 0);
        return true;
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    index.nodes = {};
    return false;
}

// Keeps a node of block 1 that carries the kept ID; false when there is no room.
bool keepNode(NodeStressIndex& index, const NodeEntry& entry, const Stress6& stress,
              std::int64_t node) {
    try {
        index.keptNodes.nodes.push_back(entry);
        index.keptNodes.baseStress.push_back(stress);
        index.keptNodeIndexes.push_back(node);
        return true;
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    return false;
}

// Room for the load-case stresses of the kept nodes, once block 1 has named them.
bool sizeKeptNodes(NodeStressIndex& index, std::int64_t nodeCount, std::int64_t loadCaseCount,
                   std::uint64_t memoryLimit) {
    NodeStressTable& kept = index.keptNodes;
    kept.nodeCount = static_cast<std::int64_t>(kept.nodes.size());
    if (!indexFits(nodeCount, kept.nodeCount, loadCaseCount, memoryLimit)) return false;
    try {
        kept.loadCaseStress.resize(static_cast<std::size_t>(kept.nodeCount * loadCaseCount));
        return true;
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    return false;
}

IndexScan scanIndex(InputText& in, std::int64_t nodeCount, std::int64_t loadCaseCount,
                    const std::vector<std::int64_t>& sliceFirstNodes, std::int64_t keptNodeId,
                    std::uint64_t memoryLimit) {
    IndexScan scan;
    NodeStressIndex& index = scan.index;
    index.fileSize = in.size();
    index.slices.resize(sliceFirstNodes.size());
    for (std::size_t s = 0; s < sliceFirstNodes.size(); ++s) {
        const std::int64_t end =
            s + 1 < sliceFirstNodes.size() ? sliceFirstNodes[s + 1] : nodeCount;
        index.slices[s].firstNode = sliceFirstNodes[s];
        index.slices[s].nodeCount = std::max<std::int64_t>(0, end - sliceFirstNodes[s]);
    }
    const std::int64_t expected = expectedGroupCount(nodeCount, loadCaseCount);
    if (expected > 0 && fileCanHold(in, expected)) {
        scan.tablesFilled = sizeIndex(index, nodeCount, loadCaseCount, memoryLimit);
        scan.tablesTooLarge = !scan.tablesFilled;
    }
    constexpr std::int64_t kReleaseEvery = 1 << 16;
    NodeStressTable& kept = index.keptNodes;
    std::int64_t group = 0;
    std::int64_t block = 0;
    std::int64_t nodeInBlock = 0;
    std::size_t nextSlice = 0;  // the next slice whose start this block has not passed
    std::size_t nextKept = 0;   // the next kept node this block has not passed
    skipByteOrderMark(in);
    std::size_t start = in.position();
    while (!atEnd(in)) {
        start = in.position();
        NodeEntry entry;
        Stress6 stress;
        readGroup(in, entry, stress);
        if (scan.tablesFilled && group < expected) {
            const auto n = static_cast<std::size_t>(nodeInBlock);
            while (nextSlice < sliceFirstNodes.size() && sliceFirstNodes[nextSlice] == nodeInBlock)
                index.slices[nextSlice++].offsets[static_cast<std::size_t>(block)] = start;
            const bool keptNode = nextKept < index.keptNodeIndexes.size() &&
                                  index.keptNodeIndexes[nextKept] == nodeInBlock;
            if (block == 0) {
                growRows(index.nodes, n, nodeCount);
                index.nodes[n] = entry;
                if (entry.nodeId == keptNodeId && !keepNode(index, entry, stress, nodeInBlock)) {
                    scan.tablesFilled = false;
                    scan.tablesTooLarge = true;
                }
            } else if (!scan.firstMismatch.found) {
                const NodeEntry& first = index.nodes[n];
                if (entry.nodeId != first.nodeId)
                    scan.firstMismatch = {true,      false,           entry.nodeId, first.nodeId,
                                          block + 1, nodeInBlock + 1, start,        {}};
                else if (entry.nodeMaterialId != first.nodeMaterialId)
                    scan.firstMismatch = {true,  true, entry.nodeMaterialId, first.nodeMaterialId,
                                          block + 1, nodeInBlock + 1, start, {}};
                else if (keptNode)
                    kept.loadCaseStress[nextKept * static_cast<std::size_t>(loadCaseCount) +
                                        static_cast<std::size_t>(block - 1)] = stress;
            }
            if (keptNode && block > 0) ++nextKept;
        }
        ++group;
        if (++nodeInBlock == nodeCount) {
            nodeInBlock = 0;
            ++block;
            nextSlice = 0;
            nextKept = 0;
            if (block == 1 && scan.tablesFilled &&
                !sizeKeptNodes(index, nodeCount, loadCaseCount, memoryLimit)) {
                scan.tablesFilled = false;
                scan.tablesTooLarge = true;
            }
        }
        if (group % kReleaseEvery == 0) releaseConsumedText(in);
    }
    scan.groupCount = group;
    warnIfLastGroupShort(in, start, group, 8, "node line");
    if (scan.firstMismatch.found && group == expected)
        scan.firstMismatch.where = lineText(in, scan.firstMismatch.position);
    return scan;
}

NodeStressIndex checkIndex(IndexScan&& scan, const std::string& path, std::int64_t nodeCount,
                           std::int64_t loadCaseCount) {
    if (scan.groupCount != expectedGroupCount(nodeCount, loadCaseCount))
        throw sizeStop(scan.groupCount, path, nodeCount, loadCaseCount);
    if (scan.tablesTooLarge) throw outOfMemory();
    if (scan.firstMismatch.found) throw numberingStop(scan.firstMismatch);
    return std::move(scan.index);
}

FatalStop changedWhileRead(const InputText& in) {
    return fatalStop("The input file " + in.path() + " changed while it was being read");
}

}  // namespace

NodeStressIndex indexNodeStressFile(const std::string& path, std::int64_t nodeCount,
                                    std::int64_t loadCaseCount,
                                    const std::vector<std::int64_t>& sliceFirstNodes,
                                    std::int64_t keptNodeId, std::uint64_t memoryLimit,
                                    InputWarnings* warnings) {
    IndexScan scan = readInputFile(path, [&](InputText& in) {
        if (warnings != nullptr) attachWarnings(in, *warnings);
        return scanIndex(in, nodeCount, loadCaseCount, sliceFirstNodes, keptNodeId, memoryLimit);
    });
    return checkIndex(std::move(scan), path, nodeCount, loadCaseCount);
}

NodeStressIndex indexNodeStressFile(InputText& in, std::int64_t nodeCount,
                                    std::int64_t loadCaseCount,
                                    const std::vector<std::int64_t>& sliceFirstNodes,
                                    std::int64_t keptNodeId, std::uint64_t memoryLimit) {
    return checkIndex(
        scanIndex(in, nodeCount, loadCaseCount, sliceFirstNodes, keptNodeId, memoryLimit),
        in.path(), nodeCount, loadCaseCount);
}

NodeStressTable readNodeStressSlice(const std::string& path, std::int64_t loadCaseCount,
                                    const NodeStressSlice& slice, std::uint64_t memoryLimit) {
    if (slice.nodeCount == 0) {
        NodeStressTable empty;
        empty.loadCaseCount = loadCaseCount;
        return empty;
    }
    return readInputFile(path, [&](InputText& in) {
        return readNodeStressSlice(in, loadCaseCount, slice, memoryLimit);
    });
}

NodeStressTable readNodeStressSlice(InputText& in, std::int64_t loadCaseCount,
                                    const NodeStressSlice& slice, std::uint64_t memoryLimit) {
    const std::int64_t count = slice.nodeCount;
    const std::int64_t groups = count * (loadCaseCount + 1);  // at most the file's groups
    NodeStressTable t;
    if (!sizeTables(t, count, loadCaseCount, groups, memoryLimit)) throw outOfMemory();
    // The first process has read the whole file: every row of the slice is there.
    resizeLargeTable(t.nodes, static_cast<std::size_t>(count));
    resizeLargeTable(t.baseStress, static_cast<std::size_t>(count));
    resizeLargeTable(t.loadCaseStress, static_cast<std::size_t>(groups - count));
    if (slice.offsets.size() != static_cast<std::size_t>(loadCaseCount) + 1)
        throw changedWhileRead(in);
    constexpr std::int64_t kReleaseEvery = 1 << 16;
    std::int64_t group = 0;
    const auto cases = static_cast<std::size_t>(loadCaseCount);
    for (std::size_t block = 0; block <= cases; ++block) {
        if (slice.offsets[block] > in.size()) throw changedWhileRead(in);
        in.moveTo(static_cast<std::size_t>(slice.offsets[block]));
        for (std::size_t n = 0; n < static_cast<std::size_t>(count); ++n) {
            NodeEntry entry;
            Stress6 stress;
            readGroup(in, entry, stress);
            if (block == 0) {
                t.nodes[n] = entry;
                t.baseStress[n] = stress;
            } else {
                if (entry.nodeId != t.nodes[n].nodeId ||
                    entry.nodeMaterialId != t.nodes[n].nodeMaterialId)
                    throw changedWhileRead(in);
                t.loadCaseStress[n * cases + block - 1] = stress;
            }
            if (++group % kReleaseEvery == 0) releaseConsumedText(in);
        }
    }
    return t;
}

}  // namespace korvanel
