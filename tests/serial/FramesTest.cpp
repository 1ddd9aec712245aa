#include <gtest/gtest.h>

#include <vector>

#include "Frames.h"
#include "SerialLink.h"

namespace hc12 {
namespace {

std::vector<uint8_t> Bytes(const Frame& frame) {
    return {frame.bytes.begin(), frame.bytes.begin() + long(frame.size)};
}

TEST(Frames, EachFrameHasItsLetterAndArgumentsHighByteFirst) {
    using V = std::vector<uint8_t>;
    EXPECT_EQ(Bytes(ReadByteFrame(0x0115)), (V{0x43, 0x01, 0x15}));
    EXPECT_EQ(Bytes(ReadWordFrame(0x0800)), (V{0x4C, 0x08, 0x00}));
    EXPECT_EQ(Bytes(WriteByteFrame(0xFFF3, 0xA5)), (V{0x7A, 0xFF, 0xF3, 0xA5}));
    EXPECT_EQ(Bytes(WriteWordFrame(0x0C00, 0x12, 0x34)), (V{0x73, 0x0C, 0x00, 0x12, 0x34}));
    EXPECT_EQ(Bytes(ConfigureFrame(0x02)), (V{0x55, 0x02}));
    EXPECT_EQ(Bytes(RunFrame()), (V{0x52}));
}

TEST(Frames, ConfigByteForQuartzSetsOnlyTheClockBits) {
    struct Case {
        uint8_t before;
        int mhz;
        uint8_t after;
    };
    const Case cases[] = {
        {0x00, 16, 0x00}, {0x00, 8, 0x02}, {0x00, 4, 0x01}, {0xFF, 16, 0xFC}, {0xFF, 8, 0xFE},
        {0xFE, 4, 0xFD},  {0x01, 8, 0x02}, {0x02, 4, 0x01}, {0xA3, 12, 0xA3},  // unknown quartz:
                                                                               // unchanged
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ConfigByteForQuartz(c.before, c.mhz), c.after)
            << "config " << int(c.before) << " quartz " << c.mhz;
    }
}

TEST(BitsToByte, FirstCharacterIsBitSevenAndOnlyEightCount) {
    struct Case {
        const char* text;
        uint8_t value;
    };
    const Case cases[] = {
        {"11111100", 0xFC},  {"00000001", 0x01},     {"10000000", 0x80}, {"", 0x00},
        {"1", 0x80},         {"01", 0x40},           {"1x1-1", 0xA8},  // others count as 0
        {"000000001", 0x00}, {"111111111111", 0xFF},                   // past the eighth
        {nullptr, 0x00},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BitsToByte(c.text), c.value) << (c.text ? c.text : "(null)");
    }
}

}  // namespace
}  // namespace hc12
