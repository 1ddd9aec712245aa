// Interface reset, clock choice and connect against the virtual board.
#include <gtest/gtest.h>

#include "TargetRig.h"

namespace hc12::testing {
namespace {

using Frames = std::vector<std::string>;

TEST(ResetInterface, RightGreetingRunsAndConfiguresTheInterface) {
    TargetRig rig(Board("HC912D60x"));
    ASSERT_TRUE(rig.link.OpenPort(0));
    EXPECT_TRUE(rig.programmer.ResetInterface());
    EXPECT_EQ(rig.view.statusHistory[3], (Frames{"Reset.", "Brak połączenia.", "Połączony."}));
    EXPECT_EQ(rig.link.ConnectionState(), kConnected);
    EXPECT_EQ(rig.NewFrames(), (Frames{"R", "U 00"}));
    EXPECT_FALSE(rig.view.commandsEnabled);  // only a whole connect unlocks them
}

TEST(ResetInterface, WrongOrMissingGreetingByteSendsNothingAndRestoresField) {
    for (const std::string greeting : {"pawx", "paw", "xaww"}) {
        SCOPED_TRACE(greeting);
        sim::BoardOptions options = Board("HC912D60x");
        options.greeting = greeting;
        TargetRig rig(options);
        ASSERT_TRUE(rig.link.OpenPort(0));
        rig.view.SetStatusText(0, "Przeczytano  6  bajtów.");
        EXPECT_FALSE(rig.programmer.ResetInterface());
        EXPECT_TRUE(rig.NewFrames().empty());
        EXPECT_EQ(rig.link.ConnectionState(), kNotConnected);
        // Field 3 gets what field 0 showed when the reset began.
        EXPECT_EQ(rig.view.Status(3), "Przeczytano  6  bajtów.");
        EXPECT_TRUE(rig.view.messages.empty());
    }
}

TEST(QuartzSelected, SendsTheClockOfEachChoiceAndNothingForAuto) {
    TargetRig rig(Board("HC912D60x"));
    ASSERT_TRUE(rig.link.OpenPort(0));
    rig.programmer.OnQuartzSelected("8MHz");
    rig.programmer.OnQuartzSelected("8MHz");
    EXPECT_EQ(rig.programmer.QuartzMhz(), 8);
    rig.programmer.OnQuartzSelected("4MHz");
    EXPECT_EQ(rig.programmer.QuartzMhz(), 4);
    rig.programmer.OnQuartzSelected("Auto");
    rig.programmer.OnQuartzSelected("16mhz");  // compared exactly
    EXPECT_EQ(rig.programmer.QuartzMhz(), 4);
    rig.programmer.OnQuartzSelected("16MHz");
    EXPECT_EQ(rig.programmer.QuartzMhz(), 16);
    EXPECT_EQ(rig.NewFrames(), (Frames{"U 02", "U 02", "U 01", "U 00"}));
}

TEST(Connect, NoModelChosenWarnsAndTouchesNothing) {
    TargetRig rig(Board("HC912D60x"));
    rig.programmer.Connect();
    ASSERT_EQ(rig.view.messages.size(), 1u);
    EXPECT_EQ(rig.view.messages[0].text, "Wybierz model mikrokontrolera!");
    EXPECT_EQ(rig.view.messages[0].caption, "Ostrzeżenie");
    EXPECT_EQ(rig.view.messages[0].icon, MsgIcon::Exclamation);
    EXPECT_FALSE(rig.link.PortChosen());
    EXPECT_TRUE(rig.view.statusHistory[3].empty());
}

TEST(Connect, PortThatCannotOpenReturnsToNotConnected) {
    TargetRig rig(Board("HC912D60x"), /*portOpens=*/false);
    rig.Connect("HC912D60x");
    EXPECT_EQ(rig.link.ConnectionState(), kNotConnected);
    EXPECT_EQ(rig.view.Status(3), "Brak połączenia.");
    EXPECT_FALSE(rig.view.commandsEnabled);
    // The link's own box about the port, and nothing from the connect.
    ASSERT_EQ(rig.view.messages.size(), 1u);
    EXPECT_EQ(rig.view.messages[0].text, "Niewłaściwa nazwa portu lub port jest aktywny.");
}

TEST(Connect, OpensCom1WhenNoPortWasChosen) {
    TargetRig rig(Board("HC912D60x"));
    rig.ChooseQuartz("8MHz");
    rig.Connect("HC912D60x");
    EXPECT_NE(std::find(rig.view.events.begin(), rig.view.events.end(), "open-default-port"),
              rig.view.events.end());
    EXPECT_TRUE(rig.link.PortValid());
}

TEST(Connect, HcTwelveTargetIsOnlyProbedAndUnlocksTheCheckBox) {
    TargetRig rig(Board("HC912D60x", 8));
    rig.ChooseQuartz("8MHz");
    rig.Connect("HC912D60x");
    EXPECT_EQ(rig.NewFrames(), (Frames{"R", "U 02", "C 000F"}));
    EXPECT_TRUE(rig.view.messages.empty());
    EXPECT_FALSE(rig.programmer.S12Target());
    EXPECT_EQ(rig.view.events.back(), "connected:hc12");
    EXPECT_TRUE(rig.view.commandsEnabled);
    EXPECT_TRUE(rig.view.checkBoxEnabled);
    EXPECT_EQ(rig.view.statusHistory[3],
              (Frames{"Łączenie...", "Reset.", "Brak połączenia.", "Połączony.", "Połączony."}));
    EXPECT_EQ(rig.view.countField, "1024");  // the model's window stays
    EXPECT_EQ(rig.view.startField, "0C00");
}

struct DetectCase {
    int boardQuartz;
    const char* found;
    int mhz;
    Frames attempts;  // frames after the first reset and presence read
};

TEST(Connect, AutoQuartzTriesSixteenEightFourInTurn) {
    const Frames a16 = {"R", "U 00", "U 00", "C 000F", "C 000F"};
    const Frames a8 = {"R", "U 00", "U 02", "C 000F", "C 000F"};
    const Frames a4 = {"R", "U 02", "U 01", "C 000F", "C 000F"};
    auto join = [](std::initializer_list<Frames> parts) {
        Frames all;
        for (const auto& p : parts)
            all.insert(all.end(), p.begin(), p.end());
        return all;
    };
    const DetectCase cases[] = {
        {16, "16MHz", 16, join({a16})},
        {8, "8MHz", 8, join({a16, a8})},
        {4, "4MHz", 4, join({a16, a8, a4})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.boardQuartz);
        TargetRig rig(Board("HC912D60x", c.boardQuartz));
        rig.Connect("HC912D60x");
        Frames expected = {"R", "U 00", "C 000F"};
        expected.insert(expected.end(), c.attempts.begin(), c.attempts.end());
        EXPECT_EQ(rig.NewFrames(), expected);
        EXPECT_EQ(rig.view.quartzText, c.found);
        EXPECT_EQ(rig.programmer.QuartzMhz(), c.mhz);
        EXPECT_TRUE(rig.view.messages.empty());
        EXPECT_TRUE(rig.view.commandsEnabled);

        // The clock found is kept: the next connect does not detect again.
        rig.programmer.Connect();
        EXPECT_EQ(rig.NewFrames().size(), 3u);
    }
}

TEST(Connect, AutoQuartzTakesNoTimeOutForTheClock) {
    // A stray byte after each greeting shifts the replies so that one presence read
    // of an attempt times out; its 0 must not pass for the clock.
    sim::BoardOptions options = Board("HC912D60x", 8);
    options.strayBytes = {0x5A};
    TargetRig rig(options);
    rig.Connect("HC912D60x");
    EXPECT_EQ(rig.view.quartzText, "8MHz");
    EXPECT_EQ(rig.programmer.QuartzMhz(), 8);
    EXPECT_TRUE(rig.view.messages.empty());
    EXPECT_TRUE(rig.view.commandsEnabled);
}

// Replies at a wrong clock are garbage: without a confirmed clock there is no
// connection, and the next connect detects again.
TEST(Connect, NoQuartzConfirmedWarnsAndEndsNotConnected) {
    struct Case {
        const char* name;
        sim::BoardOptions options;
    };
    sim::BoardOptions otherQuartz = Board("MC9S12DT128", 12);  // none of the three
    sim::BoardOptions unstable = Board("MC9S12DT128", 8);
    unstable.unstableAddress = 0x000F;  // the presence byte reads wrong five times
    unstable.unstableReadings = 5;
    for (const Case& c : {Case{"other quartz", otherQuartz}, Case{"unstable", unstable}}) {
        SCOPED_TRACE(c.name);
        TargetRig rig(c.options);
        rig.Connect("MC9S12DT128");
        ASSERT_EQ(rig.view.messages.size(), 1u);
        EXPECT_EQ(rig.view.messages[0].text, "Nie moge rozpoznać kwarcu! Wybierz go ręcznie");
        EXPECT_EQ(rig.view.messages[0].caption, "Ostrzeżenie");
        EXPECT_EQ(rig.view.messages[0].icon, MsgIcon::Exclamation);
        EXPECT_EQ(rig.view.quartzText, "Auto");
        EXPECT_FALSE(rig.view.commandsEnabled);
        EXPECT_EQ(rig.link.ConnectionState(), kNotConnected);
        EXPECT_EQ(rig.view.Status(3), "Brak połączenia.");
        // No memory map was read at a clock nobody confirmed.
        EXPECT_EQ(rig.view.countField, "2048");
        const Frames frames = rig.NewFrames();
        EXPECT_EQ(std::count(frames.begin(), frames.end(), "C 001C"), 0);
    }
}

// A line error or time-out in an attempt says nothing about its clock: the clock is
// tried again, and the right one is still found.
TEST(Connect, AutoQuartzTriesAClockAgainAfterAFailedExchange) {
    struct Case {
        const char* name;
        int64_t lineErrorAt;
        int64_t silentFrom;
    };
    // Reply bytes: the presence read after the first reset (0), the 16 MHz attempt
    // (1, 2), the 8 MHz attempt (3, 4).
    const Case cases[] = {
        {"line error in the first read at 8 MHz", 3, -1},
        {"line error in the second read at 8 MHz", 4, -1},
        {"line error at 16 MHz", 2, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim::BoardOptions options = Board("MC9S12DT128", 8);
        options.lineErrorAtReplyByte = c.lineErrorAt;
        options.silentAfterReplyBytes = c.silentFrom;
        TargetRig rig(options);
        rig.Connect("MC9S12DT128");
        EXPECT_EQ(rig.view.quartzText, "8MHz");
        EXPECT_EQ(rig.programmer.QuartzMhz(), 8);
        EXPECT_TRUE(rig.view.commandsEnabled);
        std::vector<std::string> texts;
        for (const auto& m : rig.view.messages)
            texts.push_back(m.text);
        EXPECT_EQ(texts, (std::vector<std::string>{
                             "Wykryto błędy w ramce",
                             "RAM: 8 KB  Początek: 0x4000 EEPROM: 2 KB  Początek: 0x2000"}));
        EXPECT_EQ(rig.view.startField, "2000");
        EXPECT_EQ(rig.view.countField, "2048");
    }
}

TEST(Connect, InterfaceGoingSilentDuringDetectionIsNoInterface) {
    // Silent from the 8 MHz attempt on: no reset greets again.
    sim::BoardOptions options = Board("MC9S12DT128", 8);
    options.silentAfterReplyBytes = 3;
    TargetRig rig(options);
    rig.Connect("MC9S12DT128");
    ASSERT_EQ(rig.view.messages.size(), 1u);
    EXPECT_EQ(rig.view.messages[0].text, "Nieudane połączenie z interfejsem");
    EXPECT_FALSE(rig.view.commandsEnabled);
    EXPECT_EQ(rig.view.Status(3), "Brak połączenia.");
}

TEST(Connect, SilentTargetFailsWithProcessorMessage) {
    sim::BoardOptions options = Board("HC912D60x");
    options.targetPresent = false;
    TargetRig rig(options);
    rig.ChooseQuartz("8MHz");
    rig.Connect("HC912D60x");
    ASSERT_EQ(rig.view.messages.size(), 1u);
    EXPECT_EQ(rig.view.messages[0].text, "Nieudane połączenie z procesorem");
    EXPECT_EQ(rig.view.messages[0].caption, "Błąd");
    EXPECT_EQ(rig.view.messages[0].icon, MsgIcon::Error);
    EXPECT_FALSE(rig.view.commandsEnabled);
    EXPECT_EQ(rig.view.Status(3), "Brak połączenia.");
}

TEST(Connect, WrongGreetingFailsWithInterfaceMessage) {
    sim::BoardOptions options = Board("HC912D60x");
    options.greeting = "pawx";
    TargetRig rig(options);
    rig.Connect("HC912D60x");
    ASSERT_EQ(rig.view.messages.size(), 1u);
    EXPECT_EQ(rig.view.messages[0].text, "Nieudane połączenie z interfejsem");
    EXPECT_EQ(rig.view.messages[0].caption, "Błąd");
    EXPECT_FALSE(rig.view.commandsEnabled);
    EXPECT_EQ(rig.link.ConnectionState(), kNotConnected);
}

TEST(Connect, McNineS12ReportsItsMemoryMapAndTakesTheEepromWindow) {
    struct Case {
        const char* model;
        const char* report;
        const char* count;
    };
    const Case cases[] = {
        {"MC9S12DT128", "RAM: 8 KB  Początek: 0x4000 EEPROM: 2 KB  Początek: 0x2000", "2048"},
        {"MC9S12H256(1K78X)", "RAM: 12 KB  Początek: 0x4000 EEPROM: 4 KB  Początek: 0x2000",
         "4096"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.model);
        TargetRig rig(Board(c.model, 8));
        rig.ChooseQuartz("8MHz");
        rig.Connect(c.model);
        const Frames frames = rig.NewFrames();
        ASSERT_GE(frames.size(), 6u);
        const Frames tail(frames.end() - 6, frames.end());
        EXPECT_EQ(tail, (Frames{"z 0012 21", "z 0010 41", "C 001C", "C 0010", "C 001C", "C 0012"}));
        ASSERT_EQ(rig.view.messages.size(), 1u);
        EXPECT_EQ(rig.view.messages[0].text, c.report);
        EXPECT_EQ(rig.view.messages[0].caption, "Parametry");
        EXPECT_EQ(rig.view.messages[0].buttons, MsgButtons::Ok);
        EXPECT_EQ(rig.view.messages[0].icon, MsgIcon::None);
        EXPECT_EQ(rig.view.countField, c.count);
        EXPECT_EQ(rig.view.startField, "2000");
        EXPECT_EQ(rig.programmer.CurrentModel().eepromStart, 0x2000u);
        EXPECT_EQ(rig.board.EepromStart(), 0x2000);
        EXPECT_TRUE(rig.programmer.S12Target());
        EXPECT_EQ(rig.view.events.back(), "connected:s12");
        EXPECT_FALSE(rig.view.checkBoxChecked);
        EXPECT_FALSE(rig.view.checkBoxEnabled);
    }
}

// The mapping registers can be written once after reset; a target whose own
// program has already mapped them keeps its map, and the report shows that one.
TEST(Connect, McNineS12ReportShowsTheMapTheTargetAlreadyHas) {
    struct Case {
        uint8_t memsiz0, initee;
        const char* report;
        const char* count;
        const char* start;
    };
    const Case cases[] = {
        {0x05, 0x21, "RAM: 12 KB  Początek: 0x4000 EEPROM: 0 KB  Początek: 0x2000", "0", "2000"},
        {0x15, 0x21, "RAM: 12 KB  Początek: 0x4000 EEPROM: 2 KB  Początek: 0x2000", "2048", "2000"},
        {0x13, 0xF9, "RAM: 8 KB  Początek: 0x4000 EEPROM: 2 KB  Początek: 0xF800", "2048", "F800"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.report);
        // A 16 MHz board: the first detection attempt finds the clock, after the
        // last reset of the connect.
        TargetRig rig(Board("MC9S12DT128", 16));
        rig.view.onSelectQuartz = [&](int) {
            rig.board.Poke(0x001C, c.memsiz0);
            rig.link.SendFrame(WriteByteFrame(0x0012, c.initee));
        };
        rig.Connect("MC9S12DT128");
        EXPECT_EQ(rig.view.quartzText, "16MHz");
        ASSERT_EQ(rig.view.messages.size(), 1u);
        EXPECT_EQ(rig.view.messages[0].text, c.report);
        EXPECT_EQ(rig.view.countField, c.count);
        EXPECT_EQ(rig.view.startField, c.start);
        EXPECT_TRUE(rig.view.commandsEnabled);
    }
}

// A port onto the board that can be unplugged: from then on it reports an I/O error
// and a hang-up, as a USB adapter pulled out does.
class UnpluggablePort final : public SerialPort {
  public:
    UnpluggablePort(std::unique_ptr<SerialPort> port, const bool& unplugged)
        : port_(std::move(port)), unplugged_(unplugged) {}
    void ApplyLineSettings() override { port_->ApplyLineSettings(); }
    void SetRts(bool active) override {
        if (!unplugged_)
            port_->SetRts(active);
    }
    bool Write(const uint8_t* data, size_t size) override {
        return !unplugged_ && port_->Write(data, size);
    }
    LineStatus ClearErrors() override {
        return unplugged_ ? LineStatus{kCeIoe, 0} : port_->ClearErrors();
    }
    size_t Read(uint8_t* dest, size_t maxSize) override {
        return unplugged_ ? 0 : port_->Read(dest, maxSize);
    }
    bool WaitForInput(uint32_t timeoutMs) override {
        return unplugged_ || port_->WaitForInput(timeoutMs);
    }
    void Purge() override {
        if (!unplugged_)
            port_->Purge();
    }
    bool HungUp() override { return unplugged_; }
    void HintModel(const std::string& name) override { port_->HintModel(name); }

  private:
    std::unique_ptr<SerialPort> port_;
    const bool& unplugged_;
};

// The window's pieces around one board whose adapter can be missing or unplugged.
struct PlugRig {
    PlugRig()
        : board(clock, Board("HC912D60x", 8)),
          link(clock, view,
               [this](const std::string&) -> std::unique_ptr<SerialPort> {
                   ++opens;
                   if (!present)
                       return nullptr;
                   unplugged = false;
                   return std::make_unique<UnpluggablePort>(board.OpenPort(), unplugged);
               }),
          programmer(link, view) {
        view.link = &link;
        view.quartzText = "8MHz";
        programmer.SetCurrentModel(Model("HC912D60x"));
        view.LoadPage(0x0C00, std::vector<uint8_t>(16, 0x00), 16);
    }
    std::vector<std::string> Texts() {
        std::vector<std::string> texts;
        for (const auto& m : view.messages)
            texts.push_back(m.text);
        view.messages.clear();
        return texts;
    }
    VirtualClock clock;
    sim::VirtualBoard board;
    FakeTargetView view;
    bool present = false;
    bool unplugged = false;
    int opens = 0;
    SerialLink link;
    Programmer programmer;
};

TEST(Connect, APortThatFailedToOpenIsOpenedAgainByTheNextConnect) {
    PlugRig rig;
    const std::string portError = "Niewłaściwa nazwa portu lub port jest aktywny.";
    rig.programmer.Connect();
    EXPECT_EQ(rig.Texts(), std::vector<std::string>{portError});
    rig.programmer.Connect();
    EXPECT_EQ(rig.Texts(), std::vector<std::string>{portError});
    EXPECT_EQ(rig.opens, 2);
    EXPECT_FALSE(rig.view.commandsEnabled);

    rig.present = true;
    rig.programmer.Connect();
    EXPECT_TRUE(rig.Texts().empty());
    EXPECT_EQ(rig.opens, 3);
    EXPECT_TRUE(rig.view.commandsEnabled);
}

// Unplugged in the middle of a read: one I/O error box and the lost link, nothing
// more sent; the hung-up port is dropped, and the next connect opens it afresh.
TEST(Connect, APortThatHungUpIsDroppedAndOpenedAfreshByTheNextConnect) {
    PlugRig rig;
    rig.present = true;
    rig.programmer.Connect();
    ASSERT_TRUE(rig.view.commandsEnabled);
    rig.unplugged = true;
    EXPECT_FALSE(rig.programmer.ReadEeprom());
    EXPECT_EQ(rig.Texts(), (std::vector<std::string>{"Wykryto błędy I/O",
                                                     "Utracono połącznie z interfejsem! "}));
    EXPECT_FALSE(rig.link.PortValid());
    EXPECT_FALSE(rig.view.commandsEnabled);

    rig.programmer.Connect();
    EXPECT_EQ(rig.opens, 2);
    EXPECT_TRUE(rig.Texts().empty());
    EXPECT_TRUE(rig.view.commandsEnabled);
    EXPECT_TRUE(rig.programmer.ReadEeprom());
}

}  // namespace
}  // namespace hc12::testing
