// The window driven as a user drives it: real clicks, drags and keys through the
// display server, reaching the widgets the way a person's input does.
#include <gtest/gtest.h>

#include <unistd.h>

#include <gtk/gtk.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include <wx/app.h>
#include <wx/menu.h>
#include <wx/statusbr.h>
#include <wx/toolbar.h>
#include <wx/uiaction.h>

#include "BufferGrid.h"
#include "BufferNotebook.h"
#include "FilteredTextField.h"
#include "GuiTestSupport.h"
#include "Ids.h"
#include "Language.h"
#include "Translate.h"
#include "VirtualBoard.h"

namespace hc12::testing {
namespace {

class RealInput : public ::testing::Test {
  protected:
    void SetUp() override {
        frame = CreateMainFrame(Options());
        frame->Raise();
        Pump();
    }
    virtual AppOptions Options() { return {}; }
    void TearDown() override {
        DestroyFrame(frame);
        hook.ExpectAllAnswersUsed();
    }
    void Command(int id) {
        wxCommandEvent e(wxEVT_MENU, id);
        e.SetEventObject(frame);
        frame->ProcessWindowEvent(e);
    }
    void Click(wxWindow* window, wxPoint offset) {
        sim.MouseMove(window->GetScreenPosition() + offset);
        Pump();
        sim.MouseClick();
        Pump();
    }
    // Opens the combo box's list with a click and picks entry `index` with the
    // keys, as a user does; the list opens with the shown entry highlighted.
    void Choose(wxComboBox* combo, int index) {
        const int shown = combo->GetSelection();
        const wxSize size = combo->GetSize();
        // Clicked until the list opens: a click too soon after the last one closed
        // it can be taken as part of a double click.
        for (int attempt = 0; attempt < 3 && !PopupShown(combo); ++attempt) {
            Click(combo, wxPoint(size.x - 8, size.y / 2));
            PumpUntil([combo] { return PopupShown(combo); }, 50);
        }
        ASSERT_TRUE(PopupShown(combo));
        const int steps = index - std::max(shown, 0);
        for (int i = 0; i < std::abs(steps); ++i) {
            sim.Char(steps > 0 ? WXK_DOWN : WXK_UP);
            Pump();
        }
        sim.Char(WXK_RETURN);
        ASSERT_TRUE(PumpUntil([combo] { return !PopupShown(combo); }));
        Pump();
    }
    static bool PopupShown(wxComboBox* combo) {
        gboolean shown = FALSE;
        g_object_get(combo->GetHandle(), "popup-shown", &shown, nullptr);
        return shown;
    }

    void Load(const std::string& name, uint8_t fill) {
        const std::filesystem::path path = std::filesystem::path(::testing::TempDir()) /
                                           ("hc12_input_" + std::to_string(getpid())) / name;
        std::filesystem::create_directories(path.parent_path());
        {
            std::ofstream out(path, std::ios::binary);
            for (int i = 0; i < 512; ++i)
                out.put(char(fill));
        }
        hook.AnswerFile(path.string());
        Command(ID_OPEN_FILE);
        std::filesystem::remove(path);
        std::filesystem::remove(path.parent_path());  // only once it is empty
    }
    std::vector<std::string> PageNames() {
        std::vector<std::string> out;
        for (size_t i = 0; i < frame->notebook()->GetPageCount(); ++i)
            out.push_back(Utf8(frame->notebook()->GetPageText(i)));
        return out;
    }
    std::vector<std::string> ComboEntries() {
        std::vector<std::string> out;
        for (unsigned i = 0; i < frame->compareCombo()->GetCount(); ++i)
            out.push_back(Utf8(frame->compareCombo()->GetString(i)));
        return out;
    }

    DialogHook hook;
    MainFrame* frame = nullptr;
    wxUIActionSimulator sim;
};

TEST_F(RealInput, CompareBoxComparesWithTheEntryItShows) {
    Command(ID_NEW_BUFFER);  // the box shows the new page, Buf1
    frame->notebook()->SetSelection(0);
    Pump();
    ASSERT_EQ(Utf8(frame->compareCombo()->GetValue()), "Buf1");
    hook.AnswerMessage(wxID_OK);
    Choose(frame->compareCombo(), 1);
    ASSERT_TRUE(PumpUntil([&] { return !hook.shown().empty(); }));
    EXPECT_EQ(hook.LastMessage().text, "Bufory są identyczne!");
}

TEST_F(RealInput, ModelChosenAgainResetsTheAddressFields) {
    frame->startField()->SetText("1234");
    frame->countField()->SetText("99");
    ASSERT_EQ(Utf8(frame->modelCombo()->GetValue()), "Model");
    Choose(frame->modelCombo(), 0);
    EXPECT_EQ(Utf8(frame->startField()->GetValue()), "0000");
    EXPECT_EQ(Utf8(frame->countField()->GetValue()), "512");
    // Another entry still comes through the combo box's own event.
    Choose(frame->modelCombo(), 2);
    EXPECT_EQ(Utf8(frame->startField()->GetValue()), "F000");
    EXPECT_EQ(Utf8(frame->countField()->GetValue()), "4096");
}

TEST_F(RealInput, DragAcrossTheSeparatorFillsOnlyWhatItCovers) {
    BufferGrid* grid = frame->notebook()->CurrentGrid();
    auto cellCentre = [grid](int row, int col) {
        const wxRect r = grid->CellToRect(row, col);
        const wxPoint shown = grid->CalcScrolledPosition(r.GetPosition());
        return grid->GetGridWindow()->ClientToScreen(shown + r.GetSize() / 2);
    };
    // Row 0020: from the character of byte 3 left to the hexadecimal cell of byte 10.
    // Each step waits for the display server to deliver the last one, as a
    // person's hand gives it time to on a busy machine.
    sim.MouseMove(cellCentre(2, 20));
    Pump();
    sim.MouseDown();
    ASSERT_TRUE(PumpUntil([&] { return grid->ByteSelected(0x23); }));
    for (int col = 19; col >= 10; --col) {
        sim.MouseMove(cellCentre(2, col));
        Pump();
    }
    ASSERT_TRUE(PumpUntil([&] { return grid->ByteSelected(0x2A); }));
    sim.MouseUp();
    Pump();
    frame->fillValueField()->SetText("AA");
    // Clicked until the fill runs: on a loaded display a click can be lost.
    for (int attempt = 0; attempt < 3 && grid->model().CellEmpty(0x2A); ++attempt) {
        Click(frame->fillButton(), wxPoint(frame->fillButton()->GetSize().x / 2, 5));
        PumpUntil([&] { return !grid->model().CellEmpty(0x2A); }, 100);
    }
    ASSERT_FALSE(grid->model().CellEmpty(0x2A));
    for (uint32_t i = 0x20; i < 0x30; ++i) {
        SCOPED_TRACE(i);
        if (i >= 0x2A) {
            EXPECT_EQ(grid->model().GetCellByte(i), 0xAA);
        } else {
            EXPECT_TRUE(grid->model().CellEmpty(i));  // byte 0x23 among them
        }
    }
}

TEST_F(RealInput, FirstPageScrollsWithItsScrollbar) {
    BufferGrid* grid = frame->notebook()->GridAt(0);
    wxWindow* page = frame->notebook()->GetPage(0);
    const wxRect pageRect(page->GetScreenPosition(), page->GetClientSize());
    const wxRect gridRect = grid->GetScreenRect();
    EXPECT_LE(gridRect.GetRight(), pageRect.GetRight());
    // A drag down the grid's right edge, where its scrollbar is, scrolls the rows
    // and selects nothing.
    const int x = std::min(gridRect.GetRight(), pageRect.GetRight()) - 3;
    sim.MouseMove(wxPoint(x - 20, gridRect.y + 30));
    Pump();
    sim.MouseMove(wxPoint(x, gridRect.y + 30));
    PumpUntil([] { return false; }, 20);  // GTK shows the scrollbar under the pointer
    sim.MouseDown();
    Pump();
    for (int dy = 40; dy <= 200; dy += 40) {
        sim.MouseMove(wxPoint(x, gridRect.y + 30 + dy));
        Pump();
    }
    sim.MouseUp();
    ASSERT_TRUE(PumpUntil([&] { return grid->GetViewStart().y > 0; }));
    EXPECT_TRUE(grid->SelectedBlocks().empty());
}

TEST_F(RealInput, CompareBoxEntriesFollowThePagesWhenNamesRepeat) {
    Load("x.bin", 0x11);  // Buf0 -> x.bin
    Command(ID_NEW_BUFFER);
    Command(ID_NEW_BUFFER);
    Load("x.bin", 0x22);  // Buf2 -> x.bin
    Command(ID_CLOSE_BUFFER);
    ASSERT_EQ(PageNames(), (std::vector<std::string>{"x.bin", "Buf1"}));
    EXPECT_EQ(ComboEntries(), PageNames());
    ASSERT_EQ(frame->notebook()->GetSelection(), 1);
    // "Buf1" against itself: identical.
    hook.AnswerMessage(wxID_OK);
    Choose(frame->compareCombo(), 1);
    ASSERT_TRUE(PumpUntil([&] { return hook.shown().size() == 3; }));
    EXPECT_EQ(hook.LastMessage().text, "Bufory są identyczne!");
    EXPECT_EQ(PageNames(), (std::vector<std::string>{"x.bin", "Buf1"}));
}

TEST_F(RealInput, CompareBoxShowsTheNewNameOfTheShownPage) {
    Command(ID_NEW_BUFFER);  // Buf1, current and shown in the box (its last entry)
    Load("dane.bin", 0x33);
    EXPECT_EQ(ComboEntries(), (std::vector<std::string>{"Buf0", "dane.bin"}));
    EXPECT_EQ(Utf8(frame->compareCombo()->GetValue()), "dane.bin");
}

// A virtual clock that lets the test act in the middle of an operation.
class HookedClock final : public Clock {
  public:
    void SleepMs(uint32_t ms) override {
        inner_.SleepMs(ms);
        Hook();
    }
    uint32_t TickMs() override { return inner_.TickMs(); }
    uint64_t NowUs() override { return inner_.NowUs(); }
    void SleepUs(uint64_t us) override { inner_.SleepUs(us); }
    // Runs `action` once, at the `after`-th pause from now.
    void Once(int after, std::function<void()> action) {
        countdown_ = after;
        action_ = std::move(action);
    }

  private:
    void Hook() {
        if (action_ && --countdown_ <= 0) {
            auto action = std::move(action_);
            action_ = nullptr;
            action();
        }
    }
    VirtualClock inner_;
    int countdown_ = 0;
    std::function<void()> action_;
};

// The window on a virtual board the test watches.
class InputDuringOperation : public RealInput {
  protected:
    void SetUp() override {
        AppOptions options;
        options.ports.values = {"virtual", "virtual", "virtual", "virtual"};
        options.clock = &clock;
        options.openPort = [this](const std::string&, Clock&) { return board.OpenPort(); };
        frame = CreateMainFrame(std::move(options));
        frame->Raise();
        frame->modelCombo()->SetSelection(4);  // HC912D60x: 0C00, 1024 bytes
        wxCommandEvent chosen(wxEVT_COMBOBOX, ID_MODEL);
        chosen.SetInt(4);
        chosen.SetEventObject(frame->modelCombo());
        frame->modelCombo()->ProcessWindowEvent(chosen);
        Command(ID_CONNECT);
        ASSERT_TRUE(frame->readButton()->IsEnabled());
        Pump();
    }
    int OperationsSeen() const {
        // Every read and every write begins with one clock configuration frame.
        int n = 0;
        for (const sim::FrameRecord& f : board.FrameLog())
            n += !f.bytes.empty() && f.bytes[0] == 'U';
        return n;
    }
    void ClickButton(wxWindow* button) {
        sim.MouseMove(button->GetScreenRect().GetPosition() + button->GetSize() / 2);
        sim.MouseClick();
    }

    HookedClock clock;
    sim::VirtualBoard board{clock};
};

TEST_F(InputDuringOperation, ClicksOnTheRunningCommandAreDroppedNotReplayed) {
    for (wxWindow* button : {frame->readButton(), frame->writeButton()}) {
        SCOPED_TRACE(Utf8(button->GetName()) + " " + std::to_string(button->GetId()));
        board.ClearFrameLog();
        // Three more clicks on the same button while the operation runs; they reach
        // the window before it ends.
        clock.Once(20, [&] {
            for (int i = 0; i < 3; ++i)
                ClickButton(button);
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            gdk_display_sync(gdk_display_get_default());
        });
        sim.MouseMove(button->GetScreenRect().GetPosition() + button->GetSize() / 2);
        Pump();
        sim.MouseClick();
        ASSERT_TRUE(PumpUntil([&] { return OperationsSeen() >= 1 && frame->gauge() == nullptr; }));
        PumpUntil([] { return false; }, 30);  // time for any replayed click to run
        EXPECT_EQ(OperationsSeen(), 1);
        EXPECT_TRUE(frame->panel()->IsEnabled());
        EXPECT_TRUE(frame->readButton()->IsEnabled());
    }
    EXPECT_EQ(frame->GetStatusText(0), "Zapisano  1024  bajtów.");
}

TEST_F(InputDuringOperation, ReadLeavesTheTopRowWhole) {
    ClickButton(frame->readButton());
    ASSERT_TRUE(PumpUntil([&] { return OperationsSeen() >= 1 && frame->gauge() == nullptr; }));
    BufferGrid* grid = frame->notebook()->CurrentGrid();
    const int top = grid->GetViewStart().y * grid->GetScrollLineY();
    EXPECT_GT(top, 0);  // the read scrolled on
    EXPECT_EQ(top % grid->GetDefaultRowSize(), 0) << top;
}

TEST_F(InputDuringOperation, ClosingDuringAnOperationClosesOnceItEnds) {
    board.ClearFrameLog();
    // The window manager's close request, in the middle of a read.
    clock.Once(20, [&] {
        GdkEvent* request = gdk_event_new(GDK_DELETE);
        request->any.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(frame->GetHandle())));
        request->any.send_event = TRUE;
        gdk_event_put(request);
        gdk_event_free(request);
    });
    Command(ID_READ_EEPROM);
    // The whole window was read, every word twice.
    int wordReads = 0;
    for (const sim::FrameRecord& f : board.FrameLog())
        wordReads += !f.bytes.empty() && f.bytes[0] == 'L';
    EXPECT_EQ(wordReads, 1024);
    EXPECT_EQ(frame->GetStatusText(0), "Przeczytano  1024  bajtów.");
    // Then the window goes.
    EXPECT_TRUE(PumpUntil([] {
        wxTheApp->ProcessIdle();  // runs the pending deletions
        return wxTopLevelWindows.GetCount() == 0;
    }));
    frame = nullptr;
}

// The window in English under real input: the virtual board on COM1, and on COM2 one
// whose link dies in the middle of a read. Every box is really shown and looked at:
// its texts have their room (HC12_SCREENSHOTS=FOLDER keeps a picture of each).
class RealInputInEnglish : public RealInput {
  protected:
    void SetUp() override {
        english_ = std::make_unique<ScopedCatalog>(FindCatalog("en", {}));
        RealInput::SetUp();
    }
    void TearDown() override {
        RealInput::TearDown();
        english_.reset();
    }
    AppOptions Options() override {
        AppOptions options;
        options.ports.values = {"virtual", "virtual:fail-after=900", "/nonexistent/tty-c",
                                "/nonexistent/tty-d"};
        options.clock = &clock;
        return options;
    }
    // The next box is shown, checked for room and pictured, then closed.
    void LookAtNextBox(const std::string& picture) {
        hook.ShowMessage([picture](wxDialog* box) {
            Pump();
            std::vector<std::string> clipped;
            EXPECT_TRUE(TextsFit(box, &clipped)) << ::testing::PrintToString(clipped);
            // Wide enough for its caption on the title bar, too.
            EXPECT_GE(box->GetSize().x, box->GetTextExtent(box->GetTitle()).x + 100);
            Screenshot(picture);
        });
    }
    void ClickButton(wxWindow* button) {
        Click(button, wxPoint(button->GetSize().x / 2, button->GetSize().y / 2));
    }
    std::string Status(int field) { return Utf8(frame->GetStatusBar()->GetStatusText(field)); }
    // Waits for the next box and checks what it said.
    void ExpectBox(const char* text, const char* caption) {
        ASSERT_TRUE(PumpUntil([&] { return !hook.shown().empty(); }));
        EXPECT_EQ(hook.LastMessage().text, text);
        EXPECT_EQ(hook.LastMessage().caption, caption);
    }
    // Connects to the board of the menu port `id` as HC912D60x, by the user's input.
    void ConnectTo(int id) {
        Command(id);
        Choose(frame->modelCombo(), 4);
        ASSERT_EQ(Utf8(frame->modelCombo()->GetValue()), "HC912D60x");
        ClickButton(frame->connectButton());
        ASSERT_TRUE(PumpUntil([&] { return Status(3) == "Connected."; })) << Status(3);
        ASSERT_TRUE(frame->readButton()->IsEnabled());
    }

    VirtualClock clock;
    std::unique_ptr<ScopedCatalog> english_;
};

TEST_F(RealInputInEnglish, TheWindowSpeaksEnglishAndConnectWithoutAModelWarns) {
    EXPECT_EQ(Status(3), "Not connected.");
    EXPECT_EQ(Utf8(frame->GetMenuBar()->GetMenuLabel(0)), "&File");
    EXPECT_EQ(Utf8(frame->fillButton()->GetLabel()), "Fill");
    EXPECT_EQ(Utf8(frame->startLabel()->GetLabel()), "Start:");
    EXPECT_EQ(Utf8(frame->selectionCheckBox()->GetLabel()), "Selection");
    EXPECT_EQ(Utf8(frame->mainToolBar()->GetToolShortHelp(ID_ABOUT)), "About the program");
    std::vector<std::string> clipped;
    EXPECT_TRUE(TextsFit(frame, &clipped)) << ::testing::PrintToString(clipped);
    Screenshot("en-window");

    LookAtNextBox("en-choose-model");
    ClickButton(frame->connectButton());
    ExpectBox("Choose the microcontroller model!", "Warning");
    EXPECT_EQ(Status(3), "Not connected.");
}

TEST_F(RealInputInEnglish, AReadOnTheVirtualBoardAndACompare) {
    ConnectTo(ID_COM1);
    ClickButton(frame->readButton());
    ASSERT_TRUE(PumpUntil([&] { return !Status(0).empty(); }));
    EXPECT_EQ(Status(0), "Read 1024 bytes.");
    EXPECT_EQ(frame->notebook()->CurrentGrid()->model().GetCellByte(0), 0xFF);
    Screenshot("en-read");

    // An empty page beside it: every cell of the read page differs.
    Command(ID_NEW_BUFFER);
    ASSERT_EQ(PageNames(), (std::vector<std::string>{"Buf0", "Buf1"}));
    LookAtNextBox("en-compare");
    Choose(frame->compareCombo(), 0);
    ExpectBox("Total: 1024 differences.", "Differences");
    EXPECT_EQ(Status(1), "Total: 1024 differences.");
    EXPECT_EQ(PageNames().back(), "\"Buf1\" and \"Buf0\"");
    Screenshot("en-compared");
}

TEST_F(RealInputInEnglish, ALostLinkInTheMiddleOfARead) {
    ConnectTo(ID_COM2);
    LookAtNextBox("en-link-lost");
    ClickButton(frame->readButton());
    ExpectBox("Lost the connection with the interface!", "Error");
    EXPECT_EQ(Status(3), "Not connected.");
    EXPECT_FALSE(frame->readButton()->IsEnabled());
    // What came before the link died is reported in English too.
    const std::string read = Status(0);
    EXPECT_EQ(read.rfind("Read ", 0), 0u) << read;
    EXPECT_NE(read, "Read 1024 bytes.");
    Screenshot("en-after-link-lost");
}

}  // namespace
}  // namespace hc12::testing
