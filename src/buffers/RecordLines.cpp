#include "RecordLines.h"

#include <algorithm>

namespace hc12::records {

bool LineSplitter::Emit(std::string_view l) {
    ++number_;
    while (!l.empty() && (l.back() == '\r' || l.back() == ' ' || l.back() == '\t'))
        l.remove_suffix(1);
    if (l.empty())
        return true;
    if (!line_(number_, l))
        stopped_ = true;
    return !stopped_;
}

bool LineSplitter::Feed(std::string_view piece) {
    while (!stopped_ && !piece.empty()) {
        const size_t end = piece.find('\n');
        if (end == std::string_view::npos) {
            partial_.append(piece);
            break;
        }
        if (partial_.empty()) {
            Emit(piece.substr(0, end));
        } else {
            partial_.append(piece.substr(0, end));
            const std::string line = std::move(partial_);
            partial_.clear();
            Emit(line);
        }
        piece.remove_prefix(end + 1);
    }
    return !stopped_;
}

bool LineSplitter::End() {
    if (stopped_ || partial_.empty())
        return !stopped_;
    const std::string line = std::move(partial_);
    partial_.clear();
    return Emit(line);
}

size_t ForEachLine(std::string_view text, const LineFunction& line) {
    LineSplitter splitter(line);
    if (splitter.Feed(text))
        splitter.End();
    return splitter.lines();
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
    // Records in rising order, as tools write them, go straight in: above every
    // address so far, also above those still pending.
    if (bytes_.empty() || a > bytes_.back().address) {
        bytes_.push_back({a, value});
        return;
    }
    pending_.push_back({a, uint32_t(line), value});
    if (pending_.size() >= std::max<size_t>(bytes_.size(), 4096))
        Merge();
}

void ByteGatherer::Merge() {
    if (pending_.empty())
        return;
    // In line order for each address, so that the first giving stays.
    std::stable_sort(pending_.begin(), pending_.end(),
                     [](const Entry& a, const Entry& b) { return a.address < b.address; });
    const auto noteConflict = [this](const Entry& e) {
        if (!conflict_ || e.line < first_.line) {
            conflict_ = true;
            first_ = ImageError{e.line, ImageFault::Conflict, e.address};
        }
    };
    const size_t kept = bytes_.size();
    for (size_t i = 0; i < pending_.size(); ++i) {
        const Entry& e = pending_[i];
        // Given earlier in the text: by a byte kept before, or a pending one before it.
        // The same value is harmless, another one is not.
        const auto it = std::lower_bound(
            bytes_.begin(), bytes_.begin() + long(kept), e.address,
            [](const ImageByte& b, uint32_t address) { return b.address < address; });
        if (it != bytes_.begin() + long(kept) && it->address == e.address) {
            if (it->value != e.value)
                noteConflict(e);
            continue;
        }
        if (i > 0 && pending_[i - 1].address == e.address) {
            if (bytes_.back().value != e.value)
                noteConflict(e);
            continue;
        }
        bytes_.push_back({e.address, e.value});
    }
    pending_.clear();
    pending_.shrink_to_fit();
    std::inplace_merge(
        bytes_.begin(), bytes_.begin() + long(kept), bytes_.end(),
        [](const ImageByte& a, const ImageByte& b) { return a.address < b.address; });
}

bool ByteGatherer::Finish(AddressedImage* image, ImageError* error) {
    Merge();
    if (conflict_) {
        *error = first_;
        bytes_.clear();
        return false;
    }
    image->bytes = std::move(bytes_);
    bytes_.clear();
    return true;
}

bool ParseText(RecordReader& reader, std::string_view text, AddressedImage* image,
               ImageError* error) {
    bool failed = false;
    const size_t lines = ForEachLine(text, [&](size_t number, std::string_view line) {
        failed = !reader.Line(number, line, error);
        return !failed;
    });
    return !failed && reader.Finish(lines, image, error);
}

}  // namespace hc12::records
