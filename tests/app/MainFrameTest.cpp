// The real main window under a display, driven with events.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <unistd.h>

#include <cstdio>

#include <wx/menu.h>
#include <wx/statbmp.h>
#include <wx/statusbr.h>
#include <wx/toolbar.h>
#include <wx/uiaction.h>

#include "BufferGrid.h"
#include "BufferNotebook.h"
#include "Compare.h"
#include "FileTexts.h"
#include "FilteredTextField.h"
#include "GuiTestSupport.h"
#include "Ids.h"
#include "Language.h"
#include "Programmer.h"
#include "ProgrammerApp.h"
#include "Resources.h"
#include "SerialLink.h"
#include "Translate.h"

namespace hc12::testing {
namespace {

class MainFrameTest : public ::testing::Test {
  protected:
    void SetUp() override { frame = CreateMainFrame(Options()); }
    void TearDown() override {
        DestroyFrame(frame);
        hook.ExpectAllAnswersUsed();
    }
    virtual AppOptions Options() { return {}; }

    void Command(int id) {
        wxCommandEvent event(wxEVT_MENU, id);
        event.SetEventObject(frame);
        frame->ProcessWindowEvent(event);
    }
    void ChooseModel(int row) {
        frame->modelCombo()->SetSelection(row);
        wxCommandEvent event(wxEVT_COMBOBOX, ID_MODEL);
        event.SetEventObject(frame->modelCombo());
        event.SetInt(row);
        frame->modelCombo()->ProcessWindowEvent(event);
    }
    wxRect ScreenRect(wxWindow* w) { return wxRect(w->GetScreenPosition(), w->GetSize()); }

    DialogHook hook;  // before the frame: every box of the frame's life is caught
    MainFrame* frame = nullptr;
};

// The layout in each language: their texts differ in length, and the fields, the
// toolbar and the boxes are sized for the texts of the language in use.
class MainFrameLayout : public MainFrameTest, public ::testing::WithParamInterface<std::string> {
  protected:
    void SetUp() override {
        language_ = std::make_unique<ScopedCatalog>(
            GetParam() == kOwnLanguage ? nullptr : FindCatalog(GetParam(), {}));
        MainFrameTest::SetUp();
    }
    void TearDown() override {
        MainFrameTest::TearDown();
        language_.reset();
    }
    bool English() const { return GetParam() == "en"; }

  private:
    std::unique_ptr<ScopedCatalog> language_;
};
INSTANTIATE_TEST_SUITE_P(Languages, MainFrameLayout, ::testing::Values("pl", "en"),
                         [](const auto& info) { return info.param; });

TEST_F(MainFrameTest, StartsNotConnectedWithItsInitialTexts) {
    EXPECT_EQ(Utf8(frame->GetTitle()), "Motorola HC9(S)12 ver.3.0  by Harnvale");
    EXPECT_EQ(frame->GetSize(), wxSize(705, 660));
    ASSERT_EQ(frame->GetStatusBar()->GetFieldsCount(), 4);
    EXPECT_EQ(Utf8(frame->GetStatusBar()->GetStatusText(3)),
              "Brak po\xc5\x82\xc4\x85"
              "czenia.");
    EXPECT_EQ(frame->ConnectionState(), kNotConnected);

    EXPECT_EQ(Utf8(frame->modelCombo()->GetValue()), "Model");
    EXPECT_EQ(frame->modelCombo()->GetCount(), 12u);
    EXPECT_EQ(Utf8(frame->quartzCombo()->GetValue()), "Auto");
    EXPECT_EQ(frame->quartzCombo()->GetCount(), 4u);
    EXPECT_EQ(Utf8(frame->startField()->GetValue()), "0000");
    EXPECT_EQ(Utf8(frame->countField()->GetValue()), "512");
    EXPECT_EQ(Utf8(frame->fillValueField()->GetValue()), "FF");
    EXPECT_EQ(frame->notebook()->CurrentGrid()->count(), 512u);
    EXPECT_EQ(Utf8(frame->fillButton()->GetLabel()), "Wype\xc5\x82nij");
    EXPECT_EQ(Utf8(frame->selectionCheckBox()->GetLabel()), "Zaznaczenie");

    EXPECT_FALSE(frame->readButton()->IsEnabled());
    EXPECT_FALSE(frame->writeButton()->IsEnabled());
    EXPECT_FALSE(frame->selectionCheckBox()->IsEnabled());
    EXPECT_FALSE(frame->compareCombo()->IsEnabled());
    EXPECT_FALSE(frame->connectionMenu()->IsEnabled(ID_READ_EEPROM));
    EXPECT_FALSE(frame->connectionMenu()->IsEnabled(ID_WRITE_EEPROM));
    EXPECT_TRUE(frame->connectButton()->IsEnabled());
    EXPECT_TRUE(frame->connectionMenu()->IsEnabled(ID_CONNECT));
    EXPECT_EQ(frame->GetDefaultItem(), frame->connectButton());
    EXPECT_TRUE(frame->connectionMenu()->IsChecked(ID_COM1));
    EXPECT_TRUE(frame->GetIcon().IsOk());
}

TEST_P(MainFrameLayout, EveryStatusTextFitsItsField) {
    // The longest texts each field gets: read and write of a seven-digit window,
    // the largest load, the failed-write count, the compare summary, the words a
    // write left alone, a slow adapter, the states.
    const std::vector<std::pair<int, std::string>> polish = {
        {0, "Przeczytano  9999999  bajtów."},
        {0, "Zapisano  9999999  bajtów."},
        {0, LoadedStatusText(0x7FFFFFFF)},
        {0, LoadedStatusText(1000)},
        {1, "Nieudanych zapisów:  9999999"},
        {1, CompareSummary(2147483647)},
        {1, CompareSummary(3)},
        {1, "Bez zmian: 9999999"},
        {1, "Opóźnienie USB: 255 ms"},
        {3, "Brak połączenia."},
        {3, "Łączenie..."},
        {3, "Połączony."},
        {3, "Zapisz do pliku"},
    };
    const std::vector<std::pair<int, std::string>> english = {
        {0, "Read 9999999 bytes."},
        {0, "Wrote 9999999 bytes."},
        {0, LoadedStatusText(0x7FFFFFFF)},
        {0, LoadedStatusText(1000)},
        {1, "Failed writes: 9999999"},
        {1, CompareSummary(2147483647)},
        {1, CompareSummary(1)},
        {1, "Unchanged: 9999999"},
        {1, "USB latency: 255 ms"},
        {3, "Not connected."},
        {3, "Connecting..."},
        {3, "Connected."},
        {3, "About the program"},
    };
    wxStatusBar* bar = frame->GetStatusBar();
    ASSERT_EQ(bar->GetFieldsCount(), 4);
    for (const auto& [field, text] : English() ? english : polish) {
        SCOPED_TRACE(text);
        frame->SetStatusText(field, text);
        EXPECT_EQ(frame->GetStatusText(field), text);
        wxRect rect;
        ASSERT_TRUE(bar->GetFieldRect(field, rect));
        EXPECT_LE(bar->GetTextExtent(wxString::FromUTF8(text)).x + 4, rect.width);
    }
    // The gauge's field keeps a usable width between them.
    wxRect gaugeField;
    bar->GetFieldRect(2, gaugeField);
    EXPECT_GE(gaugeField.width, 100);
}

TEST_F(MainFrameTest, MenusAndToolsCarryTheirLabelsAndIdentifiers) {
    wxMenuBar* bar = frame->GetMenuBar();
    ASSERT_EQ(bar->GetMenuCount(), 2u);
    EXPECT_EQ(Utf8(bar->GetMenuLabel(0)), "&Plik");
    EXPECT_EQ(Utf8(bar->GetMenuLabel(1)),
              "&Po\xc5\x82\xc4\x85"
              "czenie");
    struct Item {
        int id;
        const char* label;
        bool radio;
    };
    const Item items[] = {
        {ID_NEW_BUFFER, "&Nowy bufor", false},
        {ID_OPEN_FILE, "&Czytaj plik", false},
        {ID_SAVE_FILE, "&Zapisz do pliku", false},
        {ID_CLOSE_BUFFER, "&Zamknij bufor", false},
        {ID_EXIT, "E&xit", false},
        {ID_CONNECT, "&Polacz z MCU", false},
        {ID_READ_EEPROM, "&Czytaj EEPROM", false},
        {ID_WRITE_EEPROM, "&Wczytaj EEPROM", false},
        {ID_COM1, "COM 1", true},
        {ID_COM2, "COM 2", true},
        {ID_COM3, "COM 3", true},
        {ID_COM4, "COM 4", true},
    };
    for (const Item& item : items) {
        SCOPED_TRACE(item.label);
        wxMenuItem* found = bar->FindItem(item.id);
        ASSERT_NE(found, nullptr);
        EXPECT_EQ(Utf8(found->GetItemLabel()), item.label);
        EXPECT_EQ(found->IsRadio(), item.radio);
    }

    wxToolBar* tools = frame->mainToolBar();
    EXPECT_EQ(tools->GetId(), ID_TOOLBAR);
    const std::pair<int, const char*> toolHelp[] = {{ID_NEW_BUFFER, "Nowy bufor"},
                                                    {ID_OPEN_FILE, "Czytaj plik"},
                                                    {ID_SAVE_FILE, "Zapisz do pliku"},
                                                    {ID_CLOSE_BUFFER, "Zamknij bufor"},
                                                    {ID_ABOUT, "O porgramie"}};
    for (const auto& [id, help] : toolHelp)
        EXPECT_EQ(Utf8(tools->GetToolShortHelp(id)), help) << id;
    // Tools in order: New, Open, Save, Close, Help, with the separators between them.
    const int order[] = {ID_NEW_BUFFER, ID_OPEN_FILE, ID_SAVE_FILE, ID_CLOSE_BUFFER, ID_ABOUT};
    for (size_t i = 1; i < std::size(order); ++i)
        EXPECT_LT(tools->GetToolPos(order[i - 1]), tools->GetToolPos(order[i]));
    EXPECT_EQ(tools->GetToolPos(ID_ABOUT), 9);
}

TEST_P(MainFrameLayout, ToolbarControlsFollowTheToolWidthWithoutOverlapping) {
    const ToolbarLayoutResult& layout = frame->toolbarLayout();
    EXPECT_EQ(layout.anchorX, 11 * frame->toolWidth() - 180);
    // On the first row each control is at or right of its place from the anchor;
    // what does not fit the frame's width (narrower by a window manager's borders)
    // goes on the next row.
    const int firstRowBottom = layout.rects[kFillValueSlot].bottom();
    const std::pair<int, int> places[] = {
        {kFillValueSlot, 100}, {kStartFieldSlot, 250}, {kCountFieldSlot, 350}};
    for (const auto& [slot, offset] : places)
        if (layout.rects[slot].y < firstRowBottom) {
            EXPECT_GE(layout.rects[slot].x, layout.anchorX + offset) << slot;
        }
    EXPECT_LT(layout.rects[kFillValueSlot].y, firstRowBottom);

    // What is on the screen: no two controls overlap, all inside the frame's width,
    // none narrower or lower than it needs.
    wxWindow* controls[] = {frame->fillValueField(), frame->fillButton(), frame->startLabel(),
                            frame->startField(),     frame->countLabel(), frame->countField(),
                            frame->modelCombo(),     frame->quartzCombo()};
    const wxRect frameRect = ScreenRect(frame);
    for (size_t a = 0; a < std::size(controls); ++a) {
        const wxRect ra = ScreenRect(controls[a]);
        SCOPED_TRACE(Utf8(controls[a]->GetName()));
        EXPECT_TRUE(controls[a]->IsShownOnScreen());
        EXPECT_GE(ra.x, frameRect.x);
        EXPECT_LE(ra.GetRight(), frameRect.GetRight());
        EXPECT_GE(ra.height, controls[a]->GetBestSize().y);
        for (size_t b = a + 1; b < std::size(controls); ++b)
            EXPECT_FALSE(ra.Intersects(ScreenRect(controls[b]))) << Utf8(controls[b]->GetName());
    }
    // The controls start right of the tools: the Help tool is left of the fill value.
    EXPECT_GT(ScreenRect(frame->fillValueField()).x,
              ScreenRect(frame->mainToolBar()).x + 5 * frame->toolWidth());
}

TEST_P(MainFrameLayout, NothingClippedOrOverlapping) {
    const std::vector<std::string> faults = LayoutFaults(frame);
    EXPECT_TRUE(faults.empty()) << ::testing::PrintToString(faults);
}

TEST_P(MainFrameLayout, RightColumnFitsBesideTheNotebook) {
    wxWindow* column[] = {frame->connectButton(), frame->readButton(), frame->writeButton(),
                          frame->selectionCheckBox(), frame->compareCombo()};
    const wxRect notebook = ScreenRect(frame->notebook());
    const wxRect panel = ScreenRect(frame->panel());
    for (size_t a = 0; a < std::size(column); ++a) {
        const wxRect ra = ScreenRect(column[a]);
        EXPECT_GT(ra.x, notebook.GetRight()) << a;
        EXPECT_LE(ra.GetRight(), panel.GetRight()) << a;
        EXPECT_GE(ra.width, column[a]->GetBestSize().x) << a;
        if (a > 0) {
            EXPECT_GT(ra.y, ScreenRect(column[a - 1]).GetBottom()) << a;
        }
    }
    // The compare box's label is not cut by the box's border.
    wxStaticBox* box = frame->compareBox();
    EXPECT_GE(box->GetSize().x, box->GetTextExtent(box->GetLabel()).x + 16);
    EXPECT_LE(ScreenRect(box).GetRight(), panel.GetRight());
}

TEST_F(MainFrameTest, ResizingKeepsTheWidthAndGivesTheHeightToThePages) {
    Command(ID_NEW_BUFFER);  // two grids, both follow
    ASSERT_EQ(frame->notebook()->GetPageCount(), 2u);
    Pump();
    auto gridMargins = [this] {
        std::vector<int> margins;
        for (size_t i = 0; i < 2; ++i)
            margins.push_back(frame->GetSize().y - frame->notebook()->GridAt(i)->GetSize().y);
        return margins;
    };
    const int notebookWidth = frame->notebook()->GetSize().x;
    // A first resize settles both grids (the second one was made after the last one).
    frame->SetSize(705, 700);
    EXPECT_TRUE(PumpUntil([&] { return gridMargins()[0] == gridMargins()[1]; }));
    const std::vector<int> before = gridMargins();

    struct Case {
        wxSize asked;
        wxSize got;
    };
    const Case cases[] = {{{705, 800}, {705, 800}},
                          {{900, 1000}, {705, 900}},
                          {{400, 300}, {705, 486}},
                          {{705, 660}, {705, 660}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.asked.y);
        frame->SetSize(c.asked);
        PumpUntil([&] { return frame->notebook()->GridAt(0)->GetSize().y + before[0] == c.got.y; });
        EXPECT_EQ(frame->GetSize(), c.got);
        EXPECT_EQ(gridMargins(), before);  // every grid grows and shrinks with the frame
        EXPECT_EQ(frame->notebook()->GetSize().x, notebookWidth);
        // The compare box stays on screen down to the smallest height (the column
        // closes its gaps), and keeps clear of the check box above it.
        const wxRect panelRect = ScreenRect(frame->panel());
        EXPECT_LE(ScreenRect(frame->compareCombo()).GetBottom(), panelRect.GetBottom());
        EXPECT_GT(ScreenRect(frame->compareCombo()).y,
                  ScreenRect(frame->selectionCheckBox()).GetBottom());
        // The chip picture is never cut off by the panel's bottom edge; with room
        // enough it is shown at its own size.
        const wxRect picture = ScreenRect(frame->picture());
        if (frame->picture()->IsShown()) {
            EXPECT_LE(picture.GetBottom(), ScreenRect(frame->panel()).GetBottom());
        }
        if (c.got.y >= 660) {
            EXPECT_TRUE(frame->picture()->IsShown());
        }
        if (c.got.y == 900) {
            EXPECT_EQ(picture.height, 178);
        }
    }
}

TEST_F(MainFrameTest, ControlStatesFollowTheConnection) {
    frame->ShowConnecting();
    EXPECT_EQ(Utf8(frame->GetStatusBar()->GetStatusText(3)),
              "\xc5\x81\xc4\x85"
              "czenie...");
    EXPECT_EQ(frame->ConnectionState(), kConnected);
    EXPECT_FALSE(frame->readButton()->IsEnabled());  // connecting unlocks nothing

    frame->ShowConnected(false);  // an HC12 target
    EXPECT_EQ(Utf8(frame->GetStatusBar()->GetStatusText(3)),
              "Po\xc5\x82\xc4\x85"
              "czony.");
    EXPECT_TRUE(frame->readButton()->IsEnabled());
    EXPECT_TRUE(frame->writeButton()->IsEnabled());
    EXPECT_TRUE(frame->connectionMenu()->IsEnabled(ID_READ_EEPROM));
    EXPECT_TRUE(frame->connectionMenu()->IsEnabled(ID_WRITE_EEPROM));
    EXPECT_TRUE(frame->selectionCheckBox()->IsEnabled());
    EXPECT_EQ(frame->GetDefaultItem(), frame->readButton());
    frame->selectionCheckBox()->SetValue(true);
    EXPECT_TRUE(frame->SelectionOnly());

    frame->link().LinkLost();  // the link-lost reaction goes through the same block
    EXPECT_EQ(Utf8(frame->GetStatusBar()->GetStatusText(3)),
              "Brak po\xc5\x82\xc4\x85"
              "czenia.");
    EXPECT_EQ(frame->ConnectionState(), kNotConnected);
    EXPECT_FALSE(frame->readButton()->IsEnabled());
    EXPECT_FALSE(frame->writeButton()->IsEnabled());
    EXPECT_FALSE(frame->connectionMenu()->IsEnabled(ID_READ_EEPROM));
    EXPECT_FALSE(frame->connectionMenu()->IsEnabled(ID_WRITE_EEPROM));
    EXPECT_FALSE(frame->selectionCheckBox()->IsEnabled());
    EXPECT_TRUE(frame->selectionCheckBox()->GetValue());  // the mark stays

    frame->ShowConnecting();
    frame->ShowConnected(true);  // an MC9S12 target writes whole windows only
    EXPECT_TRUE(frame->readButton()->IsEnabled());
    EXPECT_FALSE(frame->selectionCheckBox()->GetValue());
    EXPECT_FALSE(frame->selectionCheckBox()->IsEnabled());
    EXPECT_FALSE(frame->SelectionOnly());
}

TEST_F(MainFrameTest, HelpToolShowsTheAboutBox) {
    hook.AnswerMessage(wxID_OK);
    wxCommandEvent event(wxEVT_TOOL, ID_ABOUT);
    event.SetEventObject(frame->mainToolBar());
    frame->mainToolBar()->ProcessWindowEvent(event);
    ASSERT_EQ(hook.shown().size(), 1u);
    const ShownDialog box = hook.LastMessage();
    EXPECT_EQ(box.text, "Wersja 3.0");
    EXPECT_EQ(box.caption, "Informacja:");
    EXPECT_EQ(box.style & (wxOK | wxYES_NO | wxCANCEL), wxOK);
    EXPECT_TRUE(box.style & wxICON_INFORMATION);
}

TEST_P(MainFrameLayout, AboutBoxIsWideEnoughForItsCaptionAndShowsItsIcon) {
    int width = 0, captionWidth = 0;
    bool icon = false;
    hook.ShowMessage([&](wxDialog* box) {
        width = box->GetSize().x;
        captionWidth = box->GetTextExtent(box->GetTitle()).x;
        for (wxWindow* child : box->GetChildren())
            icon = icon || dynamic_cast<wxStaticBitmap*>(child) != nullptr;
    });
    Command(ID_ABOUT);
    EXPECT_EQ(hook.LastMessage().caption, English() ? "Information" : "Informacja:");
    // The caption, the title bar's buttons and margins.
    EXPECT_GE(width, captionWidth + 100);
    EXPECT_TRUE(icon);
}

TEST_F(MainFrameTest, ClickingConnectWithoutAModelIsRefused) {
    // A real click: the button, the event table and the connect operation together.
    hook.AnswerMessage(wxID_OK);
    frame->Raise();
    wxUIActionSimulator sim;
    sim.MouseMove(frame->connectButton()->GetScreenRect().GetPosition() + wxPoint(20, 15));
    Pump();
    sim.MouseClick();
    ASSERT_TRUE(PumpUntil([&] { return !hook.shown().empty(); }));
    EXPECT_EQ(hook.LastMessage().text, "Wybierz model mikrokontrolera!");
    EXPECT_EQ(hook.LastMessage().caption,
              "Ostrze\xc5\xbc"
              "enie");
}

TEST_F(MainFrameTest, ChoosingAModelFillsTheAddressWindow) {
    struct Case {
        int row;
        const char* start;
        const char* count;
    };
    const Case cases[] = {{2, "F000", "4096"}, {1, "0D00", "768"},  {5, "0C00", "1024"},
                          {8, "0800", "2048"}, {9, "0800", "2048"}, {11, "0800", "4096"},
                          {0, "0000", "512"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.row);
        ChooseModel(c.row);
        EXPECT_EQ(Utf8(frame->startField()->GetValue()), c.start);
        EXPECT_EQ(Utf8(frame->countField()->GetValue()), c.count);
        EXPECT_EQ(frame->programmer().CurrentModel().name, ModelTable()[size_t(c.row)].name);
        BufferGrid* grid = frame->notebook()->CurrentGrid();
        EXPECT_EQ(grid->start(), ModelTable()[size_t(c.row)].eepromStart);
        EXPECT_EQ(grid->count(), ModelTable()[size_t(c.row)].eepromSize);
    }
}

TEST_F(MainFrameTest, QuartzComboIsReadAndSetByItsTexts) {
    for (int i : {2, 3, 1, 0}) {
        frame->SelectQuartz(i);
        EXPECT_EQ(frame->QuartzText(), std::string(kQuartzChoices[size_t(i)]));
    }
}

TEST_F(MainFrameTest, CommandQueuedDuringAnOperationRunsAfterIt) {
    // Something posts a command (as a click would) while an operation is running;
    // the start of its gauge repaints, but must not run that command inside it.
    wxCommandEvent about(wxEVT_MENU, ID_ABOUT);
    wxPostEvent(frame, about);
    frame->Progress(100);
    EXPECT_TRUE(hook.shown().empty()) << "the queued command ran inside the operation";
    ASSERT_NE(frame->gauge(), nullptr);
    wxRect field;
    frame->GetStatusBar()->GetFieldRect(2, field);
    EXPECT_EQ(frame->gauge()->GetPosition(), field.GetPosition());
    EXPECT_EQ(frame->gauge()->GetRange(), field.width / 2);
    for (int i = 0; i < 50; ++i)
        frame->Progress(0);
    EXPECT_EQ(frame->gauge()->GetValue(), field.width / 4);
    for (int i = 0; i < 50; ++i)
        frame->Progress(0);
    EXPECT_EQ(frame->gauge(), nullptr);  // the last step removed it

    hook.AnswerMessage(wxID_OK);
    Pump();
    ASSERT_EQ(hook.shown().size(), 1u);
    EXPECT_EQ(hook.LastMessage().text, "Wersja 3.0");
}

TEST_F(MainFrameTest, GaugeKeepsTheFieldMeasuredAtTheFirstStart) {
    frame->Progress(10);
    const wxRect first = frame->gauge()->GetRect();
    frame->Progress(-1);
    EXPECT_EQ(frame->gauge(), nullptr);
    frame->SetSize(705, 800);
    Pump();
    frame->Progress(10);
    ASSERT_NE(frame->gauge(), nullptr);
    EXPECT_EQ(frame->gauge()->GetRect(), first);
    frame->Progress(-1);
}

TEST_F(MainFrameTest, UnboundCommandsAndBareFrameMouseEventsAreConsumed) {
    wxCommandEvent unknown(wxEVT_MENU, wxID_HIGHEST + 77);
    EXPECT_TRUE(frame->ProcessWindowEvent(unknown));
    wxMouseEvent click(wxEVT_LEFT_DOWN);
    click.SetEventObject(frame);
    EXPECT_TRUE(frame->ProcessWindowEvent(click));
    EXPECT_TRUE(hook.shown().empty());
}

TEST_F(MainFrameTest, ExitClosesTheWindow) {
    Command(ID_EXIT);
    wxTheApp->ProcessIdle();  // runs the pending deletions
    EXPECT_EQ(wxTopLevelWindows.GetCount(), 0u);
    frame = nullptr;
}

// The port menu opens the port value mapped to each menu port.
class MainFramePortTest : public MainFrameTest {
  protected:
    AppOptions Options() override {
        AppOptions options;
        options.ports.values = {"/nonexistent/tty-a", "/nonexistent/tty-b", "virtual", "virtual"};
        options.clock = &clock;
        return options;
    }
    VirtualClock clock;
};

TEST_F(MainFramePortTest, EachPortItemOpensItsOwnPort) {
    const struct {
        int id;
        bool opens;
    } cases[] = {{ID_COM3, true}, {ID_COM2, false}, {ID_COM4, true}, {ID_COM1, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        hook.Clear();
        if (!c.opens)
            hook.AnswerMessage(wxID_OK);
        Command(c.id);
        EXPECT_EQ(frame->link().PortValid(), c.opens);
        if (!c.opens) {
            ASSERT_EQ(hook.shown().size(), 1u);
            EXPECT_EQ(hook.LastMessage().text,
                      "Niew\xc5\x82"
                      "a\xc5\x9b"
                      "ciwa nazwa portu lub port jest aktywny.");
        } else {
            EXPECT_TRUE(hook.shown().empty());
        }
    }
}

// The program's own handling of a toolkit assertion: a line on standard error, and
// the call that tripped it returns (no Stop/Continue box for a user).
TEST(ToolkitAssertionTest, ProgramLogsItAndGoesOn) {
    std::FILE* log = std::tmpfile();
    ASSERT_NE(log, nullptr);
    std::fflush(stderr);
    const int savedStderr = dup(fileno(stderr));
    dup2(fileno(log), fileno(stderr));
    const wxAssertHandler_t testHandler = wxSetAssertHandler(LogToolkitAssertion);
    bool wentOn = false;
    wxFAIL_MSG("probe of the program's handler");
    wentOn = true;
    wxSetAssertHandler(testHandler);
    std::fflush(stderr);
    dup2(savedStderr, fileno(stderr));
    close(savedStderr);

    std::rewind(log);
    std::string text;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, log))
        text += buffer;
    std::fclose(log);
    EXPECT_TRUE(wentOn);
    EXPECT_NE(text.find("hc12prog: wxWidgets assertion failed: "), std::string::npos) << text;
    EXPECT_NE(text.find("MainFrameTest.cpp("), std::string::npos) << text;
    EXPECT_NE(text.find("probe of the program's handler"), std::string::npos) << text;
}

TEST(PortOptionsTest, TheLanguageIsTakenOutOfTheArguments) {
    std::vector<std::string> args = {"--port", "COM2=virtual", "--lang", "en", "--port=COM3=x"};
    std::string language, error;
    ASSERT_TRUE(TakeLanguageOption(args, &language, &error)) << error;
    EXPECT_EQ(language, "en");
    EXPECT_EQ(args, (std::vector<std::string>{"--port", "COM2=virtual", "--port=COM3=x"}));
    args = {"--lang=pl"};
    ASSERT_TRUE(TakeLanguageOption(args, &language, &error)) << error;
    EXPECT_EQ(language, "pl");
    EXPECT_TRUE(args.empty());

    const std::vector<std::string> bad[] = {{"--lang"}, {"--lang="}, {"--lang", "en", "--lang=pl"}};
    for (auto args : bad) {
        error.clear();
        EXPECT_FALSE(TakeLanguageOption(args, &language, &error)) << args.back();
        EXPECT_NE(error.find("--lang"), std::string::npos) << error;
    }
}

TEST(PortOptionsTest, CommandLinePairsOverrideTheDefaults) {
    PortMap ports = PortMap::Defaults();
    std::string error;
    EXPECT_TRUE(
        ParsePortOptions({"--port", "COM2=virtual", "--port=COM4=/dev/ttyUSB0"}, ports, &error));
    EXPECT_EQ(ports.values[1], "virtual");
    EXPECT_EQ(ports.values[3], "/dev/ttyUSB0");
    EXPECT_EQ(ports.values[0], PortMap::Defaults().values[0]);

    const std::vector<std::string> bad[] = {{"--port"}, {"--port", "COM5=x"}, {"--verbose"}};
    for (const auto& args : bad) {
        PortMap p = PortMap::Defaults();
        error.clear();
        EXPECT_FALSE(ParsePortOptions(args, p, &error)) << args.back();
        EXPECT_FALSE(error.empty());
    }
}

// The interface's frame time: the environment, then the command line; the window's
// link keeps to it.
TEST(AppOptionsTest, FrameTimeFromTheEnvironmentThenTheCommandLine) {
    ::unsetenv("HC12_FRAME_TIME_US");
    std::string error;
    AppOptions plain;
    ASSERT_TRUE(ParseAppOptions({"--port", "COM2=virtual"}, plain, &error)) << error;
    EXPECT_EQ(plain.frameTimeUs, kDefaultFrameTimeUs);
    EXPECT_EQ(plain.ports.values[1], "virtual");

    ::setenv("HC12_FRAME_TIME_US", "2500", 1);
    AppOptions fromEnvironment;
    ASSERT_TRUE(ParseAppOptions({}, fromEnvironment, &error)) << error;
    EXPECT_EQ(fromEnvironment.frameTimeUs, 2500u);
    AppOptions both;
    ASSERT_TRUE(ParseAppOptions({"--frame-time", "400", "--port=COM1=virtual", "--frame-time=0"},
                                both, &error))
        << error;
    EXPECT_EQ(both.frameTimeUs, 0u);
    EXPECT_EQ(both.ports.values[0], "virtual");

    const std::vector<std::string> bad[] = {
        {"--frame-time"}, {"--frame-time", "1ms"}, {"--frame-time=1000001"}};
    for (const auto& args : bad) {
        AppOptions o;
        error.clear();
        EXPECT_FALSE(ParseAppOptions(args, o, &error)) << args.back();
        EXPECT_NE(error.find("--frame-time"), std::string::npos) << error;
    }
    ::setenv("HC12_FRAME_TIME_US", "soon", 1);
    AppOptions refused;
    EXPECT_FALSE(ParseAppOptions({}, refused, &error));
    EXPECT_NE(error.find("HC12_FRAME_TIME_US"), std::string::npos) << error;
    ::unsetenv("HC12_FRAME_TIME_US");

    DialogHook hook;
    AppOptions options;
    options.frameTimeUs = 2500;
    MainFrame* frame = CreateMainFrame(options);
    EXPECT_EQ(frame->link().FrameTimeUs(), 2500u);
    DestroyFrame(frame);
}

}  // namespace
}  // namespace hc12::testing

namespace hc12::testing {
namespace {

// The whole window against the virtual board on COM1, on a virtual clock.
class MainFrameBoardTest : public MainFrameTest {
  protected:
    AppOptions Options() override {
        AppOptions options;
        options.ports.values = {"virtual", "/nonexistent/tty-b", "/nonexistent/tty-c",
                                "/nonexistent/tty-d"};
        options.clock = &clock;
        return options;
    }
    VirtualClock clock;
};

TEST_F(MainFrameBoardTest, ConnectOpensComOneAndUnlocksTheCommandsForTheChosenFamily) {
    const struct {
        int row;
        bool selectionUsable;
    } cases[] = {{2, true}, {11, false}};  // HC812A4, then MC9S12DP512
    for (const auto& c : cases) {
        SCOPED_TRACE(c.row);
        ChooseModel(c.row);
        hook.Clear();
        // An MC9S12 target reports its memory map in a box.
        if (!c.selectionUsable)
            hook.AnswerMessage(wxID_OK);
        Command(ID_CONNECT);
        if (c.selectionUsable) {
            EXPECT_TRUE(hook.shown().empty());
        } else {
            ASSERT_EQ(hook.shown().size(), 1u);
            EXPECT_EQ(hook.LastMessage().caption, "Parametry");
        }
        EXPECT_TRUE(frame->link().PortValid());
        EXPECT_TRUE(frame->connectionMenu()->IsChecked(ID_COM1));
        EXPECT_EQ(Utf8(frame->GetStatusBar()->GetStatusText(3)),
                  "Po\xc5\x82\xc4\x85"
                  "czony.");
        EXPECT_TRUE(frame->readButton()->IsEnabled());
        EXPECT_EQ(frame->selectionCheckBox()->IsEnabled(), c.selectionUsable);
    }
    // Reading fills the page through the gauge; the gauge is gone at the end.
    hook.Clear();
    const std::string count = Utf8(frame->countField()->GetValue());
    Command(ID_READ_EEPROM);
    EXPECT_TRUE(hook.shown().empty());
    EXPECT_EQ(std::to_string(frame->notebook()->CurrentGrid()->count()), count);
    EXPECT_FALSE(frame->GetStatusText(0).empty());
    EXPECT_EQ(frame->gauge(), nullptr);
}

}  // namespace
}  // namespace hc12::testing

namespace hc12::testing {
namespace {

TEST(ResourcesTest, PicturesAreFoundByNameWhateverTheCase) {
    const struct {
        const char* name;
        int width, height;
    } cases[] = {{"IDI_ICON", 32, 32}, {"idi_icon", 32, 32}, {"new", 16, 16},
                 {"OPEN", 16, 16},     {"save", 16, 16},     {"Close", 16, 16},
                 {"help", 16, 16},     {"connect", 80, 40},  {"Read", 80, 40},
                 {"write", 80, 40},    {"HC12BMP", 87, 178}, {"hc12bmp", 87, 178}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const wxBitmap bitmap = LoadResourceBitmap(c.name);
        ASSERT_TRUE(bitmap.IsOk());
        EXPECT_EQ(bitmap.GetSize(), wxSize(c.width, c.height));
    }
    // An unknown name gives no picture and no failure.
    EXPECT_FALSE(LoadResourceBitmap("HC12BMP.bmp").IsOk());
    EXPECT_FALSE(LoadResourceIcon("nothing").IsOk());
    EXPECT_TRUE(LoadResourceIcon("IDI_ICON").IsOk());
}

// The large buttons carry their label in the language in use: the drawn face as it is
// in Polish; in English the label strip written anew, the picture above it untouched.
TEST(ResourcesTest, ButtonFacesCarryTheLabelOfTheLanguage) {
    const std::pair<const char*, const char*> faces[] = {
        {"connect", N_("POLACZ")}, {"read", N_("CZYTAJ")}, {"write", N_("ZAPISZ")}};
    for (const auto& [name, label] : faces) {
        SCOPED_TRACE(name);
        const wxImage drawn = LoadResourceBitmap(name).ConvertToImage();
        wxImage polish, english;
        {
            const ScopedCatalog own(nullptr);
            polish = ButtonFace(name, label).ConvertToImage();
        }
        {
            const ScopedCatalog inEnglish(FindCatalog("en", {}));
            english = ButtonFace(name, label).ConvertToImage();
        }
        ASSERT_EQ(english.GetSize(), drawn.GetSize());
        int changedAbove = 0, changedStrip = 0, dark = 0;
        for (int y = 0; y < drawn.GetHeight(); ++y)
            for (int x = 0; x < drawn.GetWidth(); ++x) {
                EXPECT_EQ(polish.GetRed(x, y), drawn.GetRed(x, y));
                const bool changed = english.GetRed(x, y) != drawn.GetRed(x, y) ||
                                     english.GetGreen(x, y) != drawn.GetGreen(x, y);
                (y < 27 ? changedAbove : changedStrip) += changed;
                if (y >= 27 && english.GetRed(x, y) < 0x60) {
                    ++dark;
                    // The text stays inside the frame.
                    EXPECT_TRUE(x >= 1 && x <= 78 && y <= 38) << x << "," << y;
                }
            }
        EXPECT_EQ(changedAbove, 0);
        EXPECT_GT(changedStrip, 0);
        EXPECT_GT(dark, 20) << "no label written";
    }
}

}  // namespace
}  // namespace hc12::testing
