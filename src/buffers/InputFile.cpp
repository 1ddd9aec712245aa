#include "InputFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace hc12 {

namespace {

#ifdef _WIN32
using Stat = struct _stat64;
int StatPath(const std::filesystem::path& path, Stat* st) {
    return _wstat64(path.c_str(), st);
}
int StatFd(int fd, Stat* st) {
    return _fstat64(fd, st);
}
int OpenForReading(const std::filesystem::path& path) {
    return _wopen(path.c_str(), _O_RDONLY | _O_BINARY);
}
long ReadSome(int fd, uint8_t* data, size_t size) {
    return _read(fd, data, unsigned(size > 0x40000000 ? 0x40000000 : size));
}
int CloseFd(int fd) {
    return _close(fd);
}
#else
using Stat = struct stat;
int StatPath(const std::filesystem::path& path, Stat* st) {
    return ::stat(path.c_str(), st);
}
int StatFd(int fd, Stat* st) {
    return ::fstat(fd, st);
}
int OpenForReading(const std::filesystem::path& path) {
    // Non-blocking, so a FIFO without a writer cannot hold the open; no
    // controlling terminal from a tty that slips past the check before.
    return ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
}
long ReadSome(int fd, uint8_t* data, size_t size) {
    return long(::read(fd, data, size));
}
int CloseFd(int fd) {
    return ::close(fd);
}
#endif

// Only a regular file has a length that means something and an end that comes.
bool Regular(const Stat& st, std::string* error) {
    if ((st.st_mode & S_IFMT) == S_IFDIR) {
        *error = "is a directory";
        return false;
    }
    if ((st.st_mode & S_IFMT) != S_IFREG) {
        *error = "not a regular file";
        return false;
    }
    return true;
}

}  // namespace

bool InputFile::Open(const std::filesystem::path& path, std::string* error) {
    Close();
    // The type first, so that a FIFO or a device is not even opened.
    Stat st{};
    if (StatPath(path, &st) != 0) {
        *error = std::strerror(errno);
        return false;
    }
    if (!Regular(st, error))
        return false;
    const int fd = OpenForReading(path);
    if (fd < 0) {
        *error = std::strerror(errno);
        return false;
    }
    // Again on what was opened: the path may have changed in between.
    if (StatFd(fd, &st) != 0) {
        *error = std::strerror(errno);
        CloseFd(fd);
        return false;
    }
    if (!Regular(st, error)) {
        CloseFd(fd);
        return false;
    }
#ifndef _WIN32
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
#endif
    fd_ = fd;
    size_ = st.st_size > 0 ? uint64_t(st.st_size) : 0;
    return true;
}

bool InputFile::ReadAll(uint64_t limit, std::vector<uint8_t>* bytes, std::string* error) {
    if (fd_ < 0) {
        *error = "not open";
        return false;
    }
    if (size_ > limit) {
        *error = "too large (" + std::to_string(size_) + " bytes, at most " +
                 std::to_string(limit) + ")";
        return false;
    }
    // The measured size, plus room to notice a file that has grown since.
    std::vector<uint8_t> data(size_t(size_) + 1);
    size_t done = 0;
    for (;;) {
        if (done == data.size()) {
            if (data.size() > limit) {
                *error = "too large (it grew past " + std::to_string(limit) + " bytes)";
                return false;
            }
            data.resize(size_t(std::min<uint64_t>(limit + 1, uint64_t(data.size()) * 2)));
        }
        const long got = ReadSome(fd_, data.data() + done, data.size() - done);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            *error = std::strerror(errno);
            return false;
        }
        if (got == 0)
            break;
        done += size_t(got);
    }
    data.resize(done);
    *bytes = std::move(data);
    return true;
}

bool InputFile::ReadPieces(uint64_t limit, const std::function<bool(const uint8_t*, size_t)>& piece,
                           std::string* error) {
    if (fd_ < 0) {
        *error = "not open";
        return false;
    }
    if (size_ > limit) {
        *error = "too large (" + std::to_string(size_) + " bytes, at most " +
                 std::to_string(limit) + ")";
        return false;
    }
    std::vector<uint8_t> buffer(size_t(1) << 20);
    uint64_t done = 0;
    for (;;) {
        const long got = ReadSome(fd_, buffer.data(), buffer.size());
        if (got < 0) {
            if (errno == EINTR)
                continue;
            *error = std::strerror(errno);
            return false;
        }
        if (got == 0)
            return true;
        done += uint64_t(got);
        if (done > limit) {
            *error = "too large (it grew past " + std::to_string(limit) + " bytes)";
            return false;
        }
        if (!piece(buffer.data(), size_t(got)))
            return true;
    }
}

void InputFile::Close() {
    if (fd_ >= 0)
        CloseFd(fd_);
    fd_ = -1;
    size_ = 0;
}

bool ReadWholeFile(const std::filesystem::path& path, uint64_t limit, std::vector<uint8_t>* bytes,
                   std::string* error) {
    InputFile file;
    return file.Open(path, error) && file.ReadAll(limit, bytes, error);
}

}  // namespace hc12
