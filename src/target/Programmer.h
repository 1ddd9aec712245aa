// The operations on the target: interface reset and clock choice, connect, read and
// write of the EEPROM, and the family programming sequences. Everything runs on the
// caller's thread and blocks it, with every pause on the link's clock.
#pragma once

#include <cstdint>
#include <string>

#include "ModelTable.h"
#include "SerialLink.h"
#include "TargetView.h"

namespace hc12 {

class Programmer {
public:
    Programmer(SerialLink& link, TargetView& view);

    // The chosen model (a copy of the table row; connect may change its start).
    void SetCurrentModel(const ModelRecord& model);
    const ModelRecord& CurrentModel() const { return currentModel_; }

    bool ResetInterface();
    // The quartz combo box was set to `quartzText`.
    void OnQuartzSelected(const std::string& quartzText);
    void Connect();
    bool ReadEeprom();
    bool WriteEeprom();

    bool PrepareEeprom();
    void EraseWord(uint16_t address);
    bool ProgramWord(uint16_t address, uint8_t hi, uint8_t lo);

    uint8_t ConfigByte() const { return configByte_; }
    int QuartzMhz() const { return quartzMhz_; }
    bool S12Target() const { return s12Target_; }

private:
    SerialLink& link_;
    TargetView& view_;
    ModelRecord currentModel_;
    uint8_t configByte_ = 0;
    int quartzMhz_ = 16;
    bool s12Target_ = false;
    uint16_t controlRegister_ = 0x00F3;
};

}  // namespace hc12
