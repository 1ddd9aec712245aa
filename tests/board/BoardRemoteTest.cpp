// The command-line program reaching hc12prog-board over the network on 127.0.0.1:
// the board served over RFC 2217 by itself, and its pseudo-terminal behind Debian's
// ser2net, a server nobody here wrote. Connect, read, a small write and the board's
// dump compared, on both families.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "BoardCliTest.h"
#include "Ser2netProcess.h"

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

}  // namespace
}  // namespace hc12::testing
