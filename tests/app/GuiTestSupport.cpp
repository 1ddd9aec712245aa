#include "GuiTestSupport.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/evtloop.h>
#include <wx/filedlg.h>
#include <wx/init.h>
#include <wx/msgdlg.h>
#include <wx/stattext.h>

#ifdef __WXGTK__
#include <gtk/gtk.h>
#endif

namespace hc12::testing {
namespace {

// No command-line parsing and no window of its own: the tests make the windows.
class TestApp : public wxApp {
  public:
    bool OnInit() override { return true; }
};

}  // namespace

int RunGuiTests(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (::testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS();

    // A toolkit assertion fails the test that met it; its dialog would wait for a
    // person and hold the whole run.
    wxSetAssertHandler([](const wxString& file, int line, const wxString& function,
                          const wxString& condition, const wxString& message) {
        ADD_FAILURE() << "wx assertion at " << Utf8(file) << ":" << line << " in " << Utf8(function)
                      << ": " << Utf8(condition) << " " << Utf8(message);
    });
    wxApp::SetInstance(new TestApp);
    if (!wxEntryStart(argc, argv) || !wxTheApp->CallOnInit()) {
        std::fprintf(stderr, "cannot initialise the toolkit (is DISPLAY set?)\n");
        return 2;
    }
    int rc = 0;
    {
        wxEventLoop loop;
        wxEventLoopActivator active(&loop);
        rc = RUN_ALL_TESTS();
    }
    wxTheApp->OnExit();
    wxEntryCleanup();
    return rc;
}

std::string Utf8(const wxString& text) {
    const wxScopedCharBuffer b = text.utf8_str();
    return std::string(b.data(), b.length());
}

DialogHook::DialogHook() : wxTestingModalHook(__FILE__, __LINE__, "DialogHook") {}

DialogHook::~DialogHook() = default;

void DialogHook::AnswerMessage(int id) {
    answers_.push_back({ShownDialog::Kind::Message, id, {}, {}, -1});
}

void DialogHook::ShowMessage(std::function<void(wxDialog*)> inspect) {
    answers_.push_back({ShownDialog::Kind::Message, wxID_OK, {}, std::move(inspect), -1});
}

void DialogHook::AnswerFile(const std::string& path, int id, int fileType) {
    answers_.push_back({ShownDialog::Kind::File, id, path, {}, fileType});
}

ShownDialog DialogHook::LastMessage() const {
    for (auto it = shown_.rbegin(); it != shown_.rend(); ++it)
        if (it->kind == ShownDialog::Kind::Message)
            return *it;
    ADD_FAILURE() << "no message box was shown";
    return {};
}

void DialogHook::ExpectAllAnswersUsed() {
    EXPECT_TRUE(answers_.empty()) << answers_.size() << " queued dialog answer(s) not used";
    answers_.clear();
}

int DialogHook::Enter(wxDialog* dialog) {
    // A box let through shows through its base class, which asks again.
    if (dialog == showing_)
        return wxID_NONE;
    ShownDialog shown;
    if (auto* box = dynamic_cast<wxMessageDialogBase*>(dialog)) {
        shown.kind = ShownDialog::Kind::Message;
        shown.text = Utf8(box->GetMessage());
        shown.caption = Utf8(box->GetTitle());
        shown.style = box->GetMessageDialogStyle();
    } else if (auto* files = dynamic_cast<wxFileDialog*>(dialog)) {
        shown.kind = ShownDialog::Kind::File;
        shown.text = Utf8(files->GetMessage());
        shown.caption = Utf8(files->GetTitle());
        shown.style = files->GetWindowStyle();
        shown.wildcard = Utf8(files->GetWildcard());
    } else {
        shown.caption = Utf8(dialog->GetTitle());
    }
    shown_.push_back(shown);

    if (answers_.empty() || answers_.front().kind != shown.kind) {
        ADD_FAILURE() << "unexpected dialog: \"" << shown.text << "\" caption \"" << shown.caption
                      << "\"";
        return wxID_CANCEL;
    }
    const Answer answer = answers_.front();
    answers_.pop_front();
    if (answer.inspect) {
        // Only the program's own boxes can be closed from here; GTK's native box
        // would wait for a person.
        if (!dynamic_cast<wxGenericMessageDialog*>(dialog)) {
            ADD_FAILURE() << "a native message box: nothing to look at";
            return wxID_OK;
        }
        // Shown for real; looked at once it is up, then closed.
        showing_ = dialog;
        wxTheApp->CallAfter([this, dialog, inspect = answer.inspect] {
            inspect(dialog);
            dialog->EndModal(wxID_OK);
            showing_ = nullptr;
        });
        return wxID_NONE;
    }
    if (shown.kind == ShownDialog::Kind::File) {
        auto* files = static_cast<wxFileDialog*>(dialog);
        // The path first: GTK picks the type that matches a path it is given.
        files->SetPath(wxString::FromUTF8(answer.path));
        if (answer.fileType >= 0)
            files->SetFilterIndex(answer.fileType);
    }
    return answer.id;
}

void DialogHook::ReportFailure(const wxString& message) {
    ADD_FAILURE() << Utf8(message);
}

void Pump() {
    for (int i = 0; i < 5; ++i) {
        if (wxEventLoopBase* loop = wxEventLoopBase::GetActive())
            loop->Yield(false);
        wxTheApp->ProcessPendingEvents();
        wxTheApp->ProcessIdle();
    }
}

bool PumpUntil(const std::function<bool()>& done, int rounds) {
    for (int i = 0; i < rounds; ++i) {
        Pump();
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return done();
}

bool IsMapped(wxWindow* window) {
#ifdef __WXGTK__
    GtkWidget* widget = window->GetHandle();
    return widget && gtk_widget_get_mapped(widget) && gtk_widget_get_window(widget) &&
           gdk_window_is_viewable(gtk_widget_get_window(widget));
#else
    return window->IsShownOnScreen();
#endif
}

void Screenshot(const std::string& name) {
    const char* folder = std::getenv("HC12_SCREENSHOTS");
    if (folder == nullptr || *folder == 0)
        return;
    Pump();
    const std::string command =
        "import -window root '" + std::string(folder) + "/" + name + ".png' 2>/dev/null";
    EXPECT_EQ(std::system(command.c_str()), 0) << "import (ImageMagick) is needed for " << name;
}

bool TextsFit(wxWindow* window, std::vector<std::string>* clipped) {
    bool fit = true;
    for (wxWindow* child : window->GetChildren()) {
        if (!child->IsShown())
            continue;
        if (dynamic_cast<wxStaticText*>(child) || dynamic_cast<wxButton*>(child) ||
            dynamic_cast<wxCheckBox*>(child)) {
            const wxSize best = child->GetBestSize(), size = child->GetSize();
            if (size.x < best.x || size.y < best.y) {
                fit = false;
                clipped->push_back(Utf8(child->GetLabel()) + " (" + std::to_string(size.x) + "x" +
                                   std::to_string(size.y) + " < " + std::to_string(best.x) + "x" +
                                   std::to_string(best.y) + ")");
            }
        }
        fit = TextsFit(child, clipped) && fit;
    }
    return fit;
}

MainFrame* CreateMainFrame(AppOptions options) {
    auto* frame = new MainFrame(wxString::FromUTF8("Motorola HC9(S)12 ver.3.0  by Harnvale"),
                                wxDefaultPosition, wxDefaultSize, std::move(options));
    const wxSize asked = frame->GetSize();
    frame->Show(true);
    // Under a window manager the window is mapped only once the manager has told
    // its frame's size, and it passes through other sizes on the way; positions on
    // the screen mean something only after that.
    PumpUntil([frame, asked] { return IsMapped(frame) && frame->GetSize() == asked; });
    // The menu bar and the toolbar come in once the window is shown, and GTK places
    // their contents in later rounds of its layout: screen positions mean something
    // once the toolbar's controls are on the screen and have stopped moving.
    wxPoint last[2];
    int still = 0;
    PumpUntil([&] {
        wxWindow* strip = frame->toolStrip();
        const wxPoint now[2] = {frame->GetScreenPosition(), strip->GetScreenPosition()};
        still = now[0] == last[0] && now[1] == last[1] ? still + 1 : 0;
        last[0] = now[0];
        last[1] = now[1];
        return still >= 3 && strip->IsShownOnScreen() && IsMapped(strip);
    });
    Pump();
    return frame;
}

void DestroyFrame(wxWindow* frame) {
    if (frame && !frame->IsBeingDeleted())
        frame->Destroy();
    wxTheApp->ProcessIdle();  // runs the pending deletions
    Pump();
}

}  // namespace hc12::testing
