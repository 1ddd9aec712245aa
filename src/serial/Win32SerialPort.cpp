// Win32 serial port. The handle is overlapped only so that every wait has a bound:
// each call is started and then awaited for at most a fixed time, after which it is
// cancelled. A device that stops answering (an adapter pulled out, a driver that
// never reports the transmitter empty) then costs a time-out, never a hang.
//
// Waiting for input: WaitForInput reads one byte with ReadFile under read time-outs
// that make the driver return as soon as a byte arrives or the time-out passes
// (ReadIntervalTimeout = ReadTotalTimeoutMultiplier = MAXDWORD, constant = the wait).
// The byte is held by the port and handed out first by the next Read; ClearErrors
// counts it among the bytes waiting. Plain reads switch the time-outs to "return at
// once with what is there".
#include "Win32SerialPort.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstring>

namespace hc12 {

namespace {

// A frame's bytes go to the driver within this time (plus a millisecond a byte)...
constexpr DWORD kWriteTimeoutMs = 500;
// ... and leave the PC within this one after that.
constexpr DWORD kDrainBoundMs = 200;
// Beyond a read's own time-out, before the read is given up.
constexpr DWORD kReadSlackMs = 200;

class Win32SerialPort final : public SerialPort {
  public:
    explicit Win32SerialPort(HANDLE handle)
        : handle_(handle), event_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

    ~Win32SerialPort() override {
        CancelIo(handle_);
        CloseHandle(handle_);
        if (event_ != nullptr)
            CloseHandle(event_);
    }

    Win32SerialPort(const Win32SerialPort&) = delete;
    Win32SerialPort& operator=(const Win32SerialPort&) = delete;

    // Queues of 1024 bytes, 38400 8N1, DTR held inactive, and every field that could
    // hold data back set explicitly: no CTS, DSR or XON/XOFF flow control, DSR
    // sensitivity off, no abort on errors (line errors are read with ClearCommError).
    // A driver's defaults, or what another program left, must not stop the frames.
    // RTS keeps the state the program drives. Then EV_TXEMPTY becomes the only
    // awaited event, which Write uses to wait until a frame has left the PC. Results
    // are not checked: a failure shows through the time-out of the next exchange.
    void ApplyLineSettings() override {
        SetupComm(handle_, 1024, 1024);
        const bool rtsActive = dcb_.DCBlength != 0 && dcb_.fRtsControl == RTS_CONTROL_ENABLE;
        dcb_ = DCB{};
        dcb_.DCBlength = sizeof(DCB);
        GetCommState(handle_, &dcb_);
        dcb_.BaudRate = CBR_38400;
        dcb_.ByteSize = 8;
        dcb_.Parity = NOPARITY;
        dcb_.StopBits = ONESTOPBIT;
        dcb_.fBinary = TRUE;
        dcb_.fParity = FALSE;
        dcb_.fOutxCtsFlow = FALSE;
        dcb_.fOutxDsrFlow = FALSE;
        dcb_.fDtrControl = DTR_CONTROL_DISABLE;
        dcb_.fDsrSensitivity = FALSE;
        dcb_.fTXContinueOnXoff = TRUE;
        dcb_.fOutX = FALSE;
        dcb_.fInX = FALSE;
        dcb_.fErrorChar = FALSE;
        dcb_.fNull = FALSE;
        dcb_.fRtsControl = rtsActive ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
        dcb_.fAbortOnError = FALSE;
        SetCommState(handle_, &dcb_);
        DWORD mask = 0;
        GetCommMask(handle_, &mask);
        SetCommMask(handle_, EV_TXEMPTY);
        timeoutMode_ = TimeoutMode::Unknown;
    }

    // RTS is driven through the device control block last applied, as a whole.
    void SetRts(bool active) override {
        dcb_.fRtsControl = active ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
        SetCommState(handle_, &dcb_);
    }

    bool Write(const uint8_t* data, size_t size) override {
        if (timeoutMode_ == TimeoutMode::Unknown)
            SetTimeoutMode(TimeoutMode::Immediate, 0);
        OVERLAPPED ov = NewOverlapped();
        DWORD written = 0;
        const BOOL started = WriteFile(handle_, data, DWORD(size), nullptr, &ov);
        if (!Finish(started, ov, &written, kWriteTimeoutMs + DWORD(size) + kDrainBoundMs)) {
            return false;  // no wait: the missing reply will time out
        }
        OVERLAPPED wait = NewOverlapped();
        DWORD event = 0, unused = 0;
        Finish(WaitCommEvent(handle_, &event, &wait), wait, &unused, kDrainBoundMs);
        return written == DWORD(size);
    }

    LineStatus ClearErrors() override {
        DWORD errors = 0;
        COMSTAT stat{};
        LineStatus status;
        if (ClearCommError(handle_, &errors, &stat)) {
            status.bytesWaiting = uint32_t(stat.cbInQue);
        } else if (NoteDeviceGone()) {
            errors |= CE_IOE;
        }
        status.errors = MapErrors(errors);
        if (holding_) {
            ++status.bytesWaiting;
        }
        return status;
    }

    size_t Read(uint8_t* dest, size_t maxSize) override {
        if (maxSize == 0) {
            return 0;
        }
        size_t count = 0;
        if (holding_) {
            dest[count++] = held_;
            holding_ = false;
        }
        if (count < maxSize) {
            SetTimeoutMode(TimeoutMode::Immediate, 0);
            OVERLAPPED ov = NewOverlapped();
            DWORD got = 0;
            const BOOL started =
                ReadFile(handle_, dest + count, DWORD(maxSize - count), nullptr, &ov);
            if (Finish(started, ov, &got, kReadSlackMs)) {
                count += got;
            }
        }
        return count;
    }

    bool WaitForInput(uint32_t timeoutMs) override {
        if (holding_) {
            return true;
        }
        if (timeoutMs == 0) {
            return false;
        }
        SetTimeoutMode(TimeoutMode::WaitForByte, timeoutMs);
        OVERLAPPED ov = NewOverlapped();
        DWORD got = 0;
        const BOOL started = ReadFile(handle_, &held_, 1, nullptr, &ov);
        if (Finish(started, ov, &got, timeoutMs + kReadSlackMs) && got == 1) {
            holding_ = true;
        }
        return holding_;
    }

    void Purge() override {
        holding_ = false;
        PurgeComm(handle_, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
    }

    // Once the device is gone (a USB adapter pulled out), this handle never works
    // again: the link drops it, and the port is opened afresh on its next choice.
    bool HungUp() override { return gone_; }

  private:
    enum class TimeoutMode { Unknown, Immediate, WaitForByte };

    OVERLAPPED NewOverlapped() {
        OVERLAPPED ov{};
        ov.hEvent = event_;
        ResetEvent(event_);
        return ov;
    }

    // Completes an overlapped call that `started` began, waiting at most boundMs;
    // a call still running then is cancelled. true when it succeeded.
    bool Finish(BOOL started, OVERLAPPED& ov, DWORD* transferred, DWORD boundMs) {
        if (!started) {
            if (GetLastError() != ERROR_IO_PENDING) {
                NoteDeviceGone();
                return false;
            }
            if (WaitForSingleObject(ov.hEvent, boundMs) != WAIT_OBJECT_0) {
                CancelIo(handle_);
                GetOverlappedResult(handle_, &ov, transferred, TRUE);  // the cancel ends it
                return false;
            }
        }
        if (GetOverlappedResult(handle_, &ov, transferred, FALSE) != 0)
            return true;
        NoteDeviceGone();
        return false;
    }

    void SetTimeoutMode(TimeoutMode mode, uint32_t timeoutMs) {
        if (mode == timeoutMode_ && (mode != TimeoutMode::WaitForByte || timeoutMs == waitMs_)) {
            return;
        }
        COMMTIMEOUTS timeouts{};
        // Writes are bounded in every mode.
        timeouts.WriteTotalTimeoutMultiplier = 1;
        timeouts.WriteTotalTimeoutConstant = kWriteTimeoutMs;
        if (mode == TimeoutMode::Immediate) {
            timeouts.ReadIntervalTimeout = MAXDWORD;
        } else {
            timeouts.ReadIntervalTimeout = MAXDWORD;
            timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
            timeouts.ReadTotalTimeoutConstant = DWORD(timeoutMs);
        }
        SetCommTimeouts(handle_, &timeouts);
        timeoutMode_ = mode;
        waitMs_ = timeoutMs;
    }

    // How calls fail once a USB adapter has been pulled out (and under Wine, once
    // the tty behind the port has hung up: a broken pipe); remembered for HungUp.
    bool NoteDeviceGone() {
        const DWORD err = GetLastError();
        if (err == ERROR_BAD_COMMAND || err == ERROR_ACCESS_DENIED ||
            err == ERROR_DEVICE_NOT_CONNECTED || err == ERROR_GEN_FAILURE ||
            err == ERROR_BROKEN_PIPE)
            gone_ = true;
        return gone_;
    }

    static uint32_t MapErrors(DWORD errors) {
        uint32_t out = 0;
        if (errors & CE_RXOVER)
            out |= kCeRxOver;
        if (errors & CE_OVERRUN)
            out |= kCeOverrun;
        if (errors & CE_RXPARITY)
            out |= kCeRxParity;
        if (errors & CE_FRAME)
            out |= kCeFrame;
        if (errors & CE_BREAK)
            out |= kCeBreak;
        if (errors & CE_TXFULL)
            out |= kCeTxFull;
        if (errors & CE_IOE)
            out |= kCeIoe;
        return out;
    }

    HANDLE handle_;
    HANDLE event_;
    DCB dcb_{};
    TimeoutMode timeoutMode_ = TimeoutMode::Unknown;
    uint32_t waitMs_ = 0;
    bool holding_ = false;
    uint8_t held_ = 0;
    bool gone_ = false;
};

std::string DeviceName(const std::string& name) {
    // "\\.\COMn" reaches every port, also COM10 and above, which the short form
    // cannot name.
    if (name.rfind("\\\\.\\", 0) == 0) {
        return name;
    }
    return "\\\\.\\" + name;
}

std::string LastErrorText() {
    const DWORD err = GetLastError();
    char buffer[256] = {};
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, err, 0, buffer, sizeof buffer, nullptr);
    std::string text(buffer, n);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
        text.pop_back();
    }
    return text.empty() ? "error " + std::to_string(err) : text;
}

}  // namespace

std::unique_ptr<SerialPort> OpenWin32SerialPort(const std::string& name, std::string* error) {
    const HANDLE handle =
        CreateFileA(DeviceName(name).c_str(), GENERIC_READ | GENERIC_WRITE, 0 /* not shared */,
                    nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        if (error != nullptr) {
            *error = name + ": " + LastErrorText();
        }
        return nullptr;
    }
    auto port = std::make_unique<Win32SerialPort>(handle);
    port->ApplyLineSettings();
    return port;
}

}  // namespace hc12
