#include "FilteredTextField.h"

#include "FieldFilter.h"
#include "Ids.h"

namespace hc12 {

wxBEGIN_EVENT_TABLE(FilteredTextField, wxTextCtrl)
    EVT_TEXT(ID_FIELDS, FilteredTextField::OnTextUpdated) wxEND_EVENT_TABLE()

        FilteredTextField::FilteredTextField(wxWindow* parent, wxWindowID id, int kind,
                                             int maxLength, const wxString& value,
                                             const wxPoint& pos, const wxSize& size, long style,
                                             const wxValidator& validator, const wxString& name)
    : wxTextCtrl(parent, id, value, pos, size, style, validator, name),
      kind_(kind),
      maxLength_(maxLength) {
    shownText_ = GetValue();
}

void FilteredTextField::SetText(const wxString& text) {
    if (text == GetValue())
        return;
    // ChangeValue sends nothing; the handling runs here once, as for typing.
    ChangeValue(text);
    HandleChange();
}

void FilteredTextField::OnTextUpdated(wxCommandEvent& event) {
    if (event.GetEventObject() != this) {
        event.Skip();
        return;
    }
    // GTK reports a write of the same text as a change too; such writes run nothing.
    if (GetValue() == shownText_)
        return;
    HandleChange();
}

void FilteredTextField::HandleChange() {
    if (filtering_)
        return;
    filtering_ = true;
    const wxString text = GetValue();
    const long caret = GetInsertionPoint();
    std::u32string chars;
    chars.reserve(text.length());
    for (wxUniChar c : text)
        chars += char32_t(c.GetValue());
    const FilteredField result = FilterFieldText(chars, int(caret), kind_, maxLength_);
    wxString filtered;
    for (char32_t c : result.text)
        filtered += wxUniChar(c);
    if (filtered != text)
        ChangeValue(filtered);
    shownText_ = filtered;
    if (onChange_)
        onChange_(*this);
    SetInsertionPoint(result.caret);
    filtering_ = false;
}

}  // namespace hc12
