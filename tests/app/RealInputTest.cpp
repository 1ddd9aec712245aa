// The window driven as a user drives it: real clicks, drags and keys through the
// display server, reaching the widgets the way a person's input does.
#include <gtest/gtest.h>

#include <unistd.h>

#include <gtk/gtk.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include <wx/app.h>
#include <wx/artprov.h>
#include <wx/dcmemory.h>
#include <wx/dcscreen.h>
#include <wx/menu.h>
#include <wx/msgdlg.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>
#include <wx/statusbr.h>
#include <wx/stockitem.h>
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

namespace fs = std::filesystem;

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
    void Choose(wxComboBox* combo, int index) { ASSERT_TRUE(ChooseInCombo(sim, combo, index)); }

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

    // A click on the tab of page `index`.
    void ClickTab(size_t index) {
        BufferNotebook* notebook = frame->notebook();
        for (int y = 2; y < 60; y += 4)
            for (int x = 2; x < notebook->GetSize().x; x += 4) {
                long flags = 0;
                if (notebook->HitTest(wxPoint(x, y), &flags) == int(index)) {
                    ClickOn(sim, notebook, wxPoint(x, y));
                    return;
                }
            }
        ADD_FAILURE() << "no tab " << index;
    }
    void ClickTool(int id) {
        const wxRect tool = ToolScreenRect(frame->mainToolBar(), id);
        ASSERT_FALSE(tool.IsEmpty()) << id;
        sim.MouseMove(tool.GetPosition() + tool.GetSize() / 2);
        Pump();
        sim.MouseClick();
    }
    void ClickButton(wxDialog* box, int id) { ClickButtonOf(sim, box, id); }
    void PressEscape(wxDialog* box) {
        InputUntilClosed(box, [&] { sim.Char(WXK_ESCAPE); });
    }
    // The window manager's close request (the title bar's close box).
    static void SendCloseRequest(wxWindow* window) {
        GdkEvent* request = gdk_event_new(GDK_DELETE);
        request->any.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(window->GetHandle())));
        request->any.send_event = TRUE;
        gdk_event_put(request);
        gdk_event_free(request);
    }
    static void CloseBox(wxDialog* box) {
        InputUntilClosed(box, [box] { SendCloseRequest(box); });
    }
    // The next box shown for real: looked at, then closed by `close`; waits until
    // the action that opens it has shown and closed it.
    struct BoxLook {
        std::string caption;
        std::string text;          // its lines, joined by blanks
        std::vector<int> buttons;  // their identifiers, sorted
        wxBitmap icon;             // what its icon shows; none: not IsOk()
    };
    static void LookInside(wxWindow* window, BoxLook& look) {
        for (wxWindow* child : window->GetChildren()) {
            if (!child->IsShownOnScreen())
                continue;
            if (auto* text = dynamic_cast<wxStaticText*>(child)) {
                look.text += (look.text.empty() ? "" : " ") + Utf8(text->GetLabel());
            } else if (auto* button = dynamic_cast<wxButton*>(child)) {
                look.buttons.push_back(button->GetId());
                // Each button says what it does, as the toolkit words it.
                EXPECT_EQ(Utf8(button->GetLabelText()),
                          Utf8(wxGetStockLabel(button->GetId(), wxSTOCK_NOFLAGS)));
            } else if (auto* icon = dynamic_cast<wxStaticBitmap*>(child)) {
                look.icon = icon->GetBitmap();
            }
            LookInside(child, look);
        }
    }
    BoxLook ShowBox(const std::function<void()>& action,
                    const std::function<void(wxDialog*)>& close) {
        BoxLook look;
        const size_t before = hook.shown().size();
        hook.ShowMessageAndClose([&](wxDialog* box) {
            look.caption = Utf8(box->GetTitle());
            LookInside(box, look);
            std::sort(look.buttons.begin(), look.buttons.end());
            close(box);
        });
        action();
        EXPECT_TRUE(PumpUntil([&] {
            return hook.shown().size() > before && hook.shown().back().result != wxID_NONE;
        })) << "no box was shown and closed";
        return look;
    }
    static std::string OneLine(std::string text) {
        std::replace(text.begin(), text.end(), '\n', ' ');
        return text;
    }
    static bool SameImage(const wxBitmap& a, const wxBitmap& b) {
        const wxImage ia = a.ConvertToImage(), ib = b.ConvertToImage();
        if (!ia.IsOk() || !ib.IsOk() || ia.GetSize() != ib.GetSize())
            return false;
        const size_t n = size_t(ia.GetWidth()) * size_t(ia.GetHeight());
        if (std::memcmp(ia.GetData(), ib.GetData(), n * 3) != 0)
            return false;
        return ia.HasAlpha() == ib.HasAlpha() &&
               (!ia.HasAlpha() || std::memcmp(ia.GetAlpha(), ib.GetAlpha(), n) == 0);
    }
    fs::path TempFile(const std::string& name, const std::string& bytes) {
        const fs::path path = fs::path(::testing::TempDir()) /
                              ("hc12_input_" + std::to_string(getpid()) + "_" + name);
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
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
    auto cellCentre = [grid](int row, int col) { return CellScreenCentre(grid, row, col); };
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
    // A loaded display server may fold the last motions together: the hand moves
    // off the last cell and back, as a person would, until the grid has seen it.
    for (int attempt = 0; attempt < 3 && !PumpUntil([&] { return grid->ByteSelected(0x2A); });
         ++attempt) {
        sim.MouseMove(cellCentre(2, 11));
        Pump();
        sim.MouseMove(cellCentre(2, 10));
    }
    ASSERT_TRUE(grid->ByteSelected(0x2A));
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

// Each kind of box the program shows, opened by what a user does and looked at on
// the screen: its icon (the theme's icon of its kind, or none), caption, text and
// buttons. A box without an icon once tripped the toolkit's assertion and came up
// with the error icon.
TEST_F(RealInput, EveryKindOfBoxShowsItsIconCaptionTextAndButtons) {
    const auto okButton = [this](wxDialog* box) { ClickButton(box, wxID_OK); };
    const auto noButton = [this](wxDialog* box) { ClickButton(box, wxID_NO); };
    const auto icon = [](long kind) { return wxBitmap(wxArtProvider::GetMessageBoxIcon(kind)); };
    const std::vector<int> ok{wxID_OK};
    const std::vector<int> yesNo{std::min(wxID_YES, wxID_NO), std::max(wxID_YES, wxID_NO)};

    // Information: the Help tool.
    BoxLook look = ShowBox([&] { ClickTool(ID_ABOUT); }, okButton);
    EXPECT_EQ(look.caption, "Informacja:");
    EXPECT_EQ(look.text, "Wersja 3.0");
    EXPECT_EQ(look.buttons, ok);
    EXPECT_TRUE(SameImage(look.icon, icon(wxICON_INFORMATION)));

    // No icon: a new page compared with the first one.
    ClickTool(ID_NEW_BUFFER);
    ASSERT_TRUE(PumpUntil([&] { return frame->notebook()->GetPageCount() == 2; }));
    look = ShowBox([&] { Choose(frame->compareCombo(), 0); }, okButton);
    EXPECT_EQ(look.caption, "Różnice");
    EXPECT_EQ(look.text, "Bufory są identyczne!");
    EXPECT_EQ(look.buttons, ok);
    EXPECT_FALSE(look.icon.IsOk());

    // Exclamation: a ninth page asked for.
    while (frame->notebook()->GetPageCount() < 8) {
        const size_t pages = frame->notebook()->GetPageCount();
        ClickTool(ID_NEW_BUFFER);
        ASSERT_TRUE(PumpUntil([&] { return frame->notebook()->GetPageCount() > pages; }));
    }
    look = ShowBox([&] { ClickTool(ID_NEW_BUFFER); }, okButton);
    EXPECT_EQ(look.caption, "Ostrzeżenie");
    EXPECT_EQ(look.text, "Osiągnięto maksimum zakładek!");
    EXPECT_EQ(look.buttons, ok);
    EXPECT_TRUE(SameImage(look.icon, icon(wxICON_EXCLAMATION)));
    EXPECT_EQ(frame->notebook()->GetPageCount(), 8u);

    // Error: a file that is not there.
    hook.AnswerFile((fs::path(::testing::TempDir()) / "hc12-no-such-file.bin").string());
    look = ShowBox([&] { ClickTool(ID_OPEN_FILE); }, okButton);
    EXPECT_EQ(look.caption, "Błąd");
    EXPECT_EQ(look.text, "Nie moge otworzyc pliku");
    EXPECT_EQ(look.buttons, ok);
    EXPECT_TRUE(SameImage(look.icon, icon(wxICON_ERROR)));

    // Question, Yes and No: a file larger than the page.
    const fs::path large = TempFile("large.bin", std::string(600, '\x5A'));
    hook.AnswerFile(large.string());
    look = ShowBox([&] { ClickTool(ID_OPEN_FILE); }, noButton);
    fs::remove(large);
    EXPECT_EQ(look.caption, "Ostrzeżenie");
    EXPECT_EQ(look.text, "Plik jest większy niż wczytywana pamięć! . Czy otworzyć mimo to?");
    EXPECT_EQ(look.buttons, yesNo);
    EXPECT_TRUE(SameImage(look.icon, icon(wxICON_QUESTION)));
    EXPECT_EQ(hook.shown().back().result, wxID_NO);

    // The icons of the kinds are told apart.
    EXPECT_FALSE(SameImage(icon(wxICON_ERROR), icon(wxICON_EXCLAMATION)));
    EXPECT_FALSE(SameImage(icon(wxICON_QUESTION), icon(wxICON_INFORMATION)));
}

// A question put away without an answer (Escape, the title bar's close box) is a
// No; only Yes goes on.
TEST_F(RealInput, DismissingAQuestionAnswersNo) {
    const fs::path large = TempFile("600.bin", std::string(600, '\x11'));
    // Bytes at 0D01..0D03: outside the page's window 0000..01FF.
    const fs::path records = TempFile("far.s19", "S1060D01AABBCCBA\nS9030000FC\n");
    const auto escape = [this](wxDialog* box) { PressEscape(box); };
    const auto closeBox = [](wxDialog* box) { CloseBox(box); };
    const auto yes = [this](wxDialog* box) { ClickButton(box, wxID_YES); };
    struct Case {
        const char* what;
        fs::path file;
        int fileType;
        std::function<void(wxDialog*)> close;
        bool loaded;
    };
    const Case cases[] = {
        {"escape, larger file", large, 0, escape, false},
        {"close box, larger file", large, 0, closeBox, false},
        {"escape, window move", records, 1, escape, false},
        {"close box, window move", records, 1, closeBox, false},
        {"yes, larger file", large, 0, yes, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        hook.AnswerFile(c.file.string(), wxID_OK, c.fileType);
        ShowBox([&] { ClickTool(ID_OPEN_FILE); }, c.close);
        EXPECT_EQ(hook.shown().back().style & wxYES_NO, wxYES_NO);
        Pump();
        BufferGrid* grid = frame->notebook()->CurrentGrid();
        EXPECT_EQ(grid->count(), c.loaded ? 600u : 512u);
        EXPECT_EQ(grid->start(), 0u);
        EXPECT_EQ(Utf8(frame->startField()->GetValue()), "0000");
        EXPECT_EQ(PageNames().front(),
                  c.loaded ? "hc12_input_" + std::to_string(getpid()) + "_600.bin" : "Buf0");
    }
    fs::remove(large);
    fs::remove(records);
}

// The compare box keeps its size whatever names its list holds (a compare result's
// name is long), so its arrow stays clickable; its list shows long names whole.
TEST_F(RealInput, CompareBoxKeepsItsSizeAndShowsLongNamesWhole) {
    wxComboBox* combo = frame->compareCombo();
    const wxSize size = combo->GetSize();
    Load("f64.bin", 0x11);  // Buf0 -> f64.bin
    for (size_t pages : {2u, 3u}) {
        ClickTool(ID_NEW_BUFFER);
        ASSERT_TRUE(PumpUntil([&] { return frame->notebook()->GetPageCount() == pages; }));
    }
    ClickTab(0);
    ASSERT_TRUE(PumpUntil([&] { return frame->notebook()->GetSelection() == 0; }));
    hook.AnswerMessage(wxID_OK);  // the differences
    Choose(combo, 2);
    ASSERT_TRUE(PumpUntil([&] { return frame->notebook()->GetPageCount() == 4; }));
    const std::string longName = "\"f64.bin\" i \"Buf2\"";
    ASSERT_EQ(PageNames().back(), longName);
    ClickTab(1);
    ASSERT_TRUE(PumpUntil([&] { return frame->notebook()->GetSelection() == 1; }));
    ClickTool(ID_NEW_BUFFER);
    ASSERT_TRUE(PumpUntil([&] { return frame->notebook()->GetPageCount() == 5; }));
    // The window resized: the column is laid out again.
    frame->SetSize(705, 700);
    PumpUntil([] { return false; }, 10);

    EXPECT_EQ(combo->GetSize(), size);
    EXPECT_LE(combo->GetScreenRect().GetRight(), frame->panel()->GetScreenRect().GetRight());
    // A click on the arrow opens the list; the long name fits in it.
    ClickOn(sim, combo, wxPoint(combo->GetSize().x - 8, combo->GetSize().y / 2));
    ASSERT_TRUE(PumpUntil([&] { return ComboPopupShown(combo); }));
    GtkWidget* list = gtk_accessible_get_widget(
        GTK_ACCESSIBLE(gtk_combo_box_get_popup_accessible(GTK_COMBO_BOX(combo->GetHandle()))));
    ASSERT_NE(list, nullptr);
    PumpUntil([&] { return gtk_widget_get_allocated_width(list) > 1; });
    EXPECT_GT(gtk_widget_get_allocated_width(list),
              combo->GetTextExtent(wxString::FromUTF8(longName)).x);
    sim.Char(WXK_ESCAPE);
    EXPECT_TRUE(PumpUntil([&] { return !ComboPopupShown(combo); }));
}

// What typed bytes look like on the screen: a three-digit text stays inside its
// cell, and bytes without a character in the code page show the dot that other
// bytes without a printable character show.
TEST_F(RealInput, TypedCellsAreDrawnInsideTheirCellsAndBytesWithoutACharacterAsADot) {
    BufferGrid* grid = frame->notebook()->CurrentGrid();
    auto type = [&](uint32_t index, const std::string& text) {
        sim.MouseMove(CellScreenCentre(grid, int(index / 16), int(index % 16)));
        Pump();
        sim.MouseClick();
        Pump();
        TypeKeys(sim, text);
        sim.Char(WXK_RETURN);
        ASSERT_TRUE(PumpUntil([&] {
            return Utf8(grid->GetCellValue(int(index / 16), int(index % 16))) == text;
        })) << text;
    };
    type(0x20, "123");
    const std::vector<std::string> noCharacter = {"81", "83", "88", "90", "98"};
    for (size_t i = 0; i < noCharacter.size(); ++i)
        type(uint32_t(0x30 + i), noCharacter[i]);
    type(0x36, "1F");  // a control byte: a dot
    // Nothing selected near them, the editor closed, everything painted.
    sim.MouseMove(CellScreenCentre(grid, 10, 8));
    Pump();
    sim.MouseClick();
    ASSERT_TRUE(
        PumpUntil([&] { return grid->ByteSelected(0xA8) && !grid->IsCellEditControlShown(); }));
    grid->Refresh();
    grid->Update();
    PumpUntil([] { return false; }, 10);

    auto shot = [&](int row, int col) {
        const wxRect cell = grid->CellToRect(row, col);
        const wxPoint at =
            grid->GetGridWindow()->ClientToScreen(grid->CalcScrolledPosition(cell.GetPosition()));
        wxBitmap bitmap(cell.GetSize());
        wxMemoryDC memory(bitmap);
        wxScreenDC screen;
        memory.Blit(0, 0, cell.width, cell.height, &screen, at.x, at.y);
        memory.SelectObject(wxNullBitmap);
        return bitmap.ConvertToImage();
    };
    auto plain = [](const wxImage& image) {
        for (int y = 0; y < image.GetHeight(); ++y)
            for (int x = 0; x < image.GetWidth(); ++x)
                if (image.GetRed(x, y) != image.GetRed(0, 0) ||
                    image.GetGreen(x, y) != image.GetGreen(0, 0) ||
                    image.GetBlue(x, y) != image.GetBlue(0, 0))
                    return false;
        return true;
    };
    // "123": drawn in its cell, nothing of it in the empty cells beside it.
    EXPECT_FALSE(plain(shot(2, 0)));
    EXPECT_TRUE(plain(shot(2, 1)));
    EXPECT_TRUE(plain(shot(1, 15)));
    // The character view of 81, 83, 88, 90 and 98: what 1F shows.
    const wxImage dot = shot(3, 6 + 17);
    EXPECT_FALSE(plain(dot));
    for (size_t i = 0; i < noCharacter.size(); ++i) {
        SCOPED_TRACE(noCharacter[i]);
        EXPECT_EQ(grid->model().CharText(uint32_t(0x30 + i)), ".");
        const wxImage drawn = shot(3, int(i) + 17);
        EXPECT_TRUE(drawn.GetSize() == dot.GetSize() &&
                    std::memcmp(drawn.GetData(), dot.GetData(),
                                size_t(dot.GetWidth()) * size_t(dot.GetHeight()) * 3) == 0);
    }
}

// With the pointer over a tool, status field 3 shows the tool's help; off it, the
// connection state again.
TEST_F(RealInput, ToolHelpShowsInTheStatusBarWhileThePointerIsOnTheTool) {
    ASSERT_EQ(frame->GetStatusText(3), "Brak połączenia.");
    const wxRect tool = ToolScreenRect(frame->mainToolBar(), ID_SAVE_FILE);
    sim.MouseMove(tool.GetPosition() + tool.GetSize() / 2);
    EXPECT_TRUE(PumpUntil([&] { return frame->GetStatusText(3) == "Zapisz do pliku"; }))
        << frame->GetStatusText(3);
    sim.MouseMove(CellScreenCentre(frame->notebook()->CurrentGrid(), 4, 4));
    EXPECT_TRUE(PumpUntil([&] { return frame->GetStatusText(3) == "Brak połączenia."; }))
        << frame->GetStatusText(3);
}

// A file longer than the count field can show is refused with the reason, the
// page left as it was (the field would have kept other digits: another count).
TEST_F(RealInput, FileLongerThanTheCountFieldTakesIsRefused) {
    const fs::path path = TempFile("ten-million.bin", "");
    fs::resize_file(path, 10'000'000);
    hook.AnswerFile(path.string());
    hook.AnswerMessage(wxID_OK);
    ClickTool(ID_OPEN_FILE);
    ASSERT_TRUE(PumpUntil([&] { return hook.shown().size() == 2; }));
    fs::remove(path);
    EXPECT_EQ(hook.LastMessage().text, "Plik jest za duży! Bufor mieści najwyżej 9999999 bajtów.");
    EXPECT_EQ(hook.LastMessage().caption, "Błąd");
    EXPECT_EQ(frame->notebook()->CurrentGrid()->count(), 512u);
    EXPECT_EQ(Utf8(frame->countField()->GetValue()), "512");
    EXPECT_EQ(PageNames().front(), "Buf0");
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

// The title bar's close box in the middle of a read stops it between two words;
// the window goes once it has stopped.
TEST_F(InputDuringOperation, ClosingStopsAReadBetweenTwoWords) {
    board.ClearFrameLog();
    clock.Once(20, [&] {
        SendCloseRequest(frame);
        // Past the pace of the repaints, which take the request in.
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    });
    Command(ID_READ_EEPROM);
    int wordReads = 0;
    for (const sim::FrameRecord& f : board.FrameLog())
        wordReads += !f.bytes.empty() && f.bytes[0] == 'L';
    // Each word is read twice; the read stopped well before its 512 words.
    EXPECT_GT(wordReads, 0);
    EXPECT_LT(wordReads, 1024);
    EXPECT_EQ(frame->GetStatusText(0), "Przeczytano  " + std::to_string(wordReads) + "  bajtów.");
    EXPECT_TRUE(hook.shown().empty());
    EXPECT_TRUE(PumpUntil([] {
        wxTheApp->ProcessIdle();  // runs the pending deletions
        return wxTopLevelWindows.GetCount() == 0;
    }));
    frame = nullptr;
}

// During a write the close box asks first: Yes stops the write between two words
// and the window goes; No lets the write end and the window stays.
TEST_F(InputDuringOperation, ClosingDuringAWriteAsksFirst) {
    for (const int answer : {wxID_NO, wxID_YES}) {
        SCOPED_TRACE(answer == wxID_YES ? "yes" : "no");
        frame->BuildPage(1024);  // the page made for the model's window
        for (uint32_t i = 0; i < 1024; ++i)
            frame->SetCellByte(i, uint8_t(i + answer));
        board.ClearFrameLog();
        clock.Once(40, [&] {
            SendCloseRequest(frame);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        });
        std::string question;
        hook.ShowMessageAndClose([&](wxDialog* box) {
            question = Utf8(static_cast<wxMessageDialogBase*>(box)->GetMessage());
            ClickButtonOf(sim, box, answer);
        });
        Command(ID_WRITE_EEPROM);
        EXPECT_EQ(question,
                  "Trwa zapis EEPROM! Przerwany zostawi pamięć zapisaną tylko w części.\n"
                  "Przerwać zapis i zamknąć program?");
        EXPECT_EQ(hook.shown().back().caption, "Ostrzeżenie");
        // What the board holds: the whole page, or the words before the stop.
        uint32_t written = 0;
        while (written < 1024 &&
               board.Peek(uint16_t(0x0C00 + written)) == uint8_t(written + answer))
            ++written;
        if (answer == wxID_NO) {
            EXPECT_EQ(written, 1024u);
            EXPECT_EQ(frame->GetStatusText(0), "Zapisano  1024  bajtów.");
            PumpUntil([] { return false; }, 10);
            ASSERT_EQ(wxTopLevelWindows.GetCount(), 1u);
        } else {
            EXPECT_GT(written, 0u);
            EXPECT_LT(written, 1024u);
            EXPECT_EQ(frame->GetStatusText(0),
                      "Zapisano  " + std::to_string(written) + "  bajtów.");
            EXPECT_EQ(hook.shown().size(), 2u);  // the question only, twice over
            EXPECT_TRUE(PumpUntil([] {
                wxTheApp->ProcessIdle();
                return wxTopLevelWindows.GetCount() == 0;
            }));
            frame = nullptr;
        }
    }
}

// A count typed into "Ile:" that takes the read past FFFF is refused with the
// reason; the field keeps what was typed and nothing is read.
TEST_F(InputDuringOperation, TypedCountPastFfffIsRefusedWithTheReason) {
    for (const char* count : {"70000", "9999999"}) {
        SCOPED_TRACE(count);
        ClickOn(sim, frame->countField());
        sim.Char(WXK_END);
        TypeKeys(sim, std::string(7, '\b') + count);
        ASSERT_TRUE(PumpUntil([&] { return Utf8(frame->countField()->GetValue()) == count; }));
        board.ClearFrameLog();
        hook.AnswerMessage(wxID_OK);
        const size_t boxes = hook.shown().size();
        ClickButton(frame->readButton());
        ASSERT_TRUE(PumpUntil([&] { return hook.shown().size() > boxes; }));
        EXPECT_EQ(hook.LastMessage().text, "Zakres odczytu wykracza poza adres FFFF!");
        EXPECT_EQ(hook.LastMessage().caption, "Błąd");
        EXPECT_EQ(OperationsSeen(), 0);
        EXPECT_EQ(Utf8(frame->countField()->GetValue()), count);
    }
}

// While an operation runs the toolbar's tools are drawn disabled and take no click.
TEST_F(InputDuringOperation, ToolsAreDisabledWhileAnOperationRuns) {
    const int tools[] = {ID_NEW_BUFFER, ID_OPEN_FILE, ID_SAVE_FILE, ID_CLOSE_BUFFER, ID_ABOUT};
    for (int id : tools)
        ASSERT_TRUE(ToolDrawnEnabled(frame->mainToolBar(), id)) << id;
    std::vector<int> drawnEnabled;
    clock.Once(20, [&] {
        for (int id : tools)
            if (ToolDrawnEnabled(frame->mainToolBar(), id) ||
                frame->mainToolBar()->GetToolEnabled(id))
                drawnEnabled.push_back(id);
        ClickTool(ID_NEW_BUFFER);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        gdk_display_sync(gdk_display_get_default());
    });
    Command(ID_READ_EEPROM);
    PumpUntil([] { return false; }, 30);  // time for a replayed click to run
    EXPECT_TRUE(drawnEnabled.empty()) << drawnEnabled.front();
    EXPECT_EQ(frame->notebook()->GetPageCount(), 1u);
    for (int id : tools)
        EXPECT_TRUE(ToolDrawnEnabled(frame->mainToolBar(), id)) << id;
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
