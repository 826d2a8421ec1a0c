#include "run/process_messages.hpp"

#include <cstring>
#include <stdexcept>
#include <type_traits>
#include <variant>

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
// short can only come from a fault of the program itself.
struct MessageReader {
    std::string_view bytes;
    std::size_t pos = 0;

    const char* take(std::uint64_t count) {
        if (count > bytes.size() - pos) throw std::length_error("message cut short");
        const char* p = bytes.data() + pos;
        pos += static_cast<std::size_t>(count);
        return p;
    }
    template <class T>
    void get(T& value) {
        static_assert(std::is_trivially_copyable_v<T>);
        std::memcpy(&value, take(sizeof value), sizeof value);
    }
    template <class T>
    void get(std::vector<T>& values) {
        static_assert(std::is_trivially_copyable_v<T>);
        std::uint64_t count = 0;
        get(count);
        if (count > (bytes.size() - pos) / sizeof(T)) throw std::length_error("message cut short");
        values.resize(static_cast<std::size_t>(count));
        if (count > 0) std::memcpy(values.data(), take(count * sizeof(T)), count * sizeof(T));
    }
    void get(std::string& text) {
        std::uint64_t count = 0;
        get(count);
        text.assign(take(count), static_cast<std::size_t>(count));
    }
    void get(std::vector<std::string>& texts) {
        std::uint64_t count = 0;
        get(count);
        if (count > bytes.size() - pos) throw std::length_error("message cut short");
        texts.resize(static_cast<std::size_t>(count));
        for (auto& text : texts) get(text);
    }
};

}  // namespace

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
    MessageReader r{bytes};
    SliceReading reading;
    r.get(reading.path);
    r.get(reading.loadCaseCount);
    r.get(reading.stamp);
    std::uint64_t count = 0;
    r.get(count);
    if (count > bytes.size()) throw std::length_error("message cut short");
    reading.slices.resize(static_cast<std::size_t>(count));
    for (NodeStressSlice& slice : reading.slices) {
        r.get(slice.firstNode);
        r.get(slice.nodeCount);
        r.get(slice.offsets);
    }
    return reading;
}

namespace {

// Each kind of stress input packs its own tables; the node stresses stay
// behind (every process reads its own), only their shape travels.
void putShape(MessageWriter& w, const NodeStressTable& t) {
    w.put(t.nodeCount);
    w.put(t.loadCaseCount);
}
void getShape(MessageReader& r, NodeStressTable& t) {
    r.get(t.nodeCount);
    r.get(t.loadCaseCount);
}

void put(MessageWriter& w, const SingleHistoryInput& in) { w.put(in.history.states); }
void get(MessageReader& r, SingleHistoryInput& in) { r.get(in.history.states); }

void put(MessageWriter& w, const CombinationInput& in) {
    putShape(w, in.nodeStress);
    w.put(in.combination.timePointCount);
    w.put(in.combination.loadCaseCount);
    w.put(in.combination.factor);
}
void get(MessageReader& r, CombinationInput& in) {
    getShape(r, in.nodeStress);
    r.get(in.combination.timePointCount);
    r.get(in.combination.loadCaseCount);
    r.get(in.combination.factor);
}

void put(MessageWriter& w, const SpectrumInput& in) {
    putShape(w, in.nodeStress);
    w.put(in.spectrum.blockCount);
    w.put(in.spectrum.loadCaseCount);
    w.put(in.spectrum.blockFrom);
    w.put(in.spectrum.blockTo);
    w.put(in.spectrum.blockCycles);
}
void get(MessageReader& r, SpectrumInput& in) {
    getShape(r, in.nodeStress);
    r.get(in.spectrum.blockCount);
    r.get(in.spectrum.loadCaseCount);
    r.get(in.spectrum.blockFrom);
    r.get(in.spectrum.blockTo);
    r.get(in.spectrum.blockCycles);
}

// The kind as its place in StressInput, then its record.
void put(MessageWriter& w, const StressInput& input) {
    w.put(static_cast<std::uint64_t>(input.index()));
    std::visit([&](const auto& in) { put(w, in); }, input);
}
void get(MessageReader& r, StressInput& input) {
    std::uint64_t kind = 0;
    r.get(kind);
    if (kind == 1)
        input.emplace<CombinationInput>();
    else if (kind == 2)
        input.emplace<SpectrumInput>();
    else if (kind != 0)
        throw std::length_error("message of an unknown kind");
    std::visit([&](auto& in) { get(r, in); }, input);
}

}  // namespace

std::string packLoopPlan(const RunInputs& run, const std::vector<SliceWork>& work) {
    static_assert(std::is_trivially_copyable_v<AnalysisParameters>);
    MessageWriter w;
    w.put(run.parameters);
    w.put(run.job.directory);
    w.put(run.job.name);
    w.put(run.decimalSeparator);
    w.put(run.blockGroups);
    w.put(run.materials);
    put(w, run.input);
    w.put(run.allowUnloadedNodes);
    w.put(run.completeOutputNodeFound);
    w.put(run.completeOutputIndex);
    w.put(work);
    return std::move(w.bytes);
}

std::pair<RunInputs, std::vector<SliceWork>> unpackLoopPlan(std::string_view bytes) {
    MessageReader r{bytes};
    std::pair<RunInputs, std::vector<SliceWork>> plan;
    RunInputs& run = plan.first;
    r.get(run.parameters);
    r.get(run.job.directory);
    r.get(run.job.name);
    r.get(run.decimalSeparator);
    r.get(run.blockGroups);
    r.get(run.materials);
    get(r, run.input);
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
    MessageReader r{bytes};
    std::pair<std::int64_t, FatalStop> stop;
    r.get(stop.first);
    r.get(stop.second.consoleLines);
    r.get(stop.second.advisoryLines);
    r.get(stop.second.details);
    r.get(stop.second.exitStatus);
    return stop;
}

}  // namespace korvanel
