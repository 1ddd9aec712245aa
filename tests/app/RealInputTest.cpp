// The window driven as a user drives it: real clicks, drags and keys through the
// display server, reaching the widgets the way a person's input does.
#include <gtest/gtest.h>

#include <gtk/gtk.h>

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

}  // namespace
}  // namespace hc12::testing
