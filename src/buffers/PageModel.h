// One buffer page without a window: 16 bytes a row, each byte shown twice (a
// hexadecimal cell and a character cell), its address window (count, start), red
// marks, and the texts a user typed that are not the byte's own form.
//
// Storage is a byte and a flag byte per cell; only typed texts that differ from
// what the byte would show are kept as strings, so a 1 MiB page costs 2 MiB.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace hc12 {

class PageModel {
  public:
    static constexpr int kBytesPerRow = 16;
    static constexpr int kSeparatorColumn = 16;
    static constexpr int kFirstCharColumn = 17;
    static constexpr int kColumns = 33;

    // Rows of a grid built for `size` bytes: at least one, else ceil(size / 16).
    static uint32_t RowsFor(uint32_t size);

    PageModel() { Build(0); }
    explicit PageModel(uint32_t size) { Build(size); }

    // Empty cells for `size` bytes; marks and typed texts go. count and start stay.
    void Build(uint32_t size);

    uint32_t rows() const { return rows_; }
    // Cells the page holds (rows x 16); indexes beyond are empty and hold nothing.
    uint32_t capacity() const { return uint32_t(bytes_.size()); }

    uint32_t count() const { return count_; }
    uint32_t start() const { return start_; }
    void set_count(uint32_t count) { count_ = count; }
    void set_start(uint32_t start) { start_ = start; }

    // The address label of a row: the low 16 bits of start + 16 x row.
    std::string RowLabel(uint32_t row) const;
    static std::string ColumnLabel(int col);

    // Byte access as the other operations use it.
    uint8_t GetCellByte(uint32_t index) const;        // empty or beyond: 0
    void SetCellByte(uint32_t index, uint8_t value);  // both cells; beyond: nothing
    bool CellEmpty(uint32_t index) const;             // the hexadecimal cell
    void MarkRed(uint32_t index);                     // beyond: nothing
    bool IsRed(uint32_t index) const;

    std::string HexText(uint32_t index) const;
    std::string CharText(uint32_t index) const;
    // Any cell by row and column (the separator is always empty).
    std::string CellText(uint32_t row, int col) const;
    static bool IsHexColumn(int col) { return col >= 0 && col < kBytesPerRow; }
    static bool IsCharColumn(int col) { return col >= kFirstCharColumn && col < kColumns; }

    // A user committed `text` into a cell: the hexadecimal cell keeps only valid
    // digits (else "00"), one digit gets a leading zero, longer texts stay whole,
    // and the character cell beside it follows; a character cell keeps what was
    // typed and sets its hexadecimal cell to the code of the first character.
    void EditCell(uint32_t row, int col, std::string_view text);

    // An empty cell in front: every cell moves up one index with its texts and
    // mark, so that each keeps its address when start moves down a byte. The page
    // gains a row when its last cell holds something.
    void InsertEmptyCellInFront();

    // The bytes of indexes 0..count-1; cells beyond the page read as 0.
    std::vector<uint8_t> Image(uint32_t count) const;

    // Cells changed since the last call, as a range of byte indexes.
    bool TakeChanged(uint32_t& first, uint32_t& last);

    // Bytes kept for typed texts (for the memory figures).
    size_t TypedTextCount() const { return hexTexts_.size() + charTexts_.size(); }

  private:
    enum Flag : uint8_t {
        kHexSet = 1,     // hexadecimal cell not empty
        kHexTyped = 2,   // its text is in hexTexts_
        kCharSet = 4,    // character cell not empty
        kCharTyped = 8,  // its text is in charTexts_
        kRed = 16,
    };

    void Touch(uint32_t index);
    void SetHexText(uint32_t index, const std::string& text);
    void SetCharText(uint32_t index, const std::string& text);

    uint32_t rows_ = 1;
    uint32_t count_ = 0;
    uint32_t start_ = 0;
    std::vector<uint8_t> bytes_;
    std::vector<uint8_t> flags_;
    std::unordered_map<uint32_t, std::string> hexTexts_;
    std::unordered_map<uint32_t, std::string> charTexts_;
    bool changed_ = false;
    uint32_t changedFirst_ = 0;
    uint32_t changedLast_ = 0;
};

}  // namespace hc12
