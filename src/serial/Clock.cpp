#include "Clock.h"

#include <chrono>
#include <thread>

namespace hc12 {

namespace {
int64_t SteadyNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
}  // namespace

SteadyClock::SteadyClock() : originNs_(SteadyNs()) {}

void SteadyClock::SleepMs(uint32_t ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

uint32_t SteadyClock::TickMs() { return uint32_t((SteadyNs() - originNs_) / 1000000); }

uint64_t SteadyClock::NowUs() { return uint64_t((SteadyNs() - originNs_) / 1000); }

void SteadyClock::SleepUs(uint64_t us) {
    std::this_thread::sleep_for(std::chrono::microseconds(us));
}

}  // namespace hc12
