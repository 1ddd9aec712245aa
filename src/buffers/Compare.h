// Comparing two pages cell by cell into a result page, and the summary texts.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "PageModel.h"
#include "Translate.h"

namespace hc12 {

// Cells compared: whole rows of the smaller page.
uint32_t CompareLength(const PageModel& a, const PageModel& b);

// The result holds A's bytes where either cell has text, red where the texts of A
// and B differ (case does not count; "123" and "23" differ). `step` runs once per
// compared cell. The result must hold CompareLength cells; returns the differences.
int32_t ComparePages(const PageModel& a, const PageModel& b, PageModel& result,
                     const std::function<void()>& step = {});

// "Razem:  <n>  różnica." ("różnice" for 2..4, "różnic" otherwise), in the language
// in use.
std::string CompareSummary(int32_t differences);
// Name of a result page: "A" i "B" with the quotes.
std::string CompareResultName(const std::string& nameA, const std::string& nameB);

// Shown through Tr.
inline constexpr const char* kIdenticalBuffersText = N_("Bufory są identyczne!");
inline constexpr const char* kDifferencesCaption = N_("Różnice");

}  // namespace hc12
