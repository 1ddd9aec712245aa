#include "Compare.h"

#include <algorithm>

#include "HexText.h"

namespace hc12 {
namespace {

bool SameUpper(const std::string& x, const std::string& y) {
    if (x.size() != y.size())
        return false;
    for (size_t i = 0; i < x.size(); ++i) {
        auto up = [](char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; };
        if (up(x[i]) != up(y[i]))
            return false;
    }
    return true;
}

}  // namespace

uint32_t CompareLength(const PageModel& a, const PageModel& b) {
    return uint32_t(PageModel::kBytesPerRow) * std::min(a.rows(), b.rows());
}

int32_t ComparePages(const PageModel& a, const PageModel& b, PageModel& result,
                     const std::function<void()>& step) {
    const uint32_t n = CompareLength(a, b);
    int32_t differences = 0;
    for (uint32_t i = 0; i < n; ++i) {
        const std::string ta = a.HexText(i);
        if (step)
            step();
        const bool emptyA = a.CellEmpty(i);
        if (emptyA && b.CellEmpty(i))
            continue;
        result.SetCellByte(i, uint8_t(ParseHex(ta)));
        if (!SameUpper(ta, b.HexText(i))) {
            result.MarkRed(i);
            ++differences;
        }
    }
    return differences;
}

std::string CompareSummary(int32_t d) {
    // A count is never negative; the cast only keeps the number's form for the rule.
    const uint64_t n = uint64_t(d < 0 ? 0 : d);
    return Format(
        TrN(N_("Razem:  %s  różnica.", "Razem:  %s  różnice.", "Razem:  %s  różnic.", 4), n), d);
}

std::string CompareResultName(const std::string& nameA, const std::string& nameB) {
    return Format(Tr("\"%s\" i \"%s\""), nameA, nameB);
}

}  // namespace hc12
