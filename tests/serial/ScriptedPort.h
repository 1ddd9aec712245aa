// A serial port that plays a script on a virtual clock: bytes and line errors arrive
// at given times, and everything the link does to the port is recorded.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <limits>
#include <vector>

#include "Clock.h"
#include "SerialPort.h"

namespace hc12::test {

class ScriptedPort final : public SerialPort {
  public:
    explicit ScriptedPort(VirtualClock& clock, bool* destroyed = nullptr)
        : clock_(clock), destroyed_(destroyed) {}
    ~ScriptedPort() override {
        if (destroyed_ != nullptr) {
            *destroyed_ = true;
        }
    }

    // --- script ---
    void ArriveAfterMs(uint32_t ms, std::vector<uint8_t> bytes, uint32_t errors = 0) {
        arrivals_.push_back({clock_.NowUs() + uint64_t(ms) * 1000, std::move(bytes), errors});
    }
    // One byte every periodMs, starting periodMs from now, until untilMs from now.
    void StreamEveryMs(uint32_t periodMs, uint64_t untilMs) {
        streamPeriodUs_ = uint64_t(periodMs) * 1000;
        streamNextUs_ = clock_.NowUs() + streamPeriodUs_;
        streamUntilUs_ = untilMs == kForever ? kForever : clock_.NowUs() + untilMs * 1000;
    }
    static constexpr uint64_t kForever = std::numeric_limits<uint64_t>::max();
    // Called after each write has "left the PC", to script the reply.
    std::function<void(const std::vector<uint8_t>&)> onWrite;
    // How long a write takes to drain.
    uint64_t writeDurationUs = 0;

    // --- records ---
    std::vector<std::vector<uint8_t>> writes;
    std::vector<uint64_t> writeEndUs;
    std::vector<size_t> readSizes;       // maxSize of every Read
    std::vector<uint64_t> clearTimesUs;  // when ClearErrors was called
    std::vector<bool> rts;
    bool hungUp = false;  // what HungUp answers
    int applyCount = 0;
    int purgeCount = 0;
    int waitCount = 0;

    // --- SerialPort ---
    void ApplyLineSettings() override { ++applyCount; }
    void SetRts(bool active) override { rts.push_back(active); }
    bool Write(const uint8_t* data, size_t size) override {
        writes.emplace_back(data, data + size);
        clock_.AdvanceUs(writeDurationUs);
        writeEndUs.push_back(clock_.NowUs());
        if (onWrite) {
            onWrite(writes.back());
        }
        return true;
    }
    LineStatus ClearErrors() override {
        Pump();
        clearTimesUs.push_back(clock_.NowUs());
        LineStatus status{errors_, uint32_t(queue_.size())};
        errors_ = 0;
        return status;
    }
    size_t Read(uint8_t* dest, size_t maxSize) override {
        Pump();
        readSizes.push_back(maxSize);
        const size_t n = std::min(maxSize, queue_.size());
        std::copy(queue_.begin(), queue_.begin() + long(n), dest);
        queue_.erase(queue_.begin(), queue_.begin() + long(n));
        return n;
    }
    bool WaitForInput(uint32_t timeoutMs) override {
        ++waitCount;
        Pump();
        if (!queue_.empty()) {
            return true;
        }
        const uint64_t deadline = clock_.NowUs() + uint64_t(timeoutMs) * 1000;
        const uint64_t next = NextEventUs();
        if (next <= deadline) {
            clock_.AdvanceUs(next - clock_.NowUs());
            Pump();
            return !queue_.empty();
        }
        clock_.AdvanceUs(deadline - clock_.NowUs());
        return false;
    }
    void Purge() override {
        Pump();
        ++purgeCount;
        queue_.clear();
    }

    bool HungUp() override { return hungUp; }

    size_t Queued() {
        Pump();
        return queue_.size();
    }

  private:
    struct Arrival {
        uint64_t atUs;
        std::vector<uint8_t> bytes;
        uint32_t errors;
    };

    uint64_t NextEventUs() const {
        uint64_t next = kForever;
        for (const auto& a : arrivals_) {
            next = std::min(next, a.atUs);
        }
        if (streamPeriodUs_ != 0 && streamNextUs_ <= streamUntilUs_) {
            next = std::min(next, streamNextUs_);
        }
        return next;
    }

    void Pump() {
        const uint64_t now = clock_.NowUs();
        for (auto it = arrivals_.begin(); it != arrivals_.end();) {
            if (it->atUs <= now) {
                queue_.insert(queue_.end(), it->bytes.begin(), it->bytes.end());
                errors_ |= it->errors;
                it = arrivals_.erase(it);
            } else {
                ++it;
            }
        }
        while (streamPeriodUs_ != 0 && streamNextUs_ <= now && streamNextUs_ <= streamUntilUs_) {
            queue_.push_back(uint8_t(streamNextUs_ / 1000));
            streamNextUs_ += streamPeriodUs_;
        }
    }

    VirtualClock& clock_;
    bool* destroyed_;
    std::vector<Arrival> arrivals_;
    std::vector<uint8_t> queue_;
    uint32_t errors_ = 0;
    uint64_t streamPeriodUs_ = 0;
    uint64_t streamNextUs_ = 0;
    uint64_t streamUntilUs_ = 0;
};

}  // namespace hc12::test
