// The fill command on a page: one value into every selected hexadecimal cell.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "PageModel.h"
#include "Selection.h"

namespace hc12 {

// The fill value field's text as hexadecimal, low 8 bits (empty gives 0).
uint8_t FillValue(std::string_view fieldText);

// Writes `value` into the hexadecimal cells the blocks cover, over the whole grid
// whatever the page's count; returns how many cells were written.
uint32_t FillSelected(PageModel& page, uint8_t value, const std::vector<CellBlock>& blocks);

}  // namespace hc12
