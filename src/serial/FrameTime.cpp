#include "FrameTime.h"

#include <cstdlib>

#include "SerialLink.h"

namespace hc12 {

std::optional<uint32_t> ParseFrameTimeUs(const std::string& text) {
    if (text.empty() || text.size() > 7)
        return std::nullopt;
    uint32_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + uint32_t(c - '0');
    }
    if (value > kMaxFrameTimeUs)
        return std::nullopt;
    return value;
}

bool FrameTimeFromEnvironment(uint32_t* us, std::string* error) {
    const char* value = std::getenv(kFrameTimeVariable);
    if (value == nullptr || *value == '\0')
        return true;
    const std::optional<uint32_t> parsed = ParseFrameTimeUs(value);
    if (!parsed) {
        if (error != nullptr)
            *error = FrameTimeError(kFrameTimeVariable, value);
        return false;
    }
    *us = *parsed;
    return true;
}

std::string FrameTimeError(const std::string& where, const std::string& text) {
    return where + " takes the interface's time for one frame in microseconds, 0 to " +
           std::to_string(kMaxFrameTimeUs) + ", not \"" + text + "\"";
}

}  // namespace hc12
