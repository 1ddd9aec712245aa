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
            if (dec) t += c;
        } else if (kind == kHexField) {
            if (dec || hexUpper) t += c;
            if (hexLower) t += char32_t(c - U'a' + U'A');
        } else {
            t += c;
        }
    }
    if (maxLength > 0) {
        const size_t m = size_t(maxLength);
        const int p = caret;
        int k = 0;
        while (t.size() > m) {
            if (p == maxLength + 1) {
                t.erase(m - 1, 1);
            } else {
                // Overwrite after the caret; past the end nothing follows the
                // caret, so the excess at the end goes.
                long idx = long(p) - k;
                if (idx < 0) idx = 0;
                if (size_t(idx) >= t.size()) idx = long(t.size()) - 1;
                t.erase(size_t(idx), 1);
                ++k;
            }
        }
    }
    FilteredField out;
    out.caret = std::clamp(caret, 0, int(t.size()));
    out.text = std::move(t);
    return out;
}

}  // namespace hc12
