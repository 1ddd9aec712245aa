// The address window through the real parts: hc12prog-board on its tty, the
// command-line program as a process, real image files, and the board's EEPROM dump.
// Every byte goes to and comes from its own address, whatever the window's start.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

#include "BoardCliTest.h"

namespace hc12::testing {
namespace {

constexpr uint32_t kEepromStart = 0x0C00;  // HC912D60x, 1 KiB

std::string Hex(uint32_t value, int digits) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*X", digits, value);
    return buf;
}

// One S1 record; the count and the checksum worked out here.
std::string SRecord(uint16_t address, const Bytes& data) {
    const uint32_t count = uint32_t(data.size()) + 3;
    uint32_t sum = count + (address >> 8) + (address & 0xFF);
    std::string line = "S1" + Hex(count, 2) + Hex(address, 4);
    for (uint8_t b : data) {
        line += Hex(b, 2);
        sum += b;
    }
    return line + Hex(~sum & 0xFF, 2) + "\n";
}

// One Intel HEX data record and the end record.
std::string IntelHex(uint16_t address, const Bytes& data) {
    uint32_t sum = uint32_t(data.size()) + (address >> 8) + (address & 0xFF);
    std::string line = ":" + Hex(uint32_t(data.size()), 2) + Hex(address, 4) + "00";
    for (uint8_t b : data) {
        line += Hex(b, 2);
        sum += b;
    }
    return line + Hex(-sum & 0xFF, 2) + "\n:00000001FF\n";
}

void WriteText(const fs::path& path, const std::string& text) {
    WriteFile(path, Bytes(text.begin(), text.end()));
}

class AddressWindow : public BoardCli {
  protected:
    static constexpr const char* kCommon = "--model HC912D60x --quartz 8 ";

    // The board on its tty with `preload` in its EEPROM.
    std::unique_ptr<BoardProcess> StartBoard(const Bytes& preload,
                                             const std::string& options = "model=HC912D60x") {
        WriteFile(File("preload.bin"), preload);
        fs::remove(File("dump.bin"));
        auto board = std::make_unique<BoardProcess>(std::vector<std::string>{
            "--image", File("preload.bin").string(), "--dump", File("dump.bin").string(), options});
        EXPECT_EQ(board->path().rfind("/dev/pts/", 0), 0u) << board->path();
        return board;
    }
    static std::string Port(const BoardProcess& board) { return "--port '" + board.path() + "' "; }
    // Stops the board; what its EEPROM held.
    Bytes Stop(BoardProcess& board) {
        EXPECT_EQ(board.Stop(), 0);
        return ReadFile(File("dump.bin"));
    }
};

TEST_F(AddressWindow, AWriteAtAnOddStartPutsEveryByteAtItsOwnAddress) {
    struct Case {
        const char* name;
        std::string file;     // written into the test's folder
        std::string content;  // the file's bytes
        uint32_t start;
        uint32_t count;
        const char* mode;
        Bytes bytes;  // what the file gives from `start` on
    };
    const std::string three = "\x11\x22\x33";
    const Bytes data{0x11, 0x22, 0x33};
    const Case cases[] = {
        {"raw, changed words", "raw3.bin", three, 0x0C01, 3, "", data},
        {"raw, full", "raw3.bin", three, 0x0C01, 3, "--full ", data},
        {"S-records", "fw.s19", SRecord(0x0C01, data), 0x0C01, 3, "", data},
        {"Intel HEX, full", "fw.hex", IntelHex(0x0C01, data), 0x0C01, 3, "--full ", data},
        {"odd end too", "raw4.bin", "\x11\x22\x33\x44", 0x0C01, 4, "", {0x11, 0x22, 0x33, 0x44}},
        {"last byte of the EEPROM", "one.bin", "\x5A", 0x0FFF, 1, "--full ", {0x5A}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes preload = Pattern(1024, 0x40);
        WriteText(File(c.file), c.content);
        const auto board = StartBoard(preload);
        const std::string window =
            "--start " + Hex(c.start, 4) + " --count " + std::to_string(c.count) + " ";
        std::string err;
        EXPECT_EQ(Cli(Port(*board) + kCommon + window + "write " + c.mode + "'" +
                          File(c.file).string() + "'",
                      &err),
                  0)
            << err;
        // The file's bytes check out where they were meant to go.
        EXPECT_EQ(
            Cli(Port(*board) + kCommon + window + "verify '" + File(c.file).string() + "'", &err),
            0)
            << err;
        Bytes expected = preload;
        std::copy(c.bytes.begin(), c.bytes.end(), expected.begin() + (c.start - kEepromStart));
        EXPECT_EQ(Stop(*board), expected);
    }
}

// An MC9S12's full write bulk-erases its whole EEPROM (2 KiB at 2000 here) before it
// programs the window; the window's bytes that the S-records do not give still keep
// what the target held, outside the window the erase stands.
TEST_F(AddressWindow, AnMcNineS12FullWriteKeepsTheTargetsBytesInTheGapsOfItsImage) {
    const Bytes preload = Pattern(2048, 0x40);
    const Bytes first{0x11, 0x22, 0x33, 0x44, 0x55};
    const Bytes second{0x66, 0x77, 0x88};
    WriteText(File("fw.s19"), SRecord(0x2003, first) + SRecord(0x2011, second));
    const auto board = StartBoard(preload, "model=MC9S12DT128,quartz=16");
    std::string err;
    EXPECT_EQ(Cli(Port(*board) + "--model MC9S12DT128 --quartz 16 --start 2000 --count 32 " +
                      "write --full '" + File("fw.s19").string() + "'",
                  &err),
              0)
        << err;
    Bytes expected(preload.size(), 0xFF);
    std::copy(preload.begin(), preload.begin() + 32, expected.begin());
    std::copy(first.begin(), first.end(), expected.begin() + 3);
    std::copy(second.begin(), second.end(), expected.begin() + 0x11);
    EXPECT_EQ(Stop(*board), expected);
}

// The verify compares each byte of the file with the byte read at its address, and
// a read saves the window it was asked for.
TEST_F(AddressWindow, VerifyAndReadAtAnOddStartUseTheBytesAtTheirAddresses) {
    const Bytes preload = Pattern(1024, 0x40);
    WriteFile(File("raw3.bin"), Bytes{0x11, 0x22, 0x33});
    const auto board = StartBoard(preload);
    const std::string window = "--start 0C01 --count 3 ";
    std::string err, out;
    EXPECT_EQ(Cli(Port(*board) + kCommon + window + "verify '" + File("raw3.bin").string() + "'",
                  &err, &out),
              1)
        << err;
    std::string differences;
    for (uint32_t i = 0; i < 3; ++i)
        differences += Hex(0x0C01 + i, 4) + ": expected " + Hex(0x11 * (i + 1), 2) + ", actual " +
                       Hex(preload[1 + i], 2) + "\n";
    EXPECT_EQ(out, differences);

    EXPECT_EQ(
        Cli(Port(*board) + kCommon + window + "read '" + File("back.bin").string() + "'", &err), 0)
        << err;
    EXPECT_EQ(ReadFile(File("back.bin")), Bytes(preload.begin() + 1, preload.begin() + 4));
    EXPECT_EQ(
        Cli(Port(*board) + kCommon + window + "read '" + File("back.s19").string() + "'", &err), 0)
        << err;
    const Bytes text = ReadFile(File("back.s19"));
    EXPECT_NE(std::string(text.begin(), text.end())
                  .find(SRecord(0x0C01, Bytes(preload.begin() + 1, preload.begin() + 4))),
              std::string::npos);
    EXPECT_EQ(Stop(*board), preload);
}

}  // namespace
}  // namespace hc12::testing
