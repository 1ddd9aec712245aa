// What became of one unit (one port) in a run: the row of the end table, the line
// of the unit log, and the result object of --json all come from this.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace hc12::production {

struct UnitRecord {
    std::string time;  // UTC, ISO 8601, when the unit's run ended
    std::string host;
    std::string port;  // as given on the command line
    std::string model;
    std::string quartz;              // "8MHz"; empty when the connect did not get that far
    std::string command;             // connect, read, write, verify
    std::optional<uint64_t> serial;  // written (write) or found (verify)
    std::string serialBytes;         // "00 00 03 E8"
    std::string result;              // ok, failed, link lost, refused, stopped
    int exitStatus = 0;
    uint32_t written = 0;    // words programmed
    uint32_t unchanged = 0;  // words left as they were
    uint32_t failed = 0;     // words with bytes that did not program
    double seconds = 0;
    std::string imageSha256;   // the window as written (serial included)
    std::string backup;        // the backup file
    std::string beforeSha256;  // the window as the EEPROM held it before
    std::string afterSha256;   // ... and after a write that went through
    std::string note;          // why, in one line, when it did not pass
};

// The unit log's columns, in order, and one record's fields under them.
const std::vector<std::string>& UnitLogColumns();
std::vector<std::string> UnitLogFields(const UnitRecord& record);

// One CSV line (RFC 4180 quoting), ending in a newline.
std::string CsvLine(const std::vector<std::string>& fields);

// A JSON string literal; and one object of (key, already-encoded value) pairs.
std::string JsonString(const std::string& text);
std::string JsonObject(const std::vector<std::pair<std::string, std::string>>& members);
// The result object of --json: {"event":"result", every field of the record}.
std::string UnitRecordJson(const UnitRecord& record);

}  // namespace hc12::production
