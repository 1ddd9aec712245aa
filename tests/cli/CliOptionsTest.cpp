#include <gtest/gtest.h>

#include "CliOptions.h"
#include "ModelTable.h"

namespace hc12::cli {
namespace {

std::vector<std::string> Split(const std::string& line) {
    std::vector<std::string> args;
    size_t pos = 0;
    while (pos < line.size()) {
        const size_t end = line.find('|', pos);
        args.push_back(line.substr(pos, end == std::string::npos ? std::string::npos : end - pos));
        if (end == std::string::npos)
            break;
        pos = end + 1;
    }
    return args;
}

TEST(CliOptions, AcceptsEachCommandWithItsOptions) {
    struct Case {
        const char* args;  // '|' separates arguments, so names may hold blanks
        Command command;
        const char* file;
        const char* port;
        int model;  // -1: none given
        int quartz;
        int64_t start, count;  // -1: not given
        Answer answer;
        bool virtualClock;
    };
    const Case cases[] = {
        {"connect", Command::Connect, "", "", -1, 0, -1, -1, Answer::Ask, false},
        {"--port|virtual:model=HC12B|--model|HC12B|connect", Command::Connect, "",
         "virtual:model=HC12B", 1, 0, -1, -1, Answer::Ask, false},
        {"read|out.bin|--model=MC9S12 Uniwersalna|--quartz=8", Command::Read, "out.bin", "", 6, 2,
         -1, -1, Answer::Ask, false},
        {"--quartz|16|--start|0x0C00|--count|64|write|img.bin|--yes", Command::Write, "img.bin", "",
         -1, 1, 0x0C00, 64, Answer::Yes, false},
        {"verify|img.bin|--no|--quartz|4MHz|--start|f8|--count|0", Command::Verify, "img.bin", "",
         -1, 3, 0xF8, 0, Answer::No, false},
        {"--model|hc912d60x|--virtual-clock|--port|COM2|read|--|-dash.bin", Command::Read,
         "-dash.bin", "COM2", 4, 0, -1, -1, Answer::Ask, true},
        {"--quartz|AUTO|--count|9999999|--start|FFFF|connect", Command::Connect, "", "", -1, 0,
         0xFFFF, 9999999, Answer::Ask, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        const ParseResult r = ParseCommandLine(Split(c.args));
        ASSERT_TRUE(r.options.has_value()) << r.error;
        const CliOptions& o = *r.options;
        EXPECT_FALSE(o.help);
        EXPECT_EQ(o.command, c.command);
        EXPECT_EQ(o.file, c.file);
        EXPECT_EQ(o.port, c.port);
        EXPECT_EQ(o.modelIndex.value_or(-1), c.model);
        EXPECT_EQ(o.quartzIndex, c.quartz);
        EXPECT_EQ(o.start ? int64_t(*o.start) : -1, c.start);
        EXPECT_EQ(o.count ? int64_t(*o.count) : -1, c.count);
        EXPECT_EQ(o.answer, c.answer);
        EXPECT_EQ(o.virtualClock, c.virtualClock);
    }
}

TEST(CliOptions, FrameTimeIsWholeMicrosecondsUpToASecond) {
    const std::pair<const char*, std::optional<uint32_t>> cases[] = {
        {"connect", std::nullopt},
        {"--frame-time|0|connect", 0},
        {"--frame-time=2500|write|x.bin", 2500},
        {"read|x.bin|--frame-time|1000000", 1000000},
    };
    for (const auto& [args, us] : cases) {
        const ParseResult r = ParseCommandLine(Split(args));
        ASSERT_TRUE(r.options.has_value()) << r.error;
        EXPECT_EQ(r.options->frameTimeUs, us) << args;
    }
}

TEST(CliOptions, ModelNamesResolveToTheirTableRows) {
    for (int i = 1; i < kModelCount; ++i) {
        const std::string& name = ModelTable()[i].name;
        const ParseResult r = ParseCommandLine({"--model", name, "connect"});
        ASSERT_TRUE(r.options.has_value()) << name;
        // The table lists one name twice; both rows are the same model.
        EXPECT_EQ(ModelTable()[*r.options->modelIndex].name, name);
        EXPECT_EQ(ModelTable()[*r.options->modelIndex].eepromSize, ModelTable()[i].eepromSize);
    }
}

TEST(CliOptions, FormatIsGivenOrLeftToTheExtension) {
    const std::pair<const char*, std::optional<ImageFormat>> cases[] = {
        {"read|x.s19", std::nullopt},
        {"--format|srec|read|x.bin", ImageFormat::SRecord},
        {"write|x.s19|--format=raw", ImageFormat::Raw},
        {"--format|ihex|verify|x", ImageFormat::IntelHex},
    };
    for (const auto& [args, format] : cases) {
        const ParseResult r = ParseCommandLine(Split(args));
        ASSERT_TRUE(r.options.has_value()) << r.error;
        EXPECT_EQ(r.options->format, format) << args;
    }
}

TEST(CliOptions, RejectsBadArgumentsWithOneLine) {
    struct Case {
        const char* args;
        const char* errorPart;
    };
    const Case cases[] = {
        {"", "no command"},
        {"flash|x.bin", "unknown command"},
        {"read", "read needs a FILE"},
        {"write|", "write needs a FILE"},
        {"connect|extra", "unexpected argument \"extra\""},
        {"read|a.bin|b.bin", "unexpected argument \"b.bin\""},
        {"--frobnicate|connect", "unknown option --frobnicate"},
        {"connect|--port", "--port needs a value"},
        {"--port=|connect", "--port needs a value"},
        {"--model|HC13|connect", "unknown model \"HC13\""},
        {"--quartz|12|connect", "--quartz takes auto, 16, 8 or 4"},
        {"--start|10000|connect", "--start takes up to four hexadecimal digits"},
        {"--start|0x|connect", "--start takes up to four hexadecimal digits"},
        {"--start|-1|connect", "--start takes up to four hexadecimal digits"},
        {"--count|12345678|connect", "--count takes up to seven decimal digits"},
        {"--count|0x10|connect", "--count takes up to seven decimal digits"},
        {"--count||connect", "--count takes up to seven decimal digits"},
        {"--yes|--no|connect", "--yes and --no exclude each other"},
        {"--format|hex|read|x.hex", "--format takes raw, srec or ihex, not \"hex\""},
        {"--format|srec|--format=raw|read|x", "--format given twice"},
        {"--yes=1|connect", "--yes takes no value"},
        {"--count|1|--count|2|connect", "--count given twice"},
        {"--frame-time|1ms|connect", "--frame-time takes the interface's time for one frame"},
        {"--frame-time|1000001|connect", "in microseconds, 0 to 1000000, not \"1000001\""},
        {"--frame-time=-1|connect", "not \"-1\""},
        {"--frame-time|connect", "not \"connect\""},
        {"connect|--frame-time", "--frame-time needs a value"},
        {"--frame-time|0|--frame-time=1|connect", "--frame-time given twice"},
        // Production options that do not go together.
        {"--serial|0C00:4|read|x", "--serial works only with write and verify"},
        {"--serial|0C00:4|write|x", "--serial needs --serial-file"},
        {"--serial-file|s.txt|write|x", "--serial-file works only with write --serial"},
        {"--serial|0C00:4|--serial-file|s|--serial-first|1|verify|x",
         "--serial-file works only with write --serial"},
        {"--serial|0C00:4|--serial-first|1|verify|x", "--serial-first works only with"},
        {"--serial|0C00:4:hex|write|x", "the format is be, le, bcd or ascii"},
        {"--serial-first|1e3|connect", "--serial-first takes a decimal number"},
        {"--backup|d|read|x", "--backup works only with write"},
        {"--keep|0C00:4|verify|x", "--keep works only with write"},
        {"--keep|0C00|write|x", "--keep takes ADDR:LEN"},
        {"--keep|FFFE:4|write|x", "--keep takes ADDR:LEN"},
        {"--keep|0C00:4|--serial|0C02:4|--serial-file|s|write|x", "--keep and --serial overlap"},
        {"--json=1|connect", "--json takes no value"},
        {"--log|a|--log|b|connect", "--log given twice"},
        {"--log|connect", "no command given"},  // --log took "connect" as its file
        {"serials", "serials needs a FILE"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        const ParseResult r =
            ParseCommandLine(*c.args ? Split(c.args) : std::vector<std::string>{});
        EXPECT_FALSE(r.options.has_value());
        EXPECT_NE(r.error.find(c.errorPart), std::string::npos) << r.error;
        EXPECT_EQ(r.error.find('\n'), std::string::npos) << r.error;
    }
}

TEST(CliOptions, ProductionOptionsAndSeveralPorts) {
    const ParseResult r = ParseCommandLine(
        Split("--port|/dev/ttyUSB0|--port|rfc2217://bench2:2001|--model|HC912D60x|write|fw.s19|"
              "--serial|0FFC:4:bcd|--serial-file|serials.txt|--serial-first|1000|--log|units.csv|"
              "--backup|backups|--keep|0C00:16|--keep=0FF0:8|--json|--yes"));
    ASSERT_TRUE(r.options.has_value()) << r.error;
    const CliOptions& o = *r.options;
    EXPECT_EQ(o.port, "/dev/ttyUSB0");
    EXPECT_EQ(o.production.ports,
              std::vector<std::string>({"/dev/ttyUSB0", "rfc2217://bench2:2001"}));
    ASSERT_TRUE(o.production.serial);
    EXPECT_EQ(o.production.serial->address, 0x0FFCu);
    EXPECT_EQ(o.production.serial->size, 4u);
    EXPECT_EQ(o.production.serial->format, production::SerialFormat::Bcd);
    EXPECT_EQ(o.production.serialFile, "serials.txt");
    EXPECT_EQ(o.production.serialFirst, 1000u);
    EXPECT_EQ(o.production.logFile, "units.csv");
    EXPECT_EQ(o.production.backupDir, "backups");
    ASSERT_EQ(o.production.keep.size(), 2u);
    EXPECT_EQ(o.production.keep[1].address, 0x0FF0u);
    EXPECT_EQ(o.production.keep[1].length, 8u);
    EXPECT_TRUE(o.production.json);
    EXPECT_TRUE(o.production.Any());

    const ParseResult plain = ParseCommandLine(Split("--port|COM2|connect"));
    ASSERT_TRUE(plain.options.has_value());
    EXPECT_FALSE(plain.options->production.Any()) << "one port alone is the plain run";
    const ParseResult serials = ParseCommandLine(Split("serials|serials.txt"));
    ASSERT_TRUE(serials.options.has_value()) << serials.error;
    EXPECT_EQ(serials.options->command, Command::Serials);
    EXPECT_EQ(serials.options->file, "serials.txt");
}

TEST(CliOptions, HelpWinsOverEverythingElse) {
    for (const char* args : {"--help", "-h", "read|--help", "--yes|--no|--help"}) {
        SCOPED_TRACE(args);
        const ParseResult r = ParseCommandLine(Split(args));
        ASSERT_TRUE(r.options.has_value()) << r.error;
        EXPECT_TRUE(r.options->help);
    }
}

TEST(CliOptions, HelpDocumentsCommandsOptionsAndExitStatuses) {
    const std::string help = HelpText();
    for (const char* part :
         {"connect",       "read FILE",       "write FILE", "verify FILE", "--port",
          "--model",       "--quartz",        "--start",    "--count",     "--yes",
          "--no",          "--virtual-clock", "--full",     "Bez zmian",   "Exit status",
          "  0  ",         "  1  ",           "  2  ",      "  3  ",       "\"MC9S12DP512(1L00M)\"",
          "\"HC(9)12D60\""}) {
        EXPECT_NE(help.find(part), std::string::npos) << part;
    }
    EXPECT_NE(help.find("--frame-time US"), std::string::npos);
    for (const char* part :
         {"--serial", "--serial-file", "--serial-first", "--log", "--backup", "--keep", "--json",
          "serials FILE", "/dev/serial/by-id", "highest status"}) {
        EXPECT_NE(help.find(part), std::string::npos) << part;
    }
    // The placeholder row is no model to choose.
    EXPECT_EQ(help.find("\"Model\""), std::string::npos);
}

TEST(CliOptions, MenuPortsAndVirtualValues) {
    EXPECT_EQ(MenuPortIndex("COM1"), 0);
    EXPECT_EQ(MenuPortIndex("com4"), 3);
    EXPECT_EQ(MenuPortIndex("COM5"), -1);
    EXPECT_EQ(MenuPortIndex("COM10"), -1);
    EXPECT_EQ(MenuPortIndex("/dev/ttyUSB0"), -1);
    EXPECT_TRUE(IsVirtualPortValue("virtual"));
    EXPECT_TRUE(IsVirtualPortValue("virtual:no-target"));
    EXPECT_FALSE(IsVirtualPortValue("virtualx"));
    EXPECT_FALSE(IsVirtualPortValue("/dev/virtual"));
}

}  // namespace
}  // namespace hc12::cli
