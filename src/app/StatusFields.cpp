#include "StatusFields.h"

#include <algorithm>

#include "Compare.h"
#include "FileTexts.h"
#include "TargetTexts.h"
#include "Translate.h"

namespace hc12 {
namespace {

// The count field takes up to seven digits; a page holds at most 2^31 - 1 bytes.
const std::string kLongestCount = "9999999";
// Counts that reach each plural form a language may have, at their longest: 1, 2,
// and numbers of the most digits ending in 1, 2 and 5 (and 9).
const uint32_t kCounts[] = {1, 2, 9999991, 9999992, 9999995, 9999999};
const int32_t kCellCounts[] = {1, 2, 2147483641, 2147483642, 2147483645, 2147483647};
// Room around the text inside a field.
constexpr int kFieldPadding = 14;

}  // namespace

std::vector<std::string> LongestStatusTexts(int field) {
    std::vector<std::string> out;
    switch (field) {
        case 0:
            for (uint32_t n : kCounts) {
                out.push_back(Format(TrN(texts::kReadStatus, n), n));
                out.push_back(Format(TrN(texts::kWriteStatus, n), n));
            }
            for (uint32_t length : {uint32_t(kMaxFileLength), 1021u, 1022u, 1023u})
                out.push_back(LoadedStatusText(length));
            return out;
        case 1:
            out = {Format(Tr(texts::kFailedWrites), kLongestCount), kLongestCount,
                   Format(Tr(texts::kUnchangedWords), kLongestCount),
                   // an adapter's latency timer goes up to 255 ms
                   Format(Tr(texts::kSlowAdapter), 255)};
            for (int32_t n : kCellCounts)
                out.push_back(CompareSummary(n));
            return out;
        case 3:
            for (const char* text : {N_("Brak połączenia."), texts::kStatusReset, N_("Łączenie..."),
                                     texts::kStatusConnected,
                                     // the tools' help texts
                                     N_("Nowy bufor"), N_("Czytaj plik"), N_("Zapisz do pliku"),
                                     N_("Zamknij bufor"), N_("O porgramie")})
                out.push_back(Tr(text));
            return out;
        default:
            return out;
    }
}

std::vector<int> StatusFieldWidths(const std::function<int(const std::string&)>& textWidth,
                                   double scale) {
    std::vector<int> widths(4, -1);
    for (int field : {0, 1, 3}) {
        int widest = 0;
        for (const std::string& text : LongestStatusTexts(field))
            widest = std::max(widest, textWidth(text));
        widths[size_t(field)] = widest + int(kFieldPadding * scale + 0.5);
    }
    return widths;
}

}  // namespace hc12
