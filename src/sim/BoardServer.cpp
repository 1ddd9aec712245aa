#include "BoardServer.h"

#include <algorithm>

namespace hc12::sim {

bool BoardServer::Listen(const std::string& host, uint16_t port, std::string* error) {
    return server_.Listen(host, port, error);
}

void BoardServer::Serve(uint64_t maxWaitUs) {
    const auto due = session_.UsUntilDue();
    server_.Service(due ? std::min(*due, maxWaitUs) : maxWaitUs);
    session_.Tick();
    uint8_t buffer[1024];
    uint32_t errors = 0;
    while (size_t n = session_.ToPc(buffer, sizeof buffer, &errors))
        server_.Send(buffer, n);  // with nobody connected, the line's bytes are lost
    if (errors != 0)
        server_.NotifyLineErrors(errors);
}

void BoardServer::OnData(const uint8_t* data, size_t size) {
    session_.FromPc(data, size);
}

void BoardServer::OnRts(bool active) {
    session_.SetRts(active);
}

void BoardServer::OnPurge(bool receive, bool /*transmit*/) {
    // The receive buffer holds what the board sent and the client has not got: it
    // is gone, as from a serial port's input queue. In the transmit buffer nothing
    // sent before the purge is left: the board has taken it as it was decoded.
    if (receive)
        session_.PcPurged();
}

}  // namespace hc12::sim
