// The command-line program against hc12prog-board through a real tty device, on the
// real clock: connect, a small write and a read on both families, and the board's
// EEPROM dump compared with the files.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "BoardProcess.h"

namespace hc12::testing {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

Bytes ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const fs::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

Bytes Pattern(size_t n, uint8_t seed) {
    Bytes v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = uint8_t(seed + i * 37 + (i >> 3));
    return v;
}

struct Family {
    std::string model, boardQuartz, quartz;
    size_t eepromSize;
    bool bulkErase;  // the MC9S12 full write erases the whole EEPROM first
};

class BoardPty : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::path(::testing::TempDir()) / ("hc12board_" + std::string(info->name()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path File(const std::string& name) const { return dir_ / name; }

    // Runs the command-line program; its exit status, its messages in `err`.
    int Cli(const std::string& args, std::string* err = nullptr) const {
        const fs::path errFile = dir_ / "stderr.txt";
        const std::string command =
            "'" HC12PROG_CLI "' " + args + " </dev/null >/dev/null 2>'" + errFile.string() + "'";
        const int raw = std::system(command.c_str());
        const Bytes text = ReadFile(errFile);
        if (err != nullptr)
            err->assign(text.begin(), text.end());
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }

    void Cycle(const Family& family);

    fs::path dir_;
};

// Connect, read what the board was loaded with, write 64 bytes, read them back, and
// compare the board's dump.
void BoardPty::Cycle(const Family& c) {
    // The board starts with an image, so the read shows bytes that were there
    // and the dump shows what the write left of them.
    const Bytes preload = Pattern(c.eepromSize, 0x11);
    WriteFile(File("preload.bin"), preload);
    const fs::path dump = File("dump.bin");
    BoardProcess board({"--image", File("preload.bin").string(), "--dump", dump.string(),
                        "model=" + c.model + ",quartz=" + c.boardQuartz});
    ASSERT_EQ(board.path().rfind("/dev/pts/", 0), 0u) << board.path();
    const std::string common =
        "--port " + board.path() + " --model " + c.model + " --quartz " + c.quartz + " ";

    std::string err;
    ASSERT_EQ(Cli(common + "connect", &err), 0) << err;
    EXPECT_NE(err.find("Połączony."), std::string::npos) << err;

    ASSERT_EQ(Cli(common + "--count 128 read '" + File("before.bin").string() + "'", &err), 0)
        << err;
    EXPECT_EQ(ReadFile(File("before.bin")), Bytes(preload.begin(), preload.begin() + 128));

    // The write changes the window's words only; --full then writes them all again,
    // after the bulk erase of an MC9S12.
    const Bytes image = Pattern(64, 0xA5);
    WriteFile(File("image.bin"), image);
    Bytes expected = preload;
    std::copy(image.begin(), image.end(), expected.begin());
    for (const char* mode : {"", "--full "}) {
        SCOPED_TRACE(mode);
        ASSERT_EQ(
            Cli(common + "--count 64 write " + mode + "'" + File("image.bin").string() + "'", &err),
            0)
            << err;
        if (*mode && c.bulkErase) {
            std::fill(expected.begin(), expected.end(), 0xFF);
            std::copy(image.begin(), image.end(), expected.begin());
        }
        ASSERT_EQ(Cli(common + "--count 128 read '" + File("back.bin").string() + "'", &err), 0)
            << err;
        EXPECT_EQ(ReadFile(File("back.bin")), Bytes(expected.begin(), expected.begin() + 128));
    }

    EXPECT_EQ(board.Stop(), 0);
    EXPECT_EQ(ReadFile(dump), expected);
}

TEST_F(BoardPty, HcTwelveThroughTheDevice) {
    Cycle({"HC912D60x", "8", "8", 1024, false});
}

TEST_F(BoardPty, McNineS12ThroughTheDeviceWithQuartzDetection) {
    Cycle({"MC9S12DT128", "16", "auto", 2048, true});
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
             {"model=HC13"}}) {
        SCOPED_TRACE(args.front());
        BoardProcess board(args);
        EXPECT_EQ(board.path(), "");
        EXPECT_NE(board.Stop(), 0);
    }
    EXPECT_TRUE(fs::is_directory(File("folder")));
    EXPECT_EQ(ReadFile(File("taken")), (Bytes{1, 2, 3}));
}

}  // namespace
}  // namespace hc12::testing
