// EEPROM preparation, word programming and sector erase of the MC9S12 family.
// Completion is read from CCIF; a value read over a dead link judges nothing.
#include <string>

#include "Programmer.h"
#include "TargetFormat.h"
#include "TargetTexts.h"

namespace hc12 {

namespace {

constexpr uint16_t kEclkdiv = 0x0110;
constexpr uint16_t kEprot = 0x0114;
constexpr uint16_t kEstat = 0x0115;
constexpr uint16_t kEcmd = 0x0116;

constexpr uint8_t kCbeif = 0x80;  // command buffer empty: writing it starts a command
constexpr uint8_t kCcif = 0x40;   // command complete
constexpr uint8_t kEstatCheckMask = 0xF4;
constexpr uint8_t kEstatIdle = 0xC0;

constexpr uint8_t kCmdMassErase = 0x41;
constexpr uint8_t kCmdSectorErase = 0x40;
constexpr uint8_t kCmdProgram = 0x20;

// ECLKDIV for an EEPROM clock of 181.8 kHz (the chip wants 150 to 200 kHz):
// 16 MHz / 88, 8 MHz / 44, 4 MHz / 22.
uint8_t EclkdivFor(int quartzMhz) {
    if (quartzMhz > 13)
        return 0x4A;
    if (quartzMhz > 6)
        return 0x2B;
    return 0x15;
}

}  // namespace

// ESTAT read until CCIF is set, as the pace bounds it; a lost link reads 0 for ever
// and ends it at once.
bool Programmer::AwaitS12Command() {
    const Pace& pace = *pace_;
    if (!pace.pollCcif)
        return false;
    const uint32_t startMs = link_.clock().TickMs();
    uint8_t r = ReadByte(kEstat);
    for (uint32_t polls = 1; (r & kCcif) == 0 && Alive(); ++polls) {
        if (pace.maxPolls != 0 && polls >= pace.maxPolls)
            break;
        if (pace.pollWindowMs != 0 && link_.clock().TickMs() - startMs >= pace.pollWindowMs)
            break;
        if (pace.pollPauseMs != 0)
            Pause(pace.pollPauseMs);
        r = ReadByte(kEstat);
    }
    return Alive() && (r & kCcif) != 0;
}

// Protection, clock divider and status checks, before any command. A register read
// over a dead link is no register value: the checks judge a value only while the
// link is alive, and a lost link returns false without a message about the chip
// (the write reports the lost link).
bool Programmer::PrepareS12Module() {
    WriteByte(kEprot, 0xFF);
    Wait(PaceStep::Register);
    uint8_t r = ReadByte(kEprot);
    if (!Alive())
        return false;
    if ((r & 0x80) == 0) {
        Error(Tr(texts::kAllProtected));
        return false;
    }
    if ((r & 0x08) == 0) {
        const int p = r & 0x07;
        Error(Format(TrN(texts::kProtectedTail, 64 * p + 1), 64 * p + 1));
        return false;
    }

    ReadByte(kEclkdiv);
    WriteByte(kEclkdiv, EclkdivFor(quartzMhz_));
    Wait(PaceStep::Register);
    r = ReadByte(kEclkdiv);
    if (!Alive())
        return false;
    if ((r & 0x80) == 0) {
        Error(Tr(texts::kNoEclkdiv));
        return false;
    }

    controlRegister_ = kEcmd;
    r = ReadByte(kEstat);
    if (!Alive())
        return false;
    if (r != 0xC1) {
        Error(Tr(texts::kEstatBeforeErase));
        return false;
    }
    return true;
}

bool Programmer::PrepareS12() {
    return PrepareS12Module() && BulkEraseS12();
}

bool Programmer::BulkEraseS12() {
    uint8_t r = 0;

    // Bulk erase, three times over: a dummy word in the EEPROM, the command, start it.
    const uint16_t pageStart = uint16_t(view_.PageStart());
    for (int i = 0; i < 3; ++i) {
        WriteWord(pageStart, 0xFF, 0xFF);
        Wait(PaceStep::Register);
        WriteByte(controlRegister_, kCmdMassErase);
        Wait(PaceStep::Register);
        r = ReadByte(kEstat);
        if (!Alive())
            return false;
        WriteByte(kEstat, uint8_t(r | kCbeif));
        Wait(PaceStep::CommandLaunch);
        AwaitS12Command();
        Wait(PaceStep::CommandDone);
    }
    Wait(PaceStep::BulkEraseEnd);

    r = ReadByte(kEstat);
    if (!Alive())
        return false;
    if ((r & kEstatCheckMask) != kEstatIdle) {
        Error(Format(Tr(texts::kEstatAfterErase), targetfmt::Hex2(r)));
        return false;
    }
    return true;
}

// One command on the word at `address`: the word into the command buffer, the
// command, CBEIF to launch it, then the wait for CCIF and the status check. A status
// that is not idle shows `failText` with the status value for its %s, and stops.
Programmer::StepEnd Programmer::RunS12Command(uint16_t address, uint8_t hi, uint8_t lo,
                                              uint8_t command, const char* failText) {
    WriteWord(address, hi, lo);
    Wait(PaceStep::Register);
    WriteByte(controlRegister_, command);
    Wait(PaceStep::CommandByte);
    WriteByte(kEstat, kCbeif);
    Wait(PaceStep::CommandLaunch);
    AwaitS12Command();

    const uint8_t r = ReadByte(kEstat);
    if (!Alive())
        return StepEnd::LinkLost;
    if ((r & kEstatCheckMask) != kEstatIdle) {
        Error(Format(Tr(failText), targetfmt::Hex2(r)));
        return StepEnd::Stopped;
    }
    Wait(PaceStep::CommandDone);
    return StepEnd::Done;
}

Programmer::StepEnd Programmer::ProgramS12Word(uint16_t address, uint8_t hi, uint8_t lo) {
    return RunS12Command(address, hi, lo, kCmdProgram, texts::kEstatAfterWord);
}

// The changed-only write erases one 4-byte sector at a time, or, where most of the
// EEPROM changes, all of it with one command (not the full write's three).
Programmer::StepEnd Programmer::EraseS12Sector(uint16_t sectorAddress) {
    return RunS12Command(sectorAddress, 0xFF, 0xFF, kCmdSectorErase, texts::kEstatAfterErase);
}

Programmer::StepEnd Programmer::MassEraseS12(uint16_t eepromAddress) {
    return RunS12Command(eepromAddress, 0xFF, 0xFF, kCmdMassErase, texts::kEstatAfterErase);
}

}  // namespace hc12
