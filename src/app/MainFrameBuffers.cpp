// The buffer commands of the main window and the page access of the target view.
#include <algorithm>
#include <vector>

#include <wx/evtloop.h>
#include <wx/file.h>
#include <wx/filedlg.h>
#include <wx/filename.h>
#include <wx/log.h>
#include <wx/time.h>

#include "BufferGrid.h"
#include "BufferNotebook.h"
#include "Compare.h"
#include "FileTexts.h"
#include "Fill.h"
#include "FilteredTextField.h"
#include "MainFrame.h"
#include "OperationGuard.h"

namespace hc12 {
namespace {

wxString FromUtf8(const char* s) {
    return wxString::FromUTF8(s);
}

std::string Utf8(const wxString& s) {
    return s.utf8_string();
}

Message ErrorBox(const char* text, MsgIcon icon) {
    return Message{text, kErrorCaption, MsgButtons::Ok, icon};
}

// The chosen path of a file dialog that was closed with OK, else empty. The GTK
// chooser reports a path set by the program only through the dialog's own copy.
wxString ChosenPath(wxFileDialog& dialog) {
    if (dialog.ShowModal() != wxID_OK)
        return wxString();
    wxString path = dialog.GetPath();
    if (path.empty())
        path = dialog.wxFileDialogBase::GetPath();
    return path;
}

// Reads exactly `length` bytes, or reports failure.
bool ReadWhole(wxFile& file, std::vector<uint8_t>& block) {
    size_t done = 0;
    while (done < block.size()) {
        const ssize_t got = file.Read(block.data() + done, block.size() - done);
        if (got == wxInvalidOffset || got <= 0)
            return false;
        done += size_t(got);
    }
    return true;
}

}  // namespace

// --- commands ---

void MainFrame::OnNewBuffer(wxCommandEvent&) {
    notebook_->AddBufferPage("Buf");
}

void MainFrame::OnCloseBuffer(wxCommandEvent&) {
    notebook_->CloseCurrentPage();
}

void MainFrame::OnPageChanged(wxNotebookEvent& event) {
    if (event.GetEventObject() == notebook_)
        notebook_->OnPageChanged();
}

void MainFrame::OnAddressFieldChanged(FilteredTextField& field) {
    notebook_->OnAddressFieldChanged(field);
}

void MainFrame::OnOpenFile(wxCommandEvent&) {
    wxString path;
    {
        wxFileDialog dialog(this, FromUtf8(kChooseFileText), wxString(), wxString(), wxString(),
                            wxFD_OPEN);
        path = ChosenPath(dialog);
    }
    if (path.empty())
        return;
    BufferGrid* grid = notebook_->CurrentGrid();
    if (!grid)
        return;

    wxLogNull noLogBoxes;
    wxFile file;
    if (!file.Open(path, wxFile::read)) {
        ShowMessage(ErrorBox(kCannotOpenText, MsgIcon::Error));
        return;
    }
    // A length that does not fit the page's 32-bit count is refused, never cut.
    const wxFileOffset length = file.Length();
    if (length < 0 || uint64_t(length) > kMaxFileLength) {
        ShowMessage(ErrorBox(kCannotOpenText, MsgIcon::Error));
        return;
    }
    for (const std::string& question : LoadQuestions(uint64_t(length), grid->count())) {
        const MsgAnswer answer =
            ShowMessage(Message{question, kWarningCaption, MsgButtons::YesNo, MsgIcon::Question});
        if (answer == MsgAnswer::No)
            return;
    }
    // The whole file is read and checked before the page is touched: a short read
    // leaves the page as it was.
    const uint32_t size = uint32_t(length);
    std::vector<uint8_t> block(size);
    if (!ReadWhole(file, block)) {
        ShowMessage(ErrorBox(kCannotOpenText, MsgIcon::Error));
        return;
    }
    file.Close();

    notebook_->BuildPageGrid(size);
    grid = notebook_->CurrentGrid();
    const wxString name = wxFileName(path).GetFullName();
    // The tab and the page's entry in the compare box take the file's name.
    notebook_->RenameCurrentPage(name);
    if (compareCombo_) {
        const int selected = compareCombo_->GetSelection();
        const int next = selected == wxNOT_FOUND ? 0 : selected + 1;
        // The last entry has nothing after it and stays selected.
        if (next < int(compareCombo_->GetCount()))
            compareCombo_->SetSelection(next);
    }

    PageModel& page = grid->model();
    if (size > 0)
        Progress(int32_t(size));
    for (uint32_t i = 0; i < size; ++i) {
        page.SetCellByte(i, block[i]);
        Progress(0);
    }
    grid->RefreshChanged();
    SetStatusText(0, LoadedStatusText(size));
}

void MainFrame::OnSaveFile(wxCommandEvent&) {
    wxString path;
    {
        // The file selector's dialog: no parent, every file listed, asks before
        // overwriting.
        wxFileDialog dialog(nullptr, FromUtf8(kChooseFileText), wxString(), wxString(), wxString(),
                            wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
        path = ChosenPath(dialog);
    }
    if (path.empty())
        return;
    BufferGrid* grid = notebook_->CurrentGrid();
    if (!grid)
        return;

    wxLogNull noLogBoxes;
    // Written beside the chosen file and put in its place only when complete, so a
    // failed write leaves an old file as it was.
    wxTempFile file;
    if (!file.Open(path)) {
        ShowMessage(ErrorBox(kCannotOpenText, MsgIcon::None));
        return;
    }
    const uint32_t count = grid->count();
    const PageModel& page = grid->model();
    std::vector<uint8_t> image(count);
    if (count > 0)
        Progress(int32_t(count));
    for (uint32_t i = 0; i < count; ++i) {
        image[i] = page.GetCellByte(i);
        Progress(0);
    }
    Progress(-1);
    if (!file.Write(image.data(), image.size()) || !file.Commit()) {
        file.Discard();
        ShowMessage(ErrorBox(kCannotSaveText, MsgIcon::None));
    }
}

void MainFrame::OnFill(wxCommandEvent&) {
    BufferGrid* grid = notebook_->CurrentGrid();
    if (!grid || !fillValueField_)
        return;
    const uint8_t value = FillValue(Utf8(fillValueField_->GetValue()));
    FillSelected(grid->model(), value, grid->SelectedBlocks());
    grid->RefreshChanged();
}

void MainFrame::OnCompareWith(wxCommandEvent& event) {
    const OperationGuard guard(*this);
    const int chosen = event.GetSelection();
    BufferGrid* gridA = notebook_->CurrentGrid();
    if (!gridA || chosen < 0 || size_t(chosen) >= notebook_->GetPageCount())
        return;
    const std::string nameA = Utf8(notebook_->GetPageText(size_t(notebook_->GetSelection())));

    if (notebook_->GetSelection() != chosen) {
        notebook_->SetSelection(size_t(chosen));
        // Ports that deliver the page change later get it here, once.
        if (notebook_->CurrentGrid() != notebook_->GridAt(size_t(chosen)))
            notebook_->OnPageChanged();
    }
    BufferGrid* gridB = notebook_->GridAt(size_t(chosen));
    const std::string nameB = Utf8(notebook_->GetPageText(size_t(chosen)));

    const wxString resultName =
        notebook_->AddBufferPage(wxString::FromUTF8(CompareResultName(nameA, nameB)));
    if (resultName.empty())
        return;
    BufferGrid* result = notebook_->CurrentGrid();
    const uint32_t n = CompareLength(gridA->model(), gridB->model());
    // The result holds a cell for every compared index even when B's count is
    // smaller than its grid.
    if (result->model().capacity() < n) {
        notebook_->BuildPageGrid(result->count(), n);
        result = notebook_->CurrentGrid();
    }
    Progress(int32_t(n));
    const int32_t differences =
        ComparePages(gridA->model(), gridB->model(), result->model(), [this] { Progress(0); });
    result->RefreshChanged();

    if (differences > 0) {
        const std::string summary = CompareSummary(differences);
        ShowMessage(Message{summary, kDifferencesCaption, MsgButtons::Ok, MsgIcon::None});
        SetStatusText(1, summary);
    } else {
        notebook_->CloseCurrentPage();
        ShowMessage(
            Message{kIdenticalBuffersText, kDifferencesCaption, MsgButtons::Ok, MsgIcon::None});
    }
}

// --- the current page, as the target operations see it ---

uint32_t MainFrame::PageCount() {
    BufferGrid* grid = notebook_->CurrentGrid();
    return grid ? grid->count() : 0;
}

uint32_t MainFrame::PageStart() {
    BufferGrid* grid = notebook_->CurrentGrid();
    return grid ? grid->start() : 0;
}

void MainFrame::BuildPage(uint32_t size) {
    notebook_->BuildPageGrid(size);
}

bool MainFrame::CellEmpty(uint32_t index) {
    BufferGrid* grid = notebook_->CurrentGrid();
    return !grid || grid->model().CellEmpty(index);
}

uint8_t MainFrame::GetCellByte(uint32_t index) {
    BufferGrid* grid = notebook_->CurrentGrid();
    return grid ? grid->model().GetCellByte(index) : 0;
}

void MainFrame::SetCellByte(uint32_t index, uint8_t value) {
    if (BufferGrid* grid = notebook_->CurrentGrid())
        grid->model().SetCellByte(index, value);
}

void MainFrame::MarkCellRed(uint32_t index) {
    if (BufferGrid* grid = notebook_->CurrentGrid())
        grid->model().MarkRed(index);
}

bool MainFrame::CellSelected(uint32_t index) {
    BufferGrid* grid = notebook_->CurrentGrid();
    return grid && grid->ByteSelected(index);
}

void MainFrame::SelectCell(uint32_t index, bool add) {
    if (BufferGrid* grid = notebook_->CurrentGrid())
        grid->SelectByte(index, add);
}

void MainFrame::ScrollGrid(int verticalPosition) {
    // The position counts the toolkit's usual 15-pixel lines; the grid scrolls by
    // whole rows, so it goes to the row at that height.
    constexpr int kLinePixels = 15;
    if (BufferGrid* grid = notebook_->CurrentGrid())
        grid->Scroll(-1, verticalPosition * kLinePixels / std::max(grid->GetScrollLineY(), 1));
}

void MainFrame::MovePageUp() {
    if (BufferGrid* grid = notebook_->CurrentGrid())
        grid->MovePageUp();
}

void MainFrame::MovePageDown() {
    if (BufferGrid* grid = notebook_->CurrentGrid())
        grid->MovePageDown();
}

void MainFrame::RepaintGrid() {
    // A word takes a few milliseconds on the line; painting after every one would
    // cost more than the protocol itself. Paint at most about 60 times a second;
    // the changes gathered meanwhile are painted with the next repaint, or once
    // the operation has returned to the event loop.
    const wxLongLong now = wxGetUTCTimeMillis();
    if (now - lastRepaintMs_ < 16) {
        if (!repaintPending_) {
            repaintPending_ = true;
            CallAfter([this] {
                repaintPending_ = false;
                if (BufferGrid* grid = notebook_->CurrentGrid())
                    grid->RefreshChanged();
            });
        }
        return;
    }
    lastRepaintMs_ = now;
    if (BufferGrid* grid = notebook_->CurrentGrid())
        grid->RefreshChanged();
    // Paint and other window events only: input waits until the operation ends.
    if (wxEventLoopBase* loop = wxEventLoopBase::GetActive())
        loop->YieldFor(wxEVT_CATEGORY_UI);
}

void MainFrame::SetStartField(const std::string& text) {
    if (startField_)
        startField_->SetText(wxString::FromUTF8(text.data(), text.size()));
}

void MainFrame::SetCountField(const std::string& text) {
    if (countField_)
        countField_->SetText(wxString::FromUTF8(text.data(), text.size()));
}

}  // namespace hc12
