#include "ChangedWritePlan.h"

#include <algorithm>

#include "SerialLink.h"

namespace hc12 {

namespace {

// The write sets an EEPROM clock of 181.8 kHz; a sector erase takes 4000 of its
// cycles, a mass erase 20000.
constexpr uint64_t kSectorEraseUs = 22000;
constexpr uint64_t kMassEraseUs = 110000;

}  // namespace

bool UnitPlan::Unchanged() const {
    return std::all_of(words.begin(), words.end(), [](const WordPlan& w) { return w.Unchanged(); });
}

bool UnitPlan::NeedsErase() const {
    return !Unchanged() && !std::all_of(words.begin(), words.end(),
                                        [](const WordPlan& w) { return w.HoldsErased(); });
}

bool UnitPlan::Programs(const WordPlan& word) const {
    if (word.WantsErased())
        return false;
    return NeedsErase() || !word.Unchanged();
}

S12Costs EstimateS12Costs(uint32_t frameTimeUs, uint64_t roundTripUs) {
    // A frame without a reply: its wire time, then the rest of the interface's time
    // that the next frame's first two bytes do not cover.
    const uint64_t gap = frameTimeUs > 2 * kByteTimeUs ? frameTimeUs - 2 * kByteTimeUs : 0;
    const auto frame = [&](uint64_t bytes) { return bytes * kByteTimeUs + gap; };
    const uint64_t command = frame(5) + frame(4) + frame(4);  // word, command, launch
    S12Costs costs;
    costs.readWord = frame(3);
    costs.programWord = command + 3 * roundTripUs;  // a poll, the status, the read-back
    costs.sectorErase = command + kSectorEraseUs + 2 * roundTripUs;
    costs.massErase = command + kMassEraseUs + 2 * roundTripUs;
    return costs;
}

uint64_t SectorWriteCost(const std::vector<UnitPlan>& units, const S12Costs& costs) {
    uint64_t total = 0;
    for (const UnitPlan& unit : units) {
        if (unit.Unchanged())
            continue;
        if (unit.NeedsErase())
            total += costs.sectorErase;
        for (const WordPlan& word : unit.words)
            if (unit.Programs(word))
                total += costs.programWord;
    }
    return total;
}

uint64_t MassEraseWriteCost(const std::vector<UnitPlan>& units, uint32_t otherWords,
                            const S12Costs& costs) {
    uint64_t total = costs.massErase + uint64_t(otherWords) * (costs.readWord + costs.programWord);
    for (const UnitPlan& unit : units)
        for (const WordPlan& word : unit.words)
            if (!word.WantsErased())
                total += costs.programWord;
    return total;
}

}  // namespace hc12
