// The window driven as a user drives it: real clicks, drags and keys through the
// display server, reaching the widgets the way a person's input does.
#include <gtest/gtest.h>

#include <gtk/gtk.h>

#include <filesystem>
#include <fstream>

#include <wx/uiaction.h>

#include "BufferGrid.h"
#include "BufferNotebook.h"
#include "FilteredTextField.h"
#include "GuiTestSupport.h"
#include "Ids.h"

namespace hc12::testing {
namespace {

class RealInput : public ::testing::Test {
  protected:
    void SetUp() override {
        frame = CreateMainFrame();
        frame->Raise();
        Pump();
    }
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
        const std::filesystem::path path = std::filesystem::path(::testing::TempDir()) / name;
        {
            std::ofstream out(path, std::ios::binary);
            for (int i = 0; i < 512; ++i)
                out.put(char(fill));
        }
        hook.AnswerFile(path.string());
        Command(ID_OPEN_FILE);
        std::filesystem::remove(path);
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

}  // namespace
}  // namespace hc12::testing
