// Write only what changed. Every word of the window is read first, with several
// readings on the way at once (the interface answers in order), and a word that
// already holds the page's bytes is left alone: that reading is its verification.
// The rest is written at the chip's pace (Pacing.h), erasing only what is not erased
// already. The HC12 family erases and programs word by word. The MC9S12 family works
// per 4-byte sector, and the word of a sector that the window does not cover is
// programmed back as it was; when most of the EEPROM changes, one mass erase is
// quicker than many sector erases, and then every other word of the EEPROM is read
// first and programmed back as well. Which way is quicker is estimated from the
// link's own figures.
#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ChangedWritePlan.h"
#include "Programmer.h"
#include "TargetTexts.h"

namespace hc12 {

namespace {

constexpr int kMaxReprogrammings = 4;
constexpr uint32_t kS12SectorSize = 4;
// Readings on the way at once: enough to cover a slow adapter's latency, few enough
// that no queue on the way fills up.
constexpr size_t kReadsInFlight = 16;

}  // namespace

class Programmer::ChangedWriter {
  public:
    ChangedWriter(Programmer& p, uint32_t start, uint32_t count, WriteSelection selection)
        : p_(p), start_(start), count_(count), selection_(std::move(selection)) {}

    bool Run();

  private:
    // Reads the words' bytes, in order; returns how many came before the link died
    // or a stop came.
    size_t ReadWords(const std::vector<WordPlan*>& words);
    // For a view that keeps what the EEPROM held (a backup): the window's bytes from
    // the first reading, before anything is erased. False when the write must not go
    // on: the reading did not finish (`*ended` then tells), or the view refused.
    bool HandOverHeldBytes(size_t unitsRead, bool* ended);
    bool MassEraseIsQuicker(uint32_t* eepromStart, uint32_t* eepromSize) const;
    void WriteUnitByUnit(size_t unitsRead);
    void WriteAfterMassErase(uint32_t eepromStart, uint32_t eepromSize);
    StepEnd WriteUnit(const UnitPlan& unit);
    // Program, read back, program again up to four more times; bytes that still
    // differ are counted (when `count`) and marked red when they are cells of the page.
    StepEnd ProgramVerified(const WordPlan& word, bool count = true);
    // After a programmed word of the page: the question at a tenth and a twentieth.
    void AskAfterFailures(const WordPlan& word);
    uint32_t BeginOffset(const UnitPlan& unit) const;
    uint32_t EndOffset(const UnitPlan& unit) const;
    bool InWindow(uint32_t address) const { return address >= start_ && address - start_ < count_; }

    Programmer& p_;
    const uint32_t start_, count_;
    const WriteSelection selection_;
    std::vector<UnitPlan> units_;
    uint64_t roundTripUs_ = 0;  // one word read, from request to reply

    uint32_t failedCount_ = 0;
    uint32_t unchanged_ = 0;
    uint32_t done_ = 0;  // bytes of the window finished (written, verified or left)
    bool linkLost_ = false;
    bool chipStopped_ = false;  // a status error; its message is shown
    bool answeredNo_ = false;
    uint32_t stopOffset_ = 0;  // the word whose question was answered No
};

bool Programmer::WriteChangedEeprom() {
    stopped_ = false;
    if (view_.PageCount() == 0)
        return true;
    pace_ = &changedPace_;
    const std::optional<WriteWindow> window = OpenWrite();
    if (!window)
        return false;

    // The MC9S12 preparation without its bulk erase: sectors are erased one by one.
    // A refusal has shown its message; a lost link has not.
    if (!Alive() || !(s12Target_ ? PrepareS12Module() : PrepareHc12()) || !Alive()) {
        if (!Alive())
            Error(Tr(texts::kLinkLostDuring));
        return false;
    }

    WriteSelection selection = StartWriteGauge(window->count);
    return ChangedWriter(*this, window->start, window->count, std::move(selection)).Run();
}

bool Programmer::ChangedWriter::Run() {
    units_ = PlanUnits(start_, count_, p_.s12Target_ ? kS12SectorSize : 2, [&](uint32_t offset) {
        return selection_.TakesWord(offset);
    });

    std::vector<WordPlan*> toRead;
    for (UnitPlan& unit : units_)
        for (WordPlan& word : unit.words)
            toRead.push_back(&word);
    size_t wordsLeft = ReadWords(toRead);
    size_t unitsRead = 0;
    for (; unitsRead < units_.size() && wordsLeft >= units_[unitsRead].words.size(); ++unitsRead) {
        wordsLeft -= units_[unitsRead].words.size();
        // An empty cell, the byte widening added, and a word this write does not
        // process keep the target's bytes.
        for (WordPlan& word : units_[unitsRead].words) {
            word.hi = word.nowHi;
            word.lo = word.nowLo;
            if (!word.inPage)
                continue;
            word.hi = p_.PageByte(word.offset).value_or(word.nowHi);
            word.lo = p_.PageByte(word.offset + 1).value_or(word.nowLo);
        }
    }

    if (p_.view_.WantsHeldBytes()) {
        bool ended = false;
        if (!HandOverHeldBytes(unitsRead, &ended)) {
            if (ended)  // nothing written: a lost link or a stop
                p_.FinishWrite(0, 0, !p_.Alive(), 0);
            else
                p_.view_.Progress(-1);  // refused by the view, which says why
            return false;
        }
    }

    uint32_t eepromStart = 0, eepromSize = 0;
    if (unitsRead == units_.size() && p_.Alive() && MassEraseIsQuicker(&eepromStart, &eepromSize))
        WriteAfterMassErase(eepromStart, eepromSize);
    else
        WriteUnitByUnit(unitsRead);

    if (chipStopped_) {
        p_.view_.Progress(-1);  // the message is shown; leave no gauge behind
        return false;
    }
    // As in the full write, a No reports the bytes before the word it came at.
    const uint32_t attempted = std::min(done_, count_);
    const uint32_t n = answeredNo_ ? stopOffset_ : attempted;
    // Bytes not attempted count as failed, unless the user stopped the write; the
    // words a selection-only write does not take are neither.
    if (failedCount_ > 0 && !p_.stopped_)
        failedCount_ += selection_.Bytes(attempted, count_);
    return p_.FinishWrite(selection_.Bytes(0, n), failedCount_, linkLost_, unchanged_) &&
           p_.Alive() && !p_.stopped_;
}

size_t Programmer::ChangedWriter::ReadWords(const std::vector<WordPlan*>& words) {
    if (words.empty())
        return 0;
    Clock& clock = p_.link_.clock();
    // The first reading goes alone: it times a request and its reply on this link.
    const uint64_t sentUs = clock.NowUs();
    p_.SendFrame(ReadWordFrame(words[0]->address));
    size_t sent = 1;
    size_t received = 0;
    for (; received < words.size(); ++received) {
        // Readings still on the way are dropped by the flush that ends the write.
        if (p_.StopHere())
            break;
        WordPlan& word = *words[received];
        word.nowHi = p_.ReceiveByte();
        word.nowLo = p_.ReceiveByte();
        if (!p_.Alive())
            break;  // a reading that did not come proves nothing
        if (received == 0 && roundTripUs_ == 0)
            roundTripUs_ = clock.NowUs() - sentUs;
        while (sent < words.size() && sent - received - 1 < kReadsInFlight)
            p_.SendFrame(ReadWordFrame(words[sent++]->address));
    }
    return received;
}

bool Programmer::ChangedWriter::HandOverHeldBytes(size_t unitsRead, bool* ended) {
    if (unitsRead < units_.size() || !p_.Alive() || p_.stopped_) {
        *ended = true;
        return false;
    }
    std::vector<uint8_t> held(count_, 0);
    std::vector<bool> known(count_, false);
    for (const UnitPlan& unit : units_) {
        for (const WordPlan& word : unit.words) {
            if (!InWindow(word.address))
                continue;
            const uint32_t offset = word.address - start_;
            held[offset] = word.nowHi;
            held[offset + 1] = word.nowLo;
            known[offset] = known[offset + 1] = true;
        }
    }
    // Words the plan leaves out (outside a selection) are read now, still before
    // anything is erased.
    std::vector<WordPlan> rest;
    for (uint32_t offset = 0; offset < count_; offset += 2) {
        if (!known[offset]) {
            WordPlan word;
            word.address = uint16_t(start_ + offset);
            rest.push_back(word);
        }
    }
    std::vector<WordPlan*> toRead;
    for (WordPlan& word : rest)
        toRead.push_back(&word);
    if (ReadWords(toRead) < toRead.size()) {
        *ended = true;
        return false;
    }
    for (const WordPlan& word : rest) {
        held[word.address - start_] = word.nowHi;
        held[word.address - start_ + 1] = word.nowLo;
    }
    return p_.view_.KeepHeldBytes(start_, held);
}

uint32_t Programmer::ChangedWriter::BeginOffset(const UnitPlan& unit) const {
    for (const WordPlan& word : unit.words)
        if (InWindow(word.address))
            return word.address - start_;
    return 0;
}

uint32_t Programmer::ChangedWriter::EndOffset(const UnitPlan& unit) const {
    uint32_t end = 0;
    for (const WordPlan& word : unit.words)
        if (InWindow(word.address))
            end = word.address - start_ + 2;
    return end;
}

void Programmer::ChangedWriter::WriteUnitByUnit(size_t unitsRead) {
    for (size_t i = 0; i < units_.size(); ++i) {
        const UnitPlan& unit = units_[i];
        done_ = BeginOffset(unit);
        if (p_.StopHere())
            return;
        // Nothing is written on a reading that did not finish.
        if (i >= unitsRead || (!unit.Unchanged() && !p_.Alive())) {
            linkLost_ = true;
            return;
        }
        if (unit.Unchanged()) {
            for (const WordPlan& word : unit.words) {
                if (word.inPage) {
                    ++unchanged_;
                    p_.ShowWordWritten(word.offset, selection_.only);
                }
            }
            continue;
        }
        const StepEnd end = WriteUnit(unit);
        if (end == StepEnd::Stopped) {
            chipStopped_ = true;
            return;
        }
        if (end == StepEnd::LinkLost) {
            linkLost_ = true;
            return;
        }
        if (answeredNo_) {
            done_ = EndOffset(unit);
            return;
        }
    }
    done_ = count_;
}

Programmer::StepEnd Programmer::ChangedWriter::WriteUnit(const UnitPlan& unit) {
    if (unit.NeedsErase()) {
        if (p_.s12Target_) {
            if (const StepEnd end = p_.EraseS12Sector(unit.words.front().address);
                end != StepEnd::Done)
                return end;
        } else {
            p_.EraseWord(unit.words.front().address);
            p_.SettleAfterErase();
            if (!p_.Alive())
                return StepEnd::LinkLost;
        }
    }
    // Once a sector is erased all of its words are programmed, whatever the answer
    // to the question: a No ends the write after the sector.
    for (const WordPlan& word : unit.words) {
        if (unit.Programs(word)) {
            if (const StepEnd end = ProgramVerified(word); end != StepEnd::Done)
                return end;
            AskAfterFailures(word);
        }
        if (word.inPage)
            p_.ShowWordWritten(word.offset, selection_.only);
    }
    return StepEnd::Done;
}

void Programmer::ChangedWriter::AskAfterFailures(const WordPlan& word) {
    if (word.inPage && !answeredNo_ && p_.StopAfterFailures(failedCount_, count_)) {
        answeredNo_ = true;
        stopOffset_ = word.offset;
    }
}

bool Programmer::ChangedWriter::MassEraseIsQuicker(uint32_t* eepromStart,
                                                   uint32_t* eepromSize) const {
    // Only an EEPROM whose place and size the chip itself reported can be erased as a
    // whole and put back: a word missed would be lost.
    if (!p_.s12Target_ || p_.s12EepromSize_ == 0)
        return false;
    *eepromStart = p_.s12EepromStart_;
    *eepromSize = p_.s12EepromSize_;
    if (start_ < *eepromStart || start_ + count_ > *eepromStart + *eepromSize)
        return false;
    uint32_t planned = 0;
    for (const UnitPlan& unit : units_)
        planned += uint32_t(unit.words.size());
    const uint32_t otherWords = *eepromSize / 2 - planned;
    const S12Costs costs = EstimateS12Costs(p_.link_.FrameTimeUs(), roundTripUs_);
    return MassEraseWriteCost(units_, otherWords, costs) < SectorWriteCost(units_, costs);
}

void Programmer::ChangedWriter::WriteAfterMassErase(uint32_t eepromStart, uint32_t eepromSize) {
    // Every word of the EEPROM in address order: the planned ones, and the others,
    // which keep what they hold.
    std::vector<WordPlan> others;
    others.reserve(eepromSize / 2);
    size_t next = 0;
    for (uint32_t address = eepromStart; address < eepromStart + eepromSize; address += 2) {
        if (next < units_.size() && units_[next].words.front().address <= address) {
            address = units_[next].words.back().address;
            ++next;
            continue;
        }
        WordPlan word;
        word.address = uint16_t(address);
        word.offset = InWindow(address) ? address - start_ : 0;
        others.push_back(word);
    }
    std::vector<WordPlan*> toRead;
    for (WordPlan& word : others)
        toRead.push_back(&word);
    std::vector<WordPlan*> all;
    size_t unit = 0;
    for (WordPlan& word : others) {
        for (; unit < units_.size() && units_[unit].words.front().address < word.address; ++unit)
            for (WordPlan& planned : units_[unit].words)
                all.push_back(&planned);
        all.push_back(&word);
    }
    for (; unit < units_.size(); ++unit)
        for (WordPlan& planned : units_[unit].words)
            all.push_back(&planned);

    // Read before anything is erased; nothing is erased on a reading that did not come.
    if (ReadWords(toRead) < toRead.size()) {
        linkLost_ = !p_.stopped_;
        return;
    }
    for (WordPlan& word : others) {
        word.hi = word.nowHi;
        word.lo = word.nowLo;
    }

    if (p_.StopHere())
        return;  // nothing erased yet
    if (const StepEnd end = p_.MassEraseS12(uint16_t(eepromStart)); end != StepEnd::Done) {
        (end == StepEnd::Stopped ? chipStopped_ : linkLost_) = true;
        return;
    }
    for (WordPlan* word : all) {
        // A stop is asked for between two sectors of the window.
        const bool halted =
            answeredNo_ || p_.stopped_ ||
            (InWindow(word->address) && word->address % kS12SectorSize == 0 && p_.StopHere());
        if (halted && word->inPage) {
            // After a No or a stop the rest of the window is not written: it gets back
            // what it held, like every other word that the erase took. Its bytes count
            // as not attempted already.
            WordPlan back = *word;
            back.inPage = false;
            back.hi = back.nowHi;
            back.lo = back.nowLo;
            if (!back.WantsErased()) {
                if (const StepEnd end = ProgramVerified(back, false); end != StepEnd::Done) {
                    (end == StepEnd::Stopped ? chipStopped_ : linkLost_) = true;
                    return;
                }
            }
            continue;
        }
        if (!word->WantsErased()) {
            if (const StepEnd end = ProgramVerified(*word); end != StepEnd::Done) {
                (end == StepEnd::Stopped ? chipStopped_ : linkLost_) = true;
                return;
            }
            AskAfterFailures(*word);
        }
        if (word->inPage)
            p_.ShowWordWritten(word->offset, selection_.only);
        // The word a No came at was attempted, as in the full write.
        if (InWindow(word->address) && !halted)
            done_ = word->address - start_ + 2;
    }
    if (!answeredNo_ && !p_.stopped_)
        done_ = count_;
}

Programmer::StepEnd Programmer::ChangedWriter::ProgramVerified(const WordPlan& word, bool count) {
    for (int retryCount = 0;; ++retryCount) {
        if (p_.s12Target_) {
            if (const StepEnd end = p_.ProgramS12Word(word.address, word.hi, word.lo);
                end != StepEnd::Done)
                return end;
        } else {
            p_.ProgramWord(word.address, word.hi, word.lo);
        }
        p_.SendFrame(ReadWordFrame(word.address));
        const uint8_t rh = p_.ReceiveByte();
        const uint8_t rl = p_.ReceiveByte();
        if (!p_.Alive())
            return StepEnd::LinkLost;  // a reading that did not come proves nothing
        if ((rh != word.hi || rl != word.lo) && retryCount < kMaxReprogrammings)
            continue;
        const bool failed[2] = {rh != word.hi, rl != word.lo};
        for (uint32_t i = 0; i < 2; ++i) {
            if (!failed[i])
                continue;
            if (count)
                ++failedCount_;
            if (word.inPage) {
                p_.view_.MarkCellRed(word.offset + i);
                p_.view_.SelectCell(word.offset + i, true);
            }
        }
        return StepEnd::Done;
    }
}

}  // namespace hc12
