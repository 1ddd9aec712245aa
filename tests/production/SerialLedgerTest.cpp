// The serial number ledger: numbers handed out once, returned ones first, every
// change on the file before the call returns, one lock for threads and processes,
// crashes settled by the next run, and a damaged file refused and left alone.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <set>
#include <sstream>
#include <thread>

#include "ProductionTestFiles.h"
#include "SerialLedger.h"
#include "Sha256.h"

namespace hc12::production {
namespace {

class Ledger : public TempFolder {
  protected:
    std::unique_ptr<SerialLedger> Open(std::optional<uint64_t> first = std::nullopt) {
        std::string error;
        auto ledger = SerialLedger::Open(File("serials.txt"), first, &error);
        EXPECT_TRUE(ledger) << error;
        return ledger;
    }
    uint64_t Reserve(SerialLedger& ledger, const std::string& unit = "u") {
        std::string error;
        const auto n = ledger.Reserve(unit, UINT64_MAX, &error);
        EXPECT_TRUE(n) << error;
        return n.value_or(0);
    }
    // Runs `body` in a child process and waits for it; its exit status.
    static int InChild(const std::function<void()>& body) {
        const pid_t pid = fork();
        if (pid == 0) {
            body();
            _exit(0);
        }
        int raw = 0;
        waitpid(pid, &raw, 0);
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    }
};

TEST_F(Ledger, HandsOutReturnedNumbersFirstAndSpentOnesNever) {
    std::string error;
    EXPECT_FALSE(SerialLedger::Open(File("serials.txt"), std::nullopt, &error));
    EXPECT_NE(error.find("--serial-first"), std::string::npos) << error;
    EXPECT_FALSE(std::filesystem::exists(File("serials.txt")));

    auto ledger = Open(1000);
    ASSERT_TRUE(ledger);
    const uint64_t a = Reserve(*ledger), b = Reserve(*ledger), c = Reserve(*ledger),
                   d = Reserve(*ledger);
    EXPECT_EQ(std::vector<uint64_t>({a, b, c, d}), std::vector<uint64_t>({1000, 1001, 1002, 1003}));
    ASSERT_TRUE(ledger->MarkSent(a, &error)) << error;
    ASSERT_TRUE(ledger->MarkVerified(a, &error)) << error;
    ASSERT_TRUE(ledger->MarkSent(b, &error)) << error;
    ASSERT_TRUE(ledger->MarkVoid(b, "link lost, at word 12", &error)) << error;
    ASSERT_TRUE(ledger->Return(d, "no connection", &error)) << error;
    ASSERT_TRUE(ledger->Return(c, "no connection", &error)) << error;

    // Changes that do not follow are refused and leave the file alone.
    const std::string before = Slurp(File("serials.txt"));
    EXPECT_FALSE(ledger->MarkSent(c, &error));      // returned
    EXPECT_FALSE(ledger->MarkVerified(b, &error));  // void
    EXPECT_FALSE(ledger->Return(a, "x", &error));   // verified
    EXPECT_FALSE(ledger->MarkSent(5000, &error));   // never handed out
    EXPECT_EQ(Slurp(File("serials.txt")), before);

    // Another run on the same file: the lowest returned number first, then fresh ones.
    auto again = Open(7);  // --serial-first does not change a ledger that exists
    ASSERT_TRUE(again);
    EXPECT_EQ(Reserve(*again), 1002u);
    EXPECT_EQ(Reserve(*again), 1003u);
    EXPECT_EQ(Reserve(*again), 1004u);

    const auto state = SerialLedger::Inspect(File("serials.txt"), &error);
    ASSERT_TRUE(state) << error;
    EXPECT_EQ(state->first, 1000u);
    EXPECT_EQ(state->next, 1005u);
    EXPECT_TRUE(state->returned.empty());
    EXPECT_EQ(state->numbers.at(1000).state, SerialState::Verified);
    EXPECT_EQ(state->numbers.at(1001).state, SerialState::Void);
    EXPECT_EQ(state->numbers.at(1001).reason, "link lost, at word 12");
    EXPECT_EQ(state->numbers.at(1002).state, SerialState::Reserved);
}

TEST_F(Ledger, RefusesANumberLargerThanTheField) {
    auto ledger = Open(255);
    ASSERT_TRUE(ledger);
    std::string error;
    EXPECT_EQ(ledger->Reserve("u", 255, &error), 255u);
    EXPECT_FALSE(ledger->Reserve("u", 255, &error));
    EXPECT_NE(error.find("256"), std::string::npos) << error;
    std::vector<uint64_t> upcoming;
    ASSERT_TRUE(ledger->Upcoming(2, &upcoming, &error));
    EXPECT_EQ(upcoming, std::vector<uint64_t>({256, 257}));
}

// Eight threads on one ledger and four processes with ledgers of their own, at
// once: every number once, and the next number counts them all.
TEST_F(Ledger, ThreadsAndProcessesNeverShareANumber) {
    ASSERT_TRUE(Open(1));
    constexpr int kProcesses = 4, kThreads = 4, kEach = 10;
    EXPECT_TRUE(InProcessesAndThreads(kProcesses, kThreads, [&](int) {
        std::string error;
        std::shared_ptr<SerialLedger> ledger =
            SerialLedger::Open(File("serials.txt"), std::nullopt, &error);
        return std::function<bool(int)>([ledger](int) {
            for (int i = 0; i < kEach; ++i) {
                std::string e;
                const auto n = ledger->Reserve("p", UINT64_MAX, &e);
                if (!n || !ledger->MarkSent(*n, &e) || !ledger->MarkVerified(*n, &e))
                    return false;
            }
            return true;
        });
    }));
    std::string error;
    const auto state = SerialLedger::Inspect(File("serials.txt"), &error);
    ASSERT_TRUE(state) << error;  // a number reserved twice would not read back
    constexpr uint64_t kAll = kProcesses * kThreads * kEach;
    EXPECT_EQ(state->next, 1 + kAll);
    EXPECT_EQ(state->numbers.size(), kAll);
    for (const auto& [n, e] : state->numbers)
        EXPECT_EQ(e.state, SerialState::Verified) << n;
}

// Another run holding the ledger's lock: a reservation waits for it and takes the
// number after the one that run appended.
TEST_F(Ledger, AReservationWaitsForTheLock) {
    ASSERT_TRUE(Open(1));
    const std::string body = "reserve 1 2026-01-01T00:00:00Z host=x pid=1 start=0 unit=other";
    LockHolder other(File("serials.txt"), body + " *" + Sha256Hex(body).substr(0, 8) + "\n");
    ASSERT_TRUE(other.locked());
    auto ledger = Open();
    ASSERT_TRUE(ledger);
    EXPECT_EQ(Reserve(*ledger), 2u);
    EXPECT_EQ(other.Wait(), 0);
    std::string error;
    EXPECT_TRUE(SerialLedger::Inspect(File("serials.txt"), &error)) << error;
}

// A run killed in the middle leaves a number reserved and one sent. The next run
// returns the first and voids the second; a run still alive keeps its numbers.
TEST_F(Ledger, ACrashedRunsNumbersAreSettledByTheNext) {
    auto alive = Open(100);
    ASSERT_TRUE(alive);
    std::string error;
    const uint64_t ours = Reserve(*alive);  // this process: alive
    EXPECT_EQ(ours, 100u);
    const int status = InChild([&] {
        std::string e;
        auto ledger = SerialLedger::Open(File("serials.txt"), std::nullopt, &e);
        const auto sent = ledger->Reserve("killed", UINT64_MAX, &e);
        ledger->MarkSent(*sent, &e);
        ledger->Reserve("killed", UINT64_MAX, &e);
        raise(SIGKILL);  // every change made so far is in the file
    });
    EXPECT_EQ(status, 128 + SIGKILL);

    auto next = Open();
    ASSERT_TRUE(next);
    ASSERT_TRUE(next->Settle(&error)) << error;
    const LedgerState state = next->State();
    EXPECT_EQ(state.numbers.at(100).state, SerialState::Reserved);
    EXPECT_EQ(state.numbers.at(101).state, SerialState::Void);
    EXPECT_EQ(state.numbers.at(102).state, SerialState::Returned);
    EXPECT_EQ(Reserve(*next), 102u);
    EXPECT_EQ(Reserve(*next), 103u);
}

// A crash in the middle of an append leaves a line cut short: ignored, closed by
// the next append with a torn mark, and the file still reads.
TEST_F(Ledger, ALineCutShortByACrashIsMarkedNotRemoved) {
    {
        auto ledger = Open(1);
        ASSERT_TRUE(ledger);
        Reserve(*ledger);
    }
    Append(File("serials.txt"), "sent 1 2026-01-01T00:00:00Z *12");  // no newline: cut
    std::string error;
    auto state = SerialLedger::Inspect(File("serials.txt"), &error);
    ASSERT_TRUE(state) << error;
    EXPECT_TRUE(state->tornTail);
    EXPECT_EQ(state->numbers.at(1).state, SerialState::Reserved);

    auto ledger = Open();
    ASSERT_TRUE(ledger);
    EXPECT_EQ(Reserve(*ledger), 2u);
    const std::string text = Slurp(File("serials.txt"));
    EXPECT_NE(text.find("*12\ntorn "), std::string::npos) << text;
    state = SerialLedger::Inspect(File("serials.txt"), &error);
    ASSERT_TRUE(state) << error;
    EXPECT_FALSE(state->tornTail);
    EXPECT_EQ(state->next, 3u);
}

// Damage anywhere is refused with its line, and the file is left as it was.
TEST_F(Ledger, ADamagedLedgerIsRefusedAndNeverRewritten) {
    std::string good;
    {
        auto ledger = Open(10);
        ASSERT_TRUE(ledger);
        std::string error;
        const uint64_t n = Reserve(*ledger);
        ledger->MarkSent(n, &error);
        Reserve(*ledger);
        good = Slurp(File("serials.txt"));
    }
    std::vector<std::string> lines;
    std::istringstream in(good);
    for (std::string l; std::getline(in, l);)
        lines.push_back(l + "\n");
    ASSERT_EQ(lines.size(), 4u);
    struct Case {
        const char* what;
        std::string text;
        const char* line;
    };
    std::string edited = lines[2];
    edited[5] = '9';  // "sent 10" -> "sent 19": the check no longer matches
    const Case cases[] = {
        {"edited", lines[0] + lines[1] + edited + lines[3], "line 3"},
        {"a line lost", lines[0] + lines[2] + lines[3], "line 2"},
        {"no header", lines[1] + lines[2], "line 1"},
        {"a line twice", lines[0] + lines[1] + lines[1], "line 3"},
        {"not a ledger", "serial=10\n", "line 1"},
        {"empty", "", "empty"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::ofstream(File("serials.txt"), std::ios::binary | std::ios::trunc) << c.text;
        std::string error;
        EXPECT_FALSE(SerialLedger::Inspect(File("serials.txt"), &error));
        EXPECT_NE(error.find(c.line), std::string::npos) << error;
        EXPECT_FALSE(SerialLedger::Open(File("serials.txt"), std::nullopt, &error));
        EXPECT_NE(error.find(c.line), std::string::npos) << error;
        EXPECT_EQ(Slurp(File("serials.txt")), c.text);
    }
}

}  // namespace
}  // namespace hc12::production
