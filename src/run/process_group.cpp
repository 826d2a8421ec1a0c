#include "run/process_group.hpp"

#include "input/node_stress_file.hpp"
#include "run/job_location.hpp"
#include "run/node_order.hpp"
#include "run/run_environment.hpp"

#ifdef KORVANEL_MPI
#include <mpi.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "base/fatal_stop.hpp"
#include "base/signal_guard.hpp"
#include "run/available_cpus.hpp"
#include "run/material_schedule.hpp"
#include "run/process_messages.hpp"
#endif

namespace korvanel {

#ifdef KORVANEL_MPI
namespace {

// What the first process asks the others to do next.
enum class Step : int { readSlices = 1, analyseNodes = 2, end = 3 };

struct Header {
    Step step = Step::end;
    int status = 0;
};

constexpr int kFirst = 0;
constexpr int kStopTag = 1;
constexpr int kTablesTag = 2;
constexpr int kUnloadedTag = 3;
constexpr std::uint64_t kPieceBytes = std::uint64_t{1} << 30;  // counts are ints

// Waits for requests without keeping a core busy: the others wait through
// the whole reading of the first process, and on a shared machine a
// spinning wait would take a core from the ones that work.
void await(MPI_Request* requests, int count) {
    auto pause = std::chrono::microseconds(20);
    for (;;) {
        int done = 0;
        MPI_Testall(count, requests, &done, MPI_STATUSES_IGNORE);
        if (done) return;
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::microseconds(2000));
    }
}

void await(MPI_Request& request) { await(&request, 1); }

Header broadcastHeader(Header header) {
    int values[2] = {static_cast<int>(header.step), header.status};
    MPI_Request request;
    MPI_Ibcast(values, 2, MPI_INT, kFirst, MPI_COMM_WORLD, &request);
    await(request);
    return Header{static_cast<Step>(values[0]), values[1]};
}

// The first process's bytes to every process.
void broadcastBytes(const ProcessGroup& group, std::string& bytes) {
    std::uint64_t size = bytes.size();
    MPI_Request request;
    MPI_Ibcast(&size, 1, MPI_UINT64_T, kFirst, MPI_COMM_WORLD, &request);
    await(request);
    if (group.rank != kFirst) bytes.resize(static_cast<std::size_t>(size));
    for (std::uint64_t at = 0; at < size; at += kPieceBytes) {
        const auto piece = static_cast<int>(std::min(kPieceBytes, size - at));
        MPI_Ibcast(bytes.data() + at, piece, MPI_BYTE, kFirst, MPI_COMM_WORLD, &request);
        await(request);
    }
}

void sendBytes(const void* data, std::uint64_t size, int to, int tag) {
    const char* p = static_cast<const char*>(data);
    for (std::uint64_t at = 0; at < size; at += kPieceBytes) {
        const auto piece = static_cast<int>(std::min(kPieceBytes, size - at));
        MPI_Request request;
        MPI_Isend(p + at, piece, MPI_BYTE, to, tag, MPI_COMM_WORLD, &request);
        await(request);
    }
}

void receiveBytes(void* data, std::uint64_t size, int from, int tag) {
    char* p = static_cast<char*>(data);
    for (std::uint64_t at = 0; at < size; at += kPieceBytes) {
        const auto piece = static_cast<int>(std::min(kPieceBytes, size - at));
        MPI_Request request;
        MPI_Irecv(p + at, piece, MPI_BYTE, from, tag, MPI_COMM_WORLD, &request);
        await(request);
    }
}

void sendMessage(const std::string& bytes, int to, int tag) {
    const std::uint64_t size = bytes.size();
    sendBytes(&size, sizeof size, to, tag);
    sendBytes(bytes.data(), size, to, tag);
}

std::string receiveMessage(int from, int tag) {
    std::uint64_t size = 0;
    receiveBytes(&size, sizeof size, from, tag);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    receiveBytes(bytes.data(), size, from, tag);
    return bytes;
}

// Runs `work`; the stop it raises (a failed allocation included) is returned.
template <class Work>
std::optional<FatalStop> stopOf(Work&& work) {
    try {
        stopIfOutOfMemory(work);
    } catch (const FatalStop& stop) {
        return stop;
    }
    return std::nullopt;
}

// The first stop in process order, which is node order: every process
// learns whether there is one, the first process gets it.
struct StopAcross {
    bool any = false;
    std::int64_t node = -1;
    FatalStop stop;
};

StopAcross firstStop(const ProcessGroup& group, const std::optional<FatalStop>& local,
                     std::int64_t localNode) {
    // 2: interrupted by a signal, which stops the whole run whatever the
    // nodes did; 1: a stop at a node.
    int mine = !local ? 0 : isInterruption(*local) ? 2 : 1;
    std::vector<int> stopped(static_cast<std::size_t>(group.size));
    MPI_Request request;
    MPI_Iallgather(&mine, 1, MPI_INT, stopped.data(), 1, MPI_INT, MPI_COMM_WORLD, &request);
    await(request);
    auto firstOf = [&](int kind) {
        return static_cast<int>(std::find(stopped.begin(), stopped.end(), kind) - stopped.begin());
    };
    const int first = firstOf(2) < group.size ? firstOf(2) : firstOf(1);
    StopAcross across;
    if (first == group.size) return across;
    across.any = true;
    if (first == group.rank && group.rank != kFirst)
        sendMessage(packStop(localNode, *local), kFirst, kStopTag);
    if (group.rank == kFirst)
        std::tie(across.node, across.stop) = first == kFirst
                                                 ? std::pair{localNode, *local}
                                                 : unpackStop(receiveMessage(first, kStopTag));
    return across;
}

FatalStop changedWhileRead(const std::string& path) {
    return fatalStop("The input file " + path + " changed while it was being read");
}

// The node stress file indexed for the group's slices, its nodes with the
// complete-output ID kept on `group`; the stop when the file is no longer
// that of `stamp`, taken before.
NodeStressIndex indexForSlices(ProcessGroup& group, const RunInputs& run, const std::string& path,
                               const FileStamp& stamp, InputWarnings* warnings) {
    const AnalysisParameters& p = run.parameters;
    NodeStressIndex index = indexNodeStressFile(path, p.nodeCount, p.loadCaseCount,
                                                evenSlices(p.nodeCount, group.size),
                                                p.completeOutputNode, machineMemoryBytes(), warnings);
    if (fileStampOf(path) != stamp || stamp.size != index.fileSize) throw changedWhileRead(path);
    group.keptNodes = std::move(index.keptNodes);
    group.keptNodeIndexes = std::move(index.keptNodeIndexes);
    return index;
}

// Every process: its own slice, from the file the first process indexed.
void readOwnSlice(ProcessGroup& group, const SliceReading& reading) {
    group.sliceFirst.clear();
    for (const NodeStressSlice& slice : reading.slices) group.sliceFirst.push_back(slice.firstNode);
    const NodeStressSlice& mine = reading.slices.at(static_cast<std::size_t>(group.rank));
    group.slice = readNodeStressSlice(reading.path, reading.loadCaseCount, mine);
    // Looked at once the file has been opened: on a network file system the
    // opening brings the size and time up to date.
    if (mine.nodeCount > 0 && !sameFile(fileStampOf(reading.path), reading.stamp))
        throw changedWhileRead(reading.path);
}

// Every process: the node loop over its slice, nodes with detail files left
// to the first process; a stop's node index is that of the whole run. The
// unloaded-node flags cover the whole slice, whatever happened.
SliceOutcome analyseOwnSlice(ProcessGroup& group, std::string_view plan, int threads) {
    const std::int64_t first = group.sliceFirst.at(static_cast<std::size_t>(group.rank));
    const std::int64_t count = group.slice.nodeCount;
    SliceOutcome own;
    std::optional<FatalStop> stop = stopOf([&] {
        auto [inputs, work] = unpackLoopPlan(plan);
        inputs.simd = group.simd;
        const SliceWork& mine = work.at(static_cast<std::size_t>(group.rank));
        const std::int64_t modelNodeCount = nodeCountOf(inputs);
        *nodeStressOf(inputs.input) = std::move(group.slice);
        // Unless an earlier node stops the run: these results are never used.
        own = mine.analyse ? analyseSlice(inputs,
                                          NodeSlice{0, count, first, modelNodeCount, mine.carriedIn, false},
                                          NodeLoopOptions{threads, false})
                           : emptyOutcome(inputs, count);
    });
    if (stop) keepFirstStop(own, first, std::move(*stop));
    own.unloaded.resize(static_cast<std::size_t>(count), 0);
    return own;
}

template <class T>
void sendTable(const std::vector<T>& table, int tag = kTablesTag) {
    sendBytes(table.data(), table.size() * sizeof(T), kFirst, tag);
}

template <class T>
void receiveTable(std::vector<T>& table, std::int64_t first, std::int64_t count, int from,
                  int tag = kTablesTag) {
    receiveBytes(table.data() + first, static_cast<std::uint64_t>(count) * sizeof(T), from, tag);
}

// The first process: every process's unloaded-node flags in place, in node
// order (gathered also when a node stops the run: the nodes before it are
// listed), and their results unless a node stopped the run.
SliceOutcome gatherOutcomes(const ProcessGroup& group, const RunInputs& run,
                            const SliceOutcome& own, bool stopped) {
    const std::int64_t nodeCount = nodeCountOf(run);
    SliceOutcome all = emptyOutcome(run, nodeCount);
    placeOutcome(all, own, 0);
    for (int r = 1; r < group.size; ++r) {
        const std::int64_t first = group.sliceFirst[static_cast<std::size_t>(r)];
        const std::int64_t end =
            r + 1 < group.size ? group.sliceFirst[static_cast<std::size_t>(r) + 1] : nodeCount;
        const std::int64_t count = end - first;
        receiveTable(all.unloaded, first, count, r, kUnloadedTag);
        if (stopped) continue;
        receiveTable(all.tables.nodeDamage, first, count, r);
        receiveTable(all.tables.lifeRepeats, first, count, r);
        receiveTable(all.tables.staticFailureCode, first, count, r);
    }
    return all;
}

// The processes other than the first: each step the first asks for.
int serveFirstProcess(ProcessGroup& group, int threads) {
    for (;;) {
        const Header header = broadcastHeader(Header{});
        if (header.step == Step::end) return header.status;
        std::string bytes;
        broadcastBytes(group, bytes);
        if (header.step == Step::readSlices) {
            std::optional<FatalStop> stop =
                stopOf([&] { readOwnSlice(group, unpackSliceReading(bytes)); });
            firstStop(group, stop, -1);
        } else if (header.step == Step::analyseNodes) {
            SliceOutcome own = analyseOwnSlice(group, bytes, threads);
            const bool stopped = firstStop(group, own.stop, own.stopNode).any;
            sendTable(own.unloaded, kUnloadedTag);
            if (!stopped) {
                sendTable(own.tables.nodeDamage);
                sendTable(own.tables.lifeRepeats);
                sendTable(own.tables.staticFailureCode);
            }
        }
    }
}

// Hardware threads of this machine shared by the processes running on it,
// and no more than this process may use (its affinity mask, the CPU limit
// of its control group).
int threadsPerProcess() {
    MPI_Comm local;
    MPI_Comm_split_type(MPI_COMM_WORLD, MPI_COMM_TYPE_SHARED, 0, MPI_INFO_NULL, &local);
    int processesHere = 1;
    MPI_Comm_size(local, &processesHere);
    MPI_Comm_free(&local);
    const int hardware = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    return std::max(1, std::min(availableCpuCount(), hardware / std::max(1, processesHere)));
}

}  // namespace
#endif  // KORVANEL_MPI

NodeStressTable readNodeStressOn([[maybe_unused]] ProcessGroup& group, const RunInputs& run,
                                 InputWarnings& warnings) {
    const AnalysisParameters& p = run.parameters;
#ifdef KORVANEL_MPI
    if (group.distributed) {
        SliceReading reading;
        reading.path = jobFilePath(run.job, ".nds");
        reading.loadCaseCount = p.loadCaseCount;
        reading.stamp = fileStampOf(reading.path);
        NodeStressIndex index = indexForSlices(group, run, reading.path, reading.stamp, &warnings);
        reading.slices = std::move(index.slices);
        std::string bytes = packSliceReading(reading);

        broadcastHeader(Header{Step::readSlices, 0});
        broadcastBytes(group, bytes);
        const std::optional<FatalStop> own = stopOf([&] { readOwnSlice(group, reading); });
        StopAcross stop = firstStop(group, own, -1);
        if (stop.any) throw std::move(stop.stop);

        return NodeStressTable{p.nodeCount, p.loadCaseCount, std::move(index.nodes), {}, {}};
    }
#endif
    return readNodeStressFile(jobFilePath(run.job, ".nds"), p.nodeCount, p.loadCaseCount,
                              machineMemoryBytes(), &warnings);
}

void keepDetailNodesOn([[maybe_unused]] ProcessGroup& group,
                       [[maybe_unused]] const RunInputs& run) {
#ifdef KORVANEL_MPI
    if (!group.distributed || nodeStressOf(run.input) == nullptr) return;
    const std::string path = jobFilePath(run.job, ".nds");
    indexForSlices(group, run, path, fileStampOf(path), nullptr);
#endif
}

SliceOutcome analyseSlicesOn([[maybe_unused]] ProcessGroup& group, const RunInputs& run,
                             const std::vector<std::int64_t>& sliceFirst,
                             const std::vector<SliceWork>& work, const NodeLoopOptions& options) {
#ifdef KORVANEL_MPI
    if (group.distributed && nodeStressOf(run.input) != nullptr) {
        std::string plan = packLoopPlan(run, work);
        broadcastHeader(Header{Step::analyseNodes, 0});
        broadcastBytes(group, plan);
        SliceOutcome own = analyseOwnSlice(group, plan, options.threads);
        StopAcross stop = firstStop(group, own.stop, own.stopNode);
        SliceOutcome all = gatherOutcomes(group, run, own, stop.any);
        if (stop.any) keepFirstStop(all, stop.node, std::move(stop.stop));
        return all;
    }
#endif
    return analyseSlicesHere(run, sliceFirst, work, options);
}

SliceOutcome analyseDetailNodeOn([[maybe_unused]] const ProcessGroup& group, const RunInputs& run,
                                 [[maybe_unused]] std::size_t detailIndex, std::int64_t node,
                                 const MaterialCarry& carriedIn, const NodeLoopOptions& options) {
#ifdef KORVANEL_MPI
    if (group.distributed && nodeStressOf(run.input) != nullptr) {
        // The first process holds this node's stresses among the kept nodes.
        const NodeStressTable& kept = group.keptNodes;
        const auto i = static_cast<std::int64_t>(detailIndex);
        RunInputs alone = run;  // the node entries come along: a few nodes at most
        *nodeStressOf(alone.input) = NodeStressTable{
            1, kept.loadCaseCount, {kept.nodes[detailIndex]}, {kept.baseStress[detailIndex]},
            {kept.loadCasesOf(i), kept.loadCasesOf(i) + kept.loadCaseCount}};
        return analyseSlice(alone, NodeSlice{0, 1, node, nodeCountOf(run), carriedIn, true},
                            options);
    }
#endif
    return analyseDetailNodeHere(run, node, carriedIn, options);
}

int runKorvanelOnProcesses(OutputChannel& console, RunOptions options,
                           [[maybe_unused]] bool threadsGiven) {
#ifdef KORVANEL_MPI
    int provided = 0;
    {
        // The library starts threads of its own here: they take the mask of
        // this thread, so the stop signals are blocked while it starts them
        // and only this thread, the main one, takes them afterwards.
        StopSignalsBlocked blocked;
        MPI_Init_thread(nullptr, nullptr, MPI_THREAD_FUNNELED, &provided);
    }
    ProcessGroup group;
    MPI_Comm_rank(MPI_COMM_WORLD, &group.rank);
    MPI_Comm_size(MPI_COMM_WORLD, &group.size);
    group.distributed = true;
    group.simd = options.simd;
    if (!threadsGiven) options.threads = threadsPerProcess();
    int status = 0;
    try {
        if (group.size == 1) {
            status = runKorvanel(console, options);
        } else if (options.check) {
            // --check is one process's work: the first does it, the others wait.
            if (group.rank == kFirst) status = runKorvanel(console, options);
            status = broadcastHeader(Header{Step::end, status}).status;
        } else if (group.rank == kFirst) {
            options.processes = &group;
            status = runKorvanel(console, options);
            broadcastHeader(Header{Step::end, status});
        } else {
            status = serveFirstProcess(group, options.threads);
        }
    } catch (...) {
        // Not a stop of the run but a fault of the program: end every process.
        MPI_Abort(MPI_COMM_WORLD, 1);
    }
    MPI_Finalize();
    return status;
#else
    return runKorvanel(console, options);
#endif
}

}  // namespace korvanel
