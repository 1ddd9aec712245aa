// A recording view for the target operations: status texts with their history,
// message boxes with scripted answers, the gauge, the control states, the address
// fields and a small page of cells with marks and selection.
#pragma once

#include <cstdint>
#include <cstdio>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "SerialLink.h"
#include "TargetView.h"

namespace hc12::testing {

class FakeTargetView final : public TargetView {
  public:
    // --- what the test sets up ---
    SerialLink* link = nullptr;     // OpenDefaultPort opens COM1 on it
    std::deque<MsgAnswer> answers;  // answers to Yes/No questions, in order
    MsgAnswer defaultAnswer = MsgAnswer::Yes;
    std::string quartzText = "Auto";
    bool selectionOnly = false;
    // Runs when the connect selects a quartz item during detection.
    std::function<void(int)> onSelectQuartz;
    // Asked between two words of a read or write; empty: never stop.
    std::function<bool()> stopRequested;
    // Set: the view keeps what the EEPROM held (the changed-only write hands it over).
    std::function<bool(uint32_t start, const std::vector<uint8_t>& bytes)> keepHeld;

    // A page holding `bytes` at `start`, count = bytes.size() unless given.
    void LoadPage(uint32_t start, const std::vector<uint8_t>& bytes,
                  std::optional<uint32_t> count = {}) {
        BuildPage(uint32_t(bytes.size()));
        start_ = start;
        count_ = count.value_or(uint32_t(bytes.size()));
        char hex[8];
        std::snprintf(hex, sizeof hex, "%04X", start & 0xFFFF);
        startField = hex;
        countField = std::to_string(count_);
        for (uint32_t i = 0; i < bytes.size(); ++i)
            cells_[i] = bytes[i];
    }
    void ClearCell(uint32_t index) { cells_.at(index).reset(); }
    void Select(uint32_t index) { selected_.insert(index); }

    // --- what the test reads ---
    std::vector<Message> messages;
    std::map<int, std::vector<std::string>> statusHistory;
    std::vector<std::string> events;  // control states, field writes, gauge, scroll
    std::set<uint32_t> red;
    uint32_t capacity() const { return uint32_t(cells_.size()); }
    std::optional<uint8_t> Cell(uint32_t index) const { return cells_.at(index); }
    const std::set<uint32_t>& selected() const { return selected_; }
    bool gaugeRunning() const { return gaugeRunning_; }
    int32_t gaugeTotal() const { return gaugeTotal_; }
    int32_t gaugeSteps() const { return gaugeCounter_; }
    int gaugeStarts = 0;
    int gaugeEndsAtTotal = 0;
    std::string startField = "0000";
    std::string countField = "0";

    std::string Status(int field) const {
        auto it = statusHistory.find(field);
        return it == statusHistory.end() || it->second.empty() ? "" : it->second.back();
    }

    // --- LinkView ---
    MsgAnswer ShowMessage(const Message& message) override {
        messages.push_back(message);
        events.push_back("box:" + message.text);
        if (message.buttons == MsgButtons::Ok)
            return MsgAnswer::Ok;
        if (answers.empty())
            return defaultAnswer;
        MsgAnswer a = answers.front();
        answers.pop_front();
        return a;
    }
    void ShowNotConnected() override {
        SetStatusText(3, "Brak połączenia.");
        commandsEnabled = false;
        checkBoxEnabled = false;
        events.push_back("not-connected");
    }

    // --- TargetView ---
    void SetStatusText(int field, const std::string& text) override {
        statusHistory[field].push_back(text);
    }
    std::string GetStatusText(int field) override { return Status(field); }

    void Progress(int32_t n) override {
        if (n > 0) {
            ++gaugeStarts;
            gaugeRunning_ = true;
            gaugeTotal_ = n;
            gaugeCounter_ = 0;
            events.push_back("gauge:" + std::to_string(n));
        } else if (n == 0) {
            if (!gaugeRunning_)
                return;
            if (++gaugeCounter_ >= gaugeTotal_) {
                gaugeRunning_ = false;
                ++gaugeEndsAtTotal;
            }
        } else {
            gaugeRunning_ = false;
        }
    }

    void ShowConnecting() override {
        SetStatusText(3, "Łączenie...");
        events.push_back("connecting");
    }
    void ShowConnected(bool s12Target) override {
        SetStatusText(3, "Połączony.");
        commandsEnabled = true;
        if (s12Target)
            checkBoxChecked = false;
        else
            checkBoxEnabled = true;
        events.push_back(s12Target ? "connected:s12" : "connected:hc12");
    }

    std::string QuartzText() override { return quartzText; }
    void SelectQuartz(int index) override {
        static const char* const kItems[] = {"Auto", "16MHz", "8MHz", "4MHz"};
        quartzText = kItems[index];
        if (onSelectQuartz)
            onSelectQuartz(index);
    }
    bool SelectionOnly() override { return selectionOnly; }

    // The field handling: each write carries both fields into the page.
    void SetStartField(const std::string& text) override {
        startField = text;
        events.push_back("start:" + text);
        start_ = uint32_t(std::stoul(text.empty() ? "0" : text, nullptr, 16));
        count_ = uint32_t(std::stoul(countField.empty() ? "0" : countField));
    }
    void SetCountField(const std::string& text) override {
        countField = text;
        events.push_back("count:" + text);
        count_ = uint32_t(std::stoul(text.empty() ? "0" : text));
        start_ = uint32_t(std::stoul(startField.empty() ? "0" : startField, nullptr, 16));
    }
    void OpenDefaultPort() override {
        events.push_back("open-default-port");
        if (link)
            link->OpenPort(0);
    }

    uint32_t PageCount() override { return count_; }
    uint32_t PageStart() override { return start_; }
    void BuildPage(uint32_t size) override {
        const uint32_t rows = size < 16 ? 1 : (size + 15) / 16;
        cells_.assign(rows * 16, std::nullopt);
        red.clear();
        selected_.clear();
        count_ = size;
        events.push_back("build:" + std::to_string(size));
    }
    void InsertEmptyCellInFront() override {
        if (cells_.back().has_value())
            cells_.resize(cells_.size() + 16);
        cells_.insert(cells_.begin(), std::nullopt);
        cells_.pop_back();
        auto oneOn = [this](const std::set<uint32_t>& indexes) {
            std::set<uint32_t> moved;
            for (uint32_t i : indexes)
                if (i + 1 < cells_.size())
                    moved.insert(i + 1);
            return moved;
        };
        red = oneOn(red);
        selected_ = oneOn(selected_);
        events.push_back("insert-front");
    }
    bool CellEmpty(uint32_t index) override {
        return index >= cells_.size() || !cells_[index].has_value();
    }
    uint8_t GetCellByte(uint32_t index) override { return CellEmpty(index) ? 0 : *cells_[index]; }
    void SetCellByte(uint32_t index, uint8_t value) override {
        if (index < cells_.size())
            cells_[index] = value;
    }
    void MarkCellRed(uint32_t index) override {
        if (index < cells_.size())
            red.insert(index);
    }
    bool CellSelected(uint32_t index) override { return selected_.count(index) != 0; }
    void SelectCell(uint32_t index, bool add) override {
        if (index >= cells_.size())
            return;
        if (!add)
            selected_.clear();
        selected_.insert(index);
    }
    void ScrollGrid(int verticalPosition) override {
        events.push_back("scroll:" + std::to_string(verticalPosition));
    }
    // As a grid's do, moving the cursor by a page drops the selection.
    void MovePageUp() override {
        events.push_back("page-up");
        selected_.clear();
    }
    void MovePageDown() override {
        events.push_back("page-down");
        selected_.clear();
    }
    void RepaintGrid() override { ++repaints; }
    bool StopRequested() override {
        ++stopAsks;
        return stopRequested && stopRequested();
    }
    bool WantsHeldBytes() override { return bool(keepHeld); }
    bool KeepHeldBytes(uint32_t start, const std::vector<uint8_t>& bytes) override {
        return keepHeld(start, bytes);
    }

    bool commandsEnabled = false;
    bool checkBoxEnabled = false;
    bool checkBoxChecked = true;
    int repaints = 0;
    int stopAsks = 0;

  private:
    std::vector<std::optional<uint8_t>> cells_ = std::vector<std::optional<uint8_t>>(16);
    std::set<uint32_t> selected_;
    uint32_t count_ = 0;
    uint32_t start_ = 0;
    bool gaugeRunning_ = false;
    int32_t gaugeTotal_ = 0;
    int32_t gaugeCounter_ = 0;
};

}  // namespace hc12::testing
