// Selected blocks of a page and the mirroring between its two halves.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace hc12 {

struct CellBlock {
    int32_t top = 0;
    int32_t left = 0;
    int32_t bottom = 0;
    int32_t right = 0;
    bool operator==(const CellBlock&) const = default;
    bool Contains(int32_t row, int32_t col) const {
        return row >= top && row <= bottom && col >= left && col <= right;
    }
};

// The matching block in the other half: hexadecimal columns 0..15 map to character
// columns 17..32 and back. Parts that fall on the separator or outside the other
// half are cut off, so the result always lies within columns 0..32; none when
// nothing is left.
std::optional<CellBlock> MirrorBlock(const CellBlock& block);

// What the grid selects when the user selects `block`: the block itself, then its
// mirror. None when the block crosses the separator (it stays as dragged).
std::optional<std::vector<CellBlock>> MirroredSelection(const CellBlock& block);

// The hexadecimal cells of `blocks`, one byte further on: what stays selected when
// the page gains a cell in front. Character cells are left out (their mirrors
// follow the hexadecimal ones).
std::vector<CellBlock> HexBlocksOneByteOn(const std::vector<CellBlock>& blocks);

bool IsSelected(const std::vector<CellBlock>& blocks, int32_t row, int32_t col);

}  // namespace hc12
