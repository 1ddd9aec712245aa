// The programmer reaching the virtual board through our RFC 2217 server on
// 127.0.0.1, by the port value a user would give, everything on the real clock:
// the reset pulse travels as RTS commands, the flush as purges, the frames and
// replies as Telnet data, a line error as a line-state notice.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Clock.h"
#include "FakeTargetView.h"
#include "HexText.h"
#include "ModelTable.h"
#include "PortFactory.h"
#include "Programmer.h"
#include "SerialLink.h"
#include "SerialPortServer.h"
#include "VirtualBoard.h"

namespace hc12 {
namespace {

const ModelRecord& Model(const std::string& name) {
    if (const ModelRecord* m = FindModelRecord(name))
        return *m;
    throw std::runtime_error("no model " + name);
}

struct RemoteRig {
    explicit RemoteRig(sim::BoardOptions options)
        : board(boardClock, std::move(options)),
          boardPort(board.OpenPort()),
          server(*boardPort),
          link(clock, view,
               [this](const std::string& name) -> std::unique_ptr<SerialPort> {
                   if (name != "COM1")
                       return nullptr;
                   return OpenPortValue("rfc2217://127.0.0.1:" + std::to_string(server.Port()),
                                        clock);
               }),
          programmer(link, view) {
        view.link = &link;
        std::string error;
        started = server.Start(0, &error);
        EXPECT_TRUE(started) << error;
    }

    // Chooses the model and its quartz, connects, and narrows the address window
    // to `count` bytes from the EEPROM's start. The boxes of a connect that
    // succeeded (an MC9S12's memory map) are put aside.
    bool Connect(const std::string& model, uint32_t count) {
        view.quartzText = std::to_string(board.Options().quartzMhz) + "MHz";
        programmer.OnQuartzSelected(view.quartzText);
        programmer.SetCurrentModel(Model(model));
        view.SetStartField(FormatHex4(programmer.CurrentModel().eepromStart));
        view.SetCountField(std::to_string(programmer.CurrentModel().eepromSize));
        programmer.Connect();
        view.SetCountField(std::to_string(count));
        if (view.commandsEnabled)
            view.messages.clear();
        return view.commandsEnabled;
    }

    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const auto& m : view.messages)
            texts.push_back(m.text);
        return texts;
    }

    SteadyClock boardClock;
    sim::VirtualBoard board;
    std::unique_ptr<SerialPort> boardPort;
    sim::SerialPortServer server;
    SteadyClock clock;
    testing::FakeTargetView view;
    SerialLink link;
    Programmer programmer;
    bool started = false;
};

sim::BoardOptions Board(const std::string& model) {
    sim::BoardOptions o;
    o.model = model;
    o.quartzMhz = 8;
    o.timedLine = false;  // the real clock behind a network: see BoardOptions
    return o;
}

TEST(Rfc2217Loopback, ConnectReadAndWriteOnBothFamilies) {
    for (const char* model : {"HC912D60x", "MC9S12DT128"}) {
        SCOPED_TRACE(model);
        RemoteRig rig(Board(model));
        ASSERT_TRUE(rig.started);
        ASSERT_TRUE(rig.Connect(model, 32)) << ::testing::PrintToString(rig.Texts());
        const uint16_t start = uint16_t(rig.view.PageStart());

        // What the board holds, read back through the server.
        ASSERT_TRUE(rig.programmer.ReadEeprom());
        std::vector<uint8_t> image(32);
        for (uint32_t i = 0; i < 32; ++i)
            image[i] = rig.view.Cell(i).value_or(0);

        // A small write with an FF and a 0D (Telnet's own bytes) among the data.
        const std::vector<uint8_t> written{0xFF, 0x0D, 0x00, 0x5A, 0xA5, 0xFF};
        rig.view.LoadPage(start, written);
        EXPECT_TRUE(rig.programmer.WriteEeprom()) << ::testing::PrintToString(rig.Texts());
        EXPECT_TRUE(rig.view.messages.empty()) << ::testing::PrintToString(rig.Texts());

        rig.server.Stop();  // the board is ours to look at again
        for (uint32_t i = 0; i < 32; ++i)
            EXPECT_EQ(rig.board.Peek(uint16_t(start + i)),
                      i < written.size() ? written[i] : image[i])
                << "byte " << i;
        // The line was set up remotely and RTS carried the reset.
        EXPECT_EQ(rig.server.Settings().baudRate, 38400u);
        EXPECT_EQ(rig.server.Settings().dataSize, 8);
        EXPECT_EQ(rig.server.Settings().parity, 1);
        EXPECT_EQ(rig.server.Settings().stopSize, 1);
        EXPECT_EQ(rig.server.Settings().flowControl, 1);
        EXPECT_GE(rig.server.RtsChanges(), 2);
        EXPECT_GE(rig.server.Purges(), 1);
    }
}

TEST(Rfc2217Loopback, LineErrorOnTheRemotePortShowsItsBoxes) {
    sim::BoardOptions options = Board("HC912D60x");
    // The first reply byte of the read (after the connect's presence read) comes
    // with a framing and a parity error.
    options.lineErrorAtReplyByte = 1;
    options.lineErrorBits = kCeFrame | kCeRxParity;
    RemoteRig rig(options);
    ASSERT_TRUE(rig.Connect("HC912D60x", 8));
    EXPECT_FALSE(rig.programmer.ReadEeprom());
    EXPECT_EQ(rig.Texts(),
              (std::vector<std::string>{"Wykryto błędy w ramce", "Wykryto błąd parzystości",
                                        "Utracono połącznie z interfejsem! "}));
    EXPECT_FALSE(rig.view.commandsEnabled);
}

TEST(Rfc2217Loopback, ADroppedConnectionIsAnIoErrorAndTheNextConnectConnectsAgain) {
    RemoteRig rig(Board("MC9S12DT128"));
    ASSERT_TRUE(rig.Connect("MC9S12DT128", 8));
    rig.server.DropClient();
    EXPECT_FALSE(rig.programmer.ReadEeprom());
    ASSERT_FALSE(rig.Texts().empty());
    EXPECT_EQ(rig.Texts().front(), "Wykryto błędy I/O");
    EXPECT_FALSE(rig.view.commandsEnabled);

    rig.view.messages.clear();
    EXPECT_TRUE(rig.Connect("MC9S12DT128", 8)) << ::testing::PrintToString(rig.Texts());
    EXPECT_TRUE(rig.programmer.ReadEeprom());
    EXPECT_TRUE(rig.view.messages.empty()) << ::testing::PrintToString(rig.Texts());
}

}  // namespace
}  // namespace hc12
