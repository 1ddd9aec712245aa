#include "GuiTestSupport.h"

#include <algorithm>
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
#include <wx/menu.h>
#include <wx/msgdlg.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/statusbr.h>

#include "BufferGrid.h"
#include "BufferNotebook.h"
#include "FilteredTextField.h"
#include "PageModel.h"

#ifdef __WXGTK__
#include <gtk/gtk.h>
#endif
#ifdef __WXMSW__
#include <wx/msw/private.h>
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

#ifdef __WXGTK__
// GTK's complaints (Gtk-CRITICAL, Gtk-WARNING, and GLib's of its objects) fail the
// test as well; they still go to the console.
void FailOnGtkComplaint(const gchar* domain, GLogLevelFlags level, const gchar* message,
                        gpointer data) {
    if (level & (G_LOG_LEVEL_ERROR | G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING))
        ADD_FAILURE() << (domain ? domain : "") << " complained: " << message;
    g_log_default_handler(domain, level, message, data);
}
#endif

}  // namespace

int RunGuiTests(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (::testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS();

    wxSetAssertHandler(FailOnAssertion);
#ifdef __WXGTK__
    g_log_set_default_handler(FailOnGtkComplaint, nullptr);
#endif
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
        // Only the dialog's own copy of the path: told to GTK, the chooser starts
        // loading the folder and finishes after the dialog is gone (GTK then
        // complains about its own tree view), which no user is quick enough for.
        // The program reads the chosen path from that copy.
        files->wxFileDialogBase::SetPath(wxString::FromUTF8(answer.path));
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

void ClickOn(wxUIActionSimulator& sim, wxWindow* window, wxPoint offset) {
    if (offset == wxDefaultPosition)
        offset = wxPoint(window->GetSize().x / 2, window->GetSize().y / 2);
    sim.MouseMove(window->GetScreenPosition() + offset);
    Pump();
    sim.MouseClick();
    Pump();
}

void TypeKeys(wxUIActionSimulator& sim, const std::string& keys) {
    for (char c : keys) {
        sim.Char(c);
        Pump();
    }
}

void InputUntilClosed(wxDialog* box, const std::function<void()>& input) {
    for (int attempt = 0; attempt < 3 && box->IsModal(); ++attempt) {
        input();
        PumpUntil([box] { return !box->IsModal(); }, 100);
    }
}

void ClickButtonOf(wxUIActionSimulator& sim, wxDialog* box, int id) {
    wxWindow* button = box->FindWindow(id);
    if (button == nullptr) {
        ADD_FAILURE() << "no button " << id;
        return;
    }
    InputUntilClosed(box, [&] {
        sim.MouseMove(button->GetScreenRect().GetPosition() + button->GetSize() / 2);
        Pump();
        sim.MouseClick();
    });
}

wxPoint CellScreenCentre(wxGrid* grid, int row, int col) {
    const wxRect r = grid->CellToRect(row, col);
    const wxPoint shown = grid->CalcScrolledPosition(r.GetPosition());
    return grid->GetGridWindow()->ClientToScreen(shown + r.GetSize() / 2);
}

bool PickMenuItemByKeys(wxUIActionSimulator& sim, wxFrame* frame, int menuIndex, int itemId) {
#ifdef __WXGTK__
    wxMenu* menu = frame->GetMenuBar()->GetMenu(size_t(menuIndex));
    wxMenuItem* item = menu ? menu->FindItem(itemId) : nullptr;
    if (item == nullptr || menu->m_owner == nullptr)
        return false;
    GtkWidget* target = item->GetMenuItem();
    GtkMenuShell* bar = GTK_MENU_SHELL(gtk_widget_get_parent(menu->m_owner));
    GtkMenuShell* list = GTK_MENU_SHELL(menu->m_menu);
    auto closeAll = [&] {
        for (int i = 0; i < 3 && gtk_menu_shell_get_selected_item(bar) != nullptr; ++i) {
            sim.Char(WXK_ESCAPE);
            PumpUntil([&] { return gtk_menu_shell_get_selected_item(bar) == nullptr; }, 30);
        }
    };
    // Each step waits for the last one to arrive; a step that went astray on a
    // loaded display starts the whole walk again.
    for (int attempt = 0; attempt < 3; ++attempt) {
        closeAll();
        frame->Raise();
        Pump();
        const wxRect barRect = frame->GetMenuBar()->GetScreenRect();
        sim.MouseMove(barRect.GetPosition() + wxPoint(15, barRect.height / 2));
        Pump();
        sim.MouseClick();
        if (!PumpUntil([&] { return gtk_menu_shell_get_selected_item(bar) != nullptr; }, 50))
            continue;
        for (int i = 0; i < 10 && gtk_menu_shell_get_selected_item(bar) != menu->m_owner; ++i) {
            sim.Char(WXK_RIGHT);
            PumpUntil([&] { return gtk_menu_shell_get_selected_item(bar) == menu->m_owner; }, 20);
        }
        if (gtk_menu_shell_get_selected_item(bar) != menu->m_owner)
            continue;
        // Down the list to the item; separators and disabled items are passed over.
        for (int i = 0; i < 20 && gtk_menu_shell_get_selected_item(list) != target; ++i) {
            GtkWidget* before = gtk_menu_shell_get_selected_item(list);
            sim.Char(WXK_DOWN);
            PumpUntil([&] { return gtk_menu_shell_get_selected_item(list) != before; }, 20);
        }
        if (gtk_menu_shell_get_selected_item(list) != target)
            continue;
        sim.Char(WXK_RETURN);
        if (PumpUntil([&] { return gtk_menu_shell_get_selected_item(bar) == nullptr; }))
            return true;
    }
    closeAll();
    return false;
#elif defined(__WXMSW__)
    // A click on the menu's title opens it with no item chosen; each Down goes to the
    // next item past separators (not past disabled items, which the keys still
    // reach). Windows runs an open menu in a loop of its own, which our pumping would
    // enter at the click: the click and every key are sent before the window sees any.
    wxMenuBar* bar = frame->GetMenuBar();
    wxMenu* menu = bar->GetMenu(size_t(menuIndex));
    if (menu == nullptr || menu->FindItem(itemId) == nullptr)
        return false;
    int steps = 0;
    for (const wxMenuItem* item : menu->GetMenuItems()) {
        if (item->GetId() == itemId)
            break;
        if (!item->IsSeparator())
            ++steps;
    }
    RECT title;
    if (!::GetMenuItemRect(GetHwndOf(frame), GetHmenuOf(bar), UINT(menuIndex), &title))
        return false;
    // A click on a window that is not active only activates it (the window manager
    // decides, whatever Windows' foreground says): the status bar takes a click first.
    frame->Raise();
    Pump();
    const wxRect status = frame->GetStatusBar()->GetScreenRect();
    sim.MouseMove(status.GetPosition() + wxPoint(10, status.height / 2));
    sim.MouseClick();
    PumpUntil([] { return false; }, 10);
    sim.MouseMove((title.left + title.right) / 2, (title.top + title.bottom) / 2);
    sim.MouseClick();
    for (int i = 0; i <= steps; ++i)
        sim.Char(WXK_DOWN);
    sim.Char(WXK_RETURN);
    Pump();
    return true;
#else
    (void)sim;
    (void)frame;
    (void)menuIndex;
    (void)itemId;
    return false;
#endif
}

bool ComboPopupShown(wxComboBox* combo) {
#ifdef __WXGTK__
    gboolean shown = FALSE;
    g_object_get(combo->GetHandle(), "popup-shown", &shown, nullptr);
    return shown;
#else
    (void)combo;
    return false;
#endif
}

bool ChooseInCombo(wxUIActionSimulator& sim, wxComboBox* combo, int index) {
    // The list opens with the shown entry highlighted.
    const int shown = combo->GetSelection();
    const wxSize size = combo->GetSize();
    // Clicked until the list opens: a click too soon after the last one closed it
    // can be taken as part of a double click.
    for (int attempt = 0; attempt < 3 && !ComboPopupShown(combo); ++attempt) {
        sim.MouseMove(combo->GetScreenPosition() + wxPoint(size.x - 8, size.y / 2));
        Pump();
        sim.MouseClick();
        Pump();
        PumpUntil([combo] { return ComboPopupShown(combo); }, 50);
    }
    if (!ComboPopupShown(combo))
        return false;
    const int steps = index - std::max(shown, 0);
    for (int i = 0; i < std::abs(steps); ++i) {
        sim.Char(steps > 0 ? WXK_DOWN : WXK_UP);
        Pump();
    }
    sim.Char(WXK_RETURN);
    const bool closed = PumpUntil([combo] { return !ComboPopupShown(combo); });
    Pump();
    return closed;
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

namespace {

std::string Describe(const wxRect& r) {
    return std::to_string(r.width) + "x" + std::to_string(r.height) + " at " + std::to_string(r.x) +
           "," + std::to_string(r.y);
}

wxRect ScreenRectOf(wxWindow* w) {
    return wxRect(w->GetScreenPosition(), w->GetSize());
}

}  // namespace

std::vector<std::string> LayoutFaults(MainFrame* frame) {
    std::vector<std::string> faults;
    TextsFit(frame, &faults);

    // The toolbar's controls: on the toolbar, and each clear of the others.
    const wxRect toolbar = ScreenRectOf(frame->mainToolBar());
    wxWindow* controls[] = {frame->fillValueField(), frame->fillButton(), frame->startLabel(),
                            frame->startField(),     frame->countLabel(), frame->countField(),
                            frame->modelCombo(),     frame->quartzCombo()};
    for (size_t a = 0; a < std::size(controls); ++a) {
        const wxRect ra = ScreenRectOf(controls[a]);
        const std::string name = Utf8(controls[a]->GetName());
        if (!toolbar.Contains(ra))
            faults.push_back(name + " " + Describe(ra) + " is not inside the toolbar " +
                             Describe(toolbar));
        for (size_t b = a + 1; b < std::size(controls); ++b)
            if (ra.Intersects(ScreenRectOf(controls[b])))
                faults.push_back(name + " " + Describe(ra) + " overlaps " +
                                 Utf8(controls[b]->GetName()) + " " +
                                 Describe(ScreenRectOf(controls[b])));
    }

    // The right-hand column: each box holds its controls, and the boxes lie in the
    // client area.
    const wxRect panel = ScreenRectOf(frame->panel());
    const std::pair<wxStaticBox*, std::vector<wxWindow*>> boxes[] = {
        {frame->connectBox(), {frame->connectButton()}},
        {frame->readWriteBox(),
         {frame->readButton(), frame->writeButton(), frame->selectionCheckBox()}},
        {frame->compareBox(), {frame->compareCombo()}},
    };
    for (const auto& [box, inside] : boxes) {
        const wxRect rb = ScreenRectOf(box);
        const std::string name = "box \"" + Utf8(box->GetLabel()) + "\"";
        if (!panel.Contains(rb))
            faults.push_back(name + " " + Describe(rb) + " is not inside the client area " +
                             Describe(panel));
        for (wxWindow* w : inside)
            if (!rb.Contains(ScreenRectOf(w)))
                faults.push_back(Utf8(w->GetName()) + " " + Describe(ScreenRectOf(w)) +
                                 " is not inside " + name + " " + Describe(rb));
    }
    wxStaticBox* compare = frame->compareBox();
    if (compare->GetSize().x < compare->GetTextExtent(compare->GetLabel()).x + frame->FromDIP(16))
        faults.push_back("the compare box is narrower than its label");

    // The grid: its labels and cells hold their texts. An extent counts the glyphs'
    // side bearings and the font's descent; hexadecimal digits reach neither, so
    // they are allowed to touch the edges.
    wxGrid* grid = frame->notebook()->CurrentGrid();
    struct Extent {
        int width, ascent;
    };
    auto extent = [grid](const wxFont& font, const char* text) {
        int x = 0, y = 0, descent = 0;
        grid->GetTextExtent(wxString::FromUTF8(text), &x, &y, &descent, nullptr, &font);
        return Extent{x, y - descent};
    };
    // Too small, with what it holds.
    auto check = [&faults](const std::string& what, int room, int needs) {
        if (room < needs)
            faults.push_back(what + ": " + std::to_string(room) + " < " + std::to_string(needs));
    };
    const int bearings = frame->FromDIP(2);
    const Extent rowLabel = extent(grid->GetLabelFont(), "DDDD");
    check("row label width", grid->GetRowLabelSize(), rowLabel.width - bearings);
    check("column label height", grid->GetColLabelSize(), rowLabel.ascent);
    const Extent cell = extent(grid->GetDefaultCellFont(), "DD");
    check("hexadecimal column width", grid->GetColSize(0), cell.width);
    check("row height", grid->GetDefaultRowSize(), cell.ascent);
    check("character column width", grid->GetColSize(PageModel::kFirstCharColumn),
          extent(grid->GetDefaultCellFont(), "W").width - bearings);
    // Every column in view beside the vertical scrollbar: no horizontal scrolling.
    int columns = grid->GetRowLabelSize();
    for (int c = 0; c < grid->GetNumberCols(); ++c)
        columns += grid->GetColSize(c);
    check("grid width beside its scrollbar", grid->GetClientSize().x, columns);

    // The connection state's field.
    wxStatusBar* bar = frame->GetStatusBar();
    wxRect field;
    bar->GetFieldRect(3, field);
    check("status field 3", field.width,
          bar->GetTextExtent(bar->GetStatusText(3)).x + frame->FromDIP(4));
    check("status bar width", bar->GetClientSize().x, field.GetRight() + 1);
    return faults;
}

MainFrame* CreateMainFrame(AppOptions options) {
#ifdef __WXGTK__
    // The pointer is left where the last test's clicks put it; on a tool of the new
    // window it would show the tool's help in the status bar.
    GdkDisplay* display = gdk_display_get_default();
    gdk_device_warp(gdk_seat_get_pointer(gdk_display_get_default_seat(display)),
                    gdk_display_get_default_screen(display), 0, 0);
#endif
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
