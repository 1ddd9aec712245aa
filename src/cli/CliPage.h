// The one buffer page of the command line: bytes, empty cells and red marks over
// an address window. Cells beyond the capacity the page was built for are empty:
// they read as empty, and marks and selection on them do nothing.
#pragma once

#include <cstdint>
#include <vector>

namespace hc12::cli {

class CliPage {
public:
    // Rebuild empty for `size` bytes: whole rows of 16, at least one; count := size.
    void Build(uint32_t size);

    uint32_t count() const { return count_; }
    uint32_t start() const { return start_; }
    void SetCount(uint32_t count) { count_ = count; }
    void SetStart(uint32_t start) { start_ = start; }
    uint32_t capacity() const { return uint32_t(bytes_.size()); }

    bool Empty(uint32_t index) const;
    uint8_t Byte(uint32_t index) const;  // 0 for an empty cell
    void SetByte(uint32_t index, uint8_t value);
    void MarkRed(uint32_t index);
    bool Red(uint32_t index) const;
    bool Selected(uint32_t index) const;
    void Select(uint32_t index, bool add);

    // Indexes of the red cells, in order.
    std::vector<uint32_t> RedCells() const;

private:
    enum : uint8_t { kFilled = 1, kRed = 2, kSelected = 4 };
    uint32_t count_ = 0;
    uint32_t start_ = 0;
    std::vector<uint8_t> bytes_ = std::vector<uint8_t>(16, 0);
    std::vector<uint8_t> flags_ = std::vector<uint8_t>(16, 0);
    std::vector<uint32_t> selected_;  // so that replacing the selection costs its size
};

}  // namespace hc12::cli
