#include "run/distributed_run.hpp"

#include <mpi.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/fatal_stop.hpp"
#include "base/signal_guard.hpp"
#include "input/node_stress_file.hpp"
#include "run/available_cpus.hpp"
#include "run/job_location.hpp"
#include "run/material_schedule.hpp"
#include "run/process_messages.hpp"

namespace korvanel {

struct ProcessGroup {
    int rank = 0;
    int size = 1;
    std::vector<std::int64_t> sliceFirst;  // first node of every process's slice
    NodeStressTable slice;                 // this process's nodes
    // First process: the nodes with the complete-output ID, whole, and
    // their node indexes.
    NodeStressTable keptNodes;
    std::vector<std::int64_t> keptNodeIndexes;
    // The vector form of the kernels on this process's own processor (the
    // machines of a cluster may differ); the results do not depend on it.
    SimdLevel simd = SimdLevel::plain;
};

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
    if (group.rank == kFirst) {
        if (first == kFirst) {
            across.node = localNode;
            across.stop = *local;
        } else {
            auto [node, stop] = unpackStop(receiveMessage(first, kStopTag));
            across.node = node;
            across.stop = std::move(stop);
        }
    }
    return across;
}

FatalStop changedWhileRead(const std::string& path) {
    return fatalStop("The input file " + path + " changed while it was being read");
}

// Slice r holds nodes nodeCount * r / processes up to the next slice's first.
std::vector<std::int64_t> evenSlices(std::int64_t nodeCount, int processes) {
    std::vector<std::int64_t> first(static_cast<std::size_t>(processes), 0);
    if (nodeCount <= 0) return first;
    for (int r = 0; r < processes; ++r)
        first[static_cast<std::size_t>(r)] =
            static_cast<std::int64_t>(static_cast<__int128>(nodeCount) * r / processes);
    return first;
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

// Every process: the node loop over its slice. The detail files are left
// to the first process; a stop's node index is that of the whole run. The
// unloaded-node flags cover the whole slice, whatever happened.
NodeLoopRun analyseOwnSlice(ProcessGroup& group, std::string_view plan, int threads) {
    const std::int64_t first = group.sliceFirst.at(static_cast<std::size_t>(group.rank));
    const std::int64_t count = group.slice.nodeCount;
    NodeLoopRun loop;
    std::optional<FatalStop> stop = stopOf([&] {
        auto [inputs, work] = unpackLoopPlan(plan);
        inputs.simd = group.simd;
        const SliceWork& mine = work.at(static_cast<std::size_t>(group.rank));
        const std::int64_t modelNodeCount = inputs.nodeCount;
        inputs.nodeStress = std::move(group.slice);
        inputs.nodeCount = count;
        if (mine.analyse) {
            loop = runNodeLoopFrom(inputs, NodeLoopOptions{threads, false},
                                   NodeRange{first, modelNodeCount, mine.carriedIn, false},
                                   nullptr);
        } else {
            // An earlier node stops the run: these results are never used.
            loop.outcome.tables.nodeDamage.assign(static_cast<std::size_t>(count), 0.0);
            loop.outcome.tables.lifeRepeats.assign(static_cast<std::size_t>(count), 0.0);
            loop.outcome.tables.staticFailureCode.assign(static_cast<std::size_t>(count),
                                                         StaticFailureCode::none);
        }
    });
    if (stop) {
        loop.stop = std::move(stop);
        loop.stopNode = 0;
    }
    if (loop.stop) loop.stopNode += first;
    loop.unloaded.resize(static_cast<std::size_t>(count), 0);
    return loop;
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

std::int64_t sliceEnd(const ProcessGroup& group, int r, std::int64_t nodeCount) {
    return r + 1 < group.size ? group.sliceFirst[static_cast<std::size_t>(r) + 1] : nodeCount;
}

// The first process: every process's unloaded-node flags in place, in node
// order (gathered also when a node stops the run: the nodes before it are
// listed).
void gatherUnloaded(const ProcessGroup& group, const std::vector<unsigned char>& own,
                    std::int64_t nodeCount, std::vector<unsigned char>& all) {
    std::copy(own.begin(), own.end(), all.begin());
    for (int r = 1; r < group.size; ++r) {
        const std::int64_t first = group.sliceFirst[static_cast<std::size_t>(r)];
        receiveTable(all, first, sliceEnd(group, r, nodeCount) - first, r, kUnloadedTag);
    }
}

// The first process: every process's results in place, in node order.
void gatherTables(const ProcessGroup& group, const NodeTables& own, std::int64_t nodeCount,
                  NodeTables& all) {
    std::copy(own.nodeDamage.begin(), own.nodeDamage.end(), all.nodeDamage.begin());
    std::copy(own.lifeRepeats.begin(), own.lifeRepeats.end(), all.lifeRepeats.begin());
    std::copy(own.staticFailureCode.begin(), own.staticFailureCode.end(),
              all.staticFailureCode.begin());
    for (int r = 1; r < group.size; ++r) {
        const std::int64_t first = group.sliceFirst[static_cast<std::size_t>(r)];
        const std::int64_t end = sliceEnd(group, r, nodeCount);
        receiveTable(all.nodeDamage, first, end - first, r);
        receiveTable(all.lifeRepeats, first, end - first, r);
        receiveTable(all.staticFailureCode, first, end - first, r);
    }
}

// The first process, after every slice: the nodes with the complete-output
// ID up to the first stop, in node order, each analysed again with its
// detail files, exactly as the one-process loop does after its parallel
// pass. A stop there is returned with its node index.
NodeLoopRun writeDetailNodes(const ProcessGroup& group, std::string_view plan,
                             const std::vector<MaterialCarry>& carries, std::int64_t stopNode) {
    NodeLoopRun result;
    if (group.keptNodeIndexes.empty()) return result;
    RunInputs inputs = unpackLoopPlan(plan).first;
    inputs.simd = group.simd;
    const std::int64_t modelNodeCount = inputs.nodeCount;
    inputs.nodeCount = 1;
    const NodeStressTable& kept = group.keptNodes;
    for (std::size_t i = 0; i < group.keptNodeIndexes.size(); ++i) {
        const std::int64_t node = group.keptNodeIndexes[i];
        if (node > stopNode) break;
        stopIfInterrupted();
        NodeStressTable one;
        one.nodeCount = 1;
        one.loadCaseCount = kept.loadCaseCount;
        one.nodes = {kept.nodes[i]};
        one.baseStress = {kept.baseStress[i]};
        const Stress6* loadCases = kept.loadCasesOf(static_cast<std::int64_t>(i));
        one.loadCaseStress.assign(loadCases, loadCases + kept.loadCaseCount);
        inputs.nodeStress = std::move(one);
        NodeLoopRun loop = runNodeLoopFrom(inputs, NodeLoopOptions{1, false},
                                           NodeRange{node, modelNodeCount, carries[i], true},
                                           nullptr);
        if (loop.stop) {
            result.stopNode = node;
            result.stop = std::move(loop.stop);
            return result;
        }
    }
    return result;
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
            NodeLoopRun loop = analyseOwnSlice(group, bytes, threads);
            const bool stopped = firstStop(group, loop.stop, loop.stopNode).any;
            sendTable(loop.unloaded, kUnloadedTag);
            if (!stopped) {
                sendTable(loop.outcome.tables.nodeDamage);
                sendTable(loop.outcome.tables.lifeRepeats);
                sendTable(loop.outcome.tables.staticFailureCode);
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

NodeStressTable readNodeStressOnProcesses(ProcessGroup& group, const RunInputs& run,
                                          InputWarnings& warnings) {
    const AnalysisParameters& p = run.parameters;
    SliceReading reading;
    reading.path = jobFilePath(run.job, ".nds");
    reading.loadCaseCount = p.loadCaseCount;
    reading.stamp = fileStampOf(reading.path);
    NodeStressIndex index = indexNodeStressFile(reading.path, p.nodeCount, p.loadCaseCount,
                                                evenSlices(p.nodeCount, group.size),
                                                p.completeOutputNode, machineMemoryBytes(),
                                                &warnings);
    if (fileStampOf(reading.path) != reading.stamp || reading.stamp.size != index.fileSize)
        throw changedWhileRead(reading.path);
    reading.slices = std::move(index.slices);
    group.keptNodes = std::move(index.keptNodes);
    group.keptNodeIndexes = std::move(index.keptNodeIndexes);
    std::string bytes = packSliceReading(reading);

    broadcastHeader(Header{Step::readSlices, 0});
    broadcastBytes(group, bytes);
    const std::optional<FatalStop> own = stopOf([&] { readOwnSlice(group, reading); });
    StopAcross stop = firstStop(group, own, -1);
    if (stop.any) throw std::move(stop.stop);

    NodeStressTable table;
    table.nodeCount = p.nodeCount;
    table.loadCaseCount = p.loadCaseCount;
    table.nodes = std::move(index.nodes);
    return table;
}

NodeLoopOutcome runNodeLoopOnProcesses(ProcessGroup& group, const RunInputs& run, int threads,
                                       InputWarnings& warnings) {
    const AnalysisParameters& p = run.parameters;
    const std::vector<NodeEntry>& nodes = run.nodeStress.nodes;
    std::vector<SliceWork> work(static_cast<std::size_t>(group.size));
    std::vector<MaterialCarry> keptCarries(group.keptNodeIndexes.size());
    if (p.materialsMode == MaterialsMode::multiple) {
        const MaterialCarries atSlices = carriesBefore(nodes, run.materials, group.sliceFirst);
        for (std::size_t r = 0; r < work.size(); ++r) {
            work[r].carriedIn = atSlices.before[r];
            // Slices after the node that stops the run for its material are not analysed.
            work[r].analyse =
                atSlices.failingNode < 0 || group.sliceFirst[r] <= atSlices.failingNode;
        }
        keptCarries = carriesBefore(nodes, run.materials, group.keptNodeIndexes).before;
        // Before the loop, as the one-process loop gives them.
        warnAboutMaterials(atSlices.withoutRecord, nodes, run.materials,
                           jobFilePath(run.job, ".mtr"), warnings);
    }
    NodeLoopOutcome outcome;
    outcome.tables.nodeDamage.assign(static_cast<std::size_t>(run.nodeCount), 0.0);
    outcome.tables.lifeRepeats.assign(static_cast<std::size_t>(run.nodeCount), 0.0);
    outcome.tables.staticFailureCode.assign(static_cast<std::size_t>(run.nodeCount),
                                            StaticFailureCode::none);
    std::vector<unsigned char> unloaded(static_cast<std::size_t>(run.nodeCount), 0);
    std::string plan = packLoopPlan(run, work);

    broadcastHeader(Header{Step::analyseNodes, 0});
    broadcastBytes(group, plan);
    NodeLoopRun own = analyseOwnSlice(group, plan, threads);
    StopAcross stop = firstStop(group, own.stop, own.stopNode);
    gatherUnloaded(group, own.unloaded, run.nodeCount, unloaded);
    if (!stop.any) gatherTables(group, own.outcome.tables, run.nodeCount, outcome.tables);
    // A signal to any process ends the run here: no detail file is written.
    if (stop.any && isInterruption(stop.stop)) throw std::move(stop.stop);
    stopIfInterrupted();

    NodeLoopRun detail = writeDetailNodes(
        group, plan, keptCarries, stop.any ? stop.node : std::numeric_limits<std::int64_t>::max());
    if (detail.stop && (!stop.any || detail.stopNode <= stop.node)) {
        stop.any = true;
        stop.node = detail.stopNode;
        stop.stop = std::move(*detail.stop);
    }
    if (stop.any) {
        reportUnloadedNodes(run, unloaded, stop.node, warnings);
        throw std::move(stop.stop);
    }
    outcome.unloadedNodeCount = reportUnloadedNodes(run, unloaded, run.nodeCount, warnings);
    for (StaticFailureCode code : outcome.tables.staticFailureCode)
        if (code != StaticFailureCode::none) outcome.staticFailureAtSomeNode = true;
    return outcome;
}

int runKorvanelOnProcesses(OutputChannel& console, RunOptions options, bool threadsGiven) {
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
}

}  // namespace korvanel
