#include "HexText.h"

#include <array>

namespace hc12 {
namespace {

constexpr char kDigits[] = "0123456789ABCDEF";

// Code points of bytes 0x80..0xFF in code page 1250; the five unassigned bytes map to
// the control code points of the same value, as the system conversion does.
constexpr std::array<char16_t, 128> kHighHalf = {
    0x20AC, 0x0081, 0x201A, 0x0083, 0x201E, 0x2026, 0x2020, 0x2021, 0x0088, 0x2030, 0x0160, 0x2039,
    0x015A, 0x0164, 0x017D, 0x0179, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0098, 0x2122, 0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A, 0x00A0, 0x02C7, 0x02D8, 0x0141,
    0x00A4, 0x0104, 0x00A6, 0x00A7, 0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B,
    0x00B0, 0x00B1, 0x02DB, 0x0142, 0x00B4, 0x00B5, 0x00B6, 0x00B7, 0x00B8, 0x0105, 0x015F, 0x00BB,
    0x013D, 0x02DD, 0x013E, 0x017C, 0x0154, 0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7,
    0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD, 0x00CE, 0x010E, 0x0110, 0x0143, 0x0147, 0x00D3,
    0x00D4, 0x0150, 0x00D6, 0x00D7, 0x0158, 0x016E, 0x00DA, 0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF,
    0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7, 0x010D, 0x00E9, 0x0119, 0x00EB,
    0x011B, 0x00ED, 0x00EE, 0x010F, 0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4, 0x0151, 0x00F6, 0x00F7,
    0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9,
};

}  // namespace

std::string FormatHex2(uint32_t value) {
    return {kDigits[(value >> 4) & 0xF], kDigits[value & 0xF]};
}

std::string FormatHex4(uint32_t value) {
    return {kDigits[(value >> 12) & 0xF], kDigits[(value >> 8) & 0xF], kDigits[(value >> 4) & 0xF],
            kDigits[value & 0xF]};
}

char32_t CodePointForByte(uint8_t byte) {
    return byte < 0x80 ? char32_t(byte) : char32_t(kHighHalf[byte - 0x80]);
}

uint8_t ByteForCodePoint(char32_t codePoint) {
    if (codePoint < 0x80)
        return uint8_t(codePoint);
    for (size_t i = 0; i < kHighHalf.size(); ++i)
        if (char32_t(kHighHalf[i]) == codePoint)
            return uint8_t(0x80 + i);
    return '?';
}

std::string Utf8FromCodePoint(char32_t c) {
    std::string out;
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
    return out;
}

char32_t FirstCodePoint(std::string_view s) {
    if (s.empty())
        return 0;
    const auto b0 = uint8_t(s[0]);
    int extra = 0;
    char32_t c = b0;
    if (b0 >= 0xF0 && b0 < 0xF8) {
        extra = 3;
        c = b0 & 0x07;
    } else if (b0 >= 0xE0) {
        extra = 2;
        c = b0 & 0x0F;
    } else if (b0 >= 0xC0) {
        extra = 1;
        c = b0 & 0x1F;
    } else {
        return b0;
    }
    if (s.size() < size_t(extra) + 1)
        return b0;
    for (int i = 1; i <= extra; ++i) {
        const auto b = uint8_t(s[i]);
        if ((b & 0xC0) != 0x80)
            return b0;
        c = (c << 6) | (b & 0x3F);
    }
    return c;
}

std::string CharacterText(uint8_t byte) {
    if (byte < 0x20 || byte == 0x7F || byte == 0xFF)
        return ".";
    if (NoCharacterInCodePage(byte))
        return ".";
    return Utf8FromCodePoint(CodePointForByte(byte));
}

bool NoCharacterInCodePage(uint8_t byte) {
    // They map to control characters, which a font draws as a box with their code.
    const char32_t c = CodePointForByte(byte);
    return c >= 0x80 && c < 0xA0;
}

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

uint32_t ParseHex(std::string_view text) {
    uint32_t v = 0;
    for (char c : text) {
        uint32_t d;
        if (c >= '0' && c <= '9')
            d = uint32_t(c - '0');
        else if (c >= 'A' && c <= 'F')
            d = uint32_t(c - 'A' + 10);
        else if (c >= 'a' && c <= 'f')
            d = uint32_t(c - 'a' + 10);
        else
            break;
        v = (v << 4) | d;
    }
    return v;
}

uint32_t ParseDecimal(std::string_view text) {
    uint32_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            break;
        v = v * 10 + uint32_t(c - '0');
    }
    return v;
}

}  // namespace hc12
