// The notebook of buffer pages: one to eight pages, each a panel with a BufferGrid.
#pragma once

#include <array>
#include <cstdint>

#include <wx/combobox.h>
#include <wx/grid.h>
#include <wx/notebook.h>

namespace hc12 {

class BufferGrid;
class FilteredTextField;

class BufferNotebook : public wxNotebook {
  public:
    static constexpr int kMaxPages = 8;

    // Comes up holding one page, Buf0.
    BufferNotebook(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size,
                   long style, const wxString& name);
    ~BufferNotebook() override;

    // The frame hands over the controls the pages keep in step with, once they exist.
    void SetAddressFields(FilteredTextField* startField, FilteredTextField* countField);
    void SetCompareCombo(wxComboBox* compareCombo);

    // Returns the final page name, or an empty string when the page limit refused it.
    wxString AddBufferPage(const wxString& name);
    void CloseCurrentPage();
    void RenameCurrentPage(const wxString& name);
    // Build (again) the selected page's grid for `size` bytes; it becomes current.
    void BuildPageGrid(uint32_t size);
    // The same with room for at least `capacity` cells (count stays `size`).
    void BuildPageGrid(uint32_t size, uint32_t capacity);
    // Fields <- page window, rows relabelled.
    void ShowAddressWindow(BufferGrid* grid);
    // The page-changed handling of the frame.
    void OnPageChanged();
    // The text-changed handling of the address fields: the current page takes
    // the start and count the fields show.
    void OnAddressFieldChanged(FilteredTextField& field);

    BufferGrid* CurrentGrid() const { return currentGrid_; }
    BufferGrid* GridAt(size_t index) const {
        return index < gridTable_.size() ? gridTable_[index] : nullptr;
    }
    unsigned PageCounter() const { return pageCounter_; }

  private:
    void StoreAddressWindow();
    void UpdateCompareComboState();
    wxRect PageRectGuess() const;
    static int GridWidth(wxWindow* page);

    std::array<BufferGrid*, kMaxPages + 1> gridTable_{};
    BufferGrid* currentGrid_ = nullptr;
    unsigned pageCounter_ = 0;
    FilteredTextField* startField_ = nullptr;
    FilteredTextField* countField_ = nullptr;
    wxComboBox* compareCombo_ = nullptr;
    // One renderer for every page's grid (it keeps the drawn cells).
    wxGridCellRenderer* cellRenderer_ = nullptr;
};

}  // namespace hc12
