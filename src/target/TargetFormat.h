// Number texts the target operations put into fields and messages.
#pragma once

#include <cstdint>
#include <string>

namespace hc12::targetfmt {

// Exactly two / four upper-case hexadecimal digits of the low 8 / 16 bits.
inline std::string Hex2(uint32_t value) {
    static const char digits[] = "0123456789ABCDEF";
    return {digits[(value >> 4) & 0xF], digits[value & 0xF]};
}

inline std::string Hex4(uint32_t value) {
    return Hex2(value >> 8) + Hex2(value);
}

}  // namespace hc12::targetfmt
