// The six frames of the programming interface. Addresses go high byte first.
#include "Frames.h"

#include <initializer_list>

namespace hc12 {

namespace {
Frame Make(std::initializer_list<uint8_t> bytes) {
    Frame frame;
    for (uint8_t b : bytes) {
        frame.bytes[frame.size++] = b;
    }
    return frame;
}
uint8_t Hi(uint16_t address) {
    return uint8_t(address >> 8);
}
uint8_t Lo(uint16_t address) {
    return uint8_t(address & 0xFF);
}
}  // namespace

Frame ReadByteFrame(uint16_t address) {
    return Make({0x43, Hi(address), Lo(address)});
}

Frame ReadWordFrame(uint16_t address) {
    return Make({0x4C, Hi(address), Lo(address)});
}

Frame WriteByteFrame(uint16_t address, uint8_t value) {
    return Make({0x7A, Hi(address), Lo(address), value});
}

Frame WriteWordFrame(uint16_t address, uint8_t first, uint8_t second) {
    return Make({0x73, Hi(address), Lo(address), first, second});
}

Frame ConfigureFrame(uint8_t configByte) {
    return Make({0x55, configByte});
}

Frame RunFrame() {
    return Make({0x52});
}

size_t ReplyLength(const Frame& frame) {
    if (frame.size == 0)
        return 0;
    return frame.bytes[0] == 0x43 ? 1 : frame.bytes[0] == 0x4C ? 2 : 0;
}

uint8_t ConfigByteForQuartz(uint8_t configByte, int quartzMhz) {
    const uint8_t others = configByte & 0xFC;
    switch (quartzMhz) {
        case 16:
            return others;
        case 8:
            return others | 0x02;
        case 4:
            return others | 0x01;
        default:
            // Not a quartz the interface knows: leave the clock bits as they are.
            return configByte;
    }
}

}  // namespace hc12
