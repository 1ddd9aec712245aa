// Where a unit's serial number goes in the EEPROM image and how its bytes read:
// "ADDR:BYTES[:FORMAT]", ADDR in hexadecimal (or "+OFFSET" from the start of the
// unit's address window, for boards whose EEPROMs start apart), FORMAT be (big-endian binary, as
// the chip reads a 16- or 32-bit value; the default), le, bcd (two decimal digits a byte, the first
// digit high) or ascii (decimal digits, zero-padded).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace hc12::production {

enum class SerialFormat { BigEndian, LittleEndian, Bcd, Ascii };

struct SerialField {
    uint32_t address = 0;  // or the offset from the window's start
    bool fromWindowStart = false;
    uint32_t size = 0;  // bytes
    SerialFormat format = SerialFormat::BigEndian;

    // The largest number the field holds.
    uint64_t MaxValue() const;
    // The field's bytes for `number` (which must not exceed MaxValue()).
    std::vector<uint8_t> Encode(uint64_t number) const;
    // The number the bytes hold; nullopt when they hold none in this format (a BCD
    // nibble above 9, a character that is no digit).
    std::optional<uint64_t> Decode(const std::vector<uint8_t>& bytes) const;
    uint32_t End() const { return address + size; }  // one past the last byte
};

// nullopt with a one-line error for a malformed field.
std::optional<SerialField> ParseSerialField(const std::string& text, std::string* error);

const char* SerialFormatName(SerialFormat format);

// "00 00 03 E8": bytes as the table and the log show them.
std::string HexBytes(const std::vector<uint8_t>& bytes);

}  // namespace hc12::production
