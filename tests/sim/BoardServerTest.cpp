// The board session served over RFC 2217 (what hc12prog-board --rfc2217 runs),
// reached by the programmer through the port value, on the real clock: the reset
// pulse arrives as RTS, the flush as a purge, a line error as a line-state notice.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "BoardServer.h"
#include "BoardSession.h"
#include "Clock.h"
#include "FakeTargetView.h"
#include "HexText.h"
#include "ModelTable.h"
#include "PortFactory.h"
#include "Programmer.h"
#include "SerialLink.h"

namespace hc12 {
namespace {

struct ServedBoard {
    explicit ServedBoard(sim::BoardOptions options)
        : session(boardClock, std::move(options)),
          server(session),
          link(clock, view,
               [this](const std::string&) -> std::unique_ptr<SerialPort> {
                   return OpenPortValue("rfc2217://127.0.0.1:" + std::to_string(server.Port()),
                                        clock);
               }),
          programmer(link, view) {
        view.link = &link;
        std::string error;
        listening = server.Listen("127.0.0.1", 0, &error);
        EXPECT_TRUE(listening) << error;
        thread = std::thread([this] {
            while (!stop)
                server.Serve(5000);
        });
    }
    ~ServedBoard() { Stop(); }
    // Afterwards the board is the test's to look at.
    void Stop() {
        stop = true;
        if (thread.joinable())
            thread.join();
    }

    bool Connect(const std::string& modelName) {
        if (const ModelRecord* m = FindModelRecord(modelName))
            programmer.SetCurrentModel(*m);
        view.quartzText = "8MHz";
        programmer.OnQuartzSelected(view.quartzText);
        view.SetStartField(FormatHex4(programmer.CurrentModel().eepromStart));
        view.SetCountField("8");
        programmer.Connect();
        return view.commandsEnabled;
    }
    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const auto& m : view.messages)
            texts.push_back(m.text);
        return texts;
    }

    SteadyClock boardClock;
    sim::BoardSession session;
    sim::BoardServer server;
    SteadyClock clock;
    testing::FakeTargetView view;
    SerialLink link;
    Programmer programmer;
    bool listening = false;
    std::atomic<bool> stop{false};
    std::thread thread;
};

sim::BoardOptions Board(const std::string& model) {
    sim::BoardOptions o;
    o.model = model;
    o.quartzMhz = 8;
    o.timedLine = false;  // the real clock behind a network: see BoardOptions
    return o;
}

// Once RTS is seen the board no longer resets on a quiet line, so a connect
// that works with RTS edges in the board's log was reset by the pulse.
TEST(BoardServer, ResetByTheRtsPulseWithTheFlushAsAPurge) {
    ServedBoard served(Board("HC912D60x"));
    ASSERT_TRUE(served.listening);
    ASSERT_TRUE(served.Connect("HC912D60x")) << ::testing::PrintToString(served.Texts());
    EXPECT_TRUE(served.programmer.ReadEeprom()) << ::testing::PrintToString(served.Texts());
    served.Stop();
    const auto& rts = served.session.board().RtsLog();
    ASSERT_GE(rts.size(), 2u);
    EXPECT_TRUE(rts[0].active);
    EXPECT_FALSE(rts[1].active);
    EXPECT_FALSE(served.session.board().PurgeLog().empty());
}

TEST(BoardServer, LineErrorReachesTheProgramAsOnALocalPort) {
    sim::BoardOptions options = Board("HC912D60x");
    options.lineErrorAtReplyByte = 1;  // the read's first byte, after the presence read
    options.lineErrorBits = kCeFrame;
    ServedBoard served(options);
    ASSERT_TRUE(served.Connect("HC912D60x")) << ::testing::PrintToString(served.Texts());
    EXPECT_FALSE(served.programmer.ReadEeprom());
    EXPECT_EQ(served.Texts(), (std::vector<std::string>{"Wykryto błędy w ramce",
                                                        "Utracono połącznie z interfejsem! "}));
}

}  // namespace
}  // namespace hc12
