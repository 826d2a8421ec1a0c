#include "base/signal_guard.hpp"

#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "base/fatal_stop.hpp"

namespace korvanel {
namespace {

// Everything here is read by the handlers: lock-free atomics only.
static_assert(std::atomic<int>::is_always_lock_free);
static_assert(std::atomic<const char*>::is_always_lock_free);
static_assert(std::atomic<std::size_t>::is_always_lock_free);

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

std::atomic<int> requestedSignal{0};

// A run has at most two files open for writing at once; the slots leave
// ample room.
constexpr int kTemporarySlots = 32;
std::atomic<const char*> temporaries[kTemporarySlots];

struct MappingSlot {
    std::atomic<char*> begin{nullptr};
    std::atomic<std::size_t> size{0};
    std::atomic<bool> cut{false};
};
constexpr int kMappingSlots = 16;
MappingSlot mappings[kMappingSlots];

std::atomic<std::size_t> pageSize{4096};

void removeTemporaries() {
    for (auto& slot : temporaries) {
        const char* path = slot.load();
        if (path != nullptr) ::unlink(path);
    }
}

void onStopSignal(int signal) {
    const int savedErrno = errno;
    removeTemporaries();
    int none = 0;
    if (!requestedSignal.compare_exchange_strong(none, signal)) {
        // Asked twice: end now. The signal is blocked while this handler
        // runs, so it takes effect as soon as the handler returns.
        ::signal(signal, SIG_DFL);
        ::raise(signal);
    }
    errno = savedErrno;
}

// A read from a mapped input file beyond its end (the file was cut short
// while it was read): the rest of the mapping becomes zeros, so the read
// goes on and the reader finds out from the mark that the file changed.
void onBusError(int, siginfo_t* info, void*) {
    const int savedErrno = errno;
    auto* address = static_cast<char*>(info->si_addr);
    if (info->si_code > 0) {  // raised by a fault, not sent by a program
        const std::size_t page = pageSize.load();
        for (auto& slot : mappings) {
            char* begin = slot.begin.load();
            const std::size_t size = slot.size.load();
            if (begin == nullptr || address < begin || address >= begin + size) continue;
            char* from = begin + static_cast<std::size_t>(address - begin) / page * page;
            void* zeros = ::mmap(from, static_cast<std::size_t>(begin + size - from), PROT_READ,
                                 MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
            if (zeros == MAP_FAILED) break;
            slot.cut.store(true);
            errno = savedErrno;
            return;
        }
    }
    // Not a file of the run: the usual end, when the faulting read runs again.
    ::signal(SIGBUS, SIG_DFL);
    if (info->si_code <= 0) ::raise(SIGBUS);
    errno = savedErrno;
}

void setAction(int signal, const struct sigaction& action) {
    ::sigaction(signal, &action, nullptr);
}

sigset_t stopSignalSet() {
    sigset_t set;
    sigemptyset(&set);
    for (int s : kStopSignals) sigaddset(&set, s);
    return set;
}

}  // namespace

void installSignalHandlers() {
    const long page = ::sysconf(_SC_PAGESIZE);
    if (page > 0) pageSize.store(static_cast<std::size_t>(page));

    struct sigaction stop {};
    stop.sa_handler = onStopSignal;
    stop.sa_mask = stopSignalSet();
    stop.sa_flags = 0;  // no restart: a waiting read returns
    for (int s : kStopSignals) {
        // A signal the program was started with ignored (nohup, a script's
        // background job ignoring SIGINT) stays ignored: whoever started the
        // run asked for it to survive that signal.
        struct sigaction inherited {};
        if (::sigaction(s, nullptr, &inherited) == 0 && inherited.sa_handler == SIG_IGN) continue;
        setAction(s, stop);
    }

    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    setAction(SIGPIPE, ignore);
    setAction(SIGXFSZ, ignore);

    struct sigaction bus {};
    bus.sa_sigaction = onBusError;
    sigemptyset(&bus.sa_mask);
    bus.sa_flags = SA_SIGINFO;
    setAction(SIGBUS, bus);
}

int stopSignal() { return requestedSignal.load(std::memory_order_relaxed); }

void stopIfInterrupted() {
    const int signal = stopSignal();
    if (signal != 0) throw interruptedBySignal(signal);
}

StopSignalsBlocked::StopSignalsBlocked() {
    const sigset_t set = stopSignalSet();
    ::pthread_sigmask(SIG_BLOCK, &set, &saved_);
}

StopSignalsBlocked::~StopSignalsBlocked() { ::pthread_sigmask(SIG_SETMASK, &saved_, nullptr); }

TemporaryFileMark::TemporaryFileMark(const std::string& path) {
    path_ = std::make_unique<char[]>(path.size() + 1);
    std::memcpy(path_.get(), path.c_str(), path.size() + 1);
    for (int i = 0; i < kTemporarySlots; ++i) {
        const char* none = nullptr;
        if (temporaries[i].compare_exchange_strong(none, path_.get())) {
            slot_ = i;
            return;
        }
    }
    // No slot free: the file is still removed by its owner on every stop,
    // only not by a second signal that ends the process at once.
}

TemporaryFileMark::TemporaryFileMark(TemporaryFileMark&& other) noexcept
    : slot_(other.slot_), path_(std::move(other.path_)) {
    other.slot_ = -1;
}

TemporaryFileMark& TemporaryFileMark::operator=(TemporaryFileMark&& other) noexcept {
    if (this != &other) {
        release();
        slot_ = other.slot_;
        path_ = std::move(other.path_);
        other.slot_ = -1;
    }
    return *this;
}

TemporaryFileMark::~TemporaryFileMark() { release(); }

void TemporaryFileMark::release() {
    if (slot_ >= 0) temporaries[slot_].store(nullptr);
    slot_ = -1;
    path_.reset();
}

InputMappingMark::InputMappingMark(const void* begin, std::size_t size) {
    for (int i = 0; i < kMappingSlots; ++i) {
        char* none = nullptr;
        MappingSlot& slot = mappings[i];
        // The size and the mark are set before the slot is published.
        if (slot.begin.load() != nullptr) continue;
        slot.size.store(size);
        slot.cut.store(false);
        char* const start = static_cast<char*>(const_cast<void*>(begin));
        if (slot.begin.compare_exchange_strong(none, start)) {
            slot_ = i;
            return;
        }
    }
}

InputMappingMark::InputMappingMark(InputMappingMark&& other) noexcept : slot_(other.slot_) {
    other.slot_ = -1;
}

InputMappingMark& InputMappingMark::operator=(InputMappingMark&& other) noexcept {
    if (this != &other) {
        if (slot_ >= 0) mappings[slot_].begin.store(nullptr);
        slot_ = other.slot_;
        other.slot_ = -1;
    }
    return *this;
}

InputMappingMark::~InputMappingMark() {
    if (slot_ >= 0) mappings[slot_].begin.store(nullptr);
}

bool InputMappingMark::registered() const { return slot_ >= 0; }

bool InputMappingMark::cut() const { return slot_ >= 0 && mappings[slot_].cut.load(); }

}  // namespace korvanel
