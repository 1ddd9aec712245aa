// Write only what changed: every word of the window is read once first, and a word
// that already holds the page's bytes is left alone (that reading is its
// verification). The HC12 family erases and programs a changed word as the full
// write does; the MC9S12 family works per 4-byte sector with no bulk erase, and the
// word of a sector that the window does not cover is programmed back as it was.
#include <algorithm>
#include <string>
#include <vector>

#include "Programmer.h"
#include "TargetTexts.h"

namespace hc12 {

struct Programmer::WordPlan {
    uint16_t address = 0;
    bool inPage = false;           // a word of the window that this write processes
    uint32_t offset = 0;           // its byte offset in the page (inPage only)
    uint8_t nowHi = 0, nowLo = 0;  // what the target holds
    uint8_t hi = 0, lo = 0;        // what it is to hold
    bool Unchanged() const { return hi == nowHi && lo == nowLo; }
    bool Erased() const { return hi == 0xFF && lo == 0xFF; }
};

namespace {

constexpr int kMaxReprogrammings = 4;
constexpr uint32_t kS12SectorSize = 4;

const char* WriteUnit(uint32_t n) {
    if (n == 1)
        return texts::kUnitOne;
    if (n == 2 || n == 3)
        return texts::kUnitFew;
    return texts::kUnitMany;
}

}  // namespace

bool Programmer::WriteChangedEeprom() {
    if (view_.PageCount() == 0)
        return true;
    // The window in whole words, refused as the full write refuses it.
    if (WindowLeavesAddressSpace()) {
        Error(texts::kWritePastFfff);
        return false;
    }
    EvenAddressWindow();
    if (WindowLeavesAddressSpace()) {
        Error(texts::kWritePastFfff);
        return false;
    }
    const uint32_t count = view_.PageCount();
    const uint32_t start = view_.PageStart();

    StartExchanges();
    controlRegister_ = 0x00F3;
    view_.ScrollGrid(0);
    Flush();
    SendConfigure();
    ReadByte(0x0012);
    // The MC9S12 preparation without its bulk erase: sectors are erased one by one.
    // A refusal has shown its message; a lost link has not.
    if (!Alive() || !(s12Target_ ? PrepareS12Module() : PrepareHc12()) || !Alive()) {
        if (!Alive())
            Error(texts::kLinkLostDuring);
        return false;
    }

    for (int i = 0; i < 5; ++i)
        view_.MovePageUp();
    view_.MovePageDown();
    Pause(20);
    Flush();

    const bool selectionOnly = view_.SelectionOnly();
    uint32_t steps = count;
    if (selectionOnly) {
        steps = 0;
        for (uint32_t i = 0; i < count; ++i)
            if (view_.CellSelected(i))
                ++steps;
    }
    view_.Progress(int32_t(steps));

    auto wordTail = [&](uint32_t offset) {
        view_.Progress(0);
        view_.Progress(0);
        if (offset % 512 == 0 && offset != 0)
            view_.MovePageDown();
        view_.SetStatusText(1, std::to_string(offset + 2));
        if (!selectionOnly)
            view_.SelectCell(offset + 1, false);
        view_.RepaintGrid();
    };

    const uint32_t unitSize = s12Target_ ? kS12SectorSize : 2;
    uint32_t failedCount = 0;
    uint32_t unchanged = 0;
    uint32_t done = 0;  // bytes of the window finished (written, verified or left)
    bool linkLost = false;
    bool answeredNo = false;
    uint32_t stopOffset = 0;  // the word whose question was answered No
    for (uint32_t offset = 0; offset < count && !linkLost && !answeredNo;) {
        // One word, or one sector with the words of it that lie in the window.
        const uint32_t unitStart = (start + offset) / unitSize * unitSize;
        std::vector<WordPlan> words;
        for (uint32_t address = unitStart; address < unitStart + unitSize; address += 2) {
            WordPlan word;
            word.address = uint16_t(address);
            if (address >= start && address - start < count) {
                word.offset = address - start;
                word.inPage = !selectionOnly || view_.CellSelected(word.offset) ||
                              view_.CellSelected(word.offset + 1);
                offset = word.offset + 2;
            }
            words.push_back(word);
        }
        const uint32_t unitEnd = offset;
        if (std::none_of(words.begin(), words.end(), [](const WordPlan& w) { return w.inPage; })) {
            done = unitEnd;
            continue;
        }

        for (WordPlan& word : words) {
            SendFrame(ReadWordFrame(word.address));
            word.nowHi = ReceiveByte();
            word.nowLo = ReceiveByte();
        }
        if (!Alive()) {
            linkLost = true;  // nothing erased on a reading that did not come
            break;
        }
        // An empty cell, and a word this write does not process, keep the target's bytes.
        for (WordPlan& word : words) {
            word.hi = word.nowHi;
            word.lo = word.nowLo;
            if (!word.inPage)
                continue;
            if (!view_.CellEmpty(word.offset))
                word.hi = view_.GetCellByte(word.offset);
            if (!view_.CellEmpty(word.offset + 1))
                word.lo = view_.GetCellByte(word.offset + 1);
        }

        if (std::all_of(words.begin(), words.end(),
                        [](const WordPlan& w) { return w.Unchanged(); })) {
            for (const WordPlan& word : words) {
                if (word.inPage) {
                    ++unchanged;
                    wordTail(word.offset);
                }
            }
            done = unitEnd;
            continue;
        }

        if (s12Target_) {
            const StepEnd end = EraseS12Sector(uint16_t(unitStart));
            if (end == StepEnd::Stopped) {
                view_.Progress(-1);
                return false;
            }
            if (end == StepEnd::LinkLost) {
                linkLost = true;
                break;
            }
        } else {
            EraseWord(words.front().address);
            Flush();
            if (!Alive()) {
                linkLost = true;
                break;
            }
        }

        // Once a sector is erased all of its words are programmed, whatever the
        // answer to the question: a No ends the write after the sector.
        for (const WordPlan& word : words) {
            if (!word.Erased()) {
                const StepEnd end = ProgramVerified(word, &failedCount);
                if (end == StepEnd::Stopped) {
                    view_.Progress(-1);
                    return false;
                }
                if (end == StepEnd::LinkLost) {
                    linkLost = true;
                    break;
                }
                if (word.inPage && !answeredNo && failedCount != 0 &&
                    (failedCount == count / 10 || failedCount == count / 20)) {
                    const std::string question = texts::kWriteFailed + std::to_string(failedCount) +
                                                 texts::kCells + "\n" + texts::kContinue;
                    answeredNo =
                        view_.ShowMessage({question, texts::kCaptionError, MsgButtons::YesNo,
                                           MsgIcon::Error}) == MsgAnswer::No;
                    stopOffset = word.offset;
                }
            }
            if (word.inPage)
                wordTail(word.offset);
        }
        if (!linkLost)
            done = unitEnd;
    }

    if (linkLost)
        Error(texts::kLinkLostDuring);
    // As in the full write, a No reports the bytes before the word it came at.
    const uint32_t attempted = std::min(done, count);
    const uint32_t n = answeredNo ? stopOffset : attempted;
    if (failedCount > 0)
        failedCount += count - attempted;  // bytes not attempted count as failed
    view_.SetStatusText(0, texts::kWritePrefix + std::to_string(n) + WriteUnit(n));
    view_.Progress(-1);
    Flush();

    // The failure count, when there is one, follows in the same field: the command
    // line shows both, the window keeps the count in view (both do not fit there).
    view_.SetStatusText(1, texts::kUnchangedWords + std::to_string(unchanged));
    if (failedCount == 0)
        return !linkLost && Alive();
    view_.SetStatusText(1, texts::kFailedWrites + std::to_string(failedCount));
    // After a lost link its message was the end of it: one box, not two.
    if (!linkLost)
        Error(texts::kWriteFailed + std::to_string(failedCount) + texts::kCells);
    return false;
}

Programmer::StepEnd Programmer::ProgramVerified(const WordPlan& word, uint32_t* failedCount) {
    for (int retryCount = 0;; ++retryCount) {
        if (s12Target_) {
            if (const StepEnd end = ProgramS12Word(word.address, word.hi, word.lo);
                end != StepEnd::Done)
                return end;
        } else {
            ProgramWord(word.address, word.hi, word.lo);
        }
        SendFrame(ReadWordFrame(word.address));
        const uint8_t rh = ReceiveByte();
        const uint8_t rl = ReceiveByte();
        if (!Alive())
            return StepEnd::LinkLost;  // a reading that did not come proves nothing
        if ((rh != word.hi || rl != word.lo) && retryCount < kMaxReprogrammings)
            continue;
        const bool failed[2] = {rh != word.hi, rl != word.lo};
        for (uint32_t i = 0; i < 2; ++i) {
            if (!failed[i])
                continue;
            ++*failedCount;
            if (word.inPage) {
                view_.MarkCellRed(word.offset + i);
                view_.SelectCell(word.offset + i, true);
            }
        }
        return StepEnd::Done;
    }
}

}  // namespace hc12
