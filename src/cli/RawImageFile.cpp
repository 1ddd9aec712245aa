#include "RawImageFile.h"

#include "FileTexts.h"
#include "InputFile.h"
#include "ReplacingFile.h"

namespace hc12::cli {

bool ReadRawImage(const std::string& path, std::vector<uint8_t>* bytes, std::string* error) {
    return ReadWholeFile(path, kMaxFileLength, bytes, error);
}

bool SaveRawImage(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error) {
    return ReplaceFile(path, bytes, error);
}

}  // namespace hc12::cli
