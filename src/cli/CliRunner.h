// Runs one command of hc12prog-cli: wires the port, the serial link and the
// programmer to the terminal view, runs connect and the command, and turns the
// outcome into the exit status.
#pragma once

#include <functional>
#include <iosfwd>
#include <memory>
#include <string>

#include "CliOptions.h"
#include "Clock.h"
#include "SerialPort.h"
#include "TerminalView.h"
#include "UnitHooks.h"

namespace hc12::cli {

// What a run takes from its surroundings. The program leaves both empty: the clock
// follows --virtual-clock, and port values open serial devices or virtual boards.
// A test may put its own clock and board behind the port, to look at the board
// once the run is over.
struct CliEnvironment {
    Clock* clock = nullptr;
    std::function<std::unique_ptr<SerialPort>(const std::string& portValue)> openPort;
    // Where Linux shows the serial devices' adapters (their latency timers).
    std::string sysfsTtyRoot = "/sys/class/tty";
    // A unit of a production run; null for the plain run.
    UnitHooks* unit = nullptr;
    // Only the checks made before any port is opened (arguments, files).
    bool checkOnly = false;
};

// `out` receives the verify differences; everything else goes to io.err.
int RunCli(const CliOptions& options, std::ostream& out, const TerminalIo& io,
           const CliEnvironment& environment = {});

// The whole program: parse, --help, run. Returns the exit status.
int CliMain(const std::vector<std::string>& args, std::ostream& out, const TerminalIo& io);

}  // namespace hc12::cli
