// The command-line program against hc12prog-board started as a process: files in a
// folder of the test's own, the program's exit status and messages, and a whole
// cycle (connect, read, a small write, read back, the board's dump compared) through
// whatever port value leads to the board.
#pragma once

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "BoardProcess.h"

namespace hc12::testing {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

inline Bytes ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

inline void WriteFile(const fs::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

inline Bytes Pattern(size_t n, uint8_t seed) {
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

inline const Family kHc12{"HC912D60x", "8", "8", 1024, false};
inline const Family kMc9s12{"MC9S12DT128", "16", "auto", 2048, true};
// The 4 KiB EEPROMs.
inline const Family kHc12Big{"HC812A4", "8", "8", 4096, false};
inline const Family kMc9s12Big{"MC9S12DP512(1L00M)", "16", "16", 4096, true};

class BoardCli : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::path(::testing::TempDir()) /
               ("hc12board_" + std::to_string(getpid()) + "_" + info->test_suite_name() + "_" +
                info->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path File(const std::string& name) const { return dir_ / name; }

    // Runs the command-line program; its exit status, its messages in `err`, what
    // it printed on standard output in `out`.
    int Cli(const std::string& args, std::string* err = nullptr, std::string* out = nullptr) const {
        const fs::path errFile = dir_ / "stderr.txt";
        const fs::path outFile = dir_ / "stdout.txt";
        const std::string command = "'" HC12PROG_CLI "' " + args + " </dev/null >'" +
                                    outFile.string() + "' 2>'" + errFile.string() + "'";
        const int raw = std::system(command.c_str());
        const Bytes text = ReadFile(errFile);
        if (err != nullptr)
            err->assign(text.begin(), text.end());
        const Bytes printed = ReadFile(outFile);
        if (out != nullptr)
            out->assign(printed.begin(), printed.end());
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }

    // From what the board printed (its device or port value) to the port value the
    // program is given; "" when what stands in front of the board did not start.
    using Front = std::function<std::string(const std::string& served)>;

    // Connect, read what the board was loaded with, write 64 bytes, read them back,
    // and compare the board's dump; `alsoFull` writes them once more with --full.
    void Cycle(const Family& c, const std::vector<std::string>& boardArgs, const Front& front,
               bool alsoFull = false) {
        // The board starts with an image, so the read shows bytes that were there
        // and the dump shows what the write left of them.
        const Bytes preload = Pattern(c.eepromSize, 0x11);
        WriteFile(File("preload.bin"), preload);
        const fs::path dump = File("dump.bin");
        std::vector<std::string> args{"--image", File("preload.bin").string(), "--dump",
                                      dump.string()};
        args.insert(args.end(), boardArgs.begin(), boardArgs.end());
        args.push_back("model=" + c.model + ",quartz=" + c.boardQuartz);
        BoardProcess board(args);
        const std::string port = front(board.path());
        ASSERT_NE(port, "") << "board on \"" << board.path() << "\"";
        const std::string common =
            "--port '" + port + "' --model " + c.model + " --quartz " + c.quartz + " ";

        std::string err;
        ASSERT_EQ(Cli(common + "connect", &err), 0) << err;
        EXPECT_NE(err.find("Połączony."), std::string::npos) << err;

        ASSERT_EQ(Cli(common + "--count 128 read '" + File("before.bin").string() + "'", &err), 0)
            << err;
        EXPECT_EQ(ReadFile(File("before.bin")), Bytes(preload.begin(), preload.begin() + 128));

        // The write changes the window's words only; --full writes them all again,
        // after the bulk erase of an MC9S12.
        const Bytes image = Pattern(64, 0xA5);
        WriteFile(File("image.bin"), image);
        Bytes expected = preload;
        std::copy(image.begin(), image.end(), expected.begin());
        for (const std::string mode : {"", "--full "}) {
            if (!mode.empty() && !alsoFull)
                break;
            SCOPED_TRACE(mode);
            ASSERT_EQ(
                Cli(common + "--count 64 write " + mode + "'" + File("image.bin").string() + "'",
                    &err),
                0)
                << err;
            if (!mode.empty() && c.bulkErase) {
                std::fill(expected.begin(), expected.end(), 0xFF);
                std::copy(image.begin(), image.end(), expected.begin());
            }
            ASSERT_EQ(Cli(common + "--count 128 read '" + File("back.bin").string() + "'", &err),
                      0)
                << err;
            EXPECT_EQ(ReadFile(File("back.bin")), Bytes(expected.begin(), expected.begin() + 128));
        }

        EXPECT_EQ(board.Stop(), 0);
        EXPECT_EQ(ReadFile(dump), expected);
    }

    // The board's interface taking 1 ms a frame (on a pseudo-terminal it loses no byte
    // for it, but answers that much later): a 4 KiB image that differs from the
    // EEPROM in one word of every 32, written the default way (changed words only, at
    // the chip's pace), then read back whole and compared, and the board's dump too.
    void ChangedImageCycle(const Family& c, const std::vector<std::string>& boardArgs,
                           const Front& front) {
        const Bytes preload = Pattern(c.eepromSize, 0x11);
        WriteFile(File("preload.bin"), preload);
        Bytes image = preload;
        for (size_t i = 0; i < image.size(); i += 64)
            image[i] ^= 0x5A;
        WriteFile(File("image.bin"), image);
        const fs::path dump = File("dump.bin");
        std::vector<std::string> args{"--image", File("preload.bin").string(), "--dump",
                                      dump.string()};
        args.insert(args.end(), boardArgs.begin(), boardArgs.end());
        args.push_back("model=" + c.model + ",quartz=" + c.boardQuartz + ",exec=1000");
        BoardProcess board(args);
        const std::string port = front(board.path());
        ASSERT_NE(port, "") << "board on \"" << board.path() << "\"";
        const std::string common =
            "--port '" + port + "' --model '" + c.model + "' --quartz " + c.quartz + " ";

        std::string err;
        ASSERT_EQ(Cli(common + "write '" + File("image.bin").string() + "'", &err), 0) << err;
        // An MC9S12 rewrites the other word of each changed sector too.
        const size_t changedWords = c.eepromSize / 64 * (c.bulkErase ? 2 : 1);
        EXPECT_NE(err.find("Bez zmian: " + std::to_string(c.eepromSize / 2 - changedWords)),
                  std::string::npos)
            << err;
        ASSERT_EQ(Cli(common + "read '" + File("back.bin").string() + "'", &err), 0) << err;
        EXPECT_EQ(ReadFile(File("back.bin")), image);
        EXPECT_EQ(board.Stop(), 0);
        EXPECT_EQ(ReadFile(dump), image);
    }

    fs::path dir_;
};

}  // namespace hc12::testing
