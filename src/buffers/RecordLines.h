// What the S-record and Intel HEX readers share: the lines of a text, the bytes
// of a record's hexadecimal digits, and the gathering of the data bytes with the
// check that no address is given two values.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "ImageFormat.h"

namespace hc12::records {

// Calls `line` for every line that is not blank, with its 1-based number, without
// the line end (LF or CRLF) and trailing blanks; stops when it returns false.
// Returns the number of the last line.
size_t ForEachLine(std::string_view text,
                   const std::function<bool(size_t number, std::string_view line)>& line);

// The bytes of an even number of hexadecimal digits (either case).
bool DecodeHex(std::string_view digits, std::vector<uint8_t>* bytes, ImageFault* fault);

class ByteGatherer {
  public:
    void Add(uint64_t address, uint8_t value, size_t line);
    // Sorts the bytes into the image; false with the line of the first record that
    // gives an address a second, different value.
    bool Finish(AddressedImage* image, ImageError* error);

  private:
    struct Entry {
        uint32_t address;
        uint32_t line;
        uint8_t value;
    };
    std::vector<Entry> entries_;
    bool outOfOrder_ = false;
};

}  // namespace hc12::records
