// The digit filter of the address and fill fields, without a text control.
#pragma once

#include <string>

namespace hc12 {

enum FieldKind { kDecimalField = 1, kHexField = 2 };

struct FilteredField {
    std::u32string text;
    int caret = 0;  // where the caret goes back (clamped to the text)
};

// Keeps decimal digits (kind 1) or hexadecimal digits in upper case (kind 2); any
// other kind keeps everything. With maxLength > 0 the text is cut to maxLength:
// a character typed at the end of a full field takes the last place, characters
// typed inside overwrite those after the caret, and a paste at the end of a full
// field is dropped. `caret` is the insertion point after the change.
FilteredField FilterFieldText(const std::u32string& text, int caret, int kind, int maxLength);

}  // namespace hc12
