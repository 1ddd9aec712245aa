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

bool ParseIntelHex(std::string_view text, AddressedImage* image, ImageError* error) {
    records::ByteGatherer gatherer;
    uint32_t base = 0;
    bool segmented = false;  // 02 bases wrap their offsets within 64 KiB
    bool ended = false;
    bool failed = false;
    bool anyRecord = false;
    std::vector<uint8_t> bytes;
    const auto fail = [&](size_t line, ImageFault fault) {
        *error = ImageError{line, fault, 0};
        failed = true;
        return false;
    };
    const size_t lines = records::ForEachLine(text, [&](size_t number, std::string_view line) {
        anyRecord = true;
        if (ended)
            return fail(number, ImageFault::AfterEnd);
        if (line[0] != ':')
            return fail(number, ImageFault::NotARecord);
        ImageFault fault;
        if (!records::DecodeHex(line.substr(1), &bytes, &fault))
            return fail(number, fault);
        if (bytes.size() < 5 || bytes.size() != size_t(bytes[0]) + 5)
            return fail(number, ImageFault::BadLength);
        uint32_t sum = 0;
        for (uint8_t b : bytes)
            sum += b;
        if ((sum & 0xFF) != 0)
            return fail(number, ImageFault::BadChecksum);

        const size_t size = bytes[0];
        const uint32_t offset = uint32_t(bytes[1]) << 8 | bytes[2];
        const uint8_t* data = bytes.data() + 4;
        switch (bytes[3]) {
            case kData:
                for (size_t i = 0; i < size; ++i) {
                    const uint64_t address =
                        segmented ? base + ((offset + i) & 0xFFFF) : uint64_t(base) + offset + i;
                    gatherer.Add(address & 0xFFFFFFFF, data[i], number);
                }
                break;
            case kEnd:
                if (size != 0)
                    return fail(number, ImageFault::BadLength);
                ended = true;
                break;
            case kSegmentBase:
            case kLinearBase:
                if (size != 2)
                    return fail(number, ImageFault::BadLength);
                segmented = bytes[3] == kSegmentBase;
                base = (uint32_t(data[0]) << 8 | data[1]) << (segmented ? 4 : 16);
                break;
            case kSegmentStart:
            case kLinearStart:
                if (size != 4)
                    return fail(number, ImageFault::BadLength);
                break;  // where a program starts means nothing to an EEPROM
            default:
                return fail(number, ImageFault::UnknownType);
        }
        return true;
    });
    if (failed)
        return false;
    // A file without a single record is an empty image, not a damaged one.
    if (!ended && anyRecord) {
        *error = ImageError{lines, ImageFault::NoEnd, 0};
        return false;
    }
    AddressedImage result;
    if (!gatherer.Finish(&result, error))
        return false;
    *image = std::move(result);
    return true;
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
