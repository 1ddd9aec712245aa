#include "SerialField.h"

#include <algorithm>
#include <cctype>

namespace hc12::production {

namespace {

// A field of more bytes than these holds numbers past 64 bits.
constexpr uint32_t kMaxBinaryBytes = 8;
constexpr uint32_t kMaxBcdBytes = 9;     // 18 digits
constexpr uint32_t kMaxAsciiBytes = 19;  // 19 digits

uint64_t PowerOfTen(uint32_t digits) {
    uint64_t p = 1;
    for (uint32_t i = 0; i < digits; ++i)
        p *= 10;
    return p;
}

bool AllHex(const std::string& text) {
    return !text.empty() && std::all_of(text.begin(), text.end(),
                                        [](unsigned char c) { return std::isxdigit(c) != 0; });
}

bool AllDigits(const std::string& text) {
    return !text.empty() && std::all_of(text.begin(), text.end(),
                                        [](unsigned char c) { return std::isdigit(c) != 0; });
}

}  // namespace

uint64_t SerialField::MaxValue() const {
    switch (format) {
        case SerialFormat::BigEndian:
        case SerialFormat::LittleEndian:
            return size >= 8 ? UINT64_MAX : (uint64_t(1) << (8 * size)) - 1;
        case SerialFormat::Bcd:
            return PowerOfTen(2 * size) - 1;
        case SerialFormat::Ascii:
            return PowerOfTen(size) - 1;
    }
    return 0;
}

std::vector<uint8_t> SerialField::Encode(uint64_t number) const {
    std::vector<uint8_t> bytes(size);
    for (uint32_t i = 0; i < size; ++i) {
        // Fill from the least significant end.
        const uint32_t at = format == SerialFormat::LittleEndian ? i : size - 1 - i;
        switch (format) {
            case SerialFormat::BigEndian:
            case SerialFormat::LittleEndian:
                bytes[at] = uint8_t(number & 0xFF);
                number >>= 8;
                break;
            case SerialFormat::Bcd:
                bytes[at] = uint8_t((number % 10) | ((number / 10 % 10) << 4));
                number /= 100;
                break;
            case SerialFormat::Ascii:
                bytes[at] = uint8_t('0' + number % 10);
                number /= 10;
                break;
        }
    }
    return bytes;
}

std::optional<uint64_t> SerialField::Decode(const std::vector<uint8_t>& bytes) const {
    if (bytes.size() != size)
        return std::nullopt;
    uint64_t number = 0;
    for (uint32_t i = 0; i < size; ++i) {
        const uint8_t b = bytes[format == SerialFormat::LittleEndian ? size - 1 - i : i];
        switch (format) {
            case SerialFormat::BigEndian:
            case SerialFormat::LittleEndian:
                number = (number << 8) | b;
                break;
            case SerialFormat::Bcd:
                if ((b >> 4) > 9 || (b & 0x0F) > 9)
                    return std::nullopt;
                number = number * 100 + (b >> 4) * 10 + (b & 0x0F);
                break;
            case SerialFormat::Ascii:
                if (b < '0' || b > '9')
                    return std::nullopt;
                number = number * 10 + (b - '0');
                break;
        }
    }
    return number;
}

std::optional<SerialField> ParseSerialField(const std::string& text, std::string* error) {
    auto fail = [&](const std::string& why) -> std::optional<SerialField> {
        *error = "--serial " + text + ": " + why;
        return std::nullopt;
    };
    const size_t colon = text.find(':');
    if (colon == std::string::npos)
        return fail("expected ADDR:BYTES[:FORMAT], e.g. 0FFC:4, 0FF0:8:ascii or +3FC:4");
    std::string address = text.substr(0, colon);
    const size_t second = text.find(':', colon + 1);
    const std::string size = text.substr(
        colon + 1, second == std::string::npos ? std::string::npos : second - colon - 1);
    const std::string format = second == std::string::npos ? "be" : text.substr(second + 1);

    SerialField field;
    if (!address.empty() && address[0] == '+') {
        field.fromWindowStart = true;
        address.erase(0, 1);
    }
    if (address.size() > 2 && address[0] == '0' && (address[1] == 'x' || address[1] == 'X'))
        address.erase(0, 2);
    if (address.size() > 4 || !AllHex(address))
        return fail("the address takes up to four hexadecimal digits");
    field.address = uint32_t(std::stoul(address, nullptr, 16));

    if (format == "be")
        field.format = SerialFormat::BigEndian;
    else if (format == "le")
        field.format = SerialFormat::LittleEndian;
    else if (format == "bcd")
        field.format = SerialFormat::Bcd;
    else if (format == "ascii")
        field.format = SerialFormat::Ascii;
    else
        return fail("the format is be, le, bcd or ascii, not \"" + format + "\"");

    const uint32_t maxBytes = field.format == SerialFormat::Bcd     ? kMaxBcdBytes
                              : field.format == SerialFormat::Ascii ? kMaxAsciiBytes
                                                                    : kMaxBinaryBytes;
    if (size.size() > 2 || !AllDigits(size) || std::stoul(size) == 0 || std::stoul(size) > maxBytes)
        return fail("BYTES is 1 to " + std::to_string(maxBytes) + " for " + format);
    field.size = uint32_t(std::stoul(size));
    if (field.End() > 0x10000)
        return fail("the field runs past FFFF");
    return field;
}

const char* SerialFormatName(SerialFormat format) {
    switch (format) {
        case SerialFormat::BigEndian:
            return "be";
        case SerialFormat::LittleEndian:
            return "le";
        case SerialFormat::Bcd:
            return "bcd";
        case SerialFormat::Ascii:
            return "ascii";
    }
    return "";
}

std::string HexBytes(const std::vector<uint8_t>& bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (uint8_t b : bytes) {
        if (!text.empty())
            text.push_back(' ');
        text.push_back(kDigits[b >> 4]);
        text.push_back(kDigits[b & 0x0F]);
    }
    return text;
}

}  // namespace hc12::production
