// USB serial adapters (FTDI and kin) hold received bytes for their latency timer
// before passing them on, 16 ms by default: with one request and one reply per word
// that timer, not the line, sets the pace. Linux shows it in sysfs.
#pragma once

#include <optional>
#include <string>

namespace hc12 {

// Above this the adapter costs noticeably more than the line itself.
inline constexpr int kLatencyTimerGoodMs = 2;

struct AdapterLatency {
    std::string ttyName;  // "ttyUSB0"
    int ms = 0;
};

// The latency timer of the adapter behind `devicePath` (symbolic links followed, so
// /dev/serial/by-id/... works), read from <sysfsTtyRoot>/<name>/device/latency_timer.
// nullopt where the driver shows none (built-in UARTs, pseudo-terminals, other
// systems).
std::optional<AdapterLatency> ReadAdapterLatency(
    const std::string& devicePath, const std::string& sysfsTtyRoot = "/sys/class/tty");

// What a 4 KiB read (4096 replies) loses to the timer against 1 ms, in seconds.
int LatencyCostSeconds(int ms);

// The command-line program's one line about a slow adapter: the cost, and how to
// set the timer now (the udev rule in the README keeps it set).
std::string LatencyAdviceLine(const std::string& devicePath, const AdapterLatency& latency);

}  // namespace hc12
