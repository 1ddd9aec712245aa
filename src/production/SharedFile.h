// Files that several runs on one machine append to at the same time (the serial
// number ledger, the unit log): each entry is read and appended under an exclusive
// lock that holds across processes, is written with one call, and is on the disk
// before the caller goes on. And who a run is, so that a later run can tell whether
// the run that left an entry is still alive.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace hc12::production {

class SharedAppendFile {
  public:
    SharedAppendFile() = default;
    ~SharedAppendFile();
    SharedAppendFile(const SharedAppendFile&) = delete;
    SharedAppendFile& operator=(const SharedAppendFile&) = delete;

    // Opens an existing file, or creates it when `create` (then *created says
    // whether this call made it). Only regular files are taken.
    bool Open(const std::filesystem::path& path, bool create, bool* created, std::string* error);
    bool IsOpen() const { return fd_ >= 0; }

    // The lock every reader and appender holds while it works: blocks until other
    // processes let go. Threads of one process take turns by their own means.
    bool Lock(std::string* error);
    void Unlock();

    uint64_t Size() const;
    // The bytes from `offset` to the end.
    bool ReadFrom(uint64_t offset, std::string* text, std::string* error) const;
    // Appends `text` with one write and waits until it is on the disk.
    bool Append(const std::string& text, std::string* error);

  private:
    int fd_ = -1;
    std::filesystem::path path_;
};

// Makes a new name in `folder` itself durable (the file's own sync does not).
void SyncFolder(const std::filesystem::path& folder);

// This run: host name, process id and the process's start (so a reused process id
// is not taken for the run that left an entry).
struct RunIdentity {
    std::string host;
    int64_t pid = 0;
    uint64_t started = 0;  // system specific; 0 when unknown
};
RunIdentity ThisRun();
// false only when the run is known to have ended (on this host).
bool RunMayBeAlive(const RunIdentity& run);

// "2026-12-11T13:46:14Z"
std::string UtcTimestamp();
// "20261211T134614Z", for file names.
std::string UtcCompactTimestamp();

}  // namespace hc12::production
