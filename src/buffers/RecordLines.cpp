#include "RecordLines.h"

#include <algorithm>

namespace hc12::records {

size_t ForEachLine(std::string_view text,
                   const std::function<bool(size_t number, std::string_view line)>& line) {
    size_t number = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view l = text.substr(pos, end - pos);
        pos = end + 1;
        ++number;
        while (!l.empty() && (l.back() == '\r' || l.back() == ' ' || l.back() == '\t'))
            l.remove_suffix(1);
        if (l.empty())
            continue;
        if (!line(number, l))
            break;
    }
    return number;
}

namespace {
int Nibble(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}
}  // namespace

bool DecodeHex(std::string_view digits, std::vector<uint8_t>* bytes, ImageFault* fault) {
    bytes->clear();
    for (char c : digits) {
        if (Nibble(c) < 0) {
            *fault = ImageFault::BadDigit;
            return false;
        }
    }
    if (digits.size() % 2 != 0) {
        *fault = ImageFault::BadLength;
        return false;
    }
    bytes->reserve(digits.size() / 2);
    for (size_t i = 0; i < digits.size(); i += 2)
        bytes->push_back(uint8_t(Nibble(digits[i]) * 16 + Nibble(digits[i + 1])));
    return true;
}

void ByteGatherer::Add(uint64_t address, uint8_t value, size_t line) {
    const uint32_t a = uint32_t(address);
    if (!entries_.empty() && a <= entries_.back().address)
        outOfOrder_ = true;
    entries_.push_back({a, uint32_t(line), value});
}

bool ByteGatherer::Finish(AddressedImage* image, ImageError* error) {
    // Records in rising order, as tools write them, need no sorting.
    if (outOfOrder_)
        std::stable_sort(entries_.begin(), entries_.end(),
                         [](const Entry& a, const Entry& b) { return a.address < b.address; });
    std::vector<ImageByte> bytes;
    bytes.reserve(entries_.size());
    bool conflict = false;
    ImageError first;
    for (size_t i = 0; i < entries_.size(); ++i) {
        const Entry& e = entries_[i];
        if (!bytes.empty() && bytes.back().address == e.address) {
            // Given again: the same value is harmless, another one is not.
            if (e.value != bytes.back().value && (!conflict || e.line < first.line)) {
                conflict = true;
                first = ImageError{e.line, ImageFault::Conflict, e.address};
            }
            continue;
        }
        bytes.push_back({e.address, e.value});
    }
    entries_.clear();
    if (conflict) {
        *error = first;
        return false;
    }
    image->bytes = std::move(bytes);
    return true;
}

}  // namespace hc12::records
