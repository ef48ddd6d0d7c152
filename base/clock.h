#pragma once

#include <cstdint>

namespace qe {

// Time as the adapter link sees it. The tool uses the steady system clock; tests use a
// manual clock that only moves when somebody sleeps, so time-outs are exact.
class Clock {
public:
    virtual ~Clock() = default;
    // High-resolution counter in nanoseconds since an arbitrary start.
    virtual std::int64_t nowNs() = 0;
    // Blocks the thread for about that long (a manual clock just advances).
    virtual void sleepNs(std::int64_t ns) = 0;
    // One look of a busy wait; the system clock does nothing, a manual clock moves on 1 us
    // so that a spin on it ends.
    virtual void relax() {}
    // True when time passes by itself, as it does for the system's steady clock: a driver may
    // then block on the system's own timed waits instead of sleeping on this clock.
    virtual bool runsInRealTime() const { return false; }

    // Milliseconds truncated to 32 bits; wraps like a system tick count.
    std::uint32_t tickCount() { return static_cast<std::uint32_t>(nowNs() / 1'000'000); }
    void sleepMs(std::uint32_t ms) { sleepNs(static_cast<std::int64_t>(ms) * 1'000'000); }
};

class SystemClock final : public Clock {
public:
    std::int64_t nowNs() override;
    void sleepNs(std::int64_t ns) override;
    bool runsInRealTime() const override { return true; }
};

// Advances only when told to, or when somebody sleeps on it.
class ManualClock final : public Clock {
public:
    explicit ManualClock(std::int64_t startNs = 0) : now_(startNs) {}
    std::int64_t nowNs() override { return now_; }
    void sleepNs(std::int64_t ns) override {
        if (ns > 0) now_ += ns;
    }
    void relax() override { now_ += 1'000; }
    void advanceMs(std::int64_t ms) { now_ += ms * 1'000'000; }
    void setNs(std::int64_t ns) { now_ = ns; }

private:
    std::int64_t now_;
};

}  // namespace qe
