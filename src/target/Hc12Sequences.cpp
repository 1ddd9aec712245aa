// EEPROM preparation, word erase and word programming of the HC12 family.
#include "ModelTable.h"
#include "Programmer.h"

namespace hc12 {

namespace {

constexpr uint8_t kEraseLatched = 0xB6;  // erase, latches on
constexpr uint8_t kEraseVoltage = 0xB7;  // ... with the programming voltage on
constexpr uint8_t kProgramLatched = 0x82;
constexpr uint8_t kProgramVoltage = 0x83;
constexpr uint8_t kIdle = 0x80;

// The HC912D EEPROM timer divider: 35 x the quartz in MHz (0x0230, 0x0118, 0x008C).
uint16_t EepromDividerFor(int quartzMhz) {
    if (quartzMhz == 16)
        return 0x0230;
    if (quartzMhz == 8)
        return 0x0118;
    return 0x008C;
}

}  // namespace

bool Programmer::PrepareHc12() {
    WriteByte(0x0012, 0x01);
    Wait(PaceStep::Register);
    WriteByte(0x00F0, 0xFC);
    Wait(PaceStep::Register);
    WriteByte(0x00F1, 0x00);
    Wait(PaceStep::Register);
    if (IsHc912DModel(currentModel_)) {
        const uint16_t divider = EepromDividerFor(quartzMhz_);
        WriteByte(0x00EE, uint8_t(divider >> 8));
        Wait(PaceStep::Register);
        WriteByte(0x00EF, uint8_t(divider & 0xFF));
        Wait(PaceStep::Register);
    }
    return true;
}

void Programmer::EraseWordHc12(uint16_t address) {
    WriteByte(controlRegister_, kEraseLatched);
    Wait(PaceStep::Register);
    WriteWord(address, 0xFF, 0xFF);
    Wait(PaceStep::Register);
    WriteByte(controlRegister_, kEraseVoltage);
    Wait(PaceStep::PulseOn);
    WriteByte(controlRegister_, kEraseLatched);
    Wait(PaceStep::Register);
    WriteByte(controlRegister_, kIdle);
    Wait(PaceStep::EraseEnd);
}

bool Programmer::ProgramWordHc12(uint16_t address, uint8_t hi, uint8_t lo) {
    WriteByte(controlRegister_, kProgramLatched);
    Wait(PaceStep::Register);
    WriteWord(address, hi, lo);
    Wait(PaceStep::Register);
    WriteByte(controlRegister_, kProgramVoltage);
    Wait(PaceStep::PulseOn);
    WriteByte(controlRegister_, kProgramLatched);
    Wait(PaceStep::Register);
    WriteByte(controlRegister_, kIdle);
    Wait(PaceStep::Register);
    return true;
}

void Programmer::SettleAfterErase() {
    if (pace_->flushAfterErase)
        Flush();
    else if (!LinkDown())
        link_.DiscardInput();
}

}  // namespace hc12
