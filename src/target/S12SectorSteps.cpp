// The MC9S12 steps of the changed-only write: erase one 4-byte sector, program one
// word. Completion is read from CCIF; a value read over a dead link judges nothing.
#include "Programmer.h"
#include "TargetFormat.h"
#include "TargetTexts.h"

namespace hc12 {

namespace {

constexpr uint16_t kEstat = 0x0115;
constexpr uint8_t kCbeif = 0x80;
constexpr uint8_t kEstatCheckMask = 0xF4;
constexpr uint8_t kEstatIdle = 0xC0;
constexpr uint8_t kCmdSectorErase = 0x40;
constexpr uint8_t kCmdProgram = 0x20;

}  // namespace

Programmer::StepEnd Programmer::EraseS12Sector(uint16_t sectorAddress) {
    WriteWord(sectorAddress, 0xFF, 0xFF);
    Pause(10);
    WriteByte(controlRegister_, kCmdSectorErase);
    Pause(10);
    Pause(10);
    WriteByte(kEstat, kCbeif);
    Pause(10);
    Pause(10);
    WaitS12CommandComplete();
    const uint8_t r = ReadByte(kEstat);
    if (!Alive())
        return StepEnd::LinkLost;
    if ((r & kEstatCheckMask) != kEstatIdle) {
        Error(texts::kEstatAfterErase + targetfmt::Hex2(r));
        return StepEnd::Stopped;
    }
    Pause(10);
    return StepEnd::Done;
}

Programmer::StepEnd Programmer::ProgramS12Word(uint16_t address, uint8_t hi, uint8_t lo) {
    WriteWord(address, hi, lo);
    Pause(10);
    WriteByte(controlRegister_, kCmdProgram);
    Pause(10);
    Pause(10);
    WriteByte(kEstat, kCbeif);
    Pause(10);
    Pause(10);
    WaitS12CommandComplete();
    const uint8_t r = ReadByte(kEstat);
    if (!Alive())
        return StepEnd::LinkLost;
    if ((r & kEstatCheckMask) != kEstatIdle) {
        Error(texts::kEstatAfterWord + targetfmt::Hex2(r));
        return StepEnd::Stopped;
    }
    Pause(10);
    return StepEnd::Done;
}

}  // namespace hc12
