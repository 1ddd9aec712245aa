// hc12prog-board: the virtual programming interface on a pseudo-terminal, on the
// real clock, for any program that opens a serial device by its path.
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "BoardFiles.h"
#include "BoardSession.h"
#include "Clock.h"
#include "PtyLine.h"

namespace {

volatile sig_atomic_t g_stop = 0;

void OnStopSignal(int) {
    g_stop = 1;
}

const char kUsage[] =
    "usage: hc12prog-board [--link PATH] [--image FILE] [--dump FILE] [OPTIONS]\n"
    "\n"
    "Plays the virtual programming interface on a pseudo-terminal until stopped\n"
    "(Ctrl+C, SIGTERM). Prints the device path; open it from the programs, e.g.\n"
    "  hc12prog-cli --port /dev/pts/N --model MC9S12DT128 read eeprom.bin\n"
    "\n"
    "  --link PATH    also make PATH a symbolic link to the device (removed at exit)\n"
    "  --image FILE   load the EEPROM with FILE (at most the EEPROM's size) first\n"
    "  --dump FILE    write the EEPROM into FILE when stopped\n"
    "  OPTIONS        the board's options as in the port value virtual:OPTIONS,\n"
    "                 e.g. model=MC9S12DT128,quartz=16 (default model HC912D60x,\n"
    "                 quartz 8 MHz)\n";

struct Args {
    std::string link, image, dump, options;
    bool help = false;
};

std::optional<Args> ParseArgs(int argc, char** argv, std::string* error) {
    Args a;
    bool sawOptions = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        std::string* target = nullptr;
        if (arg == "--help" || arg == "-h") {
            a.help = true;
            continue;
        }
        if (arg == "--link")
            target = &a.link;
        else if (arg == "--image")
            target = &a.image;
        else if (arg == "--dump")
            target = &a.dump;
        if (target != nullptr) {
            if (i + 1 >= argc || argv[i + 1][0] == '\0') {
                *error = arg + " needs a value";
                return std::nullopt;
            }
            *target = argv[++i];
            continue;
        }
        if (arg.rfind("-", 0) == 0 || sawOptions) {
            *error = "unexpected argument \"" + arg + "\"";
            return std::nullopt;
        }
        a.options = arg;
        sawOptions = true;
    }
    return a;
}

int Fail(const std::string& text, int status) {
    std::cerr << "hc12prog-board: " << text << "\n";
    return status;
}

// Serves the line until a stop signal arrives (blocked outside the wait).
void Serve(hc12::board::PtyLine& line, hc12::sim::BoardSession& session, const sigset_t& waitMask) {
    std::vector<uint8_t> buffer(4096);
    bool slaveClosed = false;
    while (!g_stop) {
        const auto due = session.UsUntilDue();
        uint64_t waitUs = due ? *due : 1000000;
        if (slaveClosed)
            waitUs = std::min<uint64_t>(waitUs, 20000);  // look again for the program
        timespec ts{time_t(waitUs / 1000000), long(waitUs % 1000000) * 1000};
        pollfd pfd{line.fd(), POLLIN, 0};
        const int n = ppoll(&pfd, slaveClosed ? 0 : 1, &ts, &waitMask);
        if (n < 0 && errno != EINTR)
            break;
        slaveClosed = false;
        if (n > 0 && (pfd.revents & (POLLIN | POLLHUP))) {
            const auto in = line.Read(buffer.data(), buffer.size());
            if (in.purged)
                session.PcPurged();
            if (in.size > 0)
                session.FromPc(buffer.data(), in.size);
            slaveClosed = in.closed || (in.size == 0 && !in.purged && (pfd.revents & POLLHUP));
        }
        session.Tick();
        while (size_t out = session.ToPc(buffer.data(), buffer.size()))
            line.Write(buffer.data(), out);
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::string error;
    const std::optional<Args> args = ParseArgs(argc, argv, &error);
    if (!args)
        return Fail(error + "\n\n" + kUsage, 2);
    if (args->help) {
        std::cout << kUsage;
        return 0;
    }
    const auto options = hc12::sim::ParseBoardOptions(args->options, &error);
    if (!options)
        return Fail(error, 2);
    if (!args->dump.empty() && !hc12::board::CanWriteDump(args->dump, &error))
        return Fail(error, 2);

    hc12::SteadyClock clock;
    hc12::sim::BoardOptions boardOptions = *options;
    boardOptions.timePulses = false;  // see BoardOptions: a pty carries no timing
    hc12::sim::BoardSession session(clock, boardOptions);
    if (!args->image.empty() && !hc12::board::LoadImage(args->image, session.board(), &error))
        return Fail(error, 2);

    hc12::board::PtyLine line;
    if (!line.Open(&error))
        return Fail(error, 1);
    if (!args->link.empty() && symlink(line.SlavePath().c_str(), args->link.c_str()) != 0)
        return Fail("cannot make the link " + args->link + ": " + std::strerror(errno), 1);

    // Stop signals are taken only while waiting, so a stop never cuts a step short.
    sigset_t stopSignals, waitMask;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    sigprocmask(SIG_BLOCK, &stopSignals, &waitMask);
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    for (int sig : {SIGINT, SIGTERM, SIGHUP})
        sigaction(sig, &action, nullptr);

    std::cout << line.SlavePath() << std::endl;
    std::cerr << "hc12prog-board: " << session.board().ModelName() << ", quartz "
              << options->quartzMhz << " MHz, on " << line.SlavePath() << "\n";

    Serve(line, session, waitMask);

    int status = 0;
    if (!args->link.empty()) {
        // Only the link this board made: the path may have been taken over since.
        char target[256] = {};
        const ssize_t n = readlink(args->link.c_str(), target, sizeof target - 1);
        if (n > 0 && line.SlavePath() == std::string(target, size_t(n)))
            unlink(args->link.c_str());
    }
    if (!args->dump.empty() &&
        !hc12::board::WriteDump(args->dump, session.board().EepromImage(), &error))
        status = Fail(error, 1);
    return status;
}
