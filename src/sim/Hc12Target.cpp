// The 68HC12 family: a fixed EEPROM window, INITEE's enable bit, EEMCR, EEPROT and
// the EEPROG register that latches a word, switches the high voltage on and off and
// erases or programs only when it was on long enough. The HC912D parts also time
// their EEPROM from the divider pair EEDIVH:EEDIVL, which must match the quartz.
#include <array>

#include "Target.h"

namespace hc12::sim {
namespace {

constexpr uint16_t kInitee = 0x0012;
constexpr uint16_t kEedivH = 0x00EE;
constexpr uint16_t kEedivL = 0x00EF;
constexpr uint16_t kEemcr = 0x00F0;
constexpr uint16_t kEeprot = 0x00F1;
constexpr uint16_t kEeprog = 0x00F3;
constexpr uint32_t kRegisterBlockEnd = 0x0200;

// EEPROG bits.
constexpr uint8_t kBulkp = 0x80;    // bulk and row erase protected
constexpr uint8_t kByte = 0x10;     // erase only the latched byte or word
constexpr uint8_t kRow = 0x08;      // erase the latched row (32 bytes)
constexpr uint8_t kErase = 0x04;    // high voltage erases instead of programs
constexpr uint8_t kEelat = 0x02;    // EEPROM latched for erase/programming
constexpr uint8_t kEepgm = 0x01;    // high voltage on
constexpr uint8_t kProtlck = 0x02;  // EEMCR: EEPROT locked

constexpr uint64_t kMinHighVoltageUs = 10000;  // erase and programming pulse
// A strict board also wants it not much longer: 15 ms plus the adapter's latency,
// which the reply that proves the pulse runs has to come through.
constexpr uint64_t kMaxHighVoltageUs = 15000;
constexpr uint32_t kRowSize = 32;

class Hc12Target final : public Target {
  public:
    Hc12Target(const std::string& model, uint16_t start, uint32_t size, const BoardOptions& o)
        : Target(o.strict),
          start_(start),
          cells_(size, o.stuckAddress),
          lockedEeprot_(o.eprot),
          quartzMhz_(o.quartzMhz),
          timedLine_(o.timedLine),
          maxPulseUs_(kMaxHighVoltageUs + uint64_t(o.latencyMs) * 1000),
          // The divider pair came with the later D parts ("HC912D60x", "HC912Dx128x");
          // the original HC(9)12D60 times its EEPROM without it.
          hasDivider_(model.find("HC912D") != std::string::npos) {
        Reset();
    }

    void Reset() override {
        regs_.fill(0);
        regs_[kInitee] = 0x01;  // EEPROM on
        regs_[kEemcr] = 0xFC;
        regs_[kEeprot] = lockedEeprot_.value_or(0x1F);  // every block protected
        regs_[kEeprog] = kBulkp;
        latch_.clear();
    }

    uint8_t Read(uint16_t address, uint64_t) override { return Peek(address); }

    void Write(uint16_t address, const uint8_t* data, size_t size, uint64_t nowUs) override {
        if (InEeprom(address)) {
            WriteEeprom(address, data, size);
            return;
        }
        for (size_t i = 0; i < size; ++i)
            WriteByte(uint16_t(address + i), data[i], nowUs);
    }

    uint8_t Peek(uint16_t address) const override {
        if (address < kRegisterBlockEnd)
            return regs_[address];
        if (InEeprom(address))
            return cells_.at(address - start_);
        return memory_[address];
    }

    void Poke(uint16_t address, uint8_t value) override {
        if (address < kRegisterBlockEnd)
            regs_[address] = value;
        else if (InEeprom(address))
            cells_.raw(address - start_) = value;
        else
            memory_[address] = value;
    }

    uint16_t EepromStart() const override { return start_; }
    uint32_t EepromSize() const override { return cells_.size(); }

  private:
    bool EepromOn() const { return regs_[kInitee] & 0x01; }
    bool InEeprom(uint32_t address) const {
        return EepromOn() && address >= start_ && address - start_ < cells_.size() &&
               address >= kRegisterBlockEnd;
    }

    void WriteByte(uint16_t address, uint8_t value, uint64_t nowUs) {
        if (address >= kRegisterBlockEnd) {
            memory_[address] = value;
            return;
        }
        switch (address) {
            case kEeprot:
                if (!lockedEeprot_ && !(regs_[kEemcr] & kProtlck))
                    regs_[kEeprot] = value;
                return;
            case kEeprog:
                WriteEeprog(value, nowUs);
                return;
            default:
                regs_[address] = value;
        }
    }

    // The array takes writes only while latched and with the high voltage off; the
    // write names the byte or word that the next pulse erases or programs.
    void WriteEeprom(uint16_t address, const uint8_t* data, size_t size) {
        const uint8_t eeprog = regs_[kEeprog];
        if (!(eeprog & kEelat) || (eeprog & kEepgm))
            return;
        latch_.clear();
        for (size_t i = 0; i < size; ++i)
            if (InEeprom(uint32_t(address) + i))
                latch_.push_back({uint16_t(address + i), data[i]});
    }

    void WriteEeprog(uint8_t value, uint64_t nowUs) {
        const uint8_t old = regs_[kEeprog];
        if (old & kEepgm) {
            // While the high voltage is on, only EEPGM itself can change.
            if (!(value & kEepgm)) {
                regs_[kEeprog] = uint8_t(old & ~kEepgm);
                EndPulse(old, frameStartUs_);
            }
            return;
        }
        uint8_t next = value;
        if (!(next & kEelat) || !(old & kEelat))
            latch_.clear();
        // The pulse can start only on a latched array that was given an address.
        if ((next & kEepgm) && (!(old & kEelat) || !(next & kEelat) || latch_.empty()))
            next = uint8_t(next & ~kEepgm);
        if (next & kEepgm)
            pulseStartUs_ = nowUs;
        regs_[kEeprog] = next;
    }

    bool DividerMatchesQuartz() const {
        if (!hasDivider_)
            return true;
        const uint32_t divider = uint32_t(regs_[kEedivH]) << 8 | regs_[kEedivL];
        return divider == uint32_t(quartzMhz_) * 35;
    }

    void EndPulse(uint8_t mode, uint64_t endUs) {
        if (!latch_.empty()) {
            commands_.push_back({mode, latch_.front().address, pulseStartUs_, endUs});
            const uint64_t lengthUs = endUs - pulseStartUs_;
            if (timedLine_ && (lengthUs < kMinHighVoltageUs || lengthUs > maxPulseUs_))
                Flag(std::string(mode & kErase ? "erase" : "programming") + " pulse at " +
                     Hex(latch_.front().address, 4) + " lasted " + std::to_string(lengthUs) +
                     " us, not " + std::to_string(kMinHighVoltageUs) + " to " +
                     std::to_string(maxPulseUs_) + " us");
        }
        if (timedLine_ && endUs < pulseStartUs_ + kMinHighVoltageUs)
            return;
        if (regs_[kEeprot] != 0 || latch_.empty())
            return;
        const bool complete = DividerMatchesQuartz();
        if (!(mode & kErase)) {
            for (const auto& [address, data] : latch_)
                cells_.Program(address - start_, address, data, complete);
            return;
        }
        if (mode & kByte) {
            for (const auto& entry : latch_)
                cells_.Erase(entry.address - start_, complete);
        } else if (mode & kBulkp) {
            return;  // row and bulk erase are protected
        } else if (mode & kRow) {
            const uint32_t row = (latch_.front().address - start_) / kRowSize * kRowSize;
            for (uint32_t i = row; i < row + kRowSize && i < cells_.size(); ++i)
                cells_.Erase(i, complete);
        } else {
            for (uint32_t i = 0; i < cells_.size(); ++i)
                cells_.Erase(i, complete);
        }
    }

    struct Latched {
        uint16_t address;
        uint8_t data;
    };

    uint16_t start_;
    EepromCells cells_;
    std::optional<uint8_t> lockedEeprot_;
    int quartzMhz_;
    bool timedLine_;
    uint64_t maxPulseUs_;
    bool hasDivider_;
    std::array<uint8_t, kRegisterBlockEnd> regs_{};
    std::array<uint8_t, 0x10000> memory_{};
    std::vector<Latched> latch_;
    uint64_t pulseStartUs_ = 0;
};

}  // namespace

std::unique_ptr<Target> MakeHc12Target(const std::string& model, uint16_t eepromStart,
                                       uint32_t eepromSize, const BoardOptions& options) {
    return std::make_unique<Hc12Target>(model, eepromStart, eepromSize, options);
}

}  // namespace hc12::sim
