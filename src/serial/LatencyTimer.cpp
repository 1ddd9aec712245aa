#include "LatencyTimer.h"

#include <filesystem>
#include <fstream>
#include <system_error>

namespace hc12 {

std::optional<AdapterLatency> ReadAdapterLatency(const std::string& devicePath,
                                                 const std::string& sysfsTtyRoot) {
#ifdef __linux__
    // Device paths only: not the virtual board, not a network port.
    if (devicePath.empty() || devicePath[0] != '/')
        return std::nullopt;
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path device = fs::canonical(devicePath, ec);
    if (ec)
        device = devicePath;
    const std::string name = device.filename().string();
    if (name.empty())
        return std::nullopt;
    std::ifstream in(fs::path(sysfsTtyRoot) / name / "device" / "latency_timer");
    int ms = 0;
    if (!(in >> ms) || ms < 0)
        return std::nullopt;
    return AdapterLatency{name, ms};
#else
    (void)devicePath;
    (void)sysfsTtyRoot;
    return std::nullopt;
#endif
}

int LatencyCostSeconds(int ms) {
    constexpr int kRepliesOfA4KiBRead = 4096;
    return ms <= 1 ? 0 : (kRepliesOfA4KiBRead * (ms - 1) + 999) / 1000;
}

std::string LatencyAdviceLine(const std::string& devicePath, const AdapterLatency& latency) {
    const std::string ms = std::to_string(latency.ms);
    return devicePath + ": the adapter holds every reply " + ms +
           " ms (its latency timer), which makes a 4 KiB read about " +
           std::to_string(LatencyCostSeconds(latency.ms)) +
           " s slower than at 1 ms; set it to 1 ms with \"echo 1 | sudo tee /sys/class/tty/" +
           latency.ttyName +
           "/device/latency_timer\", or for good with the udev rule in the README";
}

}  // namespace hc12
