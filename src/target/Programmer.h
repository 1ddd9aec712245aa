// The operations on the target: interface reset and clock choice, connect, read and
// write of the EEPROM, and the family programming sequences. Everything runs on the
// caller's thread and blocks it, with every pause on the link's clock.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ModelTable.h"
#include "Pacing.h"
#include "SerialLink.h"
#include "TargetView.h"

namespace hc12 {

class Programmer {
  public:
    Programmer(SerialLink& link, TargetView& view);

    // The chosen model (a copy of the table row; connect may change its start).
    void SetCurrentModel(const ModelRecord& model);
    const ModelRecord& CurrentModel() const { return currentModel_; }

    // Reset pulse on RTS, the "paww" greeting, then Run and Configure. True when the
    // greeting was right.
    bool ResetInterface();
    // The quartz combo box was set to `quartzText`: send its clock to the interface.
    void OnQuartzSelected(const std::string& quartzText);
    // Open the port if needed, handshake, detect the quartz ("Auto"), identify the
    // target (memory map of an MC9S12) and unlock or lock the commands.
    void Connect();
    // Read the current page's address window from the target. False when the link
    // was lost during the read.
    bool ReadEeprom();
    // Write the current page (or its selected words) into the target's EEPROM and
    // verify every word. False when anything failed or was refused.
    bool WriteEeprom();
    // The same, but only the words that differ from what the target holds, at the
    // chip's pace: every word is read first and left alone when it holds the page's
    // bytes already; an MC9S12 erases the sectors that change, or all of it at once
    // where that is quicker (WriteChanged.cpp). Status field 1 ends with "Bez zmian: N".
    bool WriteChangedEeprom();

    // The family sequences (the family is chosen by S12Target()). PrepareEeprom and
    // ProgramWord return false after showing what the chip refused, or without a
    // message when the link was lost under them (the caller reports that).
    bool PrepareEeprom();
    void EraseWord(uint16_t address);
    bool ProgramWord(uint16_t address, uint8_t hi, uint8_t lo);

    // The paces of the two writes (Pacing.h): the full write's fixed pauses and the
    // chip's pace of the changed-only write, unless set otherwise.
    void SetWritePaces(const Pace& fullWrite, const Pace& changedWrite);

    // The last read or write ended early because the view asked it to stop.
    bool Stopped() const { return stopped_; }

    // What the last write reached by its summary: bytes of the window done, words
    // left as they were (changed-only write), bytes that failed. Empty when it
    // ended before a summary (refused, or stopped by the chip's status).
    struct WriteFigures {
        uint32_t done = 0;
        uint32_t unchanged = 0;
        uint32_t failedBytes = 0;
    };
    const std::optional<WriteFigures>& LastWrite() const { return lastWrite_; }

    uint8_t ConfigByte() const { return configByte_; }
    int QuartzMhz() const { return quartzMhz_; }
    bool S12Target() const { return s12Target_; }
    uint16_t ControlRegister() const { return controlRegister_; }

  private:
    // An operation (and each interface reset) starts with a live link. Once one of
    // its exchanges has failed the link counts as lost for the rest of it: nothing
    // more is sent, every reply reads 0 at once, and no value read is judged.
    void StartExchanges();
    bool LinkDown() const;
    // Connected, and no exchange failed since the last start.
    bool Alive() const { return link_.Connected() && !LinkDown(); }

    // Frames and pauses, all through the link and its clock. Frames and replies
    // are skipped once the link is down.
    void Pause(uint32_t ms);
    // What the current pace does after a step of a family sequence.
    void Wait(PaceStep step);
    void Flush();
    uint8_t ReadByte(uint16_t address);
    uint8_t ReceiveByte();
    void SendFrame(const Frame& frame);
    void WriteByte(uint16_t address, uint8_t value);
    void WriteWord(uint16_t address, uint8_t first, uint8_t second);
    void SendConfigure();
    void Error(const std::string& text);

    // Connect pieces.
    enum class Detection {
        Found,        // the clock is confirmed and chosen
        NoClock,      // the target answered at every clock, never with the right reply
        NoTarget,     // the interface greets, but at some clock the target never answered
        NoInterface,  // the last reset brought no greeting back
    };
    bool OpenPortForConnect();
    Detection DetectQuartz();
    void ReadS12MemoryMap();

    // How a step ended: done, stopped after a message of the target's own (status
    // register), or the link was lost.
    enum class StepEnd { Done, Stopped, LinkLost };

    // Family sequences. The MC9S12 preparation is its module's checks, then the
    // full write's bulk erase.
    bool PrepareS12();
    bool PrepareS12Module();
    bool BulkEraseS12();
    // One command on a word: launched, waited for, its status checked.
    StepEnd RunS12Command(uint16_t address, uint8_t hi, uint8_t lo, uint8_t command,
                          const char* failText);
    StepEnd EraseS12Sector(uint16_t sectorAddress);
    StepEnd MassEraseS12(uint16_t eepromAddress);
    StepEnd ProgramS12Word(uint16_t address, uint8_t hi, uint8_t lo);
    // True when CCIF was seen set.
    bool AwaitS12Command();
    bool PrepareHc12();
    void EraseWordHc12(uint16_t address);
    bool ProgramWordHc12(uint16_t address, uint8_t hi, uint8_t lo);
    // Between a word's erase and its programming (HC12).
    void SettleAfterErase();

    // Whole words only: the window grows outward in the address fields, an odd
    // start down a byte and an odd end up a byte, so that every byte keeps its
    // address. `keepCells`: the page gains an empty cell in front as the start moves
    // down (a read rebuilds the page anyway). A byte added at the end is noted in
    // widenedEnd_.
    void WidenToWholeWords(bool keepCells);
    // The window widened to whole words, refused with `refusal` when it does not lie
    // within the 16-bit address space before or after the widening.
    bool WidenWindowInAddressSpace(const char* refusal, bool keepCells);
    // Between two words: true (and Stopped() from now on) once the view asks to stop.
    bool StopHere();

    // Write pieces.
    enum class WordResult {
        Erased,     // 0xFFFF: the erase was all it needed
        Verified,   // programmed and read back (failed bytes marked and counted)
        ChipFault,  // the family sequence refused it; its message is shown
        LinkLost,   // the link died before the word was known to be written
    };
    bool WindowLeavesAddressSpace();
    // The page's byte to write at `offset`; none where the target's own byte stays:
    // an empty cell, or the byte that widening to whole words added at the end.
    std::optional<uint8_t> PageByte(uint32_t offset);
    struct WriteSelection;
    // The target's own bytes where the page has none, in the words the write
    // processes, read before anything is erased; indexed by offset, and only those
    // bytes are read. False when the link was lost or a stop came first.
    bool ReadHeldBytes(uint32_t start, uint32_t count, const WriteSelection& selection,
                       std::vector<uint8_t>* held);
    // `held`: the target's bytes read before the erase (MC9S12); without them an
    // empty cell's byte is read just before the word is erased (HC12).
    WordResult WriteOneWord(uint32_t offset, uint16_t address, const std::vector<uint8_t>* held,
                            uint32_t* failedCount);

    // Pieces both writes share, in the order they come.
    struct WriteWindow {
        uint32_t start = 0;
        uint32_t count = 0;
    };
    // Evens the window and sends the setup frames; nothing when the window is
    // refused (its message is shown).
    std::optional<WriteWindow> OpenWrite();
    // Which words a write takes: every word, or with "Zaznaczenie" ticked only the
    // words holding a selected cell, as the selection stood when the write started.
    struct WriteSelection {
        bool only = false;
        std::vector<bool> cells;  // selected bytes of the window (only)
        bool Selected(uint32_t index) const { return index < cells.size() && cells[index]; }
        bool TakesWord(uint32_t offset) const {
            return !only || Selected(offset) || Selected(offset + 1);
        }
        // Bytes of the words taken between the offsets `from` and `to` (even).
        uint32_t Bytes(uint32_t from, uint32_t to) const;
    };
    // The selection as it stands now, before anything moves the page.
    WriteSelection TakeSelection(uint32_t count);
    // Takes the selection, brings the window's first page into view (moving the
    // page clears a grid's selection, so it is taken first) and starts the gauge
    // at the bytes to write.
    WriteSelection StartWriteGauge(uint32_t count);
    void StartWriteGauge(const WriteSelection& selection, uint32_t count);
    // After the word at `offset`: the gauge, the grid and the offset in field 1.
    void ShowWordWritten(uint32_t offset, bool selectionOnly);
    // At a tenth and a twentieth of the window failed, asks whether to go on;
    // true when the answer is No.
    bool StopAfterFailures(uint32_t failedCount, uint32_t count);
    // The summary: the lost link's message, "written" in field 0, the unchanged
    // words (changed-only write) and the failed bytes in field 1, and their box.
    // True when the write went through.
    bool FinishWrite(uint32_t written, uint32_t failedCount, bool linkLost,
                     std::optional<uint32_t> unchanged);

    // The changed-only write's plan and steps (WriteChanged.cpp).
    class ChangedWriter;

    SerialLink& link_;
    TargetView& view_;
    ModelRecord currentModel_;
    uint8_t configByte_ = 0;
    int quartzMhz_ = 16;
    bool s12Target_ = false;
    uint16_t controlRegister_ = 0x00F3;
    uint32_t failuresAtStart_ = 0;
    // Where the MC9S12's EEPROM lies, as its memory map said at connect (size 0: not
    // known).
    uint16_t s12EepromStart_ = 0;
    uint32_t s12EepromSize_ = 0;
    Pace fullPace_ = FullWritePace();
    Pace changedPace_ = ChipPace();
    const Pace* pace_ = &fullPace_;  // the pace of the write under way
    std::optional<uint32_t> widenedEnd_;
    bool stopped_ = false;
    std::optional<WriteFigures> lastWrite_;
};

}  // namespace hc12
