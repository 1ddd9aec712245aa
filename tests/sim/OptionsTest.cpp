// Port values: board options, the port map, and opening a port value.
#include <gtest/gtest.h>

#include <cstdlib>

#include "BoardTestSupport.h"
#include "PortFactory.h"

namespace hc12::sim::test {
namespace {

TEST(BoardOptionsTest, ParsesEveryOption) {
    std::string error;
    const auto o = ParseBoardOptions(
        "virtual:model=MC9S12DT128,quartz=4,fail-after=900,unstable=0x0C10:2,stuck=0x0C20,"
        "eprot=0x85,eclkdiv=0x15,estat=0xC4,greeting=pawx,stray=2,line-error=7:0x0400,no-target,"
        "unplug=12,latency=16,exec=1500,strict",
        &error);
    ASSERT_TRUE(o) << error;
    EXPECT_EQ(o->model, "MC9S12DT128");
    EXPECT_EQ(o->quartzMhz, 4);
    EXPECT_EQ(o->silentAfterReplyBytes, 900);
    EXPECT_EQ(o->unstableAddress, 0x0C10);
    EXPECT_EQ(o->unstableReadings, 2);
    EXPECT_EQ(o->stuckAddress, 0x0C20);
    EXPECT_EQ(o->eprot, 0x85);
    EXPECT_EQ(o->eclkdivLocked, 0x15);
    EXPECT_EQ(o->estat, 0xC4);
    EXPECT_EQ(o->greeting, "pawx");
    EXPECT_EQ(o->strayBytes.size(), 2u);
    EXPECT_EQ(o->lineErrorAtReplyByte, 7);
    EXPECT_EQ(o->lineErrorBits, kCeIoe);
    EXPECT_FALSE(o->targetPresent);
    EXPECT_EQ(o->unplugAtReplyByte, 12);
    EXPECT_EQ(o->latencyMs, 16u);
    EXPECT_EQ(o->execUs, 1500u);
    EXPECT_TRUE(o->strict);

    const auto plain = ParseBoardOptions("virtual", &error);
    ASSERT_TRUE(plain);
    EXPECT_TRUE(plain->model.empty());
    EXPECT_EQ(plain->quartzMhz, 8);
    EXPECT_EQ(plain->greeting, "paww");
    EXPECT_TRUE(plain->targetPresent);
    EXPECT_EQ(plain->execUs, 0u);
    EXPECT_FALSE(plain->strict);
    EXPECT_EQ(ParseBoardOptions("model=MC9S12 Uniwersalna,stray=0x12/0", &error)->strayBytes,
              (Bytes{0x12, 0x00}));
}

TEST(BoardOptionsTest, RejectsUnknownKeysAndBadValues) {
    for (const char* bad :
         {"virtual:colour=red", "virtual:quartz=12", "virtual:model=Model", "virtual:model=HC13",
          "virtual:unstable=0x0C10", "virtual:stuck=0x10000", "virtual:eprot=256",
          "virtual:fail-after=x", "virtual:quartz", "virtual:no-target=1", "virtual:latency=256",
          "virtual:latency=-1", "virtual:exec=1000001", "virtual:exec", "virtual:strict=1"}) {
        std::string error;
        EXPECT_FALSE(ParseBoardOptions(bad, &error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
}

TEST(PortMapTest, DefaultsEnvironmentAndAssignments) {
    PortMap map = PortMap::Defaults();
    EXPECT_EQ(map.values[0], "/dev/ttyS0");
    EXPECT_EQ(map.values[3], "/dev/ttyS3");
    ::setenv("HC12_PORT_COM2", "virtual:quartz=4", 1);
    map.ApplyEnvironment();
    ::unsetenv("HC12_PORT_COM2");
    EXPECT_EQ(map.values[1], "virtual:quartz=4");
    EXPECT_EQ(map.values[2], "/dev/ttyS2");

    std::string error;
    EXPECT_TRUE(map.ApplyAssignment("COM1=/dev/ttyUSB0", &error));
    EXPECT_EQ(map.values[0], "/dev/ttyUSB0");
    for (const char* bad : {"COM5=/dev/ttyUSB0", "COM1", "COM1=", "=x"}) {
        EXPECT_FALSE(map.ApplyAssignment(bad, &error)) << bad;
        EXPECT_FALSE(error.empty());
    }
    EXPECT_EQ(map.values[0], "/dev/ttyUSB0");
}

TEST(PortValueTest, VirtualValueOpensAnOwnedBoard) {
    VirtualClock clock;
    std::unique_ptr<SerialPort> port = OpenPortValue("virtual:greeting=hi", clock);
    ASSERT_TRUE(port);
    port->SetRts(true);
    clock.SleepMs(200);
    port->SetRts(false);
    ASSERT_TRUE(port->WaitForInput(300));
    clock.SleepMs(5);
    uint8_t bytes[4] = {};
    EXPECT_EQ(port->Read(bytes, 4), 2u);
    EXPECT_EQ(bytes[0], 'h');
    EXPECT_EQ(bytes[1], 'i');

    EXPECT_FALSE(OpenPortValue("virtual:bogus", clock));
    EXPECT_FALSE(OpenPortValue("/nonexistent/hc12-port", clock));
}

}  // namespace
}  // namespace hc12::sim::test
