// The adapter's latency timer as Linux shows it in sysfs.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include "LatencyTimer.h"

namespace hc12 {
namespace {

namespace fs = std::filesystem;

class LatencyTimerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::path(::testing::TempDir()) / ("hc12_latency_" + std::to_string(getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "sys");
        fs::create_directories(dir_ / "dev" / "by-id");
    }
    void TearDown() override { fs::remove_all(dir_); }
    void Timer(const std::string& tty, const std::string& text) {
        fs::create_directories(dir_ / "sys" / tty / "device");
        std::ofstream(dir_ / "sys" / tty / "device" / "latency_timer") << text;
    }
    std::string Root() const { return (dir_ / "sys").string(); }
    fs::path dir_;
};

TEST_F(LatencyTimerTest, ReadsTheTimerOfTheDeviceBehindAnyLink) {
    Timer("ttyUSB7", "16\n");
    // A device node that exists here (a plain file stands in for it) and a by-id link.
    std::ofstream(dir_ / "dev" / "ttyUSB7");
    fs::create_symlink(dir_ / "dev" / "ttyUSB7", dir_ / "dev" / "by-id" / "usb-FTDI_FT232R-if00");
    for (const fs::path& path : {fs::path("/dev/ttyUSB7"), dir_ / "dev" / "ttyUSB7",
                                 dir_ / "dev" / "by-id" / "usb-FTDI_FT232R-if00"}) {
        SCOPED_TRACE(path.string());
        const auto latency = ReadAdapterLatency(path.string(), Root());
        ASSERT_TRUE(latency);
        EXPECT_EQ(latency->ttyName, "ttyUSB7");
        EXPECT_EQ(latency->ms, 16);
    }
}

TEST_F(LatencyTimerTest, NoTimerWhereTheDriverShowsNone) {
    Timer("ttyUSB1", "garbage");
    fs::create_directories(dir_ / "sys" / "ttyS0" / "device");
    Timer("ttyUSB0", "16");
    for (const char* path : {"/dev/ttyS0", "/dev/ttyUSB1", "/dev/ttyACM0", "/dev/", "ttyUSB0",
                             "virtual:model=HC12B", "rfc2217://ttyUSB0"})
        EXPECT_FALSE(ReadAdapterLatency(path, Root())) << path;
}

TEST(LatencyAdvice, NamesTheCostAndTheSetting) {
    EXPECT_EQ(LatencyCostSeconds(1), 0);
    EXPECT_EQ(LatencyCostSeconds(16), 62);  // 4096 replies x 15 ms
    const std::string line = LatencyAdviceLine("/dev/ttyUSB0", {"ttyUSB0", 16});
    EXPECT_EQ(line.find('\n'), std::string::npos);
    EXPECT_NE(line.find("16 ms"), std::string::npos) << line;
    EXPECT_NE(line.find("62 s"), std::string::npos) << line;
    EXPECT_NE(line.find("/sys/class/tty/ttyUSB0/device/latency_timer"), std::string::npos) << line;
    EXPECT_NE(line.find("README"), std::string::npos) << line;
}

}  // namespace
}  // namespace hc12
