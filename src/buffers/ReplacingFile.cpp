#include "ReplacingFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace hc12 {

namespace fs = std::filesystem;

namespace {

// Linux gives up after 40 links as well.
constexpr int kMaxLinkHops = 40;

#ifdef _WIN32
bool Writable(const fs::path& path) {
    return _waccess(path.c_str(), 2) == 0;
}
int CreateExclusive(const fs::path& path) {
    return _wopen(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
}
long WriteSome(int fd, const uint8_t* data, size_t size) {
    return _write(fd, data, unsigned(size > 0x40000000 ? 0x40000000 : size));
}
int SyncFd(int fd) {
    return _commit(fd);
}
int CloseFd(int fd) {
    return _close(fd);
}
#else
bool Writable(const fs::path& path) {
    return ::access(path.c_str(), W_OK) == 0;
}
int CreateExclusive(const fs::path& path) {
    // 0666: the user's umask decides, as for any new file.
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
}
long WriteSome(int fd, const uint8_t* data, size_t size) {
    return long(::write(fd, data, size));
}
int SyncFd(int fd) {
    return ::fsync(fd);
}
int CloseFd(int fd) {
    return ::close(fd);
}
#endif

}  // namespace

bool ResolveSaveTarget(const fs::path& path, fs::path* target, std::string* error) {
    fs::path at = path;
    for (int hop = 0;; ++hop) {
        std::error_code ec;
        const fs::file_status st = fs::symlink_status(at, ec);
        switch (st.type()) {
            case fs::file_type::not_found:
            case fs::file_type::regular:
                *target = at;
                return true;
            case fs::file_type::symlink: {
                if (hop == kMaxLinkHops) {
                    *error = "too many levels of symbolic links";
                    return false;
                }
                const fs::path link = fs::read_symlink(at, ec);
                if (ec) {
                    *error = ec.message();
                    return false;
                }
                at = link.is_absolute() ? link : at.parent_path() / link;
                continue;
            }
            case fs::file_type::directory:
                *error = "is a directory";
                return false;
            case fs::file_type::none:
                *error = ec ? ec.message() : "cannot be examined";
                return false;
            default:
                *error = "not a regular file";
                return false;
        }
    }
}

bool ReplacingFile::Open(const fs::path& path, std::string* error) {
    Discard();
    fs::path target;
    if (!ResolveSaveTarget(path, &target, error))
        return false;
    std::error_code ec;
    const fs::file_status st = fs::status(target, ec);
    keepMode_ = !ec && st.type() == fs::file_type::regular;
    mode_ = st.permissions();
    // A file we may not write is not ours to replace, though its folder may let us.
    if (keepMode_ && !Writable(target)) {
        *error = std::strerror(errno);
        return false;
    }

    // A short name of its own, so that a name near the length limit still leaves
    // room for it.
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::random_device random;
    for (int attempt = 0; attempt < 32; ++attempt) {
        char name[32];
        std::snprintf(name, sizeof name, ".hc12-%08x", unsigned(random()));
        const fs::path temporary = folder / name;
        const int fd = CreateExclusive(temporary);
        if (fd >= 0) {
            fd_ = fd;
            target_ = target;
            temporary_ = temporary;
            return true;
        }
        if (errno != EEXIST) {
            *error = std::strerror(errno);
            return false;
        }
    }
    *error = "no free temporary name";
    return false;
}

bool ReplacingFile::Write(const std::vector<uint8_t>& bytes, std::string* error) {
    if (fd_ < 0) {
        *error = "not open";
        return false;
    }
    size_t done = 0;
    while (done < bytes.size()) {
        const long wrote = WriteSome(fd_, bytes.data() + done, bytes.size() - done);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0) {
            *error = wrote < 0 ? std::strerror(errno) : "nothing written";
            return false;
        }
        done += size_t(wrote);
    }
    return true;
}

bool ReplacingFile::Commit(std::string* error) {
    if (fd_ < 0) {
        *error = "not open";
        return false;
    }
    // On the disk before the rename makes it the file.
    bool ok = SyncFd(fd_) == 0;
    if (!ok)
        *error = std::strerror(errno);
#ifndef _WIN32
    if (ok && keepMode_ && ::fchmod(fd_, static_cast<mode_t>(mode_) & 07777) != 0) {
        *error = std::strerror(errno);
        ok = false;
    }
#endif
    if (CloseFd(fd_) != 0 && ok) {
        *error = std::strerror(errno);
        ok = false;
    }
    fd_ = -1;
    std::error_code ec;
#ifdef _WIN32
    if (ok && keepMode_)
        fs::permissions(temporary_, mode_, ec);
#endif
    if (ok) {
        // Whatever took the file's place meanwhile is not ours to replace.
        const fs::file_type now = fs::symlink_status(target_, ec).type();
        if (now != fs::file_type::regular && now != fs::file_type::not_found) {
            *error = "not a regular file";
            ok = false;
        }
    }
    if (ok) {
        fs::rename(temporary_, target_, ec);
        if (ec) {
            *error = ec.message();
            ok = false;
        }
    }
    if (!ok)
        fs::remove(temporary_, ec);
    temporary_.clear();
    return ok;
}

void ReplacingFile::Discard() {
    if (fd_ >= 0)
        CloseFd(fd_);
    fd_ = -1;
    if (!temporary_.empty()) {
        std::error_code ec;
        fs::remove(temporary_, ec);
        temporary_.clear();
    }
}

bool ReplaceFile(const fs::path& path, const std::vector<uint8_t>& bytes, std::string* error) {
    ReplacingFile file;
    return file.Open(path, error) && file.Write(bytes, error) && file.Commit(error);
}

}  // namespace hc12
