// Write the current page (or its selected words) into the target's EEPROM, verifying
// and reprogramming every word.
#include <algorithm>
#include <string>
#include <vector>

#include "Programmer.h"
#include "TargetTexts.h"

namespace hc12 {

namespace {

constexpr int kMaxReprogrammings = 4;

}  // namespace

// The window in whole words grows outward to even boundaries. Past 0xFFFF the
// addresses would wrap into the register block at 0x0000 (a write would put buffer
// bytes into the registers), so such a window is refused before the fields change.
bool Programmer::WindowLeavesAddressSpace() {
    const uint64_t end = uint64_t(view_.PageStart()) + view_.PageCount();
    return end + end % 2 > 0x10000;
}

std::optional<uint8_t> Programmer::PageByte(uint32_t offset) {
    if (offset == widenedEnd_ || view_.CellEmpty(offset))
        return std::nullopt;
    return view_.GetCellByte(offset);
}

bool Programmer::WidenWindowInAddressSpace(const char* refusal, bool keepCells) {
    if (WindowLeavesAddressSpace()) {
        Error(Tr(refusal));
        return false;
    }
    WidenToWholeWords(keepCells);
    // Whatever the address fields made of the widened window, it must still lie
    // within the address space.
    if (WindowLeavesAddressSpace()) {
        Error(Tr(refusal));
        return false;
    }
    return true;
}

std::optional<Programmer::WriteWindow> Programmer::OpenWrite() {
    if (!WidenWindowInAddressSpace(texts::kWritePastFfff, /*keepCells=*/true))
        return std::nullopt;
    lastWrite_.reset();
    WriteWindow window;
    window.count = view_.PageCount();
    window.start = view_.PageStart();

    StartExchanges();
    controlRegister_ = 0x00F3;
    view_.ScrollGrid(0);
    Flush();
    SendConfigure();
    ReadByte(0x0012);
    return window;
}

uint32_t Programmer::WriteSelection::Bytes(uint32_t from, uint32_t to) const {
    if (to <= from)
        return 0;
    if (!only)
        return to - from;
    uint32_t bytes = 0;
    for (uint32_t offset = from; offset < to; offset += 2)
        if (TakesWord(offset))
            bytes += 2;
    return bytes;
}

Programmer::WriteSelection Programmer::TakeSelection(uint32_t count) {
    WriteSelection selection;
    selection.only = view_.SelectionOnly();
    if (selection.only) {
        selection.cells.resize(count);
        for (uint32_t i = 0; i < count; ++i)
            selection.cells[i] = view_.CellSelected(i);
    }
    return selection;
}

Programmer::WriteSelection Programmer::StartWriteGauge(uint32_t count) {
    WriteSelection selection = TakeSelection(count);
    StartWriteGauge(selection, count);
    return selection;
}

void Programmer::StartWriteGauge(const WriteSelection& selection, uint32_t count) {
    uint32_t steps = count;
    if (selection.only)
        steps = uint32_t(std::count(selection.cells.begin(), selection.cells.end(), true));

    for (int i = 0; i < 5; ++i)
        view_.MovePageUp();
    view_.MovePageDown();
    Pause(20);
    Flush();

    view_.Progress(int32_t(steps));
}

void Programmer::ShowWordWritten(uint32_t offset, bool selectionOnly) {
    view_.Progress(0);
    view_.Progress(0);
    if (offset % 512 == 0 && offset != 0)
        view_.MovePageDown();
    view_.SetStatusText(1, std::to_string(offset + 2));
    if (!selectionOnly)
        view_.SelectCell(offset + 1, false);
    view_.RepaintGrid();
}

bool Programmer::StopAfterFailures(uint32_t failedCount, uint32_t count) {
    if (failedCount == 0 || (failedCount != count / 10 && failedCount != count / 20))
        return false;
    const std::string question = Format(TrN(texts::kWriteFailedQuestion, failedCount), failedCount);
    return view_.ShowMessage({question, Tr(texts::kCaptionError), MsgButtons::YesNo,
                              MsgIcon::Error}) == MsgAnswer::No;
}

bool Programmer::FinishWrite(uint32_t written, uint32_t failedCount, bool linkLost,
                             std::optional<uint32_t> unchanged) {
    lastWrite_ = WriteFigures{written, unchanged.value_or(0), failedCount};
    if (linkLost)
        Error(Tr(texts::kLinkLostDuring));
    view_.SetStatusText(0, Format(TrN(texts::kWriteStatus, written), written));
    view_.Progress(-1);
    Flush();

    // The failure count, when there is one, follows in the same field: the command
    // line shows both, the window keeps the count in view (both do not fit there).
    if (unchanged)
        view_.SetStatusText(1, Format(Tr(texts::kUnchangedWords), *unchanged));
    if (failedCount == 0)
        return !linkLost;
    view_.SetStatusText(1, Format(Tr(texts::kFailedWrites), failedCount));
    // After a lost link its message was the end of it: one box, not two.
    if (!linkLost)
        Error(Format(TrN(texts::kWriteFailed, failedCount), failedCount));
    return false;
}

bool Programmer::WriteEeprom() {
    stopped_ = false;
    if (view_.PageCount() == 0)
        return true;
    pace_ = &fullPace_;
    const std::optional<WriteWindow> window = OpenWrite();
    if (!window)
        return false;
    const uint32_t count = window->count;
    const uint32_t start = window->start;

    // The MC9S12 bulk erase takes the whole EEPROM: the bytes the page leaves to the
    // target are read before it, or they would be read back erased.
    // The selection is taken before anything moves the page (which clears it).
    const WriteSelection selection = TakeSelection(count);
    std::vector<uint8_t> held;
    bool prepared = false;
    if (s12Target_) {
        prepared = PrepareS12Module();
        if (prepared && !ReadHeldBytes(start, count, selection, &held)) {
            // Nothing erased yet: a lost link or a stop.
            FinishWrite(0, 0, !Alive(), std::nullopt);
            return false;
        }
        prepared = prepared && BulkEraseS12();
    } else {
        prepared = PrepareHc12();
    }
    if (!prepared) {
        // A refusal has shown its message; a lost link has not.
        if (!Alive())
            Error(Tr(texts::kLinkLostDuring));
        return false;
    }

    StartWriteGauge(selection, count);

    uint32_t failedCount = 0;
    uint32_t offset = 0;
    bool linkLost = false;
    bool stoppedAfterWord = false;  // the word at offset was processed before the stop
    for (; offset < count; offset += 2) {
        if (!selection.TakesWord(offset))
            continue;
        if (StopHere())
            break;

        const WordResult result = WriteOneWord(offset, uint16_t(start + offset),
                                               s12Target_ ? &held : nullptr, &failedCount);
        if (result == WordResult::ChipFault) {
            // The message is shown; stop at once, but leave no gauge behind.
            view_.Progress(-1);
            return false;
        }
        if (result == WordResult::LinkLost) {
            // The word was not verified: it counts neither as written nor as failed.
            linkLost = true;
            break;
        }
        if (result == WordResult::Verified && StopAfterFailures(failedCount, count)) {
            stoppedAfterWord = true;
            break;
        }
        ShowWordWritten(offset, selection.only);
    }

    const uint32_t n = offset < count ? offset : count;
    // Bytes not attempted count as failed. The word the write stopped at after its
    // question was attempted, and its failed bytes are already counted: counting
    // them again would report more failed cells than the window holds.
    const uint32_t attempted = stoppedAfterWord ? std::min(count, offset + 2) : n;
    // Words left alone at the user's request are not failures, nor are the words
    // a selection-only write does not take.
    if (failedCount > 0 && !stopped_)
        failedCount += selection.Bytes(attempted, count);
    // What was written: a selection-only write counts the words it took.
    return FinishWrite(selection.Bytes(0, n), failedCount, linkLost, std::nullopt) && !stopped_;
}

bool Programmer::ReadHeldBytes(uint32_t start, uint32_t count, const WriteSelection& selection,
                               std::vector<uint8_t>* held) {
    held->assign(count, 0xFF);
    for (uint32_t offset = 0; offset < count; offset += 2) {
        if (!selection.TakesWord(offset))
            continue;
        const bool hiHeld = !PageByte(offset);
        const bool loHeld = !PageByte(offset + 1);
        if (!hiHeld && !loHeld)
            continue;
        if (StopHere())
            return false;
        if (hiHeld)
            (*held)[offset] = ReadByte(uint16_t(start + offset));
        if (loHeld)
            (*held)[offset + 1] = ReadByte(uint16_t(start + offset + 1));
        if (!Alive())
            return false;
    }
    return true;
}

// Erase, program and verify the word at `offset`, reprogramming it up to four more
// times; bytes that still differ are marked red, selected and counted.
Programmer::WordResult Programmer::WriteOneWord(uint32_t offset, uint16_t address,
                                                const std::vector<uint8_t>* held,
                                                uint32_t* failedCount) {
    // Where the target keeps its own byte, it must be known before the erase,
    // or the word would be programmed with a byte that nobody asked for.
    const std::optional<uint8_t> pageHi = PageByte(offset);
    const std::optional<uint8_t> pageLo = PageByte(offset + 1);
    const uint8_t hi = pageHi ? *pageHi : held ? (*held)[offset] : ReadByte(address);
    const uint8_t lo = pageLo ? *pageLo
                       : held ? (*held)[offset + 1]
                              : ReadByte(uint16_t(address + 1));
    if (!Alive())
        return WordResult::LinkLost;

    EraseWord(address);
    SettleAfterErase();
    if (hi == 0xFF && lo == 0xFF)
        return Alive() ? WordResult::Erased : WordResult::LinkLost;

    int retryCount = 0;
    for (;;) {
        if (!ProgramWord(address, hi, lo))
            return Alive() ? WordResult::ChipFault : WordResult::LinkLost;
        SendFrame(ReadWordFrame(address));
        const uint8_t rh = ReceiveByte();
        const uint8_t rl = ReceiveByte();
        if (!Alive())
            return WordResult::LinkLost;
        if ((hi != rh || lo != rl) && retryCount < kMaxReprogrammings) {
            ++retryCount;
            continue;
        }
        if (hi != rh) {
            view_.MarkCellRed(offset);
            view_.SelectCell(offset, true);
            ++*failedCount;
        }
        if (lo != rl) {
            view_.MarkCellRed(offset + 1);
            view_.SelectCell(offset + 1, true);
            ++*failedCount;
        }
        return WordResult::Verified;
    }
}

bool Programmer::PrepareEeprom() {
    return s12Target_ ? PrepareS12() : PrepareHc12();
}

void Programmer::EraseWord(uint16_t address) {
    if (!s12Target_)
        EraseWordHc12(address);
}

bool Programmer::ProgramWord(uint16_t address, uint8_t hi, uint8_t lo) {
    if (s12Target_)
        return ProgramS12Word(address, hi, lo) == StepEnd::Done;
    return ProgramWordHc12(address, hi, lo);
}

}  // namespace hc12
