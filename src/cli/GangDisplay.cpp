#include "GangDisplay.h"

#include <algorithm>
#include <cstdio>
#include <ostream>

namespace hc12::cli {

using production::JsonObject;
using production::JsonString;

namespace {

constexpr int kBarWidth = 24;

// Columns count characters, not bytes: Polish letters take two bytes.
size_t Width(const std::string& text) {
    size_t n = 0;
    for (unsigned char c : text)
        if ((c & 0xC0) != 0x80)
            ++n;
    return n;
}

std::string Pad(const std::string& text, size_t width, bool right = false) {
    const size_t w = Width(text);
    if (w >= width)
        return text;
    return right ? std::string(width - w, ' ') + text : text + std::string(width - w, ' ');
}

}  // namespace

GangDisplay::GangDisplay(std::ostream& err, std::ostream& out, bool terminal, bool json,
                         std::vector<std::string> ports, std::string command)
    : err_(err),
      out_(out),
      terminal_(terminal),
      json_(json),
      ports_(std::move(ports)),
      command_(std::move(command)),
      units_(ports_.size()) {
    for (const std::string& p : ports_)
        labelWidth_ = std::max(labelWidth_, Width(p));
}

std::string GangDisplay::Prefix(size_t unit) const {
    return "[" + ports_[unit] + "] ";
}

void GangDisplay::Json(const std::string& object) {
    out_ << object << '\n' << std::flush;
}

void GangDisplay::Started(size_t unit) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (json_)
        Json(JsonObject({{"event", JsonString("start")},
                         {"port", JsonString(ports_[unit])},
                         {"command", JsonString(command_)}}));
    dirty_ = true;
}

void GangDisplay::Message(size_t unit, const std::string& line) {
    std::lock_guard<std::mutex> lock(mutex_);
    Erase();
    err_ << Prefix(unit) << line << '\n';
    Draw();
    err_ << std::flush;
    if (json_)
        Json(JsonObject({{"event", JsonString("message")},
                         {"port", JsonString(ports_[unit])},
                         {"text", JsonString(line)}}));
}

void GangDisplay::Output(size_t unit, const std::string& line) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (json_) {
        Json(JsonObject({{"event", JsonString("output")},
                         {"port", JsonString(ports_[unit])},
                         {"text", JsonString(line)}}));
        return;
    }
    out_ << Prefix(unit) << line << '\n' << std::flush;
}

void GangDisplay::Progress(size_t unit, const std::string& phase, int32_t done, int32_t total) {
    std::lock_guard<std::mutex> lock(mutex_);
    Unit& u = units_[unit];
    const bool newPhase = phase != u.phase;
    u.phase = phase;
    u.done = done;
    u.total = total;
    dirty_ = true;
    if (!json_ || total <= 0)
        return;
    // Whole percents only: at most a hundred events a phase.
    const int percent = int(int64_t(done) * 100 / total);
    if (percent == u.percent && !newPhase)
        return;
    u.percent = percent;
    Json(JsonObject({{"event", JsonString("progress")},
                     {"port", JsonString(ports_[unit])},
                     {"phase", JsonString(phase)},
                     {"done", std::to_string(done)},
                     {"total", std::to_string(total)},
                     {"percent", std::to_string(percent)}}));
}

void GangDisplay::Finished(size_t unit, const production::UnitRecord& record) {
    std::lock_guard<std::mutex> lock(mutex_);
    units_[unit].result = record.result;
    dirty_ = true;
    if (json_)
        Json(production::UnitRecordJson(record));
}

void GangDisplay::Note(const std::string& line) {
    std::lock_guard<std::mutex> lock(mutex_);
    Erase();
    err_ << line << '\n';
    Draw();
    err_ << std::flush;
}

void GangDisplay::Refresh() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!terminal_ || !dirty_)
        return;
    Erase();
    Draw();
    err_ << std::flush;
}

// Back to the first progress line, everything below it cleared.
void GangDisplay::Erase() {
    if (drawnLines_ == 0)
        return;
    err_ << "\033[" << drawnLines_ << "A\r\033[J";
    drawnLines_ = 0;
}

void GangDisplay::Draw() {
    dirty_ = false;
    if (!terminal_)
        return;
    for (size_t i = 0; i < units_.size(); ++i) {
        const Unit& u = units_[i];
        std::string line = "  " + Pad(ports_[i], labelWidth_) + "  ";
        if (!u.result.empty()) {
            line += u.result;
        } else if (u.total > 0) {
            const int filled = std::clamp(int(int64_t(u.done) * kBarWidth / u.total), 0, kBarWidth);
            line += Pad(u.phase, 8) + "[" + std::string(size_t(filled), '#') +
                    std::string(size_t(kBarWidth - filled), '-') + "] " +
                    std::to_string(int64_t(u.done) * 100 / u.total) + "%";
        } else {
            line += u.phase;
        }
        err_ << line << '\n';
    }
    drawnLines_ = units_.size();
}

void GangDisplay::Finish(const std::vector<production::UnitRecord>& records, int exitStatus) {
    std::lock_guard<std::mutex> lock(mutex_);
    Erase();
    err_ << UnitTable(records) << std::flush;
    if (json_)
        Json(JsonObject(
            {{"event", JsonString("end")}, {"exit_status", std::to_string(exitStatus)}}));
}

std::string UnitTable(const std::vector<production::UnitRecord>& records) {
    const std::vector<std::string> head = {"port",      "model",  "quartz", "result", "written",
                                           "unchanged", "failed", "serial", "seconds"};
    std::vector<std::vector<std::string>> rows = {head};
    for (const auto& r : records) {
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.1f", r.seconds);
        std::string serial;
        if (r.serial)
            serial = std::to_string(*r.serial) + " (" + r.serialBytes + ")";
        else if (!r.serialBytes.empty())
            serial = "(" + r.serialBytes + ")";
        const bool wrote = r.command == "write";
        rows.push_back(
            {r.port, r.model, r.quartz.empty() ? "-" : r.quartz, r.result,
             wrote ? std::to_string(r.written) : "-", wrote ? std::to_string(r.unchanged) : "-",
             wrote ? std::to_string(r.failed) : "-", serial.empty() ? "-" : serial, seconds});
    }
    std::vector<size_t> widths(head.size(), 0);
    for (const auto& row : rows)
        for (size_t c = 0; c < row.size(); ++c)
            widths[c] = std::max(widths[c], Width(row[c]));
    std::string table;
    for (const auto& row : rows) {
        std::string line;
        for (size_t c = 0; c < row.size(); ++c) {
            const bool number = c >= 4 && c != 7;
            line += (c > 0 ? "  " : "") + Pad(row[c], widths[c], number);
        }
        while (!line.empty() && line.back() == ' ')
            line.pop_back();
        table += line + "\n";
    }
    for (const auto& r : records)
        if (!r.note.empty())
            table += r.port + ": " + r.result + ": " + r.note + "\n";
    return table;
}

}  // namespace hc12::cli
