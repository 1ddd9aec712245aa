// The RFC 2217 port against a server played byte by byte by the test on 127.0.0.1:
// what goes on the wire, what comes back, and a connection that goes away.
#include <gtest/gtest.h>

#include <poll.h>
#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "Rfc2217.h"
#include "Rfc2217SerialPort.h"
#include "TcpSocket.h"
#include "TelnetCodec.h"

namespace hc12 {
namespace {

using Bytes = std::vector<uint8_t>;
using namespace telnet;

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

const Bytes kRequests{kIac, kWill, 0, kIac, kDo, 0, kIac, kWill, 44};
const Bytes kSettings = Cat({
    rfc2217::Command(1, {0x00, 0x00, 0x96, 0x00}),  // 38400
    rfc2217::Command(2, {8}),
    rfc2217::Command(3, {1}),  // no parity
    rfc2217::Command(4, {1}),  // one stop bit
    rfc2217::Command(5, {1}),  // no flow control
    rfc2217::Command(5, {9}),  // DTR off
    rfc2217::Command(10, {0x1E}),
    rfc2217::Command(11, {0}),
});

// The server's acknowledgement of the baud rate, which ends the open.
const Bytes kBaudAcknowledged = rfc2217::Command(101, {0x00, 0x00, 0x96, 0x00});

// How a connection is turned away while it opens.
enum class TurnAway {
    Ser2netClosed,  // as ser2net does while its port is busy: the negotiation
                    // answered, then "Port already in use" and an orderly close
    Ser2netReset,   // the same, ended with a reset
    AtOnce,         // closed at once without a word (hc12prog-board's own server)
};

// Ends `conn` the way `how` says. ser2net's words come a moment after its answer,
// as they may on a busy machine: the open must not count as done on the answer.
void TurnAwayConnection(TcpSocket& conn, TurnAway how) {
    auto readFor = [&](int ms) {
        uint8_t buf[256];
        for (int i = 0; i < ms / 10; ++i)
            if (TcpSocket::WaitReadable({&conn}, 10000) && conn.Receive(buf, sizeof buf) < 0)
                return;
    };
    if (how != TurnAway::AtOnce) {
        readFor(50);
        const Bytes answer{kIac, kWill, 3,   kIac, kDo,  3,     kIac, kWill, 1,   kIac, kDont,
                           1,    kIac,  kDo, 0,    kIac, kWill, 0,    kIac,  kDo, 44};
        conn.SendAll(answer.data(), answer.size(), 1000);
        readFor(50);
        const std::string words = "Port already in use\r\n";
        conn.SendAll(reinterpret_cast<const uint8_t*>(words.data()), words.size(), 1000);
    }
    if (how == TurnAway::Ser2netClosed) {
        // Orderly: our end first, then what the client still sends is read until
        // it hangs up (unread bytes would reset the connection).
        shutdown(int(conn.NativeHandle()), SHUT_WR);
        readFor(2000);
    }
    if (how == TurnAway::Ser2netReset)
        conn.Abort();
    else
        conn.Close();
}

class FakeServer {
  public:
    FakeServer() {
        std::string error;
        listener_ = TcpSocket::Listen("127.0.0.1", 0, &error);
        EXPECT_TRUE(listener_.Valid()) << error;
    }
    std::string Value() const {
        return "rfc2217://127.0.0.1:" + std::to_string(listener_.LocalPort());
    }
    bool Accept() {
        for (int i = 0; i < 100 && !conn_.Valid(); ++i) {
            TcpSocket::WaitReadable({&listener_}, 50000);
            conn_ = listener_.Accept();
        }
        return conn_.Valid();
    }
    // Reads until `count` bytes have come (or two seconds without them).
    Bytes Read(size_t count) {
        Bytes got;
        uint8_t buf[256];
        for (int i = 0; i < 40 && got.size() < count; ++i) {
            TcpSocket::WaitReadable({&conn_}, 50000);
            const long n = conn_.Receive(buf, std::min(sizeof buf, count - got.size()));
            if (n < 0)
                break;
            got.insert(got.end(), buf, buf + n);
        }
        return got;
    }
    // Whatever comes within a short look (for "nothing more was sent").
    Bytes ReadRest() {
        Bytes got;
        uint8_t buf[256];
        while (TcpSocket::WaitReadable({&conn_}, 100000)) {
            const long n = conn_.Receive(buf, sizeof buf);
            if (n <= 0)
                break;
            got.insert(got.end(), buf, buf + n);
        }
        return got;
    }
    void Send(const Bytes& bytes) { ASSERT_TRUE(conn_.SendAll(bytes.data(), bytes.size(), 1000)); }
    // Room for a backlog that the client has not taken in yet.
    void DeepenSendQueue() {
        const int size = 4 << 20;
        setsockopt(int(conn_.NativeHandle()), SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
    }
    void Close(bool reset) {
        if (reset)
            conn_.Abort();
        else
            conn_.Close();
    }
    void TurnAway(TurnAway how) { TurnAwayConnection(conn_, how); }

  private:
    TcpSocket listener_;
    TcpSocket conn_;
};

// A server that, once a client is in, sends `unit` over and over, reading and
// dropping what the client sends, until `limit` bytes have gone or it is stopped;
// the connection stays open until then.
class FloodServer {
  public:
    FloodServer(Bytes unit, uint64_t limit) : limit_(limit) {
        std::string error;
        listener_ = TcpSocket::Listen("127.0.0.1", 0, &error);
        EXPECT_TRUE(listener_.Valid()) << error;
        while (block_.size() < 64 * 1024)
            block_.insert(block_.end(), unit.begin(), unit.end());
        thread_ = std::thread([this] { Run(); });
    }
    ~FloodServer() { Stop(); }
    std::string Value() const {
        return "rfc2217://127.0.0.1:" + std::to_string(listener_.LocalPort());
    }
    void Stop() {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
    }
    // Whether the flood was over before the test stopped it.
    bool RanOut() const { return ranOut_; }

  private:
    void Run() {
        TcpSocket conn;
        while (!stop_ && !conn.Valid()) {
            TcpSocket::WaitReadable({&listener_}, 10000);
            conn = listener_.Accept();
        }
        // A deep queue, so that the flood runs on while this thread waits its turn.
        const int sendBuffer = 4 << 20;
        setsockopt(int(conn.NativeHandle()), SOL_SOCKET, SO_SNDBUF, &sendBuffer, sizeof sendBuffer);
        size_t at = 0;  // where in the block the stream stands
        uint8_t drop[4096];
        while (!stop_ && conn.Valid()) {
            while (conn.Receive(drop, sizeof drop) > 0) {
            }
            if (sent_ >= limit_) {
                ranOut_ = true;
                TcpSocket::WaitReadable({&conn}, 10000);
                continue;
            }
            const size_t size = size_t(std::min<uint64_t>(block_.size() - at, limit_ - sent_));
            const long n = conn.SendSome(block_.data() + at, size);
            if (n < 0)
                break;
            if (n == 0) {
                pollfd pfd{int(conn.NativeHandle()), POLLOUT, 0};
                poll(&pfd, 1, 10);
            }
            sent_ += uint64_t(n);
            at = (at + size_t(n)) % block_.size();
        }
    }

    TcpSocket listener_;
    Bytes block_;
    const uint64_t limit_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> ranOut_{false};
    std::atomic<uint64_t> sent_{0};
};

std::future<std::unique_ptr<SerialPort>> OpenAsync(const std::string& value) {
    return std::async(std::launch::async, [value] {
        std::string error;
        auto port = OpenRfc2217SerialPort(value, &error);
        EXPECT_NE(port, nullptr) << error;
        return port;
    });
}

// The server's side of an open: it takes up COM port control at once and
// acknowledges the baud rate.
void AnswerOpen(FakeServer& server) {
    ASSERT_TRUE(server.Accept());
    EXPECT_EQ(server.Read(kRequests.size()), kRequests);
    server.Send({kIac, kDo, 44, kIac, kDo, 0, kIac, kWill, 0});
    EXPECT_EQ(server.Read(kSettings.size()), kSettings);
    server.Send(kBaudAcknowledged);
}

std::unique_ptr<SerialPort> OpenAnswered(FakeServer& server) {
    auto future = OpenAsync(server.Value());
    AnswerOpen(server);
    return future.get();
}

LineStatus WaitForCount(SerialPort& port, uint32_t count) {
    LineStatus status = port.ClearErrors();
    for (int i = 0; i < 40 && status.bytesWaiting < count && status.errors == 0; ++i) {
        port.WaitForInput(50);
        status = port.ClearErrors();
    }
    return status;
}

TEST(Rfc2217SerialPort, ValuesOfThePortName) {
    const struct {
        const char* value;
        const char* host;  // nullptr: refused
        uint16_t port;
    } cases[] = {
        {"rfc2217://127.0.0.1:2000", "127.0.0.1", 2000},
        {"RFC2217://lab-box.local:65535", "lab-box.local", 65535},
        {"rfc2217://[::1]:7000", "::1", 7000},
        {"rfc2217://127.0.0.1", nullptr, 0},
        {"rfc2217://127.0.0.1:", nullptr, 0},
        {"rfc2217://:2000", nullptr, 0},
        {"rfc2217://127.0.0.1:0", nullptr, 0},
        {"rfc2217://127.0.0.1:65536", nullptr, 0},
        {"rfc2217://127.0.0.1:20x0", nullptr, 0},
        {"rfc2217://::1:7000", nullptr, 0},
        {"rfc2217://127.0.0.1:2000/", nullptr, 0},
        {"rfc2217://host/path:2000", nullptr, 0},
        {"telnet://127.0.0.1:2000", nullptr, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        std::string error;
        const auto address = ParseRfc2217Value(c.value, &error);
        if (c.host == nullptr) {
            EXPECT_FALSE(address.has_value());
            EXPECT_NE(error.find("rfc2217://HOST:PORT"), std::string::npos) << error;
            continue;
        }
        ASSERT_TRUE(address.has_value()) << error;
        EXPECT_EQ(address->host, c.host);
        EXPECT_EQ(address->port, c.port);
    }
}

TEST(Rfc2217SerialPort, NobodyListeningIsAPortThatDoesNotOpen) {
    std::string value;
    {
        FakeServer gone;
        value = gone.Value();
    }  // the listener is closed: the port number is free and refuses connections
    std::string error;
    EXPECT_EQ(OpenRfc2217SerialPort(value, &error), nullptr);
    EXPECT_EQ(error.rfind(value + ": ", 0), 0u) << error;
}

TEST(Rfc2217SerialPort, OpenNegotiatesThenPutsTheFixedLineOnTheRemotePort) {
    FakeServer server;
    auto port = OpenAnswered(server);
    ASSERT_NE(port, nullptr);

    // Choosing the port again sends the settings again; nothing else goes out.
    port->ApplyLineSettings();
    EXPECT_EQ(server.Read(kSettings.size()), kSettings);
    EXPECT_EQ(server.ReadRest(), Bytes{});
}

// ser2net turns a connection away while its port is still busy with the one before
// (a run that has just ended): the open makes the connection again, and the port it
// hands over is the connection that the server took up.
TEST(Rfc2217SerialPort, AConnectionTurnedAwayWhileItOpensIsMadeAgain) {
    FakeServer server;
    auto future = OpenAsync(server.Value());
    for (const TurnAway how : {TurnAway::Ser2netClosed, TurnAway::Ser2netReset, TurnAway::AtOnce}) {
        ASSERT_TRUE(server.Accept());
        server.TurnAway(how);
    }
    AnswerOpen(server);
    auto port = future.get();
    ASSERT_NE(port, nullptr);
    server.Send({0x5A});
    const LineStatus status = WaitForCount(*port, 1);
    EXPECT_EQ(status.errors, 0u);
    EXPECT_EQ(status.bytesWaiting, 1u);
}

// A server on its own thread that turns every connection away as ser2net does
// while someone else holds its port. With `pauseListening` it stops listening
// before it ends the first one, and listens again on the same port half a second
// later.
class TurningAwayServer {
  public:
    explicit TurningAwayServer(bool pauseListening) {
        std::string error;
        listener_ = TcpSocket::Listen("127.0.0.1", 0, &error);
        EXPECT_TRUE(listener_.Valid()) << error;
        port_ = listener_.LocalPort();
        thread_ = std::thread([this, pauseListening] { Run(pauseListening); });
    }
    ~TurningAwayServer() {
        stop_ = true;
        thread_.join();
    }
    std::string Value() const { return "rfc2217://127.0.0.1:" + std::to_string(port_); }
    int Connections() const { return connections_; }

  private:
    void Run(bool pauseListening) {
        while (!stop_) {
            TcpSocket::WaitReadable({&listener_}, 10000);
            TcpSocket conn = listener_.Accept();
            if (!conn.Valid())
                continue;
            const bool pause = pauseListening && ++connections_ == 1;
            if (!pauseListening)
                ++connections_;
            if (pause)
                listener_.Close();
            TurnAwayConnection(conn, TurnAway::Ser2netClosed);
            if (pause) {
                for (int i = 0; i < 50 && !stop_; ++i)
                    std::this_thread::sleep_for(std::chrono::milliseconds(10));
                std::string error;
                listener_ = TcpSocket::Listen("127.0.0.1", port_, &error);
            }
        }
    }

    TcpSocket listener_;
    uint16_t port_ = 0;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<int> connections_{0};
};

// Turned away for good, the open gives up after a while and says what the server
// said. A refused connection is final at once, also in the middle of that while.
TEST(Rfc2217SerialPort, AnOpenTurnedAwayForGoodOrRefusedFailsWithItsReason) {
    {
        TurningAwayServer server(false);
        std::string error;
        EXPECT_EQ(OpenRfc2217SerialPort(server.Value(), &error), nullptr);
        EXPECT_EQ(error, server.Value() +
                             ": the server closed the connection (the server said \"Port "
                             "already in use\")");
        EXPECT_GT(server.Connections(), 1);
    }
    {
        TurningAwayServer server(true);
        std::string error;
        EXPECT_EQ(OpenRfc2217SerialPort(server.Value(), &error), nullptr);
        EXPECT_EQ(error, server.Value() + ": Connection refused");
    }
}

TEST(Rfc2217SerialPort, ControlAndDataGoOutWithoutWaitingForAServerThatNeverAnswers) {
    FakeServer server;
    auto future = OpenAsync(server.Value());
    ASSERT_TRUE(server.Accept());
    EXPECT_EQ(server.Read(kRequests.size()), kRequests);
    // Not a word back: the open goes on after its bound and sends the settings.
    auto port = future.get();
    ASSERT_NE(port, nullptr);
    EXPECT_EQ(server.Read(kSettings.size()), kSettings);

    // The reset pulse and the flush: each command leaves at once, none waits for
    // an acknowledgement that will not come.
    port->SetRts(true);
    port->SetRts(false);
    port->Purge();
    const Bytes frame{0x73, 0x0C, 0xFF, 0xFF, 0x00};
    EXPECT_TRUE(port->Write(frame.data(), frame.size()));
    const Bytes expected = Cat({rfc2217::Command(5, {11}),
                                rfc2217::Command(5, {12}),
                                rfc2217::Command(12, {3}),
                                {0x73, 0x0C, 0xFF, 0xFF, 0xFF, 0xFF, 0x00}});
    EXPECT_EQ(server.Read(expected.size()), expected);
}

TEST(Rfc2217SerialPort, IncomingDataIsUnescapedAndLineStateBecomesLineErrors) {
    FakeServer server;
    auto port = OpenAnswered(server);
    ASSERT_NE(port, nullptr);

    // Data with an escaped FF, an acknowledgement of ours and an offer to echo in
    // between, a line-state notice cut in two.
    server.Send({0x12, kIac, kIac, kIac, kSb, 44, 105, 11, kIac, kSe, kIac, kWill, kOptEcho, 0x34,
                 kIac, kSb, 44});
    LineStatus status = WaitForCount(*port, 3);
    EXPECT_EQ(status.errors, 0u);
    EXPECT_EQ(status.bytesWaiting, 3u);
    Bytes got(8);
    got.resize(port->Read(got.data(), got.size()));
    EXPECT_EQ(got, (Bytes{0x12, 0xFF, 0x34}));
    // The echo is refused, nothing else answered.
    EXPECT_EQ(server.Read(3), (Bytes{kIac, kDont, kOptEcho}));

    server.Send({106, 0x0C | 0x60, kIac, kSe, 0x56});
    status = WaitForCount(*port, 1);
    EXPECT_EQ(status.errors, kCeFrame | kCeRxParity);
    EXPECT_EQ(status.bytesWaiting, 1u);
    EXPECT_EQ(port->ClearErrors().errors, 0u) << "reported once";

    // A purge drops what has arrived and not been read.
    port->Purge();
    EXPECT_EQ(port->ClearErrors().bytesWaiting, 0u);
    EXPECT_EQ(server.Read(7), rfc2217::Command(12, {3}));
}

TEST(Rfc2217SerialPort, ALostConnectionIsAnIoErrorUntilTheNextResetConnectsAgain) {
    for (bool reset : {false, true}) {
        SCOPED_TRACE(reset ? "connection reset" : "connection closed");
        FakeServer server;
        auto port = OpenAnswered(server);
        ASSERT_NE(port, nullptr);

        server.Close(reset);
        EXPECT_FALSE(port->WaitForInput(2000));
        EXPECT_EQ(port->ClearErrors().errors, kCeIoe);
        const Bytes frame{0x43, 0x0C, 0x00};
        EXPECT_FALSE(port->Write(frame.data(), frame.size()));
        EXPECT_EQ(port->ClearErrors().errors, kCeIoe) << "as long as it is gone";

        // The reset pulse of the next connect finds it gone and connects again.
        auto rts = std::async(std::launch::async, [&] { port->SetRts(true); });
        AnswerOpen(server);
        rts.get();
        EXPECT_EQ(server.Read(7), rfc2217::Command(5, {11}));
        EXPECT_EQ(port->ClearErrors().errors, 0u);
    }
}

// One look at the line takes in a bounded share of what waits: a backlog of NOPs
// far beyond that share, then a data byte, is not swallowed whole by one look (a
// server sending without end would keep that look from ever coming back).
TEST(Rfc2217SerialPort, OneLookTakesInABoundedShareOfWhatWaits) {
    FakeServer server;
    auto port = OpenAnswered(server);
    ASSERT_NE(port, nullptr);
    server.DeepenSendQueue();
    Bytes backlog;
    for (int i = 0; i < 512 * 1024; ++i)
        backlog.insert(backlog.end(), {kIac, kNop});
    backlog.push_back(0x5A);
    server.Send(backlog);
    EXPECT_EQ(port->ClearErrors().bytesWaiting, 0u);
    const LineStatus status = WaitForCount(*port, 1);
    EXPECT_EQ(status.bytesWaiting, 1u);
}

// A server that sends commands without end must not hold the client past its own
// deadlines: the open stops waiting for COM port control, a wait for input ends, and
// a look at the line comes back, while the flood is still going on.
TEST(Rfc2217SerialPort, AFloodOfCommandsHoldsNoWaitPastItsDeadline) {
    struct Case {
        const char* name;
        Bytes unit;
        uint32_t errors;  // what the look at the line finds
    };
    const Case cases[] = {
        {"line-state notices", rfc2217::Command(106, {0x60}), 0},
        {"NOPs", {kIac, kNop}, 0},
        {"error notices", rfc2217::Command(106, {0x08}), kCeFrame},
    };
    // Far more than the client takes in while it waits (some 100 to 250 MB here),
    // and what it must not wait for.
    constexpr uint64_t kFlood = 4ull << 30;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FloodServer server(c.unit, kFlood);
        std::string error;
        auto port = OpenRfc2217SerialPort(server.Value(), &error);
        ASSERT_NE(port, nullptr) << error;
        EXPECT_FALSE(port->WaitForInput(300));
        EXPECT_EQ(port->ClearErrors().errors & kCeFrame, c.errors);
        uint8_t buffer[16];
        EXPECT_EQ(port->Read(buffer, sizeof buffer), 0u);
        EXPECT_FALSE(server.RanOut()) << "the client waited for the end of the flood";
    }
}

}  // namespace
}  // namespace hc12
