// The command-line program against hc12prog-board through a real tty device, on the
// real clock: connect, a small write and a read on both families, and the board's
// EEPROM dump compared with the files.
#include <gtest/gtest.h>

#include "BoardCliTest.h"

namespace hc12::testing {
namespace {

// The board's own device, as a program that opens a serial device by its path
// finds it.
class BoardPty : public BoardCli {
  protected:
    void Cycle(const Family& family) {
        BoardCli::Cycle(
            family, {},
            [](const std::string& served) {
                return served.rfind("/dev/pts/", 0) == 0 ? served : std::string();
            },
            /*alsoFull=*/true);
    }
};

TEST_F(BoardPty, HcTwelveThroughTheDevice) {
    Cycle(kHc12);
}

TEST_F(BoardPty, McNineS12ThroughTheDeviceWithQuartzDetection) {
    Cycle(kMc9s12);
}

TEST_F(BoardPty, HcTwelveChangedFourKilobyteImage) {
    ChangedImageCycle(kHc12Big, {}, [](const std::string& served) {
        return served.rfind("/dev/pts/", 0) == 0 ? served : std::string();
    });
}

TEST_F(BoardPty, McNineS12ChangedFourKilobyteImage) {
    ChangedImageCycle(kMc9s12Big, {}, [](const std::string& served) {
        return served.rfind("/dev/pts/", 0) == 0 ? served : std::string();
    });
}

TEST_F(BoardPty, LinkNamesTheDeviceWhileTheBoardRuns) {
    const fs::path link = File("hc12board");
    {
        BoardProcess board({"--link", link.string(), "model=HC912D60x"});
        ASSERT_TRUE(fs::is_symlink(link));
        EXPECT_EQ(fs::read_symlink(link).string(), board.path());
        std::string err;
        EXPECT_EQ(Cli("--port '" + link.string() + "' --model HC912D60x --quartz 8 connect", &err),
                  0)
            << err;
        EXPECT_EQ(board.Stop(), 0);
    }
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
}

// What is not the board's to replace stays as it was.
TEST_F(BoardPty, RefusesToTakeOverPathsAndOversizedImages) {
    fs::create_directories(File("folder"));
    WriteFile(File("big.bin"), Bytes(1025, 0));
    WriteFile(File("taken"), Bytes{1, 2, 3});
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--dump", File("folder").string(), "model=HC912D60x"},
             {"--image", File("big.bin").string(), "model=HC912D60x"},
             {"--link", File("taken").string(), "model=HC912D60x"},
             {"--rfc2217", "127.0.0.1", "model=HC912D60x"},
             {"--rfc2217", "127.0.0.1:0", "--link", File("link").string(), "model=HC912D60x"},
             {"--idle-limit", "60", "model=HC912D60x"},
             {"--rfc2217", "127.0.0.1:0", "--idle-limit", "1m", "model=HC912D60x"},
             {"model=HC13"}}) {
        SCOPED_TRACE(args.front());
        BoardProcess board(args);
        EXPECT_EQ(board.path(), "");
        EXPECT_NE(board.Stop(), 0);
    }
    EXPECT_TRUE(fs::is_directory(File("folder")));
    EXPECT_FALSE(fs::exists(fs::symlink_status(File("link"))));
    EXPECT_EQ(ReadFile(File("taken")), (Bytes{1, 2, 3}));
}

}  // namespace
}  // namespace hc12::testing
