// Support for tests that drive the real windows under a display (Xvfb in CI).
//
// - RunGuiTests(): the test main. Initialises wx with an active event loop; a toolkit
//   assertion or a complaint of GTK fails the test that caused it. Listing
//   the tests (--gtest_list_tests) needs no display.
// - DialogHook: intercepts every modal dialog (message boxes, file dialogs), records
//   what it showed and answers from a queue; a dialog without a queued answer fails
//   the test and is cancelled, so nothing ever blocks.
// - CreateMainFrame(), DestroyFrame(), Pump(), PumpUntil(): the frame's life and the
//   event processing between steps.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include <wx/combobox.h>
#include <wx/grid.h>
#include <wx/testing.h>
#include <wx/toolbar.h>
#include <wx/uiaction.h>

#include "MainFrame.h"

namespace hc12::testing {

int RunGuiTests(int argc, char** argv);

// Texts are UTF-8, so tests compare them against UTF-8 literals.
struct ShownDialog {
    enum class Kind { Message, File, Other };
    Kind kind = Kind::Other;
    std::string text;      // message text, or the file dialog's message
    std::string caption;   // message caption, or the dialog's title
    long style = 0;        // wxMessageDialog style bits, or wxFileDialog style bits
    std::string wildcard;  // file dialogs only
    int result = wxID_NONE;  // how a box shown for real ended (its return code)
};

class DialogHook : public wxTestingModalHook {
  public:
    DialogHook();
    ~DialogHook() override;

    // Queue the answers of the next message boxes: wxID_OK, wxID_YES, wxID_NO.
    void AnswerMessage(int id);
    // Let the next message box really show; `inspect` looks at it once it is on
    // the screen, then it is closed with OK.
    void ShowMessage(std::function<void(wxDialog*)> inspect);
    // Let the next message box really show; `act` runs once it is on the screen
    // and closes it as a user does (a click, a key); the test fails when the box
    // does not close. shown() keeps how it ended.
    void ShowMessageAndClose(std::function<void(wxDialog*)> act);
    // Queue the answer of the next file dialog: the chosen path (or a cancel), and
    // the file type chosen in its list (-1: left as the dialog had it).
    void AnswerFile(const std::string& path, int id = wxID_OK, int fileType = -1);

    const std::vector<ShownDialog>& shown() const { return shown_; }
    // The last message box shown; fails the test when there was none.
    ShownDialog LastMessage() const;
    void Clear() { shown_.clear(); }
    // Fails the test when queued answers were not used.
    void ExpectAllAnswersUsed();

  protected:
    int Enter(wxDialog* dialog) override;
    void ReportFailure(const wxString& message) override;

  private:
    struct Answer {
        ShownDialog::Kind kind;
        int id;
        std::string path;
        std::function<void(wxDialog*)> inspect;
        int fileType = -1;
        bool inspectCloses = false;
    };
    std::deque<Answer> answers_;
    std::vector<ShownDialog> shown_;
    wxDialog* showing_ = nullptr;
};

// Creates and shows the real main window and lets it settle.
MainFrame* CreateMainFrame(AppOptions options = {});
// Whether the window is on the screen (mapped), not only marked as shown.
bool IsMapped(wxWindow* window);
// Destroys a frame and runs the pending deletions.
void DestroyFrame(wxWindow* frame);
// Where a toolbar tool is on the screen (the toolkit does not say).
wxRect ToolScreenRect(wxToolBar* toolBar, int id);
// Whether the toolkit draws the tool as usable (sensitive), not only whether the
// toolbar would send its command.
bool ToolDrawnEnabled(wxToolBar* toolBar, int id);

// Real input: a click in the middle of a window (or at `offset` in it), keys typed.
void ClickOn(wxUIActionSimulator& sim, wxWindow* window, wxPoint offset = wxDefaultPosition);
void TypeKeys(wxUIActionSimulator& sim, const std::string& keys);
// Gives `input` to a box shown for real, again while the box stays up (on a loaded
// display the first can go astray while the box settles on the screen).
void InputUntilClosed(wxDialog* box, const std::function<void()>& input);
// A click on the button `id` of a box shown for real, until the box closes.
void ClickButtonOf(wxUIActionSimulator& sim, wxDialog* box, int id);
// Where a grid cell's middle is on the screen (as scrolled now).
wxPoint CellScreenCentre(wxGrid* grid, int row, int col);
// Opens menu `menuIndex` of the frame's menu bar with a click on the first menu
// and the arrow keys, and picks the item `itemId` in it with the keys, as a user
// does; false when the keys did not get there.
bool PickMenuItemByKeys(wxUIActionSimulator& sim, wxFrame* frame, int menuIndex, int itemId);

// Opens the combo box's list with a click and picks entry `index` with the keys,
// as a user does; false when the list did not open or close.
bool ChooseInCombo(wxUIActionSimulator& sim, wxComboBox* combo, int index);
bool ComboPopupShown(wxComboBox* combo);

// Processes pending events of every kind a few times over.
void Pump();
// Pumps until `done` holds, for at most `rounds` rounds (short waits between them);
// returns whether it held.
bool PumpUntil(const std::function<bool()>& done, int rounds = 200);

std::string Utf8(const wxString& text);

// With HC12_SCREENSHOTS=FOLDER, a picture of the whole screen as FOLDER/NAME.png
// (ImageMagick's import), for a person to look at; otherwise nothing.
void Screenshot(const std::string& name);

// Whether every text control in `window` (and below) has the room its text needs.
// The names of those that do not go into `clipped`.
bool TextsFit(wxWindow* window, std::vector<std::string>* clipped);

// What is wrong with the main window's layout at the screen's DPI, one line each
// (nothing when all is well): a clipped text, a toolbar control over another or
// off the toolbar, a control outside its group box or a box outside the window's
// client area, a grid label or cell too small for its text, the state's status
// field too narrow for its text or off the bar.
std::vector<std::string> LayoutFaults(MainFrame* frame);

}  // namespace hc12::testing
