// An image whose bytes carry their target addresses, as S-records and Intel HEX
// give them: gaps are bytes the file does not give.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "PageModel.h"

namespace hc12 {

struct ImageByte {
    uint32_t address = 0;
    uint8_t value = 0;
    bool operator==(const ImageByte&) const = default;
};

struct AddressedImage {
    std::vector<ImageByte> bytes;  // ascending addresses, each once
    std::string header;            // the S0 record's text, when there is one

    bool empty() const { return bytes.empty(); }
    uint32_t first() const { return bytes.front().address; }
    uint32_t last() const { return bytes.back().address; }
};

// The page's non-empty cells of its address window, at start + index.
AddressedImage PageImage(const PageModel& page);

// Do all the image's addresses lie in start .. start + count - 1?
bool FitsWindow(const AddressedImage& image, uint32_t start, uint32_t count);

// The window that covers the image, with an even start; false when the start
// field (four hex digits) or the count field (seven digits) cannot hold it.
bool WindowFor(const AddressedImage& image, uint32_t* start, uint32_t* count);

}  // namespace hc12
