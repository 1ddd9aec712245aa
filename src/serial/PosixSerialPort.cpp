// termios serial port. Exclusive through TIOCEXCL (other openers) and an advisory
// flock (also refuses a second open by root or by this very process). Line errors
// come from the driver's interrupt counters where the driver keeps them; a
// pseudo-terminal keeps none and has no modem lines, which is tolerated so that it
// still carries data.
#include "PosixSerialPort.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#ifdef __linux__
#include <linux/serial.h>
#endif

namespace hc12 {

namespace {

// The adapter is gone (USB unplugged, device removed).
bool DeviceGone(int err) {
    return err == EIO || err == ENXIO || err == ENODEV;
}

// What a terminal without modem lines or counters answers; not an error for us.
bool NotSupported(int err) {
    return err == ENOTTY || err == EINVAL;
}

class PosixSerialPort final : public SerialPort {
  public:
    explicit PosixSerialPort(int fd) : fd_(fd) {
        RequestLowLatency();
        ReadCounters(&lastCounters_);
    }

    ~PosixSerialPort() override {
        ioctl(fd_, TIOCNXCL);
        flock(fd_, LOCK_UN);
        close(fd_);
    }

    PosixSerialPort(const PosixSerialPort&) = delete;
    PosixSerialPort& operator=(const PosixSerialPort&) = delete;

    // 38400 8N1, raw, no flow control of either kind, DTR inactive.
    bool Configure(std::string* error) {
        termios tio{};
        if (tcgetattr(fd_, &tio) != 0) {
            Note(errno);
            if (error != nullptr) {
                *error = std::string("not a serial port: ") + std::strerror(errno);
            }
            return false;
        }
        cfmakeraw(&tio);
        tio.c_iflag &= ~tcflag_t(IXON | IXOFF | IXANY | INPCK | ISTRIP);
        tio.c_iflag |= IGNBRK;
        tio.c_cflag &= ~tcflag_t(CSIZE | PARENB | CSTOPB);
#ifdef CRTSCTS
        tio.c_cflag &= ~tcflag_t(CRTSCTS);
#endif
        tio.c_cflag |= CS8 | CLOCAL | CREAD;
        // Reads return at once with what is there; waiting is done with poll.
        tio.c_cc[VMIN] = 0;
        tio.c_cc[VTIME] = 0;
        cfsetispeed(&tio, B38400);
        cfsetospeed(&tio, B38400);
        if (tcsetattr(fd_, TCSANOW, &tio) != 0) {
            Note(errno);
            if (error != nullptr) {
                *error = std::string("cannot set the line: ") + std::strerror(errno);
            }
            return false;
        }
        ModemLine(TIOCMBIC, TIOCM_DTR);
        return true;
    }

    void ApplyLineSettings() override {
        Configure(nullptr);
    }

    void SetRts(bool active) override {
        ModemLine(active ? TIOCMBIS : TIOCMBIC, TIOCM_RTS);
    }

    bool Write(const uint8_t* data, size_t size) override {
        size_t done = 0;
        while (done < size) {
            const ssize_t n = write(fd_, data + done, size - done);
            if (n > 0) {
                done += size_t(n);
                continue;
            }
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                pollfd pfd{fd_, POLLOUT, 0};
                poll(&pfd, 1, 100);
                continue;
            }
            Note(errno);
            return false;
        }
        // Return only once the frame has left the PC: the reply time-out runs from then.
        while (tcdrain(fd_) != 0) {
            if (errno != EINTR) {
                Note(errno);
                return false;
            }
        }
        return true;
    }

    LineStatus ClearErrors() override {
        LineStatus status;
        int waiting = 0;
        if (ioctl(fd_, FIONREAD, &waiting) == 0) {
            status.bytesWaiting = waiting > 0 ? uint32_t(waiting) : 0;
        } else {
            Note(errno);
        }
        status.errors = pendingErrors_ | CounterErrors();
        pendingErrors_ = 0;
        return status;
    }

    size_t Read(uint8_t* dest, size_t maxSize) override {
        for (;;) {
            const ssize_t n = read(fd_, dest, maxSize);
            if (n >= 0) {
                return size_t(n);
            }
            if (errno == EINTR) {
                continue;
            }
            Note(errno);
            return 0;
        }
    }

    bool WaitForInput(uint32_t timeoutMs) override {
        pollfd pfd{fd_, POLLIN, 0};
        const int n = poll(&pfd, 1, int(timeoutMs));
        // A hang-up (adapter gone, other end of a pseudo-terminal closed) would make
        // every later poll return at once: report it as an I/O error instead.
        if (n > 0 && (pfd.revents & (POLLERR | POLLNVAL | POLLHUP)) != 0) {
            pendingErrors_ |= kCeIoe;
            hungUp_ = true;
        }
        // EINTR: the caller looks at the line again and keeps its own deadline.
        return n > 0 && (pfd.revents & POLLIN) != 0;
    }

    void Purge() override {
        if (tcflush(fd_, TCIOFLUSH) != 0) {
            Note(errno);
        }
    }

    // After a hang-up the terminal stays hung up for this descriptor; a look at the
    // line without waiting also finds one that nothing has touched since.
    bool HungUp() override {
        if (!hungUp_) {
            pollfd pfd{fd_, 0, 0};  // hang-up and error are reported without asking
            if (poll(&pfd, 1, 0) > 0 && (pfd.revents & (POLLERR | POLLNVAL | POLLHUP)) != 0) {
                hungUp_ = true;
            }
        }
        return hungUp_;
    }

  private:
    struct Counters {
        bool valid = false;
        unsigned frame = 0, parity = 0, overrun = 0, bufOverrun = 0, brk = 0;
    };

    // Remember a failure that means the adapter has gone; the next ClearErrors
    // reports it as an I/O error, and the port counts as hung up.
    void Note(int err) {
        if (DeviceGone(err)) {
            pendingErrors_ |= kCeIoe;
            hungUp_ = true;
        }
    }

    void ModemLine(unsigned long request, int bits) {
        if (ioctl(fd_, request, &bits) != 0 && !NotSupported(errno)) {
            Note(errno);
        }
    }

    void RequestLowLatency() {
#if defined(__linux__) && defined(TIOCGSERIAL) && defined(ASYNC_LOW_LATENCY)
        // Lower reply latency on UARTs and USB adapters that offer it; a refusal
        // changes nothing.
        serial_struct ss{};
        if (ioctl(fd_, TIOCGSERIAL, &ss) == 0) {
            ss.flags |= ASYNC_LOW_LATENCY;
            ioctl(fd_, TIOCSSERIAL, &ss);
        }
#endif
    }

    void ReadCounters(Counters* out) {
        out->valid = false;
#if defined(__linux__) && defined(TIOCGICOUNT)
        serial_icounter_struct ic{};
        if (ioctl(fd_, TIOCGICOUNT, &ic) == 0) {
            out->valid = true;
            out->frame = unsigned(ic.frame);
            out->parity = unsigned(ic.parity);
            out->overrun = unsigned(ic.overrun);
            out->bufOverrun = unsigned(ic.buf_overrun);
            out->brk = unsigned(ic.brk);
        } else if (!NotSupported(errno)) {
            Note(errno);
        }
#endif
    }

    // Error bits for whatever the counters gained since the last look.
    uint32_t CounterErrors() {
        Counters now;
        ReadCounters(&now);
        uint32_t errors = 0;
        if (now.valid && lastCounters_.valid) {
            if (now.frame != lastCounters_.frame)
                errors |= kCeFrame;
            if (now.parity != lastCounters_.parity)
                errors |= kCeRxParity;
            if (now.overrun != lastCounters_.overrun)
                errors |= kCeOverrun;
            if (now.bufOverrun != lastCounters_.bufOverrun)
                errors |= kCeRxOver;
            if (now.brk != lastCounters_.brk)
                errors |= kCeBreak;
        }
        if (now.valid) {
            lastCounters_ = now;
        }
        return errors;
    }

    int fd_;
    uint32_t pendingErrors_ = 0;
    bool hungUp_ = false;
    Counters lastCounters_;
};

}  // namespace

std::unique_ptr<SerialPort> OpenPosixSerialPort(const std::string& path, std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error != nullptr) {
            *error = path + ": " + why;
        }
        return std::unique_ptr<SerialPort>();
    };

    // Non-blocking so that a port waiting for carrier does not hang the open.
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return fail(std::strerror(errno));
    }
    if (!isatty(fd)) {
        close(fd);
        return fail("not a serial port");
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        close(fd);
        return fail(err == EWOULDBLOCK ? std::string("the port is in use")
                                       : std::string(std::strerror(err)));
    }
    if (ioctl(fd, TIOCEXCL) != 0 && !NotSupported(errno)) {
        const int err = errno;
        close(fd);
        return fail(std::strerror(err));
    }
    // From here on writes block until the driver has taken the bytes; reads still
    // return at once (VMIN = VTIME = 0).
    const int flags = fcntl(fd, F_GETFL);
    if (flags >= 0) {
        fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    }

    auto port = std::make_unique<PosixSerialPort>(fd);
    std::string why;
    if (!port->Configure(&why)) {
        return fail(why);  // the destructor closes the descriptor
    }
    return port;
}

}  // namespace hc12
