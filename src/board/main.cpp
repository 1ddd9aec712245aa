// hc12prog-board: the virtual programming interface on a pseudo-terminal, on the
// real clock, for any program that opens a serial device by its path; or served
// over RFC 2217, as a network serial server in front of a board would serve it.
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
#include "BoardServer.h"
#include "BoardSession.h"
#include "Clock.h"
#include "PtyLine.h"

namespace {

volatile sig_atomic_t g_stop = 0;

void OnStopSignal(int) {
    g_stop = 1;
}

const char kUsage[] =
    "usage: hc12prog-board [--link PATH | --rfc2217 HOST:PORT] [--image FILE]\n"
    "                      [--dump FILE] [OPTIONS]\n"
    "\n"
    "Plays the virtual programming interface on a pseudo-terminal until stopped\n"
    "(Ctrl+C, SIGTERM). Prints the device path; open it from the programs, e.g.\n"
    "  hc12prog-cli --port /dev/pts/N --model MC9S12DT128 read eeprom.bin\n"
    "\n"
    "  --link PATH    also make PATH a symbolic link to the device (removed at exit)\n"
    "  --rfc2217 HOST:PORT\n"
    "                 serve the board over RFC 2217 (Telnet COM port control) on\n"
    "                 this numeric address instead of a pseudo-terminal, one client\n"
    "                 at a time, RTS and purges carried; port 0 takes a free one.\n"
    "                 Prints the port value, e.g. rfc2217://127.0.0.1:4001\n"
    "  --idle-limit SECONDS\n"
    "                 with --rfc2217: drop a client that has sent nothing for this\n"
    "                 long, so that it does not hold the board for ever (default\n"
    "                 600; 0: never)\n"
    "  --image FILE   load the EEPROM with FILE (at most the EEPROM's size) first\n"
    "  --dump FILE    write the EEPROM into FILE when stopped\n"
    "  OPTIONS        the board's options as in the port value virtual:OPTIONS,\n"
    "                 e.g. model=MC9S12DT128,quartz=16 (default model HC912D60x,\n"
    "                 quartz 8 MHz)\n";

struct Args {
    std::string link, rfc2217, image, dump, options, idleLimit;
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
        else if (arg == "--rfc2217")
            target = &a.rfc2217;
        else if (arg == "--image")
            target = &a.image;
        else if (arg == "--dump")
            target = &a.dump;
        else if (arg == "--idle-limit")
            target = &a.idleLimit;
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
    if (!a.link.empty() && !a.rfc2217.empty()) {
        *error = "--link names a pseudo-terminal, which --rfc2217 does not make";
        return std::nullopt;
    }
    if (!a.idleLimit.empty() && a.rfc2217.empty()) {
        *error = "--idle-limit goes with --rfc2217";
        return std::nullopt;
    }
    return a;
}

struct ListenAddress {
    std::string host;
    uint16_t port = 0;
};

// "HOST:PORT" or "[IPv6]:PORT", port 0 allowed.
std::optional<ListenAddress> ParseListenAddress(const std::string& text, std::string* error) {
    ListenAddress a;
    std::string portText;
    const size_t colon = text.rfind(':');
    if (!text.empty() && text[0] == '[') {
        const size_t close = text.find(']');
        if (close != std::string::npos && colon == close + 1) {
            a.host = text.substr(1, close - 1);
            portText = text.substr(colon + 1);
        }
    } else if (colon != std::string::npos && text.find(':') == colon) {
        a.host = text.substr(0, colon);
        portText = text.substr(colon + 1);
    }
    unsigned long port = 0;
    bool digits = !portText.empty() && portText.size() <= 5;
    for (char c : portText) {
        digits = digits && c >= '0' && c <= '9';
        port = port * 10 + unsigned(c - '0');
    }
    if (a.host.empty() || !digits || port > 65535) {
        *error = "--rfc2217 expects HOST:PORT with a numeric address, e.g. 127.0.0.1:4001, got \"" +
                 text + "\"";
        return std::nullopt;
    }
    a.port = uint16_t(port);
    return a;
}

// Seconds, 0 to a day; the default when not given.
std::optional<uint64_t> ParseIdleLimitMs(const std::string& text, std::string* error) {
    constexpr uint64_t kDefaultMs = 600 * 1000;
    if (text.empty())
        return kDefaultMs;
    uint64_t seconds = 0;
    bool digits = text.size() <= 5;
    for (char c : text) {
        digits = digits && c >= '0' && c <= '9';
        seconds = seconds * 10 + uint64_t(c - '0');
    }
    if (!digits || seconds > 86400) {
        *error = "--idle-limit expects seconds from 0 to 86400, got \"" + text + "\"";
        return std::nullopt;
    }
    return seconds * 1000;
}

std::string PortValue(const ListenAddress& address, uint16_t port) {
    const bool v6 = address.host.find(':') != std::string::npos;
    return "rfc2217://" + (v6 ? "[" + address.host + "]" : address.host) + ":" +
           std::to_string(port);
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

// Serves the network until a stop signal arrives (blocked outside the wait).
void ServeNetwork(hc12::sim::BoardServer& server, const sigset_t& waitMask) {
    while (!g_stop) {
        const auto due = server.UsUntilDue();
        const uint64_t waitUs = due ? *due : 1000000;
        timespec ts{time_t(waitUs / 1000000), long(waitUs % 1000000) * 1000};
        std::vector<pollfd> fds;
        for (intptr_t h : server.WaitHandles())
            fds.push_back({int(h), POLLIN, 0});
        if (ppoll(fds.data(), fds.size(), &ts, &waitMask) < 0 && errno != EINTR)
            break;
        server.Serve(0);
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
    std::optional<ListenAddress> listenAddress;
    if (!args->rfc2217.empty() && !(listenAddress = ParseListenAddress(args->rfc2217, &error)))
        return Fail(error, 2);
    const std::optional<uint64_t> idleLimitMs = ParseIdleLimitMs(args->idleLimit, &error);
    if (!idleLimitMs)
        return Fail(error, 2);

    hc12::SteadyClock clock;
    hc12::sim::BoardOptions boardOptions = *options;
    boardOptions.timedLine = false;  // see BoardOptions: a pty or a network carries no timing
    hc12::sim::BoardSession session(clock, boardOptions);
    if (!args->image.empty() && !hc12::board::LoadImage(args->image, session.board(), &error))
        return Fail(error, 2);

    hc12::board::PtyLine line;
    hc12::sim::BoardServer server(session);
    std::string servedOn;
    if (listenAddress) {
        if (!server.Listen(listenAddress->host, listenAddress->port, &error))
            return Fail("cannot serve on " + args->rfc2217 + ": " + error, 1);
        servedOn = PortValue(*listenAddress, server.Port());
        server.SetIdleLimitMs(*idleLimitMs);
    } else {
        if (!line.Open(&error))
            return Fail(error, 1);
        if (!args->link.empty() && symlink(line.SlavePath().c_str(), args->link.c_str()) != 0)
            return Fail("cannot make the link " + args->link + ": " + std::strerror(errno), 1);
        servedOn = line.SlavePath();
    }

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

    std::cout << servedOn << std::endl;
    std::cerr << "hc12prog-board: " << session.board().ModelName() << ", quartz "
              << options->quartzMhz << " MHz, on " << servedOn << "\n";

    if (listenAddress) {
        ServeNetwork(server, waitMask);
        server.Close();
    } else {
        Serve(line, session, waitMask);
    }

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
