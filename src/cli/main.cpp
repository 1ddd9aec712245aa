// hc12prog-cli: the programmer's operations from the command line.
#include <iostream>
#include <string>
#include <vector>

#include "CliRunner.h"
#include "Terminal.h"

int main(int argc, char** argv) {
    const hc12::cli::Utf8Console console;
    const std::vector<std::string> args(argv + 1, argv + argc);
    const hc12::cli::TerminalIo io{&std::cerr, &std::cin, hc12::cli::StdinIsTerminal(),
                                   hc12::cli::StderrIsTerminal()};
    return hc12::cli::CliMain(args, std::cout, io);
}
