#include "FieldFilter.h"

#include <algorithm>

namespace hc12 {

FilteredField FilterFieldText(const std::u32string& in, int caret, int kind, int maxLength) {
    std::u32string t;
    t.reserve(in.size());
    for (char32_t c : in) {
        const bool dec = c >= U'0' && c <= U'9';
        const bool hexUpper = c >= U'A' && c <= U'F';
        const bool hexLower = c >= U'a' && c <= U'f';
        if (kind == kDecimalField) {
            if (dec)
                t += c;
        } else if (kind == kHexField) {
            if (dec || hexUpper)
                t += c;
            if (hexLower)
                t += char32_t(c - U'a' + U'A');
        } else {
            t += c;
        }
    }
    if (maxLength > 0) {
        const size_t m = size_t(maxLength);
        while (t.size() > m) {
            if (caret == maxLength + 1) {
                t.erase(m - 1, 1);
            } else if (caret >= 0 && size_t(caret) < t.size()) {
                // What was typed or pasted at the caret overwrites what follows it.
                t.erase(size_t(caret), 1);
            } else {
                // Nothing follows the caret: the excess at the end goes.
                t.pop_back();
            }
        }
    }
    FilteredField out;
    out.caret = std::clamp(caret, 0, int(t.size()));
    out.text = std::move(t);
    return out;
}

}  // namespace hc12
