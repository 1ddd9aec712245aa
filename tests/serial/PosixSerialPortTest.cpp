// The POSIX port over a pseudo-terminal pair: the port opens the slave side, the test
// plays the interface on the master side.
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "PosixSerialPort.h"
#include "SerialLink.h"

namespace hc12 {
namespace {

using Bytes = std::vector<uint8_t>;

class PosixSerialPortTest : public ::testing::Test {
  protected:
    void SetUp() override {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(master_, 0);
        ASSERT_EQ(grantpt(master_), 0);
        ASSERT_EQ(unlockpt(master_), 0);
        const char* name = ptsname(master_);
        ASSERT_NE(name, nullptr);
        slavePath_ = name;
        // Held open by the test (before the port locks it) to look at the settings
        // the port put on the line.
        slave_ = open(slavePath_.c_str(), O_RDWR | O_NOCTTY);
        ASSERT_GE(slave_, 0);
    }
    void TearDown() override {
        if (slave_ >= 0)
            close(slave_);
        if (master_ >= 0)
            close(master_);
    }

    std::unique_ptr<SerialPort> OpenPort() {
        std::string error;
        auto port = OpenPosixSerialPort(slavePath_, &error);
        EXPECT_NE(port, nullptr) << error;
        return port;
    }

    void MasterWrite(const Bytes& bytes) {
        ASSERT_EQ(write(master_, bytes.data(), bytes.size()), ssize_t(bytes.size()));
    }

    Bytes MasterRead(size_t count) {
        Bytes got;
        while (got.size() < count) {
            pollfd pfd{master_, POLLIN, 0};
            if (poll(&pfd, 1, 2000) <= 0)
                break;
            uint8_t buf[64];
            const ssize_t n = read(master_, buf, sizeof buf);
            if (n <= 0)
                break;
            got.insert(got.end(), buf, buf + n);
        }
        return got;
    }

    // Waits (bounded) until the port reports `count` bytes waiting.
    LineStatus WaitForCount(SerialPort& port, uint32_t count) {
        LineStatus status = port.ClearErrors();
        for (int i = 0; i < 50 && status.bytesWaiting < count; ++i) {
            port.WaitForInput(100);
            status = port.ClearErrors();
        }
        return status;
    }

    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
};

void ExpectFixedLineSettings(int fd) {
    termios t{};
    ASSERT_EQ(tcgetattr(fd, &t), 0);
    EXPECT_EQ(cfgetospeed(&t), speed_t(B38400));
    EXPECT_EQ(cfgetispeed(&t), speed_t(B38400));
    EXPECT_EQ(t.c_cflag & CSIZE, tcflag_t(CS8));
    EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), tcflag_t(CLOCAL | CREAD));
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | ICRNL | INLCR | IGNCR | ISTRIP), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
}

TEST_F(PosixSerialPortTest, OpenPutsTheFixedRawLineOnThePortAndApplyRestoresIt) {
    auto port = OpenPort();
    ASSERT_NE(port, nullptr);
    ExpectFixedLineSettings(slave_);

    // Someone puts a cooked 9600 line on it; choosing the port again undoes that.
    termios t{};
    ASSERT_EQ(tcgetattr(slave_, &t), 0);
    cfsetispeed(&t, B9600);
    cfsetospeed(&t, B9600);
    t.c_lflag |= ICANON | ECHO;
    t.c_cflag |= PARENB;
    ASSERT_EQ(tcsetattr(slave_, TCSANOW, &t), 0);
    port->ApplyLineSettings();
    ExpectFixedLineSettings(slave_);
}

TEST_F(PosixSerialPortTest, CarriesBytesBothWaysUntouched) {
    auto port = OpenPort();
    ASSERT_NE(port, nullptr);
    // A pseudo-terminal has no modem lines; driving them must not get in the way.
    port->SetRts(true);
    port->SetRts(false);

    const Bytes out{0x43, 0x0D, 0x0A, 0x00, 0x11, 0x13, 0xFF};
    EXPECT_TRUE(port->Write(out.data(), out.size()));
    EXPECT_EQ(MasterRead(out.size()), out);

    const Bytes in{0x70, 0x61, 0x77, 0x77, 0x0D, 0x03, 0x11};
    MasterWrite(in);
    EXPECT_TRUE(port->WaitForInput(2000));
    const LineStatus status = WaitForCount(*port, uint32_t(in.size()));
    EXPECT_EQ(status.bytesWaiting, in.size());
    EXPECT_EQ(status.errors, 0u);

    Bytes got(32);
    got.resize(port->Read(got.data(), got.size()));
    EXPECT_EQ(got, in);
    EXPECT_EQ(port->ClearErrors().bytesWaiting, 0u);
    EXPECT_FALSE(port->WaitForInput(1));
}

TEST_F(PosixSerialPortTest, ReadTakesNoMoreThanAskedAndLeavesTheRest) {
    auto port = OpenPort();
    ASSERT_NE(port, nullptr);
    MasterWrite({1, 2, 3, 4, 5});
    ASSERT_EQ(WaitForCount(*port, 5).bytesWaiting, 5u);

    uint8_t buf[8] = {};
    ASSERT_EQ(port->Read(buf, 2), 2u);
    EXPECT_EQ(buf[0], 1);
    EXPECT_EQ(buf[1], 2);
    EXPECT_EQ(port->ClearErrors().bytesWaiting, 3u);
}

TEST_F(PosixSerialPortTest, PurgeDiscardsWhatIsWaiting) {
    auto port = OpenPort();
    ASSERT_NE(port, nullptr);
    MasterWrite({9, 8, 7, 6, 5, 4, 3, 2});
    ASSERT_EQ(WaitForCount(*port, 8).bytesWaiting, 8u);

    port->Purge();
    EXPECT_EQ(port->ClearErrors().bytesWaiting, 0u);
    uint8_t buf[8];
    EXPECT_EQ(port->Read(buf, sizeof buf), 0u);
}

TEST_F(PosixSerialPortTest, ASecondOpenIsRefusedUntilTheFirstIsClosed) {
    auto first = OpenPort();
    ASSERT_NE(first, nullptr);

    std::string error;
    EXPECT_EQ(OpenPosixSerialPort(slavePath_, &error), nullptr);
    EXPECT_FALSE(error.empty());

    first.reset();
    EXPECT_NE(OpenPort(), nullptr);
}

TEST_F(PosixSerialPortTest, LineGoingAwayIsReportedAsAnIoErrorAndAHangUp) {
    auto port = OpenPort();
    ASSERT_NE(port, nullptr);
    ASSERT_EQ(port->ClearErrors().errors, 0u);
    EXPECT_FALSE(port->HungUp());

    // Closing the master hangs the line up, as pulling out a USB adapter does.
    close(master_);
    master_ = -1;
    EXPECT_TRUE(port->HungUp());  // seen without waiting for input
    port->WaitForInput(1000);
    EXPECT_NE(port->ClearErrors().errors & kCeIoe, 0u);
    EXPECT_TRUE(port->HungUp());
}

class CountingView final : public LinkView {
  public:
    MsgAnswer ShowMessage(const Message& message) override {
        texts.push_back(message.text);
        return MsgAnswer::Ok;
    }
    void ShowNotConnected() override {}
    std::vector<std::string> texts;
};

// The device name stays (as a udev link does) while the adapter behind it is pulled
// out and plugged in again as a new terminal: the link drops the dead port and the
// next choice reaches the new one.
TEST_F(PosixSerialPortTest, LinkReopensADeviceThatWasUnpluggedAndPluggedInAgain) {
    char dirTemplate[] = "/tmp/hc12ptyXXXXXX";
    ASSERT_NE(mkdtemp(dirTemplate), nullptr);
    const std::string dir = dirTemplate;
    const std::string device = dir + "/ttyUSB0";
    ASSERT_EQ(symlink(slavePath_.c_str(), device.c_str()), 0);
    close(slave_);
    slave_ = -1;

    SteadyClock clock;
    CountingView view;
    SerialLink link(clock, view, [&](const std::string&) {
        std::string error;
        return OpenPosixSerialPort(device, &error);
    });
    ASSERT_TRUE(link.OpenPort(0));
    link.SetConnectionState(kConnected);

    close(master_);  // unplugged
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master_, 0);
    EXPECT_EQ(link.Exchange(1, -1), 0);
    EXPECT_FALSE(link.Connected());
    EXPECT_EQ(view.texts, std::vector<std::string>{"Wykryto b\xC5\x82\xC4\x99"
                                                   "dy I/O"});
    EXPECT_FALSE(link.PortValid());

    // Plugged in again: a new terminal behind the same name.
    ASSERT_EQ(grantpt(master_), 0);
    ASSERT_EQ(unlockpt(master_), 0);
    ASSERT_EQ(unlink(device.c_str()), 0);
    ASSERT_EQ(symlink(ptsname(master_), device.c_str()), 0);
    EXPECT_TRUE(link.OpenPort(0));
    link.SetConnectionState(kConnected);
    MasterWrite({0x42});
    EXPECT_EQ(link.Exchange(1, -1), 0x42);
    EXPECT_TRUE(link.Connected());
    EXPECT_EQ(view.texts.size(), 1u);

    link.CloseAll();
    unlink(device.c_str());
    rmdir(dir.c_str());
}

TEST(PosixSerialPort, MissingDeviceOrNonTerminalIsReported) {
    for (const std::string path : {"/dev/hc12-no-such-port", "/dev/null"}) {
        std::string error;
        EXPECT_EQ(OpenPosixSerialPort(path, &error), nullptr) << path;
        EXPECT_NE(error.find(path), std::string::npos) << error;
    }
}

}  // namespace
}  // namespace hc12
