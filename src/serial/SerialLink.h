// The one serial link of the program: the port cache, the request/reply exchange
// with its 300 ms time-out, line-error reporting and the link-lost reaction.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "Clock.h"
#include "Frames.h"
#include "LinkView.h"
#include "SerialPort.h"

namespace hc12 {

inline constexpr int kPortCount = 4;  // COM1 .. COM4
inline constexpr uint32_t kReplyTimeoutMs = 300;
inline constexpr int kRxBufferSize = 1024;

// A flush sleeps this long before each look at the input queue.
inline constexpr uint32_t kFlushPassMs = 30;
// A line that has not fallen quiet after this many flush passes (about 3 s) belongs
// to a device that sends without pause; the flush gives up and the link counts as
// lost, instead of blocking the program for good.
inline constexpr int kFlushMaxPasses = 100;

// One byte on the line at 38400 baud (start bit, 8 data bits, stop bit): 260.4 us,
// rounded up for when a frame is through and down for when a byte has arrived.
inline constexpr uint64_t kByteTimeUs = 261;
inline constexpr uint64_t kByteTimeFloorUs = 260;

// How long the interface may take to carry out one frame unless told otherwise, and
// the most a setting may ask for.
inline constexpr uint32_t kDefaultFrameTimeUs = 1000;
inline constexpr uint32_t kMaxFrameTimeUs = 1000000;

// ConnectionState values: 1 connected or connecting, 255 (-1 signed) not connected.
inline constexpr int8_t kConnected = 1;
inline constexpr int8_t kNotConnected = -1;

class SerialLink {
  public:
    // Opens the port for a port name ("COM1".."COM4"); nullptr when it cannot be opened.
    using PortOpener = std::function<std::unique_ptr<SerialPort>(const std::string& portName)>;

    SerialLink(Clock& clock, LinkView& view, PortOpener opener);
    ~SerialLink();

    // Choose port index 0..3 (COM1..COM4): open it the first time (or again after a
    // failed open or a hang-up), apply the line settings, make it current. On
    // failure shows "Niewłaściwa nazwa portu lub port jest aktywny." and returns false.
    bool OpenPort(int index);
    // True once any port was chosen (the original's CurrentPort != 0).
    bool PortChosen() const { return portChosen_; }
    // The port index chosen last (-1 before any choice).
    int ChosenPort() const { return chosenIndex_; }
    // True when the current port is open and usable.
    bool PortValid() const { return current_ != nullptr; }
    SerialPort* CurrentPort() { return current_; }
    // Close every port opened in this run (exit).
    void CloseAll();

    // Exchange(-1, -1): flush. Exchange(1, address): ReadByte frame then receive.
    // Exchange(1, -1): receive one byte. 0 after a time-out or line error, which
    // also leaves ConnectionState at kNotConnected. Without a usable port every
    // receive runs into the time-out.
    uint8_t Exchange(int flush, int address);
    // Send a frame and wait until it has left the PC; no reply is read.
    void SendFrame(const Frame& frame);
    // The link-lost reaction.
    void LinkLost();
    // Drive RTS on the current port (the interface reset pulse).
    void SetRts(bool active);

    // The interface carries a frame out before it looks at the next one, and while
    // it is busy it holds one received byte; a further byte is lost and shifts every
    // later frame. So a frame goes out only when no more than its first byte can
    // arrive before the interface is free again, assuming it needs up to the frame
    // time for each frame. A reply proves that its frame (and every one before it)
    // was carried out.
    void SetFrameTimeUs(uint32_t us) { frameTimeUs_ = us; }
    uint32_t FrameTimeUs() const { return frameTimeUs_; }
    // Drop what waits in the input queue, without the settling pauses of a flush:
    // for a point where every reply was read and none is on its way. Line errors
    // found here are cleared silently, as a flush clears them.
    void DiscardInput();

    // How many exchanges have failed so far (time-out, line error, a line that never
    // fell quiet). An operation compares it with the count at its start to know that
    // the link died under it.
    uint32_t Failures() const { return failures_; }

    int8_t ConnectionState() const { return connectionState_; }
    void SetConnectionState(int8_t state) { connectionState_ = state; }
    bool Connected() const { return connectionState_ >= 1; }

    Clock& clock() { return clock_; }

    // Received bytes not yet returned by Exchange (0 after every flush).
    int32_t RxPending() const { return rxPending_; }

  private:
    uint8_t Receive();
    void Flush();
    // Waits until a frame of `size` bytes may go out (see SetFrameTimeUs).
    void WaitForInterface(size_t size);
    void ApplySettingsToCurrent();
    void ShowPortError();
    void ShowLineErrors(uint32_t errors);
    // An exchange failed: the link-lost reaction, and a port that has hung up is
    // closed and dropped so that the next choice or connect opens it afresh.
    void ExchangeFailed();

    Clock& clock_;
    LinkView& view_;
    PortOpener opener_;
    std::array<std::unique_ptr<SerialPort>, kPortCount> cache_;
    SerialPort* current_ = nullptr;
    bool portChosen_ = false;
    int chosenIndex_ = -1;
    uint32_t failures_ = 0;
    int8_t connectionState_ = 0;
    std::array<uint8_t, kRxBufferSize> rxBuffer_{};
    int32_t rxPending_ = 0;

    // What the link knows of the interface's pace, on the clock's microseconds.
    uint32_t frameTimeUs_ = kDefaultFrameTimeUs;
    uint64_t lineFreeUs_ = 0;       // the last frame is through the wire
    uint64_t interfaceFreeUs_ = 0;  // the interface has carried out every frame sent
    uint32_t awaitedReplyBytes_ = 0;
    bool lastFrameAnswers_ = false;  // the last frame sent was a read
};

// "11111100" -> 0xFC: first character is bit 7; other characters count as 0,
// characters after the eighth change nothing.
uint8_t BitsToByte(const char* text);

}  // namespace hc12
