// The fixed catalogue of supported microcontrollers and the quartz choices.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace hc12 {

struct ModelRecord {
    std::string name;
    uint32_t eepromStart = 0;  // 16-bit address held in 32 bits
    uint32_t eepromSize = 0;   // bytes
};

inline constexpr int kModelCount = 12;

// The rows in display order; index 0 is the "Model" placeholder (no model chosen).
const std::array<ModelRecord, kModelCount>& ModelTable();

// Name tests, all substring searches in the model's name.
bool IsPlaceholderModel(const ModelRecord& model);  // contains "Model"
bool IsS12Model(const ModelRecord& model);          // contains "MC9S12"
bool IsHc912DModel(const ModelRecord& model);       // contains "HC912Dx128x" or "HC912D60x"

// The first row of exactly that name, or nullptr.
const ModelRecord* FindModelRecord(std::string_view name);
// Its place in the table, or -1.
int FindModelIndex(std::string_view name);

// Quartz choices in combo-box order.
inline constexpr int kQuartzChoiceCount = 4;
inline constexpr std::array<std::string_view, kQuartzChoiceCount> kQuartzChoices = {
    "Auto", "16MHz", "8MHz", "4MHz"};

// Frequency in MHz for a quartz text compared whole and exactly; 0 for "Auto" or
// anything else.
int QuartzMhzForText(std::string_view text);

}  // namespace hc12
