#include "Rfc2217.h"

#include "SerialPort.h"
#include "TelnetCodec.h"

namespace hc12::rfc2217 {

namespace {
struct BitPair {
    uint8_t line;
    uint32_t error;
};
constexpr BitPair kBits[] = {
    {kLineOverrun, kCeOverrun},
    {kLineParity, kCeRxParity},
    {kLineFraming, kCeFrame},
    {kLineBreak, kCeBreak},
};
}  // namespace

uint32_t LineStateToErrors(uint8_t lineState) {
    uint32_t errors = 0;
    for (const BitPair& b : kBits)
        if (lineState & b.line)
            errors |= b.error;
    return errors;
}

uint8_t ErrorsToLineState(uint32_t errors) {
    uint8_t line = 0;
    for (const BitPair& b : kBits)
        if (errors & b.error)
            line |= b.line;
    return line;
}

std::vector<uint8_t> Command(uint8_t command, std::vector<uint8_t> value) {
    value.insert(value.begin(), command);
    std::vector<uint8_t> out;
    telnet::AppendSubnegotiation(out, telnet::kOptComPort, value);
    return out;
}

std::vector<uint8_t> BaudValue(uint32_t baud) {
    return {uint8_t(baud >> 24), uint8_t(baud >> 16), uint8_t(baud >> 8), uint8_t(baud)};
}

}  // namespace hc12::rfc2217
