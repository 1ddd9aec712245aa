#include "PtyLine.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace hc12::board {

bool PtyLine::Open(std::string* error) {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
        *error = std::string("cannot open a pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    const char* name = ptsname(master_);
    int packet = 1;
    if (name == nullptr || ioctl(master_, TIOCPKT, &packet) != 0) {
        *error = std::string("cannot set up the pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    slavePath_ = name;
    // Raw from the start: a terminal's echo would send the program's frames back
    // to it before it has set the line up.
    const int slave = open(name, O_RDWR | O_NOCTTY);
    if (slave >= 0) {
        termios tio{};
        if (tcgetattr(slave, &tio) == 0) {
            cfmakeraw(&tio);
            cfsetispeed(&tio, B38400);
            cfsetospeed(&tio, B38400);
            tcsetattr(slave, TCSANOW, &tio);
        }
        close(slave);
    }
    return true;
}

PtyLine::~PtyLine() {
    if (master_ >= 0)
        close(master_);
}

PtyLine::Input PtyLine::Read(uint8_t* dest, size_t maxSize) {
    Input in;
    std::vector<uint8_t> packet(maxSize + 1);
    const ssize_t n = read(master_, packet.data(), packet.size());
    if (n < 0) {
        // EIO: the slave is closed (between two runs of the program).
        in.closed = errno == EIO;
        return in;
    }
    if (n == 0)
        return in;
    if (packet[0] == TIOCPKT_DATA) {
        in.size = size_t(n - 1);
        std::memcpy(dest, packet.data() + 1, in.size);
    } else {
        in.purged = (packet[0] & TIOCPKT_FLUSHREAD) != 0;
    }
    return in;
}

void PtyLine::Write(const uint8_t* data, size_t size) {
    while (size > 0) {
        const ssize_t n = write(master_, data, size);
        if (n <= 0) {
            if (n < 0 && errno == EINTR)
                continue;
            return;
        }
        data += n;
        size -= size_t(n);
    }
}

}  // namespace hc12::board
