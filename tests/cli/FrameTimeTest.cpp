// The interface's frame time as hc12prog-cli takes it, against a strict virtual board
// whose interface needs time for every frame (exec=): at the default setting a
// changed image is written and read back whole, with no byte lost on the line; a
// setting faster than the interface ends as a failure, never as a success.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "CliRunner.h"
#include "ModelTable.h"
#include "VirtualBoard.h"

namespace hc12::cli {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

uint8_t Before(uint32_t i) {
    return uint8_t(i * 7 + 1);
}
uint8_t Wanted(uint32_t i) {
    return uint8_t(0xA5 ^ (i * 13));
}

struct Outcome {
    int status = -1;
    std::string err;
    Bytes before, after;  // the whole EEPROM
    uint64_t lostBytes = 0;
    std::vector<std::string> violations;
};

class FrameTime : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::path(::testing::TempDir()) / ("hc12frametime_" + std::to_string(getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override {
        ::unsetenv("HC12_FRAME_TIME_US");
        fs::remove_all(dir_);
    }

    // Writes a changed image over the whole EEPROM of `model`, whose interface needs
    // `execUs` for a frame.
    Outcome Write(const std::string& model, uint32_t execUs, std::optional<uint32_t> frameTimeUs) {
        const bool s12 = IsS12Model(ModelTable()[size_t(FindModelIndex(model))]);
        const uint32_t size = s12 ? 2048 : 1024;
        Bytes image(size);
        for (uint32_t i = 0; i < size; ++i)
            image[i] = Wanted(i);
        const fs::path file = dir_ / "image.bin";
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(image.data()), std::streamsize(image.size()));

        CliOptions options;
        options.command = Command::Write;
        options.file = file.string();
        options.port = "virtual";
        options.virtualClock = true;
        options.modelIndex = FindModelIndex(model);
        options.quartzIndex = 0;
        options.frameTimeUs = frameTimeUs;
        options.answer = Answer::No;

        VirtualClock clock;
        sim::BoardOptions boardOptions;
        boardOptions.model = model;
        boardOptions.execUs = execUs;
        boardOptions.latencyMs = 1;
        boardOptions.strict = true;
        std::unique_ptr<sim::VirtualBoard> board;
        CliEnvironment environment;
        environment.clock = &clock;
        Outcome run;
        environment.openPort = [&](const std::string&) {
            board = std::make_unique<sim::VirtualBoard>(clock, boardOptions);
            for (uint32_t i = 0; i < board->EepromSize(); ++i)
                board->Poke(uint16_t(board->EepromStart() + i), Before(i));
            run.before = board->EepromImage();
            return board->OpenPort();
        };
        std::ostringstream out, err;
        std::istringstream in;
        run.status = RunCli(options, out, TerminalIo{&err, &in, false, false}, environment);
        run.err = err.str();
        if (board) {
            run.after = board->EepromImage();
            run.lostBytes = board->LostBytes();
            run.violations = board->Violations();
        }
        return run;
    }

    fs::path dir_;
};

TEST_F(FrameTime, TheDefaultKeepsUpWithAnInterfaceOfNoneAndOfOneMillisecond) {
    for (const char* model : {"HC912D60x", "MC9S12DT128"}) {
        for (uint32_t execUs : {0u, 1000u}) {
            SCOPED_TRACE(::testing::Message() << model << " exec " << execUs);
            const Outcome run = Write(model, execUs, std::nullopt);
            EXPECT_EQ(run.status, kExitOk) << run.err;
            ASSERT_FALSE(run.after.empty());
            for (uint32_t i = 0; i < run.after.size(); ++i)
                ASSERT_EQ(run.after[i], Wanted(i)) << "byte " << i;
            EXPECT_EQ(run.lostBytes, 0u);
            EXPECT_EQ(run.violations, std::vector<std::string>{});
        }
    }
}

// Every operation begins with the clock configuration followed at once by a read:
// with a frame time below the interface's, that read loses its bytes, and the
// connect, or the write right after it, ends with the link lost. Nothing is written.
TEST_F(FrameTime, ASettingFasterThanTheInterfaceLosesTheLinkAndWritesNothing) {
    for (const char* model : {"HC912D60x", "MC9S12DT128"}) {
        for (uint32_t frameTimeUs : {0u, 500u, 900u}) {
            SCOPED_TRACE(::testing::Message() << model << " frame time " << frameTimeUs);
            const Outcome run = Write(model, 1000, frameTimeUs);
            EXPECT_EQ(run.status, kExitNoConnection) << run.err;
            EXPECT_TRUE(run.err.find("Nieudane połączenie z procesorem") != std::string::npos ||
                        run.err.find("Utracono połącznie z interfejsem! ") != std::string::npos)
                << run.err;
            EXPECT_EQ(run.err.find("Zapisano"), std::string::npos) << run.err;
            EXPECT_GT(run.lostBytes, 0u);
            EXPECT_EQ(run.after, run.before);
        }
    }
}

// The command line wins over the environment; an environment value that is no
// frame time is refused before the port is opened.
TEST_F(FrameTime, TheEnvironmentSetsItUnlessTheCommandLineDoes) {
    ::setenv("HC12_FRAME_TIME_US", "500", 1);
    EXPECT_EQ(Write("HC912D60x", 1000, std::nullopt).status, kExitNoConnection);
    EXPECT_EQ(Write("HC912D60x", 1000, 1000).status, kExitOk);
    ::setenv("HC12_FRAME_TIME_US", "1000", 1);
    EXPECT_EQ(Write("HC912D60x", 1000, std::nullopt).status, kExitOk);
    ::setenv("HC12_FRAME_TIME_US", "fast", 1);
    const Outcome refused = Write("HC912D60x", 1000, std::nullopt);
    EXPECT_EQ(refused.status, kExitUsage);
    EXPECT_NE(refused.err.find("HC12_FRAME_TIME_US takes the interface's time for one frame"),
              std::string::npos)
        << refused.err;
    EXPECT_TRUE(refused.after.empty());  // no port was opened
}

}  // namespace
}  // namespace hc12::cli
