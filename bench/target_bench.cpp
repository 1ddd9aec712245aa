// Figures of the target operations on the virtual board (prints, never asserts):
//  1. wall time / virtual elapsed time of a 4096-byte read and write per family on
//     the virtual clock: what the program adds to the protocol's own cost;
//  2. process CPU time / wall time of a 2048-byte read on the real clock: whether
//     the receive waits instead of spinning.
#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>

#include "FakeTargetView.h"
#include "HexText.h"
#include "ModelTable.h"
#include "Programmer.h"
#include "SerialLink.h"
#include "VirtualBoard.h"

namespace {

using namespace hc12;
using WallClock = std::chrono::steady_clock;

const ModelRecord& Model(const std::string& name) {
    const ModelRecord* m = FindModelRecord(name);
    return m ? *m : ModelTable()[0];
}

struct Setup {
    Setup(Clock& clock, const std::string& model)
        : board(clock, Options(model)),
          link(clock, view, [this](const std::string&) { return board.OpenPort(); }),
          programmer(link, view) {
        view.link = &link;
        view.quartzText = "8MHz";
        programmer.OnQuartzSelected("8MHz");
        programmer.SetCurrentModel(Model(model));
        Window(Model(model).eepromStart, Model(model).eepromSize);
        programmer.Connect();
    }
    static sim::BoardOptions Options(const std::string& model) {
        sim::BoardOptions o;
        o.model = model;
        o.quartzMhz = 8;
        return o;
    }
    void Window(uint32_t start, uint32_t count) {
        view.SetStartField(FormatHex4(start));
        view.SetCountField(std::to_string(count));
    }
    sim::VirtualBoard board;
    testing::FakeTargetView view;
    SerialLink link;
    Programmer programmer;
};

void VirtualClockFigures(const std::string& model) {
    VirtualClock clock;
    Setup s(clock, model);
    if (!s.view.commandsEnabled) {
        std::printf("%-12s connect failed\n", model.c_str());
        return;
    }
    // The model's own EEPROM start (an MC9S12 reports it at connect).
    s.Window(s.view.PageStart(), 4096);

    auto run = [&](const char* what, auto&& op) {
        const uint64_t v0 = clock.NowUs();
        const auto w0 = WallClock::now();
        const bool ok = op();
        const double wall = std::chrono::duration<double>(WallClock::now() - w0).count();
        const double virt = double(clock.NowUs() - v0) / 1e6;
        std::printf("%-12s %-5s 4096 B  virtual %8.3f s  wall %8.4f s  wall/virtual %.5f%s\n",
                    model.c_str(), what, virt, wall, virt > 0 ? wall / virt : 0.0,
                    ok ? "" : "  (operation reported a failure)");
    };
    run("read", [&] { return s.programmer.ReadEeprom(); });
    for (uint32_t i = 0; i < 4096; ++i)
        s.view.SetCellByte(i, uint8_t(i * 7 + 1));
    run("write", [&] { return s.programmer.WriteEeprom(); });
}

void RealClockCpuFigure() {
    SteadyClock clock;
    Setup s(clock, "HC812A4");
    if (!s.view.commandsEnabled) {
        std::printf("real clock: connect failed\n");
        return;
    }
    s.Window(0xF000, 2048);
    const std::clock_t c0 = std::clock();
    const auto w0 = WallClock::now();
    const bool ok = s.programmer.ReadEeprom();
    const double wall = std::chrono::duration<double>(WallClock::now() - w0).count();
    const double cpu = double(std::clock() - c0) / CLOCKS_PER_SEC;
    std::printf("real clock   read  2048 B  wall %.3f s  cpu %.3f s  cpu/wall %.4f%s\n", wall, cpu,
                wall > 0 ? cpu / wall : 0.0, ok ? "" : "  (read failed)");
}

}  // namespace

int main() {
    VirtualClockFigures("HC812A4");
    VirtualClockFigures("MC9S12H256(1K78X)");
    RealClockCpuFigure();
    return 0;
}
