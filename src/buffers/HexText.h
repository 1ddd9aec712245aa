// Texts of byte cells and the number parsing of fields and cells.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace hc12 {

// Exactly two / four upper-case hexadecimal digits of the low 8 / 16 bits.
std::string FormatHex2(uint32_t value);
std::string FormatHex4(uint32_t value);

// The character cell of a byte: "." for control bytes, 0x7F, 0xFF and the bytes
// the code page leaves unassigned (0x81, 0x83, 0x88, 0x90, 0x98), otherwise the
// byte's character in the Central European code page (1250), as UTF-8.
std::string CharacterText(uint8_t byte);

// Bytes 0x81, 0x83, 0x88, 0x90 and 0x98: code page 1250 has no character for them.
bool NoCharacterInCodePage(uint8_t byte);

// Code page 1250 in both directions. Characters the code page lacks give '?'.
char32_t CodePointForByte(uint8_t byte);
uint8_t ByteForCodePoint(char32_t codePoint);

// The first code point of a UTF-8 text (0 for an empty text; a malformed byte
// counts as itself).
char32_t FirstCodePoint(std::string_view utf8);
std::string Utf8FromCodePoint(char32_t codePoint);

bool IsHexDigit(char c);
// Unsigned parsing that stops at the first character that is not a digit; an empty
// text is 0. Wraps modulo 2^32, so the low bits of long texts stay exact.
uint32_t ParseHex(std::string_view text);
uint32_t ParseDecimal(std::string_view text);

}  // namespace hc12
