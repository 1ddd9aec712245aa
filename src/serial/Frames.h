// The frames the programming interface understands, built in one place.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace hc12 {

struct Frame {
    std::array<uint8_t, 5> bytes{};
    size_t size = 0;
};

Frame ReadByteFrame(uint16_t address);                          // 'C' hi lo      -> 1 byte
Frame ReadWordFrame(uint16_t address);                          // 'L' hi lo      -> 2 bytes
Frame WriteByteFrame(uint16_t address, uint8_t value);          // 'z' hi lo v    -> none
Frame WriteWordFrame(uint16_t address, uint8_t first, uint8_t second);  // 's' hi lo a b -> none
Frame ConfigureFrame(uint8_t configByte);                       // 'U' cfg        -> none
Frame RunFrame();                                               // 'R'            -> none

// How many bytes the interface answers a frame with (ReadByte 1, ReadWord 2, others 0).
size_t ReplyLength(const Frame& frame);

// Clock bits (1:0) of the configure byte for a quartz of 16, 8 or 4 MHz; the other
// bits of `configByte` are kept.
uint8_t ConfigByteForQuartz(uint8_t configByte, int quartzMhz);

}  // namespace hc12
