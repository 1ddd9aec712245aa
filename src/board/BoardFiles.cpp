#include "BoardFiles.h"

#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace hc12::board {

namespace {

std::string SysError(const std::string& what, const std::string& path) {
    return what + " " + path + ": " + std::strerror(errno);
}

}  // namespace

bool LoadImage(const std::string& path, sim::VirtualBoard& board, std::string* error) {
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK);
    if (fd < 0) {
        *error = SysError("cannot open", path);
        return false;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        *error = path + " is not a regular file";
        return false;
    }
    if (uint64_t(st.st_size) > board.EepromSize()) {
        close(fd);
        *error = path + " is larger than the EEPROM of " + board.ModelName() + " (" +
                 std::to_string(board.EepromSize()) + " bytes)";
        return false;
    }
    std::vector<uint8_t> image(size_t(st.st_size));
    size_t done = 0;
    while (done < image.size()) {
        const ssize_t n = read(fd, image.data() + done, image.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += size_t(n);
    }
    close(fd);
    if (done != image.size()) {
        *error = SysError("cannot read", path);
        return false;
    }
    return board.LoadEepromImage(image);
}

bool CanWriteDump(const std::string& path, std::string* error) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
        if (errno == ENOENT)
            return true;
        *error = SysError("cannot use", path);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        *error = path + " exists and is not a regular file";
        return false;
    }
    return true;
}

bool WriteDump(const std::string& path, const std::vector<uint8_t>& image, std::string* error) {
    // Through a link, the file it names is replaced, not the link.
    std::string target = path;
    if (char* real = realpath(path.c_str(), nullptr)) {
        target = real;
        free(real);
    }
    const size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash);
    std::string temp = folder + "/.hc12b.XXXXXX";
    std::vector<char> name(temp.begin(), temp.end());
    name.push_back('\0');
    const int fd = mkstemp(name.data());
    if (fd < 0) {
        *error = SysError("cannot write the dump into", folder);
        return false;
    }
    temp = name.data();
    size_t done = 0;
    while (done < image.size()) {
        const ssize_t n = write(fd, image.data() + done, image.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += size_t(n);
    }
    const bool written = done == image.size() && fsync(fd) == 0;
    const int saved = errno;
    // The mode of the file replaced, or what a new file gets.
    struct stat old {};
    if (stat(target.c_str(), &old) == 0) {
        fchmod(fd, old.st_mode & 07777);
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        fchmod(fd, 0666 & ~mask);
    }
    close(fd);
    if (!written || rename(temp.c_str(), target.c_str()) != 0) {
        errno = written ? errno : saved;
        *error = SysError("cannot write the dump", path);
        unlink(temp.c_str());
        return false;
    }
    return true;
}

}  // namespace hc12::board
