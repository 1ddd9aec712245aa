// Production runs of the command-line program against several hc12prog-board
// processes on pseudo-terminals (one behind ser2net), on the real clock: both
// families in one run, faults on some boards, the program killed in the middle,
// two runs on one ledger at the same moment, and Ctrl+C in the middle of a write.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <set>
#include <sstream>
#include <thread>

#include "BoardCliTest.h"
#include "LogLines.h"
#include "Ser2netProcess.h"

namespace hc12::testing {
namespace {

// The command-line program as a process of its own: started, signalled, waited for.
class CliRun {
  public:
    CliRun(const std::vector<std::string>& args, const fs::path& out, const fs::path& err) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        std::vector<std::string> all{HC12PROG_CLI};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : all)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, HC12PROG_CLI, &actions, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~CliRun() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            Wait();
        }
    }
    void Signal(int signal) const { kill(pid_, signal); }
    // The exit status; 128 + the signal when a signal ended it.
    int Wait() {
        if (pid_ <= 0)
            return status_;
        int raw = 0;
        waitpid(pid_, &raw, 0);
        pid_ = -1;
        status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
        return status_;
    }

  private:
    pid_t pid_ = -1;
    int status_ = -1;
};

std::string Text(const fs::path& path) {
    const Bytes b = ReadFile(path);
    return std::string(b.begin(), b.end());
}

// What the journal of the ledger says: each number's last state, and whether a
// number was handed out again once its bytes may have reached a chip.
struct Journal {
    std::map<uint64_t, std::string> last;
    std::set<uint64_t> sent;
    std::vector<uint64_t> handedOutAgain;
};

Journal ReadJournal(const fs::path& path) {
    Journal j;
    for (const std::string& line : Lines(Text(path))) {
        std::istringstream words(line);
        std::string kind, number;
        words >> kind >> number;
        if (kind != "reserve" && kind != "sent" && kind != "verified" && kind != "void" &&
            kind != "return")
            continue;
        const uint64_t n = std::stoull(number);
        if (kind == "reserve" && j.sent.count(n) != 0)
            j.handedOutAgain.push_back(n);
        if (kind == "sent")
            j.sent.insert(n);
        j.last[n] = kind;
    }
    return j;
}

// Every line of the log whole (19 fields), by port.
std::map<std::string, std::vector<std::string>> LogRows(const fs::path& path) {
    std::map<std::string, std::vector<std::string>> rows;
    const std::vector<std::string> lines = Lines(Text(path));
    for (size_t i = 1; i < lines.size(); ++i) {
        const auto f = CsvFields(lines[i]);
        EXPECT_EQ(f.size(), 19u) << "a whole line: " << lines[i];
        if (f.size() == 19)
            rows[f[2]] = f;
    }
    return rows;
}

bool WaitFor(const std::function<bool()>& done, int seconds = 60) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

size_t Count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

class Gang : public BoardCli {
  protected:
    void TearDown() override {
        ser2net_.reset();
        boards_.clear();  // each writes its dump into the folder before it goes
        BoardCli::TearDown();
    }

    struct Slot {
        Family family;
        std::string faults;  // board options beyond model and quartz
    };
    struct Board {
        std::unique_ptr<BoardProcess> process;
        Family family;
        Bytes preload;
        fs::path dump;
        std::string port;
    };

    // Starts the boards, each with an EEPROM of its own pattern.
    void Start(const std::vector<Slot>& slots) {
        for (size_t i = 0; i < slots.size(); ++i) {
            Board b;
            b.family = slots[i].family;
            b.preload = Pattern(b.family.eepromSize, uint8_t(0x21 * (i + 1)));
            const fs::path preload = File("preload" + std::to_string(i) + ".bin");
            WriteFile(preload, b.preload);
            b.dump = File("dump" + std::to_string(i) + ".bin");
            std::string options = "model=" + b.family.model + ",quartz=" + b.family.boardQuartz;
            if (!slots[i].faults.empty())
                options += "," + slots[i].faults;
            b.process = std::make_unique<BoardProcess>(std::vector<std::string>{
                "--image", preload.string(), "--dump", b.dump.string(), options});
            ASSERT_EQ(b.process->path().rfind("/dev/pts/", 0), 0u) << b.process->path();
            b.port = b.process->path();
            boards_.push_back(std::move(b));
        }
    }

    // Puts board i behind ser2net; false (with the test skipped or failed) without it.
    bool BehindSer2net(size_t i) {
        const std::string exe = Ser2netProcess::Find();
        if (exe.empty()) {
            const char* require = std::getenv("HC12_REQUIRE_SER2NET");
            if (require != nullptr && std::string(require) == "1")
                ADD_FAILURE() << "ser2net is not installed (tools/install-deps.sh installs it)";
            return false;
        }
        ser2net_ = std::make_unique<Ser2netProcess>(exe, dir_, boards_[i].port,
                                                    std::vector<std::string>{"chardelay: false"},
                                                    "tcp(nodelay)");
        if (ser2net_->port() == 0) {
            ADD_FAILURE() << "ser2net did not start:\n" << ser2net_->log();
            return false;
        }
        boards_[i].port = ser2net_->PortValue();
        return true;
    }

    // The command line for the boards: a --port and a --model each.
    std::vector<std::string> Args(const std::string& rest) const {
        std::vector<std::string> args{"--yes", "--count", std::to_string(count_)};
        for (const Board& b : boards_) {
            args.insert(args.end(), {"--port", b.port, "--model", b.family.model});
            // The quartz is found on each board (auto), as a mixed tray needs.
        }
        std::istringstream words(rest);
        for (std::string w; words >> w;)
            args.push_back(w);
        return args;
    }

    int Run(const std::string& rest, std::string* err) {
        CliRun run(Args(rest), File("out.txt"), File("err.txt"));
        const int status = run.Wait();
        *err = Text(File("err.txt"));
        return status;
    }

    // The boards' EEPROMs once they are stopped.
    Bytes Dump(size_t i) {
        boards_[i].process->Stop();
        return ReadFile(boards_[i].dump);
    }

    // The image with the number at +serialAt_ (4 bytes, big-endian) and the board's
    // own bytes beyond the window.
    Bytes Expected(size_t i, uint64_t serial) const {
        Bytes v = boards_[i].preload;
        std::copy(image_.begin(), image_.end(), v.begin());
        for (int k = 0; k < 4; ++k)
            v[serialAt_ + k] = uint8_t(serial >> (24 - 8 * k));
        return v;
    }
    uint64_t SerialIn(const Bytes& eeprom) const {
        uint64_t n = 0;
        for (int k = 0; k < 4; ++k)
            n = n << 8 | eeprom[serialAt_ + k];
        return n;
    }

    void MakeImage(uint32_t count) {
        count_ = count;
        serialAt_ = count - 4;
        image_ = Pattern(count, 0xC3);
        WriteFile(File("image.bin"), image_);
    }
    std::string SerialArgs(uint64_t first) const {
        char field[32];
        std::snprintf(field, sizeof field, "+%X:4", serialAt_);
        return std::string(" --serial ") + field + " --serial-file " +
               File("serials.txt").string() + " --serial-first " + std::to_string(first) +
               " --log " + File("units.csv").string() + " ";
    }

    std::vector<Board> boards_;
    std::unique_ptr<Ser2netProcess> ser2net_;
    Bytes image_;
    uint32_t count_ = 0;
    uint32_t serialAt_ = 0;
};

// Both families in one run, one board behind ser2net: each ends with the image and
// a number of its own, the ledger's next number is first + units, the log has a
// line for each, and the backups hold what each board held before.
TEST_F(Gang, BothFamiliesInOneRunOneBehindSer2net) {
    Start({{kHc12, ""}, {kMc9s12, ""}, {kHc12, ""}});
    if (!BehindSer2net(2))
        GTEST_SKIP() << "ser2net is not installed";
    MakeImage(32);
    fs::create_directories(File("backups"));
    std::string err;
    ASSERT_EQ(Run(SerialArgs(7000) + "--backup " + File("backups").string() + " write " +
                      File("image.bin").string(),
                  &err),
              0)
        << err;

    const auto rows = LogRows(File("units.csv"));
    ASSERT_EQ(rows.size(), 3u) << Text(File("units.csv"));
    std::set<uint64_t> serials;
    for (size_t i = 0; i < boards_.size(); ++i) {
        SCOPED_TRACE(boards_[i].port);
        const Bytes eeprom = Dump(i);
        const uint64_t serial = SerialIn(eeprom);
        serials.insert(serial);
        EXPECT_EQ(eeprom, Expected(i, serial));
        const auto& f = rows.at(boards_[i].port);
        EXPECT_EQ(f[3], boards_[i].family.model);
        EXPECT_EQ(f[6], std::to_string(serial));
        EXPECT_EQ(f[8], "ok");
        // The backup as a file the program writes back: its bytes are the preload's.
        const std::string back = File("back" + std::to_string(i) + ".bin").string();
        const std::string srec = "srec_cat '" + f[15] + "' -offset -0x" +
                                 (boards_[i].family.bulkErase ? std::string("2000") : "0C00") +
                                 " -o '" + back + "' -binary";
        ASSERT_EQ(std::system(srec.c_str()), 0) << srec;
        EXPECT_EQ(ReadFile(back),
                  Bytes(boards_[i].preload.begin(), boards_[i].preload.begin() + count_));
    }
    EXPECT_EQ(serials, (std::set<uint64_t>{7000, 7001, 7002}));
    const Journal journal = ReadJournal(File("serials.txt"));
    EXPECT_EQ(journal.last.size(), 3u);
    for (const auto& [n, kind] : journal.last)
        EXPECT_EQ(kind, "verified") << n;
    // The listing agrees.
    CliRun list({"serials", File("serials.txt").string()}, File("list.txt"), File("err.txt"));
    ASSERT_EQ(list.Wait(), 0);
    EXPECT_NE(Text(File("list.txt")).find("next:        7003"), std::string::npos)
        << Text(File("list.txt"));
}

// A link cut in the middle of a write, an adapter pulled out, a port that is not
// there: their rows fail and tell why, the other boards are written and verified,
// and no number that may have reached a chip is handed out again.
TEST_F(Gang, FaultsFailTheirRowsAndTheOthersFinish) {
    // 64 bytes: the connect (a few reply bytes), the reading (64) and then the
    // verifications (HC12) or the status polls (MC9S12): byte 100 of the HC12 and
    // byte 90 of the MC9S12 come inside the writing.
    Start({{kHc12, ""}, {kHc12, "fail-after=100"}, {kMc9s12, "unplug=90"}, {kMc9s12, ""}});
    MakeImage(64);
    Board missing;
    missing.port = File("no-such-tty").string();
    std::string err;
    std::vector<std::string> args = Args(SerialArgs(1) + "write " + File("image.bin").string());
    args.insert(args.begin(), {"--port", missing.port, "--model", kHc12.model});
    CliRun run(args, File("out.txt"), File("err.txt"));
    EXPECT_EQ(run.Wait(), 3);
    err = Text(File("err.txt"));

    const auto rows = LogRows(File("units.csv"));
    ASSERT_EQ(rows.size(), 5u) << Text(File("units.csv"));
    EXPECT_EQ(rows.at(missing.port)[8], "failed");
    EXPECT_NE(rows.at(missing.port)[18].find("Niewłaściwa nazwa portu"), std::string::npos);
    const char* results[] = {"ok", "link lost", "link lost", "ok"};
    for (size_t i = 0; i < boards_.size(); ++i) {
        SCOPED_TRACE(boards_[i].port);
        const auto& f = rows.at(boards_[i].port);
        EXPECT_EQ(f[8], results[i]) << err;
        const Bytes eeprom = Dump(i);
        if (f[8] == "ok") {
            EXPECT_EQ(eeprom, Expected(i, SerialIn(eeprom)));
        } else {
            EXPECT_NE(f[18].find("Utracono połącznie z interfejsem!"), std::string::npos) << f[18];
            // Beyond the window nothing changed, whatever happened inside it.
            EXPECT_TRUE(std::equal(eeprom.begin() + count_, eeprom.end(),
                                   boards_[i].preload.begin() + count_));
        }
        EXPECT_NE(err.find(boards_[i].port + "  "), std::string::npos) << "a table row: " << err;
    }
    const Journal journal = ReadJournal(File("serials.txt"));
    EXPECT_TRUE(journal.handedOutAgain.empty());
    EXPECT_EQ(journal.last.at(std::stoull(rows.at(boards_[1].port)[6])), "void");
    EXPECT_EQ(journal.last.at(std::stoull(rows.at(boards_[2].port)[6])), "void");
}

// The program killed in the middle of a gang write, then two runs at the same
// moment on the same ledger: the log holds only whole lines, the numbers the
// killed run sent are never handed out again, and the two runs share none.
TEST_F(Gang, KilledMidRunThenTwoRunsAtOnceOnOneLedger) {
    Start({{kHc12, ""}, {kMc9s12, ""}, {kHc12, ""}, {kMc9s12, ""}});
    MakeImage(128);  // several seconds of writing on the HC12 boards
    {
        CliRun run(Args(SerialArgs(100) + "write " + File("image.bin").string()), File("out.txt"),
                   File("err.txt"));
        // Killed once every unit has sent its number and the HC12 boards are writing.
        ASSERT_TRUE(WaitFor([&] { return Count(Text(File("serials.txt")), "\nsent ") == 4; }))
            << Text(File("err.txt"));
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        run.Signal(SIGKILL);
        EXPECT_EQ(run.Wait(), 128 + SIGKILL);
    }
    const Journal killed = ReadJournal(File("serials.txt"));
    ASSERT_EQ(killed.sent.size(), 4u);
    LogRows(File("units.csv"));  // whatever lines there are, are whole

    // Two runs at the same moment, two boards each, on the ledger the kill left
    // (a shorter image, so they are quick).
    MakeImage(32);
    const size_t half = boards_.size() / 2;
    std::vector<std::string> first, second;
    for (size_t i = 0; i < boards_.size(); ++i) {
        auto& args = i < half ? first : second;
        args.insert(args.end(), {"--port", boards_[i].port, "--model", boards_[i].family.model});
    }
    for (auto* args : {&first, &second}) {
        std::istringstream words("--yes --count 32" + SerialArgs(100) + "write " +
                                 File("image.bin").string());  // MakeImage(32) above
        for (std::string w; words >> w;)
            args->push_back(w);
    }
    CliRun a(first, File("a.out"), File("a.err"));
    CliRun b(second, File("b.out"), File("b.err"));
    EXPECT_EQ(a.Wait(), 0) << Text(File("a.err"));
    EXPECT_EQ(b.Wait(), 0) << Text(File("b.err"));

    const Journal after = ReadJournal(File("serials.txt"));
    EXPECT_TRUE(after.handedOutAgain.empty()) << "a sent number handed out again";
    for (uint64_t n : killed.sent)
        EXPECT_EQ(after.last.at(n), "void") << n;  // settled: they may be on a chip
    std::set<uint64_t> serials;
    for (size_t i = 0; i < boards_.size(); ++i) {
        const uint64_t serial = SerialIn(Dump(i));
        EXPECT_EQ(killed.sent.count(serial), 0u) << serial;
        serials.insert(serial);
        EXPECT_EQ(after.last.at(serial), "verified");
    }
    EXPECT_EQ(serials.size(), boards_.size()) << "every board a number of its own";
    const auto rows = LogRows(File("units.csv"));
    for (size_t i = 0; i < boards_.size(); ++i)
        EXPECT_EQ(rows.at(boards_[i].port)[8], "ok");
}

// Ctrl+C in the middle of a gang write: every board stops between two words, so a
// read-back shows each word as it was or as the image has it; the table says
// "stopped" and the log holds a line for every board.
TEST_F(Gang, CtrlCStopsEveryBoardBetweenTwoWords) {
    Start({{kHc12, ""}, {kMc9s12, ""}, {kHc12, ""}});
    MakeImage(128);
    CliRun run(Args(SerialArgs(1) + "write " + File("image.bin").string()), File("out.txt"),
               File("err.txt"));
    ASSERT_TRUE(WaitFor([&] { return Count(Text(File("serials.txt")), "\nsent ") == 3; }))
        << Text(File("err.txt"));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    run.Signal(SIGINT);
    EXPECT_EQ(run.Wait(), 1);
    const std::string err = Text(File("err.txt"));
    const auto rows = LogRows(File("units.csv"));
    ASSERT_EQ(rows.size(), boards_.size()) << err;
    for (size_t i = 0; i < boards_.size(); ++i) {
        SCOPED_TRACE(boards_[i].port);
        const auto& f = rows.at(boards_[i].port);
        const Bytes eeprom = Dump(i);
        const Bytes expected = Expected(i, std::stoull(f[6]));
        for (uint32_t k = 0; k < count_; k += 2) {
            const bool old =
                eeprom[k] == boards_[i].preload[k] && eeprom[k + 1] == boards_[i].preload[k + 1];
            const bool written = eeprom[k] == expected[k] && eeprom[k + 1] == expected[k + 1];
            EXPECT_TRUE(old || written) << "word at +" << k;
        }
        // The MC9S12 may well have finished: its words take a few milliseconds.
        if (f[8] != "ok") {
            EXPECT_EQ(f[8], "stopped") << err;
            EXPECT_EQ(f[9], "1");
        }
        EXPECT_NE(err.find(boards_[i].port + "  "), std::string::npos) << "a table row: " << err;
    }
    EXPECT_EQ(rows.at(boards_[0].port)[8], "stopped") << err;
    EXPECT_NE(err.find("stopped"), std::string::npos) << err;
}

}  // namespace
}  // namespace hc12::testing
