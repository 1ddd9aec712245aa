// S-record and Intel HEX files on disk, read and written through the same safe
// paths as raw images.
#pragma once

#include <filesystem>
#include <string>

#include "ImageFormat.h"

namespace hc12 {

// Far more text than the largest page needs (a 16-byte record per 44 characters).
inline constexpr uint64_t kMaxTextImageLength = 64ull << 20;

enum class ImageReadResult { Ok, Unreadable, BadRecord };

// Unreadable: *reason says why (missing, no regular file, too large, ...);
// BadRecord: *recordError names the line. *image is untouched unless Ok.
ImageReadResult ReadAddressedImage(const std::filesystem::path& path, ImageFormat format,
                                   AddressedImage* image, std::string* reason,
                                   ImageError* recordError);

// The text of a text format (S0 names the file); raw images are written elsewhere.
std::vector<uint8_t> EncodeAddressedImage(const AddressedImage& image, ImageFormat format,
                                          const std::string& fileName);

}  // namespace hc12
