#include "CliPage.h"

#include <algorithm>

namespace hc12::cli {

void CliPage::Build(uint32_t size) {
    const uint64_t rows = std::max<uint64_t>(1, (uint64_t(size) + 15) / 16);
    bytes_.assign(rows * 16, 0);
    flags_.assign(rows * 16, 0);
    selected_.clear();
    count_ = size;
}

bool CliPage::Empty(uint32_t index) const {
    return index >= capacity() || !(flags_[index] & kFilled);
}

uint8_t CliPage::Byte(uint32_t index) const { return Empty(index) ? 0 : bytes_[index]; }

void CliPage::SetByte(uint32_t index, uint8_t value) {
    if (index >= capacity()) return;
    bytes_[index] = value;
    flags_[index] |= kFilled;
}

void CliPage::MarkRed(uint32_t index) {
    if (index < capacity()) flags_[index] |= kRed;
}

bool CliPage::Red(uint32_t index) const { return index < capacity() && (flags_[index] & kRed); }

bool CliPage::Selected(uint32_t index) const {
    return index < capacity() && (flags_[index] & kSelected);
}

void CliPage::Select(uint32_t index, bool add) {
    if (!add) {
        for (uint32_t i : selected_) flags_[i] &= uint8_t(~kSelected);
        selected_.clear();
    }
    if (index >= capacity() || (flags_[index] & kSelected)) return;
    flags_[index] |= kSelected;
    selected_.push_back(index);
}

std::vector<uint32_t> CliPage::RedCells() const {
    std::vector<uint32_t> red;
    for (uint32_t i = 0; i < capacity(); ++i)
        if (flags_[i] & kRed) red.push_back(i);
    return red;
}

}  // namespace hc12::cli
