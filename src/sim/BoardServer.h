// The virtual board served over RFC 2217, as a serial server in front of a real
// board would serve it: the client's data, RTS and purges reach the board session,
// and the board's replies go back with their line errors as line-state notices.
// The owner runs the loop, one Serve at a time.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "BoardSession.h"
#include "Rfc2217Server.h"

namespace hc12::sim {

class BoardServer : private Rfc2217Server::Device {
  public:
    explicit BoardServer(BoardSession& session) : session_(session), server_(*this) {}

    // Listens on a numeric address (port 0: any free one).
    bool Listen(const std::string& host, uint16_t port, std::string* error);
    uint16_t Port() const { return server_.Port(); }

    // What to wait on, and for how long at most (nullopt: until a socket is
    // readable), for an owner that waits by itself and then calls Serve(0).
    std::vector<intptr_t> WaitHandles() const { return server_.WaitHandles(); }
    std::optional<uint64_t> UsUntilDue() {
        return server_.Pending() ? std::optional<uint64_t>(0) : session_.UsUntilDue();
    }

    // Waits up to maxWaitUs (less when the board has something due), takes in what
    // the client sent and sends what the board has for it.
    void Serve(uint64_t maxWaitUs);
    void Close() { server_.Close(); }
    // 0: a client may stay idle for ever.
    void SetIdleLimitMs(uint64_t ms) { server_.SetIdleLimitMs(ms); }

  private:
    void OnData(const uint8_t* data, size_t size) override;
    void OnRts(bool active) override;
    void OnPurge(bool receive, bool transmit) override;

    BoardSession& session_;
    Rfc2217Server server_;
};

}  // namespace hc12::sim
