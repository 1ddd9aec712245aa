// The buffer commands of the main window and the page access of the target view.
#include <algorithm>
#include <filesystem>
#include <vector>

#include <wx/evtloop.h>
#include <wx/filedlg.h>
#include <wx/filename.h>
#include <wx/time.h>

#include "BufferGrid.h"
#include "BufferNotebook.h"
#include "Compare.h"
#include "FileTexts.h"
#include "Fill.h"
#include "FilteredTextField.h"
#include "HexText.h"
#include "ImageFile.h"
#include "InputFile.h"
#include "MainFrame.h"
#include "ReplacingFile.h"

namespace hc12 {
namespace {

wxString FromUtf8(const char* s) {
    return wxString::FromUTF8(s);
}

std::string Utf8(const wxString& s) {
    return s.utf8_string();
}

// `text` is translated here.
Message ErrorBox(const char* text, MsgIcon icon) {
    return Message{Tr(text), Tr(kErrorCaption), MsgButtons::Ok, icon};
}

// The chosen path of a file dialog that was closed with OK, else empty, and the
// format of the file type chosen. The GTK chooser reports a path set by the
// program only through the dialog's own copy.
wxString ChosenPath(wxFileDialog& dialog, ImageFormat* format) {
    if (dialog.ShowModal() != wxID_OK)
        return wxString();
    wxString path = dialog.GetPath();
    if (path.empty())
        path = dialog.wxFileDialogBase::GetPath();
    *format = FormatForFileType(dialog.GetFilterIndex(), Utf8(wxFileName(path).GetFullName()));
    return path;
}

// The chosen path as the file system names it.
std::filesystem::path FsPath(const wxString& path) {
#ifdef __WINDOWS__
    return std::filesystem::path(path.ToStdWstring());  // names are UTF-16 there
#else
    return std::filesystem::path(path.fn_str().data());
#endif
}

// The current page, rebuilt for `count` cells, takes the loaded file: its name in
// the tab and in the compare list, its `loaded` bytes put in by `fill` (which
// calls its step after each byte, for the gauge), and the report in field 0.
template <typename Fill>
void TakeLoadedFile(MainFrame& frame, const wxString& path, uint32_t count, uint32_t loaded,
                    Fill fill) {
    BufferNotebook* notebook = frame.notebook();
    notebook->BuildPageGrid(count);
    BufferGrid* grid = notebook->CurrentGrid();
    const wxString name = wxFileName(path).GetFullName();
    // The tab and the page's entry in the compare box take the file's name.
    notebook->RenameCurrentPage(name);
    if (wxComboBox* combo = frame.compareCombo()) {
        const int selected = combo->GetSelection();
        const int next = selected == wxNOT_FOUND ? 0 : selected + 1;
        // The last entry has nothing after it and stays selected.
        if (next < int(combo->GetCount()))
            combo->SetSelection(next);
    }

    if (loaded > 0)
        frame.Progress(int32_t(loaded));
    fill(grid->model(), [&frame] { frame.Progress(0); });
    grid->RefreshChanged();
    frame.SetStatusText(0, LoadedStatusText(loaded));
}

// An S-record or Intel HEX file: its bytes land at their addresses in the page's
// window, or in a window moved to cover them when the user agrees.
void LoadAddressedFile(MainFrame& frame, const wxString& path, ImageFormat format) {
    AddressedImage image;
    std::string reason;
    ImageError recordError;
    switch (ReadAddressedImage(FsPath(path), format, &image, &reason, &recordError)) {
        case ImageReadResult::Ok:
            break;
        case ImageReadResult::Unreadable:
            frame.ShowMessage(ErrorBox(kCannotOpenText, MsgIcon::Error));
            return;
        case ImageReadResult::BadRecord:
            frame.ShowMessage(Message{ImageErrorText(recordError), Tr(kErrorCaption),
                                      MsgButtons::Ok, MsgIcon::Error});
            return;
    }
    BufferGrid* grid = frame.notebook()->CurrentGrid();
    uint32_t count = grid->count();
    if (!FitsWindow(image, grid->start(), count)) {
        uint32_t start = 0;
        if (!WindowFor(image, &start, &count)) {
            frame.ShowMessage(Message{NoWindowFitsText(image), Tr(kErrorCaption), MsgButtons::Ok,
                                      MsgIcon::Error});
            return;
        }
        if (frame.ShowMessage(Message{MoveWindowQuestion(image, grid->start(), grid->count()),
                                      Tr(kWarningCaption), MsgButtons::YesNo, MsgIcon::Question}) ==
            MsgAnswer::No)
            return;
        // The fields carry the new window into the page.
        frame.SetStartField(FormatHex4(start));
        frame.SetCountField(std::to_string(count));
    }
    TakeLoadedFile(frame, path, count, uint32_t(image.bytes.size()),
                   [&image](PageModel& page, const auto& step) {
                       for (const ImageByte& b : image.bytes) {
                           page.SetCellByte(b.address - page.start(), b.value);
                           step();
                       }
                   });
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
    ImageFormat format = ImageFormat::Raw;
    {
        wxFileDialog dialog(this, FromUtf8(Tr(kChooseFileText)), wxString(), wxString(),
                            FromUtf8(ImageFileTypes().c_str()), wxFD_OPEN);
        path = ChosenPath(dialog, &format);
    }
    if (path.empty())
        return;
    BufferGrid* grid = notebook_->CurrentGrid();
    if (!grid)
        return;
    if (format != ImageFormat::Raw) {
        LoadAddressedFile(*this, path, format);
        return;
    }

    // Regular files only: a FIFO or a device is refused before it is read.
    InputFile file;
    std::string error;
    if (!file.Open(FsPath(path), &error)) {
        ShowMessage(ErrorBox(kCannotOpenText, MsgIcon::Error));
        return;
    }
    // A length that does not fit the page's 32-bit count is refused, never cut.
    const uint64_t length = file.size();
    if (length > kMaxFileLength) {
        ShowMessage(ErrorBox(kCannotOpenText, MsgIcon::Error));
        return;
    }
    if (!CountFitsField(length))
        return;
    for (const std::string& question : LoadQuestions(length, grid->count())) {
        const MsgAnswer answer = ShowMessage(
            Message{question, Tr(kWarningCaption), MsgButtons::YesNo, MsgIcon::Question});
        if (answer == MsgAnswer::No)
            return;
    }
    // The whole file is read and checked before the page is touched: a file that
    // changed its length since the questions leaves the page as it was.
    std::vector<uint8_t> block;
    if (!file.ReadAll(length, &block, &error) || block.size() != length) {
        ShowMessage(ErrorBox(kCannotOpenText, MsgIcon::Error));
        return;
    }
    file.Close();
    const uint32_t size = uint32_t(length);
    TakeLoadedFile(*this, path, size, size, [&block](PageModel& page, const auto& step) {
        for (uint32_t i = 0; i < block.size(); ++i) {
            page.SetCellByte(i, block[i]);
            step();
        }
    });
}

void MainFrame::OnSaveFile(wxCommandEvent&) {
    wxString path;
    ImageFormat format = ImageFormat::Raw;
    {
        // The file selector's dialog: no parent, asks before overwriting.
        wxFileDialog dialog(nullptr, FromUtf8(Tr(kChooseFileText)), wxString(), wxString(),
                            FromUtf8(ImageFileTypes().c_str()), wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
        path = ChosenPath(dialog, &format);
    }
    if (path.empty())
        return;
    BufferGrid* grid = notebook_->CurrentGrid();
    if (!grid)
        return;

    // Written beside the chosen file (or the file its link leads to) and put in its
    // place only when complete, so a failed write leaves an old file as it was.
    ReplacingFile file;
    std::string error;
    if (!file.Open(FsPath(path), &error)) {
        ShowMessage(ErrorBox(kCannotOpenText, MsgIcon::None));
        return;
    }
    const PageModel& page = grid->model();
    std::vector<uint8_t> image;
    if (format == ImageFormat::Raw) {
        const uint32_t count = grid->count();
        image.resize(count);
        if (count > 0)
            Progress(int32_t(count));
        for (uint32_t i = 0; i < count; ++i) {
            image[i] = page.GetCellByte(i);
            Progress(0);
        }
        Progress(-1);
    } else {
        // Only the cells that hold a byte: gaps stay gaps.
        image = EncodeAddressedImage(PageImage(page), format, Utf8(wxFileName(path).GetFullName()));
    }
    if (!file.Write(image, &error) || !file.Commit(&error)) {
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
    RunOperation(Operation::Other, [this, &event] { CompareWith(event.GetSelection()); });
}

void MainFrame::CompareWith(int chosen) {
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
        ShowMessage(Message{summary, Tr(kDifferencesCaption), MsgButtons::Ok, MsgIcon::None});
        SetStatusText(1, summary);
    } else {
        notebook_->CloseCurrentPage();
        ShowMessage(Message{Tr(kIdenticalBuffersText), Tr(kDifferencesCaption), MsgButtons::Ok,
                            MsgIcon::None});
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

void MainFrame::InsertEmptyCellInFront() {
    if (BufferGrid* grid = notebook_->CurrentGrid())
        grid->InsertEmptyCellInFront();
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
