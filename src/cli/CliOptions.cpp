#include "CliOptions.h"

#include <algorithm>
#include <cctype>

#include "FrameTime.h"
#include "ModelTable.h"

namespace hc12::cli {

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

bool AllOf(const std::string& text, int (*predicate)(int)) {
    return !text.empty() && std::all_of(text.begin(), text.end(),
                                        [&](unsigned char c) { return predicate(c) != 0; });
}

// The exact name first; a name that differs only in case is accepted too, since
// shells and scripts rarely keep the case of "HC912Dx128x" right.
std::optional<int> FindModel(const std::string& name) {
    if (const int exact = FindModelIndex(name); exact >= 0)
        return exact;
    const auto& table = ModelTable();
    for (int i = 0; i < kModelCount; ++i)
        if (Lower(table[i].name) == Lower(name))
            return i;
    return std::nullopt;
}

std::optional<int> FindQuartz(const std::string& value) {
    const std::string v = Lower(value);
    if (v == "auto")
        return 0;
    if (v == "16" || v == "16mhz")
        return 1;
    if (v == "8" || v == "8mhz")
        return 2;
    if (v == "4" || v == "4mhz")
        return 3;
    return std::nullopt;
}

// Four hexadecimal digits at most, as the start field takes them; "0x" allowed.
std::optional<uint32_t> ParseStart(std::string value) {
    if (value.size() > 2 && value[0] == '0' && (value[1] == 'x' || value[1] == 'X'))
        value.erase(0, 2);
    if (value.size() > 4 || !AllOf(value, &isxdigit))
        return std::nullopt;
    return uint32_t(std::stoul(value, nullptr, 16));
}

// Seven decimal digits at most, as the count field takes them.
std::optional<uint32_t> ParseCount(const std::string& value) {
    if (value.size() > 7 || !AllOf(value, &isdigit))
        return std::nullopt;
    return uint32_t(std::stoul(value, nullptr, 10));
}

std::string ModelList() {
    std::string list;
    const auto& table = ModelTable();
    for (int i = 1; i < kModelCount; ++i) {
        if (table[i].name == table[i - 1].name)
            continue;  // the table lists one name twice
        if (!list.empty())
            list += ", ";
        list += "\"" + table[i].name + "\"";
    }
    return list;
}

ParseResult Fail(std::string error) {
    return ParseResult{std::nullopt, std::move(error)};
}

}  // namespace

std::string CommandWord(Command command) {
    switch (command) {
        case Command::Connect:
            return "connect";
        case Command::Read:
            return "read";
        case Command::Write:
            return "write";
        case Command::Verify:
            return "verify";
        case Command::Serials:
            break;
    }
    return "serials";
}

int MenuPortIndex(const std::string& port) {
    const std::string p = Lower(port);
    if (p.size() == 4 && p.compare(0, 3, "com") == 0 && p[3] >= '1' && p[3] <= '4')
        return p[3] - '1';
    return -1;
}

bool IsVirtualPortValue(const std::string& value) {
    return value == "virtual" || value.rfind("virtual:", 0) == 0;
}

ParseResult ParseCommandLine(const std::vector<std::string>& args) {
    CliOptions options;
    std::vector<std::string> positional;
    bool sawYes = false, sawNo = false, sawQuartz = false;
    bool optionsEnded = false;

    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        std::string name = arg;
        std::optional<std::string> inlineValue;
        if (const auto eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            name = arg.substr(0, eq);
            inlineValue = arg.substr(eq + 1);
        }
        auto flag = [&]() -> bool { return !inlineValue.has_value(); };
        auto value = [&]() -> std::optional<std::string> {
            if (inlineValue)
                return inlineValue;
            if (i + 1 < args.size())
                return args[++i];
            return std::nullopt;
        };

        if (name == "--help" || name == "-h") {
            if (!flag())
                return Fail(name + " takes no value");
            options.help = true;
        } else if (name == "--yes" || name == "--no") {
            if (!flag())
                return Fail(name + " takes no value");
            (name == "--yes" ? sawYes : sawNo) = true;
        } else if (name == "--virtual-clock") {
            if (!flag())
                return Fail(name + " takes no value");
            options.virtualClock = true;
        } else if (name == "--full") {
            if (!flag())
                return Fail(name + " takes no value");
            options.fullWrite = true;
        } else if (name == "--frame-time") {
            const auto v = value();
            if (!v)
                return Fail(name + " needs a value");
            if (options.frameTimeUs)
                return Fail("--frame-time given twice");
            options.frameTimeUs = ParseFrameTimeUs(*v);
            if (!options.frameTimeUs)
                return Fail(FrameTimeError("--frame-time", *v));
        } else if (IsProductionOption(name)) {
            std::string v;
            if (ProductionOptionTakesValue(name)) {
                const auto given = value();
                if (!given)
                    return Fail(name + " needs a value");
                v = *given;
            } else if (!flag()) {
                return Fail(name + " takes no value");
            }
            std::string error;
            if (!ParseProductionOption(name, v, &options.production, &error))
                return Fail(error);
        } else if (name == "--port" || name == "--model" || name == "--quartz" ||
                   name == "--start" || name == "--count" || name == "--format" ||
                   name == "--lang") {
            const auto v = value();
            if (!v)
                return Fail(name + " needs a value");
            if (name == "--port") {
                if (v->empty())
                    return Fail("--port needs a value");
                if (options.production.ports.empty())
                    options.port = *v;
                options.production.ports.push_back(*v);
            } else if (name == "--model") {
                // Once for every port, or once a port (production.models).
                const std::optional<int> model = FindModel(*v);
                if (!model)
                    return Fail("unknown model \"" + *v + "\"; the models are " + ModelList());
                if (!options.modelIndex)
                    options.modelIndex = model;
                options.production.models.push_back(*model);
            } else if (name == "--quartz") {
                if (sawQuartz)
                    return Fail("--quartz given twice");
                sawQuartz = true;
                const auto q = FindQuartz(*v);
                if (!q)
                    return Fail("--quartz takes auto, 16, 8 or 4, not \"" + *v + "\"");
                options.quartzIndex = *q;
            } else if (name == "--lang") {
                // Whether the program speaks it is known once the catalogs are looked up.
                if (!options.language.empty())
                    return Fail("--lang given twice");
                if (v->empty())
                    return Fail("--lang needs a value");
                options.language = *v;
            } else if (name == "--format") {
                if (options.format)
                    return Fail("--format given twice");
                options.format = FormatFromOption(*v);
                if (!options.format)
                    return Fail("--format takes raw, srec or ihex, not \"" + *v + "\"");
            } else if (name == "--start") {
                if (options.start)
                    return Fail("--start given twice");
                options.start = ParseStart(*v);
                if (!options.start)
                    return Fail("--start takes up to four hexadecimal digits, not \"" + *v + "\"");
            } else {
                if (options.count)
                    return Fail("--count given twice");
                options.count = ParseCount(*v);
                if (!options.count)
                    return Fail("--count takes up to seven decimal digits, not \"" + *v + "\"");
            }
        } else {
            return Fail("unknown option " + name);
        }
    }

    if (options.help)
        return ParseResult{options, {}};

    if (sawYes && sawNo)
        return Fail("--yes and --no exclude each other");
    options.answer = sawYes ? Answer::Yes : sawNo ? Answer::No : Answer::Ask;

    if (positional.empty())
        return Fail("no command given");
    const std::string& command = positional[0];
    size_t expected = 2;
    if (command == "connect") {
        options.command = Command::Connect;
        expected = 1;
    } else if (command == "read") {
        options.command = Command::Read;
    } else if (command == "write") {
        options.command = Command::Write;
    } else if (command == "verify") {
        options.command = Command::Verify;
    } else if (command == "serials") {
        options.command = Command::Serials;
    } else {
        return Fail("unknown command \"" + command + "\"");
    }
    if (options.fullWrite && options.command != Command::Write)
        return Fail("--full works only with write");
    if (positional.size() < expected)
        return Fail(command + " needs a FILE");
    if (positional.size() > expected)
        return Fail("unexpected argument \"" + positional[expected] + "\"");
    if (expected == 2) {
        options.file = positional[1];
        if (options.file.empty())
            return Fail(command + " needs a FILE");
    }
    if (const std::string error =
            CheckProductionOptions(options.production, command, options.fullWrite);
        !error.empty())
        return Fail(error);
    return ParseResult{options, {}};
}

std::string UsageText() {
    return "usage: hc12prog-cli [--port PORT] [--model NAME] [--quartz auto|16|8|4]\n"
           "                    [--start HEX] [--count DEC] [--format raw|srec|ihex]\n"
           "                    [--frame-time US] [--yes|--no] [--lang pl|en] COMMAND [FILE]\n"
           "       production runs add: [--port PORT]... [--model NAME]...\n"
           "                    [--serial ADDR:BYTES[:be|le|bcd|ascii] --serial-file FILE]\n"
           "                    [--log FILE] [--backup DIR] [--keep ADDR:LEN]... [--json]\n"
           "commands: connect | read FILE | write [--full] FILE | verify FILE\n"
           "          serials FILE (list a serial number ledger)\n"
           "          hc12prog-cli --help for the whole description\n";
}

std::string HelpText() {
    return "hc12prog-cli: program the on-chip EEPROM of 68HC12 and HCS12 (MC9S12)\n"
           "microcontrollers through the programming interface, without a window.\n"
           "\n" +
           UsageText() +
           "\n"
           "Commands\n"
           "  connect      reset the interface, detect or set the quartz, check that the\n"
           "               target answers (MC9S12 targets report their memory map,\n"
           "               \"Parameters\", in Polish \"Parametry\"), then exit\n"
           "  read FILE    read the EEPROM over the address window into FILE; FILE is\n"
           "               replaced only after the whole image was written, and not at\n"
           "               all when the read fails\n"
           "  write FILE   program the image FILE over the address window: every word\n"
           "               is read first, and only the words that differ from the image\n"
           "               are erased (MC9S12: their 4-byte sector, or the whole EEPROM\n"
           "               with the rest of it put back, where that is quicker),\n"
           "               programmed and verified, at the chip's pace; \"Unchanged: N\"\n"
           "               (\"Bez zmian: N\") counts the words left as they were.\n"
           "               Bytes the file does not give (beyond the end of a raw image,\n"
           "               gaps of the other formats) keep the target's own bytes\n"
           "  write --full FILE\n"
           "               the window's write: the whole EEPROM bulk-erased (MC9S12) or\n"
           "               every word erased (HC12), then every word programmed and\n"
           "               verified, changed or not; the bytes the file does not give\n"
           "               keep the target's own bytes here too (read before the erase)\n"
           "  verify FILE  read the EEPROM and compare it with the bytes FILE gives; every\n"
           "               differing address is printed on standard output with the\n"
           "               expected (file) and the actual (target) byte\n"
           "\n"
           "Files\n"
           "  raw     byte i of the file is the byte at address start + i, no header\n"
           "  srec    Motorola S-records (.s19 .s28 .s37 .srec .mot): S1/S2/S3 data at\n"
           "          their target addresses; written as S0 (the file name), S1 (S2 past\n"
           "          FFFF), S5, S9\n"
           "  ihex    Intel HEX (.hex .ihx): data records with 02/04 bases; written with\n"
           "          16-byte records, 04 where needed, and 01\n"
           "  Every record's checksum is checked; a bad record names its line. The\n"
           "  addresses of an srec or ihex file must lie in the address window (exit\n"
           "  status 2 otherwise; --start and --count can move it).\n"
           "\n"
           "Options\n"
           "  --port PORT        COM1 to COM4 as the window maps them (on Linux /dev/ttyS0\n"
           "                     to /dev/ttyS3 unless HC12_PORT_COM1..4 say otherwise), a\n"
           "                     device path, rfc2217://HOST:PORT for a port behind a\n"
           "                     network serial server (ser2net and the like), or\n"
           "                     virtual[:OPTIONS] for the virtual board;\n"
           "                     COMn=VALUE maps that port first; default COM1\n"
           "  --model NAME       the microcontroller, a name from the model table:\n"
           "                     " +
           ModelList() +
           "\n"
           "                     (required: without it the connect is refused)\n"
           "  --quartz Q         auto (default: tried 16, 8, then 4 MHz), 16, 8 or 4\n"
           "  --start HEX        first EEPROM address (up to four hex digits)\n"
           "  --count DEC        number of bytes (up to seven decimal digits)\n"
           "                     Without them the window comes from the model, and for\n"
           "                     MC9S12 targets from the memory map read at connect.\n"
           "  --format F         raw, srec or ihex; without it the extension of FILE\n"
           "                     decides, and any other extension means raw\n"
           "  --frame-time US    the longest time the programming interface takes to carry\n"
           "                     out one frame, in microseconds (0 to 1000000; default\n"
           "                     1000, or HC12_FRAME_TIME_US). No frame is sent before the\n"
           "                     interface can take it; a value below what the interface\n"
           "                     needs loses bytes on the line, and the connect or the\n"
           "                     operation fails with exit status 3\n"
           "  --yes, --no        the answer to every question (continue a write after\n"
           "                     failed bytes, load a file larger than the window).\n"
           "                     Without them a question is asked on the terminal, and\n"
           "                     refused (answered No, exit status 2) when standard input\n"
           "                     is not a terminal.\n"
           "  --virtual-clock    for tests: run the link and the virtual board on a\n"
           "                     simulated clock, so pauses cost no real time; only with\n"
           "                     a virtual port\n"
           "  --lang L           the language of the messages: pl or en (or another with\n"
           "                     a catalog); without it HC12_LANG, else the locale\n"
           "                     (LANGUAGE, LC_ALL, LC_MESSAGES, LANG): Polish for Polish\n"
           "                     and for C/POSIX, English for any other language\n"
           "  -h, --help         this text\n"
           "\n" +
           ProductionHelpText() +
           "\n"
           "Messages of the programmer go to standard error as \"caption: text\", in the\n"
           "language chosen (see --lang). A progress bar is drawn when standard error is\n"
           "a terminal.\n"
           "\n"
           "Exit status\n"
           "  0  success\n"
           "  1  the operation ran but failed: bytes not written, verify differences,\n"
           "     a refusal by the target (protection, status register, range)\n"
           "  2  bad arguments, a question left unanswered, or a file that cannot be\n"
           "     read or written; in a production run also a configuration error found\n"
           "     before any port was opened (the same port twice, a serial field outside\n"
           "     the window, a missing or damaged ledger, a log that cannot be appended\n"
           "     to, a backup folder that takes no files), and a unit whose serial\n"
           "     number or backup could not be recorded\n"
           "  3  no connection: the port cannot be opened, the interface does not greet,\n"
           "     the target does not answer, or the link was lost during the operation\n"
           "  With several ports: 0 when every port succeeded, else the highest status\n"
           "  of any port. A run stopped by Ctrl+C ends with 1 (the work is not done).\n";
}

}  // namespace hc12::cli
