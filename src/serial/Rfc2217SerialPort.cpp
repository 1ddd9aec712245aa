// RFC 2217 client. The server stands where the PC's serial driver would: we send
// the line settings, RTS and purges as COM-PORT-OPTION commands and never wait for
// their acknowledgements (the reset pulse is timed here, and some servers never
// acknowledge); data goes both ways with 0xFF escaped. Each frame leaves in one
// send with Nagle off, so a question costs one round trip and no more.
#include "Rfc2217SerialPort.h"

#include <algorithm>
#include <chrono>
#include <deque>

#include "Rfc2217.h"
#include "TcpSocket.h"
#include "TelnetCodec.h"

namespace hc12 {

namespace {

constexpr char kScheme[] = "rfc2217://";
constexpr size_t kSchemeLength = sizeof kScheme - 1;
// Bytes received and not yet read; beyond this the rest waits in the socket.
constexpr size_t kReceiveLimit = 4096;
// What one look at the socket takes in at most. A server can send commands
// without end (line-state notices, NOPs) that never fill the data buffer; the
// caller's deadline comes round between looks.
constexpr size_t kPumpBudget = 64 * 1024;
// Answers to the server's option commands that it has not taken yet; a server that
// piles up more than this without reading is stuck.
constexpr size_t kMaxPendingReplies = 64 * 1024;
// A send that finds no room for this long belongs to a connection that is stuck.
constexpr uint32_t kSendTimeoutMs = 2000;

bool ParsePort(const std::string& text, uint16_t* port) {
    if (text.empty() || text.size() > 5)
        return false;
    uint32_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + uint32_t(c - '0');
    }
    if (value == 0 || value > 65535)
        return false;
    *port = uint16_t(value);
    return true;
}

// What we agree to: binary both ways, COM port control on our side, and no
// go-aheads (which servers like to offer). Everything else is refused.
telnet::Negotiation FreshNegotiation() {
    return telnet::Negotiation(
        {telnet::kOptBinary, telnet::kOptComPort, telnet::kOptSuppressGoAhead},
        {telnet::kOptBinary, telnet::kOptSuppressGoAhead});
}

class Rfc2217SerialPort final : public SerialPort, private telnet::Decoder::Sink {
  public:
    explicit Rfc2217SerialPort(Rfc2217Address address)
        : address_(std::move(address)), negotiation_(FreshNegotiation()) {}

    bool Connect(std::string* error) {
        Drop("");
        negotiation_ = FreshNegotiation();
        decoder_ = telnet::Decoder();
        received_.clear();
        replies_.clear();
        pendingErrors_ = 0;

        socket_ = TcpSocket::Connect(address_.host, address_.port, kRfc2217ConnectTimeoutMs, error);
        if (!socket_.Valid())
            return false;

        std::vector<uint8_t> out;
        negotiation_.RequestLocal(telnet::kOptBinary, out);
        negotiation_.RequestRemote(telnet::kOptBinary, out);
        negotiation_.RequestLocal(telnet::kOptComPort, out);
        if (!Send(out)) {
            if (error != nullptr)
                *error = LostText();
            return false;
        }
        // The settings mean something only once the server has taken up COM port
        // control; wait (bounded) for its answer.
        using Steady = std::chrono::steady_clock;
        const auto deadline =
            Steady::now() + std::chrono::milliseconds(kRfc2217NegotiationTimeoutMs);
        while (socket_.Valid() && negotiation_.LocalPending(telnet::kOptComPort)) {
            const auto left =
                std::chrono::duration_cast<std::chrono::microseconds>(deadline - Steady::now());
            if (left.count() <= 0)
                break;
            TcpSocket::WaitReadable({&socket_}, uint64_t(left.count()));
            Pump();
        }
        if (!socket_.Valid()) {
            if (error != nullptr)
                *error = LostText();
            return false;
        }
        SendSettings();
        if (!socket_.Valid()) {
            if (error != nullptr)
                *error = LostText();
            return false;
        }
        return true;
    }

    void ApplyLineSettings() override {
        if (!Alive())
            Connect(nullptr);
        else
            SendSettings();
    }

    void SetRts(bool active) override {
        // The reset pulse starts a fresh session: a connection lost since the
        // last one is made again here.
        if (active && !Alive())
            Connect(nullptr);
        SendComPort(rfc2217::kSetControl,
                    {active ? rfc2217::kControlRtsOn : rfc2217::kControlRtsOff});
    }

    bool Write(const uint8_t* data, size_t size) override {
        std::vector<uint8_t> out;
        out.reserve(size + 4);
        telnet::AppendEscaped(out, data, size);
        return Send(out);
    }

    LineStatus ClearErrors() override {
        Pump();
        LineStatus status;
        status.errors = pendingErrors_;
        // Like an adapter that has been pulled out: every look finds the I/O error
        // until the port is connected again.
        if (!socket_.Valid())
            status.errors |= kCeIoe;
        pendingErrors_ = 0;
        status.bytesWaiting = uint32_t(received_.size());
        return status;
    }

    size_t Read(uint8_t* dest, size_t maxSize) override {
        Pump();
        const size_t n = std::min(maxSize, received_.size());
        std::copy_n(received_.begin(), n, dest);
        received_.erase(received_.begin(), received_.begin() + long(n));
        return n;
    }

    bool WaitForInput(uint32_t timeoutMs) override {
        using Steady = std::chrono::steady_clock;
        const auto deadline = Steady::now() + std::chrono::milliseconds(timeoutMs);
        Pump();
        // Telnet commands alone wake the wait without giving data: wait on.
        while (received_.empty() && pendingErrors_ == 0 && socket_.Valid()) {
            const auto left =
                std::chrono::duration_cast<std::chrono::microseconds>(deadline - Steady::now());
            if (left.count() <= 0)
                break;
            TcpSocket::WaitReadable({&socket_}, uint64_t(left.count()));
            Pump();
        }
        return !received_.empty();
    }

    void Purge() override {
        Pump();
        received_.clear();
        SendComPort(rfc2217::kPurgeData, {rfc2217::kPurgeBoth});
    }

  private:
    // 38400 8N1, no flow control, DTR inactive, and which line-state changes the
    // server reports: the errors only, no modem lines. RTS is left as it is.
    void SendSettings() {
        if (!ComPortUsable())
            return;
        std::vector<uint8_t> out;
        auto add = [&](uint8_t command, std::vector<uint8_t> value) {
            const std::vector<uint8_t> c = rfc2217::Command(command, std::move(value));
            out.insert(out.end(), c.begin(), c.end());
        };
        add(rfc2217::kSetBaudRate, rfc2217::BaudValue(38400));
        add(rfc2217::kSetDataSize, {8});
        add(rfc2217::kSetParity, {rfc2217::kParityNone});
        add(rfc2217::kSetStopSize, {rfc2217::kStopSizeOne});
        add(rfc2217::kSetControl, {rfc2217::kControlNoFlowControl});
        add(rfc2217::kSetControl, {rfc2217::kControlDtrOff});
        add(rfc2217::kSetLineStateMask, {rfc2217::kLineErrorBits});
        add(rfc2217::kSetModemStateMask, {0});
        Send(out);
    }

    // A server that refused COM port control carries data only; one that has not
    // answered yet is taken at its word.
    bool ComPortUsable() const {
        return negotiation_.LocalOn(telnet::kOptComPort) ||
               negotiation_.LocalPending(telnet::kOptComPort);
    }

    void SendComPort(uint8_t command, std::vector<uint8_t> value) {
        if (ComPortUsable())
            Send(rfc2217::Command(command, std::move(value)));
    }

    // Our own commands and data, after any answers still waiting (a command must
    // not land inside one).
    bool Send(const std::vector<uint8_t>& bytes) {
        if (!socket_.Valid())
            return false;
        std::vector<uint8_t> out = std::move(replies_);
        replies_.clear();
        out.insert(out.end(), bytes.begin(), bytes.end());
        std::string why;
        if (!socket_.SendAll(out.data(), out.size(), kSendTimeoutMs, &why)) {
            Drop(why);
            return false;
        }
        return true;
    }

    // Answers go out as the socket takes them, never waited for here: a wait must
    // not hang on a server that does not read.
    void SendReplies() {
        if (replies_.empty() || !socket_.Valid())
            return;
        std::string why = "the server takes nothing";
        const long n = socket_.SendSome(replies_.data(), replies_.size(), &why);
        if (n < 0 || (n == 0 && replies_.size() > kMaxPendingReplies)) {
            Drop(why);
            return;
        }
        replies_.erase(replies_.begin(), replies_.begin() + n);
    }

    // Takes in what has arrived, without waiting, up to the budget of one look.
    void Pump() {
        uint8_t buffer[2048];
        size_t taken = 0;
        while (socket_.Valid() && received_.size() < kReceiveLimit && taken < kPumpBudget) {
            const size_t room = std::min(kReceiveLimit - received_.size(), kPumpBudget - taken);
            std::string why;
            const long n = socket_.Receive(buffer, std::min(sizeof buffer, room), &why);
            if (n == 0)
                break;
            if (n < 0) {
                Drop(why);
                break;
            }
            taken += size_t(n);
            decoder_.Feed(buffer, size_t(n), *this);
            SendReplies();
        }
    }

    // The connection is gone: reported as an I/O error from now on.
    void Drop(std::string why) {
        socket_.Close();
        lostBecause_ = std::move(why);
    }
    // Why the connection went, for an open that failed.
    std::string LostText() const {
        if (lostBecause_.empty() || lostBecause_ == "closed")
            return "the server closed the connection";
        return "the connection failed: " + lostBecause_;
    }

    // Whether the connection still stands, as far as can be told without waiting.
    bool Alive() {
        Pump();
        return socket_.Valid();
    }

    void OnData(const uint8_t* data, size_t size) override {
        received_.insert(received_.end(), data, data + size);
    }

    void OnOption(uint8_t verb, uint8_t option) override {
        negotiation_.Receive(verb, option, replies_);
    }

    void OnSubnegotiation(uint8_t option, const std::vector<uint8_t>& payload) override {
        if (option != telnet::kOptComPort || payload.size() < 2)
            return;
        // Acknowledgements of our commands and modem-line reports are of no use:
        // only the line errors count.
        if (payload[0] == rfc2217::kNotifyLineState + rfc2217::kServerOffset)
            pendingErrors_ |= rfc2217::LineStateToErrors(payload[1]);
    }

    Rfc2217Address address_;
    TcpSocket socket_;
    telnet::Decoder decoder_;
    telnet::Negotiation negotiation_;
    std::deque<uint8_t> received_;
    std::vector<uint8_t> replies_;
    uint32_t pendingErrors_ = 0;
    std::string lostBecause_;
};

}  // namespace

bool IsRfc2217Value(const std::string& value) {
    if (value.size() < kSchemeLength)
        return false;
    for (size_t i = 0; i < kSchemeLength; ++i) {
        char c = value[i];
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
        if (c != kScheme[i])
            return false;
    }
    return true;
}

std::optional<Rfc2217Address> ParseRfc2217Value(const std::string& value, std::string* error) {
    auto fail = [&]() -> std::optional<Rfc2217Address> {
        if (error != nullptr)
            *error = "expected rfc2217://HOST:PORT, got \"" + value + "\"";
        return std::nullopt;
    };
    if (!IsRfc2217Value(value))
        return fail();
    const std::string rest = value.substr(kSchemeLength);
    Rfc2217Address address;
    std::string portText;
    if (!rest.empty() && rest[0] == '[') {
        const size_t close = rest.find(']');
        if (close == std::string::npos || close + 1 >= rest.size() || rest[close + 1] != ':')
            return fail();
        address.host = rest.substr(1, close - 1);
        portText = rest.substr(close + 2);
    } else {
        const size_t colon = rest.rfind(':');
        if (colon == std::string::npos)
            return fail();
        address.host = rest.substr(0, colon);
        portText = rest.substr(colon + 1);
        if (address.host.find(':') != std::string::npos)
            return fail();  // an IPv6 address needs its brackets
    }
    if (address.host.empty() || !ParsePort(portText, &address.port))
        return fail();
    for (char c : address.host)
        if (c == '/' || c == ' ' || c == '@' || c == '?')
            return fail();
    return address;
}

std::unique_ptr<SerialPort> OpenRfc2217SerialPort(const std::string& value, std::string* error) {
    const std::optional<Rfc2217Address> address = ParseRfc2217Value(value, error);
    if (!address)
        return nullptr;
    auto port = std::make_unique<Rfc2217SerialPort>(*address);
    std::string why;
    if (!port->Connect(&why)) {
        if (error != nullptr)
            *error = value + ": " + why;
        return nullptr;
    }
    return port;
}

}  // namespace hc12
