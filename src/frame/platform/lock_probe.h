// How long the calling thread holds the font catalogue's locks. Only the
// benchmarks compile a catalogue with KDLIB_LOCK_PROBE; in the library the
// probe is nothing at all, so it costs the real build no instruction.
#pragma once

#ifdef KDLIB_LOCK_PROBE
#include <chrono>
#include <cstdint>

namespace kd::platform {

struct LockHoldTimes {
    int64_t exclusiveNs = 0;  // the process-wide exclusive lock
    int64_t sharedNs = 0;     // a reader's hold of the shared lock
};

// The calling thread's running totals.
inline LockHoldTimes& lockHoldTimes() {
    static thread_local LockHoldTimes times;
    return times;
}

// Declared right after a lock is taken: adds the time until its end of
// scope (just before the lock is released) to the thread's total.
class LockHoldProbe {
public:
    explicit LockHoldProbe(bool exclusive) : exclusive_(exclusive), start_(std::chrono::steady_clock::now()) {}
    ~LockHoldProbe() {
        auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start_).count();
        (exclusive_ ? lockHoldTimes().exclusiveNs : lockHoldTimes().sharedNs) += ns;
    }
    LockHoldProbe(const LockHoldProbe&) = delete;
    LockHoldProbe& operator=(const LockHoldProbe&) = delete;

private:
    bool exclusive_;
    std::chrono::steady_clock::time_point start_;
};

}  // namespace kd::platform

#define KD_LOCK_HELD(exclusive) ::kd::platform::LockHoldProbe kdLockHoldProbe_(exclusive)
#else
#define KD_LOCK_HELD(exclusive) ((void)0)
#endif
