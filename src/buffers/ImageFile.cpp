#include "ImageFile.h"

#include "InputFile.h"
#include "RecordLines.h"

namespace hc12 {

// The text is read a piece at a time and never held whole: what the reading keeps
// is the image (and the line a piece cuts), not the text.
ImageReadResult ReadAddressedImage(const std::filesystem::path& path, ImageFormat format,
                                   AddressedImage* image, std::string* reason,
                                   ImageError* recordError) {
    InputFile file;
    if (!file.Open(path, reason))
        return ImageReadResult::Unreadable;
    const std::unique_ptr<records::RecordReader> reader = format == ImageFormat::IntelHex
                                                              ? records::MakeIntelHexReader()
                                                              : records::MakeSRecordReader();
    bool bad = false;
    records::LineSplitter lines([&](size_t number, std::string_view line) {
        bad = !reader->Line(number, line, recordError);
        return !bad;
    });
    const bool read = file.ReadPieces(
        kMaxTextImageLength,
        [&](const uint8_t* data, size_t size) {
            return lines.Feed(std::string_view(reinterpret_cast<const char*>(data), size));
        },
        reason);
    if (!bad && !read)
        return ImageReadResult::Unreadable;
    if (!bad)
        lines.End();
    if (bad || !reader->Finish(lines.lines(), image, recordError))
        return ImageReadResult::BadRecord;
    return ImageReadResult::Ok;
}

std::vector<uint8_t> EncodeAddressedImage(const AddressedImage& image, ImageFormat format,
                                          const std::string& fileName) {
    const std::string text =
        format == ImageFormat::IntelHex ? WriteIntelHex(image) : WriteSRecords(image, fileName);
    return std::vector<uint8_t>(text.begin(), text.end());
}

}  // namespace hc12
