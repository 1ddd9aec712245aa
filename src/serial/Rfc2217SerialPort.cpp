// RFC 2217 client. The server stands where the PC's serial driver would: we send
// the line settings, RTS and purges as COM-PORT-OPTION commands and, past the open,
// never wait for their acknowledgements (the reset pulse is timed here, and some
// servers never acknowledge); data goes both ways with 0xFF escaped. Each frame leaves in one
// send with Nagle off, so a question costs one round trip and no more.
#include "Rfc2217SerialPort.h"

#include <algorithm>
#include <chrono>
#include <deque>
#include <thread>

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
// Pauses between the connections made again after one was turned away: short at
// first (the port is usually free again within milliseconds), then longer.
constexpr uint32_t kFirstRetryPauseMs = 20;
constexpr uint32_t kMaxRetryPauseMs = 250;
// What a server said before it closed a connection being opened is shown when it
// is a short line of text.
constexpr size_t kMaxServerWords = 120;

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

    // A server in front of a serial port may turn a connection away while the port
    // is still busy with the one before: ser2net, still closing the previous
    // connection, answers the Telnet negotiation, says "Port already in use" and
    // closes (or resets, when our requests are still unread). A connection that
    // ends while it is being opened is therefore made again, after growing pauses,
    // for a short while. A refused connection (no server) and a connect time-out
    // are final at once.
    bool Connect(std::string* error) {
        using Steady = std::chrono::steady_clock;
        const auto giveUp = Steady::now() + std::chrono::milliseconds(kRfc2217TurnedAwayRetryMs);
        uint32_t pauseMs = kFirstRetryPauseMs;
        for (;;) {
            const Attempt attempt = ConnectOnce(error);
            if (attempt != Attempt::TurnedAway)
                return attempt == Attempt::Open;
            if (Steady::now() + std::chrono::milliseconds(pauseMs) >= giveUp) {
                if (error != nullptr)
                    *error = LostText();
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
            pauseMs = std::min(pauseMs * 2, kMaxRetryPauseMs);
        }
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
        // Telnet commands alone wake the wait without giving data: wait on.
        PumpUntil(std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs),
                  [&] { return !received_.empty() || pendingErrors_ != 0; });
        return !received_.empty();
    }

    void Purge() override {
        Pump();
        received_.clear();
        SendComPort(rfc2217::kPurgeData, {rfc2217::kPurgeBoth});
    }

  private:
    enum class Attempt {
        Open,
        TurnedAway,   // the connection ended while it was being opened
        Unreachable,  // refused, timed out, or the name did not resolve
    };

    // One connection and its negotiation: binary both ways and COM port control
    // asked for, the line settings sent and, where the server took up COM port
    // control, its acknowledgement of the baud rate awaited. Only that shows the
    // connection taken up by the port (ser2net answers the Telnet negotiation of a
    // connection it turns away, but acknowledges no setting on it). The whole
    // negotiation is bounded; a server that leaves something unanswered is taken
    // at its word.
    Attempt ConnectOnce(std::string* error) {
        Drop("");
        negotiation_ = FreshNegotiation();
        decoder_ = telnet::Decoder();
        received_.clear();
        replies_.clear();
        pendingErrors_ = 0;
        baudAcknowledged_ = false;

        socket_ = TcpSocket::Connect(address_.host, address_.port, kRfc2217ConnectTimeoutMs, error);
        if (!socket_.Valid())
            return Attempt::Unreachable;

        const auto deadline = std::chrono::steady_clock::now() +
                              std::chrono::milliseconds(kRfc2217NegotiationTimeoutMs);
        std::vector<uint8_t> out;
        negotiation_.RequestLocal(telnet::kOptBinary, out);
        negotiation_.RequestRemote(telnet::kOptBinary, out);
        negotiation_.RequestLocal(telnet::kOptComPort, out);
        if (!Send(out))
            return Attempt::TurnedAway;
        // The settings mean something only once the server has taken up COM port
        // control.
        PumpUntil(deadline, [&] { return !negotiation_.LocalPending(telnet::kOptComPort); });
        SendSettings();
        if (negotiation_.LocalOn(telnet::kOptComPort))
            PumpUntil(deadline, [&] { return baudAcknowledged_; });
        return socket_.Valid() ? Attempt::Open : Attempt::TurnedAway;
    }

    // Takes in what comes until `done` says so, the connection ends or the
    // deadline passes.
    template <class Done>
    void PumpUntil(std::chrono::steady_clock::time_point deadline, Done done) {
        Pump();
        while (socket_.Valid() && !done()) {
            const auto left = std::chrono::duration_cast<std::chrono::microseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                break;
            TcpSocket::WaitReadable({&socket_}, uint64_t(left.count()));
            Pump();
        }
    }

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
    // Why the connection went, for an open that failed, with what the server said.
    std::string LostText() const {
        std::string text = lostBecause_.empty() || lostBecause_ == "closed"
                               ? "the server closed the connection"
                               : "the connection failed: " + lostBecause_;
        if (const std::string said = ServerWords(); !said.empty())
            text += " (the server said \"" + said + "\")";
        return text;
    }
    // What came as data on a connection being opened, when it is a short line of
    // text (ser2net's "Port already in use"); "" otherwise.
    std::string ServerWords() const {
        std::string text;
        for (const uint8_t c : received_) {
            if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
                if (!text.empty() && text.back() != ' ')
                    text += ' ';
                continue;
            }
            if (c < 0x21 || c > 0x7E || text.size() >= kMaxServerWords)
                return "";
            text += char(c);
        }
        while (!text.empty() && text.back() == ' ')
            text.pop_back();
        return text;
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
        // Of the acknowledgements only the baud rate's counts, as the sign that the
        // open went through; modem-line reports are of no use, line errors are.
        if (payload[0] == rfc2217::kNotifyLineState + rfc2217::kServerOffset)
            pendingErrors_ |= rfc2217::LineStateToErrors(payload[1]);
        if (payload[0] == rfc2217::kSetBaudRate + rfc2217::kServerOffset)
            baudAcknowledged_ = true;
    }

    Rfc2217Address address_;
    TcpSocket socket_;
    telnet::Decoder decoder_;
    telnet::Negotiation negotiation_;
    std::deque<uint8_t> received_;
    std::vector<uint8_t> replies_;
    uint32_t pendingErrors_ = 0;
    bool baudAcknowledged_ = false;  // since the last connect
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
