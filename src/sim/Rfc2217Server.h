// A small RFC 2217 server: one client at a time on a numeric address, the Telnet
// negotiation answered, and what the client asks of the serial line (data, RTS,
// purges, line settings) handed to the device behind it as calls, in the order it
// came. The owner runs the loop (Service) and sends the device's output.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "TcpSocket.h"
#include "TelnetCodec.h"

namespace hc12::sim {

struct ComPortSettings {
    uint32_t baudRate = 0;  // 0: never set
    uint8_t dataSize = 0;
    uint8_t parity = 0;    // RFC 2217 values: 1 none, 2 odd, 3 even, ...
    uint8_t stopSize = 0;  // 1 one, 2 two, 3 one and a half
    uint8_t flowControl = 0;
};

class Rfc2217Server : private telnet::Decoder::Sink {
  public:
    // What sits behind the server, where the serial port would be.
    class Device {
      public:
        virtual ~Device() = default;
        virtual void OnData(const uint8_t* data, size_t size) = 0;
        virtual void OnRts(bool active) = 0;
        virtual void OnDtr(bool /*active*/) {}
        // receive: what the device sent and the client has not got yet;
        // transmit: what the client sent and the device has not got yet.
        virtual void OnPurge(bool receive, bool transmit) = 0;
        virtual void OnSettings(const ComPortSettings& /*settings*/) {}
    };

    explicit Rfc2217Server(Device& device) : device_(device), negotiation_(Fresh()) {}

    // Listens on host (numeric, e.g. "127.0.0.1") and port (0: any free one).
    bool Listen(const std::string& host, uint16_t port, std::string* error);
    uint16_t Port() const { return listener_.LocalPort(); }

    // Waits up to timeoutUs for the client or a new connection (not at all while
    // the client's bytes wait for the device), takes in what the client sent and
    // hands a piece of it to the device (the device takes each piece in its wire
    // time; the rest waits for the next call). A second client while one is served
    // is turned away (closed at once), like a port in use. A client that has gone
    // is dropped with what it left, and so is a client that has sent nothing for
    // the idle limit.
    void Service(uint64_t timeoutUs);
    // Bytes of the client that wait for the device: call Service again at once.
    bool Pending() const { return inboxAt_ < inbox_.size(); }
    // 0: a client may stay idle for ever.
    void SetIdleLimitMs(uint64_t ms) { idleLimitMs_ = ms; }
    bool HasClient() const { return client_.Valid(); }
    // What Service waits on, for an owner that waits on other things too and
    // then calls Service(0).
    std::vector<intptr_t> WaitHandles() const;
    // Closes the client's connection (the board going away, in tests).
    void DropClient();
    // Stops listening and drops the client.
    void Close();

    // The device's output to the client.
    void Send(const uint8_t* data, size_t size);
    // Line errors (kCe* bits) the device found, as NOTIFY-LINESTATE; only those the
    // client's line-state mask asks for.
    void NotifyLineErrors(uint32_t errors);

    const ComPortSettings& Settings() const { return settings_; }
    bool Rts() const { return rts_; }

  private:
    static telnet::Negotiation Fresh();
    void OnData(const uint8_t* data, size_t size) override;
    void OnOption(uint8_t verb, uint8_t option) override;
    void OnSubnegotiation(uint8_t option, const std::vector<uint8_t>& payload) override;
    void TakeIn();
    // Nothing from the client for the idle limit, and nothing of it waiting.
    bool ClientIdle();
    void HandleComPort(uint8_t command, const std::vector<uint8_t>& value);
    void Reply(uint8_t command, const std::vector<uint8_t>& value);
    void SendRaw(const std::vector<uint8_t>& bytes);

    Device& device_;
    TcpSocket listener_;
    TcpSocket client_;
    telnet::Decoder decoder_;
    telnet::Negotiation negotiation_;
    std::vector<uint8_t> out_;
    ComPortSettings settings_;
    bool rts_ = false;
    uint8_t lineStateMask_ = 0;
    uint64_t idleLimitMs_ = 0;
    uint64_t lastHeardMs_ = 0;  // when the client last sent anything
    // What the client sent, read ahead of the device; inbox_[inboxAt_..] waits.
    std::vector<uint8_t> inbox_;
    size_t inboxAt_ = 0;
};

}  // namespace hc12::sim
