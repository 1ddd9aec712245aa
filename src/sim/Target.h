// The microcontroller behind the virtual interface: a 64 KiB address space with the
// registers and the EEPROM of one family. Internal to the virtual board.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "VirtualBoard.h"

namespace hc12::sim {

// `value` as `digits` upper-case hexadecimal digits, for the board's findings.
inline std::string Hex(uint32_t value, int digits) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text(size_t(digits), '0');
    for (int i = digits - 1; i >= 0; --i, value >>= 4)
        text[size_t(i)] = kDigits[value & 0xF];
    return text;
}

class Target {
  public:
    virtual ~Target() = default;

    // Reset as the interface does it: registers to their reset values, EEPROM kept.
    virtual void Reset() = 0;
    // Accesses as the interface performs them, at clock time nowUs. A write of two
    // bytes is one word access (the 's' frame), which the EEPROM logic cares about.
    virtual uint8_t Read(uint16_t address, uint64_t nowUs) = 0;
    virtual void Write(uint16_t address, const uint8_t* data, size_t size, uint64_t nowUs) = 0;

    // Let the target's own time run up to nowUs (commands finish on their own).
    virtual void Advance(uint64_t /*nowUs*/) {}
    // The frame that carries the next write began arriving at this time. A pulse that
    // a frame ends is measured up to here: the pause the program makes must cover the
    // pulse, the wire time of the frame that ends it is no margin to count on.
    void NoteFrameStart(uint64_t startUs) { frameStartUs_ = startUs; }
    // EEPROM commands launched so far.
    const std::vector<CommandRecord>& Commands() const { return commands_; }
    // What a strict target found wrong with the timing of the accesses.
    virtual std::vector<std::string> Violations() const { return violations_; }

  protected:
    explicit Target(bool strict = false) : strict_(strict) {}
    void Flag(const std::string& text) {
        if (strict_)
            violations_.push_back(text);
    }

    uint64_t frameStartUs_ = 0;
    std::vector<CommandRecord> commands_;
    bool strict_ = false;
    std::vector<std::string> violations_;

  public:
    // Raw view of the map, no side effects.
    virtual uint8_t Peek(uint16_t address) const = 0;
    virtual void Poke(uint16_t address, uint8_t value) = 0;
    virtual uint16_t EepromStart() const = 0;
    virtual uint32_t EepromSize() const = 0;
};

// Bits an EEPROM operation still changes when it ran with a wrong clock: a partial
// erase or programming leaves the other bits as they were.
inline constexpr uint8_t kPartialMask = 0x55;

// The EEPROM cells shared by both families: erase sets bits, programming only clears
// them, and a byte marked stuck never programs.
class EepromCells {
  public:
    EepromCells(uint32_t size, std::optional<uint16_t> stuckAddress)
        : cells_(size, 0xFF), stuck_(stuckAddress) {}
    uint32_t size() const { return uint32_t(cells_.size()); }
    uint8_t at(uint32_t offset) const { return cells_[offset]; }
    uint8_t& raw(uint32_t offset) { return cells_[offset]; }
    void Erase(uint32_t offset, bool complete) { cells_[offset] |= complete ? 0xFF : kPartialMask; }
    void Program(uint32_t offset, uint16_t address, uint8_t data, bool complete) {
        if (stuck_ && *stuck_ == address)
            return;
        const uint8_t mask = complete ? 0xFF : kPartialMask;
        cells_[offset] &= uint8_t(data | ~mask);
    }

  private:
    std::vector<uint8_t> cells_;
    std::optional<uint16_t> stuck_;
};

std::unique_ptr<Target> MakeHc12Target(const std::string& model, uint16_t eepromStart,
                                       uint32_t eepromSize, const BoardOptions& options);
std::unique_ptr<Target> MakeS12Target(const std::string& model, uint32_t eepromSize,
                                      const BoardOptions& options);

}  // namespace hc12::sim
