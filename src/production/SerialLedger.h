// The serial numbers handed out to units, kept as an append-only journal: every
// change of a number's state is one line, appended under a lock that holds across
// processes (and across the threads of one run) and on the disk before the run goes
// on. A number whose bytes may have reached a chip is never handed out again; a
// number that went back (its unit failed before anything was sent) is handed out
// first. The file is never rewritten: a line that does not read back is damage, and
// the ledger is refused.
//
//   hc12prog serial ledger 1 first=1000 *1a2b3c4d
//   reserve 1000 2026-12-11T13:46:14Z host=bench1 pid=4242 start=9876 unit=/dev/ttyUSB0 *...
//   sent 1000 2026-12-11T13:46:15Z *...
//   verified 1000 2026-12-11T13:46:21Z *...
//   void 1001 2026-12-11T13:46:21Z link%20lost *...
//   return 1002 2026-12-11T13:46:21Z no%20connection *...
//   torn 2026-12-11T13:50:02Z *...     (the line before it was cut short by a crash)
//
// The last field of each line is a check of the line (SHA-256, 8 hex digits).
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "SharedFile.h"

namespace hc12::production {

enum class SerialState {
    Reserved,  // taken for a unit; nothing sent yet
    Sent,      // its bytes may have reached the unit's EEPROM
    Verified,  // written and read back
    Void,      // sent, but the unit did not pass (the reason says why); spent
    Returned,  // went back before anything was sent; handed out first
};

const char* SerialStateName(SerialState state);

struct SerialEntry {
    SerialState state = SerialState::Reserved;
    std::string time;    // of the last change
    std::string reason;  // void and returned
    std::string unit;    // the port it was reserved for
    RunIdentity owner;   // the run that reserved it
};

struct LedgerState {
    uint64_t first = 0;
    uint64_t next = 0;  // the next number never handed out
    std::map<uint64_t, SerialEntry> numbers;
    std::set<uint64_t> returned;  // the pool handed out first, lowest first
    bool tornTail = false;        // the last line was cut short (ignored)

    // Reserved or sent by a run that has ended: what the next run settles.
    std::vector<uint64_t> Orphans() const;
};

class SerialLedger {
  public:
    // Opens the ledger; creates it with `first` when it is missing and `first` is
    // given. nullptr with a one-line error: missing, unreadable, damaged.
    static std::unique_ptr<SerialLedger> Open(const std::filesystem::path& path,
                                              std::optional<uint64_t> first, std::string* error);
    // Reads a ledger without changing it.
    static std::optional<LedgerState> Inspect(const std::filesystem::path& path,
                                              std::string* error);

    // Numbers left reserved or sent by runs that have ended (a crash): a reserved
    // one goes back, a sent one is void.
    bool Settle(std::string* error);
    // The numbers the next `count` reservations would take now.
    bool Upcoming(size_t count, std::vector<uint64_t>* numbers, std::string* error);
    // Takes a number for `unit`: the lowest returned one, else the next. Refused
    // when it is larger than `max`.
    std::optional<uint64_t> Reserve(const std::string& unit, uint64_t max, std::string* error);
    bool MarkSent(uint64_t number, std::string* error);
    bool MarkVerified(uint64_t number, std::string* error);
    bool MarkVoid(uint64_t number, const std::string& reason, std::string* error);
    bool Return(uint64_t number, const std::string& reason, std::string* error);

    LedgerState State();
    ~SerialLedger();

  private:
    SerialLedger();
    class Held;     // the file's lock, with what other runs appended read in
    class Journal;  // reads lines into the state
    bool Refresh(std::string* error);
    bool AppendRecord(const std::string& record, std::string* error);
    bool Change(uint64_t number, const std::string& kind, const std::string& reason,
                std::string* error);

    std::mutex mutex_;
    SharedAppendFile file_;
    std::filesystem::path path_;
    LedgerState state_;
    std::unique_ptr<Journal> journal_;
    uint64_t parsed_ = 0;  // bytes of the file read in
    std::string damage_;   // once damage was found, nothing more is done
    RunIdentity self_;
};

}  // namespace hc12::production
