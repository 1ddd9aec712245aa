// The command-line program reaching hc12prog-board over the network on 127.0.0.1:
// the board served over RFC 2217 by itself, and its pseudo-terminal behind Debian's
// ser2net, a server nobody here wrote. Connect, read, a small write and the board's
// dump compared, on both families.
#include <gtest/gtest.h>

#include <sys/socket.h>

#include <cstdlib>
#include <functional>
#include <future>
#include <memory>
#include <thread>

#include "BoardCliTest.h"
#include "Rfc2217.h"
#include "Rfc2217SerialPort.h"
#include "Ser2netProcess.h"
#include "TcpSocket.h"

namespace hc12::testing {
namespace {

class BoardRfc2217 : public BoardCli {
  protected:
    void Cycle(const Family& family) {
        BoardCli::Cycle(family, {"--rfc2217", "127.0.0.1:0"}, [](const std::string& served) {
            return served.rfind("rfc2217://127.0.0.1:", 0) == 0 ? served : std::string();
        });
    }
};

TEST_F(BoardRfc2217, HcTwelveServedByTheBoard) {
    Cycle(kHc12);
}

TEST_F(BoardRfc2217, McNineS12ServedByTheBoardWithQuartzDetection) {
    Cycle(kMc9s12);
}

// Clients that misbehave towards the board's own server: one that leaves a burst
// behind, one that purges only its own direction, one that connects and says
// nothing. A good client after them is served at once.
class BoardServedClients : public BoardCli {
  protected:
    // The board on 127.0.0.1; its port value, "" when it did not start.
    std::string Start(const std::vector<std::string>& extra = {}) {
        std::vector<std::string> args{"--rfc2217", "127.0.0.1:0"};
        args.insert(args.end(), extra.begin(), extra.end());
        args.push_back("model=HC912D60x");
        board_ = std::make_unique<BoardProcess>(args);
        const std::string& value = board_->path();
        return value.rfind("rfc2217://127.0.0.1:", 0) == 0 ? value : std::string();
    }
    static TcpSocket ConnectTo(const std::string& value) {
        std::string error;
        TcpSocket s =
            TcpSocket::Connect("127.0.0.1", uint16_t(std::stoi(value.substr(20))), 2000, &error);
        EXPECT_TRUE(s.Valid()) << error;
        return s;
    }
    // What arrives on `s` until `done` says so or the board has been quiet for
    // `quietMs`; false in `*closed` unless the board closed the connection.
    static std::string Gather(TcpSocket& s, uint32_t quietMs,
                              const std::function<bool(const std::string&)>& done,
                              bool* closed = nullptr) {
        std::string got;
        uint8_t buffer[4096];
        if (closed != nullptr)
            *closed = false;
        while (!done(got) && TcpSocket::WaitReadable({&s}, uint64_t(quietMs) * 1000)) {
            const long n = s.Receive(buffer, sizeof buffer);
            if (n < 0) {
                if (closed != nullptr)
                    *closed = true;
                break;
            }
            got.append(reinterpret_cast<const char*>(buffer), size_t(n));
        }
        return got;
    }
    std::string Common(const std::string& value) const {
        return "--port '" + value + "' --model HC912D60x --quartz 8 ";
    }

    std::unique_ptr<BoardProcess> board_;
};

// What a client sent and the board has not carried out goes with the client: the
// next one finds the interface answering, not busy with 38400 baud of garbage.
TEST_F(BoardServedClients, ABurstLeftBehindIsDroppedWithItsClient) {
    const std::string value = Start();
    ASSERT_NE(value, "");
    {
        TcpSocket burst = ConnectTo(value);
        Bytes garbage(64 * 1024, 0x00);
        garbage.resize(garbage.size() + (1 << 20), 0xFF);
        ASSERT_TRUE(burst.SendAll(garbage.data(), garbage.size(), 10000));
        // Its end, as the board sees a client that has gone; the board's answer
        // comes back on the half still open. Carrying out the burst would take
        // minutes.
        shutdown(int(burst.NativeHandle()), SHUT_WR);
        bool closed = false;
        Gather(
            burst, 10000, [](const std::string&) { return false; }, &closed);
        EXPECT_TRUE(closed) << "the board still carries out the burst";
    }
    std::string err;
    EXPECT_EQ(Cli(Common(value) + "--count 16 read '" + File("read.bin").string() + "'", &err), 0)
        << err;
    EXPECT_EQ(ReadFile(File("read.bin")), Bytes(16, 0xFF));
}

// A purge of the transmit buffer only takes nothing from what the board has for
// the client: on a line without RTS only a purge of what came in from the board
// (the start of a connect) readies it to greet after a quiet spell.
TEST_F(BoardServedClients, APurgeTouchesOnlyTheBufferItNames) {
    const std::string value = Start();
    ASSERT_NE(value, "");
    TcpSocket client = ConnectTo(value);
    auto purge = [&](uint8_t which) {
        const Bytes command = rfc2217::Command(rfc2217::kPurgeData, {which});
        ASSERT_TRUE(client.SendAll(command.data(), command.size(), 1000));
    };
    auto greeted = [](const std::string& got) { return got.find("paww") != std::string::npos; };
    purge(rfc2217::kPurgeTransmit);
    // Far longer than the quiet the board waits for before it greets.
    EXPECT_FALSE(greeted(Gather(client, 1500, greeted)));
    purge(rfc2217::kPurgeReceive);
    EXPECT_TRUE(greeted(Gather(client, 3000, greeted)));
}

// A client that connects and says nothing does not keep the board for ever. (The
// program, turned away, tries again for a while: the limit outlasts that.)
TEST_F(BoardServedClients, AnIdleClientGivesWayAfterTheIdleLimit) {
    static_assert(kRfc2217TurnedAwayRetryMs < 3000);
    const std::string value = Start({"--idle-limit", "4"});
    ASSERT_NE(value, "");
    TcpSocket idle = ConnectTo(value);
    std::string err;
    EXPECT_EQ(Cli(Common(value) + "connect", &err), 3) << "the board is taken: " << err;
    bool closed = false;
    Gather(
        idle, 10000, [](const std::string&) { return false; }, &closed);
    EXPECT_TRUE(closed) << "the idle client was not dropped";
    EXPECT_EQ(Cli(Common(value) + "connect", &err), 0) << err;
}

// A pseudo-terminal carries no RTS: the board resets on the quiet line around the
// pulse that ser2net cannot pass on.
class BehindSer2net : public BoardCli {
  protected:
    void SetUp() override {
        BoardCli::SetUp();
        exe_ = Ser2netProcess::Find();
        if (exe_.empty()) {
            const char* require = std::getenv("HC12_REQUIRE_SER2NET");
            if (require != nullptr && std::string(require) == "1")
                FAIL() << "ser2net is not installed (tools/install-deps.sh installs it)";
            GTEST_SKIP() << "ser2net is not installed (tools/install-deps.sh installs it)";
        }
    }
    void TearDown() override {
        ser2net_.reset();
        BoardCli::TearDown();
    }

    void Cycle(const Family& family, const std::string& accepter) {
        BoardCli::Cycle(family, {},
                        [&](const std::string& served) { return Ser2net(served, accepter); });
    }

    // Ser2net in front of the board's pseudo-terminal, as the README suggests it.
    std::string Ser2net(const std::string& served, const std::string& accepter) {
        if (served.rfind("/dev/pts/", 0) != 0)
            return "";
        ser2net_ = std::make_unique<Ser2netProcess>(
            exe_, dir_, served, std::vector<std::string>{"chardelay: false"}, accepter);
        if (ser2net_->port() == 0) {
            ADD_FAILURE() << "ser2net did not start:\n" << ser2net_->log();
            return "";
        }
        return ser2net_->PortValue();
    }

    std::string exe_;
    std::unique_ptr<Ser2netProcess> ser2net_;
};

// The plain configuration, and the one the README suggests (Nagle off on
// ser2net's side as well).
TEST_F(BehindSer2net, HcTwelve) {
    Cycle(kHc12, "tcp");
}

TEST_F(BehindSer2net, McNineS12WithQuartzDetection) {
    Cycle(kMc9s12, "tcp(nodelay)");
}

TEST_F(BehindSer2net, HcTwelveChangedFourKilobyteImage) {
    ChangedImageCycle(kHc12Big, {},
                      [&](const std::string& served) { return Ser2net(served, "tcp(nodelay)"); });
}

TEST_F(BehindSer2net, McNineS12ChangedFourKilobyteImage) {
    ChangedImageCycle(kMc9s12Big, {},
                      [&](const std::string& served) { return Ser2net(served, "tcp(nodelay)"); });
}

// Runs one after another, as a script makes them: each connection comes while
// ser2net may still be closing the one before, and every other one while the one
// before is still open (ser2net then says "Port already in use" and closes, or
// resets). Every open gets through, and the board answers the run after them.
TEST_F(BehindSer2net, TwentyConnectionsBackToBack) {
    BoardProcess board({"model=HC912D60x"});
    const std::string value = Ser2net(board.path(), "tcp(nodelay)");
    ASSERT_NE(value, "");
    std::unique_ptr<SerialPort> port;
    for (int i = 0; i < 20; ++i) {
        SCOPED_TRACE(i);
        if (i % 2 == 0)
            port.reset();
        auto next = std::async(std::launch::async, [&value] {
            std::string error;
            auto opened = OpenRfc2217SerialPort(value, &error);
            EXPECT_NE(opened, nullptr) << error;
            return opened;
        });
        if (port)  // time for the next one to come while this one is open
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        port.reset();
        port = next.get();
        ASSERT_NE(port, nullptr);
        EXPECT_EQ(port->ClearErrors().errors, 0u);
    }
    port.reset();
    std::string err;
    EXPECT_EQ(Cli("--port '" + value + "' --model HC912D60x --quartz 8 connect", &err), 0) << err;
}

}  // namespace
}  // namespace hc12::testing
