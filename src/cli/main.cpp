// hc12prog-cli: the programmer's operations from the command line.
#include <atomic>
#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include "CliRunner.h"
#include "Terminal.h"

namespace {

// Ctrl+C (SIGINT) or SIGTERM: every read and write stops between two words and the
// run ends telling what it finished. A second one ends the program at once.
std::atomic<bool> g_stop{false};
static_assert(std::atomic<bool>::is_always_lock_free);

void OnStopSignal(int signal) {
    g_stop.store(true);
    std::signal(signal, SIG_DFL);
}

}  // namespace

int main(int argc, char** argv) {
    const hc12::cli::Utf8Console console;
    std::signal(SIGINT, OnStopSignal);
    std::signal(SIGTERM, OnStopSignal);
    const std::vector<std::string> args(argv + 1, argv + argc);
    const hc12::cli::TerminalIo io{&std::cerr, &std::cin, hc12::cli::StdinIsTerminal(),
                                   hc12::cli::StderrIsTerminal(), &g_stop};
    return hc12::cli::CliMain(args, std::cout, io);
}
