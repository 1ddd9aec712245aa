#include "UnitLog.h"

namespace hc12::production {

std::unique_ptr<UnitLog> UnitLog::Open(const std::filesystem::path& path, std::string* error) {
    std::unique_ptr<UnitLog> log(new UnitLog());
    log->path_ = path;
    if (!log->file_.Open(path, /*create=*/true, nullptr, error)) {
        *error = path.string() + ": " + *error;
        return nullptr;
    }
    return log;
}

bool UnitLog::Append(const UnitRecord& record, std::string* error) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!file_.Lock(error)) {
        *error = path_.string() + ": " + *error;
        return false;
    }
    // Whoever finds the file empty under the lock writes the header, with its line.
    std::string text = CsvLine(UnitLogFields(record));
    if (file_.Size() == 0)
        text = CsvLine(UnitLogColumns()) + text;
    const bool ok = file_.Append(text, error);
    file_.Unlock();
    if (!ok)
        *error = path_.string() + ": " + *error;
    return ok;
}

}  // namespace hc12::production
