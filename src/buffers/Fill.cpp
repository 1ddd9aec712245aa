#include "Fill.h"

#include <algorithm>

#include "HexText.h"

namespace hc12 {

uint8_t FillValue(std::string_view fieldText) {
    return uint8_t(ParseHex(fieldText));
}

uint32_t FillSelected(PageModel& page, uint8_t value, const std::vector<CellBlock>& blocks) {
    // Overlapping blocks would write a cell twice; count each cell once.
    std::vector<bool> done;
    uint32_t written = 0;
    const int32_t lastRow = int32_t(page.rows()) - 1;
    for (const CellBlock& b : blocks) {
        const int32_t left = std::max(b.left, 0);
        const int32_t right = std::min(b.right, int32_t(PageModel::kBytesPerRow - 1));
        const int32_t top = std::max(b.top, 0);
        const int32_t bottom = std::min(b.bottom, lastRow);
        if (left > right || top > bottom)
            continue;
        if (done.empty() && blocks.size() > 1)
            done.assign(page.capacity(), false);
        for (int32_t r = top; r <= bottom; ++r)
            for (int32_t c = left; c <= right; ++c) {
                const uint32_t i = uint32_t(r) * PageModel::kBytesPerRow + uint32_t(c);
                if (!done.empty()) {
                    if (done[i])
                        continue;
                    done[i] = true;
                }
                page.SetCellByte(i, value);
                ++written;
            }
    }
    return written;
}

}  // namespace hc12
