#include "Selection.h"

#include <algorithm>

#include "PageModel.h"

namespace hc12 {

std::optional<CellBlock> MirrorBlock(const CellBlock& b) {
    constexpr int32_t kShift = PageModel::kFirstCharColumn;
    CellBlock m = b;
    if (b.left < PageModel::kSeparatorColumn) {
        m.left = std::max(b.left + kShift, int32_t(PageModel::kFirstCharColumn));
        m.right = std::min(b.right + kShift, int32_t(PageModel::kColumns - 1));
    } else {
        m.left = std::max(b.left - kShift, 0);
        m.right = std::min(b.right - kShift, int32_t(PageModel::kBytesPerRow - 1));
    }
    if (m.left > m.right)
        return std::nullopt;
    return m;
}

std::optional<std::vector<CellBlock>> MirroredSelection(const CellBlock& b) {
    if (b.left < PageModel::kSeparatorColumn && b.right > PageModel::kSeparatorColumn)
        return std::nullopt;
    std::vector<CellBlock> out{b};
    if (auto m = MirrorBlock(b))
        out.push_back(*m);
    return out;
}

std::vector<CellBlock> HexBlocksOneByteOn(const std::vector<CellBlock>& blocks) {
    constexpr int32_t kLast = PageModel::kBytesPerRow - 1;
    std::vector<CellBlock> out;
    for (const CellBlock& b : blocks) {
        const int32_t left = std::max(b.left, 0);
        const int32_t right = std::min(b.right, kLast);
        if (left > right)
            continue;
        if (right < kLast) {
            out.push_back({b.top, left + 1, b.bottom, right + 1});
            continue;
        }
        // The last column goes on to the first column of the next row.
        if (left < kLast)
            out.push_back({b.top, left + 1, b.bottom, kLast});
        out.push_back({b.top + 1, 0, b.bottom + 1, 0});
    }
    return out;
}

bool IsSelected(const std::vector<CellBlock>& blocks, int32_t row, int32_t col) {
    return std::any_of(blocks.begin(), blocks.end(),
                       [&](const CellBlock& b) { return b.Contains(row, col); });
}

}  // namespace hc12
