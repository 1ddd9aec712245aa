// The link cut everywhere: connect, read and write of hc12prog-cli, run in-process on
// the virtual clock against a virtual board that goes silent from a given reply byte
// on (or sends one line error there). Whatever the cut point, the run must end
// cleanly and tell the truth: exit status 3 with the lost-link text when the link
// died, never 0 for unfinished work, no output file from an unfinished read, no byte
// in the EEPROM that nobody asked for, no chip fault blamed for a dead link, and at
// most one line-error message.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "CliRunner.h"
#include "ModelTable.h"
#include "VirtualBoard.h"

namespace hc12::cli {
namespace {

namespace fs = std::filesystem;

// WholeWrite: the changed-only write over the whole EEPROM, every word changed (an
// MC9S12 then takes one mass erase and puts back what it does not change).
enum class Op { Connect, Read, Write, FullWrite, WholeWrite };

// What happens to the link at reply byte `at`: the cable is cut (silence from there
// on), one line error, or the USB adapter is pulled out (I/O errors, hang-up).
enum class FaultKind { None, Cut, LineError, Unplug };
struct Fault {
    FaultKind kind = FaultKind::None;
    int64_t at = -1;
};

const char* FaultName(FaultKind kind) {
    switch (kind) {
        case FaultKind::Cut:
            return " cut at ";
        case FaultKind::LineError:
            return " line error at ";
        case FaultKind::Unplug:
            return " unplugged at ";
        case FaultKind::None:
            break;
    }
    return " clean ";
}

const char* OpName(Op op) {
    return op == Op::Connect     ? "connect"
           : op == Op::Read      ? "read"
           : op == Op::Write     ? "write"
           : op == Op::FullWrite ? "fullWrite"
                                 : "wholeWrite";
}

// Seeded EEPROM contents and the image written, both from the byte's offset.
uint8_t Original(uint32_t i) {
    return uint8_t(i * 7 + 3);
}
uint8_t ImageByte(uint32_t i) {
    return uint8_t(0xA5 ^ (i * 11));
}

struct Outcome {
    int status = -1;
    std::string err;
    bool fileExists = false;
    std::vector<uint8_t> file;
    std::vector<std::string> dirEntries;
    std::vector<uint8_t> eeprom;  // the whole EEPROM after the run
    uint16_t eepromStart = 0;
    size_t replyBytes = 0;  // reply bytes the board was asked for
    bool massErased = false;  // the board ran an MC9S12 mass erase
};

struct Figures {
    int runs = 0, wrongStatuses = 0, wrongTexts = 0, wrongImages = 0, lostData = 0;
};

class Sweep {
  public:
    Sweep(std::string model, Op op, fs::path dir) : model_(std::move(model)), op_(op), dir_(dir) {
        const ModelRecord& row = ModelTable()[size_t(FindModelIndex(model_))];
        s12_ = IsS12Model(row);
        writeCount_ = op == Op::WholeWrite ? row.eepromSize : kWriteCount;
        // An HC12 image one byte short of the window leaves its last cell empty: the
        // write keeps the target's byte there, read from the target first.
        imageSize_ = s12_ ? writeCount_ : writeCount_ - 1;
        std::vector<uint8_t> image(imageSize_);
        for (uint32_t i = 0; i < imageSize_; ++i)
            image[i] = ImageByte(i);
        std::ofstream(dir_ / "image.bin", std::ios::binary)
            .write(reinterpret_cast<const char*>(image.data()), std::streamsize(image.size()));
    }

    Outcome Run(Op op, Fault fault) {
        const fs::path work = dir_ / "run";
        fs::remove_all(work);
        fs::create_directories(work);

        CliOptions options;
        options.command = op == Op::Connect ? Command::Connect
                          : op == Op::Read  ? Command::Read
                                            : Command::Write;
        options.file = op == Op::Read ? (work / "out.bin").string() : (dir_ / "image.bin").string();
        options.port = "virtual";
        options.virtualClock = true;
        options.modelIndex = FindModelIndex(model_);
        options.quartzIndex = 0;  // Auto: the detection is part of every connect
        if (op != Op::Connect)
            options.count = op == Op::Read ? kReadCount : writeCount_;
        options.fullWrite = op == Op::FullWrite;
        options.answer = Answer::Yes;

        VirtualClock clock;
        sim::BoardOptions boardOptions;
        boardOptions.model = model_;
        boardOptions.quartzMhz = 8;
        (fault.kind == FaultKind::Cut         ? boardOptions.silentAfterReplyBytes
         : fault.kind == FaultKind::LineError ? boardOptions.lineErrorAtReplyByte
                                              : boardOptions.unplugAtReplyByte) = fault.at;
        std::vector<std::unique_ptr<sim::VirtualBoard>> boards;
        CliEnvironment environment;
        environment.clock = &clock;
        environment.openPort = [&](const std::string&) {
            boards.push_back(std::make_unique<sim::VirtualBoard>(clock, boardOptions));
            sim::VirtualBoard& board = *boards.back();
            for (uint32_t i = 0; i < board.EepromSize(); ++i)
                board.Poke(uint16_t(board.EepromStart() + i), Original(i));
            return board.OpenPort();
        };

        std::ostringstream out, err;
        std::istringstream in;
        Outcome o;
        o.status = RunCli(options, out, TerminalIo{&err, &in, false, false}, environment);
        o.err = err.str();
        o.fileExists = fs::exists(work / "out.bin");
        if (o.fileExists) {
            std::ifstream file(work / "out.bin", std::ios::binary);
            o.file.assign(std::istreambuf_iterator<char>(file), {});
        }
        for (const auto& entry : fs::directory_iterator(work))
            o.dirEntries.push_back(entry.path().filename().string());
        if (!boards.empty()) {
            sim::VirtualBoard& board = *boards.front();
            o.eepromStart = board.EepromStart();
            for (uint32_t i = 0; i < board.EepromSize(); ++i)
                o.eeprom.push_back(board.Peek(uint16_t(o.eepromStart + i)));
            for (const auto& f : board.FrameLog())
                o.replyBytes += f.bytes[0] == 'C' ? 1 : f.bytes[0] == 'L' ? 2 : 0;
            for (const auto& c : board.CommandLog())
                o.massErased |= s12_ && c.command == 0x41;
        }
        return o;
    }

    // The clean runs give the reply bytes of the connect and of the whole command.
    void Measure() {
        const Outcome connect = Run(Op::Connect, {});
        ASSERT_EQ(connect.status, 0) << connect.err;
        connectReplies_ = connect.replyBytes;
        const Outcome whole = Run(op_, {});
        ASSERT_EQ(whole.status, 0) << whole.err;
        if (op_ == Op::WholeWrite) {
            ASSERT_TRUE(whole.massErased) << "the whole EEPROM changes: one mass erase is quicker";
        }
        Judge(whole, {});
        totalReplies_ = whole.replyBytes;
        ASSERT_GE(totalReplies_, connectReplies_);
    }

    size_t connectReplies() const { return connectReplies_; }
    size_t totalReplies() const { return totalReplies_; }
    const Figures& figures() const { return figures_; }

    void Judge(const Outcome& o, Fault fault) {
        ++figures_.runs;
        const std::string trace = std::string(OpName(op_)) + " " + model_ + FaultName(fault.kind) +
                                  std::to_string(fault.at) + "\n" + o.err;
        const bool inConnect = fault.at >= 0 && size_t(fault.at) < connectReplies_;

        // Exit status: a cut or an unplugged adapter always loses the link; a single
        // line error may be recovered from (a detection attempt tried again), and
        // then all must be well.
        const bool mustFail = fault.kind == FaultKind::Cut || fault.kind == FaultKind::Unplug;
        if ((mustFail && o.status != kExitNoConnection) ||
            (o.status != kExitOk && o.status != kExitNoConnection)) {
            ++figures_.wrongStatuses;
            ADD_FAILURE() << "status " << o.status << ": " << trace;
        }

        bool textsRight = true;
        if (o.status == kExitNoConnection) {
            const char* expected =
                inConnect ? "Nieudane połączenie z " : "Utracono połącznie z interfejsem! ";
            textsRight &= o.err.find(expected) != std::string::npos;
        }
        for (const char* chipText :
             {"Cały EEPROM", "bajty EEPROMu", "ECLKDIV", "ESTAT", "Nie udało się zapisać",
              "Nieudanych", "unstable byte", "byte at", "Nie moge rozpoznać"})
            textsRight &= o.err.find(chipText) == std::string::npos;
        // A memory map read over a dead link is no map: a connect that failed shows none.
        if (inConnect && o.status != kExitOk)
            textsRight &= o.err.find("Parametry") == std::string::npos;
        size_t lineErrorBoxes = 0;
        for (size_t at = o.err.find("Wykryto"); at != std::string::npos;
             at = o.err.find("Wykryto", at + 1))
            ++lineErrorBoxes;
        textsRight &= lineErrorBoxes <= (fault.kind == FaultKind::Cut ? 0u : 1u);
        if (!textsRight) {
            ++figures_.wrongTexts;
            ADD_FAILURE() << "texts: " << trace;
        }

        if (op_ == Op::Read && !ReadImageRight(o)) {
            ++figures_.wrongImages;
            ADD_FAILURE() << "output file: " << trace;
        }
        if ((op_ == Op::Write || op_ == Op::FullWrite || op_ == Op::WholeWrite) &&
            !EepromRight(o)) {
            ++figures_.lostData;
            ADD_FAILURE() << "EEPROM: " << trace;
        }
    }

  private:
    static constexpr uint32_t kReadCount = 128;
    static constexpr uint32_t kWriteCount = 48;

    bool ReadImageRight(const Outcome& o) const {
        if (o.status != kExitOk)
            return !o.fileExists && o.dirEntries.empty();
        if (o.dirEntries.size() != 1 || o.dirEntries[0] != "out.bin" || o.file.size() != kReadCount)
            return false;
        for (uint32_t i = 0; i < kReadCount; ++i)
            if (o.file[i] != Original(i))
                return false;
        return true;
    }

    // What the user asked for at window byte i.
    uint8_t Wanted(uint32_t i) const {
        if (i < imageSize_)
            return ImageByte(i);
        return s12_ ? 0xFF : Original(i);  // an empty cell keeps the (erased) target byte
    }

    bool EepromRight(const Outcome& o) const {
        if (o.eeprom.empty())
            return false;
        // Bytes reported written: "Zapisano  n  ..."; none when the write stopped
        // before its loop.
        uint32_t written = 0;
        std::smatch m;
        if (std::regex_search(o.err, m, std::regex("Zapisano  ([0-9]+)")))
            written = uint32_t(std::stoul(m[1]));
        if (o.status == kExitOk && written != writeCount_)
            return false;
        for (uint32_t i = 0; i < o.eeprom.size(); ++i) {
            const uint8_t now = o.eeprom[i];
            const uint32_t word = i & ~1u;
            if (i >= writeCount_) {
                // Outside the window: untouched (the MC9S12 preparation erases the
                // whole EEPROM).
                if (now != Original(i) && !(s12_ && now == 0xFF))
                    return false;
            } else if (word < written) {
                if (now != Wanted(i))
                    return false;
            } else if (s12_) {
                if (now != 0xFF && now != Original(i) && now != Wanted(i))
                    return false;
            } else if (word == written) {
                // The word the link died in: as it was, erased, or written whole.
                const bool asWas =
                    o.eeprom[word] == Original(word) && o.eeprom[word + 1] == Original(word + 1);
                const bool erased = o.eeprom[word] == 0xFF && o.eeprom[word + 1] == 0xFF;
                const bool done =
                    o.eeprom[word] == Wanted(word) && o.eeprom[word + 1] == Wanted(word + 1);
                if (!asWas && !erased && !done)
                    return false;
            } else if (now != Original(i)) {
                return false;  // never attempted
            }
        }
        return true;
    }

    std::string model_;
    Op op_;
    fs::path dir_;
    bool s12_ = false;
    uint32_t writeCount_ = 0;
    uint32_t imageSize_ = 0;
    size_t connectReplies_ = 0;
    size_t totalReplies_ = 0;
    Figures figures_;
};

struct SweepCase {
    const char* model;
    Op op;
};

class LinkCutSweep : public ::testing::TestWithParam<SweepCase> {
  protected:
    void SetUp() override {
        dir_ = fs::path(::testing::TempDir()) /
               ("hc12sweep_" + std::to_string(::getpid()) + "_" +
                std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
                OpName(GetParam().op) + std::to_string(FindModelIndex(GetParam().model)));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path dir_;
};

TEST_P(LinkCutSweep, EveryCutEndsCleanAndTellsTheTruth) {
    const SweepCase& c = GetParam();
    Sweep sweep(c.model, c.op, dir_);
    ASSERT_NO_FATAL_FAILURE(sweep.Measure());

    // Cut at every reply byte; a line error and an unplugged adapter at every third.
    for (size_t at = 0; at < sweep.totalReplies(); ++at) {
        std::vector<Fault> faults = {{FaultKind::Cut, int64_t(at)}};
        if (at % 3 == 0) {
            faults.push_back({FaultKind::LineError, int64_t(at)});
            faults.push_back({FaultKind::Unplug, int64_t(at)});
        }
        for (const Fault& fault : faults)
            sweep.Judge(sweep.Run(c.op, fault), fault);
    }

    const Figures& f = sweep.figures();
    // Every run returned here: a crash or a hang would not have.
    std::cout << "link-cut sweep " << OpName(c.op) << " " << c.model << ": reply bytes "
              << sweep.connectReplies() << " in connect, " << sweep.totalReplies()
              << " in all; runs " << f.runs << " (all returned), wrong statuses " << f.wrongStatuses
              << ", wrong texts " << f.wrongTexts << ", wrong images " << f.wrongImages
              << ", lost data " << f.lostData << std::endl;
}

INSTANTIATE_TEST_SUITE_P(
    Cli, LinkCutSweep,
    ::testing::Values(SweepCase{"HC912D60x", Op::Connect}, SweepCase{"HC912D60x", Op::Read},
                      SweepCase{"HC912D60x", Op::Write}, SweepCase{"HC912D60x", Op::FullWrite},
                      SweepCase{"MC9S12DT128", Op::Connect}, SweepCase{"MC9S12DT128", Op::Read},
                      SweepCase{"MC9S12DT128", Op::Write}, SweepCase{"MC9S12DT128", Op::FullWrite},
                      SweepCase{"MC9S12DT128", Op::WholeWrite}),
    [](const auto& info) {
        return std::string(OpName(info.param.op)) +
               (IsS12Model(ModelTable()[size_t(FindModelIndex(info.param.model))]) ? "McNineS12"
                                                                               : "HcTwelve");
    });

}  // namespace
}  // namespace hc12::cli
