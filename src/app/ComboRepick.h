// GTK sends no selection event when the user chooses the entry that a combo box
// already shows. Where choosing is a command (compare with this page, reset the
// address fields to this model), that choice must run the command too.
#pragma once

#include <wx/combobox.h>

namespace hc12 {

// From now on, choosing the shown entry from the combo box's list sends the same
// selection event as choosing any other entry.
void SendSelectionOnRepick(wxComboBox* combo);

}  // namespace hc12
