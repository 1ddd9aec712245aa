#include "SerialPortServer.h"

#include <chrono>

namespace hc12::sim {

namespace {

uint64_t NowUs() {
    return uint64_t(std::chrono::duration_cast<std::chrono::microseconds>(
                        std::chrono::steady_clock::now().time_since_epoch())
                        .count());
}

// The port has no descriptor to wait on, so the loop looks at it between short
// waits on the sockets: finely while a conversation is going on (a reply is due
// within a millisecond of its question), coarsely when the line has been idle.
constexpr uint64_t kBusySliceUs = 100;
constexpr uint64_t kIdleSliceUs = 5000;
constexpr uint64_t kBusyForUs = 500000;

}  // namespace

bool SerialPortServer::Start(uint16_t port, std::string* error) {
    Stop();
    if (!server_.Listen("127.0.0.1", port, error))
        return false;
    listenPort_ = server_.Port();
    stop_ = false;
    thread_ = std::thread([this] { Run(); });
    return true;
}

void SerialPortServer::Stop() {
    if (!thread_.joinable())
        return;
    stop_ = true;
    thread_.join();
    server_.Close();
}

void SerialPortServer::Run() {
    lastActivityUs_ = NowUs();
    uint8_t buffer[1024];
    while (!stop_) {
        const bool busy = NowUs() - lastActivityUs_ < kBusyForUs;
        server_.Service(busy ? kBusySliceUs : kIdleSliceUs);
        if (dropClient_.exchange(false))
            server_.DropClient();

        const LineStatus status = port_.ClearErrors();
        if (status.errors != 0)
            server_.NotifyLineErrors(status.errors);
        if (status.bytesWaiting > 0) {
            const size_t n = port_.Read(buffer, sizeof buffer);
            if (server_.HasClient())
                server_.Send(buffer, n);  // with nobody connected, the line's bytes are lost
            lastActivityUs_ = NowUs();
        }
    }
}

void SerialPortServer::Bridge::OnData(const uint8_t* data, size_t size) {
    owner_.port_.Write(data, size);
    owner_.lastActivityUs_ = NowUs();
}

void SerialPortServer::Bridge::OnRts(bool active) {
    owner_.port_.SetRts(active);
    ++owner_.rtsChanges_;
    owner_.lastActivityUs_ = NowUs();
}

void SerialPortServer::Bridge::OnPurge(bool receive, bool /*transmit*/) {
    // The port's input queue is what the client has not got yet; nothing of the
    // client's waits on the way out (the port takes each write at once).
    if (receive)
        owner_.port_.Purge();
    ++owner_.purges_;
}

void SerialPortServer::Bridge::OnSettings(const ComPortSettings& /*settings*/) {
    owner_.port_.ApplyLineSettings();
}

}  // namespace hc12::sim
