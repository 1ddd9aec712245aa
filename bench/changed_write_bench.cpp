// Simulated time of writing a 4 KiB EEPROM on the virtual board, the full write beside
// the changed-only write: an EEPROM that holds the image already, 16 bytes changed,
// every word changed (the EEPROM holds other data), and the image into an erased
// EEPROM; at an adapter latency of 1 ms and of 16 ms (a USB adapter's default), with
// an interface that carries a frame out at once and one that needs 1 ms for it
// (exec=1000); the programs assume the default 1 ms a frame. The changed-only time
// includes its reading of every word. Prints a table; asserts nothing.
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
    im.page.resize(kSize);
    for (uint32_t i = 0; i < kSize; ++i) {
        im.before[i] = uint8_t(i * 7 + 1);  // never FF FF, so every word is programmed
        im.page[i] = im.before[i];
    }
    if (what == "16 bytes changed") {
        for (uint32_t k = 0; k < 16; ++k)
            im.page[k * 257 % kSize] ^= 0x5A;  // 16 different words, spread over the EEPROM
    } else if (what == "every word changed") {
        for (uint32_t i = 0; i < kSize; ++i)
            im.page[i] ^= 0x5A;
    } else if (what == "into an erased EEPROM") {
        for (uint32_t i = 0; i < kSize; ++i)
            im.before[i] = 0xFF;
    }
    return im;
}

struct Result {
    double seconds = 0;
    bool ok = false;
    std::string field1;
};

Result Run(const std::string& model, int latencyMs, uint32_t execUs, const Images& im,
           const std::function<bool(Programmer&)>& op) {
    VirtualClock clock;
    sim::BoardOptions o;
    o.model = model;
    o.quartzMhz = 16;
    o.latencyMs = uint32_t(latencyMs);
    o.execUs = execUs;
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
    r.ok = op(programmer);
    r.seconds = double(clock.NowUs() - t0) / 1e6;
    r.field1 = view.Status(1);
    // What the EEPROM holds must be the page, whatever the way.
    for (uint32_t i = 0; i < kSize && r.ok; ++i)
        r.ok = board.Peek(uint16_t(start + i)) == im.page[i];
    return r;
}

}  // namespace

int main() {
    std::printf(
        "4 KiB EEPROM, virtual clock, 38400 baud wire time, quartz 16 MHz, frame time "
        "1 ms\n");
    std::printf("%-20s %7s %5s  %-24s %8s %9s  %s\n", "model", "latency", "exec", "image", "full",
                "changed", "changed: field 1");
    const auto full = [](Programmer& p) { return p.WriteEeprom(); };
    const auto changed = [](Programmer& p) { return p.WriteChangedEeprom(); };
    for (const char* model : {"HC812A4", "MC9S12DP512(1L00M)"}) {
        for (uint32_t execUs : {0u, 1000u}) {
            for (int latency : {1, 16}) {
                const auto seconds = [](const Result& r) {
                    char text[32];
                    std::snprintf(text, sizeof text, r.ok ? "%.1f s" : "FAILED", r.seconds);
                    return std::string(text);
                };
                const Result read = Run(model, latency, execUs, MakeImages(""),
                                        [](Programmer& p) { return p.ReadEeprom(); });
                std::printf("%-20s %4d ms %5u  %-24s %8s\n", model, latency, execUs, "(a read)",
                            seconds(read).c_str());
                for (const char* what : {"unchanged", "16 bytes changed", "every word changed",
                                         "into an erased EEPROM"}) {
                    const Images im = MakeImages(what);
                    const Result f = Run(model, latency, execUs, im, full);
                    const Result c = Run(model, latency, execUs, im, changed);
                    std::printf("%-20s %4d ms %5u  %-24s %8s %9s  %s\n", model, latency, execUs,
                                what, seconds(f).c_str(), seconds(c).c_str(), c.field1.c_str());
                }
            }
        }
    }
    return 0;
}
