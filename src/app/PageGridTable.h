// The grid table of a buffer page: the wxGrid reads cells, labels and colours
// from the page model instead of keeping a string per cell.
#pragma once

#include <wx/grid.h>

#include "PageModel.h"

namespace hc12 {

class PageGridTable : public wxGridTableBase {
  public:
    explicit PageGridTable(uint32_t size);
    ~PageGridTable() override;

    PageModel& model() { return model_; }
    const PageModel& model() const { return model_; }

    int GetNumberRows() override { return int(model_.rows()); }
    int GetNumberCols() override { return PageModel::kColumns; }
    bool IsEmptyCell(int row, int col) override;
    wxString GetValue(int row, int col) override;
    // A committed edit: the page applies its cell rules at once.
    void SetValue(int row, int col, const wxString& value) override;
    wxString GetRowLabelValue(int row) override;
    wxString GetColLabelValue(int col) override;

    bool CanHaveAttributes() override { return true; }
    wxGridCellAttr* GetAttr(int row, int col, wxGridCellAttr::wxAttrKind kind) override;

  private:
    PageModel model_;
    wxGridCellAttr* separatorAttr_;
    wxGridCellAttr* redAttr_;
};

}  // namespace hc12
