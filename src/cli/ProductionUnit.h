// One unit of a production run: the command on one port, on a thread of its own,
// with its own link, view and clock; what it shares with the other units (the
// serial number ledger, the unit log, the display) is made for sharing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "CliOptions.h"
#include "CliRunner.h"
#include "GangDisplay.h"
#include "SerialLedger.h"
#include "UnitLog.h"
#include "UnitRecord.h"

namespace hc12::cli {

// What the units of one run share.
struct SharedByUnits {
    production::SerialLedger* ledger = nullptr;  // --serial with write
    production::UnitLog* log = nullptr;
    GangDisplay* display = nullptr;
    std::string host;
};

class ProductionUnit final : public UnitHooks {
  public:
    // `options` are the unit's own: its port, and for read its own file.
    ProductionUnit(size_t index, CliOptions options, const ProductionOptions& production,
                   const SharedByUnits& shared);

    // Runs the command to its end (on the unit's thread); `environment` may bring a
    // clock and a port opener of a test's own.
    void Run(const TerminalIo& io, CliEnvironment environment);

    int Status() const { return record_.exitStatus; }
    const production::UnitRecord& Record() const { return record_; }

    // UnitHooks
    void Attach(TerminalView& view, Programmer& programmer) override;
    int BeforeWrite() override;
    int AfterWrite(int status) override;
    bool Compares(uint32_t offset) override;
    void AfterVerifyRead() override;
    void Detach() override;

  private:
    int Refuse(const std::string& why, int status);
    // The serial field and the kept ranges at their addresses in this unit's window;
    // "" or why they do not fit it.
    std::string PlaceFields();
    bool InWindow(uint32_t address, uint32_t end) const;
    // The full write's backup: the window read first, the page kept meanwhile.
    int ReadForBackup();
    bool SaveBackup(const std::vector<uint8_t>& held);
    bool MarkSent();
    std::string ResultText(int status) const;
    // The window as written: the image's bytes, FF where it gives none.
    std::string ImageSha256() const;
    void Message(const std::string& line);
    void Finish(int status);

    const size_t index_;
    const CliOptions options_;
    const ProductionOptions& production_;
    const SharedByUnits shared_;
    TerminalView* view_ = nullptr;
    Programmer* programmer_ = nullptr;
    production::UnitRecord record_;
    std::string phase_ = "connect";
    std::string lastError_;  // the last error box the unit showed
    std::string refusal_;    // why this unit was not written, when it decided so
    bool stopped_ = false;   // the last operation was stopped (Ctrl+C)
    bool portOpened_ = false;
    bool linkUp_ = false;                                 // connected, and the command under way
    bool operationStarted_ = false;                       // the gauge of the command itself started
    bool wrote_ = false;                                  // the write was called
    std::optional<production::SerialField> serialField_;  // at its address
    std::vector<KeepRange> keep_;                         // at their addresses
    std::optional<uint64_t> serial_;
    bool serialSent_ = false;
    std::optional<std::vector<uint8_t>> before_;  // the window as the EEPROM held it
};

}  // namespace hc12::cli
