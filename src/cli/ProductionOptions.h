// The command line's options for production runs: several ports at once, serial
// numbers, the unit log, backups, bytes to keep, and JSON lines.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "SerialField.h"

namespace hc12::cli {

struct KeepRange {
    uint32_t address = 0;  // or the offset from the window's start
    bool fromWindowStart = false;
    uint32_t length = 0;
    uint32_t End() const { return address + length; }
};

struct ProductionOptions {
    std::vector<std::string> ports;  // every --port, in order; several: a gang run
    // --model once a port (a tray of mixed boards): model table indexes in --port order.
    std::vector<int> models;
    std::optional<production::SerialField> serial;
    std::string serialFile;
    std::optional<uint64_t> serialFirst;
    std::string logFile;
    std::string backupDir;
    std::vector<KeepRange> keep;
    bool json = false;

    // A run with any of these (or several ports) goes through the production runner.
    bool Any() const {
        return ports.size() > 1 || serial || !serialFile.empty() || !logFile.empty() ||
               !backupDir.empty() || !keep.empty() || json;
    }
};

// The option names this part of the command line takes.
bool IsProductionOption(const std::string& name);
bool ProductionOptionTakesValue(const std::string& name);

// One option with its value (empty for a flag); false with a one-line error.
bool ParseProductionOption(const std::string& name, const std::string& value,
                           ProductionOptions* options, std::string* error);

// Combinations that cannot work, once the whole command line is read: "" when
// none. `command` is the command's name.
std::string CheckProductionOptions(const ProductionOptions& options, const std::string& command,
                                   bool fullWrite);

// The --help part about these options.
std::string ProductionHelpText();

}  // namespace hc12::cli
