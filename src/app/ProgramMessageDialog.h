// The program's message boxes. GTK's own message box shows no icon and is only as
// wide as its text, so a short text under a longer caption ("Wersja 3.0" under
// "Informacja:") leaves the caption cut off in the title bar. These boxes draw
// the icon and are always wide enough for their caption.
// (wx/msgdlg.h brings the generic box too.)
#pragma once

#include <wx/msgdlg.h>

namespace hc12 {

class ProgramMessageDialog : public wxGenericMessageDialog {
  public:
    // `style`: the buttons and at most one icon; wxICON_NONE (or no icon flag)
    // shows no icon. A Yes/No question dismissed with Escape or the title bar's
    // close box answers No.
    ProgramMessageDialog(const wxString& text, const wxString& caption, long style);

  protected:
    void AddMessageDialogDetails(wxSizer* sizer) override;
};

}  // namespace hc12
