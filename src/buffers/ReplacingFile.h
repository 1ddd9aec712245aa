// Saving an image without ever leaving a half-written one: the bytes go to a
// temporary file beside the file being replaced, which takes its place only once
// they are all written and on the disk. A symbolic link is written through: the
// file it leads to is replaced (its permissions kept) and the link stays a link.
// Anything else that is not a regular file (a FIFO, a device, a folder) is never
// replaced.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace hc12 {

// The file a save of `path` replaces or creates: `path` itself, or the end of its
// chain of symbolic links. false with a reason when that exists and is not a
// regular file.
bool ResolveSaveTarget(const std::filesystem::path& path, std::filesystem::path* target,
                       std::string* error);

class ReplacingFile {
  public:
    ReplacingFile() = default;
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;
    ~ReplacingFile() { Discard(); }

    // Finds the file to replace and creates the temporary beside it. false with a
    // reason: nothing was created.
    bool Open(const std::filesystem::path& path, std::string* error);
    bool Write(const std::vector<uint8_t>& bytes, std::string* error);
    // Puts the written bytes in the file's place. false with a reason: the
    // temporary is gone and the old file is as it was.
    bool Commit(std::string* error);
    // Removes the temporary; the old file stays.
    void Discard();

  private:
    int fd_ = -1;
    std::filesystem::path target_, temporary_;
    bool keepMode_ = false;
    std::filesystem::perms mode_ = std::filesystem::perms::none;
};

// Open, Write and Commit in one step.
bool ReplaceFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes,
                 std::string* error);

}  // namespace hc12
