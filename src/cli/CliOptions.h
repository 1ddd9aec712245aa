// The command line of hc12prog-cli: what the user asked for, parsed and checked,
// before anything touches a port or a file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ImageFormat.h"
#include "ProductionOptions.h"

namespace hc12::cli {

// Exit statuses of the program.
inline constexpr int kExitOk = 0;            // the operation succeeded
inline constexpr int kExitFailed = 1;        // it ran but failed (bytes, differences, refusal)
inline constexpr int kExitUsage = 2;         // bad arguments, or a file that cannot be read/written
inline constexpr int kExitNoConnection = 3;  // port, interface or target not reached, or lost

enum class Command { Connect, Read, Write, Verify, Serials };
enum class Answer { Ask, Yes, No };

struct CliOptions {
    bool help = false;
    Command command = Command::Connect;
    std::string file;  // read, write, verify; serials: the ledger
    // --format; without it the file's extension decides (see FormatFromFileName).
    std::optional<ImageFormat> format;

    // Empty: COM1 of the port map. "COM1".."COM4": that entry of the port map.
    // Anything else: a port value (device path, COMn on Windows, virtual[:options]).
    // The first --port; every one is in production.ports.
    std::string port;
    // Index into ModelTable(); nullopt leaves the "Model" placeholder chosen.
    std::optional<int> modelIndex;
    int quartzIndex = 0;            // index into kQuartzChoices: 0 Auto, 1 16MHz, 2 8MHz, 3 4MHz
    std::optional<uint32_t> start;  // address window overrides
    std::optional<uint32_t> count;
    Answer answer = Answer::Ask;
    bool virtualClock = false;
    // write: every word erased and programmed, instead of only the changed ones.
    bool fullWrite = false;
    // --lang: the language of the messages; empty: HC12_LANG, else the environment.
    std::string language;
    // --frame-time: how long the interface may take to carry out a frame, in
    // microseconds; without it HC12_FRAME_TIME_US, else 1000.
    std::optional<uint32_t> frameTimeUs;
    ProductionOptions production;
};

struct ParseResult {
    std::optional<CliOptions> options;  // set on success
    std::string error;                  // one line, set on failure
};

ParseResult ParseCommandLine(const std::vector<std::string>& args);

// The command as it is typed: "connect", "read", "write", "verify", "serials".
std::string CommandWord(Command command);

// "COM1".."COM4" (any case) -> 0..3; anything else -> -1.
int MenuPortIndex(const std::string& port);

// Is the port value one of the virtual board's ("virtual" or "virtual:...")?
bool IsVirtualPortValue(const std::string& value);

// The short usage lines shown after an argument error, and the whole --help text.
std::string UsageText();
std::string HelpText();

}  // namespace hc12::cli
