// The programmer on a virtual board and a virtual clock, with a recording view.
#pragma once

#include <algorithm>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "Clock.h"
#include "FakeTargetView.h"
#include "HexText.h"
#include "ModelTable.h"
#include "Programmer.h"
#include "SerialLink.h"
#include "VirtualBoard.h"

namespace hc12::testing {

// A frame as text: "C 0115", "L 0C00", "z 00F3 B6", "s 0C00 12 34", "U 02", "R".
inline std::string FrameText(const std::vector<uint8_t>& b) {
    if (b.empty())
        return "";
    std::string s(1, char(b[0]));
    char buf[8];
    size_t i = 1;
    if ((b[0] == 'C' || b[0] == 'L' || b[0] == 'z' || b[0] == 's') && b.size() >= 3) {
        std::snprintf(buf, sizeof buf, " %02X%02X", b[1], b[2]);
        s += buf;
        i = 3;
    }
    for (; i < b.size(); ++i) {
        std::snprintf(buf, sizeof buf, " %02X", b[i]);
        s += buf;
    }
    return s;
}

inline const ModelRecord& Model(const std::string& name) {
    if (const ModelRecord* m = FindModelRecord(name))
        return *m;
    throw std::runtime_error("no model " + name);
}

struct TargetRig {
    explicit TargetRig(sim::BoardOptions options = {}, bool portOpens = true)
        : board(clock, std::move(options)),
          link(clock, view,
               [this, portOpens](const std::string& name) -> std::unique_ptr<SerialPort> {
                   if (!portOpens || name != "COM1")
                       return nullptr;
                   return board.OpenPort();
               }),
          programmer(link, view) {
        view.link = &link;
    }

    // Choose a quartz in the combo box, as the window does: its handler runs.
    void ChooseQuartz(const std::string& text) {
        view.quartzText = text;
        programmer.OnQuartzSelected(text);
    }

    // Choose the model and connect; the view's quartz text decides the clock.
    void Connect(const std::string& model) {
        programmer.SetCurrentModel(Model(model));
        const auto& m = programmer.CurrentModel();
        view.SetStartField(FormatHex4(m.eepromStart));
        view.SetCountField(std::to_string(m.eepromSize));
        programmer.Connect();
    }

    // Frames logged since the last call of this (or since the start).
    std::vector<std::string> NewFrames() {
        std::vector<std::string> out;
        const auto& log = board.FrameLog();
        for (; seen < log.size(); ++seen)
            out.push_back(FrameText(log[seen].bytes));
        return out;
    }
    std::vector<sim::FrameRecord> NewRecords() {
        const auto& log = board.FrameLog();
        std::vector<sim::FrameRecord> out(log.begin() + long(seen), log.end());
        seen = log.size();
        return out;
    }
    void SkipFrames() { seen = board.FrameLog().size(); }

    VirtualClock clock;
    sim::VirtualBoard board;
    FakeTargetView view;
    SerialLink link;
    Programmer programmer;
    size_t seen = 0;
};

// A rig connected to `model` with the quartz chosen, frames and boxes of the
// connect put aside.
struct WriteRig : TargetRig {
    explicit WriteRig(const std::string& model, sim::BoardOptions options = {}, int quartzMhz = 8)
        : TargetRig(WithModel(options, model, quartzMhz)) {
        ChooseQuartz(std::to_string(quartzMhz) + "MHz");
        Connect(model);
        connected = view.commandsEnabled;
        SkipFrames();
        view.messages.clear();
        view.events.clear();
    }
    static sim::BoardOptions WithModel(sim::BoardOptions o, const std::string& model,
                                       int quartzMhz) {
        o.model = model;
        o.quartzMhz = quartzMhz;
        return o;
    }
    uint16_t start() { return uint16_t(view.PageStart()); }
    static int Count(const std::vector<std::string>& frames, const std::string& f) {
        return int(std::count(frames.begin(), frames.end(), f));
    }
    bool connected = false;
};

inline sim::BoardOptions Board(const std::string& model, int quartzMhz = 8) {
    sim::BoardOptions o;
    o.model = model;
    o.quartzMhz = quartzMhz;
    return o;
}

}  // namespace hc12::testing
