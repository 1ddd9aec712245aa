// The real window against the virtual board on the virtual clock (run under Xvfb):
// wall time of a 4096-byte read and write per family divided by the virtual time
// the protocol itself takes (pauses plus wire time). Prints, never asserts.
#include <chrono>
#include <cstdio>
#include <string>

#include <wx/app.h>
#include <wx/combobox.h>
#include <wx/evtloop.h>
#include <wx/init.h>
#include <wx/testing.h>

#include "Ids.h"
#include "MainFrame.h"
#include "ModelTable.h"

namespace {

using namespace hc12;

class BenchApp : public wxApp {
  public:
    bool OnInit() override { return true; }
};

// Every modal box (the MC9S12 report) is answered OK at once.
class AnswerOk : public wxTestingModalHook {
  public:
    AnswerOk() : wxTestingModalHook(__FILE__, __LINE__, "bench") {}

  protected:
    int Enter(wxDialog*) override { return wxID_OK; }
    void ReportFailure(const wxString&) override {}
};

void Event(MainFrame* frame, wxEventType type, int id, int item = 0) {
    wxCommandEvent e(type, id);
    e.SetInt(item);
    e.SetEventObject(frame);
    frame->GetEventHandler()->ProcessEvent(e);
}

void Measure(const std::string& model) {
    VirtualClock clock;
    AppOptions options;
    options.clock = &clock;
    std::string error;
    options.ports.ApplyAssignment("COM1=virtual:quartz=8", &error);
    auto* frame = new MainFrame(wxString::FromUTF8("bench"), wxDefaultPosition, wxDefaultSize,
                                std::move(options));
    frame->Show(true);
    for (int i = 0; i < 20; ++i)
        wxTheApp->Yield(true);

    const int row = FindModelIndex(model);
    frame->modelCombo()->SetSelection(row);
    Event(frame, wxEVT_COMBOBOX, ID_MODEL, row);
    frame->quartzCombo()->SetSelection(2);
    Event(frame, wxEVT_COMBOBOX, ID_QUARTZ, 2);
    Event(frame, wxEVT_BUTTON, ID_CONNECT);
    frame->SetCountField("4096");

    auto run = [&](const char* what, int id) {
        const uint64_t v0 = clock.NowUs();
        const auto w0 = std::chrono::steady_clock::now();
        Event(frame, wxEVT_BUTTON, id);
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - w0).count();
        const double virt = double(clock.NowUs() - v0) / 1e6;
        std::printf(
            "window %-18s %-5s 4096 B  virtual %8.3f s  wall %7.3f s  wall/virtual %.4f"
            "  [%s]\n",
            model.c_str(), what, virt, wall, virt > 0 ? wall / virt : 0.0,
            frame->GetStatusText(0).c_str());
    };
    run("read", ID_READ_EEPROM);
    // Once more: the first read also pays for the window's one-time set-up.
    run("read", ID_READ_EEPROM);
    for (uint32_t i = 0; i < 4096; ++i)
        frame->SetCellByte(i, uint8_t(i * 7 + 1));
    run("write", ID_WRITE_EEPROM);
    frame->Destroy();
    wxTheApp->ProcessIdle();
}

}  // namespace

int main(int argc, char** argv) {
    wxApp::SetInstance(new BenchApp);
    if (!wxEntryStart(argc, argv) || !wxTheApp->CallOnInit()) {
        std::fprintf(stderr, "cannot initialise the toolkit (is DISPLAY set?)\n");
        return 2;
    }
    {
        wxEventLoop loop;
        wxEventLoopActivator active(&loop);
        AnswerOk hook;
        Measure("HC812A4");
        Measure("MC9S12H256(1K78X)");
    }
    wxTheApp->OnExit();
    wxEntryCleanup();
    return 0;
}
