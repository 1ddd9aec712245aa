// Raw memory images on disk: byte i of the file is the byte at address start + i,
// no header. Reading takes a whole regular file or nothing; saving replaces the
// file only once the whole image is written (see ReplacingFile).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace hc12::cli {

// false with a reason in *error when the file cannot be read completely, is no
// regular file, or is longer than a page takes.
bool ReadRawImage(const std::string& path, std::vector<uint8_t>* bytes, std::string* error);

// false with a reason in *error; the target is then untouched.
bool SaveRawImage(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error);

}  // namespace hc12::cli
