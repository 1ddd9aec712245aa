#include "Backup.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>

#include <fcntl.h>
#include <sys/stat.h>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "AddressedImage.h"
#include "ImageFile.h"
#include "SharedFile.h"

namespace hc12::production {

namespace fs = std::filesystem;

namespace {

// A new temporary file in the folder: its descriptor and name.
int CreateTemporary(const fs::path& folder, fs::path* name, std::string* error) {
    std::random_device random;
    for (int attempt = 0; attempt < 32; ++attempt) {
        char text[32];
        std::snprintf(text, sizeof text, ".hc12-%08x", unsigned(random()));
        const fs::path path = folder / text;
#ifdef _WIN32
        const int fd =
            _wopen(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
#else
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
#endif
        if (fd >= 0) {
            *name = path;
            return fd;
        }
        if (errno != EEXIST)
            break;
    }
    *error = std::strerror(errno);
    return -1;
}

bool WriteAndSync(int fd, const std::vector<uint8_t>& bytes, std::string* error) {
    size_t done = 0;
    bool ok = true;
    while (ok && done < bytes.size()) {
#ifdef _WIN32
        const int wrote = _write(fd, bytes.data() + done, unsigned(bytes.size() - done));
#else
        const ssize_t wrote = ::write(fd, bytes.data() + done, bytes.size() - done);
#endif
        if (wrote < 0 && errno == EINTR)
            continue;
        ok = wrote > 0;
        if (ok)
            done += size_t(wrote);
    }
#ifdef _WIN32
    ok = ok && _commit(fd) == 0;
    ok = (_close(fd) == 0) && ok;
#else
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
#endif
    if (!ok)
        *error = std::strerror(errno);
    return ok;
}

// Gives the temporary its name unless that name is taken. false with *taken when
// it is, with an error otherwise.
bool NameIt(const fs::path& temporary, const fs::path& name, bool* taken, std::string* error) {
    *taken = false;
#ifdef _WIN32
    if (MoveFileExW(temporary.c_str(), name.c_str(), MOVEFILE_WRITE_THROUGH))
        return true;
    *taken = GetLastError() == ERROR_ALREADY_EXISTS || GetLastError() == ERROR_FILE_EXISTS;
    *error = "cannot name the backup file";
    return false;
#else
    if (::link(temporary.c_str(), name.c_str()) == 0)
        return true;
    *taken = errno == EEXIST;
    *error = std::strerror(errno);
    return false;
#endif
}

}  // namespace

bool CheckBackupFolder(const fs::path& folder, std::string* error) {
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        *error = folder.string() + (fs::exists(folder, ec) ? ": not a folder" : ": no such folder");
        return false;
    }
    fs::path probe;
    const int fd = CreateTemporary(folder, &probe, error);
    if (fd < 0) {
        *error = folder.string() + ": " + *error;
        return false;
    }
#ifdef _WIN32
    _close(fd);
#else
    ::close(fd);
#endif
    fs::remove(probe, ec);
    return true;
}

bool SaveBackup(const fs::path& folder, const std::string& stem, uint32_t start,
                const std::vector<uint8_t>& bytes, fs::path* saved, std::string* error) {
    AddressedImage image;
    image.bytes.reserve(bytes.size());
    for (uint32_t i = 0; i < bytes.size(); ++i)
        image.bytes.push_back({start + i, bytes[i]});
    const std::string base = stem + "-" + UtcCompactTimestamp();

    fs::path temporary;
    const int fd = CreateTemporary(folder, &temporary, error);
    if (fd < 0) {
        *error = folder.string() + ": " + *error;
        return false;
    }
    // The S0 record names the file it was first saved as.
    if (!WriteAndSync(fd, EncodeAddressedImage(image, ImageFormat::SRecord, base + ".s19"),
                      error)) {
        std::error_code ec;
        fs::remove(temporary, ec);
        *error = temporary.string() + ": " + *error;
        return false;
    }
    bool named = false;
    for (int n = 1; n < 1000 && !named; ++n) {
        std::string name = base;
        if (n > 1)
            name += '-' + std::to_string(n);
        name += ".s19";
        bool taken = false;
        named = NameIt(temporary, folder / name, &taken, error);
        if (named)
            *saved = folder / name;
        else if (!taken)
            break;
    }
    std::error_code ec;
    fs::remove(temporary, ec);  // POSIX: the name made by link stays
    if (!named) {
        *error = folder.string() + ": " + *error;
        return false;
    }
    SyncFolder(folder);
    return true;
}

std::string SafeFileNamePart(const std::string& text) {
    std::string t = text;
    for (const char* prefix :
         {"/dev/serial/by-id/", "/dev/serial/by-path/", "/dev/", "rfc2217://", "\\\\.\\"}) {
        if (t.rfind(prefix, 0) == 0) {
            t.erase(0, std::strlen(prefix));
            break;
        }
    }
    std::string safe;
    for (unsigned char c : t) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                        (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' || c == '+';
        safe.push_back(ok ? char(c) : '_');
    }
    while (!safe.empty() && safe.front() == '.')
        safe.front() = '_';  // no hidden files
    return safe.empty() ? "port" : safe;
}

}  // namespace hc12::production
