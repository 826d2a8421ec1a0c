#include "run/process_messages.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <type_traits>

namespace korvanel {
namespace {

// Appends values to a message.
struct MessageWriter {
    std::string bytes;

    template <class T>
    void put(const T& value) {
        static_assert(std::is_trivially_copyable_v<T>);
        bytes.append(reinterpret_cast<const char*>(&value), sizeof value);
    }
    template <class T>
    void put(const std::vector<T>& values) {
        static_assert(std::is_trivially_copyable_v<T>);
        put(static_cast<std::uint64_t>(values.size()));
        bytes.append(reinterpret_cast<const char*>(values.data()), values.size() * sizeof(T));
    }
    void put(const std::string& text) {
        put(static_cast<std::uint64_t>(text.size()));
        bytes.append(text);
    }
    void put(const std::vector<std::string>& texts) {
        put(static_cast<std::uint64_t>(texts.size()));
        for (const auto& text : texts) put(text);
    }
};

// Takes values from a message in the order they were put. A message cut
// short, or a count in it beyond its own length, can only come from a fault
// of the program itself (or of the transport): the internal check 951,
// naming the message and what was wrong with it.
struct MessageReader {
    std::string_view bytes;
    const char* message;  // what the message carries, for the stop
    std::size_t pos = 0;

    // `count` items of `unit` bytes (a value, a text, a table: `what`) at
    // the position: the stop when they run past the end of the message.
    void need(std::uint64_t count, std::uint64_t unit, const char* what) const {
        if (count <= (bytes.size() - pos) / unit) return;
        FatalStop stop = runtimeError(InternalCheck::processMessageBroken);
        const std::string size = unit == 1 ? std::to_string(count) + " bytes"
                                           : std::to_string(count) + " rows of " +
                                                 std::to_string(unit) + " bytes";
        stop.details.push_back("the message of " + std::string(message) + " is cut short: " +
                               what + " of " + size + " at byte " + std::to_string(pos) +
                               " runs past its end at byte " + std::to_string(bytes.size()));
        throw stop;
    }
    const char* take(std::uint64_t count, const char* what) {
        need(count, 1, what);
        const char* p = bytes.data() + pos;
        pos += static_cast<std::size_t>(count);
        return p;
    }
    template <class T>
    void get(T& value) {
        static_assert(std::is_trivially_copyable_v<T>);
        std::memcpy(&value, take(sizeof value, "a value"), sizeof value);
    }
    template <class T>
    void get(std::vector<T>& values) {
        static_assert(std::is_trivially_copyable_v<T>);
        std::uint64_t count = 0;
        get(count);
        need(count, sizeof(T), "a table");
        values.resize(static_cast<std::size_t>(count));
        if (count > 0) std::memcpy(values.data(), take(count * sizeof(T), "a table"), count * sizeof(T));
    }
    void get(std::string& text) {
        std::uint64_t count = 0;
        get(count);
        text.assign(take(count, "a text"), static_cast<std::size_t>(count));
    }
    void get(std::vector<std::string>& texts) {
        std::uint64_t count = 0;
        get(count);
        need(count, 1, "a list of texts");
        texts.resize(static_cast<std::size_t>(count));
        for (auto& text : texts) get(text);
    }
};

}  // namespace

FileStamp fileStampOf(const std::string& path) {
    FileStamp stamp;
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return stamp;
    stamp.device = static_cast<std::uint64_t>(info.st_dev);
    stamp.inode = static_cast<std::uint64_t>(info.st_ino);
    stamp.size = static_cast<std::uint64_t>(info.st_size);
    stamp.modifiedSeconds = info.st_mtim.tv_sec;
    stamp.modifiedNanoseconds = info.st_mtim.tv_nsec;
    stamp.changedSeconds = info.st_ctim.tv_sec;
    stamp.changedNanoseconds = info.st_ctim.tv_nsec;
    if (::gethostname(stamp.machine, sizeof stamp.machine - 1) != 0) stamp.machine[0] = '\0';
    stamp.machine[sizeof stamp.machine - 1] = '\0';
    return stamp;
}

bool sameFile(const FileStamp& a, const FileStamp& b) {
    const bool oneMachine = std::strncmp(a.machine, b.machine, sizeof a.machine) == 0;
    return (!oneMachine || a.device == b.device) && a.inode == b.inode && a.size == b.size &&
           a.modifiedSeconds == b.modifiedSeconds &&
           a.modifiedNanoseconds == b.modifiedNanoseconds &&
           a.changedSeconds == b.changedSeconds && a.changedNanoseconds == b.changedNanoseconds;
}

std::string packSliceReading(const SliceReading& reading) {
    MessageWriter w;
    w.put(reading.path);
    w.put(reading.loadCaseCount);
    w.put(reading.stamp);
    w.put(static_cast<std::uint64_t>(reading.slices.size()));
    for (const NodeStressSlice& slice : reading.slices) {
        w.put(slice.firstNode);
        w.put(slice.nodeCount);
        w.put(slice.offsets);
    }
    return std::move(w.bytes);
}

SliceReading unpackSliceReading(std::string_view bytes) {
    MessageReader r{bytes, "the node stress slices"};
    SliceReading reading;
    r.get(reading.path);
    r.get(reading.loadCaseCount);
    r.get(reading.stamp);
    std::uint64_t count = 0;
    r.get(count);
    r.need(count, 1, "a list of slices");
    reading.slices.resize(static_cast<std::size_t>(count));
    for (NodeStressSlice& slice : reading.slices) {
        r.get(slice.firstNode);
        r.get(slice.nodeCount);
        r.get(slice.offsets);
    }
    return reading;
}

// A field added to RunInputs changes its size: it must then be added to the
// loop plan below (or left out on purpose) before this compiles again.
#if defined(__x86_64__) && defined(__GLIBCXX__)
static_assert(sizeof(RunInputs) == 704, "RunInputs changed: pack the new field in packLoopPlan");
#endif

std::string packLoopPlan(const RunInputs& run, const std::vector<SliceWork>& work) {
    static_assert(std::is_trivially_copyable_v<AnalysisParameters>);
    MessageWriter w;
    w.put(run.parameters);
    w.put(run.job.directory);
    w.put(run.job.name);
    w.put(run.decimalSeparator);
    w.put(run.blockGroups);
    w.put(run.materials);
    w.put(run.combination.timePointCount);
    w.put(run.combination.loadCaseCount);
    w.put(run.combination.factor);
    w.put(run.blockSpectrum.blockCount);
    w.put(run.blockSpectrum.loadCaseCount);
    w.put(run.blockSpectrum.blockFrom);
    w.put(run.blockSpectrum.blockTo);
    w.put(run.blockSpectrum.blockCycles);
    w.put(run.nodeCount);
    w.put(run.timePointCount);
    w.put(run.allowUnloadedNodes);
    w.put(run.completeOutputNodeFound);
    w.put(run.completeOutputIndex);
    w.put(work);
    return std::move(w.bytes);
}

std::pair<RunInputs, std::vector<SliceWork>> unpackLoopPlan(std::string_view bytes) {
    MessageReader r{bytes, "the loop plan"};
    std::pair<RunInputs, std::vector<SliceWork>> plan;
    RunInputs& run = plan.first;
    r.get(run.parameters);
    r.get(run.job.directory);
    r.get(run.job.name);
    r.get(run.decimalSeparator);
    r.get(run.blockGroups);
    r.get(run.materials);
    r.get(run.combination.timePointCount);
    r.get(run.combination.loadCaseCount);
    r.get(run.combination.factor);
    r.get(run.blockSpectrum.blockCount);
    r.get(run.blockSpectrum.loadCaseCount);
    r.get(run.blockSpectrum.blockFrom);
    r.get(run.blockSpectrum.blockTo);
    r.get(run.blockSpectrum.blockCycles);
    r.get(run.nodeCount);
    r.get(run.timePointCount);
    r.get(run.allowUnloadedNodes);
    r.get(run.completeOutputNodeFound);
    r.get(run.completeOutputIndex);
    r.get(plan.second);
    return plan;
}

std::string packStop(std::int64_t node, const FatalStop& stop) {
    MessageWriter w;
    w.put(node);
    w.put(stop.consoleLines);
    w.put(stop.advisoryLines);
    w.put(stop.details);
    w.put(stop.exitStatus);
    return std::move(w.bytes);
}

std::pair<std::int64_t, FatalStop> unpackStop(std::string_view bytes) {
    MessageReader r{bytes, "a stop"};
    std::pair<std::int64_t, FatalStop> stop;
    r.get(stop.first);
    r.get(stop.second.consoleLines);
    r.get(stop.second.advisoryLines);
    r.get(stop.second.details);
    r.get(stop.second.exitStatus);
    return stop;
}

}  // namespace korvanel
