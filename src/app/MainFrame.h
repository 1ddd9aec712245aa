// The one window of the program.
#pragma once

#include <functional>
#include <memory>

#include <wx/bmpbuttn.h>
#include <wx/checkbox.h>
#include <wx/combobox.h>
#include <wx/frame.h>
#include <wx/gauge.h>
#include <wx/notebook.h>
#include <wx/panel.h>
#include <wx/statbmp.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/toolbar.h>

#include "Clock.h"
#include "ModelTable.h"
#include "PortFactory.h"
#include "ProgressCounter.h"
#include "SerialLink.h"
#include "TargetView.h"
#include "ToolbarLayout.h"

namespace hc12 {

class BufferNotebook;
class BufferGrid;
class FilteredTextField;
class SerialLink;
class Programmer;

struct AppOptions {
    PortMap ports = PortMap::Defaults();
    // How long the programming interface may take to carry out one frame, in microseconds.
    uint32_t frameTimeUs = kDefaultFrameTimeUs;
    // The clock of the link; nullptr = the real steady clock.
    Clock* clock = nullptr;
    // Opens a port value; empty = OpenPortValue (tests watch a board of their own).
    std::function<std::unique_ptr<SerialPort>(const std::string& value, Clock& clock)> openPort;
};

class MainFrame : public wxFrame, public TargetView {
  public:
    MainFrame(const wxString& title, const wxPoint& pos, const wxSize& size,
              AppOptions options = {});
    ~MainFrame() override;

    // --- shell (commands, state) ---
    void OnQuit(wxCommandEvent& event);
    void OnAbout(wxCommandEvent& event);
    void OnAnyMenu(wxCommandEvent& event);
    void OnMouse(wxMouseEvent& event);
    void OnSize(wxSizeEvent& event);
    void OnModelSelected(wxCommandEvent& event);
    void OnQuartzSelected(wxCommandEvent& event);
    void OnOpenPort(wxCommandEvent& event);
    void OnConnect(wxCommandEvent& event);
    void OnReadEeprom(wxCommandEvent& event);
    void OnWriteEeprom(wxCommandEvent& event);

    // --- buffers ---
    void OnNewBuffer(wxCommandEvent& event);
    void OnCloseBuffer(wxCommandEvent& event);
    void OnOpenFile(wxCommandEvent& event);
    void OnSaveFile(wxCommandEvent& event);
    void OnFill(wxCommandEvent& event);
    void OnCompareWith(wxCommandEvent& event);
    void OnPageChanged(wxNotebookEvent& event);

    // The gauge in status field 2.
    void Progress(int32_t n) override;

    // --- TargetView / LinkView ---
    MsgAnswer ShowMessage(const Message& message) override;
    void ShowNotConnected() override;
    void SetStatusText(int field, const std::string& text) override;
    std::string GetStatusText(int field) override;
    void ShowConnecting() override;
    void ShowConnected(bool s12Target) override;
    std::string QuartzText() override;
    void SelectQuartz(int index) override;
    bool SelectionOnly() override;
    void SetStartField(const std::string& text) override;
    void SetCountField(const std::string& text) override;
    void OpenDefaultPort() override;
    uint32_t PageCount() override;
    uint32_t PageStart() override;
    void BuildPage(uint32_t size) override;
    void InsertEmptyCellInFront() override;
    bool CellEmpty(uint32_t index) override;
    uint8_t GetCellByte(uint32_t index) override;
    void SetCellByte(uint32_t index, uint8_t value) override;
    void MarkCellRed(uint32_t index) override;
    bool CellSelected(uint32_t index) override;
    void SelectCell(uint32_t index, bool add) override;
    void ScrollGrid(int verticalPosition) override;
    void MovePageUp() override;
    void MovePageDown() override;
    void RepaintGrid() override;
    // The close box during a read or write (asked first during a write).
    bool StopRequested() override;

    // --- accessors for tests and the other handlers ---
    BufferNotebook* notebook() const { return notebook_; }
    wxPanel* panel() const { return panel_; }
    wxMenu* connectionMenu() const { return connectionMenu_; }
    wxComboBox* quartzCombo() const { return quartzCombo_; }
    wxComboBox* modelCombo() const { return modelCombo_; }
    wxComboBox* compareCombo() const { return compareCombo_; }
    wxBitmapButton* connectButton() const { return connectButton_; }
    wxBitmapButton* readButton() const { return readButton_; }
    wxBitmapButton* writeButton() const { return writeButton_; }
    wxButton* fillButton() const { return fillButton_; }
    wxCheckBox* selectionCheckBox() const { return selectionCheckBox_; }
    FilteredTextField* startField() const { return startField_; }
    FilteredTextField* countField() const { return countField_; }
    FilteredTextField* fillValueField() const { return fillValueField_; }
    wxStaticText* startLabel() const { return startLabel_; }
    wxStaticText* countLabel() const { return countLabel_; }
    wxStaticBox* compareBox() const { return compareBox_; }
    wxStaticBox* connectBox() const { return connectBox_; }
    wxStaticBox* readWriteBox() const { return readWriteBox_; }
    wxGauge* gauge() const { return gauge_; }
    wxStaticBitmap* picture() const { return picture_; }
    const ProgressCounter& progressCounter() const { return progress_; }
    wxToolBar* mainToolBar() const { return toolBar_; }
    // The panel on the toolbar that carries the toolbar's small controls.
    wxControl* toolStrip() const { return toolStrip_; }
    // Where the toolbar controls were put, in toolbar coordinates.
    const ToolbarLayoutResult& toolbarLayout() const { return toolbarLayout_; }
    // The toolbar's tool width the placement was computed from.
    int toolWidth() const { return toolWidth_; }
    SerialLink& link() { return *link_; }
    Programmer& programmer() { return *programmer_; }
    int8_t ConnectionState() const;

  private:
    void BuildWindow();
    void BuildMenus();
    void BuildToolBar();
    void AddHelpedTool(int id, const wxString& label, const wxBitmap& bitmap, const wxString& help);
    void PlaceToolbarControls();
    void BuildRightColumn();
    int ToolsRightEdge() const;
    // Opens the port value of menu port `index` on the link's clock (the link's opener).
    std::unique_ptr<SerialPort> OpenMenuPort(int index);
    // Tell the current port which model is chosen (the virtual board plays it).
    void HintCurrentModel();
    // Say once in the status bar when a USB adapter holds every reply too long.
    void NoteSlowAdapter(const std::string& portValue);
    bool slowAdapterNoted_ = false;
    // Run a menu command as if it was chosen from the menu.
    void ProcessCommand(int id);
    // The text-changed handling of the address fields.
    void OnAddressFieldChanged(FilteredTextField& field);
    // Whether the count field can show `count` as the page's count; says why not
    // when it cannot (the field would keep other digits: another count).
    bool CountFitsField(uint64_t count);
    // Compares the current page with page `chosen` (the compare box's choice).
    void CompareWith(int chosen);

    // A command that works for a while (on the target, or on the pages): input is
    // held off meanwhile (OperationGuard), and the close box ends it early where it
    // can be stopped, then closes the window.
    enum class Operation { None, Other, Read, Write };
    void RunOperation(Operation kind, const std::function<void()>& body);
    void OnClose(wxCloseEvent& event);
    Operation operation_ = Operation::None;
    bool stopRequested_ = false;   // the read or write stops at the next word
    bool closeAsked_ = false;      // a write: whether to stop is yet to be asked
    bool closeRequested_ = false;  // the window goes once the operation has ended

    AppOptions options_;
    std::unique_ptr<Clock> ownClock_;
    std::unique_ptr<SerialLink> link_;
    std::unique_ptr<Programmer> programmer_;

    BufferNotebook* notebook_ = nullptr;
    wxPanel* panel_ = nullptr;
    wxMenu* connectionMenu_ = nullptr;
    wxComboBox* quartzCombo_ = nullptr;
    wxComboBox* modelCombo_ = nullptr;
    wxComboBox* compareCombo_ = nullptr;
    wxBitmapButton* connectButton_ = nullptr;
    wxBitmapButton* readButton_ = nullptr;
    wxBitmapButton* writeButton_ = nullptr;
    wxButton* fillButton_ = nullptr;
    wxCheckBox* selectionCheckBox_ = nullptr;
    FilteredTextField* startField_ = nullptr;
    FilteredTextField* countField_ = nullptr;
    FilteredTextField* fillValueField_ = nullptr;

    wxToolBar* toolBar_ = nullptr;
    wxControl* toolStrip_ = nullptr;
    wxStaticText* startLabel_ = nullptr;
    wxStaticText* hexSuffix_ = nullptr;
    wxStaticText* countLabel_ = nullptr;
    ToolbarLayoutResult toolbarLayout_;
    int toolWidth_ = 0;
    // Frame height minus the panel's height: menu bar, toolbar, status bar, borders.
    int chromeHeight_ = 0;
    // The chip picture, shown whole: scaled down when the column runs out of height.
    wxStaticBitmap* picture_ = nullptr;
    wxStaticBox* connectBox_ = nullptr;
    wxStaticBox* readWriteBox_ = nullptr;
    wxStaticBox* compareBox_ = nullptr;
    int columnX_ = 0;
    int columnWidth_ = 0;
    // What the window grows by beyond its drawn width so that the grid shows every
    // column beside its vertical scrollbar and the right-hand column; 0 where the
    // drawn width holds both.
    int gridRoom_ = 0;
    int NotebookWidthForGrid() const;
    wxSize compareComboSize_;  // whatever the names in its list
    // Places the right-hand column; returns the bottom of the compare box.
    int LayOutRightColumn(bool compact);
    int CompareBoxWidth(const wxSize& comboSize) const;
    // Screen pixels per pixel at 96 DPI, as FromDIP scales (1 where the toolkit
    // scales by itself).
    double DipScale() const;
    wxBitmap pictureBitmap_;
    // Repaints during long operations are limited to a screen's pace.
    wxLongLong lastRepaintMs_ = 0;
    bool repaintPending_ = false;
    void FitPicture(int panelHeight);
    // The bars appear once the window is on the screen.
    void OnShown(wxShowEvent& event);

    ProgressCounter progress_;
    wxGauge* gauge_ = nullptr;
    wxRect gaugeRect_;

    wxDECLARE_EVENT_TABLE();
};

}  // namespace hc12
