// What the target operations drive: the window implements it, tests implement a
// recording fake, the command-line program implements it on a terminal.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "LinkView.h"

namespace hc12 {

class TargetView : public LinkView {
  public:
    // Status bar, fields 0..3; texts are UTF-8.
    virtual void SetStatusText(int field, const std::string& text) = 0;
    virtual std::string GetStatusText(int field) = 0;

    // The progress gauge: n > 0 starts it for n steps, 0 counts a step, n < 0 ends it.
    virtual void Progress(int32_t n) = 0;

    // Control-state blocks (ShowNotConnected comes from LinkView).
    virtual void ShowConnecting() = 0;               // field 3 "Łączenie..."
    virtual void ShowConnected(bool s12Target) = 0;  // field 3 "Połączony.", commands unlocked

    // Quartz combo box: its text, and selecting item 0..3 without a selection event.
    virtual std::string QuartzText() = 0;
    virtual void SelectQuartz(int index) = 0;

    // The "Zaznaczenie" check box.
    virtual bool SelectionOnly() = 0;

    // Writing the address fields; the field handling carries them into the page.
    virtual void SetStartField(const std::string& text) = 0;
    virtual void SetCountField(const std::string& text) = 0;

    // Open the default port (COM1) the way the port menu does.
    virtual void OpenDefaultPort() = 0;

    // The current page. Byte indexes beyond the page's capacity are empty cells:
    // they read as empty, and marks and selection on them do nothing.
    virtual uint32_t PageCount() = 0;
    virtual uint32_t PageStart() = 0;
    virtual void BuildPage(uint32_t size) = 0;  // rebuild empty for size bytes
    // An empty cell in front: every cell moves up one byte index with its mark and
    // selection, so that each keeps its address when the start moves down a byte.
    virtual void InsertEmptyCellInFront() = 0;
    virtual bool CellEmpty(uint32_t index) = 0;
    virtual uint8_t GetCellByte(uint32_t index) = 0;
    virtual void SetCellByte(uint32_t index, uint8_t value) = 0;
    virtual void MarkCellRed(uint32_t index) = 0;
    virtual bool CellSelected(uint32_t index) = 0;
    // Select the hex cell of the byte; add = keep the other selected cells.
    virtual void SelectCell(uint32_t index, bool add) = 0;
    virtual void ScrollGrid(int verticalPosition) = 0;
    virtual void MovePageUp() = 0;
    virtual void MovePageDown() = 0;
    // Repaint the grid now (paint events only, never user input).
    virtual void RepaintGrid() = 0;

    // Asked between two words of a read or write (MC9S12 changed-only write: between
    // two sectors), never inside an erase or programming step: true ends the
    // operation there (the window's close box, Ctrl+C on the command line). Called on
    // the operation's thread; a view that can be stopped from elsewhere keeps the
    // request in an atomic.
    virtual bool StopRequested() { return false; }

    // A view that keeps what the EEPROM held before a write (a backup) wants it
    // from the changed-only write: the write then reads the window whole, once,
    // before its first erase, hands the bytes over, and plans from that reading.
    // KeepHeldBytes returning false leaves the target untouched; the view says why.
    virtual bool WantsHeldBytes() { return false; }
    virtual bool KeepHeldBytes(uint32_t /*start*/, const std::vector<uint8_t>& /*bytes*/) {
        return true;
    }
};

}  // namespace hc12
