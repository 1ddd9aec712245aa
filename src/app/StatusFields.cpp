#include "StatusFields.h"

#include <algorithm>

#include "Compare.h"
#include "FileTexts.h"
#include "TargetTexts.h"

namespace hc12 {
namespace {

// The count field takes up to seven digits; a page holds at most 2^31 - 1 bytes.
const std::string kLongestCount = "9999999";
const std::string kLongestCells = "2147483647";
// Room around the text inside a field.
constexpr int kFieldPadding = 14;

}  // namespace

std::vector<std::string> LongestStatusTexts(int field) {
    switch (field) {
        case 0:
            return {texts::kReadPrefix + kLongestCount + texts::kUnitMany,
                    texts::kWritePrefix + kLongestCount + texts::kUnitMany,
                    LoadedStatusText(uint32_t(kMaxFileLength)), LoadedStatusText(1023)};
        case 1:
            return {texts::kFailedWrites + kLongestCount, kLongestCount, CompareSummary(2147483647),
                    CompareSummary(2), texts::kUnchangedWords + kLongestCount,
                    // an adapter's latency timer goes up to 255 ms
                    texts::kSlowAdapter + std::string("255 ms")};
        case 3:
            return {"Brak połączenia.", texts::kStatusReset, "Łączenie...", texts::kStatusConnected,
                    // the tools' help texts
                    "Nowy bufor", "Czytaj plik", "Zapisz do pliku", "Zamknij bufor", "O porgramie"};
        default:
            return {};
    }
}

std::vector<int> StatusFieldWidths(const std::function<int(const std::string&)>& textWidth) {
    std::vector<int> widths(4, -1);
    for (int field : {0, 1, 3}) {
        int widest = 0;
        for (const std::string& text : LongestStatusTexts(field))
            widest = std::max(widest, textWidth(text));
        widths[size_t(field)] = widest + kFieldPadding;
    }
    return widths;
}

}  // namespace hc12
