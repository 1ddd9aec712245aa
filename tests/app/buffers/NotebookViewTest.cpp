// The buffer views in a frame of their own: pages, grids, fields, selection.
#include <gtest/gtest.h>

#include <wx/app.h>

#include "FileTexts.h"
#include "GuiTestSupport.h"
#include "PageGridTable.h"
#include "ViewsFrame.h"

namespace hc12::testing {
namespace {

class NotebookView : public ::testing::Test {
  protected:
    void SetUp() override { frame = new ViewsFrame; }
    void TearDown() override {
        frame->Destroy();
        wxTheApp->ProcessIdle();
    }
    BufferGrid* Grid() { return frame->notebook->CurrentGrid(); }
    std::vector<std::string> ComboEntries() {
        std::vector<std::string> out;
        for (unsigned i = 0; i < frame->compareCombo->GetCount(); ++i)
            out.push_back(frame->compareCombo->GetString(i).utf8_string());
        return out;
    }
    std::string PageName(size_t i) { return frame->notebook->GetPageText(i).utf8_string(); }
    ViewsFrame* frame = nullptr;
};

TEST_F(NotebookView, FirstPageAndGridAppearance) {
    BufferNotebook* nb = frame->notebook;
    ASSERT_EQ(nb->GetPageCount(), 1u);
    EXPECT_EQ(PageName(0), "Buf0");
    BufferGrid* g = Grid();
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g, nb->GridAt(0));
    // The fields, written after the page existed, gave it its window.
    EXPECT_EQ(g->count(), 512u);
    EXPECT_EQ(g->start(), 0u);
    EXPECT_EQ(g->GetNumberRows(), 32);
    EXPECT_EQ(g->GetNumberCols(), 33);
    EXPECT_EQ(g->GetRowLabelSize(), 42);
    EXPECT_EQ(g->GetColLabelSize(), 20);
    EXPECT_EQ(g->GetDefaultRowSize(), 16);
    EXPECT_EQ(g->GetColSize(0), 21);
    EXPECT_EQ(g->GetColSize(15), 21);
    EXPECT_EQ(g->GetColSize(16), 4);
    EXPECT_EQ(g->GetColSize(17), 12);
    EXPECT_EQ(g->GetColSize(32), 12);
    EXPECT_EQ(g->GetPosition(), wxPoint(3, 3));
    EXPECT_GT(g->GetSize().GetWidth(), 500);
    EXPECT_EQ(g->GetDefaultCellBackgroundColour(), wxColour(182, 182, 219));
    EXPECT_EQ(g->GetGridLineColour(), *wxWHITE);
    EXPECT_FALSE(g->GridLinesEnabled());
    const wxFont font = g->GetDefaultCellFont();
    EXPECT_EQ(font.GetPointSize(), 10);
    EXPECT_EQ(font.GetWeight(), wxFONTWEIGHT_BOLD);
    EXPECT_TRUE(font.IsFixedWidth());
    EXPECT_FALSE(g->CanDragGridSize());
    EXPECT_FALSE(g->CanDragColSize(0));
    EXPECT_FALSE(g->CanDragRowSize(0));
    EXPECT_EQ(g->GetSelectionMode(), wxGrid::wxGridSelectCells);
    EXPECT_EQ(g->GetColLabelValue(0), "00");
    EXPECT_EQ(g->GetColLabelValue(15), "0F");
    EXPECT_EQ(g->GetColLabelValue(16), "");
    EXPECT_EQ(g->GetColLabelValue(17) + g->GetColLabelValue(18) + g->GetColLabelValue(19) +
                  g->GetColLabelValue(20) + g->GetColLabelValue(21),
              "ASCII");
    EXPECT_EQ(g->GetRowLabelValue(31), "01F0");
    EXPECT_TRUE(g->IsReadOnly(0, 16));
    EXPECT_EQ(g->GetCellBackgroundColour(5, 16), wxColour(131, 129, 238));
    EXPECT_EQ(g->GetCellFont(0, 16).GetWeight(), wxFONTWEIGHT_NORMAL);
    EXPECT_EQ(g->GetCellTextColour(0, 0), *wxBLACK);
}

TEST_F(NotebookView, RedMarksComeFromTheTable) {
    BufferGrid* g = Grid();
    g->model().SetCellByte(18, 0x12);
    g->model().MarkRed(18);
    EXPECT_EQ(g->GetCellTextColour(1, 2), *wxRED);
    EXPECT_EQ(g->GetCellTextColour(1, 19), *wxBLACK);  // the character cell stays black
    EXPECT_EQ(g->GetCellBackgroundColour(1, 2), wxColour(182, 182, 219));
    EXPECT_EQ(g->GetCellValue(1, 2), "12");
}

TEST_F(NotebookView, PagesAreNumberedAndLimited) {
    BufferNotebook* nb = frame->notebook;
    for (int i = 0; i < 3; ++i)
        nb->AddBufferPage("Buf");
    EXPECT_EQ(PageName(3), "Buf3");
    EXPECT_EQ(ComboEntries(), (std::vector<std::string>{"Buf0", "Buf1", "Buf2", "Buf3"}));
    EXPECT_TRUE(frame->compareCombo->IsEnabled());
    EXPECT_EQ(frame->compareCombo->GetSelection(), 3);
    nb->CloseCurrentPage();
    EXPECT_EQ(nb->AddBufferPage("Buf"), "Buf4");
    while (nb->GetPageCount() < 8)
        nb->AddBufferPage("Buf");
    const int selected = frame->compareCombo->GetSelection();
    BufferGrid* current = Grid();

    std::vector<ShownDialog> shown;
    wxString refused = "x";
    {
        DialogHook hook;
        hook.AnswerMessage(wxID_OK);
        refused = nb->AddBufferPage("Buf");
        hook.ExpectAllAnswersUsed();
        shown = hook.shown();
    }
    EXPECT_TRUE(refused.empty());
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "Osiągnięto maksimum zakładek!");
    EXPECT_EQ(shown[0].caption, "Ostrzeżenie");
    EXPECT_TRUE(shown[0].style & wxICON_EXCLAMATION);
    EXPECT_EQ(nb->GetPageCount(), 8u);
    EXPECT_EQ(frame->compareCombo->GetCount(), 8u);
    EXPECT_EQ(frame->compareCombo->GetSelection(), selected);
    EXPECT_EQ(Grid(), current);
}

TEST_F(NotebookView, NewPageCopiesTheWindowButNoBytes) {
    frame->countField->SetText("100");
    frame->startField->SetText("0400");
    Grid()->model().SetCellByte(0, 0x55);
    frame->notebook->AddBufferPage("Buf");
    BufferGrid* g = Grid();
    EXPECT_EQ(g, frame->notebook->GridAt(1));
    EXPECT_EQ(g->GetNumberRows(), 7);
    EXPECT_EQ(g->count(), 100u);
    EXPECT_EQ(g->start(), 0x400u);
    EXPECT_EQ(g->GetRowLabelValue(0), "0400");
    EXPECT_TRUE(g->model().CellEmpty(0));
    EXPECT_EQ(frame->countField->GetValue(), "100");
    EXPECT_EQ(frame->startField->GetValue(), "0400");
}

TEST_F(NotebookView, ClosingPicksTheNeighbourAndShowsItsWindow) {
    BufferNotebook* nb = frame->notebook;
    frame->countField->SetText("16");
    nb->AddBufferPage("Buf");
    frame->countField->SetText("32");
    nb->AddBufferPage("Buf");
    frame->countField->SetText("48");
    // Last of three: the second page.
    nb->CloseCurrentPage();
    EXPECT_EQ(nb->GetSelection(), 1);
    EXPECT_EQ(Grid(), nb->GridAt(1));
    EXPECT_EQ(frame->countField->GetValue(), "32");
    EXPECT_EQ(ComboEntries(), (std::vector<std::string>{"Buf0", "Buf1"}));
    // First of two... back to one page: the combo is disabled again.
    nb->SetSelection(0);
    EXPECT_EQ(frame->countField->GetValue(), "16");
    nb->CloseCurrentPage();
    EXPECT_EQ(PageName(0), "Buf1");
    EXPECT_EQ(Grid(), nb->GridAt(0));
    EXPECT_EQ(nb->GridAt(1), nullptr);
    EXPECT_EQ(frame->countField->GetValue(), "32");
    EXPECT_FALSE(frame->compareCombo->IsEnabled());
    // Closing the only page opens a fresh 512-byte page at 0000.
    frame->startField->SetText("1000");
    nb->CloseCurrentPage();
    EXPECT_EQ(nb->GetPageCount(), 1u);
    EXPECT_EQ(PageName(0), "Buf3");
    EXPECT_EQ(Grid()->GetNumberRows(), 32);
    EXPECT_EQ(frame->startField->GetValue(), "0000");
    EXPECT_EQ(frame->countField->GetValue(), "512");
    EXPECT_EQ(ComboEntries(), std::vector<std::string>{"Buf3"});
}

TEST_F(NotebookView, EachPageKeepsItsOwnWindow) {
    BufferNotebook* nb = frame->notebook;
    nb->AddBufferPage("Buf");
    frame->startField->SetText("0C00");
    frame->countField->SetText("64");
    nb->SetSelection(0);
    EXPECT_EQ(frame->startField->GetValue(), "0000");
    EXPECT_EQ(frame->countField->GetValue(), "512");
    EXPECT_EQ(Grid(), nb->GridAt(0));
    nb->SetSelection(1);
    EXPECT_EQ(frame->startField->GetValue(), "0C00");
    EXPECT_EQ(frame->countField->GetValue(), "64");
    EXPECT_EQ(Grid()->GetRowLabelValue(1), "0C10");
    EXPECT_EQ(nb->GridAt(0)->start(), 0u);
    EXPECT_EQ(nb->GridAt(0)->count(), 512u);
}

TEST_F(NotebookView, FieldsFilterAndFeedTheCurrentPage) {
    FilteredTextField* start = frame->startField;
    // The toolkit's own write sends a change event, as typing does.
    start->SetValue("12g4");
    EXPECT_EQ(start->GetValue(), "124");
    EXPECT_EQ(Grid()->start(), 0x124u);
    start->SetValue("ffF0");
    EXPECT_EQ(start->GetValue(), "FFF0");
    EXPECT_EQ(Grid()->GetRowLabelValue(1), "0000");
    frame->countField->SetValue("");
    EXPECT_EQ(Grid()->count(), 0u);
    EXPECT_EQ(Grid()->GetNumberRows(), 32);  // the grid is not resized
    frame->fillField->SetValue("4");
    EXPECT_EQ(Grid()->start(), 0xFFF0u);
}

TEST_F(NotebookView, AWriteRunsTheHandlingOnlyWhenTheTextChanges) {
    int runs = 0;
    frame->startField->SetChangeHandler([&](FilteredTextField&) { ++runs; });
    frame->startField->SetText("0000");
    frame->startField->SetValue("0000");  // GTK sends an event for this one
    EXPECT_EQ(runs, 0);
    frame->startField->SetText("0010");
    EXPECT_EQ(runs, 1);
    frame->startField->SetText("zz");  // filtered to nothing: one run for the change
    EXPECT_EQ(frame->startField->GetValue(), "");
    EXPECT_EQ(runs, 2);
}

TEST_F(NotebookView, SelectionIsMirrored) {
    BufferGrid* g = Grid();
    g->SelectBlock(1, 2, 3, 5);
    EXPECT_TRUE(g->IsInSelection(1, 19));
    EXPECT_TRUE(g->IsInSelection(3, 22));
    EXPECT_TRUE(g->IsInSelection(2, 4));
    EXPECT_FALSE(g->IsInSelection(0, 19));
    EXPECT_FALSE(g->IsInSelection(2, 23));
    // A new block replaces the old one and its mirror.
    g->SelectBlock(5, 20, 5, 20);
    EXPECT_TRUE(g->IsInSelection(5, 3));
    EXPECT_FALSE(g->IsInSelection(1, 2));
    // Across the separator: as dragged, no mirror.
    g->SelectBlock(0, 3, 0, 20);
    EXPECT_TRUE(g->IsInSelection(0, 16));
    EXPECT_FALSE(g->IsInSelection(0, 25));
    // Touching the separator: the mirror stays inside the grid.
    g->SelectBlock(2, 10, 2, 16);
    EXPECT_TRUE(g->IsInSelection(2, 32));
    for (const CellBlock& b : g->SelectedBlocks()) {
        EXPECT_GE(b.left, 0);
        EXPECT_LE(b.right, 32);
    }
}

TEST_F(NotebookView, ClickSelectsTheByteAndMovesTheCursor) {
    BufferGrid* g = Grid();
    g->SelectBlock(0, 0, 3, 3);
    wxGridEvent click(g->GetId(), wxEVT_GRID_CELL_LEFT_CLICK, g, 4, 21);
    g->GetEventHandler()->ProcessEvent(click);
    EXPECT_TRUE(g->IsInSelection(4, 21));
    EXPECT_TRUE(g->IsInSelection(4, 4));
    EXPECT_FALSE(g->IsInSelection(0, 0));
    EXPECT_EQ(g->GetGridCursorRow(), 4);
    EXPECT_EQ(g->GetGridCursorCol(), 21);
}

TEST_F(NotebookView, SelectingAByteWithAddKeepsTheOthers) {
    BufferGrid* g = Grid();
    g->SelectByte(5, false);
    g->SelectByte(40, true);
    EXPECT_TRUE(g->ByteSelected(5));
    EXPECT_TRUE(g->ByteSelected(40));
    EXPECT_TRUE(g->IsInSelection(2, 25));
    g->SelectByte(7, false);
    EXPECT_FALSE(g->ByteSelected(5));
    EXPECT_FALSE(g->ByteSelected(100000));
}

TEST_F(NotebookView, EditsCommittedThroughTheGrid) {
    BufferGrid* g = Grid();
    g->SetCellValue(0, 3, "a");
    EXPECT_EQ(g->GetCellValue(0, 3), "0A");
    EXPECT_EQ(g->GetCellValue(0, 20), ".");
    g->SetCellValue(1, 17, wxString::FromUTF8("ł"));
    EXPECT_EQ(g->GetCellValue(1, 0), "B3");
    EXPECT_EQ(g->GetCellValue(1, 17).utf8_string(), "ł");
}

TEST_F(NotebookView, RebuildKeepsStartAndEmptiesTheCells) {
    frame->startField->SetText("0200");
    Grid()->model().SetCellByte(3, 1);
    frame->notebook->BuildPageGrid(1024);
    BufferGrid* g = Grid();
    EXPECT_EQ(g, frame->notebook->GridAt(0));
    EXPECT_EQ(g->GetNumberRows(), 64);
    EXPECT_EQ(g->start(), 0x200u);
    EXPECT_EQ(g->count(), 1024u);
    EXPECT_TRUE(g->model().CellEmpty(3));
    EXPECT_EQ(frame->countField->GetValue(), "1024");
    EXPECT_EQ(g->GetRowLabelValue(63), "05F0");
}

TEST_F(NotebookView, RenameAndDuplicateNames) {
    BufferNotebook* nb = frame->notebook;
    nb->RenameCurrentPage("dane.bin");  // the tab and the page's entry
    EXPECT_EQ(ComboEntries(), (std::vector<std::string>{"dane.bin"}));
    EXPECT_EQ(nb->AddBufferPage("dane.bin"), "dane.bin");  // only "Buf" is numbered
    EXPECT_EQ(nb->PageCounter(), 1u);
    nb->AddBufferPage("Buf");
    // Closing one of two equally named pages removes its own entry.
    nb->SetSelection(0);
    nb->CloseCurrentPage();
    EXPECT_EQ(ComboEntries(), (std::vector<std::string>{"dane.bin", "Buf1"}));
    EXPECT_EQ(frame->compareCombo->GetSelection(), 1);
    nb->SetSelection(0);
    nb->RenameCurrentPage("Buf1");
    nb->SetSelection(1);
    nb->CloseCurrentPage();
    EXPECT_EQ(ComboEntries(), (std::vector<std::string>{"Buf1"}));
}

}  // namespace
}  // namespace hc12::testing
