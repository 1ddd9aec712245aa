// The program itself, run as a process the way a build script runs it: standard
// input not a terminal, both outputs captured, the exit status checked.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "Clock.h"
#include "SerialPortServer.h"
#include "TcpSocket.h"
#include "VirtualBoard.h"

namespace {

namespace fs = std::filesystem;

struct Outcome {
    int status = -1;
    std::string out, err;
};

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<uint8_t> Bytes(const fs::path& path) {
    const std::string text = Slurp(path);
    return std::vector<uint8_t>(text.begin(), text.end());
}

void WriteBytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

class CliProcess : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        // The process id keeps checkouts that test at the same time out of each other's way.
        dir_ = fs::path(::testing::TempDir()) /
               ("hc12cli_" + std::to_string(getpid()) + "_" + info->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path File(const std::string& name) const { return dir_ / name; }

    // `args` is given to the shell as it stands (quote what needs it). The port map
    // of the environment is cleared so that COM1 means the default device. `prefix`
    // goes before the program: variables to set ("NAME=VALUE ...") and/or a command
    // that bounds it in time or memory.
    Outcome Run(const std::string& args, const std::string& prefix = "") const {
        const fs::path out = dir_ / "stdout.txt", err = dir_ / "stderr.txt";
        const std::string command = "env -u HC12_PORT_COM1 -u HC12_PORT_COM2 " + prefix + " '" +
                                    HC12PROG_CLI "' " + args + " </dev/null >'" + out.string() +
                                    "' 2>'" + err.string() + "'";
        const int raw = std::system(command.c_str());
        Outcome o;
        o.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        o.out = Slurp(out);
        o.err = Slurp(err);
        return o;
    }

    // The program on a pseudo-terminal: script(1) runs it there and passes `typed` to
    // it. The exit status, and in `out` everything the terminal showed.
    Outcome OnTerminal(const std::string& args, const std::string& typed,
                       const std::string& prefix = "") const {
        const fs::path input = dir_ / "typed.txt", seen = dir_ / "terminal.txt";
        { std::ofstream(input) << typed; }
        const std::string command = "script -qec \"" + prefix + " '" HC12PROG_CLI "' " + args +
                                    "\" /dev/null <'" + input.string() + "' >'" + seen.string() +
                                    "' 2>&1";
        const int raw = std::system(command.c_str());
        Outcome o;
        o.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        o.out = Slurp(seen);
        return o;
    }
    static bool HaveScript() { return std::system("command -v script >/dev/null 2>&1") == 0; }

    fs::path dir_;
};

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST_F(CliProcess, BadArgumentsGiveOneLineAndTheUsage) {
    for (const char* args : {"", "flash", "--model HC13 connect", "--count 1x connect", "read",
                             "connect extra", "--yes --no connect"}) {
        SCOPED_TRACE(args);
        const Outcome o = Run(args);
        EXPECT_EQ(o.status, 2);
        EXPECT_EQ(o.out, "");
        ASSERT_TRUE(Has(o.err, "\nusage: hc12prog-cli ")) << o.err;
        EXPECT_EQ(o.err.rfind("hc12prog-cli: ", 0), 0u) << o.err;
    }
}

TEST_F(CliProcess, HelpGoesToStandardOutput) {
    const Outcome o = Run("--help");
    EXPECT_EQ(o.status, 0);
    EXPECT_TRUE(Has(o.out, "Exit status"));
    EXPECT_TRUE(Has(o.out, "--virtual-clock"));
    EXPECT_EQ(o.err, "");
}

TEST_F(CliProcess, FilesThatCannotBeReadOrWrittenAreStatusTwo) {
    // An image that is not there: refused before any port is opened.
    Outcome o =
        Run("--port /nonexistent/tty --model HC12B write '" + File("missing.bin").string() + "'");
    EXPECT_EQ(o.status, 2);
    EXPECT_TRUE(Has(o.err, "Błąd: Nie moge otworzyc pliku\n")) << o.err;
    EXPECT_FALSE(Has(o.err, "portu")) << o.err;

    o = Run("--port /nonexistent/tty --model HC12B verify '" + dir_.string() + "'");
    EXPECT_EQ(o.status, 2);
    EXPECT_TRUE(Has(o.err, "Błąd: Nie moge otworzyc pliku\n")) << o.err;
}

TEST_F(CliProcess, VirtualClockNeedsAVirtualPort) {
    const Outcome o = Run("--virtual-clock --port /dev/ttyS0 --model HC12B connect");
    EXPECT_EQ(o.status, 2);
    EXPECT_TRUE(Has(o.err, "--virtual-clock")) << o.err;
}

TEST_F(CliProcess, NoModelIsRefusedAsInTheWindow) {
    const Outcome o = Run("--port /nonexistent/tty connect");
    EXPECT_EQ(o.status, 2);
    EXPECT_EQ(o.err, "Ostrzeżenie: Wybierz model mikrokontrolera!\n");
}

// A server on 127.0.0.1 that ends every connection as soon as it is made, closed
// or reset; or, when told so, nothing listening on its port at all.
class ShortServer {
  public:
    enum class End { Refuse, Close, Reset };
    explicit ShortServer(End end) {
        std::string error;
        listener_ = hc12::TcpSocket::Listen("127.0.0.1", 0, &error);
        EXPECT_TRUE(listener_.Valid()) << error;
        port_ = listener_.LocalPort();
        if (end == End::Refuse) {
            listener_.Close();
            return;
        }
        thread_ = std::thread([this, end] {
            while (!stop_) {
                hc12::TcpSocket::WaitReadable({&listener_}, 20000);
                hc12::TcpSocket conn = listener_.Accept();
                if (!conn.Valid())
                    continue;
                // What the client asks first has come: the end meets its
                // negotiation. Read, so that the close is an orderly one (unread
                // bytes would reset it).
                hc12::TcpSocket::WaitReadable({&conn}, 2000000);
                uint8_t asked[256];
                conn.Receive(asked, sizeof asked);
                if (end == End::Reset)
                    conn.Abort();
                else
                    conn.Close();
            }
        });
    }
    ~ShortServer() {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
    }
    std::string Value() const { return "rfc2217://127.0.0.1:" + std::to_string(port_); }

  private:
    hc12::TcpSocket listener_;
    uint16_t port_ = 0;
    std::thread thread_;
    std::atomic<bool> stop_{false};
};

// The window's box, and on the line after it why the port did not open.
TEST_F(CliProcess, APortThatCannotBeOpenedIsNoConnectionAndSaysWhy) {
    struct Case {
        const char* name;
        std::optional<ShortServer::End> server;  // none: the device path
        const char* reason;
    };
    const Case cases[] = {
        {"missing device", std::nullopt, "/nonexistent/tty: No such file or directory"},
        {"refused", ShortServer::End::Refuse, ": Connection refused"},
        {"closed", ShortServer::End::Close, ": the server closed the connection"},
        {"reset", ShortServer::End::Reset, ": the connection failed: Connection reset by peer"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::optional<ShortServer> server;
        if (c.server)
            server.emplace(*c.server);
        const std::string value = server ? server->Value() : "/nonexistent/tty";
        const Outcome o = Run("--port " + value + " --model HC912D60x connect");
        EXPECT_EQ(o.status, 3);
        EXPECT_TRUE(Has(o.err,
                        "Błąd: Niewłaściwa nazwa portu lub port jest aktywny.\n"
                        "hc12prog-cli: " +
                            (server ? value : std::string()) + c.reason + "\n"))
            << o.err;
    }
}

// The board in these tests plays the model chosen; its EEPROM starts erased (FF).
constexpr const char* kHc12 = "--virtual-clock --model HC912D60x --quartz 8 ";

TEST_F(CliProcess, ConnectFailuresAreNoConnectionWithTheWindowsMessages) {
    struct Case {
        const char* port;
        const char* message;
    };
    const Case cases[] = {
        {"virtual:greeting=pawx", "Błąd: Nieudane połączenie z interfejsem\n"},
        {"virtual:no-target", "Błąd: Nieudane połączenie z procesorem\n"},
        {"virtual:fail-after=0", "Błąd: Nieudane połączenie z procesorem\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.port);
        const Outcome o = Run(std::string(kHc12) + "--port " + c.port + " connect");
        EXPECT_EQ(o.status, 3);
        EXPECT_TRUE(Has(o.err, c.message)) << o.err;
        EXPECT_FALSE(Has(o.err, "Połączony.")) << o.err;
    }
    const Outcome o = Run(std::string(kHc12) + "--port virtual:bogus=1 connect");
    EXPECT_EQ(o.status, 2);
    EXPECT_TRUE(Has(o.err, "bogus")) << o.err;
}

TEST_F(CliProcess, ConnectDetectsTheQuartzAndReportsTheMemoryMapOfAnS12) {
    // Also the window's way of naming a menu port's device.
    Outcome o = Run("--virtual-clock --port com3=virtual:quartz=4 --model HC12B connect");
    EXPECT_EQ(o.status, 0) << o.err;
    // Found on the third try: no warning.
    EXPECT_EQ(o.err, "hc12prog-cli: quartz 4MHz\nPołączony.\n");

    o = Run("--virtual-clock --port virtual --model MC9S12DT128 connect");
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.err.rfind("Parametry: RAM: ", 0), 0u) << o.err;
    EXPECT_TRUE(Has(o.err,
                    "EEPROM: 2 KB  Początek: 0x2000\nhc12prog-cli: quartz 8MHz\n"
                    "Połączony.\n"))
        << o.err;
}

// A detection that met a line error tries that clock again and reads the right map;
// one where no clock gave the right reply (here the presence byte reads wrong at the
// right clock) is no connection, and nothing is read at a clock nobody confirmed.
TEST_F(CliProcess, QuartzDetectionThatConfirmsNoClockIsNoConnection) {
    const fs::path image = File("u.bin");
    Outcome o = Run("--port virtual:line-error=3 --virtual-clock --model MC9S12DT128 read '" +
                    image.string() + "'");
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_TRUE(Has(o.err, "Przeczytano  2048  bajtów.")) << o.err;
    EXPECT_EQ(Bytes(image), std::vector<uint8_t>(2048, 0xFF));  // the board's erased EEPROM

    fs::remove(image);
    o = Run("--port virtual:unstable=0x000F:5 --virtual-clock --model MC9S12DT128 read '" +
            image.string() + "'");
    EXPECT_EQ(o.status, 3) << o.err;
    EXPECT_TRUE(Has(o.err, "Ostrzeżenie: Nie moge rozpoznać kwarcu! Wybierz go ręcznie\n"))
        << o.err;
    EXPECT_FALSE(Has(o.err, "Parametry")) << o.err;
    EXPECT_FALSE(fs::exists(image));
}

TEST_F(CliProcess, ReadSavesTheWindowOfEitherFamilyAndVerifyComparesIt) {
    struct Case {
        const char* model;
        const char* window;
        size_t size;
        const char* firstAddress;
    };
    const Case cases[] = {
        {"HC912D60x", "", 1024, "0C00"},               // the model's window
        {"\"MC9S12 Uniwersalna\"", "", 2048, "2000"},  // the window of the memory map
        {"HC812A4", "--start F100 --count 64 ", 64, "F100"},
        {"MC9S12DT128", "--start 2010 --count 16 ", 16, "2010"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.model);
        const std::string common =
            std::string("--virtual-clock --port virtual --model ") + c.model + " " + c.window;
        const fs::path image = File("image.bin");
        Outcome o = Run(common + "read '" + image.string() + "'");
        ASSERT_EQ(o.status, 0) << o.err;
        EXPECT_TRUE(Has(o.err, "Przeczytano  " + std::to_string(c.size) + "  bajtów.\n")) << o.err;
        ASSERT_EQ(Bytes(image), std::vector<uint8_t>(c.size, 0xFF));
        EXPECT_FALSE(Has(o.err, "Błąd")) << o.err;

        o = Run(common + "verify '" + image.string() + "'");
        EXPECT_EQ(o.status, 0) << o.err;
        EXPECT_EQ(o.out, "");
        EXPECT_TRUE(Has(o.err, "Różnice: Bufory są identyczne!\n")) << o.err;

        // Two bytes that the (erased) target does not hold.
        std::vector<uint8_t> changed = Bytes(image);
        changed[3] = 0x00;
        changed[10] = 0x5A;
        WriteBytes(image, changed);
        o = Run(common + "verify '" + image.string() + "'");
        EXPECT_EQ(o.status, 1) << o.err;
        const uint32_t first = uint32_t(std::stoul(c.firstAddress, nullptr, 16));
        char expected[128];
        std::snprintf(expected, sizeof expected,
                      "%04X: expected 00, actual FF\n%04X: expected 5A, actual FF\n", first + 3,
                      first + 10);
        EXPECT_EQ(o.out, expected);
        EXPECT_TRUE(Has(o.err, "Różnice: Razem:  2  różnice.\n")) << o.err;
    }
}

TEST_F(CliProcess, ALostLinkMidReadIsNoConnectionAndLeavesTheFileAlone) {
    const fs::path image = File("keep.bin");
    WriteBytes(image, {1, 2, 3});
    struct Case {
        const char* port;
        const char* lineMessage;
    };
    const Case cases[] = {
        {"virtual:fail-after=40", ""},
        {"virtual:line-error=40", "Błąd: Wykryto błędy w ramce\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.port);
        const Outcome o = Run(std::string(kHc12) + "--port " + c.port + " --count 64 read '" +
                              image.string() + "'");
        EXPECT_EQ(o.status, 3) << o.err;
        EXPECT_TRUE(Has(o.err, c.lineMessage)) << o.err;
        EXPECT_TRUE(Has(o.err, "Błąd: Utracono połącznie z interfejsem! \n")) << o.err;
        EXPECT_TRUE(Has(o.err, "Przeczytano  ")) << o.err;
        // A reading cut short is no instability.
        EXPECT_FALSE(Has(o.err, "unstable")) << o.err;
        EXPECT_EQ(Bytes(image), (std::vector<uint8_t>{1, 2, 3}));
        EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 3)
            << "no temporary file left behind";
    }
    // The same during a write: the words before it stay written, the status says why.
    const Outcome o = Run(std::string(kHc12) + "--port virtual:fail-after=40 --count 64 write '" +
                          image.string() + "' --no");
    EXPECT_EQ(o.status, 3) << o.err;
    EXPECT_TRUE(Has(o.err, "Błąd: Utracono połącznie z interfejsem! \n")) << o.err;
}

TEST_F(CliProcess, UnstableBytesAreNamedAfterTheRead) {
    const fs::path image = File("unstable.bin");
    const Outcome o =
        Run(std::string(kHc12) + "--port virtual:unstable=0x0C04:20 --count 16 read '" +
            image.string() + "'");
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_TRUE(Has(o.err, "hc12prog-cli: unstable byte at 0C04")) << o.err;
    EXPECT_FALSE(Has(o.err, "at 0C05")) << o.err;
    EXPECT_EQ(Bytes(image).size(), 16u);
}

TEST_F(CliProcess, WriteProgramsBothFamiliesAndKeepsTheTargetBeyondAShortFile) {
    std::vector<uint8_t> data(40);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = uint8_t(0x11 * i + 1);
    const fs::path image = File("data.bin");
    WriteBytes(image, data);
    for (const char* model : {"HC912Dx128x", "MC9S12DBx"}) {
        SCOPED_TRACE(model);
        const Outcome o = Run(std::string("--virtual-clock --port virtual --model ") + model +
                              " --count 64 write '" + image.string() + "'");
        EXPECT_EQ(o.status, 0) << o.err;
        EXPECT_TRUE(Has(o.err, "Wczytano 40  bajtów.\n")) << o.err;
        EXPECT_TRUE(Has(o.err, "Zapisano  64  bajtów.\n")) << o.err;
        EXPECT_FALSE(Has(o.err, "Błąd")) << o.err;
        EXPECT_FALSE(Has(o.err, "\n64\n")) << "the running offset is progress, not a result";
    }
}

// The virtual board starts erased: an image half of FF leaves half its words as they
// are, unless --full asks for every word.
TEST_F(CliProcess, WriteChangesOnlyWhatDiffersUnlessFull) {
    std::vector<uint8_t> data(16, 0xFF);
    for (size_t i = 0; i < 8; ++i)
        data[i] = uint8_t(i);
    const fs::path image = File("half.bin");
    WriteBytes(image, data);
    for (const char* model : {"HC912D60x", "MC9S12DT128"}) {
        SCOPED_TRACE(model);
        const std::string args =
            std::string("--virtual-clock --port virtual --model ") + model + " --count 16 write ";
        Outcome o = Run(args + "'" + image.string() + "'");
        EXPECT_EQ(o.status, 0) << o.err;
        EXPECT_TRUE(Has(o.err, "Zapisano  16  bajtów.\nBez zmian: 4\n")) << o.err;

        o = Run(args + "--full '" + image.string() + "'");
        EXPECT_EQ(o.status, 0) << o.err;
        EXPECT_TRUE(Has(o.err, "Zapisano  16  bajtów.\n")) << o.err;
        EXPECT_FALSE(Has(o.err, "Bez zmian")) << o.err;
    }
    const Outcome o = Run("--virtual-clock --port virtual --model HC12B read --full x.bin");
    EXPECT_EQ(o.status, 2);
    EXPECT_TRUE(Has(o.err, "--full works only with write")) << o.err;
}

TEST_F(CliProcess, FailingBytesAskToContinue) {
    std::vector<uint8_t> data(16, 0x00);
    const fs::path image = File("zeros.bin");
    WriteBytes(image, data);
    const std::string write = std::string(kHc12) +
                              "--port virtual:stuck=0x0C05 --count 16 write '" + image.string() +
                              "' ";
    const std::string question = "Błąd: Nie udało się zapisać 1komórek\nCzy kontynuować?\n";

    Outcome o = Run(write + "--no");
    EXPECT_EQ(o.status, 1) << o.err;
    EXPECT_TRUE(Has(o.err, question + "hc12prog-cli: answered No (--no)\n")) << o.err;
    // Stopped after the word of offset 4: its failed byte plus the 10 bytes after it.
    EXPECT_TRUE(Has(o.err, "Zapisano  4  bajtów.\nBez zmian: 0\nNieudanych zapisów:  11\n"))
        << o.err;
    EXPECT_TRUE(Has(o.err, "hc12prog-cli: byte at 0C05 not written\n")) << o.err;

    o = Run(write + "--yes");
    EXPECT_EQ(o.status, 1) << o.err;
    EXPECT_TRUE(Has(o.err, "Zapisano  16  bajtów.\n")) << o.err;
    EXPECT_TRUE(Has(o.err, "Bez zmian: 0\nNieudanych zapisów:  1\n")) << o.err;
    EXPECT_TRUE(Has(o.err, "Błąd: Nie udało się zapisać 1komórek\n")) << o.err;

    o = Run(write);  // nobody to ask
    EXPECT_EQ(o.status, 2) << o.err;
    EXPECT_TRUE(Has(o.err, question)) << o.err;
    EXPECT_TRUE(Has(o.err, "give --yes or --no")) << o.err;
}

TEST_F(CliProcess, RefusalsOfTheTargetAreFailures) {
    const fs::path image = File("small.bin");
    WriteBytes(image, std::vector<uint8_t>(16, 0x42));
    struct Case {
        const char* args;
        const char* message;
    };
    const Case cases[] = {
        {"--port virtual:eprot=0x85 --model MC9S12DT128 --count 16",
         "Błąd: Ostatnie 321bajty EEPROMu są chronione przed zapisem!\n"},
        {"--port virtual:estat=0xC4 --model MC9S12DT128 --count 16",
         "Błąd: 1: Błędy w rejestrze ESTAT!\n"},
        {"--port virtual --model HC812A4 --start FFF0 --count 32",
         "Błąd: Zakres zapisu wykracza poza adres FFFF!\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        const Outcome o =
            Run(std::string("--virtual-clock ") + c.args + " write '" + image.string() + "'");
        EXPECT_EQ(o.status, 1) << o.err;
        EXPECT_TRUE(Has(o.err, c.message)) << o.err;
    }
}

// A window past FFFF would wrap into the registers at 0000: every command refuses
// it, reads write no file, and a verify finds no differences where nothing was read.
TEST_F(CliProcess, AWindowPastFfffIsRefusedByEveryCommand) {
    const fs::path image = File("small.bin");
    WriteBytes(image, std::vector<uint8_t>(16, 0x42));
    struct Case {
        std::string command;
        const char* message;
        const char* output;  // a file that must not come to be
    };
    const Case cases[] = {
        {"read '" + File("x.s19").string() + "'",
         "Błąd: Zakres odczytu wykracza poza adres FFFF!\n", "x.s19"},
        {"read '" + File("x.bin").string() + "'",
         "Błąd: Zakres odczytu wykracza poza adres FFFF!\n", "x.bin"},
        {"verify '" + image.string() + "'", "Błąd: Zakres odczytu wykracza poza adres FFFF!\n",
         nullptr},
        {"write '" + image.string() + "'", "Błąd: Zakres zapisu wykracza poza adres FFFF!\n",
         nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        const Outcome o =
            Run(std::string(kHc12) + "--port virtual --start FFF0 --count 32 " + c.command);
        EXPECT_EQ(o.status, 1) << o.err;
        EXPECT_TRUE(Has(o.err, c.message)) << o.err;
        EXPECT_EQ(o.out, "") << "no differences of bytes never read";
        EXPECT_FALSE(Has(o.err, "Różnice")) << o.err;
        if (c.output != nullptr) {
            EXPECT_FALSE(fs::exists(File(c.output)));
        }
    }
}

TEST_F(CliProcess, AFileLargerThanTheWindowIsTakenOnlyWhenAccepted) {
    const fs::path image = File("large.bin");
    WriteBytes(image, std::vector<uint8_t>(32, 0x00));
    const std::string write =
        std::string(kHc12) + "--port virtual --count 16 write '" + image.string() + "' ";
    const std::string question =
        "Ostrzeżenie: Plik jest większy niż wczytywana pamięć! .\nCzy otworzyć mimo to?\n";

    Outcome o = Run(write + "--no");
    EXPECT_EQ(o.status, 2) << o.err;
    EXPECT_TRUE(Has(o.err, question)) << o.err;
    EXPECT_FALSE(Has(o.err, "Zapisano")) << o.err;

    o = Run(write + "--yes");
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_TRUE(Has(o.err, "Zapisano  32  bajtów.\n")) << o.err;
}

TEST_F(CliProcess, AnImageThatCannotBeSavedIsStatusTwo) {
    const Outcome o = Run(std::string(kHc12) + "--port virtual --count 16 read '" +
                          (dir_ / "no" / "such" / "dir.bin").string() + "'");
    EXPECT_EQ(o.status, 2) << o.err;
    EXPECT_TRUE(Has(o.err, "Błąd: Nie moge zapisac pliku\n")) << o.err;
}

TEST_F(CliProcess, TheRealClockRunsAShortWriteAndVerify) {
    // Real pauses: keep it to a few words.
    const fs::path image = File("real.bin");
    WriteBytes(image, {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0});
    const Outcome o =
        Run("--port virtual --model HC12B --quartz 8 --count 8 write '" + image.string() + "'");
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_TRUE(Has(o.err, "Zapisano  8  bajtów.\n")) << o.err;
}

TEST_F(CliProcess, OnATerminalTheBarIsDrawnAndTheQuestionAsked) {
    if (!HaveScript())
        GTEST_SKIP() << "script(1) is needed for a pseudo-terminal";
    const fs::path image = File("zeros.bin");
    WriteBytes(image, std::vector<uint8_t>(16, 0x00));
    const Outcome o =
        OnTerminal(std::string(kHc12) + "--port virtual:stuck=0x0C05 --count 16 write '" +
                       image.string() + "'",
                   "maybe\nn\n");  // asked again until the answer is clear
    const std::string& terminal = o.out;
    EXPECT_EQ(o.status, 1) << terminal;  // answered, not refused
    EXPECT_TRUE(Has(terminal, "\r[#")) << terminal;
    EXPECT_TRUE(Has(terminal, "Czy kontynuować?\r\n")) << terminal;
    const size_t prompt = terminal.find("[t]ak/[n]ie? ");
    ASSERT_NE(prompt, std::string::npos) << terminal;
    EXPECT_NE(terminal.find("[t]ak/[n]ie? ", prompt + 1), std::string::npos) << terminal;
    EXPECT_FALSE(Has(terminal, "give --yes or --no")) << terminal;
    EXPECT_TRUE(Has(terminal, "Nieudanych zapisów:  11")) << terminal;
}

// On a terminal a production run keeps one progress line per port below the
// messages, drawn again in place.
TEST_F(CliProcess, OnATerminalAGangKeepsALinePerPort) {
    if (std::system("command -v script >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "script(1) is needed for a pseudo-terminal";
    const fs::path image = File("image.bin"), seen = File("terminal.txt");
    WriteBytes(image, std::vector<uint8_t>(64, 0x5A));
    const std::string command =
        "script -qec \"'" HC12PROG_CLI
        "' --virtual-clock --quartz 8 --count 64 --yes "
        "--port virtual:model=HC912D60x --port virtual:model=MC9S12DT128 --model HC912D60x "
        "--model MC9S12DT128 write '" +
        image.string() + "'\" /dev/null </dev/null >'" + seen.string() + "' 2>&1";
    const int raw = std::system(command.c_str());
    const std::string terminal = Slurp(seen);
    EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, 0) << terminal;
    // Back up over the two lines and clear them, then the message, then the lines.
    EXPECT_TRUE(Has(terminal, "\033[2A\r\033[J[virtual:model=MC9S12DT128] ")) << terminal;
    EXPECT_TRUE(Has(terminal, "\r\n  virtual:model=HC912D60x    ")) << terminal;
    EXPECT_TRUE(Has(terminal, "\r\n  virtual:model=MC9S12DT128  ")) << terminal;
    // The table comes after the last lines are cleared.
    const size_t table = terminal.rfind("\033[J");
    ASSERT_NE(table, std::string::npos);
    EXPECT_EQ(terminal.find("port  ", table), table + 3) << terminal.substr(table);
}

// Ctrl+C in the middle of a plain write: it stops between two words, says what it
// wrote, and does not report success.
TEST_F(CliProcess, CtrlCStopsAWriteBetweenTwoWords) {
    const fs::path image = File("image.bin");
    WriteBytes(image, std::vector<uint8_t>(768, 0x00));
    // The real clock: 384 words take several seconds even at the chip's pace. SIGINT
    // comes half a second after the image is loaded, so a slow start on a busy machine
    // cannot let it land before the program listens for it.
    const fs::path err = dir_ / "stderr.txt";
    const std::string command =
        "'" HC12PROG_CLI "' --port virtual --model HC12B --quartz 8 --count 768 write '" +
        image.string() + "' </dev/null >/dev/null 2>'" + err.string() +
        "' & pid=$!; i=0; until grep -q Wczytano '" + err.string() +
        "' || [ $i -ge 600 ]; do sleep 0.05; i=$((i+1)); done; sleep 0.5; kill -INT $pid; "
        "wait $pid";
    const int raw = std::system(command.c_str());
    Outcome o;
    o.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    o.err = Slurp(err);
    EXPECT_EQ(o.status, 1) << o.err;
    EXPECT_TRUE(Has(o.err, "hc12prog-cli: asked to stop (Ctrl+C): stopping between two words\n"))
        << o.err;
    const size_t written = o.err.find("Zapisano  ");
    ASSERT_NE(written, std::string::npos) << o.err;
    EXPECT_LT(std::stoi(o.err.substr(written + 10)), 768) << o.err;
    EXPECT_FALSE(Has(o.err, "Błąd")) << o.err;
}

TEST_F(CliProcess, APortBehindAnRfc2217ServerReadsAndWrites) {
    // The board on the real clock behind our server on 127.0.0.1.
    hc12::SteadyClock clock;
    hc12::sim::BoardOptions options;
    options.model = "HC912D60x";
    options.quartzMhz = 8;
    options.timedLine = false;  // the real clock behind a network: see BoardOptions
    hc12::sim::VirtualBoard board(clock, options);
    auto boardPort = board.OpenPort();
    hc12::sim::SerialPortServer server(*boardPort);
    std::string error;
    ASSERT_TRUE(server.Start(0, &error)) << error;
    const std::string value = "rfc2217://127.0.0.1:" + std::to_string(server.Port());
    const std::string common = "--model HC912D60x --quartz 8 --count 16 ";

    const fs::path image = File("image.bin");
    Outcome o = Run(common + "--port " + value + " read '" + image.string() + "'");
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(Bytes(image), std::vector<uint8_t>(16, 0xFF));

    // A menu port mapped in the environment, as the window takes it too.
    const std::vector<uint8_t> written{0x00, 0xFF, 0x0D, 0x0A, 0xFF, 0xFF};
    WriteBytes(image, written);
    o = Run(common + "--port COM3 write '" + image.string() + "'", "HC12_PORT_COM3=" + value);
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_TRUE(Has(o.err, "Zapisano  16  bajtów.")) << o.err;

    server.Stop();
    for (size_t i = 0; i < written.size(); ++i)
        EXPECT_EQ(board.Peek(uint16_t(0x0C00 + i)), written[i]) << i;

    // A value that is not of the form: refused before anything is contacted.
    o = Run(common + "--port rfc2217://127.0.0.1 connect");
    EXPECT_EQ(o.status, 2);
    EXPECT_TRUE(Has(o.err, "rfc2217://HOST:PORT")) << o.err;
    // A server that is not there: no connection, with the window's message.
    o = Run(common + "--port " + value + " connect");
    EXPECT_EQ(o.status, 3);
    EXPECT_TRUE(Has(o.err, "Błąd: Niewłaściwa nazwa portu lub port jest aktywny.\n")) << o.err;
}

// A minute and 400 MB at most. AddressSanitizer reserves terabytes of address
// space, so its builds go without the memory bound.
#if defined(__SANITIZE_ADDRESS__)
#define HC12_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define HC12_ASAN 1
#endif
#endif
#ifdef HC12_ASAN
constexpr const char* kBoundedRun = "timeout 60 ";
#else
constexpr const char* kBoundedRun = "timeout 60 sh -c 'ulimit -v 400000; exec \"$0\" \"$@\"' ";
#endif

// A text image near the size limit that gives the same few bytes over and over is
// read in the memory of those bytes, not of its text.
TEST_F(CliProcess, ALargeTextImageIsReadInTheMemoryOfItsBytes) {
    const fs::path image = File("repeated.s19");
    {
        const std::string record = "S1130C00000102030405060708090A0B0C0D0E0F68\n";
        std::ofstream out(image, std::ios::binary);
        for (size_t size = 0; size + record.size() < (64u << 20); size += record.size())
            out << record;
    }
#ifdef HC12_ASAN
    const std::string bounded = "timeout 60 ";
#else
    const std::string bounded = "timeout 60 sh -c 'ulimit -v 100000; exec \"$0\" \"$@\"' ";
#endif
    const Outcome o =
        Run(std::string(kHc12) + "--port virtual write '" + image.string() + "'", bounded);
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_TRUE(Has(o.err, "Wczytano 16  bajtów.")) << o.err;
}

// What the program does with files that are no images: it refuses them before the
// target is touched, quickly, and replaces nothing that is not a regular file.
TEST_F(CliProcess, InputsThatAreNoRegularFilesAreRefusedWithoutHanging) {
    const fs::path fifo = File("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const fs::path sparse = File("sparse.bin");
    WriteBytes(sparse, {});
    fs::resize_file(sparse, 3ull << 30);
    for (const std::string& input :
         {fifo.string(), std::string("/dev/zero"), dir_.string(), sparse.string()}) {
        SCOPED_TRACE(input);
        // Bounded in time and memory: a hang or a read of gigabytes fails here.
        const Outcome o =
            Run("--port /nonexistent/tty --model HC12B write '" + input + "'", kBoundedRun);
        EXPECT_EQ(o.status, 2) << o.err;
        EXPECT_TRUE(Has(o.err, "Błąd: Nie moge otworzyc pliku\n")) << o.err;
        EXPECT_TRUE(Has(o.err, "hc12prog-cli: " + input + ": ")) << o.err;
        EXPECT_FALSE(Has(o.err, "portu")) << "refused before the port is opened";
    }
}

TEST_F(CliProcess, ReadReplacesOnlyRegularFilesAndWritesThroughLinks) {
    const fs::path fifo = File("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    fs::create_symlink("fifo", File("to-fifo"));
    fs::create_directory(File("folder"));
    std::vector<fs::path> outputs = {fifo, File("to-fifo"), File("folder")};
    // A device of our own (as root): a faulty program must not replace /dev/null.
    if (mknod(File("null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0)
        outputs.push_back(File("null"));
    for (const fs::path& output : outputs) {
        SCOPED_TRACE(output.string());
        const Outcome o =
            Run(std::string(kHc12) + "--port virtual --count 16 read '" + output.string() + "'");
        EXPECT_EQ(o.status, 2) << o.err;
        EXPECT_TRUE(Has(o.err, "Błąd: Nie moge zapisac pliku\n")) << o.err;
        EXPECT_FALSE(Has(o.err, "Połączony.")) << "refused before the target is touched";
    }
    EXPECT_TRUE(fs::is_fifo(fifo));
    if (fs::exists(File("null"))) {
        EXPECT_TRUE(fs::is_character_file(File("null")));
    }
    EXPECT_TRUE(fs::is_symlink(File("to-fifo")));

    // A link: the file it leads to takes the image and keeps its mode.
    fs::create_directory(File("images"));
    const fs::path real = File("images/real.bin");
    WriteBytes(real, {1, 2, 3});
    ASSERT_EQ(chmod(real.c_str(), 0600), 0);
    fs::create_symlink("images/real.bin", File("link.bin"));
    const Outcome o = Run(std::string(kHc12) + "--port virtual --count 16 read '" +
                          File("link.bin").string() + "'");
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_TRUE(fs::is_symlink(File("link.bin")));
    EXPECT_EQ(Bytes(real), std::vector<uint8_t>(16, 0xFF));
    struct stat st {};
    ASSERT_EQ(stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(std::distance(fs::directory_iterator(File("images")), fs::directory_iterator()), 1);
}

TEST_F(CliProcess, EmptyImagesAndEmptyWindowsAreRefused) {
    const fs::path empty = File("empty.bin");
    WriteBytes(empty, {});
    // Text images without a record, blank lines at most.
    const fs::path emptyHex = File("empty.hex");
    WriteBytes(emptyHex, {});
    const fs::path blankSrec = File("blank.s19");
    WriteBytes(blankSrec, {'\r', '\n', '\n'});
    const fs::path image = File("image.bin");
    WriteBytes(image, {1, 2, 3, 4});
    struct Case {
        std::string args;
        const char* message;
    };
    const Case cases[] = {
        {"write '" + empty.string() + "'", ": the image is empty, nothing to write\n"},
        {"verify '" + empty.string() + "'", ": the image is empty, nothing to verify\n"},
        {"write '" + emptyHex.string() + "'", ": the image is empty, nothing to write\n"},
        {"verify '" + blankSrec.string() + "'", ": the image is empty, nothing to verify\n"},
        {"--count 0 read '" + File("out.bin").string() + "'",
         "--count 0: the address window is empty, nothing to read\n"},
        {"--count 0 --yes write '" + image.string() + "'",
         "--count 0: the address window is empty, nothing to write\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        const Outcome o = Run(std::string(kHc12) + "--port virtual " + c.args);
        EXPECT_EQ(o.status, 2) << o.err;
        EXPECT_TRUE(Has(o.err, c.message)) << o.err;
        EXPECT_FALSE(Has(o.err, "Zapisano")) << o.err;
        EXPECT_FALSE(Has(o.err, "identyczne")) << o.err;
    }
    EXPECT_FALSE(fs::exists(File("out.bin")));
}

TEST_F(CliProcess, AnOutputNameAtTheLengthLimitIsWritten) {
    const long nameMax = pathconf(dir_.c_str(), _PC_NAME_MAX);
    const fs::path output =
        File(std::string(nameMax > 0 && nameMax < 255 ? nameMax - 1 : 254, 'n'));
    const Outcome o =
        Run(std::string(kHc12) + "--port virtual --count 16 read '" + output.string() + "'");
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(Bytes(output), std::vector<uint8_t>(16, 0xFF));
}

TEST_F(CliProcess, ReadSavesTheFormatOfTheExtensionOrOfFormat) {
    struct Case {
        const char* name;
        const char* option;
        const char* srecCatFormat;  // nullptr: raw
    };
    const Case cases[] = {
        {"image.s19", "", "-Motorola"},
        {"IMAGE.HEX", "", "-Intel"},
        {"image.bin", "--format srec ", "-Motorola"},
        {"image.mot", "--format raw ", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path image = File(c.name);
        const Outcome o = Run(std::string(kHc12) + "--port virtual --count 32 " + c.option +
                              "read '" + image.string() + "'");
        ASSERT_EQ(o.status, 0) << o.err;
        if (!c.srecCatFormat) {
            EXPECT_EQ(Bytes(image), std::vector<uint8_t>(32, 0xFF));
            continue;
        }
        // srec_cat takes the file back (checksums and all) to the bytes read.
        const fs::path back = File("back.bin");
        ASSERT_EQ(std::system(("srec_cat '" + image.string() + "' " + c.srecCatFormat +
                               " -offset -0x0C00 -o '" + back.string() + "' -binary")
                                  .c_str()),
                  0);
        EXPECT_EQ(Bytes(back), std::vector<uint8_t>(32, 0xFF));
    }
}

TEST_F(CliProcess, AddressedImagesGoWhereTheirAddressesSayAndVerifyOnlyTheirBytes) {
    // 16 bytes at 0C10 and one at 0C31, made by srec_cat, in both formats.
    std::vector<uint8_t> sixteen(16);
    for (uint8_t i = 0; i < 16; ++i)
        sixteen[i] = i;
    WriteBytes(File("a.bin"), sixteen);
    WriteBytes(File("b.bin"), {0x5A});
    for (const char* name : {"image.s19", "image.hex"}) {
        SCOPED_TRACE(name);
        const fs::path image = File(name);
        ASSERT_EQ(
            std::system(("srec_cat '" + File("a.bin").string() + "' -binary -offset 0x0C10 '" +
                         File("b.bin").string() + "' -binary -offset 0x0C31 -o '" + image.string() +
                         "' " + (name[6] == 's' ? "-Motorola" : "-Intel"))
                            .c_str()),
            0);
        const std::string common = std::string(kHc12) + "--port virtual ";
        Outcome o = Run(common + "write '" + image.string() + "'");
        EXPECT_EQ(o.status, 0) << o.err;
        EXPECT_TRUE(Has(o.err, "Wczytano 17  bajtów.\n")) << o.err;
        EXPECT_TRUE(Has(o.err, "Zapisano  1024  bajtów.\n")) << o.err;

        // A fresh (erased) board: the file's 17 bytes differ, nothing else is compared.
        o = Run(common + "verify '" + image.string() + "'");
        EXPECT_EQ(o.status, 1) << o.err;
        std::string expected;
        for (int i = 0; i < 16; ++i) {
            char line[64];
            std::snprintf(line, sizeof line, "%04X: expected %02X, actual FF\n", 0x0C10 + i, i);
            expected += line;
        }
        EXPECT_EQ(o.out, expected + "0C31: expected 5A, actual FF\n");

        // Outside the window: refused, unless --start/--count make it fit.
        o = Run(common + "--count 16 write '" + image.string() + "'");
        EXPECT_EQ(o.status, 2) << o.err;
        EXPECT_TRUE(Has(o.err, "addresses 0C10..0C31 lie outside the address window 0C00..0C0F"))
            << o.err;
        EXPECT_FALSE(Has(o.err, "Zapisano")) << o.err;
        o = Run(common + "--start 0C10 --count 34 write '" + image.string() + "'");
        EXPECT_EQ(o.status, 0) << o.err;
        EXPECT_TRUE(Has(o.err, "Zapisano  34  bajtów.\n")) << o.err;
    }

    // A damaged record is named before the port is opened.
    const fs::path bad = File("bad.s19");
    { std::ofstream(bad, std::ios::binary) << "S00600004844521B\nS1050C100001EE\nS9030000FC\n"; }
    const Outcome o = Run("--port /nonexistent/tty --model HC12B write '" + bad.string() + "'");
    EXPECT_EQ(o.status, 2) << o.err;
    EXPECT_TRUE(Has(o.err, "Błąd: Niepoprawny plik, linia 2: zła suma kontrolna\n")) << o.err;
    EXPECT_FALSE(Has(o.err, "portu")) << o.err;
    EXPECT_EQ(Run("--format elf --model HC12B write x").status, 2);
}

// --- in English ---

// The language comes from the environment alone: every variable that could choose
// one is cleared first, then the case's are set.
constexpr const char* kNoLanguage = "-u HC12_LANG -u LANGUAGE -u LC_ALL -u LC_MESSAGES -u LANG ";

bool Ascii(const std::string& text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Each command and each way it fails, in English: the messages whole, the plurals
// English, no Polish word left, and the exit status the same as in Polish.
TEST_F(CliProcess, InEnglishEveryCommandAndEveryFailure) {
    const fs::path image = File("image.bin"), out = File("out.bin"), one = File("one.bin");
    WriteBytes(one, {0x42});
    std::vector<uint8_t> half(16, 0xFF);
    for (size_t i = 0; i < 8; ++i)
        half[i] = uint8_t(i);
    const fs::path halfImage = File("half.bin");
    WriteBytes(halfImage, half);
    const fs::path zeros = File("zeros.bin");
    WriteBytes(zeros, std::vector<uint8_t>(16, 0x00));
    const fs::path large = File("large.bin");
    WriteBytes(large, std::vector<uint8_t>(32, 0x00));
    const fs::path bad = File("bad.s19");
    { std::ofstream(bad, std::ios::binary) << "S00600004844521B\nS1050C100001EE\nS9030000FC\n"; }
    std::vector<uint8_t> differing(16, 0xFF);
    differing[3] = 0x00;
    differing[10] = 0x5A;
    const fs::path differs = File("differs.bin");
    WriteBytes(differs, differing);
    auto q = [](const fs::path& path) { return " '" + path.string() + "'"; };

    struct Case {
        std::string args;
        int status;
        std::string messages;  // standard error holds this, as it stands
    };
    const std::string hc12 = std::string(kHc12) + "--port virtual --count 16 ";
    const Case cases[] = {
        // The commands.
        {"--virtual-clock --port virtual --model MC9S12DT128 connect", 0,
         "Parameters: RAM: 8 KB  Start: 0x4000 EEPROM: 2 KB  Start: 0x2000\n"
         "hc12prog-cli: quartz 8MHz\nConnected.\n"},
        {hc12 + "read" + q(out), 0, "Read 16 bytes.\n"},
        {hc12 + "write" + q(halfImage), 0, "Loaded 16 bytes.\nWrote 16 bytes.\nUnchanged: 4\n"},
        {hc12 + "--full write" + q(one), 0, "Loaded 1 byte.\nWrote 16 bytes.\n"},
        {hc12 + "verify" + q(halfImage), 1, "Read 16 bytes.\nDifferences: Total: 8 differences.\n"},
        {hc12 + "verify" + q(differs), 1, "Differences: Total: 2 differences.\n"},
        {hc12 + "verify" + q(out), 0, "Differences: The buffers are identical!\n"},
        // Bad arguments, files, questions: status 2.
        {"--port /nonexistent/tty connect", 2, "Warning: Choose the microcontroller model!\n"},
        {"--port /nonexistent/tty --model HC12B write" + q(File("missing.bin")), 2,
         "Error: Cannot open the file\n"},
        {hc12 + "read" + q(dir_ / "no" / "dir.bin"), 2, "Error: Cannot save the file\n"},
        {"--port /nonexistent/tty --model HC12B write" + q(bad), 2,
         "Error: Invalid file, line 2: bad checksum\n"},
        {hc12 + "--no write" + q(large), 2,
         "Warning: The file is larger than the memory it is loaded into!\nOpen it anyway?\n"
         "hc12prog-cli: answered No (--no)\n"},
        {std::string(kHc12) + "--port virtual:stuck=0x0C05 --count 16 write" + q(zeros), 2,
         "Error: Could not write 1 cell\nContinue?\nhc12prog-cli: this question needs an answer"},
        // The target refuses, or bytes fail: status 1.
        {std::string(kHc12) + "--port virtual:stuck=0x0C05 --count 16 --no write" + q(zeros), 1,
         "Error: Could not write 1 cell\nContinue?\nhc12prog-cli: answered No (--no)\n"
         "Wrote 4 bytes.\nUnchanged: 0\nFailed writes: 11\nError: Could not write 11 cells\n"},
        {std::string(kHc12) +
             "--port virtual:stuck=0x0C05 --count 16 --yes --full "
             "write" +
             q(zeros),
         1, "Wrote 16 bytes.\nFailed writes: 1\nError: Could not write 1 cell\n"},
        {"--virtual-clock --port virtual:eprot=0x85 --model MC9S12DT128 --count 16 write" +
             q(zeros),
         1, "Error: The last 321 bytes of the EEPROM are protected against writing!\n"},
        {"--virtual-clock --port virtual:eprot=0x80 --model MC9S12DT128 --count 16 write" +
             q(zeros),
         1, "Error: The last 1 byte of the EEPROM is protected against writing!\n"},
        {"--virtual-clock --port virtual:estat=0xC4 --model MC9S12DT128 --count 16 write" +
             q(zeros),
         1, "Error: 1: Errors in the ESTAT register!\n"},
        {"--virtual-clock --port virtual --model HC812A4 --start FFF0 --count 32 write" + q(zeros),
         1, "Error: The write range goes past address FFFF!\n"},
        // No connection: status 3.
        {"--model HC912D60x --port /nonexistent/tty connect", 3,
         "Error: Wrong port name, or the port is in use.\n"},
        {std::string(kHc12) + "--port virtual:greeting=pawx connect", 3,
         "Error: Could not connect to the interface\n"},
        {std::string(kHc12) + "--port virtual:no-target connect", 3,
         "Error: Could not connect to the processor\n"},
        {"--virtual-clock --port virtual:unstable=0x000F:5 --model MC9S12DT128 connect", 3,
         "Warning: Cannot detect the quartz! Choose it by hand\n"},
        {std::string(kHc12) + "--port virtual:fail-after=40 --count 64 read" + q(out), 3,
         "Error: Lost the connection with the interface!\n"},
        {std::string(kHc12) + "--port virtual:line-error=40 --count 64 read" + q(out), 3,
         "Error: Framing errors detected\n"},
        {std::string(kHc12) + "--port virtual:fail-after=40 --count 64 --no write" + q(zeros), 3,
         "Error: Lost the connection with the interface!\n"},
    };
    for (const char* language : {"HC12_LANG=en", "LANG=en_US.UTF-8"}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(language) + " " + c.args);
            const Outcome o = Run(c.args, std::string(kNoLanguage) + language);
            EXPECT_EQ(o.status, c.status) << o.err;
            EXPECT_TRUE(Has(o.err, c.messages)) << o.err;
            EXPECT_TRUE(Ascii(o.err)) << o.err;
        }
    }
}

// The language the environment asks for, as gettext reads it, though none of these
// locales exists on the machine; HC12_LANG over it, --lang over both.
TEST_F(CliProcess, TheLanguageFollowsTheEnvironmentAndItsOverrides) {
    const std::string polish = "Ostrzeżenie: Wybierz model mikrokontrolera!\n";
    const std::string english = "Warning: Choose the microcontroller model!\n";
    struct Case {
        const char* environment;
        const char* option;
        const std::string& message;
    };
    const Case cases[] = {
        {"", "", polish},
        {"LANG=en_US.UTF-8", "", english},
        {"LANG=pl_PL.UTF-8", "", polish},
        {"LANG=de_DE.UTF-8", "", english},
        {"LANG=C.UTF-8 LANGUAGE=en", "", polish},
        {"LANG=POSIX", "", polish},
        {"LANG=pl_PL.UTF-8 LANGUAGE=en", "", english},
        {"LANG=en_US.UTF-8 LANGUAGE=fr:pl", "", polish},
        {"LC_ALL=en_GB.UTF-8 LANG=pl_PL.UTF-8", "", english},
        {"LC_MESSAGES=pl_PL.UTF-8 LANG=en_US.UTF-8", "", polish},
        {"HC12_LANG=en LANG=pl_PL.UTF-8", "", english},
        {"HC12_LANG=pl LANG=en_US.UTF-8", "", polish},
        {"HC12_LANG=en", "--lang pl ", polish},
        {"LANG=pl_PL.UTF-8", "--lang=en ", english},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.environment) + " " + c.option);
        const Outcome o = Run(std::string(c.option) + "--port /nonexistent/tty connect",
                              std::string(kNoLanguage) + c.environment);
        EXPECT_EQ(o.status, 2);
        EXPECT_EQ(o.err, c.message);
    }
    // A language without a catalog: refused on the command line, left aside from
    // HC12_LANG with a note.
    Outcome o = Run("--lang xx --port /nonexistent/tty connect", kNoLanguage);
    EXPECT_EQ(o.status, 2);
    EXPECT_TRUE(Has(o.err, "hc12prog-cli: --lang xx: no catalog for this language")) << o.err;
    EXPECT_TRUE(Has(o.err, "\nusage: ")) << o.err;
    o = Run("--port /nonexistent/tty connect",
            std::string(kNoLanguage) + "HC12_LANG=xx LANG=en_US");
    EXPECT_EQ(o.status, 2);
    EXPECT_EQ(o.err,
              "hc12prog-cli: HC12_LANG=xx: no catalog for this language, left aside (there "
              "are: en, pl)\n" +
                  english);
}

// On a terminal an English question takes y or n; t (Polish "tak") is no answer there.
TEST_F(CliProcess, OnATerminalAnEnglishQuestionTakesYOrN) {
    if (!HaveScript())
        GTEST_SKIP() << "script(1) is needed for a pseudo-terminal";
    const fs::path image = File("zeros.bin");
    WriteBytes(image, std::vector<uint8_t>(16, 0x00));
    // "t", then every question answered Yes (the write asks at each word while the
    // count of failed bytes stays at a tenth of the window).
    std::string typed = "t\n";
    for (int i = 0; i < 16; ++i)
        typed += "y\n";
    const Outcome o =
        OnTerminal(std::string(kHc12) + "--port virtual:stuck=0x0C05 --count 16 --full write '" +
                       image.string() + "'",
                   typed, "HC12_LANG=en");
    const std::string& terminal = o.out;
    EXPECT_EQ(o.status, 1) << terminal;
    EXPECT_TRUE(Has(terminal, "Continue?\r\n")) << terminal;
    const size_t prompt = terminal.find("[y]es/[n]o? ");
    ASSERT_NE(prompt, std::string::npos) << terminal;
    EXPECT_EQ(terminal.find("[y]es/[n]o? ", prompt + 1), prompt + 12)
        << "asked again at once after \"t\": " << terminal;
    // Answered Yes: the write went on to the end.
    EXPECT_TRUE(Has(terminal, "Wrote 16 bytes.")) << terminal;
    EXPECT_TRUE(Has(terminal, "Failed writes: 1")) << terminal;
}

}  // namespace
