// The MC9S12 family: write-once mapping registers (INITRM, INITEE), MEMSIZ0, and the
// EEPROM module with its clock divider, protection, status and command registers.
// A command is a word write into the array, a command byte in ECMD and a 1 written
// to CBEIF; it runs for the datasheet's time with CBEIF and CCIF clear (any step of a
// new command meanwhile sets ACCERR), and it only erases or programs completely when
// the EEPROM clock lies in its allowed band.
#include <algorithm>
#include <array>

#include "Target.h"

namespace hc12::sim {
namespace {

constexpr uint16_t kInitrm = 0x0010;
constexpr uint16_t kInitrg = 0x0011;
constexpr uint16_t kInitee = 0x0012;
constexpr uint16_t kMemsiz0 = 0x001C;
constexpr uint16_t kEclkdiv = 0x0110;
constexpr uint16_t kEprot = 0x0114;
constexpr uint16_t kEstat = 0x0115;
constexpr uint16_t kEcmd = 0x0116;
constexpr uint16_t kModuleEnd = 0x0120;  // the EEPROM module's registers end here
constexpr uint32_t kRegisterBlockEnd = 0x0400;

// ESTAT bits. Bit 0 reads 1 on the chips this board stands for.
constexpr uint8_t kCbeif = 0x80;
constexpr uint8_t kCcif = 0x40;
constexpr uint8_t kPviol = 0x20;
constexpr uint8_t kAccerr = 0x10;
constexpr uint8_t kBlank = 0x04;
constexpr uint8_t kEstatFixedBits = 0x01;

// ECLKDIV bits.
constexpr uint8_t kEdivld = 0x80;
constexpr uint8_t kPrdiv8 = 0x40;

// EPROT bits.
constexpr uint8_t kEpopen = 0x80;
constexpr uint8_t kEpdis = 0x08;

// Commands.
constexpr uint8_t kCmdEraseVerify = 0x05;
constexpr uint8_t kCmdProgram = 0x20;
constexpr uint8_t kCmdSectorErase = 0x40;
constexpr uint8_t kCmdMassErase = 0x41;

constexpr uint32_t kSectorSize = 4;
constexpr uint64_t kMinEepromClockHz = 150000;
constexpr uint64_t kMaxEepromClockHz = 200000;

// How long a command runs: EEPROM clock cycles (erases, the bulk of a program) and
// bus cycles (the bus clock is half the quartz), as the chips' data sheets give them.
uint64_t CommandUs(uint8_t command, uint64_t eepromClockHz, uint64_t busHz) {
    const auto us = [](uint64_t cycles, uint64_t hz) { return (cycles * 1000000 + hz - 1) / hz; };
    eepromClockHz = std::max<uint64_t>(eepromClockHz, 1);
    switch (command) {
        case kCmdProgram:
            return us(9, eepromClockHz) + us(25, busHz);
        case kCmdEraseVerify:
            return us(2058, busHz);
        case kCmdMassErase:
            return us(20000, eepromClockHz);
        default:
            return us(4000, eepromClockHz);  // sector erase
    }
}

// MEMSIZ0 of each part: EEPROM size code in bits 5:4, RAM size code in bits 2:0.
uint8_t Memsiz0ForModel(const std::string& model) {
    if (model.find("DP512") != std::string::npos)
        return 0x26;  // 4 KB EEPROM, 14 KB RAM
    if (model.find("H256") != std::string::npos)
        return 0x25;  // 4 KB EEPROM, 12 KB RAM
    return 0x13;      // 2 KB EEPROM, 8 KB RAM
}

class S12Target final : public Target {
  public:
    S12Target(const std::string& model, uint32_t size, const BoardOptions& o)
        : Target(o.strict),
          cells_(size, o.stuckAddress),
          memsiz0_(Memsiz0ForModel(model)),
          quartzHz_(uint64_t(o.quartzMhz) * 1000000),
          lockedEprot_(o.eprot),
          lockedEclkdiv_(o.eclkdivLocked),
          fixedEstat_(o.estat) {
        Reset();
    }

    void Reset() override {
        regs_.fill(0);
        regs_[kInitrm] = 0x09;
        regs_[kInitrg] = 0x00;
        regs_[kInitee] = 0x09;  // EEPROM on at 0x0800
        regs_[kMemsiz0] = memsiz0_;
        regs_[kEclkdiv] = lockedEclkdiv_.value_or(0x00);
        regs_[kEprot] = lockedEprot_.value_or(0xFF);
        regs_[kEcmd] = 0;
        writtenOnce_ = {};
        cbeif_ = ccif_ = true;
        pviol_ = accerr_ = blank_ = false;
        busy_ = false;
        unread_ = false;
        sequence_ = Sequence::Idle;
    }

    uint8_t Read(uint16_t address, uint64_t nowUs) override {
        Advance(nowUs);
        NoteAccess(address, false);
        return Peek(address);
    }

    void Write(uint16_t address, const uint8_t* data, size_t size, uint64_t nowUs) override {
        Advance(nowUs);
        NoteAccess(address, true);
        if (InEeprom(address)) {
            WriteArray(address, data, size);
            return;
        }
        for (size_t i = 0; i < size; ++i)
            WriteByte(uint16_t(address + i), data[i], nowUs);
    }

    uint8_t Peek(uint16_t address) const override {
        if (address < kRegisterBlockEnd) {
            if (address == kEstat)
                return fixedEstat_.value_or(Estat());
            return regs_[address];
        }
        if (InEeprom(address))
            return cells_.at(address - EepromStart());
        return memory_[address];
    }

    void Poke(uint16_t address, uint8_t value) override {
        if (address < kRegisterBlockEnd)
            regs_[address] = value;
        else if (InEeprom(address))
            cells_.raw(address - EepromStart()) = value;
        else
            memory_[address] = value;
    }

    uint16_t EepromStart() const override { return uint16_t((regs_[kInitee] & 0xF8) << 8); }
    uint32_t EepromSize() const override { return cells_.size(); }

    std::vector<std::string> Violations() const override {
        std::vector<std::string> all = violations_;
        if (strict_ && unread_)
            all.push_back(CommandText() + ": its completion was never read");
        return all;
    }

  private:
    enum class Sequence { Idle, WordWritten, CommandWritten };

    // What a strict board checks of an access: while a command runs, nothing touches
    // the EEPROM module or its array but reads of ESTAT (the polling of CCIF); once it
    // has finished, an ESTAT read sees that before the EEPROM is touched again.
    void NoteAccess(uint16_t address, bool write) {
        if (!write && address == kEstat) {
            if (!busy_)
                unread_ = false;
            return;
        }
        if (!(address >= kEclkdiv && address < kModuleEnd) && !InEeprom(address))
            return;
        const std::string access = std::string(write ? "write to " : "read of ") + Hex(address, 4);
        if (busy_) {
            Flag(access + " while " + CommandText() + " ran");
        } else if (unread_) {
            Flag(access + " before the completion of " + CommandText() + " was read");
            unread_ = false;
        }
    }

    std::string CommandText() const {
        return "command " + Hex(runningCommand_, 2) + " at " + Hex(commandAddress_, 4);
    }

    uint8_t Estat() const {
        return uint8_t((cbeif_ ? kCbeif : 0) | (ccif_ ? kCcif : 0) | (pviol_ ? kPviol : 0) |
                       (accerr_ ? kAccerr : 0) | (blank_ ? kBlank : 0) | kEstatFixedBits);
    }

    bool InEeprom(uint32_t address) const {
        const uint32_t start = EepromStart();
        return (regs_[kInitee] & 0x01) && address >= kRegisterBlockEnd && address >= start &&
               address - start < cells_.size();
    }

    uint64_t EepromClockHz() const {
        const uint8_t div = regs_[kEclkdiv];
        const uint64_t prescaled = (div & kPrdiv8) ? quartzHz_ / 8 : quartzHz_;
        return prescaled / ((div & 0x3F) + 1);
    }
    bool EepromClockInBand() const {
        const uint64_t hz = EepromClockHz();
        return hz >= kMinEepromClockHz && hz <= kMaxEepromClockHz;
    }

    // Bytes protected at the top of the EEPROM.
    uint32_t ProtectedBytes() const {
        const uint8_t eprot = regs_[kEprot];
        if (!(eprot & kEpopen))
            return cells_.size();
        if (eprot & kEpdis)
            return 0;
        return std::min<uint32_t>(cells_.size(), ((eprot & 0x07) + 1) * 64u);
    }
    bool IsProtected(uint32_t offset) const { return offset >= cells_.size() - ProtectedBytes(); }

    void WriteByte(uint16_t address, uint8_t value, uint64_t nowUs) {
        if (address >= kRegisterBlockEnd) {
            memory_[address] = value;
            return;
        }
        switch (address) {
            case kInitrm:
            case kInitrg:
            case kInitee: {
                // The mapping can be written once after reset.
                bool& once = writtenOnce_[address - kInitrm];
                if (!once)
                    regs_[address] = value;
                once = true;
                return;
            }
            case kMemsiz0:
                return;  // read-only
            case kEclkdiv:
                if (!lockedEclkdiv_ && !(regs_[kEclkdiv] & kEdivld))
                    regs_[kEclkdiv] = uint8_t(kEdivld | (value & 0x7F));
                return;
            case kEprot:
                if (!lockedEprot_)
                    WriteEprot(value);
                return;
            case kEstat:
                WriteEstat(value, nowUs);
                return;
            case kEcmd:
                WriteEcmd(value);
                return;
            default:
                regs_[address] = value;
        }
    }

    // Protection can only be raised: EPOPEN and EPDIS only clear, and the size
    // bits change only while the protected range is still disabled.
    void WriteEprot(uint8_t value) {
        const uint8_t old = regs_[kEprot];
        uint8_t next = uint8_t(0x70 | (old & value & (kEpopen | kEpdis)));
        next |= (old & kEpdis) ? (value & 0x07) : (old & 0x07);
        regs_[kEprot] = next;
    }

    void WriteArray(uint16_t address, const uint8_t* data, size_t size) {
        if (!cbeif_) {
            accerr_ = true;  // a new command while one runs
            return;
        }
        if (pviol_ || accerr_)
            return;
        if (!(regs_[kEclkdiv] & kEdivld) || size != 2 || (address & 1) ||
            sequence_ != Sequence::Idle) {
            accerr_ = true;
            sequence_ = Sequence::Idle;
            return;
        }
        commandAddress_ = address;
        commandData_ = {data[0], data[1]};
        sequence_ = Sequence::WordWritten;
    }

    void WriteEcmd(uint8_t value) {
        if (!cbeif_) {
            accerr_ = true;
            return;
        }
        regs_[kEcmd] = value;
        const bool known = value == kCmdEraseVerify || value == kCmdProgram ||
                           value == kCmdSectorErase || value == kCmdMassErase;
        if (sequence_ != Sequence::WordWritten || !known) {
            accerr_ = true;
            sequence_ = Sequence::Idle;
            return;
        }
        sequence_ = Sequence::CommandWritten;
    }

    void WriteEstat(uint8_t value, uint64_t nowUs) {
        if (value & kPviol)
            pviol_ = false;
        if (value & kAccerr)
            accerr_ = false;
        if (value & kBlank)
            blank_ = false;
        if (!(value & kCbeif))
            return;
        if (!cbeif_) {
            accerr_ = true;  // launched while the last command still runs
            return;
        }
        if (sequence_ == Sequence::WordWritten)
            accerr_ = true;  // launched without a command
        if (sequence_ != Sequence::CommandWritten || pviol_ || accerr_) {
            sequence_ = Sequence::Idle;
            return;
        }
        sequence_ = Sequence::Idle;
        const uint8_t command = regs_[kEcmd];
        const uint32_t offset = commandAddress_ - EepromStart();
        const bool violates =
            (command == kCmdMassErase && ProtectedBytes() > 0) ||
            ((command == kCmdProgram || command == kCmdSectorErase) && IsProtected(offset));
        if (violates) {
            pviol_ = true;
            return;
        }
        busy_ = true;
        unread_ = true;
        cbeif_ = ccif_ = false;
        runningCommand_ = command;
        doneAtUs_ = nowUs + CommandUs(command, EepromClockHz(), quartzHz_ / 2);
        commands_.push_back({command, commandAddress_, nowUs, doneAtUs_});
    }

    // Finish the running command once its time is over.
    void Advance(uint64_t nowUs) override {
        if (!busy_ || nowUs < doneAtUs_)
            return;
        busy_ = false;
        cbeif_ = ccif_ = true;
        const bool complete = EepromClockInBand();
        const uint32_t offset = commandAddress_ - EepromStart();
        switch (runningCommand_) {
            case kCmdMassErase:
                for (uint32_t i = 0; i < cells_.size(); ++i)
                    cells_.Erase(i, complete);
                break;
            case kCmdSectorErase: {
                const uint32_t sector = offset / kSectorSize * kSectorSize;
                for (uint32_t i = sector; i < sector + kSectorSize; ++i)
                    cells_.Erase(i, complete);
                break;
            }
            case kCmdProgram:
                for (uint32_t i = 0; i < 2 && offset + i < cells_.size(); ++i)
                    cells_.Program(offset + i, uint16_t(commandAddress_ + i), commandData_[i],
                                   complete);
                break;
            case kCmdEraseVerify: {
                bool blank = true;
                for (uint32_t i = 0; i < cells_.size(); ++i)
                    blank = blank && cells_.at(i) == 0xFF;
                blank_ = blank;
                break;
            }
            default:
                break;
        }
    }

    EepromCells cells_;
    uint8_t memsiz0_;
    uint64_t quartzHz_;
    std::optional<uint8_t> lockedEprot_;
    std::optional<uint8_t> lockedEclkdiv_;
    std::optional<uint8_t> fixedEstat_;
    std::array<uint8_t, kRegisterBlockEnd> regs_{};
    std::array<uint8_t, 0x10000> memory_{};
    std::array<bool, 3> writtenOnce_{};
    bool cbeif_ = true, ccif_ = true, pviol_ = false, accerr_ = false, blank_ = false;
    bool busy_ = false;
    bool unread_ = false;  // the last command's completion not yet read from ESTAT
    Sequence sequence_ = Sequence::Idle;
    uint16_t commandAddress_ = 0;
    std::array<uint8_t, 2> commandData_{};
    uint8_t runningCommand_ = 0;
    uint64_t doneAtUs_ = 0;
};

}  // namespace

std::unique_ptr<Target> MakeS12Target(const std::string& model, uint32_t eepromSize,
                                      const BoardOptions& options) {
    return std::make_unique<S12Target>(model, eepromSize, options);
}

}  // namespace hc12::sim
