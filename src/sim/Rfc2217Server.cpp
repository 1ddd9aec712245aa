#include "Rfc2217Server.h"

#include <algorithm>
#include <chrono>

#include "Rfc2217.h"

namespace hc12::sim {

namespace {

constexpr uint32_t kSendTimeoutMs = 2000;
// What one call hands to the device: at 38400 baud it takes some 67 ms, so the
// loop comes round often while a long burst is carried out.
constexpr size_t kPieceSize = 256;
// How much of what the client sent is read ahead of the device.
constexpr size_t kReadAhead = 4 << 20;

uint64_t NowMs() {
    return uint64_t(std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now().time_since_epoch())
                        .count());
}

}  // namespace

telnet::Negotiation Rfc2217Server::Fresh() {
    // We send binary and suppress go-aheads; the client may send binary and use
    // COM port control.
    return telnet::Negotiation(
        {telnet::kOptBinary, telnet::kOptSuppressGoAhead},
        {telnet::kOptBinary, telnet::kOptComPort, telnet::kOptSuppressGoAhead});
}

bool Rfc2217Server::Listen(const std::string& host, uint16_t port, std::string* error) {
    listener_ = TcpSocket::Listen(host, port, error);
    return listener_.Valid();
}

void Rfc2217Server::Service(uint64_t timeoutUs) {
    // What the client sent and the device has not taken yet is work to do now.
    TcpSocket::WaitReadable({&listener_, &client_}, Pending() ? 0 : timeoutUs);

    // A client that has gone, or has sent nothing for the idle limit, makes room
    // first.
    if (client_.Valid() && (client_.PeerHungUp() || ClientIdle()))
        DropClient();

    for (TcpSocket incoming = listener_.Accept(); incoming.Valid(); incoming = listener_.Accept()) {
        if (client_.Valid())
            continue;  // busy: the new connection closes as it goes out of scope
        client_ = std::move(incoming);
        lastHeardMs_ = NowMs();
        decoder_ = telnet::Decoder();
        negotiation_ = Fresh();
        lineStateMask_ = 0;
        // Ask for binary both ways at once, as servers do; the client's own
        // requests cross ours without either side answering twice.
        std::vector<uint8_t> out;
        negotiation_.RequestLocal(telnet::kOptBinary, out);
        negotiation_.RequestRemote(telnet::kOptBinary, out);
        SendRaw(out);
    }

    TakeIn();
    if (!Pending())
        return;
    // One piece to the device, in its order among the commands.
    const size_t n = std::min(kPieceSize, inbox_.size() - inboxAt_);
    const std::vector<uint8_t> piece(inbox_.begin() + long(inboxAt_),
                                     inbox_.begin() + long(inboxAt_ + n));
    inboxAt_ += n;
    decoder_.Feed(piece.data(), piece.size(), *this);
    if (!out_.empty()) {
        std::vector<uint8_t> out = std::move(out_);
        out_.clear();
        SendRaw(out);
    }
}

bool Rfc2217Server::ClientIdle() {
    return idleLimitMs_ != 0 && !Pending() && NowMs() - lastHeardMs_ >= idleLimitMs_ &&
           !TcpSocket::WaitReadable({&client_}, 0);
}

// Everything the client has sent comes off the socket at once, up to the
// read-ahead, so that its end is seen as soon as it comes: a client that has gone
// is dropped with all it left, not carried out to the device at the line's pace.
void Rfc2217Server::TakeIn() {
    if (inboxAt_ > 0 && inboxAt_ >= inbox_.size() / 2) {
        inbox_.erase(inbox_.begin(), inbox_.begin() + long(inboxAt_));
        inboxAt_ = 0;
    }
    uint8_t buffer[4096];
    while (client_.Valid() && inbox_.size() - inboxAt_ < kReadAhead) {
        const long n = client_.Receive(
            buffer, std::min(sizeof buffer, kReadAhead - (inbox_.size() - inboxAt_)));
        if (n < 0)
            DropClient();
        if (n <= 0)
            break;
        lastHeardMs_ = NowMs();
        inbox_.insert(inbox_.end(), buffer, buffer + n);
    }
}

std::vector<intptr_t> Rfc2217Server::WaitHandles() const {
    std::vector<intptr_t> handles;
    for (const TcpSocket* s : {&listener_, &client_})
        if (s->Valid())
            handles.push_back(s->NativeHandle());
    return handles;
}

void Rfc2217Server::DropClient() {
    client_.Close();
    inbox_.clear();
    inboxAt_ = 0;
}

void Rfc2217Server::Close() {
    DropClient();
    listener_.Close();
}

void Rfc2217Server::Send(const uint8_t* data, size_t size) {
    std::vector<uint8_t> out;
    telnet::AppendEscaped(out, data, size);
    SendRaw(out);
}

void Rfc2217Server::NotifyLineErrors(uint32_t errors) {
    const uint8_t state = rfc2217::ErrorsToLineState(errors) & lineStateMask_;
    if (state != 0)
        Reply(rfc2217::kNotifyLineState, {state});
}

void Rfc2217Server::SendRaw(const std::vector<uint8_t>& bytes) {
    if (client_.Valid() && !bytes.empty() &&
        !client_.SendAll(bytes.data(), bytes.size(), kSendTimeoutMs))
        DropClient();
}

void Rfc2217Server::OnData(const uint8_t* data, size_t size) {
    // Answers to the negotiation go out before the device sees the data after them.
    if (!out_.empty()) {
        std::vector<uint8_t> out = std::move(out_);
        out_.clear();
        SendRaw(out);
    }
    device_.OnData(data, size);
}

void Rfc2217Server::OnOption(uint8_t verb, uint8_t option) {
    negotiation_.Receive(verb, option, out_);
}

void Rfc2217Server::OnSubnegotiation(uint8_t option, const std::vector<uint8_t>& payload) {
    if (option != telnet::kOptComPort || payload.empty())
        return;
    HandleComPort(payload[0], std::vector<uint8_t>(payload.begin() + 1, payload.end()));
}

void Rfc2217Server::Reply(uint8_t command, const std::vector<uint8_t>& value) {
    const std::vector<uint8_t> c =
        rfc2217::Command(uint8_t(command + rfc2217::kServerOffset), value);
    out_.insert(out_.end(), c.begin(), c.end());
    // Replies made outside a Feed (line-state notices) go out at once.
    SendRaw(out_);
    out_.clear();
}

void Rfc2217Server::HandleComPort(uint8_t command, const std::vector<uint8_t>& value) {
    namespace r = rfc2217;
    const uint8_t first = value.empty() ? 0 : value[0];
    switch (command) {
        case r::kSetBaudRate:
            if (value.size() == 4) {
                const uint32_t baud =
                    uint32_t(value[0]) << 24 | uint32_t(value[1]) << 16 | value[2] << 8 | value[3];
                if (baud != 0)
                    settings_.baudRate = baud;
                device_.OnSettings(settings_);
            }
            Reply(command, r::BaudValue(settings_.baudRate));
            return;
        case r::kSetDataSize:
            if (first != 0) {
                settings_.dataSize = first;
                device_.OnSettings(settings_);
            }
            Reply(command, {settings_.dataSize});
            return;
        case r::kSetParity:
            if (first != 0) {
                settings_.parity = first;
                device_.OnSettings(settings_);
            }
            Reply(command, {settings_.parity});
            return;
        case r::kSetStopSize:
            if (first != 0) {
                settings_.stopSize = first;
                device_.OnSettings(settings_);
            }
            Reply(command, {settings_.stopSize});
            return;
        case r::kSetControl:
            if (first == r::kControlRtsOn || first == r::kControlRtsOff) {
                rts_ = first == r::kControlRtsOn;
                device_.OnRts(rts_);
            } else if (first == r::kControlDtrOn || first == r::kControlDtrOff) {
                device_.OnDtr(first == r::kControlDtrOn);
            } else if (first >= 1 && first <= 3) {
                settings_.flowControl = first;
                device_.OnSettings(settings_);
            }
            Reply(command, {first});
            return;
        case r::kSetLineStateMask:
            lineStateMask_ = first;
            Reply(command, {first});
            return;
        case r::kSetModemStateMask:
            Reply(command, {first});
            return;
        case r::kPurgeData:
            if (first >= r::kPurgeReceive && first <= r::kPurgeBoth)
                device_.OnPurge((first & r::kPurgeReceive) != 0, (first & r::kPurgeTransmit) != 0);
            Reply(command, {first});
            return;
        default:
            return;  // signature, flow-control suspend/resume: nothing to do
    }
}

}  // namespace hc12::sim
