// The target commands of the main window: thin delegations to the programmer and
// the serial link, and the parts of the target view that the shell owns.
#include <wx/menu.h>

#include "Ids.h"
#include "LatencyTimer.h"
#include "MainFrame.h"
#include "Programmer.h"
#include "SerialLink.h"
#include "TargetTexts.h"

namespace hc12 {

void MainFrame::OnOpenPort(wxCommandEvent& event) {
    const int index = event.GetId() - ID_COM1;
    if (index < 0 || index >= kPortCount)
        return;
    link_->OpenPort(index);
}

void MainFrame::OnConnect(wxCommandEvent&) {
    RunOperation(Operation::Other, [this] { programmer_->Connect(); });
}

void MainFrame::OnReadEeprom(wxCommandEvent&) {
    RunOperation(Operation::Read, [this] { programmer_->ReadEeprom(); });
}

void MainFrame::OnWriteEeprom(wxCommandEvent&) {
    RunOperation(Operation::Write, [this] {
        if (connectionMenu_->IsChecked(ID_CHANGED_ONLY))
            programmer_->WriteChangedEeprom();
        else
            programmer_->WriteEeprom();
    });
}

void MainFrame::OnQuartzSelected(wxCommandEvent&) {
    programmer_->OnQuartzSelected(quartzCombo_->GetValue().utf8_string());
}

void MainFrame::OpenDefaultPort() {
    // As if "COM 1" was chosen from the menu, radio mark included.
    connectionMenu_->Check(ID_COM1, true);
    ProcessCommand(ID_COM1);
}

std::string MainFrame::QuartzText() {
    return quartzCombo_->GetValue().utf8_string();
}

void MainFrame::SelectQuartz(int index) {
    if (index >= 0 && index < int(quartzCombo_->GetCount()))
        quartzCombo_->SetSelection(index);
}

bool MainFrame::SelectionOnly() {
    return selectionCheckBox_->GetValue();
}

void MainFrame::ProcessCommand(int id) {
    wxCommandEvent event(wxEVT_MENU, id);
    event.SetEventObject(this);
    ProcessWindowEvent(event);
}

std::unique_ptr<SerialPort> MainFrame::OpenMenuPort(int index) {
    if (index < 0 || index >= int(options_.ports.values.size()))
        return nullptr;
    const std::string& value = options_.ports.values[size_t(index)];
    std::unique_ptr<SerialPort> port = options_.openPort ? options_.openPort(value, *options_.clock)
                                                         : OpenPortValue(value, *options_.clock);
    if (port) {
        port->HintModel(programmer_->CurrentModel().name);
        NoteSlowAdapter(value);
    }
    return port;
}

void MainFrame::NoteSlowAdapter(const std::string& portValue) {
    if (slowAdapterNoted_ || portValue.rfind("virtual", 0) == 0)
        return;
    const std::optional<AdapterLatency> latency = ReadAdapterLatency(portValue);
    if (!latency || latency->ms <= kLatencyTimerGoodMs)
        return;
    // Once a run: the status bar is no place for a reminder at every connect.
    slowAdapterNoted_ = true;
    SetStatusText(1, Format(Tr(texts::kSlowAdapter), latency->ms));
}

void MainFrame::HintCurrentModel() {
    if (link_->PortValid())
        link_->CurrentPort()->HintModel(programmer_->CurrentModel().name);
}

}  // namespace hc12
