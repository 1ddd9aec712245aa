// Motorola S-records: "S", the type digit, then hexadecimal bytes: the count of
// the bytes that follow, the address (2, 3 or 4 bytes by type), the data and the
// ones' complement of the sum of all of them.
#include <cstdio>

#include "ImageFormat.h"
#include "RecordLines.h"

namespace hc12 {

namespace {

// Address bytes by record type; 0 for the reserved S4 and non-digits.
int AddressLength(char type) {
    switch (type) {
        case '0':
        case '1':
        case '5':
        case '9':
            return 2;
        case '2':
        case '6':
        case '8':
            return 3;
        case '3':
        case '7':
            return 4;
        default:
            return 0;
    }
}

void AppendHex(std::string& out, uint32_t value, int bytes) {
    char buf[12];
    std::snprintf(buf, sizeof buf, "%0*X", bytes * 2, value);
    out += buf;
}

void AppendRecord(std::string& out, char type, uint32_t address, const uint8_t* data, size_t size) {
    const int addressLength = AddressLength(type);
    const uint32_t count = uint32_t(addressLength + size + 1);
    uint32_t sum = count;
    out += 'S';
    out += type;
    AppendHex(out, count, 1);
    AppendHex(out, address, addressLength);
    for (int i = addressLength - 1; i >= 0; --i)
        sum += (address >> (8 * i)) & 0xFF;
    for (size_t i = 0; i < size; ++i) {
        AppendHex(out, data[i], 1);
        sum += data[i];
    }
    AppendHex(out, ~sum & 0xFF, 1);
    out += '\n';
}

}  // namespace

namespace {

class SRecordReader final : public records::RecordReader {
  public:
    bool Line(size_t number, std::string_view line, ImageError* error) override {
        const auto fail = [&](ImageFault fault) {
            *error = ImageError{number, fault, 0};
            return false;
        };
        if (ended_)
            return fail(ImageFault::AfterEnd);
        if (line.size() < 2 || (line[0] != 'S' && line[0] != 's'))
            return fail(ImageFault::NotARecord);
        const char type = line[1];
        const int addressLength = AddressLength(type);
        if (addressLength == 0)
            return fail(ImageFault::UnknownType);
        ImageFault fault;
        if (!records::DecodeHex(line.substr(2), &bytes_, &fault))
            return fail(fault);
        if (bytes_.empty() || bytes_[0] != bytes_.size() - 1 ||
            bytes_.size() < size_t(addressLength) + 2)
            return fail(ImageFault::BadLength);
        uint32_t sum = 0;
        for (size_t i = 0; i + 1 < bytes_.size(); ++i)
            sum += bytes_[i];
        if ((~sum & 0xFF) != bytes_.back())
            return fail(ImageFault::BadChecksum);

        uint32_t address = 0;
        for (int i = 0; i < addressLength; ++i)
            address = address << 8 | bytes_[1 + i];
        const uint8_t* data = bytes_.data() + 1 + addressLength;
        const size_t size = bytes_.size() - 2 - size_t(addressLength);
        switch (type) {
            case '0':
                header_.assign(reinterpret_cast<const char*>(data), size);
                break;
            case '1':
            case '2':
            case '3':
                for (size_t i = 0; i < size; ++i)
                    gatherer_.Add(uint64_t(address) + i, data[i], number);
                ++dataRecords_;
                break;
            case '5':
            case '6':
                if (size != 0)
                    return fail(ImageFault::BadLength);
                if (address != dataRecords_)
                    return fail(ImageFault::BadCount);
                break;
            default:  // 7, 8, 9: the end, with the start address nobody here needs
                if (size != 0)
                    return fail(ImageFault::BadLength);
                ended_ = true;
                break;
        }
        return true;
    }

    // No end record is no fault here: srec_cat writes none unless it knows a start
    // address.
    bool Finish(size_t, AddressedImage* image, ImageError* error) override {
        AddressedImage result;
        if (!gatherer_.Finish(&result, error))
            return false;
        result.header = std::move(header_);
        *image = std::move(result);
        return true;
    }

  private:
    records::ByteGatherer gatherer_;
    std::string header_;
    uint32_t dataRecords_ = 0;
    bool ended_ = false;
    std::vector<uint8_t> bytes_;
};

}  // namespace

std::unique_ptr<records::RecordReader> records::MakeSRecordReader() {
    return std::make_unique<SRecordReader>();
}

bool ParseSRecords(std::string_view text, AddressedImage* image, ImageError* error) {
    return records::ParseText(*records::MakeSRecordReader(), text, image, error);
}

std::string WriteSRecords(const AddressedImage& image, std::string_view name) {
    std::string out;
    // The header holds at most 252 bytes of text.
    const std::string_view header = name.substr(0, 252);
    AppendRecord(out, '0', 0, reinterpret_cast<const uint8_t*>(header.data()), header.size());
    uint32_t dataRecords = 0;
    uint8_t data[16];
    const auto& bytes = image.bytes;
    for (size_t i = 0; i < bytes.size();) {
        const uint32_t address = bytes[i].address;
        size_t size = 0;
        while (i < bytes.size() && size < 16 && bytes[i].address == address + size)
            data[size++] = bytes[i++].value;
        const uint32_t last = address + uint32_t(size) - 1;
        const char type = last > 0xFFFFFF ? '3' : last > 0xFFFF ? '2' : '1';
        AppendRecord(out, type, address, data, size);
        ++dataRecords;
    }
    AppendRecord(out, dataRecords > 0xFFFF ? '6' : '5', dataRecords, nullptr, 0);
    AppendRecord(out, '9', 0, nullptr, 0);
    return out;
}

}  // namespace hc12
