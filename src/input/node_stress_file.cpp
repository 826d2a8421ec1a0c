#include "input/node_stress_file.hpp"

#include <algorithm>
#include <limits>
#include <span>
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

// (loadCaseCount + 1) * nodeCount, or -1 when the counts cannot describe any file.
std::int64_t expectedGroupCount(std::int64_t nodeCount, std::int64_t loadCaseCount) {
    std::int64_t blocks = 0;
    std::int64_t groups = 0;
    if (nodeCount < 0 || loadCaseCount < 0) return -1;
    if (__builtin_add_overflow(loadCaseCount, 1, &blocks)) return -1;
    if (__builtin_mul_overflow(blocks, nodeCount, &groups)) return -1;
    return groups;
}

// Runs `allocate`; false when the memory it asks for cannot be had.
template <class Allocate>
bool allocated(Allocate&& allocate) {
    try {
        allocate();
        return true;
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    return false;
}

// The one walk through the groups of the file, in reading order. After
// each group read it gives the group's place (block, node in the block,
// byte offset), its entry and its stresses. It keeps block 1's entries in
// the table it is given and checks every later block's against them (the
// first mismatch is kept), gives back the text read every so many groups,
// and at the end warns of a last group cut short.
struct NodeStressCursor {
    NodeStressCursor(InputText& text, std::int64_t nodes, std::int64_t expected = -1)
        : in(text), nodeCount(nodes), expectedGroups(expected) {}

    InputText& in;
    std::int64_t nodeCount = 0;          // nodes in a block
    std::int64_t expectedGroups = -1;    // groups of a coherent file
    // Block 1's entries, kept and checked for the nodes firstKeptNode on
    // (empty: neither); the walk stops keeping them when they are dropped.
    std::span<NodeEntry> entries;
    std::int64_t firstKeptNode = 0;
    // The group just read.
    std::int64_t block = 0;              // 0: base stresses, lc + 1: load case lc
    std::int64_t nodeInBlock = -1;
    std::size_t offset = 0;
    NodeEntry entry;
    Stress6 stress;
    // The group lies among the kept entries, and so does every group before
    // it whose entry was checked, without a mismatch.
    bool coherent = false;
    std::int64_t groupsRead = 0;
    NumberingMismatch firstMismatch;
};

NodeStressCursor startWalk(InputText& in, std::int64_t nodeCount, std::int64_t loadCaseCount) {
    skipByteOrderMark(in);
    NodeStressCursor c{in, nodeCount, expectedGroupCount(nodeCount, loadCaseCount)};
    c.offset = in.position();
    return c;
}

// Where the next group begins: node `node` of block `block` at byte `offset`.
void moveCursor(NodeStressCursor& c, std::int64_t block, std::int64_t node, std::size_t offset) {
    c.in.moveTo(offset);
    c.block = block;
    c.nodeInBlock = node - 1;
}

// Compares the entry read with block 1's; the first mismatch is kept.
void checkNumbering(NodeStressCursor& c, const NodeEntry& first) {
    if (c.entry.nodeId != first.nodeId)
        c.firstMismatch = {true,      false,  c.entry.nodeId, first.nodeId,
                           c.block + 1, c.nodeInBlock + 1, c.offset, {}};
    else if (c.entry.nodeMaterialId != first.nodeMaterialId)
        c.firstMismatch = {true,      true,   c.entry.nodeMaterialId, first.nodeMaterialId,
                           c.block + 1, c.nodeInBlock + 1, c.offset, {}};
}

// A node line is one group: written one per line, a line of another count
// of values is a warning.
void warnIfNodeLineLeft(InputText& in, std::size_t groupStart) {
    warnIfGroupLeftItsLine(in, groupStart, "node line",
                           "8 values (node ID, material ID, six stresses)");
}

// Reads the next group; false at the end of the file.
bool nextGroup(NodeStressCursor& c) {
    constexpr std::int64_t kReleaseEvery = 1 << 16;  // groups between giving back read text
    if (atEnd(c.in)) return false;
    if (++c.nodeInBlock == c.nodeCount && c.groupsRead > 0) {
        c.nodeInBlock = 0;
        ++c.block;
    }
    c.offset = c.in.position();
    const bool startsLine = c.in.warnings() != nullptr && atLineStart(c.in);
    c.entry.nodeId = readInteger(c.in);
    c.entry.nodeMaterialId = readInteger(c.in);
    for (int k = 0; k < 6; ++k) c.stress[k] = readReal(c.in);
    if (startsLine && !atLineStart(c.in)) warnIfNodeLineLeft(c.in, c.offset);
    // Groups past the expected count only matter to the count check.
    const std::int64_t kept = c.nodeInBlock - c.firstKeptNode;
    c.coherent = !c.entries.empty() && !c.firstMismatch.found && kept >= 0 &&
                 kept < static_cast<std::int64_t>(c.entries.size()) &&
                 (c.expectedGroups < 0 || c.groupsRead < c.expectedGroups);
    if (c.coherent) {
        NodeEntry& first = c.entries[static_cast<std::size_t>(kept)];
        if (c.block == 0)
            first = c.entry;
        else
            checkNumbering(c, first);
        c.coherent = !c.firstMismatch.found;
    }
    if (++c.groupsRead % kReleaseEvery == 0) releaseConsumedText(c.in);
    return true;
}

// Everything a walk through the whole file yields before the checks: the
// table or the index it fills.
template <class Result>
struct Scan {
    std::int64_t groupCount = 0;
    bool tablesTooLarge = false;   // the file could hold the expected groups, the tables not
    Result result;
    NumberingMismatch firstMismatch;
};

// The end of a walk through the whole file: the warning of a last group cut
// short, and the line of the numbering stop when it will be made.
template <class Result>
void finishWalk(NodeStressCursor& c, Scan<Result>& scan) {
    warnIfLastGroupShort(c.in, c.offset, c.groupsRead, 8, "node line");
    // Counting lines takes a pass over the file: only for the stop that will be made.
    if (c.firstMismatch.found && c.groupsRead == c.expectedGroups)
        c.firstMismatch.where = lineText(c.in, c.firstMismatch.position);
    scan.groupCount = c.groupsRead;
    scan.firstMismatch = std::move(c.firstMismatch);
}

// Every group of the file but the last takes at least eight bytes (one
// separator per value), so a file of n bytes holds at most n / 8 + 1 groups.
bool fileCanHold(const InputText& in, std::int64_t groups) {
    return groups > 0 && static_cast<std::uint64_t>(groups) <= in.size() / 8 + 1;
}

// Bytes of the node tables for the expected number of groups.
unsigned __int128 tableBytes(std::int64_t nodeCount, std::int64_t groups) {
    using Wide = unsigned __int128;
    return Wide(nodeCount) * (sizeof(NodeEntry) + sizeof(Stress6)) +
           Wide(groups - nodeCount) * sizeof(Stress6);
}

// Makes room for the node tables; false when they would need more than the
// memory limit or cannot be allocated. The rows are taken as the walk gets
// to them (growRows), so that the memory used follows what the file holds,
// not what the counts claim: a file of the right size that holds something
// else (zeros) takes no more than its text.
bool sizeTables(NodeStressTable& t, std::int64_t nodeCount, std::int64_t loadCaseCount,
                std::int64_t groups, std::uint64_t memoryLimit) {
    if (tableBytes(nodeCount, groups) > memoryLimit) return false;
    t.nodeCount = nodeCount;
    t.loadCaseCount = loadCaseCount;
    if (allocated([&] {
            reserveLargeTable(t.nodes, static_cast<std::size_t>(nodeCount));
            reserveLargeTable(t.baseStress, static_cast<std::size_t>(nodeCount));
            reserveLargeTable(t.loadCaseStress, static_cast<std::size_t>(groups - nodeCount));
        }))
        return true;
    t = NodeStressTable{};
    return false;
}

// Rows up to `row` of a table of `rows` rows made room for by sizeTables,
// taken some megabytes at a time.
template <class T>
void growRows(std::vector<T>& table, std::size_t row, std::int64_t rows) {
    if (row < table.size()) return;
    resizeLargeTable(table, std::min(static_cast<std::size_t>(rows), row + kLargeTableSlice<T>));
}

// Before the walk reads a group of block 1: its node's rows.
void growBeforeGroup(NodeStressTable& t, NodeStressCursor& c) {
    if (c.groupsRead >= t.nodeCount) return;
    const auto n = static_cast<std::size_t>(c.groupsRead);
    if (n < t.nodes.size()) return;
    growRows(t.nodes, n, t.nodeCount);
    growRows(t.baseStress, n, t.nodeCount);
    c.entries = t.nodes;
}

// Stores a coherent group's stresses in its node's row.
void storeStresses(NodeStressTable& t, const NodeStressCursor& c, std::int64_t row) {
    const auto n = static_cast<std::size_t>(row);
    if (c.block == 0) {
        t.baseStress[n] = c.stress;
    } else {
        const std::size_t at = n * static_cast<std::size_t>(t.loadCaseCount) +
                               static_cast<std::size_t>(c.block - 1);
        growRows(t.loadCaseStress, at, t.nodeCount * t.loadCaseCount);
        t.loadCaseStress[at] = c.stress;
    }
}

// Converts every value of the file (so that a number out of range anywhere
// stops the run first) and stores the groups of a coherent file straight
// into the node tables; the tables are sized only when the file is large
// enough to hold the counts. The numbering is compared on the way; its
// verdict waits for the count check, and so does a failure to size the tables.
Scan<NodeStressTable> scanNodeStress(InputText& in, std::int64_t nodeCount,
                                     std::int64_t loadCaseCount, std::uint64_t memoryLimit) {
    Scan<NodeStressTable> scan;
    NodeStressTable& t = scan.result;
    NodeStressCursor c = startWalk(in, nodeCount, loadCaseCount);
    bool sized = false;
    if (fileCanHold(in, c.expectedGroups)) {
        sized = sizeTables(t, nodeCount, loadCaseCount, c.expectedGroups, memoryLimit);
        scan.tablesTooLarge = !sized;
    }
    for (;;) {
        if (sized) growBeforeGroup(t, c);
        if (!nextGroup(c)) break;
        if (c.coherent) storeStresses(t, c, c.nodeInBlock);
    }
    finishWalk(c, scan);
    t.nodeCount = nodeCount;  // also for an empty file of no nodes
    t.loadCaseCount = loadCaseCount;
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

// The checks in their order: the count, the memory, the numbering.
template <class Result>
Result checked(Scan<Result>&& scan, const std::string& path, std::int64_t nodeCount,
               std::int64_t loadCaseCount) {
    if (scan.groupCount != expectedGroupCount(nodeCount, loadCaseCount))
        throw sizeStop(scan.groupCount, path, nodeCount, loadCaseCount);
    if (scan.tablesTooLarge) throw outOfMemory();
    if (scan.firstMismatch.found) throw numberingStop(scan.firstMismatch);
    return std::move(scan.result);
}

}  // namespace

NodeStressTable readNodeStressFile(const std::string& path, std::int64_t nodeCount,
                                   std::int64_t loadCaseCount, std::uint64_t memoryLimit,
                                   InputWarnings* warnings) {
    // The file's text is released before the tables are arranged.
    Scan<NodeStressTable> scan = readInputFile(path, warnings, [&](InputText& in) {
        return scanNodeStress(in, nodeCount, loadCaseCount, memoryLimit);
    });
    return checked(std::move(scan), path, nodeCount, loadCaseCount);
}

NodeStressTable readNodeStressFile(InputText& in, std::int64_t nodeCount,
                                   std::int64_t loadCaseCount, std::uint64_t memoryLimit) {
    return checked(scanNodeStress(in, nodeCount, loadCaseCount, memoryLimit), in.path(),
                       nodeCount, loadCaseCount);
}

// Reading by slices: indexing pass, then the slices.

namespace {

// Bytes that the index keeps: every node entry and the kept nodes whole.
bool indexFits(std::int64_t nodeCount, std::int64_t keptCount, std::int64_t loadCaseCount,
               std::uint64_t memoryLimit) {
    using Wide = unsigned __int128;
    return Wide(nodeCount) * sizeof(NodeEntry) +
               Wide(keptCount) * (sizeof(NodeEntry) + Wide(loadCaseCount + 1) * sizeof(Stress6)) <=
           memoryLimit;
}

// Sizes the node entries and the slices' offsets of a file that can hold
// the expected groups; false when they cannot be had.
bool sizeIndex(NodeStressIndex& index, std::int64_t nodeCount, std::int64_t loadCaseCount,
               std::uint64_t memoryLimit) {
    if (!indexFits(nodeCount, 0, loadCaseCount, memoryLimit)) return false;
    index.keptNodes.loadCaseCount = loadCaseCount;
    if (allocated([&] {
            resizeLargeTable(index.nodes, static_cast<std::size_t>(nodeCount));
            for (NodeStressSlice& slice : index.slices)
                slice.offsets.assign(static_cast<std::size_t>(loadCaseCount) + 1, 0);
        }))
        return true;
    index.nodes = {};
    return false;
}

// Keeps a node of block 1 that carries the kept ID; false when there is no room.
bool keepNode(NodeStressIndex& index, const NodeEntry& entry, const Stress6& stress,
              std::int64_t node) {
    return allocated([&] {
        index.keptNodes.nodes.push_back(entry);
        index.keptNodes.baseStress.push_back(stress);
        index.keptNodeIndexes.push_back(node);
    });
}

// Room for the load-case stresses of the kept nodes, once block 1 has named them.
bool sizeKeptNodes(NodeStressIndex& index, std::int64_t nodeCount, std::int64_t loadCaseCount,
                   std::uint64_t memoryLimit) {
    NodeStressTable& kept = index.keptNodes;
    kept.nodeCount = static_cast<std::int64_t>(kept.nodes.size());
    if (!indexFits(nodeCount, kept.nodeCount, loadCaseCount, memoryLimit)) return false;
    return allocated(
        [&] { kept.loadCaseStress.resize(static_cast<std::size_t>(kept.nodeCount * loadCaseCount)); });
}

Scan<NodeStressIndex> scanIndex(InputText& in, std::int64_t nodeCount, std::int64_t loadCaseCount,
                                const std::vector<std::int64_t>& sliceFirstNodes,
                                std::int64_t keptNodeId, std::uint64_t memoryLimit) {
    Scan<NodeStressIndex> scan;
    NodeStressIndex& index = scan.result;
    index.fileSize = in.size();
    index.slices.resize(sliceFirstNodes.size());
    for (std::size_t s = 0; s < sliceFirstNodes.size(); ++s) {
        const std::int64_t end =
            s + 1 < sliceFirstNodes.size() ? sliceFirstNodes[s + 1] : nodeCount;
        index.slices[s].firstNode = sliceFirstNodes[s];
        index.slices[s].nodeCount = std::max<std::int64_t>(0, end - sliceFirstNodes[s]);
    }
    NodeStressCursor c = startWalk(in, nodeCount, loadCaseCount);
    const auto tooLarge = [&] {
        c.entries = {};
        scan.tablesTooLarge = true;
    };
    if (fileCanHold(in, c.expectedGroups)) {
        if (sizeIndex(index, nodeCount, loadCaseCount, memoryLimit))
            c.entries = index.nodes;
        else
            tooLarge();
    }
    NodeStressTable& kept = index.keptNodes;
    std::int64_t block = 0;
    bool keptSized = false;     // once block 1 has named the kept nodes
    std::size_t nextSlice = 0;  // the next slice whose start this block has not passed
    std::size_t nextKept = 0;   // the next kept node this block has not passed
    while (nextGroup(c)) {
        if (c.block != block) {
            block = c.block;
            nextSlice = 0;
            nextKept = 0;
        }
        if (block > 0 && !keptSized) {
            keptSized = true;
            if (!c.entries.empty() && !sizeKeptNodes(index, nodeCount, loadCaseCount, memoryLimit))
                tooLarge();
        }
        if (!c.coherent) continue;
        const std::int64_t n = c.nodeInBlock;
        while (nextSlice < sliceFirstNodes.size() && sliceFirstNodes[nextSlice] == n)
            index.slices[nextSlice++].offsets[static_cast<std::size_t>(block)] = c.offset;
        if (block == 0) {
            if (c.entry.nodeId == keptNodeId && !keepNode(index, c.entry, c.stress, n)) tooLarge();
        } else if (nextKept < index.keptNodeIndexes.size() && index.keptNodeIndexes[nextKept] == n) {
            kept.loadCaseStress[nextKept++ * static_cast<std::size_t>(loadCaseCount) +
                                static_cast<std::size_t>(block - 1)] = c.stress;
        }
    }
    if (!keptSized && !c.entries.empty() &&
        !sizeKeptNodes(index, nodeCount, loadCaseCount, memoryLimit))
        tooLarge();
    finishWalk(c, scan);
    return scan;
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
    Scan<NodeStressIndex> scan = readInputFile(path, warnings, [&](InputText& in) {
        return scanIndex(in, nodeCount, loadCaseCount, sliceFirstNodes, keptNodeId, memoryLimit);
    });
    return checked(std::move(scan), path, nodeCount, loadCaseCount);
}

NodeStressIndex indexNodeStressFile(InputText& in, std::int64_t nodeCount,
                                    std::int64_t loadCaseCount,
                                    const std::vector<std::int64_t>& sliceFirstNodes,
                                    std::int64_t keptNodeId, std::uint64_t memoryLimit) {
    return checked(
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
    // Blocks are found by their offsets, not by counting nodes.
    NodeStressCursor c{in, std::numeric_limits<std::int64_t>::max()};
    c.entries = t.nodes;
    c.firstKeptNode = slice.firstNode;
    for (std::int64_t block = 0; block <= loadCaseCount; ++block) {
        const std::uint64_t offset = slice.offsets[static_cast<std::size_t>(block)];
        if (offset > in.size()) throw changedWhileRead(in);
        moveCursor(c, block, slice.firstNode, static_cast<std::size_t>(offset));
        for (std::int64_t n = 0; n < count; ++n) {
            if (!nextGroup(c) || !c.coherent) throw changedWhileRead(in);
            storeStresses(t, c, n);
        }
    }
    return t;
}

}  // namespace korvanel
