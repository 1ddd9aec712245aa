#include "GuiTestSupport.h"

#include <chrono>
#include <cstring>
#include <thread>

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/filedlg.h>
#include <wx/init.h>
#include <wx/msgdlg.h>

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
    answers_.push_back({ShownDialog::Kind::Message, id, {}});
}

void DialogHook::AnswerFile(const std::string& path, int id, int fileType) {
    answers_.push_back({ShownDialog::Kind::File, id, path, fileType});
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
    ShownDialog shown;
    if (auto* box = dynamic_cast<wxMessageDialog*>(dialog)) {
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

MainFrame* CreateMainFrame(AppOptions options) {
    auto* frame = new MainFrame(wxString::FromUTF8("Motorola HC9(S)12 ver.3.0  by Harnvale"),
                                wxDefaultPosition, wxDefaultSize, std::move(options));
    frame->Show(true);
    PumpUntil([frame] { return frame->IsShownOnScreen(); });
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
