// The grid of one buffer page: 16 hexadecimal cells, a separator and 16 character
// cells per row, rows labelled with their addresses. The bytes live in the page
// model behind the grid's table.
#pragma once

#include <cstdint>
#include <vector>

#include <wx/grid.h>

#include "PageModel.h"
#include "Selection.h"

namespace hc12 {

class PageGridTable;

class BufferGrid : public wxGrid {
  public:
    // Builds the whole grid for `size` bytes (empty cells, count and start 0).
    BufferGrid(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size, long style,
               const wxString& name, uint32_t bytes);
    ~BufferGrid() override;

    // The cell renderer the grids share, so that what one page has drawn the
    // others draw from the same bitmaps. The caller owns one reference.
    static wxGridCellRenderer* NewCellRenderer();
    void UseCellRenderer(wxGridCellRenderer* shared);

    PageModel& model();
    const PageModel& model() const;

    // The page's address window.
    uint32_t count() const { return model().count(); }
    uint32_t start() const { return model().start(); }
    void SetCount(uint32_t count) { model().set_count(count); }
    void SetStart(uint32_t start);  // rows are relabelled

    // An empty cell in front; cells, marks and the selection move one byte on, and
    // the grid gains a row when the page does.
    void InsertEmptyCellInFront();

    // Repaints the row labels after start changed.
    void RelabelRows();
    // Repaints the rows whose cells changed since the last call.
    void RefreshChanged();

    // Selection of byte cells (the hexadecimal cell of an index).
    std::vector<CellBlock> SelectedBlocks() const;
    bool ByteSelected(uint32_t index) const;
    // Selects the byte's cells; `add` keeps what was selected before.
    void SelectByte(uint32_t index, bool add);

    void OnRangeSelect(wxGridRangeSelectEvent& event);
    void OnCellLeftClick(wxGridEvent& event);
    void OnCellChange(wxGridEvent& event);
    void OnEditorHidden(wxGridEvent& event);

  private:
    void SelectMirrored(int top, int left, int bottom, int right);

    PageGridTable* table_ = nullptr;
    // Guards against the range events that the mirroring itself raises.
    bool mirrorActive_ = false;

    wxDECLARE_EVENT_TABLE();
};

}  // namespace hc12
