// Figures of a port behind an RFC 2217 server against the same board reached
// directly (prints, never asserts), everything on the real clock:
//  1. round trip of one read-byte exchange (request out, reply byte in): the
//     network path adds this much to every byte the program reads;
//  2. wall time of a 4096-byte EEPROM read (HC812A4).
// "direct" is the virtual board in this process; "rfc2217" the same board behind
// our server on 127.0.0.1, reached by the port value rfc2217://127.0.0.1:PORT.
// Then hc12prog-board as a process: on its pseudo-terminal ("pty"), serving
// itself over RFC 2217 ("board --rfc2217"), and its pseudo-terminal behind
// ser2net (where installed) with chardelay off and at its default, each with
// ser2net's TCP as it comes and with Nagle off (tcp(nodelay)).
// A slow path stops its exchanges after kExchangeBudget; the count is printed.
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "BoardProcess.h"
#include "FakeTargetView.h"
#include "HexText.h"
#include "ModelTable.h"
#include "PortFactory.h"
#include "Programmer.h"
#include "Ser2netProcess.h"
#include "SerialLink.h"
#include "SerialPortServer.h"
#include "VirtualBoard.h"

namespace {

using namespace hc12;
using WallClock = std::chrono::steady_clock;

constexpr char kModel[] = "HC812A4";
constexpr uint16_t kEepromStart = 0xF000;
constexpr int kExchanges = 1000;
constexpr auto kExchangeBudget = std::chrono::seconds(10);

const ModelRecord& Model(const std::string& name) {
    const ModelRecord* m = FindModelRecord(name);
    return m ? *m : ModelTable()[0];
}

void Measure(const char* name, Clock& clock, const SerialLink::PortOpener& opener) {
    testing::FakeTargetView view;
    SerialLink link(clock, view, opener);
    Programmer programmer(link, view);
    view.link = &link;
    view.quartzText = "8MHz";
    programmer.OnQuartzSelected("8MHz");
    programmer.SetCurrentModel(Model(kModel));
    view.SetStartField(FormatHex4(kEepromStart));
    view.SetCountField("4096");
    programmer.Connect();
    if (!view.commandsEnabled) {
        std::printf("%-26s connect failed\n", name);
        return;
    }

    std::vector<double> us;
    us.reserve(kExchanges);
    const auto budgetEnd = WallClock::now() + kExchangeBudget;
    for (int i = 0; i < kExchanges && link.Connected() && WallClock::now() < budgetEnd; ++i) {
        const auto t0 = WallClock::now();
        link.Exchange(1, kEepromStart + i % 4096);
        us.push_back(std::chrono::duration<double, std::micro>(WallClock::now() - t0).count());
    }
    if (!link.Connected()) {
        std::printf("%-26s link lost during the exchanges\n", name);
        return;
    }
    std::sort(us.begin(), us.end());
    double sum = 0;
    for (double v : us)
        sum += v;

    const auto r0 = WallClock::now();
    const bool ok = programmer.ReadEeprom();
    const double read = std::chrono::duration<double>(WallClock::now() - r0).count();

    std::printf("%-26s  %5zu  %8.0f  %8.0f  %8.0f  %8.0f  %9.3f%s\n", name, us.size(), us.front(),
                us[us.size() / 2], sum / double(us.size()), us[us.size() * 99 / 100], read,
                ok ? "" : "  (read failed)");
    std::fflush(stdout);
}

sim::BoardOptions Options() {
    sim::BoardOptions o;
    o.model = kModel;
    o.quartzMhz = 8;
    return o;
}

}  // namespace

int main() {
    std::printf("read-byte round trip over %d exchanges (us), 4096-byte read of %s (s)\n",
                kExchanges, kModel);
    std::printf(
        "floor of one exchange on the board: 3 bytes out and 1 back at 261 us, "
        "60 us target access = 1104 us\n");
    std::printf("%-26s  %5s  %8s  %8s  %8s  %8s  %9s\n", "path", "n", "min", "median", "mean",
                "p99", "read 4K");

    {
        SteadyClock clock;
        sim::VirtualBoard board(clock, Options());
        Measure("direct", clock, [&](const std::string&) -> std::unique_ptr<SerialPort> {
            return board.OpenPort();
        });
    }
    {
        SteadyClock boardClock, clock;
        sim::VirtualBoard board(boardClock, Options());
        auto boardPort = board.OpenPort();
        sim::SerialPortServer server(*boardPort);
        std::string error;
        if (!server.Start(0, &error)) {
            std::printf("rfc2217   server does not start: %s\n", error.c_str());
            return 1;
        }
        const std::string value = "rfc2217://127.0.0.1:" + std::to_string(server.Port());
        Measure("rfc2217", clock, [&](const std::string&) { return OpenPortValue(value, clock); });
    }

    const std::string boardOptions = std::string("model=") + kModel + ",quartz=8";
    auto measureValue = [](const char* name, const std::string& value) {
        SteadyClock clock;
        Measure(name, clock, [&](const std::string&) { return OpenPortValue(value, clock); });
    };
    {
        testing::BoardProcess board({boardOptions});
        measureValue("pty", board.path());
    }
    {
        testing::BoardProcess board({"--rfc2217", "127.0.0.1:0", boardOptions});
        measureValue("board --rfc2217", board.path());
    }

    const std::string ser2net = testing::Ser2netProcess::Find();
    if (ser2net.empty()) {
        std::printf("ser2net is not installed: its rows are left out\n");
        return 0;
    }
    char dirTemplate[] = "/tmp/hc12_remote_bench_XXXXXX";
    if (mkdtemp(dirTemplate) == nullptr)
        return 1;
    struct Row {
        const char* name;
        std::vector<std::string> options;
        const char* accepter;
    };
    for (const Row& row : {Row{"ser2net chardelay off", {"chardelay: false"}, "tcp"},
                           Row{"ser2net default", {}, "tcp"},
                           Row{"ser2net off + nodelay", {"chardelay: false"}, "tcp(nodelay)"},
                           Row{"ser2net default + nodelay", {}, "tcp(nodelay)"}}) {
        testing::BoardProcess board({boardOptions});
        testing::Ser2netProcess server(ser2net, dirTemplate, board.path(), row.options,
                                       row.accepter);
        if (server.port() == 0) {
            std::printf("%-26s ser2net did not start: %s\n", row.name, server.log().c_str());
            continue;
        }
        measureValue(row.name, server.PortValue());
    }
    std::filesystem::remove_all(dirTemplate);
    return 0;
}
