// The widths of the status bar's four fields: each text field as wide as the
// longest text the program puts there, the gauge's field the rest.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace hc12 {

// The longest texts of field 0, 1 and 3 (field 2 holds the gauge).
std::vector<std::string> LongestStatusTexts(int field);

// Widths for the four fields; `textWidth` measures a UTF-8 text in the bar's font,
// `scale` is screen pixels per pixel at 96 DPI. Field 2 gets -1: whatever the
// others leave.
std::vector<int> StatusFieldWidths(const std::function<int(const std::string&)>& textWidth,
                                   double scale = 1.0);

}  // namespace hc12
