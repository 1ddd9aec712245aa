#include "PageGridTable.h"

namespace hc12 {
namespace {

wxString FromUtf8(const std::string& s) {
    return wxString::FromUTF8(s.data(), s.size());
}

}  // namespace

PageGridTable::PageGridTable(uint32_t size) : model_(size) {
    separatorAttr_ = new wxGridCellAttr;
    separatorAttr_->SetTextColour(*wxBLACK);
    separatorAttr_->SetBackgroundColour(wxColour(131, 129, 238));
    separatorAttr_->SetFont(
        wxFont(10, wxFONTFAMILY_MODERN, wxFONTSTYLE_NORMAL, wxFONTWEIGHT_NORMAL));
    separatorAttr_->SetAlignment(wxALIGN_LEFT, wxALIGN_TOP);
    separatorAttr_->SetReadOnly(true);
    redAttr_ = new wxGridCellAttr;
    redAttr_->SetTextColour(*wxRED);
}

PageGridTable::~PageGridTable() {
    separatorAttr_->DecRef();
    redAttr_->DecRef();
}

bool PageGridTable::IsEmptyCell(int row, int col) {
    if (PageModel::IsHexColumn(col))
        return model_.CellEmpty(uint32_t(row) * PageModel::kBytesPerRow + uint32_t(col));
    return model_.CellText(uint32_t(row), col).empty();
}

wxString PageGridTable::GetValue(int row, int col) {
    return FromUtf8(model_.CellText(uint32_t(row), col));
}

void PageGridTable::SetValue(int row, int col, const wxString& value) {
    model_.EditCell(uint32_t(row), col, value.utf8_string());
}

wxString PageGridTable::GetRowLabelValue(int row) {
    return FromUtf8(model_.RowLabel(uint32_t(row)));
}

wxString PageGridTable::GetColLabelValue(int col) {
    return FromUtf8(PageModel::ColumnLabel(col));
}

wxGridCellAttr* PageGridTable::GetAttr(int row, int col, wxGridCellAttr::wxAttrKind) {
    wxGridCellAttr* attr = nullptr;
    if (col == PageModel::kSeparatorColumn)
        attr = separatorAttr_;
    else if (PageModel::IsHexColumn(col) &&
             model_.IsRed(uint32_t(row) * PageModel::kBytesPerRow + uint32_t(col)))
        attr = redAttr_;
    if (attr)
        attr->IncRef();
    return attr;
}

}  // namespace hc12
