// What the S-record and Intel HEX readers share: the lines of a text, taken a
// piece at a time, the bytes of a record's hexadecimal digits, and the gathering of
// the data bytes with the check that no address is given two values.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ImageFormat.h"

namespace hc12::records {

// Called for every line that is not blank, with its 1-based number, without the
// line end (LF or CRLF) and trailing blanks; returns false to stop.
using LineFunction = std::function<bool(size_t number, std::string_view line)>;

// Splits a text that comes in pieces into lines; only a line cut by the end of a
// piece is kept between pieces.
class LineSplitter {
  public:
    explicit LineSplitter(LineFunction line) : line_(std::move(line)) {}
    // false once the line function has said stop.
    bool Feed(std::string_view piece);
    // The last line, when the text does not end with a line end.
    bool End();
    // The number of the last line.
    size_t lines() const { return number_; }

  private:
    bool Emit(std::string_view line);

    LineFunction line_;
    std::string partial_;
    size_t number_ = 0;
    bool stopped_ = false;
};

// A whole text at once. Returns the number of the last line.
size_t ForEachLine(std::string_view text, const LineFunction& line);

// The bytes of an even number of hexadecimal digits (either case).
bool DecodeHex(std::string_view digits, std::vector<uint8_t>* bytes, ImageFault* fault);

// Keeps what the image holds, not what the text says: each address once, so that
// a text that gives the same bytes over and over costs no more than the bytes.
class ByteGatherer {
  public:
    void Add(uint64_t address, uint8_t value, size_t line);
    // The bytes in rising order; false with the line of the first record that
    // gives an address a second, different value.
    bool Finish(AddressedImage* image, ImageError* error);

  private:
    struct Entry {
        uint32_t address;
        uint32_t line;
        uint8_t value;
    };
    // Folds the bytes that came out of order into bytes_.
    void Merge();

    std::vector<ImageByte> bytes_;  // rising addresses, each once
    std::vector<Entry> pending_;    // below the highest address so far, in line order
    bool conflict_ = false;
    ImageError first_;  // the first conflict by line
};

// A reader of one format, fed line by line.
class RecordReader {
  public:
    virtual ~RecordReader() = default;
    // false with *error set at the first fault.
    virtual bool Line(size_t number, std::string_view line, ImageError* error) = 0;
    // After the last line (the number of the last line of the text).
    virtual bool Finish(size_t lines, AddressedImage* image, ImageError* error) = 0;
};

std::unique_ptr<RecordReader> MakeSRecordReader();
std::unique_ptr<RecordReader> MakeIntelHexReader();

// A whole text through a reader.
bool ParseText(RecordReader& reader, std::string_view text, AddressedImage* image,
               ImageError* error);

}  // namespace hc12::records
