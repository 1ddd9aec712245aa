// Write only what changed: every word of the window is read once first, and a word
// that already holds the page's bytes is left alone (that reading is its
// verification). The HC12 family erases and programs a changed word as the full
// write does; the MC9S12 family works per 4-byte sector with no bulk erase, and the
// word of a sector that the window does not cover is programmed back as it was.
#include <algorithm>
#include <optional>
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

}  // namespace

bool Programmer::WriteChangedEeprom() {
    stopped_ = false;
    if (view_.PageCount() == 0)
        return true;
    const std::optional<WriteWindow> window = OpenWrite();
    if (!window)
        return false;
    const uint32_t count = window->count;
    const uint32_t start = window->start;

    // The MC9S12 preparation without its bulk erase: sectors are erased one by one.
    // A refusal has shown its message; a lost link has not.
    if (!Alive() || !(s12Target_ ? PrepareS12Module() : PrepareHc12()) || !Alive()) {
        if (!Alive())
            Error(Tr(texts::kLinkLostDuring));
        return false;
    }

    const bool selectionOnly = StartWriteGauge(count);

    const uint32_t unitSize = s12Target_ ? kS12SectorSize : 2;
    uint32_t failedCount = 0;
    uint32_t unchanged = 0;
    uint32_t done = 0;  // bytes of the window finished (written, verified or left)
    bool linkLost = false;
    bool answeredNo = false;
    uint32_t stopOffset = 0;  // the word whose question was answered No
    for (uint32_t offset = 0; offset < count && !linkLost && !answeredNo;) {
        if (StopHere())
            break;
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
        // An empty cell, the byte widening added, and a word this write does not
        // process keep the target's bytes.
        for (WordPlan& word : words) {
            word.hi = word.nowHi;
            word.lo = word.nowLo;
            if (!word.inPage)
                continue;
            word.hi = PageByte(word.offset).value_or(word.nowHi);
            word.lo = PageByte(word.offset + 1).value_or(word.nowLo);
        }

        if (std::all_of(words.begin(), words.end(),
                        [](const WordPlan& w) { return w.Unchanged(); })) {
            for (const WordPlan& word : words) {
                if (word.inPage) {
                    ++unchanged;
                    ShowWordWritten(word.offset, selectionOnly);
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
                if (word.inPage && !answeredNo && StopAfterFailures(failedCount, count)) {
                    answeredNo = true;
                    stopOffset = word.offset;
                }
            }
            if (word.inPage)
                ShowWordWritten(word.offset, selectionOnly);
        }
        if (!linkLost)
            done = unitEnd;
    }

    // As in the full write, a No reports the bytes before the word it came at.
    const uint32_t attempted = std::min(done, count);
    const uint32_t n = answeredNo ? stopOffset : attempted;
    // Bytes not attempted count as failed, unless the user stopped the write.
    if (failedCount > 0 && !stopped_)
        failedCount += count - attempted;
    return FinishWrite(n, failedCount, linkLost, unchanged) && Alive() && !stopped_;
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
