#include "AddressedImage.h"

#include <algorithm>

namespace hc12 {

namespace {
constexpr uint32_t kMaxWindowStart = 0xFFFF;
constexpr uint32_t kMaxWindowCount = 9999999;
}  // namespace

AddressedImage PageImage(const PageModel& page) {
    AddressedImage image;
    const uint32_t cells = std::min(page.count(), page.capacity());
    for (uint32_t i = 0; i < cells; ++i)
        if (!page.CellEmpty(i))
            image.bytes.push_back({page.start() + i, page.GetCellByte(i)});
    return image;
}

bool FitsWindow(const AddressedImage& image, uint32_t start, uint32_t count) {
    if (image.empty())
        return true;
    return image.first() >= start && uint64_t(image.last()) < uint64_t(start) + count;
}

bool WindowFor(const AddressedImage& image, uint32_t* start, uint32_t* count) {
    if (image.empty())
        return false;
    const uint32_t s = image.first() & ~1u;
    const uint64_t c = uint64_t(image.last()) - s + 1;
    if (s > kMaxWindowStart || c > kMaxWindowCount)
        return false;
    *start = s;
    *count = uint32_t(c);
    return true;
}

}  // namespace hc12
