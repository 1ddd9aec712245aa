// A file to load an image from: regular files only. A FIFO, a device or a folder
// is refused before anything is read (and without waiting for a writer), and the
// size is known before the bytes are read, so the questions about a large file
// come before the memory is spent.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace hc12 {

class InputFile {
  public:
    InputFile() = default;
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    ~InputFile() { Close(); }

    // false with a reason in *error: missing, unreadable, or not a regular file
    // (symbolic links are followed).
    bool Open(const std::filesystem::path& path, std::string* error);
    // The length the file had when it was opened.
    uint64_t size() const { return size_; }
    // The whole file, at most `limit` bytes: a file that has grown past the limit
    // since it was opened is refused after reading limit + 1 bytes, never read to
    // its end. *bytes is untouched on failure.
    bool ReadAll(uint64_t limit, std::vector<uint8_t>* bytes, std::string* error);
    // The file a piece at a time, at most `limit` bytes in all (refused as ReadAll
    // does), until its end or until `piece` returns false. false with a reason when
    // the file could not be read.
    bool ReadPieces(uint64_t limit, const std::function<bool(const uint8_t*, size_t)>& piece,
                    std::string* error);
    void Close();

  private:
    int fd_ = -1;
    uint64_t size_ = 0;
};

// Open and ReadAll in one step, for files whose size decides nothing before reading.
bool ReadWholeFile(const std::filesystem::path& path, uint64_t limit, std::vector<uint8_t>* bytes,
                   std::string* error);

}  // namespace hc12
