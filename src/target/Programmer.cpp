// Placeholder so that everything links while the target operations are being written.
#include "Programmer.h"

namespace hc12 {
Programmer::Programmer(SerialLink& link, TargetView& view) : link_(link), view_(view) {
    currentModel_ = ModelTable()[0];
}
void Programmer::SetCurrentModel(const ModelRecord& model) { currentModel_ = model; }
bool Programmer::ResetInterface() { return false; }
void Programmer::OnQuartzSelected(const std::string&) {}
void Programmer::Connect() {}
bool Programmer::ReadEeprom() { return false; }
bool Programmer::WriteEeprom() { return false; }
bool Programmer::PrepareEeprom() { return false; }
void Programmer::EraseWord(uint16_t) {}
bool Programmer::ProgramWord(uint16_t, uint8_t, uint8_t) { return false; }
}  // namespace hc12
