// The interface's frame time as the programs take it from the user: whole
// microseconds, 0 to 1000000, from the environment (HC12_FRAME_TIME_US) and then
// from the command line (--frame-time US), which wins.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace hc12 {

inline constexpr char kFrameTimeVariable[] = "HC12_FRAME_TIME_US";

std::optional<uint32_t> ParseFrameTimeUs(const std::string& text);

// Sets *us from the environment when the variable is set; false with an error text
// when its value is no frame time.
bool FrameTimeFromEnvironment(uint32_t* us, std::string* error);

// "WHERE takes ..., not "TEXT"": the error text for a value that is no frame time.
std::string FrameTimeError(const std::string& where, const std::string& text);

}  // namespace hc12
