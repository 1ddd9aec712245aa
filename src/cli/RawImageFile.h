// Raw memory images on disk: byte i of the file is the byte at address start + i,
// no header. Reading takes the whole file or nothing; saving writes a temporary
// file beside the target and renames it over the target only once the whole image
// is written and flushed, so a failed save never leaves a half-written image.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace hc12::cli {

// false with a reason in *error when the file cannot be read completely.
bool ReadRawImage(const std::string& path, std::vector<uint8_t>* bytes, std::string* error);

// false with a reason in *error; the target is then untouched.
bool SaveRawImage(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error);

}  // namespace hc12::cli
