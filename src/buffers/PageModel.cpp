#include "PageModel.h"

#include <algorithm>

#include "HexText.h"

namespace hc12 {

uint32_t PageModel::RowsFor(uint32_t size) {
    if (size < uint32_t(kBytesPerRow))
        return 1;
    return size / kBytesPerRow + (size % kBytesPerRow != 0 ? 1 : 0);
}

void PageModel::Build(uint32_t size) {
    rows_ = RowsFor(size);
    const size_t cells = size_t(rows_) * kBytesPerRow;
    bytes_.assign(cells, 0);
    flags_.assign(cells, 0);
    bytes_.shrink_to_fit();
    flags_.shrink_to_fit();
    hexTexts_.clear();
    charTexts_.clear();
    changed_ = false;
}

std::string PageModel::RowLabel(uint32_t row) const {
    return FormatHex4(start_ + uint32_t(kBytesPerRow) * row);
}

std::string PageModel::ColumnLabel(int col) {
    static constexpr const char* kAscii[] = {"A", "S", "C", "I", "I"};
    if (IsHexColumn(col))
        return FormatHex2(uint32_t(col));
    if (col >= kFirstCharColumn && col < kFirstCharColumn + 5)
        return kAscii[col - kFirstCharColumn];
    return {};
}

void PageModel::Touch(uint32_t index) {
    if (!changed_) {
        changed_ = true;
        changedFirst_ = changedLast_ = index;
    } else {
        changedFirst_ = std::min(changedFirst_, index);
        changedLast_ = std::max(changedLast_, index);
    }
}

bool PageModel::TakeChanged(uint32_t& first, uint32_t& last) {
    if (!changed_)
        return false;
    first = changedFirst_;
    last = changedLast_;
    changed_ = false;
    return true;
}

uint8_t PageModel::GetCellByte(uint32_t index) const {
    if (index >= capacity() || !(flags_[index] & kHexSet))
        return 0;
    return bytes_[index];
}

bool PageModel::CellEmpty(uint32_t index) const {
    return index >= capacity() || !(flags_[index] & kHexSet);
}

void PageModel::SetCellByte(uint32_t index, uint8_t value) {
    if (index >= capacity())
        return;
    uint8_t& f = flags_[index];
    if (f & kHexTyped)
        hexTexts_.erase(index);
    if (f & kCharTyped)
        charTexts_.erase(index);
    f = uint8_t((f & kRed) | kHexSet | kCharSet);
    bytes_[index] = value;
    Touch(index);
}

void PageModel::MarkRed(uint32_t index) {
    if (index >= capacity())
        return;
    flags_[index] |= kRed;
    Touch(index);
}

bool PageModel::IsRed(uint32_t index) const {
    return index < capacity() && (flags_[index] & kRed);
}

std::string PageModel::HexText(uint32_t index) const {
    if (index >= capacity())
        return {};
    const uint8_t f = flags_[index];
    if (!(f & kHexSet))
        return {};
    if (f & kHexTyped)
        return hexTexts_.at(index);
    return FormatHex2(bytes_[index]);
}

std::string PageModel::CharText(uint32_t index) const {
    if (index >= capacity())
        return {};
    const uint8_t f = flags_[index];
    if (!(f & kCharSet))
        return {};
    if (f & kCharTyped)
        return charTexts_.at(index);
    return CharacterText(bytes_[index]);
}

std::string PageModel::CellText(uint32_t row, int col) const {
    const uint32_t base = row * uint32_t(kBytesPerRow);
    if (IsHexColumn(col))
        return HexText(base + uint32_t(col));
    if (IsCharColumn(col))
        return CharText(base + uint32_t(col - kFirstCharColumn));
    return {};
}

// The byte stays what the hexadecimal cell reads as; the text is kept only when
// it is not the byte's own two digits.
void PageModel::SetHexText(uint32_t index, const std::string& text) {
    uint8_t& f = flags_[index];
    if (f & kHexTyped)
        hexTexts_.erase(index);
    f = uint8_t(f & ~(kHexSet | kHexTyped));
    bytes_[index] = uint8_t(ParseHex(text));
    if (text.empty())
        return;
    f |= kHexSet;
    if (text != FormatHex2(bytes_[index])) {
        hexTexts_[index] = text;
        f |= kHexTyped;
    }
}

void PageModel::SetCharText(uint32_t index, const std::string& text) {
    uint8_t& f = flags_[index];
    if (f & kCharTyped)
        charTexts_.erase(index);
    f = uint8_t(f & ~(kCharSet | kCharTyped));
    if (text.empty())
        return;
    f |= kCharSet;
    if (text != CharacterText(bytes_[index])) {
        charTexts_[index] = text;
        f |= kCharTyped;
    }
}

void PageModel::EditCell(uint32_t row, int col, std::string_view typed) {
    if (row >= rows_)
        return;
    const uint32_t base = row * uint32_t(kBytesPerRow);
    if (IsCharColumn(col)) {
        const uint32_t index = base + uint32_t(col - kFirstCharColumn);
        const uint8_t k = typed.empty() ? 0 : ByteForCodePoint(FirstCodePoint(typed));
        SetHexText(index, FormatHex2(k));
        SetCharText(index, std::string(typed));
        Touch(index);
        return;
    }
    if (!IsHexColumn(col))
        return;  // the separator is read-only
    const uint32_t index = base + uint32_t(col);
    std::string t(typed);
    if (!std::all_of(t.begin(), t.end(), IsHexDigit))
        t = "00";
    const uint32_t v = ParseHex(t);
    if (t.size() == 1)
        t = "0" + t;
    std::transform(t.begin(), t.end(), t.begin(),
                   [](char c) { return (c >= 'a' && c <= 'f') ? char(c - 'a' + 'A') : c; });
    SetHexText(index, t);
    // The dot rule looks at the whole value typed; the character is its low byte.
    std::string ch;
    if (v < 0x20 || v == 0x7F || v == 0xFF || NoCharacterInCodePage(uint8_t(v))) {
        ch = ".";
    } else {
        const char32_t cp = CodePointForByte(uint8_t(v));
        if (cp != 0)
            ch = Utf8FromCodePoint(cp);
    }
    SetCharText(index, ch);
    Touch(index);
}

void PageModel::InsertEmptyCellInFront() {
    if (flags_.back() != 0) {
        ++rows_;
        bytes_.resize(bytes_.size() + kBytesPerRow, 0);
        flags_.resize(flags_.size() + kBytesPerRow, 0);
    }
    // The last cell is empty now: it goes round to the front.
    std::rotate(bytes_.rbegin(), bytes_.rbegin() + 1, bytes_.rend());
    std::rotate(flags_.rbegin(), flags_.rbegin() + 1, flags_.rend());
    bytes_[0] = 0;
    for (auto* texts : {&hexTexts_, &charTexts_}) {
        std::unordered_map<uint32_t, std::string> moved;
        moved.reserve(texts->size());
        for (auto& [index, text] : *texts)
            moved.emplace(index + 1, std::move(text));
        *texts = std::move(moved);
    }
    Touch(0);
    Touch(capacity() - 1);
}

std::vector<uint8_t> PageModel::Image(uint32_t count) const {
    std::vector<uint8_t> out(count, 0);
    const uint32_t n = std::min(count, capacity());
    for (uint32_t i = 0; i < n; ++i)
        if (flags_[i] & kHexSet)
            out[i] = bytes_[i];
    return out;
}

}  // namespace hc12
