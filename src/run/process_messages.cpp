#include "run/process_messages.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <concepts>
#include <cstring>
#include <type_traits>
#include <utility>
#include <variant>

namespace korvanel {
namespace {

// The fields of each record that travels, in order, handed to `field`
// (which puts or gets them). Values that are trivially copyable travel as
// their bytes, tables as their count and rows.
template <class T, class Record>
concept Is = std::same_as<std::remove_const_t<T>, Record>;

template <Is<JobLocation> T, class F>
void fields(T& job, F& field) {
    field(job.directory);
    field(job.name);
}

template <Is<NodeStressSlice> T, class F>
void fields(T& slice, F& field) {
    field(slice.firstNode);
    field(slice.nodeCount);
    field(slice.offsets);
}

template <Is<SliceReading> T, class F>
void fields(T& reading, F& field) {
    field(reading.path);
    field(reading.loadCaseCount);
    field(reading.stamp);
    field(reading.slices);
}

template <Is<SingleHistoryInput> T, class F>
void fields(T& in, F& field) {
    field(in.history.states);
}

// Of the node stresses only their shape travels: every process reads its own.
template <Is<CombinationInput> T, class F>
void fields(T& in, F& field) {
    field(in.nodeStress.nodeCount);
    field(in.nodeStress.loadCaseCount);
    field(in.combination.timePointCount);
    field(in.combination.loadCaseCount);
    field(in.combination.factor);
}

template <Is<SpectrumInput> T, class F>
void fields(T& in, F& field) {
    field(in.nodeStress.nodeCount);
    field(in.nodeStress.loadCaseCount);
    field(in.spectrum.blockCount);
    field(in.spectrum.loadCaseCount);
    field(in.spectrum.blockFrom);
    field(in.spectrum.blockTo);
    field(in.spectrum.blockCycles);
}

// Everything but the vector form of the kernels, which is each process's own.
template <Is<RunInputs> T, class F>
void fields(T& run, F& field) {
    field(run.parameters);
    field(run.job);
    field(run.decimalSeparator);
    field(run.blockGroups);
    field(run.materials);
    field(run.input);
    field(run.allowUnloadedNodes);
    field(run.damageScreen);
    field(run.completeOutputNodeFound);
    field(run.completeOutputIndex);
    field(run.detailFilesAfterLoop);
}

template <Is<FatalStop> T, class F>
void fields(T& stop, F& field) {
    field(stop.consoleLines);
    field(stop.advisoryLines);
    field(stop.details);
    field(stop.exitStatus);
}

// A pair travels as its first value, then its second.
template <class P, class F>
    requires requires(P& pair) { pair.first, pair.second; }
void fields(P& pair, F& field) {
    field(pair.first);
    field(pair.second);
}

// Appends values to a message.
struct MessageWriter {
    std::string bytes;

    template <class T>
    void operator()(const T& value) {
        if constexpr (std::is_trivially_copyable_v<T>)
            bytes.append(reinterpret_cast<const char*>(&value), sizeof value);
        else
            fields(value, *this);
    }
    void operator()(const std::string& text) {
        (*this)(static_cast<std::uint64_t>(text.size()));
        bytes.append(text);
    }
    template <class T>
    void operator()(const std::vector<T>& values) {
        (*this)(static_cast<std::uint64_t>(values.size()));
        if constexpr (std::is_trivially_copyable_v<T>)
            bytes.append(reinterpret_cast<const char*>(values.data()), values.size() * sizeof(T));
        else
            for (const T& value : values) (*this)(value);
    }
    // The kind, then its record.
    template <class... T>
    void operator()(const std::variant<T...>& value) {
        (*this)(static_cast<std::uint64_t>(value.index()));
        std::visit([&](const auto& record) { (*this)(record); }, value);
    }
};

// Takes values from a message in the order they were put. A message cut
// short, a count in it beyond its own length or a kind it does not know can
// only come from a fault of the program itself (or of the transport): the
// internal check 951, naming the message and what was wrong with it.
struct MessageReader {
    std::string_view bytes;
    const char* message;  // what the message carries, for the stop
    std::size_t pos = 0;

    [[noreturn]] void broken(const std::string& what) const {
        FatalStop stop = runtimeError(InternalCheck::processMessageBroken);
        stop.details.push_back("the message of " + std::string(message) + " " + what);
        throw stop;
    }
    // `count` items of at least `unit` bytes at the position: the stop when
    // they run past the end of the message.
    void need(std::uint64_t count, std::uint64_t unit, const char* what) const {
        if (count <= (bytes.size() - pos) / unit) return;
        const std::string size = unit == 1 ? std::to_string(count) + " bytes"
                                           : std::to_string(count) + " rows of " +
                                                 std::to_string(unit) + " bytes";
        broken("is cut short: " + std::string(what) + " of " + size + " at byte " +
               std::to_string(pos) + " runs past its end at byte " + std::to_string(bytes.size()));
    }
    const char* take(std::uint64_t count, const char* what) {
        need(count, 1, what);
        const char* p = bytes.data() + pos;
        pos += static_cast<std::size_t>(count);
        return p;
    }
    template <class T>
    void operator()(T& value) {
        if constexpr (std::is_trivially_copyable_v<T>)
            std::memcpy(&value, take(sizeof value, "a value"), sizeof value);
        else
            fields(value, *this);
    }
    void operator()(std::string& text) {
        std::uint64_t count = 0;
        (*this)(count);
        text.assign(take(count, "a text"), static_cast<std::size_t>(count));
    }
    template <class T>
    void operator()(std::vector<T>& values) {
        std::uint64_t count = 0;
        (*this)(count);
        // Every row takes at least a byte, so the count cannot ask for more rows than bytes.
        const std::size_t least = std::is_trivially_copyable_v<T> ? sizeof(T) : 1;
        need(count, least, "a table");
        values.resize(static_cast<std::size_t>(count));
        if constexpr (std::is_trivially_copyable_v<T>) {
            if (count > 0)
                std::memcpy(values.data(), take(count * sizeof(T), "a table"), count * sizeof(T));
        } else {
            for (T& value : values) (*this)(value);
        }
    }
    template <class... T>
    void operator()(std::variant<T...>& value) {
        std::uint64_t kind = 0;
        (*this)(kind);
        if (kind >= sizeof...(T))
            broken("is of an unknown kind " + std::to_string(kind) + " at byte " + std::to_string(pos));
        emplaceKind(value, static_cast<std::size_t>(kind), std::index_sequence_for<T...>{});
        std::visit([&](auto& record) { (*this)(record); }, value);
    }
    template <class V, std::size_t... I>
    static void emplaceKind(V& value, std::size_t kind, std::index_sequence<I...>) {
        ((kind == I ? (void)value.template emplace<I>() : void()), ...);
    }
};

template <class... T>
std::string pack(const T&... values) {
    MessageWriter w;
    (w(values), ...);
    return std::move(w.bytes);
}

// The value of type T that a message of `message` holds.
template <class T>
T unpack(std::string_view bytes, const char* message) {
    T value;
    MessageReader{bytes, message}(value);
    return value;
}

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

std::string packSliceReading(const SliceReading& reading) { return pack(reading); }

SliceReading unpackSliceReading(std::string_view bytes) {
    return unpack<SliceReading>(bytes, "the node stress slices");
}

std::string packLoopPlan(const RunInputs& run, const std::vector<SliceWork>& work) {
    return pack(run, work);
}

std::pair<RunInputs, std::vector<SliceWork>> unpackLoopPlan(std::string_view bytes) {
    return unpack<std::pair<RunInputs, std::vector<SliceWork>>>(bytes, "the loop plan");
}

std::string packStop(std::int64_t node, const FatalStop& stop) { return pack(node, stop); }

std::pair<std::int64_t, FatalStop> unpackStop(std::string_view bytes) {
    return unpack<std::pair<std::int64_t, FatalStop>>(bytes, "a stop");
}

}  // namespace korvanel
