// The programmer's view on a terminal: message boxes become "caption: text" lines
// on standard error, questions are answered by --yes/--no or asked on the
// terminal, the gauge becomes a progress bar, and the page is a PageModel. The
// command line never writes a selection only, so the page has no selection.
#pragma once

#include <atomic>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "CliOptions.h"
#include "PageModel.h"
#include "TargetView.h"

namespace hc12::cli {

struct TerminalIo {
    std::ostream* err = nullptr;
    std::istream* in = nullptr;
    bool stdinIsTerminal = false;
    bool stderrIsTerminal = false;  // draw the progress bar
    // Set by Ctrl+C (SIGINT, SIGTERM): a read or write stops between two words.
    const std::atomic<bool>* stop = nullptr;
};

class TerminalView final : public TargetView {
  public:
    TerminalView(TerminalIo io, Answer answer);

    // What OpenDefaultPort does: the runner opens the port chosen on the command line.
    void SetPortOpener(std::function<void()> opener) { portOpener_ = std::move(opener); }
    void SetQuartzIndex(int index) { quartzIndex_ = index; }
    // Told every change of the gauge: steps done and the total (0: no gauge).
    void SetProgressObserver(std::function<void(int32_t done, int32_t total)> observer) {
        progressObserver_ = std::move(observer);
    }
    // Set: the changed-only write hands it what the EEPROM held, before its first
    // erase (see TargetView::KeepHeldBytes).
    void SetHeldBytesKeeper(std::function<bool(uint32_t, const std::vector<uint8_t>&)> keeper) {
        heldBytesKeeper_ = std::move(keeper);
    }

    PageModel& page() { return page_; }
    bool ConnectAttempted() const { return connectAttempted_; }
    bool ShownConnected() const { return shownConnected_; }
    // A question came while neither --yes nor --no was given and nobody could be asked.
    bool QuestionRefused() const { return questionRefused_; }

    // A line of the program's own on standard error (the progress bar kept intact).
    void Note(const std::string& line);

    // LinkView
    MsgAnswer ShowMessage(const Message& message) override;
    void ShowNotConnected() override;

    // TargetView
    void SetStatusText(int field, const std::string& text) override;
    std::string GetStatusText(int field) override;
    void Progress(int32_t n) override;
    void ShowConnecting() override;
    void ShowConnected(bool s12Target) override;
    std::string QuartzText() override;
    void SelectQuartz(int index) override;
    bool SelectionOnly() override { return false; }
    void SetStartField(const std::string& text) override;
    void SetCountField(const std::string& text) override;
    void OpenDefaultPort() override;
    uint32_t PageCount() override { return page_.count(); }
    uint32_t PageStart() override { return page_.start(); }
    // Rebuilding keeps the address window and sets the count, as the grid does.
    void BuildPage(uint32_t size) override;
    void InsertEmptyCellInFront() override { page_.InsertEmptyCellInFront(); }
    bool CellEmpty(uint32_t index) override { return page_.CellEmpty(index); }
    uint8_t GetCellByte(uint32_t index) override { return page_.GetCellByte(index); }
    void SetCellByte(uint32_t index, uint8_t value) override { page_.SetCellByte(index, value); }
    void MarkCellRed(uint32_t index) override { page_.MarkRed(index); }
    bool CellSelected(uint32_t) override { return false; }
    void SelectCell(uint32_t, bool) override {}
    void ScrollGrid(int) override {}
    void MovePageUp() override {}
    void MovePageDown() override {}
    void RepaintGrid() override {}
    bool StopRequested() override;
    bool WantsHeldBytes() override { return bool(heldBytesKeeper_); }
    bool KeepHeldBytes(uint32_t start, const std::vector<uint8_t>& bytes) override {
        return heldBytesKeeper_(start, bytes);
    }

  private:
    MsgAnswer AskOnTerminal();
    void DrawBar();
    void ClearBar();
    void PrintLine(const std::string& line);

    TerminalIo io_;
    Answer answer_;
    std::function<void()> portOpener_;
    std::function<void(int32_t, int32_t)> progressObserver_;
    std::function<bool(uint32_t, const std::vector<uint8_t>&)> heldBytesKeeper_;
    bool stopNoted_ = false;
    PageModel page_;
    std::string status_[4];
    int quartzIndex_ = 0;
    bool connectAttempted_ = false;
    bool shownConnected_ = false;
    bool questionRefused_ = false;

    // Progress bar.
    bool gauge_ = false;
    int32_t total_ = 0;
    int32_t counter_ = 0;
    std::string drawnBar_;  // what the bar line shows now ("" = not drawn)
};

}  // namespace hc12::cli
