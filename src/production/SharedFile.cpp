#include "SharedFile.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>

#ifdef _WIN32
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace hc12::production {

namespace fs = std::filesystem;

SharedAppendFile::~SharedAppendFile() {
    if (fd_ >= 0) {
#ifdef _WIN32
        _close(fd_);
#else
        ::close(fd_);
#endif
    }
}

bool SharedAppendFile::Open(const fs::path& path, bool create, bool* created, std::string* error) {
    if (created != nullptr)
        *created = false;
    std::error_code ec;
    const fs::file_status st = fs::status(path, ec);
    if (st.type() != fs::file_type::not_found && st.type() != fs::file_type::regular) {
        *error = st.type() == fs::file_type::directory ? "is a directory" : "not a regular file";
        return false;
    }
    for (int attempt = 0; attempt < 2 && fd_ < 0; ++attempt) {
#ifdef _WIN32
        fd_ = _wopen(path.c_str(), _O_RDWR | _O_APPEND | _O_BINARY);
        if (fd_ < 0 && errno == ENOENT && create) {
            fd_ = _wopen(path.c_str(), _O_RDWR | _O_APPEND | _O_BINARY | _O_CREAT | _O_EXCL,
                         _S_IREAD | _S_IWRITE);
#else
        fd_ = ::open(path.c_str(), O_RDWR | O_APPEND | O_CLOEXEC | O_NOCTTY);
        if (fd_ < 0 && errno == ENOENT && create) {
            fd_ = ::open(path.c_str(), O_RDWR | O_APPEND | O_CLOEXEC | O_NOCTTY | O_CREAT | O_EXCL,
                         0666);
#endif
            if (fd_ >= 0) {
                if (created != nullptr)
                    *created = true;
                SyncFolder(path.has_parent_path() ? path.parent_path() : fs::path("."));
            } else if (errno == EEXIST) {
                continue;  // another run made it just now: open that one
            }
        }
        if (fd_ < 0) {
            *error = std::strerror(errno);
            return false;
        }
    }
    path_ = path;
    return fd_ >= 0;
}

bool SharedAppendFile::Lock(std::string* error) {
#ifdef _WIN32
    OVERLAPPED whole{};
    const HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(fd_));
    if (!LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole)) {
        *error = "cannot lock the file";
        return false;
    }
    return true;
#else
    while (::flock(fd_, LOCK_EX) != 0) {
        if (errno != EINTR) {
            *error = std::strerror(errno);
            return false;
        }
    }
    return true;
#endif
}

void SharedAppendFile::Unlock() {
#ifdef _WIN32
    OVERLAPPED whole{};
    UnlockFileEx(reinterpret_cast<HANDLE>(_get_osfhandle(fd_)), 0, MAXDWORD, MAXDWORD, &whole);
#else
    ::flock(fd_, LOCK_UN);
#endif
}

uint64_t SharedAppendFile::Size() const {
#ifdef _WIN32
    struct _stat64 st {};
    return _fstat64(fd_, &st) == 0 ? uint64_t(st.st_size) : 0;
#else
    struct stat st {};
    return ::fstat(fd_, &st) == 0 ? uint64_t(st.st_size) : 0;
#endif
}

bool SharedAppendFile::ReadFrom(uint64_t offset, std::string* text, std::string* error) const {
    text->clear();
    const uint64_t size = Size();
    if (offset >= size)
        return true;
    text->resize(size_t(size - offset));
    size_t done = 0;
    while (done < text->size()) {
#ifdef _WIN32
        if (_lseeki64(fd_, int64_t(offset + done), SEEK_SET) < 0) {
            *error = std::strerror(errno);
            return false;
        }
        const int got = _read(fd_, text->data() + done, unsigned(text->size() - done));
#else
        const ssize_t got =
            ::pread(fd_, text->data() + done, text->size() - done, off_t(offset + done));
#endif
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            *error = got < 0 ? std::strerror(errno) : "the file got shorter while it was read";
            return false;
        }
        done += size_t(got);
    }
    return true;
}

bool SharedAppendFile::Append(const std::string& text, std::string* error) {
    // One call: with O_APPEND it lands whole at the end, even beside a writer that
    // does not lock.
#ifdef _WIN32
    const int wrote = _write(fd_, text.data(), unsigned(text.size()));
#else
    ssize_t wrote;
    do
        wrote = ::write(fd_, text.data(), text.size());
    while (wrote < 0 && errno == EINTR);
#endif
    if (wrote < 0 || size_t(wrote) != text.size()) {
        *error = wrote < 0 ? std::strerror(errno) : "the disk took only part of the entry";
        return false;
    }
#ifdef _WIN32
    const bool synced = _commit(fd_) == 0;
#else
    const bool synced = ::fsync(fd_) == 0;
#endif
    if (!synced) {
        *error = std::strerror(errno);
        return false;
    }
    return true;
}

void SyncFolder(const fs::path& folder) {
#ifndef _WIN32
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
#else
    (void)folder;  // NTFS journals the name with the file
#endif
}

namespace {

std::string HostName() {
#ifdef _WIN32
    char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = sizeof name;
    if (GetComputerNameA(name, &size))
        return std::string(name, size);
    return "unknown";
#else
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) == 0 && name[0] != '\0')
        return name;
    return "unknown";
#endif
}

uint64_t ProcessStart(int64_t pid) {
#ifdef _WIN32
    const HANDLE h = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, DWORD(pid));
    if (h == nullptr)
        return 0;
    FILETIME created{}, exited{}, kernel{}, user{};
    uint64_t start = 0;
    if (GetProcessTimes(h, &created, &exited, &kernel, &user))
        start = (uint64_t(created.dwHighDateTime) << 32) | created.dwLowDateTime;
    CloseHandle(h);
    return start;
#else
    // Field 22 of /proc/PID/stat, counted after the command name's closing bracket.
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(in, line))
        return 0;
    const size_t close = line.rfind(')');
    if (close == std::string::npos)
        return 0;
    std::istringstream fields(line.substr(close + 1));
    std::string field;
    for (int i = 3; i <= 22; ++i)
        if (!(fields >> field))
            return 0;
    return std::strtoull(field.c_str(), nullptr, 10);
#endif
}

}  // namespace

RunIdentity ThisRun() {
    RunIdentity run;
    run.host = HostName();
#ifdef _WIN32
    run.pid = int64_t(_getpid());
#else
    run.pid = int64_t(::getpid());
#endif
    run.started = ProcessStart(run.pid);
    return run;
}

bool RunMayBeAlive(const RunIdentity& run) {
    if (run.host != HostName() || run.pid <= 0)
        return true;  // another machine's run: nothing here can tell
#ifdef _WIN32
    const HANDLE h = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, DWORD(run.pid));
    if (h == nullptr)
        return GetLastError() == ERROR_ACCESS_DENIED;
    DWORD code = 0;
    const bool running = GetExitCodeProcess(h, &code) && code == STILL_ACTIVE;
    CloseHandle(h);
    if (!running)
        return false;
#else
    if (::kill(pid_t(run.pid), 0) != 0 && errno == ESRCH)
        return false;
#endif
    // The id is in use: by that run, unless its start differs (the id was reused).
    const uint64_t started = ProcessStart(run.pid);
    return run.started == 0 || started == 0 || started == run.started;
}

namespace {

std::tm UtcNow() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
#ifdef _WIN32
    gmtime_s(&utc, &now);
#else
    gmtime_r(&now, &utc);
#endif
    return utc;
}

}  // namespace

std::string UtcTimestamp() {
    const std::tm utc = UtcNow();
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

std::string UtcCompactTimestamp() {
    const std::tm utc = UtcNow();
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", &utc);
    return text;
}

}  // namespace hc12::production
