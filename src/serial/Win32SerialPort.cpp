// Win32 serial port, synchronous (not overlapped) like the rest of the program.
//
// Waiting for input: a non-overlapped handle cannot wait for EV_RXCHAR with a
// time-out, and a Sleep(1) loop costs up to a scheduler tick (~15 ms) per reply.
// So WaitForInput reads one byte with ReadFile under read time-outs that make the
// driver return as soon as a byte arrives or the time-out passes
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

class Win32SerialPort final : public SerialPort {
  public:
    explicit Win32SerialPort(HANDLE handle) : handle_(handle) {}

    ~Win32SerialPort() override { CloseHandle(handle_); }

    Win32SerialPort(const Win32SerialPort&) = delete;
    Win32SerialPort& operator=(const Win32SerialPort&) = delete;

    // Queues of 1024 bytes, 38400 8N1, DTR held inactive; every other field of the
    // device control block (RTS control, flow control) keeps the driver's value.
    // Then EV_TXEMPTY becomes the only awaited event, which Write uses to wait until
    // a frame has left the PC. Results are not checked: a failure shows through the
    // time-out of the next exchange.
    void ApplyLineSettings() override {
        SetupComm(handle_, 1024, 1024);
        dcb_ = DCB{};
        dcb_.DCBlength = sizeof(DCB);
        GetCommState(handle_, &dcb_);
        dcb_.fDtrControl = DTR_CONTROL_DISABLE;
        dcb_.BaudRate = CBR_38400;
        dcb_.Parity = NOPARITY;
        dcb_.ByteSize = 8;
        dcb_.StopBits = ONESTOPBIT;
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
        DWORD written = 0;
        if (!WriteFile(handle_, data, DWORD(size), &written, nullptr)) {
            return false;  // no wait: the missing reply will time out
        }
        DWORD event = 0;
        WaitCommEvent(handle_, &event, nullptr);
        return written == DWORD(size);
    }

    LineStatus ClearErrors() override {
        DWORD errors = 0;
        COMSTAT stat{};
        LineStatus status;
        if (ClearCommError(handle_, &errors, &stat)) {
            status.bytesWaiting = uint32_t(stat.cbInQue);
        } else if (DeviceGone()) {
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
            DWORD got = 0;
            if (ReadFile(handle_, dest + count, DWORD(maxSize - count), &got, nullptr)) {
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
        DWORD got = 0;
        if (ReadFile(handle_, &held_, 1, &got, nullptr) && got == 1) {
            holding_ = true;
        }
        return holding_;
    }

    void Purge() override {
        holding_ = false;
        PurgeComm(handle_, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
    }

  private:
    enum class TimeoutMode { Unknown, Immediate, WaitForByte };

    void SetTimeoutMode(TimeoutMode mode, uint32_t timeoutMs) {
        if (mode == timeoutMode_ && (mode != TimeoutMode::WaitForByte || timeoutMs == waitMs_)) {
            return;
        }
        COMMTIMEOUTS timeouts{};
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

    // How ClearCommError fails once a USB adapter has been pulled out.
    static bool DeviceGone() {
        const DWORD err = GetLastError();
        return err == ERROR_BAD_COMMAND || err == ERROR_ACCESS_DENIED ||
               err == ERROR_DEVICE_NOT_CONNECTED || err == ERROR_GEN_FAILURE;
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
    DCB dcb_{};
    TimeoutMode timeoutMode_ = TimeoutMode::Unknown;
    uint32_t waitMs_ = 0;
    bool holding_ = false;
    uint8_t held_ = 0;
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
    const HANDLE handle = CreateFileA(DeviceName(name).c_str(), GENERIC_READ | GENERIC_WRITE,
                                      0 /* not shared */, nullptr, OPEN_EXISTING, 0, nullptr);
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
