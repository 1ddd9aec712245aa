// The unit log: one CSV line per unit and run, appended by every run on the
// machine (and every thread of a gang run) to one file. The header goes first when
// the file is new; every line is written whole under the file's lock, and is on
// the disk before Append returns.
#pragma once

#include <filesystem>
#include <memory>
#include <mutex>
#include <string>

#include "SharedFile.h"
#include "UnitRecord.h"

namespace hc12::production {

class UnitLog {
  public:
    // Opens the log for appending, creating it when missing; nullptr with a
    // one-line error when it cannot be.
    static std::unique_ptr<UnitLog> Open(const std::filesystem::path& path, std::string* error);

    bool Append(const UnitRecord& record, std::string* error);

  private:
    UnitLog() = default;
    std::mutex mutex_;
    SharedAppendFile file_;
    std::filesystem::path path_;
};

}  // namespace hc12::production
