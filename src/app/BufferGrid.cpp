#include "BufferGrid.h"

#include <algorithm>
#include <unordered_map>

#include <wx/dc.h>
#include <wx/dcmemory.h>

#include "PageGridTable.h"

namespace hc12 {
namespace {

// Draws a cell's short text centred from a small bitmap made once per distinct
// look (text, colours, cell size): a page shows a few hundred different cells, and
// laying out text anew for every cell of every repaint made each full repaint cost
// a fifth of a second.
class ByteCellRenderer : public wxGridCellStringRenderer {
  public:
    void Draw(wxGrid& grid, wxGridCellAttr& attr, wxDC& dc, const wxRect& rect, int row, int col,
              bool isSelected) override {
        wxGridCellRenderer::Draw(grid, attr, dc, rect, row, col, isSelected);
        const wxString text = grid.GetCellValue(row, col);
        if (text.empty() || rect.width <= 0 || rect.height <= 0)
            return;
        SetTextColoursAndFont(grid, attr, dc, isSelected);
        const wxFont font = attr.GetFont();
        // The font's own comparison measures text; the same font object, or one of
        // the same description, keeps the bitmaps.
        if (font.GetRefData() != font_.GetRefData()) {
            const wxString desc = font.GetNativeFontInfoDesc();
            if (desc != fontDesc_) {
                fontDesc_ = desc;
                looks_.clear();
            }
            font_ = font;
        }
        if (looks_.size() > 8192)
            looks_.clear();
        const wxColour fg = dc.GetTextForeground();
        const wxColour bg = dc.GetTextBackground();
        int hAlign = wxALIGN_CENTRE, vAlign = wxALIGN_CENTRE;
        attr.GetAlignment(&hAlign, &vAlign);
        std::wstring key = text.ToStdWstring();
        key += L'\x1f';
        key += std::to_wstring(fg.GetRGBA()) + L'/' + std::to_wstring(bg.GetRGBA()) + L'/' +
               std::to_wstring(rect.width) + L'x' + std::to_wstring(rect.height) + L'/' +
               std::to_wstring(hAlign) + L'/' + std::to_wstring(vAlign);
        auto it = looks_.find(key);
        if (it == looks_.end())
            it =
                looks_.emplace(key, Render(dc, text, fg, bg, rect.GetSize(), hAlign, vAlign)).first;
        dc.DrawBitmap(it->second, rect.x, rect.y, false);
    }

    wxGridCellRenderer* Clone() const override { return new ByteCellRenderer; }

  private:
    wxBitmap Render(wxDC& target, const wxString& text, const wxColour& fg, const wxColour& bg,
                    const wxSize& size, int hAlign, int vAlign) {
        wxBitmap bitmap(size, target.GetDepth() > 0 ? target.GetDepth() : -1);
        wxMemoryDC dc(bitmap);
        dc.SetBackground(wxBrush(bg));
        dc.Clear();
        dc.SetFont(font_);
        dc.SetTextForeground(fg);
        const wxSize extent = dc.GetTextExtent(text);
        int x = (size.x - extent.x) / 2;
        int y = (size.y - extent.y) / 2;
        if (hAlign & wxALIGN_RIGHT)
            x = size.x - extent.x;
        else if (!(hAlign & wxALIGN_CENTRE_HORIZONTAL))
            x = 0;
        if (vAlign & wxALIGN_BOTTOM)
            y = size.y - extent.y;
        else if (!(vAlign & wxALIGN_CENTRE_VERTICAL))
            y = 0;
        dc.DrawText(text, x, y);
        dc.SelectObject(wxNullBitmap);
        return bitmap;
    }

    wxFont font_;
    wxString fontDesc_;
    std::unordered_map<std::wstring, wxBitmap> looks_;
};

}  // namespace

// clang-format off
wxBEGIN_EVENT_TABLE(BufferGrid, wxGrid)
    EVT_GRID_RANGE_SELECTED(BufferGrid::OnRangeSelect)
    EVT_GRID_CELL_LEFT_CLICK(BufferGrid::OnCellLeftClick)
    EVT_GRID_CELL_CHANGED(BufferGrid::OnCellChange)
    EVT_GRID_EDITOR_HIDDEN(BufferGrid::OnEditorHidden)
wxEND_EVENT_TABLE()

BufferGrid::BufferGrid(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size,
                       long style, const wxString& name, uint32_t bytes)
    : wxGrid(parent, id, pos, size, style, name) {
    // clang-format on
    SetWindowStyle(wxSTATIC_BORDER);
    // Measures at 96 DPI, in the screen's pixels.
    SetRowLabelSize(FromDIP(42));
    SetColLabelSize(FromDIP(20));
    SetDefaultRowSize(FromDIP(16));
    SetDefaultColSize(FromDIP(21));
    SetDefaultCellAlignment(wxALIGN_CENTRE, wxALIGN_CENTRE);
    SetDefaultCellBackgroundColour(wxColour(182, 182, 219));
    SetGridLineColour(*wxWHITE);
    EnableGridLines(false);

    SetDefaultRenderer(new ByteCellRenderer);
    table_ = new PageGridTable(bytes);
    SetTable(table_, true, wxGridSelectCells);

    EnableDragGridSize(false);
    EnableDragColSize(false);
    EnableDragRowSize(false);
    // Byte cells are bold; the separator's own attribute keeps a normal weight.
    SetDefaultCellFont(wxFont(10, wxFONTFAMILY_MODERN, wxFONTSTYLE_NORMAL, wxFONTWEIGHT_BOLD));
    // The separator and the character columns are narrower than the toolkit's
    // smallest default width.
    SetColMinimalAcceptableWidth(1);
    for (int c = PageModel::kSeparatorColumn; c < PageModel::kColumns; ++c)
        SetColSize(c, FromDIP(12));
    SetColSize(PageModel::kSeparatorColumn, FromDIP(4));
    // One scroll step is one row, so the top row is always shown whole.
    SetScrollLineY(GetDefaultRowSize());
}

BufferGrid::~BufferGrid() = default;

wxGridCellRenderer* BufferGrid::NewCellRenderer() {
    return new ByteCellRenderer;
}

void BufferGrid::UseCellRenderer(wxGridCellRenderer* shared) {
    shared->IncRef();
    SetDefaultRenderer(shared);
}

PageModel& BufferGrid::model() {
    return table_->model();
}
const PageModel& BufferGrid::model() const {
    return table_->model();
}

void BufferGrid::SetStart(uint32_t start) {
    model().set_start(start);
    RelabelRows();
}

void BufferGrid::RelabelRows() {
    if (wxWindow* labels = GetGridRowLabelWindow())
        labels->Refresh();
}

void BufferGrid::RefreshChanged() {
    uint32_t first = 0;
    uint32_t last = 0;
    if (!model().TakeChanged(first, last))
        return;
    const int top = int(first / PageModel::kBytesPerRow);
    const int bottom = int(last / PageModel::kBytesPerRow);
    // A block taller than the window repaints the window: the grid would otherwise
    // walk every cell of the block, seen or not.
    const int shownRows =
        GetGridWindow()->GetClientSize().GetHeight() / std::max(GetDefaultRowSize(), 1) + 2;
    if (bottom - top > shownRows)
        GetGridWindow()->Refresh();
    else
        RefreshBlock(top, 0, bottom, PageModel::kColumns - 1);
}

void BufferGrid::InsertEmptyCellInFront() {
    const std::vector<CellBlock> selected = HexBlocksOneByteOn(SelectedBlocks());
    const uint32_t rowsBefore = model().rows();
    model().InsertEmptyCellInFront();
    if (model().rows() > rowsBefore) {
        wxGridTableMessage appended(table_, wxGRIDTABLE_NOTIFY_ROWS_APPENDED,
                                    int(model().rows() - rowsBefore));
        ProcessTableMessage(appended);
    }
    mirrorActive_ = true;
    ClearSelection();
    const int32_t lastRow = int32_t(model().rows()) - 1;
    for (CellBlock b : selected) {
        // A selected last cell that was empty has gone with it.
        b.bottom = std::min(b.bottom, lastRow);
        if (b.top > b.bottom)
            continue;
        SelectBlock(b.top, b.left, b.bottom, b.right, true);
        if (const std::optional<CellBlock> m = MirrorBlock(b))
            SelectBlock(m->top, m->left, m->bottom, m->right, true);
    }
    mirrorActive_ = false;
    GetGridWindow()->Refresh();
}

std::vector<CellBlock> BufferGrid::SelectedBlocks() const {
    std::vector<CellBlock> out;
    for (const wxGridBlockCoords& b : GetSelectedBlocks())
        out.push_back({b.GetTopRow(), b.GetLeftCol(), b.GetBottomRow(), b.GetRightCol()});
    return out;
}

bool BufferGrid::ByteSelected(uint32_t index) const {
    if (index >= model().capacity())
        return false;
    return IsInSelection(int(index / PageModel::kBytesPerRow),
                         int(index % PageModel::kBytesPerRow));
}

void BufferGrid::SelectByte(uint32_t index, bool add) {
    if (index >= model().capacity())
        return;
    const int row = int(index / PageModel::kBytesPerRow);
    const int col = int(index % PageModel::kBytesPerRow);
    // Selected here with its mirror directly: going through the range event would
    // replace the selection, and a cell added to it must not drop the others.
    mirrorActive_ = true;
    if (!add)
        ClearSelection();
    SelectBlock(row, col + PageModel::kFirstCharColumn, row, col + PageModel::kFirstCharColumn,
                true);
    SelectBlock(row, col, row, col, true);
    mirrorActive_ = false;
}

void BufferGrid::SelectMirrored(int top, int left, int bottom, int right) {
    // A block across the separator has no mirror, but it still replaces what was
    // selected: a drag that began in one area keeps no mirror of its first cell.
    const std::vector<CellBlock> blocks =
        MirroredSelection({top, left, bottom, right})
            .value_or(std::vector<CellBlock>{{top, left, bottom, right}});
    mirrorActive_ = true;
    ClearSelection();
    // The mirror goes in first so that the user's block stays the one the grid
    // keeps extending with the keyboard.
    for (auto it = blocks.rbegin(); it != blocks.rend(); ++it)
        SelectBlock(it->top, it->left, it->bottom, it->right, true);
    mirrorActive_ = false;
}

void BufferGrid::OnRangeSelect(wxGridRangeSelectEvent& event) {
    if (!event.Selecting() || mirrorActive_)
        return;
    SelectMirrored(event.GetTopRow(), event.GetLeftCol(), event.GetBottomRow(),
                   event.GetRightCol());
}

void BufferGrid::OnCellLeftClick(wxGridEvent& event) {
    const int row = event.GetRow();
    const int col = event.GetCol();
    SelectMirrored(row, col, row, col);
    SetGridCursor(row, col);
}

void BufferGrid::OnCellChange(wxGridEvent& event) {
    // The table already applied the cell rules; show both cells of the row.
    const int row = event.GetRow();
    RefreshChanged();
    RefreshBlock(row, 0, row, PageModel::kColumns - 1);
}

void BufferGrid::OnEditorHidden(wxGridEvent& event) {
    event.Skip();
    // The grid keeps the editor's text field on its window, hidden, for the next
    // edit. GTK moves every child of a window that scrolls, hidden ones too, and
    // complains (Gtk-CRITICAL) about each hidden one: every scroll after an edit,
    // the write's page moves among them, did. The field goes once the edit is over
    // (not here: the field's own key handling may still be running).
    const int row = event.GetRow();
    const int col = event.GetCol();
    CallAfter([this, row, col] {
        if (IsCellEditControlEnabled() || row < 0 || row >= GetNumberRows() || col < 0 ||
            col >= GetNumberCols())
            return;
        wxGridCellEditor* editor = GetCellEditor(row, col);
        if (editor->IsCreated())
            editor->Destroy();
        editor->DecRef();
    });
}

}  // namespace hc12
