// A text field that keeps only decimal or hexadecimal digits up to a length.
#pragma once

#include <functional>

#include <wx/textctrl.h>

namespace hc12 {

class FilteredTextField : public wxTextCtrl {
  public:
    enum Kind { kDecimal = 1, kHex = 2 };

    FilteredTextField(wxWindow* parent, wxWindowID id, int kind, int maxLength,
                      const wxString& value, const wxPoint& pos, const wxSize& size, long style,
                      const wxValidator& validator, const wxString& name);

    int kind() const { return kind_; }
    int maxLength() const { return maxLength_; }

    // Write a text the way the program writes fields: when it differs from the
    // shown text the change handling runs once, as for typing; an unchanged text
    // runs nothing (GTK's SetValue would send an event either way).
    void SetText(const wxString& text);

    // Called after each filtered change, typed or written (the address window).
    void SetChangeHandler(std::function<void(FilteredTextField&)> handler) {
        onChange_ = std::move(handler);
    }

  private:
    void OnTextUpdated(wxCommandEvent& event);
    // Filter, write back, run the change handler, put the caret back.
    void HandleChange();

    // The text as the last handling left it.
    wxString shownText_;
    int kind_ = 0;
    int maxLength_ = 0;
    bool filtering_ = false;
    std::function<void(FilteredTextField&)> onChange_;

    wxDECLARE_EVENT_TABLE();
};

}  // namespace hc12
