// A production run: the command on every port at once (a thread, a link, a view
// and a clock each), with serial numbers from a ledger, the unit log, backups and
// kept bytes; everything that cannot work is found before any port is opened. And
// the listing of a serial number ledger.
#pragma once

#include <functional>
#include <iosfwd>
#include <string>

#include "CliOptions.h"
#include "CliRunner.h"
#include "TerminalView.h"

namespace hc12::cli {

struct ProductionEnvironment {
    // A test's own clock and board behind a unit's port (index in --port order).
    std::function<void(size_t unit, CliEnvironment& environment)> prepareUnit;
};

// Returns the highest exit status of the units (0 when every one passed), or 2
// for a configuration that cannot work.
int RunProduction(const CliOptions& options, std::ostream& out, const TerminalIo& io,
                  const ProductionEnvironment& environment = {});

// hc12prog-cli serials FILE
int ListSerials(const std::string& file, std::ostream& out, const TerminalIo& io);

// The file a read on `port` writes when several ports read at once: "{port}" in
// `file` replaced by the port made safe for a file name, else "-PORT" before the
// extension.
std::string FileForPort(const std::string& file, const std::string& port);

}  // namespace hc12::cli
