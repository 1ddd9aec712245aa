// What the changed-only write does with each word, and what it costs: the pieces of
// its plan that need no link, so that they can be reasoned about (and tested) alone.
#pragma once

#include <cstdint>
#include <vector>

namespace hc12 {

struct WordPlan {
    uint16_t address = 0;
    bool inPage = false;           // a word of the window that this write processes
    uint32_t offset = 0;           // its byte offset in the page (inPage only)
    uint8_t nowHi = 0, nowLo = 0;  // what the target holds
    uint8_t hi = 0, lo = 0;        // what it is to hold
    bool Unchanged() const { return hi == nowHi && lo == nowLo; }
    bool WantsErased() const { return hi == 0xFF && lo == 0xFF; }
    bool HoldsErased() const { return nowHi == 0xFF && nowLo == 0xFF; }
};

// The smallest piece the chip erases: one word (HC12) or one 4-byte sector (MC9S12),
// with every word of it, also those that the window does not cover.
struct UnitPlan {
    std::vector<WordPlan> words;
    bool Unchanged() const;
    // An erase is needed only where a word is not erased already.
    bool NeedsErase() const;
    // Whether the word is programmed when its unit is written: after an erase every
    // word that is not to be FFFF, otherwise every word that changes.
    bool Programs(const WordPlan& word) const;
};

// The units that hold a word this write processes, in address order, for the window
// [start, start + count) of whole words; `processed(offset)` says whether the word at
// that page offset is written (the selection).
template <typename Processed>
std::vector<UnitPlan> PlanUnits(uint32_t start, uint32_t count, uint32_t unitSize,
                                Processed processed) {
    std::vector<UnitPlan> units;
    uint32_t offset = 0;
    while (offset < count) {
        const uint32_t unitStart = (start + offset) / unitSize * unitSize;
        UnitPlan unit;
        bool any = false;
        for (uint32_t address = unitStart; address < unitStart + unitSize; address += 2) {
            WordPlan word;
            word.address = uint16_t(address);
            if (address >= start && address - start < count) {
                word.offset = address - start;
                word.inPage = processed(word.offset);
                any = any || word.inPage;
                offset = word.offset + 2;
            }
            unit.words.push_back(word);
        }
        if (any)
            units.push_back(std::move(unit));
    }
    return units;
}

// Estimated times of the MC9S12 steps on this link, in microseconds.
struct S12Costs {
    uint64_t readWord = 0;     // one word read with others on the way
    uint64_t programWord = 0;  // program, await, status, read back
    uint64_t sectorErase = 0;  // erase, await, status
    uint64_t massErase = 0;
};

// From the interface's frame time and the measured time of one word read (request
// to reply), with the erase times the chip takes at the EEPROM clock the write sets.
S12Costs EstimateS12Costs(uint32_t frameTimeUs, uint64_t roundTripUs);

// The estimated times of writing `units` sector by sector, and with one mass erase:
// then `otherWords` more words of the EEPROM are read first and programmed back
// (counted as if none of them were erased).
uint64_t SectorWriteCost(const std::vector<UnitPlan>& units, const S12Costs& costs);
uint64_t MassEraseWriteCost(const std::vector<UnitPlan>& units, uint32_t otherWords,
                            const S12Costs& costs);

}  // namespace hc12
