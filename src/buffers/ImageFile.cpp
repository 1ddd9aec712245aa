#include "ImageFile.h"

#include "InputFile.h"

namespace hc12 {

ImageReadResult ReadAddressedImage(const std::filesystem::path& path, ImageFormat format,
                                   AddressedImage* image, std::string* reason,
                                   ImageError* recordError) {
    std::vector<uint8_t> text;
    if (!ReadWholeFile(path, kMaxTextImageLength, &text, reason))
        return ImageReadResult::Unreadable;
    const std::string_view view(reinterpret_cast<const char*>(text.data()), text.size());
    const bool ok = format == ImageFormat::IntelHex ? ParseIntelHex(view, image, recordError)
                                                    : ParseSRecords(view, image, recordError);
    return ok ? ImageReadResult::Ok : ImageReadResult::BadRecord;
}

std::vector<uint8_t> EncodeAddressedImage(const AddressedImage& image, ImageFormat format,
                                          const std::string& fileName) {
    const std::string text =
        format == ImageFormat::IntelHex ? WriteIntelHex(image) : WriteSRecords(image, fileName);
    return std::vector<uint8_t>(text.begin(), text.end());
}

}  // namespace hc12
