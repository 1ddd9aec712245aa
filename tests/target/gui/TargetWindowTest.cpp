// The real window against the virtual board on a virtual clock, end to end:
// connect, read, edit, write and read back on both families.
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/combobox.h>
#include <wx/menu.h>
#include <wx/msgdlg.h>
#include <wx/uiaction.h>

#include "BufferGrid.h"
#include "BufferNotebook.h"
#include "FilteredTextField.h"
#include "GuiTestSupport.h"
#include "HexText.h"
#include "Ids.h"
#include "SerialLink.h"
#include "VirtualBoard.h"

namespace hc12::testing {
namespace {

class TargetWindow : public ::testing::Test {
  protected:
    // On the virtual clock unless told otherwise (a real port waits in real time).
    void Open(const std::string& portValue, bool realClock = false) {
        AppOptions options;
        options.clock = realClock ? nullptr : &clock;
        std::string error;
        EXPECT_TRUE(options.ports.ApplyAssignment("COM1=" + portValue, &error)) << error;
        frame = CreateMainFrame(std::move(options));
    }
    void TearDown() override {
        DestroyFrame(frame);
        hook.ExpectAllAnswersUsed();
    }
    void Event(wxEventType type, int id, int item = 0) {
        wxCommandEvent e(type, id);
        e.SetInt(item);
        e.SetEventObject(frame);
        frame->GetEventHandler()->ProcessEvent(e);
    }
    void ChooseModel(const std::string& name) {
        const int row = FindModelIndex(name);
        ASSERT_GE(row, 0) << name;
        frame->modelCombo()->SetSelection(row);
        Event(wxEVT_COMBOBOX, ID_MODEL, row);
    }
    std::string Status(int field) { return Utf8(frame->GetStatusBar()->GetStatusText(field)); }

    VirtualClock clock;
    DialogHook hook;
    MainFrame* frame = nullptr;
};

TEST_F(TargetWindow, HcTwelveCycleOfReadEditWriteAndReadBack) {
    Open("virtual:quartz=8");
    ChooseModel("HC912D60x");
    Event(wxEVT_BUTTON, ID_CONNECT);
    EXPECT_EQ(Status(3), "Połączony.");
    EXPECT_EQ(Utf8(frame->quartzCombo()->GetValue()), "8MHz");
    EXPECT_TRUE(frame->readButton()->IsEnabled());
    EXPECT_TRUE(frame->writeButton()->IsEnabled());
    EXPECT_TRUE(frame->selectionCheckBox()->IsEnabled());

    Event(wxEVT_BUTTON, ID_READ_EEPROM);
    EXPECT_EQ(Status(0), "Przeczytano  1024  bajtów.");
    EXPECT_EQ(frame->GetCellByte(0), 0xFF);
    EXPECT_EQ(frame->GetCellByte(1023), 0xFF);

    for (uint32_t i = 0; i < 1024; i += 97)
        frame->SetCellByte(i, uint8_t(i / 97 + 0x30));
    Event(wxEVT_BUTTON, ID_WRITE_EEPROM);
    EXPECT_EQ(Status(0), "Zapisano  1024  bajtów.");
    EXPECT_EQ(Status(1), "1024");
    EXPECT_FALSE(frame->gauge());

    Event(wxEVT_MENU, ID_NEW_BUFFER);
    Event(wxEVT_MENU, ID_READ_EEPROM);
    EXPECT_EQ(Status(0), "Przeczytano  1024  bajtów.");
    for (uint32_t i = 0; i < 1024; ++i)
        ASSERT_EQ(frame->GetCellByte(i), i % 97 == 0 ? uint8_t(i / 97 + 0x30) : 0xFF) << i;
    EXPECT_TRUE(hook.shown().empty());
}

TEST_F(TargetWindow, McNineS12CycleWithItsReport) {
    Open("virtual:quartz=4");
    ChooseModel("MC9S12DT128");
    hook.AnswerMessage(wxID_OK);
    Event(wxEVT_BUTTON, ID_CONNECT);
    const ShownDialog report = hook.LastMessage();
    EXPECT_EQ(report.caption, "Parametry");
    EXPECT_EQ(report.text, "RAM: 8 KB  Początek: 0x4000 EEPROM: 2 KB  Początek: 0x2000");
    EXPECT_EQ(Utf8(frame->startField()->GetValue()), "2000");
    EXPECT_EQ(Utf8(frame->countField()->GetValue()), "2048");
    EXPECT_EQ(Utf8(frame->quartzCombo()->GetValue()), "4MHz");
    EXPECT_FALSE(frame->selectionCheckBox()->IsEnabled());
    EXPECT_FALSE(frame->selectionCheckBox()->GetValue());

    Event(wxEVT_BUTTON, ID_READ_EEPROM);
    EXPECT_EQ(Status(0), "Przeczytano  2048  bajtów.");
    for (uint32_t i = 0; i < 2048; ++i)
        frame->SetCellByte(i, uint8_t(i * 5 + 1));
    Event(wxEVT_BUTTON, ID_WRITE_EEPROM);
    EXPECT_EQ(Status(0), "Zapisano  2048  bajtów.");

    Event(wxEVT_MENU, ID_NEW_BUFFER);
    Event(wxEVT_BUTTON, ID_READ_EEPROM);
    for (uint32_t i = 0; i < 2048; ++i)
        ASSERT_EQ(frame->GetCellByte(i), uint8_t(i * 5 + 1)) << i;
}

// An odd start in the fields: the write widens the window down to whole words, the
// page gains an empty cell in front so that every typed byte keeps its address, and
// the byte the widening added keeps what the board holds; with the selection too,
// which moves with its cells.
TEST_F(TargetWindow, AnOddStartWritesEveryByteAtItsOwnAddress) {
    sim::VirtualBoard board(clock, sim::ParseBoardOptions("quartz=8", nullptr).value());
    board.LoadEepromImage(std::vector<uint8_t>(1024, 0xAA));
    AppOptions options;
    options.clock = &clock;
    options.ports.values[0] = "board";
    options.openPort = [&](const std::string&, Clock&) { return board.OpenPort(); };
    frame = CreateMainFrame(std::move(options));
    ChooseModel("HC912D60x");
    Event(wxEVT_BUTTON, ID_CONNECT);
    ASSERT_TRUE(frame->writeButton()->IsEnabled());

    for (const bool selectionOnly : {false, true}) {
        SCOPED_TRACE(selectionOnly ? "selection" : "whole window");
        const uint16_t base = selectionOnly ? 0x0C10 : 0x0C00;
        Event(wxEVT_MENU, ID_NEW_BUFFER);
        frame->startField()->SetText(FormatHex4(base + 1));
        frame->countField()->SetText("3");
        for (uint32_t i = 0; i < 3; ++i)
            frame->SetCellByte(i, uint8_t(0x11 * (i + 1)));
        BufferGrid* grid = frame->notebook()->CurrentGrid();
        if (selectionOnly) {
            // A click on the cell of 22.
            frame->Raise();
            const wxRect r = grid->CellToRect(0, 1);
            wxUIActionSimulator sim;
            sim.MouseMove(grid->GetGridWindow()->ClientToScreen(
                grid->CalcScrolledPosition(r.GetPosition()) + r.GetSize() / 2));
            Pump();
            sim.MouseClick();
            ASSERT_TRUE(PumpUntil([&] { return grid->ByteSelected(1); }));
        }
        frame->selectionCheckBox()->SetValue(selectionOnly);
        Event(wxEVT_BUTTON, ID_WRITE_EEPROM);

        EXPECT_EQ(Utf8(frame->startField()->GetValue()), FormatHex4(base));
        EXPECT_EQ(Utf8(frame->countField()->GetValue()), "4");
        EXPECT_TRUE(grid->model().CellEmpty(0));
        for (uint32_t i = 1; i <= 3; ++i)
            EXPECT_EQ(frame->GetCellByte(i), uint8_t(0x11 * i)) << i;
        EXPECT_EQ(grid->model().RowLabel(0), FormatHex4(base));
        const std::vector<uint8_t> expected =
            selectionOnly ? std::vector<uint8_t>{0xAA, 0xAA, 0x22, 0x33, 0xAA}
                          : std::vector<uint8_t>{0xAA, 0x11, 0x22, 0x33, 0xAA};
        for (uint16_t i = 0; i < expected.size(); ++i)
            EXPECT_EQ(board.Peek(uint16_t(base + i)), expected[i]) << FormatHex4(base + i);
    }
    EXPECT_TRUE(hook.shown().empty());
}

TEST_F(TargetWindow, LinkLostDuringAReadLocksTheCommands) {
    // Replies: the presence read, then the read's own first byte and 20 words.
    Open("virtual:quartz=8,fail-after=82");
    ChooseModel("HC912D60x");
    frame->quartzCombo()->SetSelection(2);
    Event(wxEVT_COMBOBOX, ID_QUARTZ, 2);
    Event(wxEVT_BUTTON, ID_CONNECT);
    ASSERT_TRUE(frame->readButton()->IsEnabled());

    hook.AnswerMessage(wxID_OK);
    Event(wxEVT_BUTTON, ID_READ_EEPROM);
    const ShownDialog box = hook.LastMessage();
    EXPECT_EQ(box.text, "Utracono połącznie z interfejsem! ");
    EXPECT_EQ(box.caption, "Błąd");
    EXPECT_EQ(Status(0), "Przeczytano  40  bajtów.");
    EXPECT_EQ(Status(3), "Brak połączenia.");
    EXPECT_FALSE(frame->readButton()->IsEnabled());
    EXPECT_FALSE(frame->writeButton()->IsEnabled());
    EXPECT_FALSE(frame->gauge());
}

// The menu item, chosen from the menu as a user would: a click opens "Plik", the
// keys go on to the item.
TEST_F(TargetWindow, ChangedOnlyWriteIsAMenuChoiceOffAtStart) {
    Open("virtual:quartz=8");
    wxMenuItem* item = frame->GetMenuBar()->FindItem(ID_CHANGED_ONLY);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(Utf8(item->GetItemLabelText()), "Zapisuj tylko zmienione słowa");
    EXPECT_TRUE(item->IsCheckable());
    EXPECT_FALSE(item->IsChecked());

    ChooseModel("HC912D60x");
    Event(wxEVT_BUTTON, ID_CONNECT);
    Event(wxEVT_BUTTON, ID_READ_EEPROM);
    for (uint32_t i = 0; i < 1024; i += 100)
        frame->SetCellByte(i, 0x42);

    auto toggle = [&] {
        const bool before = item->IsChecked();
        wxUIActionSimulator sim;
        return PickMenuItemByKeys(sim, frame, 1, ID_CHANGED_ONLY) &&
               PumpUntil([&] { return item->IsChecked() != before; });
    };
    ASSERT_TRUE(toggle());
    Event(wxEVT_BUTTON, ID_WRITE_EEPROM);
    EXPECT_EQ(Status(0), "Zapisano  1024  bajtów.");
    EXPECT_EQ(Status(1), "Bez zmian: 501");

    ASSERT_TRUE(toggle());
    Event(wxEVT_BUTTON, ID_WRITE_EEPROM);
    EXPECT_EQ(Status(1), "1024") << "the full write again";
    EXPECT_TRUE(hook.shown().empty());
}

// The adapter pulled out during a write: one I/O error box and the lost link, not a
// box for each reprogramming over the dead link and a failure count after them.
TEST_F(TargetWindow, AdapterPulledOutDuringAWriteGivesOneBoxOfEachKind) {
    // Replies: the presence read, the write's read of 0x0012, the first word's
    // read-back; the adapter is gone when the second word's read-back is due.
    Open("virtual:quartz=8,unplug=4");
    ChooseModel("HC912D60x");
    frame->quartzCombo()->SetSelection(2);
    Event(wxEVT_COMBOBOX, ID_QUARTZ, 2);
    Event(wxEVT_BUTTON, ID_CONNECT);
    ASSERT_TRUE(frame->writeButton()->IsEnabled());
    for (uint32_t i = 0; i < 8; ++i)
        frame->SetCellByte(i, 0x5A);

    hook.AnswerMessage(wxID_OK);
    hook.AnswerMessage(wxID_OK);
    Event(wxEVT_BUTTON, ID_WRITE_EEPROM);
    std::vector<std::string> texts;
    for (const ShownDialog& shown : hook.shown())
        texts.push_back(shown.text);
    EXPECT_EQ(texts, (std::vector<std::string>{"Wykryto błędy I/O",
                                               "Utracono połącznie z interfejsem! "}));
    EXPECT_EQ(Status(0), "Zapisano  2  bajty.");
    EXPECT_FALSE(frame->writeButton()->IsEnabled());
    EXPECT_FALSE(frame->gauge());
}

TEST_F(TargetWindow, PortThatCannotOpenLeavesTheWindowNotConnected) {
    Open("/dev/hc12-no-such-port");
    ChooseModel("HC912D60x");
    hook.AnswerMessage(wxID_OK);
    Event(wxEVT_BUTTON, ID_CONNECT);
    EXPECT_EQ(hook.LastMessage().text, "Niewłaściwa nazwa portu lub port jest aktywny.");
    EXPECT_EQ(Status(3), "Brak połączenia.");
    EXPECT_EQ(frame->ConnectionState(), kNotConnected);
}

// A pseudo-terminal plays the adapter behind a device name that stays, as a udev
// link does: missing, plugged in, pulled out and plugged in again.
class Adapter {
  public:
    Adapter() {
        char dirTemplate[] = "/tmp/hc12guiXXXXXX";
        dir_ = mkdtemp(dirTemplate) ? dirTemplate : "";
        device_ = dir_ + "/ttyUSB0";
    }
    ~Adapter() {
        Unplug();
        unlink(device_.c_str());
        rmdir(dir_.c_str());
    }
    const std::string& device() const { return device_; }
    bool PlugIn() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0)
            return false;
        unlink(device_.c_str());
        return symlink(ptsname(master_), device_.c_str()) == 0;
    }
    void Unplug() {
        if (master_ >= 0)
            close(master_);
        master_ = -1;
    }

  private:
    std::string dir_, device_;
    int master_ = -1;
};

// Connect opens a port that failed to open before (saying so again when it fails
// again), and a port that hung up is opened afresh by the next choice from the menu.
TEST_F(TargetWindow, PortIsOpenedAgainAfterAFailedOpenAndAfterAHangUp) {
    const std::string portError = "Niewłaściwa nazwa portu lub port jest aktywny.";
    const std::string noInterface = "Nieudane połączenie z interfejsem";
    Adapter adapter;
    Open(adapter.device(), /*realClock=*/true);
    ChooseModel("HC912D60x");
    frame->quartzCombo()->SetSelection(2);
    Event(wxEVT_COMBOBOX, ID_QUARTZ, 2);

    hook.AnswerMessage(wxID_OK);
    Event(wxEVT_BUTTON, ID_CONNECT);
    EXPECT_EQ(hook.LastMessage().text, portError);
    hook.AnswerMessage(wxID_OK);
    Event(wxEVT_BUTTON, ID_CONNECT);
    EXPECT_EQ(hook.LastMessage().text, portError);
    EXPECT_EQ(hook.shown().size(), 2u);

    // Plugged in: the port opens; nothing answers on it, so no greeting.
    ASSERT_TRUE(adapter.PlugIn());
    hook.Clear();
    hook.AnswerMessage(wxID_OK);
    Event(wxEVT_BUTTON, ID_CONNECT);
    ASSERT_EQ(hook.shown().size(), 1u);
    EXPECT_EQ(hook.LastMessage().text, noInterface);

    // Pulled out and plugged in again: choosing the port reaches the new adapter.
    adapter.Unplug();
    ASSERT_TRUE(adapter.PlugIn());
    hook.Clear();
    Event(wxEVT_MENU, ID_COM1);
    EXPECT_TRUE(hook.shown().empty());
    hook.AnswerMessage(wxID_OK);
    Event(wxEVT_BUTTON, ID_CONNECT);
    ASSERT_EQ(hook.shown().size(), 1u);
    EXPECT_EQ(hook.LastMessage().text, noInterface);
    EXPECT_FALSE(frame->readButton()->IsEnabled());
}

}  // namespace
}  // namespace hc12::testing
