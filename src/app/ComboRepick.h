// What GTK's combo boxes need beyond the toolkit.
//
// GTK sends no selection event when the user chooses the entry that a combo box
// already shows. Where choosing is a command (compare with this page, reset the
// address fields to this model), that choice must run the command too.
//
// GTK sizes a combo box for its longest entry; a box in a column of fixed width
// must keep its width and show its entries whole in its list instead.
#pragma once

#include <wx/combobox.h>

namespace hc12 {

// From now on, choosing the shown entry from the combo box's list sends the same
// selection event as choosing any other entry.
void SendSelectionOnRepick(wxComboBox* combo);

// The box shows a long entry cut short (with an ellipsis) at the size it is given;
// its list, at least as wide as the box, shows every entry whole.
void ListLongEntriesWhole(wxComboBox* combo);

}  // namespace hc12
