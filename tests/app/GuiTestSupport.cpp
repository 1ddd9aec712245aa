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

// Any assertion of the toolkit fails the test that tripped it, with its message.
void FailOnAssertion(const wxString& file, int line, const wxString& func, const wxString& cond,
                     const wxString& msg) {
    ADD_FAILURE() << "wxWidgets assertion failed: " << Utf8(file) << "(" << line << ") in "
                  << Utf8(func) << "(): " << Utf8(cond) << (msg.empty() ? "" : ": ") << Utf8(msg);
}

}  // namespace

int RunGuiTests(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (::testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS();

    wxSetAssertHandler(FailOnAssertion);
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

void DialogHook::ShowMessageAndClose(std::function<void(wxDialog*)> act) {
    answers_.push_back({ShownDialog::Kind::Message, wxID_OK, {}, std::move(act), -1, true});
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
        // Shown for real; looked at once it is on the screen, then closed.
        showing_ = dialog;
        const size_t index = shown_.size() - 1;
        wxTheApp->CallAfter([this, dialog, index, answer] {
            if (!PumpUntil([dialog] { return IsMapped(dialog); }))
                ADD_FAILURE() << "the box never came on the screen";
            answer.inspect(dialog);
            if (!answer.inspectCloses) {
                dialog->EndModal(wxID_OK);
            } else if (!PumpUntil([dialog] { return !dialog->IsModal(); }, 300)) {
                ADD_FAILURE() << "the box did not close";
                dialog->EndModal(wxID_CANCEL);
            }
            shown_[index].result = dialog->GetReturnCode();
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

#ifdef __WXGTK__
namespace {

GtkWidget* ToolItem(wxToolBar* toolBar, int id) {
    const int pos = toolBar->GetToolPos(id);
    // The toolkit wraps the GTK toolbar in a box of its own.
    GtkWidget* bar = toolBar->GetHandle();
    while (bar != nullptr && !GTK_IS_TOOLBAR(bar) && GTK_IS_BIN(bar))
        bar = gtk_bin_get_child(GTK_BIN(bar));
    if (pos == wxNOT_FOUND || bar == nullptr || !GTK_IS_TOOLBAR(bar))
        return nullptr;
    GtkToolItem* item = gtk_toolbar_get_nth_item(GTK_TOOLBAR(bar), pos);
    return item ? GTK_WIDGET(item) : nullptr;
}

}  // namespace
#endif

wxRect ToolScreenRect(wxToolBar* toolBar, int id) {
#ifdef __WXGTK__
    GtkWidget* item = ToolItem(toolBar, id);
    if (item == nullptr || gtk_widget_get_window(item) == nullptr)
        return wxRect();
    GtkAllocation a;
    gtk_widget_get_allocation(item, &a);
    // A tool item has no window of its own: its allocation is in its parent's.
    int x = 0, y = 0;
    gdk_window_get_origin(gtk_widget_get_window(item), &x, &y);
    return wxRect(x + a.x, y + a.y, a.width, a.height);
#else
    (void)toolBar;
    (void)id;
    return wxRect();
#endif
}

bool ToolDrawnEnabled(wxToolBar* toolBar, int id) {
#ifdef __WXGTK__
    GtkWidget* item = ToolItem(toolBar, id);
    return item != nullptr && gtk_widget_is_sensitive(item);
#else
    return toolBar->GetToolEnabled(id);
#endif
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

MainFrame* CreateMainFrame(AppOptions options) {
    auto* frame = new MainFrame(wxString::FromUTF8("Motorola HC9(S)12 ver.3.0  by Harnvale"),
                                wxDefaultPosition, wxDefaultSize, std::move(options));
    const wxSize asked = frame->GetSize();
    frame->Show(true);
    // Under a window manager the window is mapped only once the manager has told
    // its frame's size, and it passes through other sizes on the way; positions on
    // the screen mean something only after that.
    PumpUntil([frame, asked] { return IsMapped(frame) && frame->GetSize() == asked; });
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
