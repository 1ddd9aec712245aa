// What a production run shows while its units run at once: their messages as
// lines with the port in front, on a terminal one progress line per port kept in
// place below them (none in a pipe), with --json one object per line on standard
// output, and at the end the table.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <mutex>
#include <string>
#include <vector>

#include "UnitRecord.h"

namespace hc12::cli {

class GangDisplay {
  public:
    GangDisplay(std::ostream& err, std::ostream& out, bool terminal, bool json,
                std::vector<std::string> ports, std::string command);

    void Started(size_t unit);
    // A line of the unit's messages (standard error).
    void Message(size_t unit, const std::string& line);
    // A line of the unit's results, such as a verify difference (standard output).
    void Output(size_t unit, const std::string& line);
    // The unit's gauge: steps done of `total` (0: none running) in a phase.
    void Progress(size_t unit, const std::string& phase, int32_t done, int32_t total);
    void Finished(size_t unit, const production::UnitRecord& record);
    // A line of the run's own.
    void Note(const std::string& line);
    // Redraws the progress lines when they changed; called a few times a second.
    void Refresh();
    // Ends the progress lines and prints the table (and the JSON end).
    void Finish(const std::vector<production::UnitRecord>& records, int exitStatus);

  private:
    struct Unit {
        std::string phase = "connect";
        int32_t done = 0;
        int32_t total = 0;
        int percent = -1;  // the last one sent as JSON
        std::string result;
    };
    void Erase();
    void Draw();
    void Json(const std::string& object);
    std::string Prefix(size_t unit) const;

    std::mutex mutex_;
    std::ostream& err_;
    std::ostream& out_;
    const bool terminal_;
    const bool json_;
    const std::vector<std::string> ports_;
    const std::string command_;
    std::vector<Unit> units_;
    size_t labelWidth_ = 0;
    size_t drawnLines_ = 0;
    bool dirty_ = false;
};

// The end table, one row a unit (and the notes of those that did not pass).
std::string UnitTable(const std::vector<production::UnitRecord>& records);

}  // namespace hc12::cli
