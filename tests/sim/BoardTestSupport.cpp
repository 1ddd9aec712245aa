#include "BoardTestSupport.h"

namespace hc12::sim::test {

uint8_t ConfigFor(int mhz) {
    return mhz == 16 ? 0x00 : mhz == 8 ? 0x02 : 0x01;
}

void BoardTest::Make(BoardOptions options) {
    port.reset();
    board = std::make_unique<VirtualBoard>(clock, std::move(options));
    port = board->OpenPort();
}

void BoardTest::Pulse(uint32_t holdMs) {
    port->SetRts(true);
    clock.SleepMs(holdMs);
    port->SetRts(false);
    clock.SleepMs(10);
}

Bytes BoardTest::Receive(size_t count) {
    Bytes out;
    while (out.size() < count) {
        if (!port->WaitForInput(300))
            break;
        const LineStatus status = port->ClearErrors();
        if (status.errors)
            break;
        uint8_t byte = 0;
        if (port->Read(&byte, 1) == 1)
            out.push_back(byte);
    }
    return out;
}

void BoardTest::Send(const Bytes& frame) {
    ASSERT_TRUE(port->Write(frame.data(), frame.size()));
}

void BoardTest::Start(uint8_t config) {
    Pulse();
    ASSERT_EQ(Receive(4), (Bytes{'p', 'a', 'w', 'w'}));
    Send({'R'});
    clock.SleepMs(10);
    Send({'U', config});
}

uint8_t BoardTest::ReadByte(uint16_t address) {
    Send({'C', uint8_t(address >> 8), uint8_t(address)});
    const Bytes reply = Receive(1);
    EXPECT_EQ(reply.size(), 1u) << "no reply to C at " << address;
    return reply.empty() ? 0 : reply[0];
}

Bytes BoardTest::ReadWord(uint16_t address) {
    Send({'L', uint8_t(address >> 8), uint8_t(address)});
    return Receive(2);
}

}  // namespace hc12::sim::test
