// Every pause and time-out of the protocol goes through a Clock, so tests can run
// minutes of pauses in milliseconds on a virtual clock and still check them.
#pragma once

#include <cstdint>

namespace hc12 {

class Clock {
public:
    virtual ~Clock() = default;
    virtual void SleepMs(uint32_t ms) = 0;
    // Millisecond tick; wraps like a 32-bit tick counter, compare by unsigned difference.
    virtual uint32_t TickMs() = 0;
    // Microseconds since some fixed point; finer than the tick, for wire timing.
    virtual uint64_t NowUs() = 0;
    // Sleep for a microsecond span (used by ports that model wire time).
    virtual void SleepUs(uint64_t us) = 0;
};

// The real clock: std::chrono::steady_clock and real sleeps.
class SteadyClock final : public Clock {
public:
    SteadyClock();
    void SleepMs(uint32_t ms) override;
    uint32_t TickMs() override;
    uint64_t NowUs() override;
    void SleepUs(uint64_t us) override;

private:
    int64_t originNs_;
};

// A clock that only moves when something sleeps on it or advances it.
class VirtualClock final : public Clock {
public:
    void SleepMs(uint32_t ms) override { nowUs_ += uint64_t(ms) * 1000; }
    uint32_t TickMs() override { return uint32_t(nowUs_ / 1000); }
    uint64_t NowUs() override { return nowUs_; }
    void SleepUs(uint64_t us) override { nowUs_ += us; }
    void AdvanceUs(uint64_t us) { nowUs_ += us; }

private:
    uint64_t nowUs_ = 0;
};

}  // namespace hc12
