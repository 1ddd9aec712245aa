// Figures of the buffer pages (prints, never asserts), median of several runs:
//  1. the page model alone: fill a 1 MiB page byte by byte, take a 1 MiB save
//     image, compare two 64 KiB pages, fill a 64 KiB selection;
//  2. with a display, the same commands in the real window: load a 1 MiB file into
//     a page (file dialog answered, first repaint included), save it, compare two
//     64 KiB pages, fill a 64 KiB selection; and the resident memory with one 1 MiB
//     page open.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/filedlg.h>
#include <wx/init.h>
#include <wx/msgdlg.h>
#include <wx/testing.h>

#include "BufferGrid.h"
#include "BufferNotebook.h"
#include "Compare.h"
#include "Fill.h"
#include "FilteredTextField.h"
#include "Ids.h"
#include "MainFrame.h"
#include "PageModel.h"

namespace {

using namespace hc12;
using WallClock = std::chrono::steady_clock;
constexpr int kRuns = 7;
constexpr uint32_t kMiB = 1u << 20;
constexpr uint32_t k64KiB = 1u << 16;

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Milliseconds of `run`, median of kRuns; `prepare` runs untimed before each.
double Time(const std::function<void()>& prepare, const std::function<void()>& run) {
    std::vector<double> ms;
    for (int i = 0; i < kRuns; ++i) {
        if (prepare)
            prepare();
        const auto t0 = WallClock::now();
        run();
        ms.push_back(std::chrono::duration<double, std::milli>(WallClock::now() - t0).count());
    }
    return Median(ms);
}

long ResidentKiB() {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            long kib = 0;
            status >> kib;
            return kib;
        }
        status.ignore(1 << 12, '\n');
    }
    return -1;
}

void ModelFigures() {
    std::printf("page model alone (ms, median of %d):\n", kRuns);
    PageModel page;
    const double load = Time({}, [&] {
        page.Build(kMiB);
        for (uint32_t i = 0; i < kMiB; ++i)
            page.SetCellByte(i, uint8_t(i * 7));
    });
    std::printf("  build + 1 MiB of SetCellByte   %8.2f\n", load);
    page.set_count(kMiB);
    std::vector<uint8_t> image;
    const double save = Time({}, [&] { image = page.Image(page.count()); });
    std::printf("  1 MiB save image               %8.2f\n", save);
    PageModel a(k64KiB), b(k64KiB), result;
    for (uint32_t i = 0; i < k64KiB; ++i) {
        a.SetCellByte(i, uint8_t(i));
        b.SetCellByte(i, uint8_t(i % 1000 ? i : i + 1));
    }
    int32_t differences = 0;
    const double compare =
        Time([&] { result.Build(k64KiB); }, [&] { differences = ComparePages(a, b, result); });
    std::printf("  compare 2 x 64 KiB             %8.2f  (%d differences)\n", compare, differences);
    const std::vector<CellBlock> selection{{0, 17, int32_t(k64KiB / 16 - 1), 32},
                                           {0, 0, int32_t(k64KiB / 16 - 1), 15}};
    const double fill = Time({}, [&] { FillSelected(a, 0x5A, selection); });
    std::printf("  fill a 64 KiB selection        %8.2f\n", fill);
}

// Answers the file dialogs with a path and every question with Yes.
class BenchHook : public wxModalDialogHook {
  public:
    std::string path;

  protected:
    int Enter(wxDialog* dialog) override {
        if (auto* files = dynamic_cast<wxFileDialog*>(dialog)) {
            files->SetPath(wxString::FromUTF8(path));
            return wxID_OK;
        }
        return dynamic_cast<wxMessageDialog*>(dialog) ? wxID_YES : wxID_CANCEL;
    }
    void Exit(wxDialog*) override {}
};

void Pump() {
    for (int i = 0; i < 5; ++i) {
        wxEventLoopBase::GetActive()->Yield(false);
        wxTheApp->ProcessIdle();
    }
}

void Command(MainFrame* frame, wxEventType type, int id, int item = 0) {
    wxCommandEvent e(type, id);
    e.SetInt(item);
    e.SetEventObject(frame);
    frame->GetEventHandler()->ProcessEvent(e);
}

// Everything repainted that is due (the first repaint after a command).
void Repaint(MainFrame* frame) {
    frame->notebook()->CurrentGrid()->Update();
    wxEventLoopBase::GetActive()->YieldFor(wxEVT_CATEGORY_UI);
}

void WindowFigures(const std::string& dir) {
    std::printf("in the window (ms, median of %d):\n", kRuns);
    const long before = ResidentKiB();
    auto* frame = new MainFrame("bench", wxDefaultPosition, wxDefaultSize);
    frame->Show();
    Pump();
    const long empty = ResidentKiB();
    BenchHook hook;
    hook.Register();

    const std::string file = dir + "/buffers-bench-1mib.bin";
    {
        std::ofstream out(file, std::ios::binary);
        for (uint32_t i = 0; i < kMiB; ++i)
            out.put(char(uint8_t(i * 13)));
    }
    hook.path = file;
    const double load = Time([&] { frame->countField()->SetText("512"); },
                             [&] {
                                 Command(frame, wxEVT_MENU, ID_OPEN_FILE);
                                 Repaint(frame);
                             });
    // The file dialog alone (made and answered the way the commands make it), to
    // take it out of the figures.
    const double openDialog = Time({}, [&] {
        wxFileDialog d(frame, "x", wxString(), wxString(), wxString(), wxFD_OPEN);
        d.ShowModal();
    });
    const double saveDialog = Time({}, [&] {
        wxFileDialog d(nullptr, "x", wxString(), wxString(), wxString(),
                       wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
        d.ShowModal();
    });
    std::printf("  file dialog alone: open %.2f, save %.2f\n", openDialog, saveDialog);
    std::printf("  load 1 MiB file, first repaint %8.2f  (%.2f without the dialog)\n", load,
                load - openDialog);
    Pump();
    const long onePage = ResidentKiB();

    hook.path = dir + "/buffers-bench-out.bin";
    const double save = Time({}, [&] { Command(frame, wxEVT_MENU, ID_SAVE_FILE); });
    std::printf("  save 1 MiB                     %8.2f  (%.2f without the dialog)\n", save,
                save - saveDialog);

    BufferNotebook* nb = frame->notebook();
    frame->countField()->SetText(std::to_string(k64KiB));
    nb->BuildPageGrid(k64KiB);  // page 0: 64 KiB
    for (uint32_t i = 0; i < k64KiB; ++i)
        nb->CurrentGrid()->model().SetCellByte(i, uint8_t(i));
    Command(frame, wxEVT_MENU, ID_NEW_BUFFER);  // page 1: 64 KiB
    for (uint32_t i = 0; i < k64KiB; ++i)
        nb->CurrentGrid()->model().SetCellByte(i, uint8_t(i % 1000 ? i : i + 1));
    const double compare = Time(
        [&] {
            while (nb->GetPageCount() > 2)
                nb->CloseCurrentPage();
            nb->SetSelection(0);
        },
        [&] {
            Command(frame, wxEVT_COMBOBOX, ID_COMPARE, 1);
            Repaint(frame);
        });
    std::printf("  compare 2 x 64 KiB, repaint    %8.2f\n", compare);
    while (nb->GetPageCount() > 2)
        nb->CloseCurrentPage();
    nb->SetSelection(0);

    BufferGrid* grid = nb->CurrentGrid();
    grid->SelectBlock(0, 0, int(k64KiB / 16) - 1, 15);
    const double fill = Time({}, [&] {
        Command(frame, wxEVT_BUTTON, ID_FILL);
        Repaint(frame);
    });
    std::printf("  fill a 64 KiB selection        %8.2f\n", fill);

    std::printf("resident memory (MiB): before the window %.1f, window %.1f, one 1 MiB page %.1f\n",
                before / 1024.0, empty / 1024.0, onePage / 1024.0);
    hook.Unregister();
    frame->Destroy();
    Pump();
    std::remove(file.c_str());
    std::remove((dir + "/buffers-bench-out.bin").c_str());
}

}  // namespace

int main(int argc, char** argv) {
    ModelFigures();
    if (!std::getenv("DISPLAY")) {
        std::printf("no display: window figures skipped (run under xvfb-run)\n");
        return 0;
    }
    wxApp::SetInstance(new wxApp);
    if (!wxEntryStart(argc, argv) || !wxTheApp->CallOnInit())
        return 2;
    {
        wxEventLoop loop;
        wxEventLoopActivator active(&loop);
        const char* tmp = std::getenv("TMPDIR");
        WindowFigures(tmp ? tmp : "/tmp");
    }
    wxTheApp->OnExit();
    wxEntryCleanup();
    return 0;
}
