#include "BufferNotebook.h"

#include <algorithm>

#include <wx/panel.h>

#include "BufferGrid.h"
#include "FileTexts.h"
#include "FilteredTextField.h"
#include "HexText.h"
#include "ProgramMessageDialog.h"

namespace hc12 {
namespace {

wxString FromUtf8(const std::string& s) {
    return wxString::FromUTF8(s.data(), s.size());
}
wxString FromUtf8(const char* s) {
    return wxString::FromUTF8(s);
}

constexpr uint32_t kDefaultPageBytes = 512;
// Page panels: tab traversal, no border.
constexpr long kPageStyle = wxTAB_TRAVERSAL | wxNO_BORDER;

}  // namespace

BufferNotebook::BufferNotebook(wxWindow* parent, wxWindowID id, const wxPoint& pos,
                               const wxSize& size, long style, const wxString& name)
    : wxNotebook(parent, id, pos, size, style, name), cellRenderer_(BufferGrid::NewCellRenderer()) {
    gridTable_.fill(nullptr);
    AddBufferPage("Buf");
}

BufferNotebook::~BufferNotebook() {
    // The pages' grids hold references of their own; this one is the notebook's.
    cellRenderer_->DecRef();
}

void BufferNotebook::SetAddressFields(FilteredTextField* startField,
                                      FilteredTextField* countField) {
    startField_ = startField;
    countField_ = countField;
}

void BufferNotebook::SetCompareCombo(wxComboBox* compareCombo) {
    compareCombo_ = compareCombo;
}

void BufferNotebook::UpdateCompareComboState() {
    if (!compareCombo_)
        return;
    compareCombo_->Enable(compareCombo_->GetCount() > 1);
}

wxString BufferNotebook::AddBufferPage(const wxString& requested) {
    uint32_t size = kDefaultPageBytes;
    uint32_t start = 0;
    if (currentGrid_) {
        size = currentGrid_->count();
        start = currentGrid_->start();
    }
    if (GetPageCount() >= size_t(kMaxPages)) {
        // The program's own box: GTK's shows no icon.
        ProgramMessageDialog(FromUtf8(Tr(kTooManyPagesText)), FromUtf8(Tr(kWarningCaption)),
                             wxOK | wxICON_EXCLAMATION)
            .ShowModal();
        return wxString();
    }
    currentGrid_ = nullptr;
    wxString name = requested;
    if (name == "Buf")
        name = wxString::Format("Buf%u", pageCounter_++);

    auto* page = new wxPanel(this, wxID_ANY, wxDefaultPosition, wxDefaultSize, kPageStyle);
    // The grid keeps to its page's width whenever the page changes it (the first
    // page is made before the window has given the notebook its final width), so
    // its scrollbar stays on the page.
    page->Bind(wxEVT_SIZE, [this, page](wxSizeEvent& event) {
        event.Skip();
        const int index = FindPage(page);
        if (BufferGrid* grid = index >= 0 ? GridAt(size_t(index)) : nullptr)
            grid->SetSize(GridWidth(page), grid->GetSize().y);
    });
    AddPage(page, name, true);
    // The page is only laid out later on some ports; give it the size it gets.
    if (page->GetSize().GetWidth() < 50)
        page->SetSize(PageRectGuess());

    if (compareCombo_) {
        compareCombo_->Append(name);
        compareCombo_->SetSelection(int(compareCombo_->GetCount()) - 1);
        UpdateCompareComboState();
    }
    BuildPageGrid(size);
    if (startField_)
        startField_->SetText(FromUtf8(FormatHex4(start)));
    return name;
}

int BufferNotebook::GridWidth(wxWindow* page) {
    // The grid sits 3 pixels in from the page's left edge and ends at its right edge.
    return std::max(page->GetClientSize().GetWidth() - page->FromDIP(3), 1);
}

wxRect BufferNotebook::PageRectGuess() const {
    // Where the pages sit once the notebook is shown: below the tabs, inside the border.
    const wxSize client = GetClientSize();
    const int tabsHeight = FromDIP(32), border = FromDIP(3);
    return wxRect(border, tabsHeight, std::max(client.GetWidth() - 2 * border, 1),
                  std::max(client.GetHeight() - tabsHeight - border, 1));
}

void BufferNotebook::CloseCurrentPage() {
    const int s = GetSelection();
    const int n = int(GetPageCount());
    if (s < 0)
        return;
    for (int i = s; i < n; ++i)
        gridTable_[size_t(i)] = gridTable_[size_t(i) + 1];
    gridTable_[size_t(n)] = nullptr;

    if (compareCombo_) {
        // Entries follow the pages by index: two pages may carry the same name.
        if (s < int(compareCombo_->GetCount()))
            compareCombo_->Delete(unsigned(s));
        UpdateCompareComboState();
        if (compareCombo_->GetCount() > 0)
            compareCombo_->SetSelection(int(compareCombo_->GetCount()) - 1);
    }
    // No current grid while the page goes: the page change this raises must not
    // store the fields into a grid being destroyed.
    currentGrid_ = nullptr;
    DeletePage(size_t(s));
    if (GetPageCount() == 0)
        AddBufferPage("Buf");

    int shown = s == 0 ? 0 : (s == n - 1 ? s - 1 : s);
    if (n == 1)
        shown = 0;
    if (GetSelection() != shown)
        ChangeSelection(size_t(shown));
    currentGrid_ = gridTable_[size_t(shown)];
    ShowAddressWindow(currentGrid_);
}

void BufferNotebook::RenameCurrentPage(const wxString& name) {
    const int s = GetSelection();
    if (s < 0)
        return;
    SetPageText(size_t(s), name);
    if (compareCombo_ && s < int(compareCombo_->GetCount())) {
        compareCombo_->SetString(unsigned(s), name);
        // The box shows its own copy of the chosen entry's text.
        if (compareCombo_->GetSelection() == s) {
            compareCombo_->SetSelection(wxNOT_FOUND);
            compareCombo_->SetSelection(s);
        }
    }
}

void BufferNotebook::BuildPageGrid(uint32_t size) {
    BuildPageGrid(size, size);
}

void BufferNotebook::BuildPageGrid(uint32_t size, uint32_t capacity) {
    const int s = GetSelection();
    if (s < 0)
        return;
    uint32_t start = 0;
    if (BufferGrid* old = gridTable_[size_t(s)]) {
        start = old->start();
        gridTable_[size_t(s)] = nullptr;
        if (currentGrid_ == old)
            currentGrid_ = nullptr;
        old->Destroy();
    }
    wxWindow* page = GetPage(size_t(s));
    const wxSize pageSize = page->GetSize();
    auto* grid = new BufferGrid(page, 0, page->FromDIP(wxPoint(3, 3)),
                                wxSize(GridWidth(page), pageSize.GetHeight() - page->FromDIP(3)),
                                wxWANTS_CHARS, "Notebook", std::max(size, capacity));
    grid->UseCellRenderer(cellRenderer_);
    gridTable_[size_t(s)] = grid;
    currentGrid_ = gridTable_[size_t(GetSelection())];
    if (startField_ && countField_) {
        grid->SetCount(size);
        grid->SetStart(start);
        ShowAddressWindow(grid);
    }
}

void BufferNotebook::ShowAddressWindow(BufferGrid* grid) {
    if (!startField_ || !countField_ || !currentGrid_ || !grid)
        return;
    const uint32_t start = grid->start();
    countField_->SetText(wxString::Format("%u", grid->count()));
    grid->SetStart(start);
    startField_->SetText(FromUtf8(FormatHex4(start)));
    currentGrid_->RelabelRows();
}

void BufferNotebook::StoreAddressWindow() {
    if (!startField_ || !countField_ || !currentGrid_)
        return;
    // Copies: a UTF-8 view of a temporary wxString would not outlive it.
    const std::string count = countField_->GetValue().utf8_string();
    const std::string start = startField_->GetValue().utf8_string();
    currentGrid_->SetCount(ParseDecimal(count));
    currentGrid_->SetStart(ParseHex(start));
}

void BufferNotebook::OnAddressFieldChanged(FilteredTextField& field) {
    const wxString name = field.GetName();
    if (name != "ile" && name != "start")
        return;
    StoreAddressWindow();
}

void BufferNotebook::OnPageChanged() {
    if (!startField_ || !countField_ || !currentGrid_)
        return;
    StoreAddressWindow();
    const int s = GetSelection();
    currentGrid_ = s >= 0 ? gridTable_[size_t(s)] : nullptr;
    ShowAddressWindow(currentGrid_);
}

}  // namespace hc12
