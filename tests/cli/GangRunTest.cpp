// Production runs in-process: several virtual boards (each on a virtual clock of its
// own) programmed at once through the command line's own runner, with serial
// numbers, the unit log, backups and kept bytes; faults and a stop on some of them;
// and every configuration that cannot work refused before any port is opened.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "AddressedImage.h"
#include "CliOptions.h"
#include "ImageFile.h"
#include "LogLines.h"
#include "ModelTable.h"
#include "ProductionRun.h"
#include "SerialLedger.h"
#include "Sha256.h"
#include "VirtualBoard.h"

namespace hc12::cli {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

constexpr uint32_t kCount = 64;       // the window written: --count 64
constexpr uint32_t kSerialAt = 0x3C;  // --serial +3C:4

Bytes Pattern(size_t n, uint8_t seed) {
    Bytes v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = uint8_t(seed + i * 37 + (i >> 3));
    return v;
}

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

using testing::CsvFields;
using testing::Lines;

// A port onto a board that can hold the frames it is given at one of them.
class GatedPort final : public SerialPort {
  public:
    GatedPort(std::unique_ptr<SerialPort> port, std::function<void(const uint8_t*, size_t)> gate)
        : port_(std::move(port)), gate_(std::move(gate)) {}
    void ApplyLineSettings() override { port_->ApplyLineSettings(); }
    void SetRts(bool active) override { port_->SetRts(active); }
    bool Write(const uint8_t* data, size_t size) override {
        gate_(data, size);
        return port_->Write(data, size);
    }
    LineStatus ClearErrors() override { return port_->ClearErrors(); }
    size_t Read(uint8_t* dest, size_t maxSize) override { return port_->Read(dest, maxSize); }
    bool WaitForInput(uint32_t timeoutMs) override { return port_->WaitForInput(timeoutMs); }
    void Purge() override { port_->Purge(); }
    bool HungUp() override { return port_->HungUp(); }
    void HintModel(const std::string& name) override { port_->HintModel(name); }

  private:
    std::unique_ptr<SerialPort> port_;
    std::function<void(const uint8_t*, size_t)> gate_;
};

// The ports of the tray as the log and the table name them.
std::string PortName(size_t i) {
    return "slot" + std::to_string(i);
}

struct Slot {
    Slot(const char* m, sim::BoardOptions f = {}, bool gone = false)
        : model(m), faults(f), missing(gone) {}
    std::string model;
    sim::BoardOptions faults;  // model and quartz are filled in
    bool missing = false;      // the port does not open
};

class Gang : public ::testing::Test {
  protected:
    struct Board {
        VirtualClock clock;
        std::unique_ptr<sim::VirtualBoard> board;
        Bytes preload;
        bool missing = false;
        std::string model;
    };

    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::path(::testing::TempDir()) /
               ("hc12gang_" + std::to_string(getpid()) + "_" + info->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "backups");
        image_ = Pattern(kCount, 0xA5);
        std::ofstream(File("image.bin"), std::ios::binary)
            .write(reinterpret_cast<const char*>(image_.data()), std::streamsize(image_.size()));
    }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path File(const std::string& name) const { return dir_ / name; }

    // Boards for the slots, each with its EEPROM preloaded with its own pattern.
    void Tray(const std::vector<Slot>& slots) {
        boards_.clear();
        for (size_t i = 0; i < slots.size(); ++i) {
            auto b = std::make_unique<Board>();
            sim::BoardOptions o = slots[i].faults;
            o.model = slots[i].model;
            o.quartzMhz = 8;
            b->board = std::make_unique<sim::VirtualBoard>(b->clock, o);
            b->preload = Pattern(b->board->EepromSize(), uint8_t(0x10 * (i + 1)));
            b->board->LoadEepromImage(b->preload);
            b->missing = slots[i].missing;
            b->model = slots[i].model;
            boards_.push_back(std::move(b));
        }
    }

    // The command line for the tray: a --port a board ("slot0", "slot1", ...: the
    // test's boards stand behind them), the rest as given.
    int Run(const std::string& rest) {
        std::vector<std::string> args{"--quartz", "8", "--yes"};
        for (size_t i = 0; i < boards_.size(); ++i)
            args.insert(args.end(), {"--port", PortName(i)});
        return RunArgs(args, rest);
    }

    int RunArgs(std::vector<std::string> args, const std::string& rest) {
        std::istringstream words(rest);
        for (std::string w; words >> w;)
            args.push_back(w);
        const ParseResult parsed = ParseCommandLine(args);
        if (!parsed.options) {
            err_ = parsed.error;
            return -1;
        }
        ProductionEnvironment environment;
        unitsStarted_ = 0;
        environment.prepareUnit = [this](size_t unit, CliEnvironment& e) {
            ++unitsStarted_;
            Board& b = *boards_.at(unit);
            e.clock = &b.clock;
            e.openPort = [this, &b, unit](const std::string&) -> std::unique_ptr<SerialPort> {
                if (b.missing)
                    return nullptr;
                auto port = b.board->OpenPort();
                if (gate_)
                    return std::make_unique<GatedPort>(
                        std::move(port),
                        [this, unit](const uint8_t* d, size_t n) { gate_(unit, d, n); });
                return port;
            };
        };
        std::ostringstream out, err;
        std::istringstream in;
        const int status = RunProduction(*parsed.options, out,
                                         TerminalIo{&err, &in, false, false, &stop_}, environment);
        out_ = out.str();
        err_ = err.str();
        return status;
    }

    // The window of board i as it holds it now.
    Bytes Window(size_t i) const {
        const sim::VirtualBoard& b = *boards_[i]->board;
        Bytes v(kCount);
        for (uint32_t k = 0; k < kCount; ++k)
            v[k] = b.Peek(uint16_t(b.EepromStart() + k));
        return v;
    }
    // The image with a serial number in it, as board i should hold it.
    Bytes Expected(uint64_t serial) const {
        Bytes v = image_;
        for (int k = 0; k < 4; ++k)
            v[kSerialAt + k] = uint8_t(serial >> (24 - 8 * k));
        return v;
    }
    uint64_t SerialOn(size_t i) const {
        const Bytes w = Window(i);
        uint64_t n = 0;
        for (int k = 0; k < 4; ++k)
            n = n << 8 | w[kSerialAt + k];
        return n;
    }
    std::string Models() const {
        std::string m;
        for (const auto& b : boards_)
            m += " --model " + b->model;
        return m;
    }
    // The unit log's lines by port (the header checked).
    std::map<std::string, std::vector<std::string>> LogByPort() const {
        std::map<std::string, std::vector<std::string>> rows;
        const std::vector<std::string> lines = Lines(Slurp(File("units.csv")));
        EXPECT_FALSE(lines.empty());
        if (lines.empty())
            return rows;
        EXPECT_EQ(lines[0].rfind("time_utc,host,port,model,quartz,command,serial,", 0), 0u);
        for (size_t i = 1; i < lines.size(); ++i) {
            const std::vector<std::string> f = CsvFields(lines[i]);
            EXPECT_EQ(f.size(), 19u) << lines[i];
            if (f.size() == 19)
                rows[f[2]] = f;
        }
        return rows;
    }

    fs::path dir_;
    Bytes image_;
    std::vector<std::unique_ptr<Board>> boards_;
    std::atomic<bool> stop_{false};
    std::function<void(size_t unit, const uint8_t* data, size_t size)> gate_;
    std::string out_, err_;
    int unitsStarted_ = 0;
};

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The ledger's promise, read from its journal: once a number is sent (its bytes
// may be on a chip) it is never reserved again.
void ExpectNoNumberHandedOutAfterSent(const std::string& journal) {
    std::set<std::string> sent;
    for (const std::string& line : Lines(journal)) {
        std::istringstream words(line);
        std::string kind, number;
        words >> kind >> number;
        if (kind == "sent")
            sent.insert(number);
        if (kind == "reserve") {
            EXPECT_EQ(sent.count(number), 0u) << "number " << number << " handed out again";
        }
    }
}

// Four boards of both families in one run: each ends with the image and a number
// of its own, the ledger counts them, the log and the backups tell what happened;
// a verify reads the numbers back, and a second write never reuses one.
TEST_F(Gang, AMixedTrayGetsTheImageAndANumberEach) {
    Tray({{"HC912D60x"}, {"MC9S12DT128"}, {"HC812A4"}, {"MC9S12DP512(1L00M)"}});
    const std::string write = Models() + " --count 64 --serial +3C:4 --serial-file " +
                              File("serials.txt").string() + " --serial-first 5000 --log " +
                              File("units.csv").string() + " --backup " + File("backups").string() +
                              " write " + File("image.bin").string();
    ASSERT_EQ(Run(write), 0) << err_;

    std::set<uint64_t> serials;
    const auto rows = LogByPort();
    ASSERT_EQ(rows.size(), boards_.size());
    for (size_t i = 0; i < boards_.size(); ++i) {
        SCOPED_TRACE(PortName(i));
        const uint64_t serial = SerialOn(i);
        serials.insert(serial);
        EXPECT_EQ(Window(i), Expected(serial));
        const Bytes all = boards_[i]->board->EepromImage();
        EXPECT_TRUE(
            std::equal(all.begin() + kCount, all.end(), boards_[i]->preload.begin() + kCount))
            << "nothing beyond the window changed";

        const std::vector<std::string>& f = rows.at(PortName(i));
        EXPECT_EQ(f[3], boards_[i]->model);
        EXPECT_EQ(f[4], "8MHz");
        EXPECT_EQ(f[5], "write");
        EXPECT_EQ(f[6], std::to_string(serial));
        EXPECT_EQ(f[8], "ok");
        EXPECT_EQ(f[9], "0");
        EXPECT_GT(std::stoi(f[10]), 0);
        EXPECT_EQ(f[12], "0");
        EXPECT_EQ(f[14], production::Sha256Hex(Expected(serial)));
        const Bytes before(boards_[i]->preload.begin(), boards_[i]->preload.begin() + kCount);
        EXPECT_EQ(f[16], production::Sha256Hex(before));
        EXPECT_EQ(f[17], production::Sha256Hex(Expected(serial)));
        // The backup, named by the number, holds what the window held before.
        EXPECT_NE(f[15].find("sn" + std::to_string(serial) + "-"), std::string::npos) << f[15];
        AddressedImage backup;
        std::string reason;
        ImageError recordError;
        ASSERT_EQ(ReadAddressedImage(f[15], ImageFormat::SRecord, &backup, &reason, &recordError),
                  ImageReadResult::Ok)
            << f[15] << ": " << reason;
        ASSERT_EQ(backup.bytes.size(), kCount);
        EXPECT_EQ(backup.first(), boards_[i]->board->EepromStart());
        for (uint32_t k = 0; k < kCount; ++k)
            EXPECT_EQ(backup.bytes[k].value, before[k]) << k;
        EXPECT_TRUE(Has(err_, PortName(i) + "  ")) << err_;
    }
    EXPECT_EQ(serials, (std::set<uint64_t>{5000, 5001, 5002, 5003}));
    EXPECT_FALSE(Has(err_, "\033[")) << "no progress lines in a pipe";
    std::string error;
    auto state = production::SerialLedger::Inspect(File("serials.txt"), &error);
    ASSERT_TRUE(state) << error;
    EXPECT_EQ(state->next, 5004u);
    for (const auto& [n, e] : state->numbers)
        EXPECT_EQ(e.state, production::SerialState::Verified) << n;

    // verify reads each number back instead of comparing it.
    ASSERT_EQ(Run(Models() + " --count 64 --serial +3C:4 verify " + File("image.bin").string()), 0)
        << err_;
    for (size_t i = 0; i < boards_.size(); ++i)
        EXPECT_TRUE(Has(err_, "[" + PortName(i) + "] hc12prog-cli: serial number found: " +
                                  std::to_string(SerialOn(i)) + " ("))
            << err_;

    // Written again: new numbers only.
    ASSERT_EQ(Run(write), 0) << err_;
    for (size_t i = 0; i < boards_.size(); ++i) {
        EXPECT_GE(SerialOn(i), 5004u);
        EXPECT_EQ(Window(i), Expected(SerialOn(i)));
    }
    state = production::SerialLedger::Inspect(File("serials.txt"), &error);
    ASSERT_TRUE(state) << error;
    EXPECT_EQ(state->next, 5008u);
}

// The reply bytes a clean run of `command` takes on a board of `model`, to cut the
// link at a known point: a write's near its end (well inside the write, after the
// number was sent), a connect's just after it (in the write's reading pass).
size_t RepliesOf(Command command, const std::string& model, const fs::path& dir) {
    VirtualClock clock;
    sim::BoardOptions o;
    o.model = model;
    sim::VirtualBoard board(clock, o);
    board.LoadEepromImage(Pattern(board.EepromSize(), 0x33));
    CliOptions options;
    options.command = command;
    options.file = (dir / "image.bin").string();
    options.port = "slot";
    options.modelIndex = int(FindModelRecord(model) - ModelTable().data());
    options.quartzIndex = 2;
    options.count = kCount;
    CliEnvironment environment;
    environment.clock = &clock;
    environment.openPort = [&](const std::string&) { return board.OpenPort(); };
    std::ostringstream out, err;
    std::istringstream in;
    EXPECT_EQ(RunCli(options, out, TerminalIo{&err, &in, false, false}, environment), 0)
        << err.str();
    size_t replies = 0;
    for (const auto& f : board.FrameLog())
        replies += f.bytes[0] == 'C' ? 1 : f.bytes[0] == 'L' ? 2 : 0;
    return replies;
}

// A cable cut in the middle of a write, an adapter pulled out, a port that is not
// there: those rows fail with the truth, the others are written; numbers that may
// have reached a chip are void, the one that never left the PC is handed out first.
TEST_F(Gang, FaultsFailTheirOwnRowsOnly) {
    sim::BoardOptions cut, unplug, early;
    cut.silentAfterReplyBytes = int64_t(RepliesOf(Command::Write, "HC912D60x", dir_)) - 20;
    unplug.unplugAtReplyByte = int64_t(RepliesOf(Command::Write, "MC9S12DT128", dir_)) - 20;
    early.silentAfterReplyBytes = int64_t(RepliesOf(Command::Connect, "HC912D60x", dir_)) + 12;
    Tray({{"HC912D60x"},
          {"HC912D60x", cut},
          {"MC9S12DT128", unplug},
          {"HC912D60x", {}, /*missing=*/true},
          {"MC9S12DT128"},
          {"HC912D60x", early}});
    const int status = Run(Models() + " --count 64 --serial +3C:4 --serial-file " +
                           File("serials.txt").string() + " --serial-first 1 --log " +
                           File("units.csv").string() + " write " + File("image.bin").string());
    EXPECT_EQ(status, 3) << err_;

    const auto rows = LogByPort();
    ASSERT_EQ(rows.size(), 6u) << Slurp(File("units.csv"));
    const char* results[] = {"ok", "link lost", "link lost", "failed", "ok", "link lost"};
    const char* statuses[] = {"0", "3", "3", "3", "0", "3"};
    for (size_t i = 0; i < 6; ++i) {
        SCOPED_TRACE(PortName(i));
        const auto& f = rows.at(PortName(i));
        EXPECT_EQ(f[8], results[i]);
        EXPECT_EQ(f[9], statuses[i]);
        EXPECT_TRUE(Has(err_, PortName(i) + "  ")) << err_;
        if (f[8] == "ok") {
            EXPECT_EQ(Window(i), Expected(SerialOn(i)));
        }
    }
    EXPECT_TRUE(Has(rows.at(PortName(1))[18], "Utracono połącznie")) << rows.at(PortName(1))[18];
    EXPECT_TRUE(Has(rows.at(PortName(3))[18], "Niewłaściwa nazwa portu"))
        << rows.at(PortName(3))[18];

    std::string error;
    const auto state = production::SerialLedger::Inspect(File("serials.txt"), &error);
    ASSERT_TRUE(state) << error;
    auto numberOf = [&](size_t i) { return std::stoull(rows.at(PortName(i))[6]); };
    using production::SerialState;
    EXPECT_EQ(state->numbers.at(numberOf(0)).state, SerialState::Verified);
    EXPECT_EQ(state->numbers.at(numberOf(1)).state, SerialState::Void);
    EXPECT_EQ(state->numbers.at(numberOf(2)).state, SerialState::Void);
    EXPECT_EQ(rows.at(PortName(3))[6], "") << "the missing port never took a number";
    EXPECT_EQ(state->numbers.at(numberOf(4)).state, SerialState::Verified);
    // Lost in the reading, before any erase: the number went back (and may have
    // been taken again at once by a unit that came later: it is handed out first).
    const std::string journal = Slurp(File("serials.txt"));
    EXPECT_TRUE(Has(journal, "\nreturn " + std::to_string(numberOf(5)) + " ")) << journal;
    EXPECT_EQ(Window(5), Bytes(boards_[5]->preload.begin(), boards_[5]->preload.begin() + kCount));
    ExpectNoNumberHandedOutAfterSent(journal);
}

// Ctrl+C while every board is in the middle of its write: each stops between two
// words (MC9S12: two sectors), so each word holds the old bytes or the image's; the
// table and the log say so, and the numbers sent are void.
TEST_F(Gang, AStopEndsEveryBoardBetweenTwoWords) {
    Tray({{"HC912D60x"}, {"MC9S12DT128"}, {"HC812A4"}});
    // Every unit is held at its third word frame until all are there; then the
    // stop comes.
    std::mutex mutex;
    std::condition_variable all;
    std::map<size_t, int> wordFrames;
    size_t arrived = 0;
    std::map<size_t, std::string> atFirstErase;  // what was on the disk by then
    gate_ = [&](size_t unit, const uint8_t* data, size_t) {
        if (data[0] != 's')
            return;
        std::unique_lock<std::mutex> lock(mutex);
        if (++wordFrames[unit] == 1) {
            atFirstErase[unit] = Slurp(File("serials.txt"));
            for (const auto& entry : fs::directory_iterator(File("backups")))
                atFirstErase[unit] += "\nbackup " + entry.path().filename().string();
        }
        if (wordFrames[unit] != 3)
            return;
        if (++arrived == boards_.size()) {
            stop_ = true;
            all.notify_all();
        }
        all.wait_for(lock, std::chrono::seconds(20), [&] { return stop_.load(); });
    };
    const int status =
        Run(Models() + " --count 64 --serial +3C:4 --serial-file " + File("serials.txt").string() +
            " --serial-first 1 --log " + File("units.csv").string() + " --backup " +
            File("backups").string() + " write " + File("image.bin").string());
    EXPECT_EQ(status, 1) << err_;
    ASSERT_TRUE(stop_.load()) << "every unit reached its third word frame";
    const auto rows = LogByPort();
    ASSERT_EQ(rows.size(), 3u);
    std::string error;
    const auto state = production::SerialLedger::Inspect(File("serials.txt"), &error);
    ASSERT_TRUE(state) << error;
    for (size_t i = 0; i < boards_.size(); ++i) {
        SCOPED_TRACE(PortName(i));
        const auto& f = rows.at(PortName(i));
        EXPECT_EQ(f[8], "stopped");
        EXPECT_EQ(f[9], "1");
        const Bytes expected = Expected(std::stoull(f[6]));
        const Bytes now = Window(i);
        int changed = 0;
        for (uint32_t k = 0; k < kCount; k += 2) {
            const bool old =
                now[k] == boards_[i]->preload[k] && now[k + 1] == boards_[i]->preload[k + 1];
            const bool written = now[k] == expected[k] && now[k + 1] == expected[k + 1];
            EXPECT_TRUE(old || written) << "word at " << k;
            changed += written && !old;
        }
        EXPECT_GT(changed, 0);
        EXPECT_LT(changed, int(kCount / 2)) << "stopped before the end";
        EXPECT_EQ(state->numbers.at(std::stoull(f[6])).state, production::SerialState::Void);
        // Before the unit's first erase its number was recorded as sent and its
        // backup was on the disk.
        EXPECT_TRUE(Has(atFirstErase[i], "\nsent " + f[6] + " ")) << atFirstErase[i];
        EXPECT_TRUE(Has(atFirstErase[i], "\nbackup sn" + f[6] + "-")) << atFirstErase[i];
        EXPECT_TRUE(Has(err_, "[" + PortName(i) + "] hc12prog-cli: asked to stop")) << err_;
    }
    EXPECT_TRUE(Has(err_, "stopped")) << err_;
}

// Bytes to keep are the unit's own after every kind of write, also after an
// MC9S12's full write, whose bulk erase takes them (they are read before it), with
// a backup or without.
TEST_F(Gang, KeptBytesStayAsTheUnitHeldThem) {
    const std::string backup = "--backup " + File("backups").string() + " ";
    for (const std::string& mode : {std::string(), std::string("--full "), "--full " + backup}) {
        SCOPED_TRACE(mode);
        Tray({{"HC912D60x"}, {"MC9S12DT128"}});
        ASSERT_EQ(Run(Models() + " --count 64 --keep +10:4 --keep +21:1 " + mode + "write " +
                      File("image.bin").string()),
                  0)
            << err_;
        for (size_t i = 0; i < boards_.size(); ++i) {
            Bytes expected = image_;
            for (uint32_t k : {0x10u, 0x11u, 0x12u, 0x13u, 0x21u})
                expected[k] = boards_[i]->preload[k];
            EXPECT_EQ(Window(i), expected) << PortName(i);
        }
    }
}

// What cannot work is refused with one line and status 2 before any unit starts;
// a damaged ledger is left exactly as it was.
TEST_F(Gang, ConfigurationsThatCannotWorkAreRefusedBeforeAnyPortOpens) {
    Tray({{"HC912D60x"}, {"HC912D60x"}});
    const std::string ledger = " --serial-file " + File("serials.txt").string() + " ";
    const std::string image = " write " + File("image.bin").string();
    std::ofstream(File("damaged.txt")) << "hc12prog serial ledger 1 first=1 *00000000\n";
    fs::create_directory(File("folder"));
    struct Case {
        std::string args;
        const char* message;
    };
    const Case cases[] = {
        {"--serial 0B00:4" + ledger + "--serial-first 1" + image,
         "the serial field 0B00..0B03 lies outside the address window 0C00..0FFF"},
        {"--count 64 --serial +3E:4" + ledger + "--serial-first 1" + image,
         "runs past the end of the address window (64 bytes)"},
        {"--serial 0C00:1" + ledger + "--serial-first 255" + image,
         "serial number 256 does not fit in the field (1 byte, be: at most 255)"},
        {"--serial 0C00:4" + ledger + image, "--serial-first N starts a new ledger"},
        {"--serial 0C00:4 --serial-file " + File("damaged.txt").string() + image,
         "damaged.txt: line 1"},
        {"--log " + File("folder").string() + image, "--log "},
        {"--backup " + File("missing").string() + image, "no such folder"},
        {"--port slot0" + image, "--port slot0 and --port slot0 name the same port"},
        {"read " + File("same-{port}.bin").string() + " --port slot0/..//slot0",
         "name the same port"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        const std::string damaged = Slurp(File("damaged.txt"));
        EXPECT_EQ(Run("--model HC912D60x " + c.args), 2) << err_;
        EXPECT_TRUE(Has(err_, c.message)) << err_;
        EXPECT_EQ(err_.find('\n'), err_.size() - 1) << "one line: " << err_;
        EXPECT_EQ(unitsStarted_, 0);
        EXPECT_EQ(Slurp(File("damaged.txt")), damaged);
        EXPECT_FALSE(fs::exists(File("serials.txt")));
    }
}

// read with several ports: a file each, named by the port.
TEST_F(Gang, ReadWritesAFilePerPort) {
    Tray({{"HC912D60x"}, {"MC9S12DT128"}});
    ASSERT_EQ(Run(Models() + " --count 64 read " + File("eeprom.bin").string()), 0) << err_;
    for (size_t i = 0; i < boards_.size(); ++i)
        EXPECT_EQ(Slurp(File("eeprom-" + PortName(i) + ".bin")),
                  std::string(boards_[i]->preload.begin(), boards_[i]->preload.begin() + kCount));
    ASSERT_EQ(Run(Models() + " --count 16 read " + File("{port}-x.s19").string()), 0) << err_;
    for (size_t i = 0; i < boards_.size(); ++i)
        EXPECT_TRUE(fs::exists(File(PortName(i) + "-x.s19")));
}

// --json: one object a line on standard output, a result per port with all its
// fields, progress on the way, the exit status at the end.
TEST_F(Gang, JsonLinesLetAFixtureFollowTheRun) {
    Tray({{"HC912D60x"}, {"MC9S12DT128", {}, /*missing=*/true}});
    EXPECT_EQ(Run(Models() + " --count 64 --json write " + File("image.bin").string()), 3);
    std::map<std::string, int> events;
    for (const std::string& line : Lines(out_)) {
        ASSERT_TRUE(line.size() > 2 && line.front() == '{' && line.back() == '}') << line;
        const size_t at = line.find("\"event\":\"");
        ASSERT_EQ(at, 1u) << line;
        ++events[line.substr(at + 9, line.find('"', at + 9) - at - 9)];
        if (Has(line, "\"event\":\"result\"") && Has(line, "\"port\":\"slot1\"")) {
            EXPECT_TRUE(Has(line, "\"result\":\"failed\",\"exit_status\":3")) << line;
        }
        if (Has(line, "\"event\":\"result\"") && Has(line, "\"port\":\"slot0\"")) {
            EXPECT_TRUE(Has(line, "\"result\":\"ok\",\"exit_status\":0,\"words_written\":"))
                << line;
        }
    }
    EXPECT_EQ(events["start"], 2);
    EXPECT_EQ(events["result"], 2);
    EXPECT_EQ(events["end"], 1);
    EXPECT_GT(events["progress"], 10);
    EXPECT_GT(events["message"], 0);
    EXPECT_TRUE(Has(out_, "{\"event\":\"end\",\"exit_status\":3}")) << out_;
}

// A backup that cannot be saved: the unit is not written, and its number goes back.
TEST_F(Gang, AUnitWhoseBackupFailsIsNotWritten) {
    for (const char* mode : {"", "--full "}) {
        SCOPED_TRACE(mode);
        Tray({{"HC912D60x"}, {"MC9S12DT128"}});
        fs::remove_all(File("serials.txt"));
        fs::create_directories(File("gone"));
        // The folder is there when the run checks it, and gone when the units save.
        auto remove = [&] {
            fs::remove_all(File("gone"));
            std::ofstream(File("gone")) << "a file now";
        };
        std::once_flag removed;
        gate_ = [&](size_t, const uint8_t*, size_t) { std::call_once(removed, remove); };
        const int status =
            Run(Models() + " --count 64 --serial +3C:4 --serial-file " +
                File("serials.txt").string() + " --serial-first 1 --backup " +
                File("gone").string() + " " + mode + "write " + File("image.bin").string());
        gate_ = nullptr;
        fs::remove_all(File("gone"));
        EXPECT_EQ(status, 2) << err_;
        EXPECT_TRUE(Has(err_, "backup not saved")) << err_;
        for (size_t i = 0; i < boards_.size(); ++i) {
            EXPECT_EQ(Window(i),
                      Bytes(boards_[i]->preload.begin(), boards_[i]->preload.begin() + kCount))
                << PortName(i);
            EXPECT_TRUE(Has(err_, PortName(i) + "  ")) << err_;
        }
        std::string error;
        const auto state = production::SerialLedger::Inspect(File("serials.txt"), &error);
        ASSERT_TRUE(state) << error;
        // Both numbers went back (a number returned first is handed out first, so
        // the second unit may have taken the first one's again).
        ASSERT_FALSE(state->numbers.empty());
        for (const auto& [n, e] : state->numbers)
            EXPECT_EQ(e.state, production::SerialState::Returned) << n << "\n" << err_;
    }
}

}  // namespace
}  // namespace hc12::cli
