// A TCP connection (or listener) with what the RFC 2217 port and server need:
// a connect bounded in time, Nagle off, non-blocking reads, waits in the OS.
// BSD sockets on POSIX, Winsock on Windows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>

namespace hc12 {

class TcpSocket {
  public:
    TcpSocket() = default;
    ~TcpSocket() { Close(); }
    TcpSocket(TcpSocket&& other) noexcept : handle_(other.handle_) { other.handle_ = kInvalid; }
    TcpSocket& operator=(TcpSocket&& other) noexcept;
    TcpSocket(const TcpSocket&) = delete;
    TcpSocket& operator=(const TcpSocket&) = delete;

    // Connects to host:port, trying each address the name resolves to, within
    // timeoutMs in all (name resolution aside). Invalid on failure, with `error`.
    static TcpSocket Connect(const std::string& host, uint16_t port, uint32_t timeoutMs,
                             std::string* error);
    // Listens on a numeric address; port 0 takes a free one (see LocalPort).
    static TcpSocket Listen(const std::string& host, uint16_t port, std::string* error);
    // A waiting connection, or an invalid socket when none is waiting.
    TcpSocket Accept();

    bool Valid() const { return handle_ != kInvalid; }
    void Close();
    // Closes with a reset instead of an orderly end (a peer that crashed).
    void Abort();
    uint16_t LocalPort() const;
    // The OS's handle (a descriptor on POSIX), for a wait that watches other
    // things as well.
    intptr_t NativeHandle() const { return handle_; }

    // Sends every byte, waiting for room up to timeoutMs. false when the
    // connection has failed or stayed full; `why` then says which.
    bool SendAll(const uint8_t* data, size_t size, uint32_t timeoutMs, std::string* why = nullptr);
    // Sends what fits now, without waiting: the count sent (maybe 0), -1 when the
    // connection has failed (`why` then says how).
    long SendSome(const uint8_t* data, size_t size, std::string* why = nullptr);
    // What has arrived, without waiting: the count (> 0), 0 when nothing is
    // waiting, -1 when the peer has closed the connection or it failed; `why` then
    // says which ("closed" for an orderly close, else the system's text).
    long Receive(uint8_t* dest, size_t maxSize, std::string* why = nullptr);

    // Whether the peer has closed its end (or the connection failed), even while
    // what it sent before is still waiting to be read. Where the system cannot
    // tell, false until a read finds the end.
    bool PeerHungUp() const;

    // Waits up to timeoutUs until one of the sockets can be read (data, a
    // waiting connection, or a close that Receive will report). Invalid sockets
    // are left out. true when one can.
    static bool WaitReadable(std::initializer_list<const TcpSocket*> sockets, uint64_t timeoutUs);

  private:
    using Handle = intptr_t;
    static constexpr Handle kInvalid = -1;
    explicit TcpSocket(Handle handle) : handle_(handle) {}

    Handle handle_ = kInvalid;
};

}  // namespace hc12
