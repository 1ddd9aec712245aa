// The unit log: the header once, fields quoted as CSV wants them, and whole lines
// from processes that append at the same moment.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <sstream>
#include <thread>

#include "ProductionTestFiles.h"
#include "UnitLog.h"

namespace hc12::production {
namespace {

class Log : public TempFolder {};

TEST_F(Log, HeaderOnceAndFieldsQuoted) {
    UnitRecord r;
    r.port = "/dev/ttyUSB0";
    r.result = "failed";
    r.note = "Błąd: \"3: Błędy w rejestrze ESTAT ! C4\", at 0C10";
    r.serial = 1000;
    for (int run = 0; run < 2; ++run) {
        std::string error;
        auto log = UnitLog::Open(File("units.csv"), &error);
        ASSERT_TRUE(log) << error;
        ASSERT_TRUE(log->Append(r, &error)) << error;
    }
    const std::string text = Slurp(File("units.csv"));
    std::istringstream in(text);
    std::string header, first, second;
    std::getline(in, header);
    std::getline(in, first);
    std::getline(in, second);
    EXPECT_EQ(header.rfind("time_utc,host,port,model,quartz,command,serial,", 0), 0u) << header;
    EXPECT_EQ(first, second);
    EXPECT_NE(first.find(",1000,"), std::string::npos) << first;
    EXPECT_NE(first.find(",\"Błąd: \"\"3: Błędy w rejestrze ESTAT ! C4\"\", at 0C10\""),
              std::string::npos)
        << first;
    EXPECT_EQ(text.find("time_utc", 1), std::string::npos) << "one header";
}

// Another run holds the lock of a new log and writes the header with its line:
// an append waits, and finds the header there.
TEST_F(Log, AnAppendWaitsForTheLock) {
    UnitRecord other;
    other.port = "other";
    LockHolder holder(File("units.csv"), CsvLine(UnitLogColumns()) + CsvLine(UnitLogFields(other)));
    ASSERT_TRUE(holder.locked());
    std::string error;
    auto log = UnitLog::Open(File("units.csv"), &error);
    ASSERT_TRUE(log) << error;
    UnitRecord ours;
    ours.port = "ours";
    ASSERT_TRUE(log->Append(ours, &error)) << error;
    EXPECT_EQ(holder.Wait(), 0);
    const std::string text = Slurp(File("units.csv"));
    EXPECT_EQ(text.find("time_utc", 1), std::string::npos) << text;
    EXPECT_LT(text.find(",other,"), text.find(",ours,")) << text;
}

TEST_F(Log, ALogThatCannotBeAppendedToIsRefused) {
    std::string error;
    EXPECT_FALSE(UnitLog::Open(dir_, &error));
    EXPECT_FALSE(UnitLog::Open(File("no/such/folder/units.csv"), &error));
}

// Four processes of four threads each, with lines far longer than a pipe's atomic
// write: every line comes out whole.
TEST_F(Log, ParallelRunsNeverInterleaveWithinALine) {
    constexpr int kProcesses = 4, kThreads = 4, kEach = 50;
    EXPECT_TRUE(InProcessesAndThreads(kProcesses, kThreads, [&](int p) {
        std::string error;
        std::shared_ptr<UnitLog> log = UnitLog::Open(File("units.csv"), &error);
        return std::function<bool(int)>([log, p](int t) {
            for (int i = 0; i < kEach; ++i) {
                UnitRecord r;
                r.port = "p" + std::to_string(p) + "t" + std::to_string(t);
                r.note = std::string(9000, char('a' + (p * kThreads + t) % 26));
                std::string e;
                if (!log->Append(r, &e))
                    return false;
            }
            return true;
        });
    }));
    std::istringstream in(Slurp(File("units.csv")));
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line.rfind("time_utc,", 0), 0u);
    int lines = 0;
    while (std::getline(in, line)) {
        ++lines;
        const size_t note = line.rfind(',');
        ASSERT_NE(note, std::string::npos);
        const std::string text = line.substr(note + 1);
        ASSERT_EQ(text.size(), 9000u) << "line " << lines;
        EXPECT_EQ(text.find_first_not_of(text[0]), std::string::npos) << "line " << lines;
        const std::string port = "p" + std::to_string((text[0] - 'a') / kThreads) + "t" +
                                 std::to_string((text[0] - 'a') % kThreads);
        EXPECT_NE(line.find("," + port + ","), std::string::npos) << "line " << lines;
    }
    EXPECT_EQ(lines, kProcesses * kThreads * kEach);
}

TEST(UnitRecordJson, EveryFieldAndEscapes) {
    UnitRecord r;
    r.port = "rfc2217://10.0.0.5:2001";
    r.result = "ok";
    r.serial = 42;
    r.note = "tab\there \"quoted\" \\ newline\n";
    const std::string json = UnitRecordJson(r);
    EXPECT_EQ(json.rfind("{\"event\":\"result\",", 0), 0u) << json;
    EXPECT_NE(json.find("\"serial\":42,"), std::string::npos) << json;
    EXPECT_NE(json.find("\"quartz\":null,"), std::string::npos) << json;
    EXPECT_NE(json.find("\"note\":\"tab\\there \\\"quoted\\\" \\\\ newline\\n\"}"),
              std::string::npos)
        << json;
    for (const std::string& column : UnitLogColumns()) {
        if (column != "time_utc") {
            EXPECT_NE(json.find("\"" + column + "\":"), std::string::npos) << column;
        }
    }
}

}  // namespace
}  // namespace hc12::production
