// A frame that holds the buffer views wired the way the main window wires them,
// for testing the views apart from the rest of the window.
#pragma once

#include <wx/combobox.h>
#include <wx/frame.h>
#include <wx/panel.h>

#include "BufferGrid.h"
#include "BufferNotebook.h"
#include "FilteredTextField.h"
#include "Ids.h"

namespace hc12::testing {

class ViewsFrame : public wxFrame {
  public:
    ViewsFrame() : wxFrame(nullptr, wxID_ANY, "views", wxPoint(100, 20), wxSize(705, 660)) {
        panel = new wxPanel(this, wxID_ANY);
        notebook = new BufferNotebook(panel, ID_NOTEBOOK, wxDefaultPosition, wxSize(602, 576),
                                      wxSTATIC_BORDER, "notebook");
        startField = new FilteredTextField(panel, ID_FIELDS, FilteredTextField::kHex, 4, "0000",
                                           wxPoint(620, 400), wxSize(50, 17), wxTE_RIGHT,
                                           wxDefaultValidator, "start");
        countField = new FilteredTextField(panel, ID_FIELDS, FilteredTextField::kDecimal, 7, "0",
                                           wxPoint(620, 430), wxSize(50, 17), wxTE_RIGHT,
                                           wxDefaultValidator, "ile");
        fillField = new FilteredTextField(panel, ID_FIELDS, FilteredTextField::kHex, 2, "FF",
                                          wxPoint(620, 460), wxSize(25, 17), wxTE_RIGHT,
                                          wxDefaultValidator, "ile");
        notebook->SetAddressFields(startField, countField);
        for (FilteredTextField* f : {startField, countField, fillField})
            f->SetChangeHandler(
                [this](FilteredTextField& field) { notebook->OnAddressFieldChanged(field); });
        startField->SetText("0000");
        countField->SetText("512");
        compareCombo = new wxComboBox(panel, ID_COMPARE, wxString(), wxPoint(620, 300),
                                      wxSize(87, 16), 0, nullptr, wxCB_READONLY | wxCB_SIMPLE);
        compareCombo->Append(notebook->GetPageText(size_t(notebook->GetSelection())));
        compareCombo->Disable();
        compareCombo->SetSelection(0);
        notebook->SetCompareCombo(compareCombo);
        Bind(wxEVT_NOTEBOOK_PAGE_CHANGED, [this](wxBookCtrlEvent& e) {
            if (e.GetEventObject() == notebook)
                notebook->OnPageChanged();
        });
        Show();
    }

    wxPanel* panel;
    BufferNotebook* notebook;
    FilteredTextField* startField;
    FilteredTextField* countField;
    FilteredTextField* fillField;
    wxComboBox* compareCombo;
};

}  // namespace hc12::testing
