// The command line names a USB adapter whose latency timer stays high, once, when it
// opens the port; a timer of 1 or 2 ms, or none at all, is not worth a line.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "CliRunner.h"
#include "ModelTable.h"
#include "VirtualBoard.h"

namespace hc12::cli {
namespace {

namespace fs = std::filesystem;

// connect through /dev/ttyUSB7 (a virtual board behind it) with the given timer.
std::string ConnectWithTimer(const std::string& timer) {
    const fs::path root = fs::path(::testing::TempDir()) /
                           ("hc12_sysfs_tty_" + std::to_string(getpid()));
    fs::remove_all(root);
    if (!timer.empty()) {
        fs::create_directories(root / "ttyUSB7" / "device");
        std::ofstream(root / "ttyUSB7" / "device" / "latency_timer") << timer << "\n";
    }
    CliOptions options;
    options.command = Command::Connect;
    options.port = "/dev/ttyUSB7";
    options.modelIndex = FindModelIndex("HC912D60x");
    options.quartzIndex = 2;  // 8 MHz
    VirtualClock clock;
    sim::BoardOptions boardOptions;
    boardOptions.model = "HC912D60x";
    std::unique_ptr<sim::VirtualBoard> board;
    CliEnvironment environment;
    environment.clock = &clock;
    environment.sysfsTtyRoot = root.string();
    environment.openPort = [&](const std::string& value) -> std::unique_ptr<SerialPort> {
        if (value != "/dev/ttyUSB7")
            return nullptr;
        board = std::make_unique<sim::VirtualBoard>(clock, boardOptions);
        return board->OpenPort();
    };
    std::ostringstream out, err;
    std::istringstream in;
    EXPECT_EQ(RunCli(options, out, TerminalIo{&err, &in, false, false}, environment), 0)
        << err.str();
    fs::remove_all(root);
    return err.str();
}

TEST(SlowAdapter, OneLineWhenTheLatencyTimerIsAboveTwoMilliseconds) {
    const std::string err = ConnectWithTimer("16");
    const size_t at = err.find("hc12prog-cli: /dev/ttyUSB7: the adapter holds every reply 16 ms");
    ASSERT_NE(at, std::string::npos) << err;
    EXPECT_EQ(err.find("latency_timer", err.find('\n', at)), std::string::npos)
        << "said once: " << err;
    for (const char* timer : {"", "1", "2"}) {
        SCOPED_TRACE(timer);
        EXPECT_EQ(ConnectWithTimer(timer).find("latency"), std::string::npos);
    }
}

}  // namespace
}  // namespace hc12::cli
