// Simulated time of writing a 4 KiB EEPROM on the virtual board: the full write
// against the changed-only write with nothing, 16 scattered bytes, and half the
// bytes changed, at an adapter latency of 1 ms and of 16 ms (a USB adapter's default).
// Prints a table; asserts nothing.
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "FakeTargetView.h"
#include "HexText.h"
#include "ModelTable.h"
#include "Programmer.h"
#include "SerialLink.h"
#include "VirtualBoard.h"

namespace {

using namespace hc12;

constexpr uint32_t kSize = 4096;

const ModelRecord& Model(const std::string& name) {
    const ModelRecord* m = FindModelRecord(name);
    return m ? *m : ModelTable()[0];
}

// The image on the board before the write, and the page to write.
struct Images {
    std::vector<uint8_t> before, page;
};

Images MakeImages(const std::string& what) {
    Images im;
    im.before.resize(kSize);
    for (uint32_t i = 0; i < kSize; ++i)
        im.before[i] = uint8_t(i * 7 + 1);  // never FF FF, so every word is programmed
    im.page = im.before;
    if (what == "16 scattered") {
        for (uint32_t k = 0; k < 16; ++k)
            im.page[k * 257 % kSize] ^= 0x5A;  // 16 different words, spread over the EEPROM
    } else if (what == "half the bytes") {
        for (uint32_t i = 0; i < kSize; i += 2)
            im.page[i] ^= 0x5A;  // every word changes
    } else if (what == "half the words") {
        for (uint32_t i = 0; i < kSize / 2; ++i)
            im.page[i] ^= 0x5A;
    }
    return im;
}

struct Result {
    double seconds = 0;
    double wall = 0;
    bool ok = false;
    std::string field1;
};

Result Run(const std::string& model, int latencyMs, const Images& im,
           const std::function<bool(Programmer&)>& op) {
    VirtualClock clock;
    sim::BoardOptions o;
    o.model = model;
    o.quartzMhz = 16;
    o.latencyMs = uint32_t(latencyMs);
    sim::VirtualBoard board(clock, o);
    testing::FakeTargetView view;
    SerialLink link(clock, view, [&](const std::string&) { return board.OpenPort(); });
    Programmer programmer(link, view);
    view.link = &link;
    view.quartzText = "16MHz";
    programmer.OnQuartzSelected("16MHz");
    programmer.SetCurrentModel(Model(model));
    view.SetStartField(FormatHex4(Model(model).eepromStart));
    view.SetCountField(std::to_string(kSize));
    programmer.Connect();
    Result r;
    if (!view.commandsEnabled)
        return r;
    const uint32_t start = view.PageStart();  // an MC9S12 reports its own at connect
    for (uint32_t i = 0; i < kSize; ++i)
        board.Poke(uint16_t(start + i), im.before[i]);
    view.BuildPage(kSize);
    view.SetStartField(FormatHex4(start));
    view.SetCountField(std::to_string(kSize));
    for (uint32_t i = 0; i < kSize; ++i)
        view.SetCellByte(i, im.page[i]);

    const uint64_t t0 = clock.NowUs();
    const auto w0 = std::chrono::steady_clock::now();
    r.ok = op(programmer);
    r.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - w0).count();
    r.seconds = double(clock.NowUs() - t0) / 1e6;
    r.field1 = view.Status(1);
    // What the EEPROM holds must be the page, whatever the way.
    for (uint32_t i = 0; i < kSize && r.ok; ++i)
        r.ok = board.Peek(uint16_t(start + i)) == im.page[i];
    return r;
}

}  // namespace

int main() {
    std::printf("4 KiB EEPROM, virtual clock, 38400 baud wire time, quartz 16 MHz\n");
    std::printf("%-20s %-8s %-28s %10s %10s  %s\n", "model", "latency", "write", "simulated",
                "wall", "field 1");
    for (const char* model : {"HC812A4", "MC9S12DP512(1L00M)"}) {
        for (int latency : {1, 16}) {
            auto line = [&](const std::string& what, const Result& r) {
                std::printf("%-20s %5d ms %-28s %8.1f s %8.3f s  %s%s\n", model, latency,
                            what.c_str(), r.seconds, r.wall, r.field1.c_str(),
                            r.ok ? "" : "  (FAILED or wrong contents)");
            };
            line("read", Run(model, latency, MakeImages("0"),
                             [](Programmer& p) { return p.ReadEeprom(); }));
            line("full", Run(model, latency, MakeImages("16 scattered"),
                             [](Programmer& p) { return p.WriteEeprom(); }));
            for (const char* what : {"0", "16 scattered", "half the words", "half the bytes"})
                line(std::string("changed-only, ") + what + (what[0] == '0' ? " changed" : ""),
                     Run(model, latency, MakeImages(what),
                         [](Programmer& p) { return p.WriteChangedEeprom(); }));
        }
    }
    return 0;
}
