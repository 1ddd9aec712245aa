// Intel HEX: ":", then hexadecimal bytes: the data length, a 16-bit offset, the
// record type, the data, and the byte that brings the sum of all of them to zero.
#include <cstdio>

#include "ImageFormat.h"
#include "RecordLines.h"

namespace hc12 {

namespace {

enum : uint8_t {
    kData = 0x00,
    kEnd = 0x01,
    kSegmentBase = 0x02,
    kSegmentStart = 0x03,
    kLinearBase = 0x04,
    kLinearStart = 0x05,
};

void AppendRecord(std::string& out, uint8_t type, uint16_t offset, const uint8_t* data,
                  size_t size) {
    char buf[16];
    std::snprintf(buf, sizeof buf, ":%02X%04X%02X", unsigned(size), unsigned(offset),
                  unsigned(type));
    out += buf;
    uint32_t sum = uint32_t(size) + (offset >> 8) + (offset & 0xFF) + type;
    for (size_t i = 0; i < size; ++i) {
        std::snprintf(buf, sizeof buf, "%02X", unsigned(data[i]));
        out += buf;
        sum += data[i];
    }
    std::snprintf(buf, sizeof buf, "%02X\n", unsigned(-sum & 0xFF));
    out += buf;
}

}  // namespace

namespace {

class IntelHexReader final : public records::RecordReader {
  public:
    bool Line(size_t number, std::string_view line, ImageError* error) override {
        const auto fail = [&](ImageFault fault) {
            *error = ImageError{number, fault, 0};
            return false;
        };
        anyRecord_ = true;
        if (ended_)
            return fail(ImageFault::AfterEnd);
        if (line[0] != ':')
            return fail(ImageFault::NotARecord);
        ImageFault fault;
        if (!records::DecodeHex(line.substr(1), &bytes_, &fault))
            return fail(fault);
        if (bytes_.size() < 5 || bytes_.size() != size_t(bytes_[0]) + 5)
            return fail(ImageFault::BadLength);
        uint32_t sum = 0;
        for (uint8_t b : bytes_)
            sum += b;
        if ((sum & 0xFF) != 0)
            return fail(ImageFault::BadChecksum);

        const size_t size = bytes_[0];
        const uint32_t offset = uint32_t(bytes_[1]) << 8 | bytes_[2];
        const uint8_t* data = bytes_.data() + 4;
        switch (bytes_[3]) {
            case kData:
                for (size_t i = 0; i < size; ++i) {
                    const uint64_t address =
                        segmented_ ? base_ + ((offset + i) & 0xFFFF) : uint64_t(base_) + offset + i;
                    gatherer_.Add(address & 0xFFFFFFFF, data[i], number);
                }
                break;
            case kEnd:
                if (size != 0)
                    return fail(ImageFault::BadLength);
                ended_ = true;
                break;
            case kSegmentBase:
            case kLinearBase:
                if (size != 2)
                    return fail(ImageFault::BadLength);
                segmented_ = bytes_[3] == kSegmentBase;
                base_ = (uint32_t(data[0]) << 8 | data[1]) << (segmented_ ? 4 : 16);
                break;
            case kSegmentStart:
            case kLinearStart:
                if (size != 4)
                    return fail(ImageFault::BadLength);
                break;  // where a program starts means nothing to an EEPROM
            default:
                return fail(ImageFault::UnknownType);
        }
        return true;
    }

    bool Finish(size_t lines, AddressedImage* image, ImageError* error) override {
        // A file without a single record is an empty image, not a damaged one.
        if (!ended_ && anyRecord_) {
            *error = ImageError{lines, ImageFault::NoEnd, 0};
            return false;
        }
        AddressedImage result;
        if (!gatherer_.Finish(&result, error))
            return false;
        *image = std::move(result);
        return true;
    }

  private:
    records::ByteGatherer gatherer_;
    uint32_t base_ = 0;
    bool segmented_ = false;  // 02 bases wrap their offsets within 64 KiB
    bool ended_ = false;
    bool anyRecord_ = false;
    std::vector<uint8_t> bytes_;
};

}  // namespace

std::unique_ptr<records::RecordReader> records::MakeIntelHexReader() {
    return std::make_unique<IntelHexReader>();
}

bool ParseIntelHex(std::string_view text, AddressedImage* image, ImageError* error) {
    return records::ParseText(*records::MakeIntelHexReader(), text, image, error);
}

std::string WriteIntelHex(const AddressedImage& image) {
    std::string out;
    uint32_t segment = 0;  // the upper 16 address bits the records stand in
    uint8_t data[16];
    const auto& bytes = image.bytes;
    for (size_t i = 0; i < bytes.size();) {
        const uint32_t address = bytes[i].address;
        if (address >> 16 != segment) {
            segment = address >> 16;
            const uint8_t upper[2] = {uint8_t(segment >> 8), uint8_t(segment)};
            AppendRecord(out, kLinearBase, 0, upper, 2);
        }
        // A record stays inside its 64 KiB segment.
        size_t size = 0;
        while (i < bytes.size() && size < 16 && bytes[i].address == address + size &&
               bytes[i].address >> 16 == segment)
            data[size++] = bytes[i++].value;
        AppendRecord(out, kData, uint16_t(address), data, size);
    }
    AppendRecord(out, kEnd, 0, nullptr, 0);
    return out;
}

}  // namespace hc12
