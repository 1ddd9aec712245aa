// The file formats of buffer images: raw bytes, Motorola S-records and Intel HEX.
// Raw images have no addresses (file byte i is the byte at start + i); the two
// text formats carry them, and their readers check every record.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "AddressedImage.h"

namespace hc12 {

enum class ImageFormat { Raw, SRecord, IntelHex };

// .s19 .s28 .s37 .srec .mot are S-records, .hex .ihx Intel HEX (any case); every
// other name is a raw image.
ImageFormat FormatFromFileName(std::string_view name);
// "raw", "srec", "ihex"; nullopt for anything else.
std::optional<ImageFormat> FormatFromOption(std::string_view name);

// What is wrong with a record.
enum class ImageFault {
    NotARecord,   // the line does not start as a record of the format
    BadDigit,     // a character that is no hexadecimal digit
    BadLength,    // the length byte, or a record's fixed length, does not match
    BadChecksum,  //
    UnknownType,  //
    BadCount,     // S5/S6: not the number of data records before it
    Conflict,     // an address given two different values
    AfterEnd,     // a record after the end record
    NoEnd,        // the file ends without an end record
};

struct ImageError {
    size_t line = 0;  // 1-based
    ImageFault fault = ImageFault::NotARecord;
    uint32_t address = 0;  // Conflict: the address
};

// Lines may end in LF or CRLF; blank lines are skipped. false with the first fault.
// An S-record file may end without S7/S8/S9; an Intel HEX file needs its 01 unless
// it holds no record at all (an empty image).
bool ParseSRecords(std::string_view text, AddressedImage* image, ImageError* error);
bool ParseIntelHex(std::string_view text, AddressedImage* image, ImageError* error);

// S0 with `name`, S1 records (S2 past FFFF, S3 past FFFFFF) of 16 bytes that never
// bridge a gap, S5 (S6 past 65535 records), S9.
std::string WriteSRecords(const AddressedImage& image, std::string_view name);
// 16-byte data records, 04 before every 64 KiB segment other than the first, 01.
std::string WriteIntelHex(const AddressedImage& image);

// At least four upper-case hexadecimal digits: "0C00", "10000".
std::string FormatAddress(uint32_t address);

// The error box text: "Niepoprawny plik, linia 12: zła suma kontrolna".
std::string ImageErrorText(const ImageError& error);

}  // namespace hc12
