// The Windows window under Wine, driven with real clicks and keys (SendInput)
// against hc12prog-board on pseudo-terminals that Wine maps to COM ports.
// tools/wine-window.sh sets the stage and checks afterwards what the board's
// EEPROM and the saved files hold:
//
//   COM1  hc12prog-board playing HC912D60x on an 8 MHz quartz, EEPROM preloaded
//   COM2  a second such board, stopped by the script in the middle of a read and
//         its port unmapped, as when a USB adapter is pulled out
//   COM3  mapped to nothing: a port that does not exist
//   COM12 the first board again (a port only the \\.\COMn form reaches)
//   COM4  a third board, its device held exclusively by another program until the
//         test asks the script to let it go
//   HC12_WINE_WORK  the folder (a Windows path) with preload.bin, the S-record file
//                   to load, and where the saved file and the hand-over files go
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>  // after windows.h

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <thread>

#include <wx/bmpbuttn.h>
#include <wx/combobox.h>
#include <wx/menu.h>
#include <wx/statusbr.h>
#include <wx/toolbar.h>
#include <wx/uiaction.h>

#include "BufferGrid.h"
#include "BufferNotebook.h"
#include "FilteredTextField.h"
#include "GuiTestSupport.h"
#include "Ids.h"
#include "ProgrammerApp.h"

namespace hc12::testing {
namespace {

namespace fs = std::filesystem;

constexpr int kHc912d60xRow = 4;  // 0C00, 1024 bytes

fs::path WorkDir() {
    const wchar_t* dir = _wgetenv(L"HC12_WINE_WORK");
    return dir ? fs::path(dir) : fs::path();
}

std::vector<uint8_t> ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::string FromWide(const wchar_t* text, int length = -1) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string out(size_t(n > 0 ? n : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, length, out.data(), n, nullptr, nullptr);
    if (length < 0 && !out.empty())
        out.pop_back();  // the terminating zero
    return out;
}

std::string Utf8Path(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

// What a native window shows as its text, as UTF-8.
std::string NativeText(HWND window) {
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return FromWide(text);
}

// The real clock, with a hook that runs once at a chosen reading of the tick (every
// wait for a reply reads it), so a test can act in the middle of an operation.
class HookedClock final : public Clock {
  public:
    void SleepMs(uint32_t ms) override { inner_.SleepMs(ms); }
    uint32_t TickMs() override {
        if (action_ && --countdown_ <= 0) {
            auto action = std::move(action_);
            action_ = nullptr;
            action();
        }
        return inner_.TickMs();
    }
    uint64_t NowUs() override { return inner_.NowUs(); }
    void SleepUs(uint64_t us) override { inner_.SleepUs(us); }
    void Once(int after, std::function<void()> action) {
        countdown_ = after;
        action_ = std::move(action);
    }

  private:
    SteadyClock inner_;
    int countdown_ = 0;
    std::function<void()> action_;
};

class WindowOnComPort : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(WorkDir().empty()) << "HC12_WINE_WORK is not set (tools/wine-window.sh)";
        AppOptions options;  // COM1..COM4 are the Windows ports themselves
        options.clock = &clock;
        frame = CreateMainFrame(std::move(options));
        frame->Raise();
        Pump();
    }
    void TearDown() override {
        DestroyFrame(frame);
        hook.ExpectAllAnswersUsed();
    }

    // A port chosen in the "Połączenie" menu with the keys.
    void ChoosePort(int id) { ASSERT_TRUE(PickMenuItemByKeys(sim, frame, 1, id)); }
    std::string Status(int field) { return Utf8(frame->GetStatusBar()->GetStatusText(field)); }

    void ClickAt(wxPoint screen) {
        sim.MouseMove(screen);
        Pump();
        sim.MouseClick();
        Pump();
    }
    void Click(wxWindow* window) {
        ClickAt(window->GetScreenRect().GetPosition() + window->GetSize() / 2);
    }
    void Key(int key, int modifiers = wxMOD_NONE) {
        sim.Char(key, modifiers);
        Pump();
    }

    // A tool of the toolbar, found where the toolbar reports it under the pointer.
    void ClickTool(int id) {
        wxToolBar* bar = frame->mainToolBar();
        const int y = bar->GetToolSize().y / 2 + 2;
        for (int x = 0; x < bar->GetClientSize().x; x += 2) {
            const wxToolBarToolBase* tool = bar->FindToolForPosition(x, y);
            if (tool != nullptr && tool->GetId() == id) {
                // The middle of the tool: on from its left edge.
                int right = x;
                while (bar->FindToolForPosition(right + 1, y) == tool)
                    ++right;
                ClickAt(bar->ClientToScreen(wxPoint((x + right) / 2, y)));
                return;
            }
        }
        ADD_FAILURE() << "tool " << id << " not found on the toolbar";
    }

    static bool ListShown(wxComboBox* combo) {
        return SendMessageW(HWND(combo->GetHandle()), CB_GETDROPPEDSTATE, 0, 0) != 0;
    }
    // Opens the combo box's list with a click on its arrow and walks to entry
    // `index` with the keys, as a user does.
    void Choose(wxComboBox* combo, int index) {
        const wxSize size = combo->GetSize();
        for (int attempt = 0; attempt < 3 && !ListShown(combo); ++attempt) {
            ClickAt(combo->GetScreenPosition() + wxPoint(size.x - 8, size.y / 2));
            PumpUntil([combo] { return ListShown(combo); }, 50);
        }
        ASSERT_TRUE(ListShown(combo));
        const int steps = index - std::max(combo->GetSelection(), 0);
        for (int i = 0; i < std::abs(steps); ++i)
            Key(steps > 0 ? WXK_DOWN : WXK_UP);
        Key(WXK_RETURN);
        ASSERT_TRUE(PumpUntil([combo] { return !ListShown(combo); }));
        Pump();
    }

    // The screen point in the middle of a cell of the current page.
    wxPoint CellCentre(int row, int col) {
        BufferGrid* grid = frame->notebook()->CurrentGrid();
        const wxRect r = grid->CellToRect(row, col);
        const wxPoint shown = grid->CalcScrolledPosition(r.GetPosition());
        return grid->GetGridWindow()->ClientToScreen(shown + r.GetSize() / 2);
    }

    void ChooseModelAndConnect(int port) {
        Choose(frame->modelCombo(), kHc912d60xRow);
        ASSERT_EQ(Utf8(frame->startField()->GetValue()), "0C00");
        ASSERT_EQ(Utf8(frame->quartzCombo()->GetValue()), "Auto");
        ChoosePort(port);
        ASSERT_TRUE(PumpUntil([&] { return frame->GetMenuBar()->IsChecked(port); }));
        ASSERT_TRUE(hook.shown().empty()) << hook.shown().front().text;
        Click(frame->connectButton());
        ASSERT_TRUE(PumpUntil([&] { return Status(3) == "Połączony."; }, 3000)) << Status(3);
        EXPECT_EQ(Utf8(frame->quartzCombo()->GetValue()), "8MHz");
    }

    DialogHook hook;
    HookedClock clock;
    MainFrame* frame = nullptr;
    wxUIActionSimulator sim;
};

TEST_F(WindowOnComPort, PolishTextsReachTheNativeControls) {
    EXPECT_EQ(NativeText(HWND(frame->GetHandle())), "Motorola HC9(S)12 ver.3.0  by Harnvale");
    EXPECT_EQ(NativeText(HWND(frame->fillButton()->GetHandle())), "Wypełnij");
    wchar_t field[128] = {};
    SendMessageW(HWND(frame->GetStatusBar()->GetHandle()), SB_GETTEXTW, 3, LPARAM(field));
    EXPECT_EQ(FromWide(field), "Brak połączenia.");
    wchar_t menu[64] = {};
    GetMenuStringW(HMENU(frame->GetMenuBar()->GetHMenu()), 1, menu, 64, MF_BYPOSITION);
    EXPECT_EQ(FromWide(menu), "&Połączenie");
}

// The small controls sit on the toolbar, each as tall as one line: the combo boxes
// are drop-down lists, not lists that take the room of their entries.
TEST_F(WindowOnComPort, ToolbarControlsSitOnTheToolbar) {
    wxToolBar* bar = frame->mainToolBar();
    const wxRect toolbar = bar->GetScreenRect();
    EXPECT_LT(toolbar.height, 4 * bar->GetToolSize().y);
    for (wxWindow* w : std::initializer_list<wxWindow*>{
             frame->modelCombo(), frame->quartzCombo(), frame->startField(), frame->countField(),
             frame->fillValueField(), frame->fillButton()}) {
        const wxRect r = w->GetScreenRect();
        EXPECT_TRUE(toolbar.Contains(r)) << Utf8(w->GetName());
        EXPECT_LT(r.height, 2 * frame->startField()->GetSize().y) << Utf8(w->GetName());
    }
    EXPECT_LT(frame->compareCombo()->GetSize().y, 2 * frame->startField()->GetSize().y);
}

// At the screen's DPI (tools/wine-window.sh runs this at 96 and again with Wine's
// display at 144, as a 150 % Windows setting): every text has its room, the
// toolbar's controls neither overlap nor leave the toolbar, the boxes of the
// right-hand column hold their controls inside the window, and the grid's labels
// and cells hold their texts.
TEST_F(WindowOnComPort, LayoutFitsTheScreenDpi) {
    if (const char* dpi = std::getenv("HC12_WINE_DPI")) {
        ASSERT_EQ(frame->GetDPI().y, std::atoi(dpi)) << "Wine did not take the DPI asked for";
    }
    const std::vector<std::string> faults = LayoutFaults(frame);
    EXPECT_TRUE(faults.empty()) << ::testing::PrintToString(faults);
    // The native check box draws its text up to its right edge: the border line of
    // the box around it stays clear of it.
    const wxRect check = frame->selectionCheckBox()->GetScreenRect();
    const wxRect box = frame->readWriteBox()->GetScreenRect();
    EXPECT_LE(check.GetRight(), box.GetRight() - frame->FromDIP(2));
}

// Pick the model, connect with the quartz left at Auto, narrow the window, read,
// change one byte in the grid and write it; the script then finds that byte (and
// only it) changed in the board's EEPROM.
TEST_F(WindowOnComPort, SessionWithTheBoard) {
    ChooseModelAndConnect(ID_COM1);

    // The count field: to its end, the digits away, 64 typed in.
    ClickAt(frame->countField()->GetScreenRect().GetPosition() + wxPoint(5, 5));
    Key(WXK_END);
    for (int i = 0; i < 8; ++i)
        Key(WXK_BACK);
    sim.Text("64");
    ASSERT_TRUE(PumpUntil([&] { return Utf8(frame->countField()->GetValue()) == "64"; }));

    Click(frame->readButton());
    ASSERT_TRUE(PumpUntil([&] { return Status(0).rfind("Przeczytano  64  ", 0) == 0; }, 3000))
        << Status(0);
    const std::vector<uint8_t> preload = ReadFile(WorkDir() / "preload.bin");
    ASSERT_GE(preload.size(), 64u);
    for (uint32_t i = 0; i < 64; ++i)
        ASSERT_EQ(frame->GetCellByte(i), preload[i]) << i;

    // Byte 5 (0C05) typed over in its hexadecimal cell.
    const uint8_t value = preload[5] == 0xA5 ? 0x5A : 0xA5;
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02x", value);
    ClickAt(CellCentre(0, 5));
    sim.Text(digits);
    Pump();
    Key(WXK_RETURN);
    ASSERT_TRUE(PumpUntil([&] { return frame->GetCellByte(5) == value; }))
        << int(frame->GetCellByte(5));
    {
        std::ofstream note(WorkDir() / "edited.txt");
        note << "5 " << int(value) << "\n";
    }

    Click(frame->writeButton());
    ASSERT_TRUE(PumpUntil([&] { return Status(0).rfind("Zapisano  64  ", 0) == 0; }, 6000))
        << Status(0);
    EXPECT_EQ(Status(1).find("Nieudanych"), std::string::npos) << Status(1);
    EXPECT_TRUE(hook.shown().empty());
}

// A port from COM10 up (which only the "\\.\COMn" form can name) on a menu
// entry: the board behind it answers.
TEST_F(WindowOnComPort, PortFromCom10UpOnAMenuEntry) {
    DestroyFrame(frame);
    AppOptions options;
    std::string error;
    ASSERT_TRUE(ParsePortOptions({"--port", "COM3=COM12"}, options.ports, &error)) << error;
    options.clock = &clock;
    frame = CreateMainFrame(std::move(options));
    frame->Raise();
    ChooseModelAndConnect(ID_COM3);
}

// An S-record file with a Polish name in, through the toolbar's open tool, and the
// page out again as S-records under another Polish name.
TEST_F(WindowOnComPort, SRecordFileInAndOut) {
    Choose(frame->modelCombo(), kHc912d60xRow);
    const fs::path in = WorkDir() / L"wejście.s19";
    const fs::path out = WorkDir() / L"zapis_łódź.s19";
    const std::vector<uint8_t> data = ReadFile(WorkDir() / "srec-data.bin");  // at 0C10
    ASSERT_EQ(data.size(), 32u);

    hook.AnswerFile(Utf8Path(in));
    ClickTool(ID_OPEN_FILE);
    ASSERT_TRUE(PumpUntil([&] { return hook.shown().size() == 1; }));
    EXPECT_EQ(Utf8(frame->notebook()->GetPageText(0)), "wejście.s19");
    for (uint32_t i = 0; i < 0x40; ++i) {
        if (i >= 0x10 && i < 0x30)
            ASSERT_EQ(frame->GetCellByte(i), data[i - 0x10]) << i;
        else
            ASSERT_TRUE(frame->CellEmpty(i)) << i;
    }

    hook.AnswerFile(Utf8Path(out), wxID_OK, 1);  // "S-rekordy Motoroli"
    ClickTool(ID_SAVE_FILE);
    ASSERT_TRUE(PumpUntil([&] { return hook.shown().size() == 2; }));
    EXPECT_TRUE(fs::is_regular_file(out));
}

TEST_F(WindowOnComPort, AboutBox) {
    bool seen = false;
    hook.ShowMessage([&](wxDialog* box) {
        seen = true;
        EXPECT_TRUE(box->IsShownOnScreen());
        EXPECT_EQ(NativeText(HWND(box->GetHandle())), "Informacja:");
        std::vector<std::string> clipped;
        EXPECT_TRUE(TextsFit(box, &clipped)) << ::testing::PrintToString(clipped);
    });
    ClickTool(ID_ABOUT);
    ASSERT_TRUE(PumpUntil([&] { return seen; }));
    EXPECT_EQ(hook.LastMessage().text, "Wersja 3.0");
}

// A port that does not exist and one that another program holds give the same
// message; once the other program lets the port go, it opens.
TEST_F(WindowOnComPort, MissingAndBusyPorts) {
    const std::string portError = "Niewłaściwa nazwa portu lub port jest aktywny.";
    hook.AnswerMessage(wxID_OK);
    ChoosePort(ID_COM3);
    ASSERT_TRUE(PumpUntil([&] { return hook.shown().size() == 1; }));
    EXPECT_EQ(hook.LastMessage().text, portError);
    EXPECT_EQ(hook.LastMessage().caption, "Błąd");

    hook.AnswerMessage(wxID_OK);
    ChoosePort(ID_COM4);
    ASSERT_TRUE(PumpUntil([&] { return hook.shown().size() == 2; }));
    EXPECT_EQ(hook.LastMessage().text, portError);

    std::ofstream(WorkDir() / "release-com4") << "COM4\n";
    for (int i = 0; i < 400 && !fs::exists(WorkDir() / "com4-released"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_TRUE(fs::exists(WorkDir() / "com4-released")) << "the script did not let COM4 go";
    ChoosePort(ID_COM4);
    PumpUntil([] { return false; }, 50);  // time for a box that must not come
    EXPECT_EQ(hook.shown().size(), 2u);
}

// The board stopped (the USB adapter pulled out) in the middle of a read: the
// read ends with the lost-link box, the window is no longer connected, and the
// port is no longer taken for open.
TEST_F(WindowOnComPort, BoardStoppedDuringARead) {
    ChooseModelAndConnect(ID_COM2);
    std::atomic<bool> stopped{false};
    clock.Once(300, [&] {
        std::ofstream(WorkDir() / "stop-board") << "COM2\n";
        // The script stops the board and says so (within a bounded time).
        for (int i = 0; i < 400 && !fs::exists(WorkDir() / "board-stopped"); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        stopped = fs::exists(WorkDir() / "board-stopped");
    });
    hook.AnswerMessage(wxID_OK);
    hook.AnswerMessage(wxID_OK);
    Click(frame->readButton());
    ASSERT_TRUE(PumpUntil([&] { return hook.shown().size() == 2; }, 3000));
    ASSERT_TRUE(stopped) << "the script did not stop the board";
    // As for an adapter pulled out on Linux: one box of each kind.
    EXPECT_EQ(hook.shown()[0].text, "Wykryto błędy I/O");
    EXPECT_EQ(hook.shown()[1].text, "Utracono połącznie z interfejsem! ");
    EXPECT_EQ(hook.LastMessage().caption, "Błąd");
    EXPECT_EQ(Status(3), "Brak połączenia.");
    EXPECT_FALSE(frame->readButton()->IsEnabled());
    // The bytes read before the link was lost are counted, not the whole window.
    EXPECT_NE(Status(0), "Przeczytano  1024  bajtów.");

    // Chosen again, the port is opened afresh, and its device is gone. (Another port
    // first: the menu sends nothing for the entry already ticked.)
    hook.AnswerMessage(wxID_OK);
    ChoosePort(ID_COM1);
    ASSERT_TRUE(PumpUntil([&] { return frame->GetMenuBar()->IsChecked(ID_COM1); }));
    ChoosePort(ID_COM2);
    ASSERT_TRUE(PumpUntil([&] { return hook.shown().size() == 3; }));
    EXPECT_EQ(hook.LastMessage().text, "Niewłaściwa nazwa portu lub port jest aktywny.");
}

}  // namespace
}  // namespace hc12::testing
