// The main window: construction, the event table, the control states, the status
// bar and the progress gauge.
#include "MainFrame.h"

#include <algorithm>

#include <wx/display.h>
#include <wx/evtloop.h>
#include <wx/image.h>
#include <wx/menu.h>
#include <wx/msgdlg.h>
#include <wx/notebook.h>
#include <wx/settings.h>
#include <wx/statbmp.h>
#include <wx/statbox.h>
#include <wx/statusbr.h>

#include "BufferGrid.h"
#include "BufferNotebook.h"
#include "ComboRepick.h"
#include "FileTexts.h"
#include "FilteredTextField.h"
#include "HexText.h"
#include "Ids.h"
#include "OperationGuard.h"
#include "ProgramMessageDialog.h"
#include "Programmer.h"
#include "Resources.h"
#include "SerialLink.h"
#include "Speaker.h"
#include "StatusFields.h"
#include "Translate.h"

namespace hc12 {
namespace {

wxString U8(const char* text) {
    return wxString::FromUTF8(text);
}

std::string ToUtf8(const wxString& s) {
    return s.utf8_string();
}

// The window's measures are in pixels at 96 DPI; FromDIP turns them into the
// screen's pixels (the same numbers where the toolkit itself scales, as GTK does).
constexpr int kFrameWidth = 705;
constexpr int kMinHeight = 486;
constexpr int kMaxHeight = 900;
constexpr int kColumnX = 607;  // the right-hand column
constexpr int kNotebookWidth = 602;
constexpr int kNotebookHeight = 576;

// The combo boxes: read-only drop-down lists. On Windows the native control is
// exactly that; wxCB_SIMPLE there would size it as a list that is always open.
// Windows' check box draws its text up to its right edge, so the box around it
// leaves room for its border line (GTK's has padding of its own). Windows' scrollbar
// takes room beside the grid's columns; GTK's lies over them.
#ifdef __WXMSW__
constexpr long kComboStyle = wxCB_READONLY;
constexpr int kCheckBoxBorderRoom = 2;
constexpr bool kScrollbarTakesRoom = true;
#else
constexpr long kComboStyle = wxCB_READONLY | wxCB_SIMPLE;
constexpr int kCheckBoxBorderRoom = 0;
constexpr bool kScrollbarTakesRoom = false;
#endif

// Shown through Tr.
const char* const kNotConnectedText = N_("Brak połączenia.");
const char* const kConnectingText = N_("Łączenie...");
const char* const kConnectedText = N_("Połączony.");

// Followed by the largest count the count field takes.
const char* const kFileTooLongText = N_("Plik jest za duży! Bufor mieści najwyżej %s bajtów.");

const char* const kStopWriteQuestion =
    N_("Trwa zapis EEPROM! Przerwany zostawi pamięć zapisaną tylko w części.\n"
       "Przerwać zapis i zamknąć program?");

wxSize AtLeast(wxSize given, const wxSize& best) {
    given.IncTo(best);
    return given;
}

// Process paint and other window events, never user input: a click taken here
// could close or rebuild the page that a running operation is using.
void YieldForPaint() {
    if (wxEventLoopBase* loop = wxEventLoopBase::GetActive()) {
        loop->YieldFor(wxEVT_CATEGORY_UI);
        return;
    }
    wxEventLoop loop;
    wxEventLoopActivator activate(&loop);
    loop.YieldFor(wxEVT_CATEGORY_UI);
}

}  // namespace

// clang-format off
wxBEGIN_EVENT_TABLE(MainFrame, wxFrame)
    EVT_MENU(ID_EXIT, MainFrame::OnQuit)
    EVT_MENU(ID_ABOUT, MainFrame::OnAbout)
    EVT_MENU(ID_CONNECT, MainFrame::OnConnect)
    EVT_BUTTON(ID_CONNECT, MainFrame::OnConnect)
    EVT_COMBOBOX(ID_MODEL, MainFrame::OnModelSelected)
    EVT_COMBOBOX(ID_QUARTZ, MainFrame::OnQuartzSelected)
    EVT_COMBOBOX(ID_COMPARE, MainFrame::OnCompareWith)
    EVT_MENU(ID_COM1, MainFrame::OnOpenPort)
    EVT_MENU(ID_COM2, MainFrame::OnOpenPort)
    EVT_MENU(ID_COM3, MainFrame::OnOpenPort)
    EVT_MENU(ID_COM4, MainFrame::OnOpenPort)
    EVT_MENU(ID_READ_EEPROM, MainFrame::OnReadEeprom)
    EVT_BUTTON(ID_READ_EEPROM, MainFrame::OnReadEeprom)
    EVT_MENU(ID_WRITE_EEPROM, MainFrame::OnWriteEeprom)
    EVT_BUTTON(ID_WRITE_EEPROM, MainFrame::OnWriteEeprom)
    EVT_BUTTON(ID_FILL, MainFrame::OnFill)
    EVT_MENU(ID_OPEN_FILE, MainFrame::OnOpenFile)
    EVT_MENU(ID_SAVE_FILE, MainFrame::OnSaveFile)
    EVT_MENU(ID_NEW_BUFFER, MainFrame::OnNewBuffer)
    EVT_MENU(ID_CLOSE_BUFFER, MainFrame::OnCloseBuffer)
    EVT_MENU(wxID_ANY, MainFrame::OnAnyMenu)
    EVT_NOTEBOOK_PAGE_CHANGED(ID_NOTEBOOK, MainFrame::OnPageChanged)
    EVT_SIZE(MainFrame::OnSize)
    EVT_CLOSE(MainFrame::OnClose)
    EVT_LEFT_DOWN(MainFrame::OnMouse)
    EVT_LEFT_UP(MainFrame::OnMouse)
    EVT_MIDDLE_DOWN(MainFrame::OnMouse)
    EVT_MIDDLE_UP(MainFrame::OnMouse)
    EVT_RIGHT_DOWN(MainFrame::OnMouse)
    EVT_RIGHT_UP(MainFrame::OnMouse)
    EVT_MOTION(MainFrame::OnMouse)
    EVT_LEFT_DCLICK(MainFrame::OnMouse)
    EVT_MIDDLE_DCLICK(MainFrame::OnMouse)
    EVT_RIGHT_DCLICK(MainFrame::OnMouse)
    EVT_ENTER_WINDOW(MainFrame::OnMouse)
    EVT_LEAVE_WINDOW(MainFrame::OnMouse)
    EVT_MOUSEWHEEL(MainFrame::OnMouse)
wxEND_EVENT_TABLE()
    // clang-format on

    MainFrame::MainFrame(const wxString& title, const wxPoint& pos, const wxSize& size,
                         AppOptions options)
    : wxFrame(nullptr, wxID_ANY, title, pos, size, wxDEFAULT_FRAME_STYLE),
      options_(std::move(options)) {
    if (options_.clock == nullptr) {
        ownClock_ = std::make_unique<SteadyClock>();
        options_.clock = ownClock_.get();
    }
    link_ =
        std::make_unique<SerialLink>(*options_.clock, *this, [this](const std::string& portName) {
            // "COM1".."COM4" -> menu port 0..3
            const int index = portName.size() == 4 ? portName[3] - '1' : -1;
            return OpenMenuPort(index);
        });
    link_->SetFrameTimeUs(options_.frameTimeUs);
    programmer_ = std::make_unique<Programmer>(*link_, *this);
    BuildWindow();
}

MainFrame::~MainFrame() {
    // The gauge belongs to the status bar; forget it before the bars go.
    gauge_ = nullptr;
}

void MainFrame::BuildWindow() {
    const wxIcon icon = LoadResourceIcon("IDI_ICON");
    if (icon.IsOk())
        SetIcon(icon);

    panel_ = new wxPanel(this, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                         wxTAB_TRAVERSAL | wxNO_BORDER);
    notebook_ = new BufferNotebook(panel_, ID_NOTEBOOK, wxDefaultPosition,
                                   FromDIP(wxSize(kNotebookWidth, kNotebookHeight)),
                                   wxSTATIC_BORDER, "notebook");
    BuildMenus();
    BuildToolBar();

    CreateStatusBar(4, wxST_SIZEGRIP, 0);
    SetStatusBarPane(3);  // help texts of menu items and tools
    // Equal quarters cut the longer results (a read of a large window, a compare
    // summary) at GTK's font; each text field gets the room its texts need.
    wxStatusBar* bar = GetStatusBar();
    const std::vector<int> widths = StatusFieldWidths(
        [bar](const std::string& text) { return bar->GetTextExtent(U8(text.c_str())).x; },
        DipScale());
    bar->SetStatusWidths(int(widths.size()), widths.data());

    SetSizeHints(FromDIP(kFrameWidth), FromDIP(kMinHeight), FromDIP(kFrameWidth),
                 FromDIP(kMaxHeight));
    // On a small screen at a large scaling the window starts no lower than the
    // screen's work area reaches (and never below its least height).
    const int bottom = wxDisplay(this).GetClientArea().GetBottom() + 1;
    SetSize(100, 20, FromDIP(kFrameWidth),
            std::max(FromDIP(kMinHeight), std::min(FromDIP(660), bottom - 20)));

    PlaceToolbarControls();
    BuildRightColumn();

    link_->SetConnectionState(kNotConnected);
    ShowNotConnected();

    startField_->SetDefaultStyle(wxTextAttr(*wxBLACK, wxNullColour,
                                            wxFont(10, wxFONTFAMILY_MODERN, wxFONTSTYLE_NORMAL,
                                                   wxFONTWEIGHT_NORMAL, false, wxEmptyString)));

    // What the menu bar, the toolbar, the status bar and the borders take from the
    // frame's height; the resize rule gives the rest to the notebook.
    chromeHeight_ = GetSize().y - GetClientSize().y;

    // Under a window manager GTK lays a new window out once at the size of its
    // decorations alone, while it learns their size; a menu bar and a toolbar given
    // no room complain on the console. They come in once the window is shown.
    GetMenuBar()->Hide();
    toolBar_->Hide();
    Bind(wxEVT_SHOW, &MainFrame::OnShown, this);
}

void MainFrame::BuildMenus() {
    auto* fileMenu = new wxMenu;
    fileMenu->Append(ID_NEW_BUFFER, U8(Tr("&Nowy bufor")), wxEmptyString);
    fileMenu->Append(ID_OPEN_FILE, U8(Tr("&Czytaj plik")), wxEmptyString);
    fileMenu->Append(ID_SAVE_FILE, U8(Tr("&Zapisz do pliku")), wxEmptyString);
    fileMenu->Append(ID_CLOSE_BUFFER, U8(Tr("&Zamknij bufor")), wxEmptyString);
    fileMenu->AppendSeparator();
    fileMenu->Append(ID_EXIT, U8("E&xit"), wxEmptyString);

    connectionMenu_ = new wxMenu;
    connectionMenu_->Append(ID_CONNECT, U8(Tr("&Polacz z MCU")), wxEmptyString);
    connectionMenu_->Append(ID_READ_EEPROM, U8(Tr("&Czytaj EEPROM")), wxEmptyString);
    // Translators: "Wczytaj" (load) names the write of the EEPROM here, as it always has.
    connectionMenu_->Append(ID_WRITE_EEPROM, U8(Tr("&Wczytaj EEPROM")), wxEmptyString);
    // Off at start: a write is the full write unless asked otherwise in this run.
    connectionMenu_->AppendCheckItem(ID_CHANGED_ONLY, U8(Tr("&Zapisuj tylko zmienione słowa")),
                                     wxEmptyString);
    connectionMenu_->AppendSeparator();
    connectionMenu_->AppendRadioItem(ID_COM1, U8("COM 1"), wxEmptyString);
    connectionMenu_->AppendRadioItem(ID_COM2, U8("COM 2"), wxEmptyString);
    connectionMenu_->AppendRadioItem(ID_COM3, U8("COM 3"), wxEmptyString);
    connectionMenu_->AppendRadioItem(ID_COM4, U8("COM 4"), wxEmptyString);

    auto* menuBar = new wxMenuBar;
    menuBar->Append(fileMenu, U8(Tr("&Plik")));
    menuBar->Append(connectionMenu_, U8(Tr("&Połączenie")));
    SetMenuBar(menuBar);
}

void MainFrame::AddHelpedTool(int id, const wxString& label, const wxBitmap& bitmap,
                              const wxString& help) {
    // The help goes to the tooltip and to status field 3 (a tool without a long
    // help emptied the field while the pointer was on it).
    toolBar_->AddTool(id, label, bitmap, wxNullBitmap, wxITEM_NORMAL, help, help);
}

void MainFrame::BuildToolBar() {
    toolBar_ = new wxToolBar(this, ID_TOOLBAR, wxDefaultPosition, wxDefaultSize,
                             wxTB_HORIZONTAL | wxTB_FLAT | wxNO_BORDER);
    // In pixels at 96 DPI: the toolkit scales the tools' pictures for the screen (by
    // whole factors, so they stay sharp).
    toolBar_->SetToolBitmapSize(wxSize(16, 16));
    SetToolBar(toolBar_);

    auto toolBitmap = [](const char* name) {
        const wxBitmap bitmap = LoadResourceBitmap(name);
        if (!bitmap.IsOk())
            return wxBitmap(16, 16);  // an empty face keeps the tool usable
        return wxBitmap(bitmap.ConvertToImage().Rescale(16, 16));
    };
    const wxBitmap newBmp = toolBitmap("new");
    const wxBitmap openBmp = toolBitmap("open");
    const wxBitmap saveBmp = toolBitmap("save");
    const wxBitmap helpBmp = toolBitmap("help");
    const wxBitmap closeBmp = toolBitmap("close");

    toolBar_->Realize();
    const int emptyWidth = ToolsRightEdge();
    AddHelpedTool(ID_NEW_BUFFER, U8("New"), newBmp, U8(Tr("Nowy bufor")));
#ifdef __WXGTK__
    // GTK reports the bitmap size as the tool size; the button around it is wider,
    // and that is the width the tools take on the bar.
    toolBar_->Realize();
    toolWidth_ = ToolsRightEdge() - emptyWidth;
#else
    (void)emptyWidth;
    toolWidth_ = toolBar_->GetToolSize().x;
#endif
    toolBar_->AddSeparator();
    AddHelpedTool(ID_OPEN_FILE, U8("Open"), openBmp, U8(Tr("Czytaj plik")));
    toolBar_->AddSeparator();
    AddHelpedTool(ID_SAVE_FILE, U8("Save"), saveBmp, U8(Tr("Zapisz do pliku")));
    toolBar_->AddSeparator();
    AddHelpedTool(ID_CLOSE_BUFFER, U8("Close"), closeBmp, U8(Tr("Zamknij bufor")));
    toolBar_->AddSeparator();
    toolBar_->AddSeparator();
    AddHelpedTool(ID_ABOUT, U8("Help"), helpBmp, U8(Tr("O porgramie")));
    toolBar_->Realize();
}

double MainFrame::DipScale() const {
    return FromDIP(1000) / 1000.0;
}

int MainFrame::ToolsRightEdge() const {
    // The toolbar's natural width with only its tools is where the tools end.
    toolBar_->InvalidateBestSize();
    return toolBar_->GetBestSize().x;
}

void MainFrame::PlaceToolbarControls() {
    // The controls live on one window that the toolbar carries as a control: GTK
    // shows toolbar children only as toolbar items, never at a position of their own.
    toolStrip_ = new wxControl(toolBar_, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                               wxBORDER_NONE | wxTAB_TRAVERSAL);
    wxWindow* strip = toolStrip_;

    startField_ = new FilteredTextField(strip, ID_FIELDS, FilteredTextField::kHex, 4, "0000",
                                        wxDefaultPosition, wxSize(50, 17), wxTE_RIGHT,
                                        wxDefaultValidator, "start");
    countField_ = new FilteredTextField(strip, ID_FIELDS, FilteredTextField::kDecimal, 7, "0",
                                        wxDefaultPosition, wxSize(50, 17), wxTE_RIGHT,
                                        wxDefaultValidator, "ile");
    fillValueField_ =
        new FilteredTextField(strip, ID_FIELDS, FilteredTextField::kHex, 2, "FF", wxDefaultPosition,
                              wxSize(25, 17), wxTE_RIGHT, wxDefaultValidator, "ile");
    notebook_->SetAddressFields(startField_, countField_);
    for (FilteredTextField* field : {startField_, countField_, fillValueField_})
        field->SetChangeHandler([this](FilteredTextField& f) { OnAddressFieldChanged(f); });

    modelCombo_ = new wxComboBox(strip, ID_MODEL, wxEmptyString, wxDefaultPosition, wxDefaultSize,
                                 0, nullptr, kComboStyle);
    for (const ModelRecord& row : ModelTable())
        modelCombo_->Append(wxString::FromUTF8(row.name));
    modelCombo_->SetValue(wxString::FromUTF8(ModelTable()[0].name));
    // "Model" chosen again resets the address fields.
    SendSelectionOnRepick(modelCombo_);
    programmer_->SetCurrentModel(ModelTable()[0]);
    startField_->SetText(wxString::FromUTF8(FormatHex4(ModelTable()[0].eepromStart)));
    countField_->SetText(wxString::Format("%u", unsigned(ModelTable()[0].eepromSize)));

    wxArrayString quartzItems;
    for (std::string_view q : kQuartzChoices)
        quartzItems.Add(wxString::FromUTF8(q.data(), q.size()));
    quartzCombo_ = new wxComboBox(strip, ID_QUARTZ, U8("Auto"), wxDefaultPosition, wxDefaultSize,
                                  quartzItems, kComboStyle);
    quartzCombo_->SetValue(U8("Auto"));

    startLabel_ = new wxStaticText(strip, 0, U8(Tr("Poczatek")) + U8(":"));
    hexSuffix_ = new wxStaticText(strip, 0, U8("H"));
    countLabel_ = new wxStaticText(strip, 0, U8(Tr("Ile")) + U8(":"));
    fillButton_ = new wxButton(strip, ID_FILL, U8(Tr("Wypełnij")), wxDefaultPosition,
                               wxSize(50, 20), wxBU_EXACTFIT);

    std::array<wxWindow*, kToolbarSlotCount> slots{};
    slots[kFillValueSlot] = fillValueField_;
    slots[kFillButtonSlot] = fillButton_;
    slots[kStartLabelSlot] = startLabel_;
    slots[kStartFieldSlot] = startField_;
    slots[kHexSuffixSlot] = hexSuffix_;
    slots[kCountLabelSlot] = countLabel_;
    slots[kCountFieldSlot] = countField_;
    slots[kModelSlot] = modelCombo_;
    slots[kQuartzSlot] = quartzCombo_;

    // The given sizes are those of a small Windows theme; a control never gets less
    // than it needs to show its text.
    const wxSize given[kToolbarSlotCount] = {
        FromDIP(wxSize(25, 17)), FromDIP(wxSize(50, 20)), wxDefaultSize,
        FromDIP(wxSize(50, 17)), wxDefaultSize,           wxDefaultSize,
        FromDIP(wxSize(50, 17)), wxDefaultSize,           wxDefaultSize};
    ToolbarLayoutInput input;
    input.toolWidth = toolWidth_;
    input.freeLeft = ToolsRightEdge();
    input.rightEdge = GetClientSize().x - FromDIP(8);
    input.top = 0;
    input.scale = DipScale();
    for (int i = 0; i < kToolbarSlotCount; ++i) {
        wxSize size = AtLeast(given[i], slots[i]->GetBestSize());
        input.sizes[i] = {size.x, size.y};
    }
    // GTK's exact fit leaves the label touching the button's edge.
    input.sizes[kFillButtonSlot].width += FromDIP(6);
    // A text field's best width is a generic one; these need room for their digits only.
    const std::pair<int, const char*> fieldSamples[] = {
        {kFillValueSlot, "FF"}, {kStartFieldSlot, "DDDD"}, {kCountFieldSlot, "8888888"}};
    for (const auto& [slot, sample] : fieldSamples) {
        auto* field = static_cast<wxTextCtrl*>(slots[slot]);
        const wxSize fit = field->GetSizeFromTextSize(field->GetTextExtent(sample + wxString("0")));
        input.sizes[slot].width = std::max(given[slot].x, fit.x);
    }
    toolbarLayout_ = LayOutToolbar(input);

    for (int i = 0; i < kToolbarSlotCount; ++i) {
        const LayoutRect& r = toolbarLayout_.rects[i];
        slots[i]->SetSize(r.x - input.freeLeft, r.y + FromDIP(2), r.width, r.height);
    }
    toolStrip_->SetSize(input.rightEdge - input.freeLeft, toolbarLayout_.height + FromDIP(4));
    toolStrip_->SetMinSize(toolStrip_->GetSize());
    toolBar_->AddControl(toolStrip_);
    toolBar_->Realize();
}

void MainFrame::BuildRightColumn() {
    // Translators: the labels drawn on the three large buttons (connect, read, write),
    // in capitals; about eight letters fit.
    const double scale = DipScale();
    const wxBitmap connectBmp = ButtonFace("connect", N_("POLACZ"), scale);
    const wxBitmap readBmp = ButtonFace("read", N_("CZYTAJ"), scale);
    const wxBitmap writeBmp = ButtonFace("write", N_("ZAPISZ"), scale);
    const wxBitmap chipBmp = ScaledBitmap(LoadResourceBitmap("HC12BMP"), scale);

    connectButton_ =
        new wxBitmapButton(panel_, ID_CONNECT, connectBmp, FromDIP(wxPoint(kColumnX, 20)),
                           wxDefaultSize, wxBU_AUTODRAW);
    SetDefaultItem(connectButton_);
    readButton_ = new wxBitmapButton(panel_, ID_READ_EEPROM, readBmp,
                                     FromDIP(wxPoint(kColumnX, 135)), wxDefaultSize, wxBU_AUTODRAW);
    writeButton_ =
        new wxBitmapButton(panel_, ID_WRITE_EEPROM, writeBmp, FromDIP(wxPoint(kColumnX, 255)),
                           wxDefaultSize, wxBU_AUTODRAW);
    selectionCheckBox_ = new wxCheckBox(panel_, ID_SELECTION, U8(Tr("Zaznaczenie")));
    readWriteBox_ = new wxStaticBox(panel_, 0, wxEmptyString);
    connectBox_ = new wxStaticBox(panel_, 0, wxEmptyString);
    compareBox_ = new wxStaticBox(panel_, 0, U8(Tr("Porównaj z")) + U8(":"));
    compareCombo_ = new wxComboBox(panel_, ID_COMPARE, wxEmptyString, wxDefaultPosition,
                                   FromDIP(wxSize(87, 16)), 0, nullptr, kComboStyle);
    compareCombo_->Append(notebook_->GetPageText(size_t(notebook_->GetSelection())));
    compareCombo_->Disable();
    compareCombo_->SetSelection(0);
    notebook_->SetCompareCombo(compareCombo_);
    // Every choice compares, the entry already shown included.
    SendSelectionOnRepick(compareCombo_);
    // Page names can be long (a compare result's): the box keeps the column's width.
    ListLongEntriesWhole(compareCombo_);
    picture_ = new wxStaticBitmap(panel_, wxID_ANY, chipBmp, wxDefaultPosition);
    pictureBitmap_ = chipBmp;

    // Where the theme's controls are larger than the column was drawn for, the
    // column moves left (the notebook gives up the width).
    const wxSize buttonSize = connectButton_->GetSize();
    const wxSize checkSize = selectionCheckBox_->GetBestSize();
    // Measured once, with the first page's short name in it.
    compareComboSize_ = AtLeast(FromDIP(wxSize(87, 16)), compareCombo_->GetBestSize());
    const wxSize comboSize = compareComboSize_;
    columnWidth_ =
        std::max({buttonSize.x, checkSize.x + FromDIP(3 + kCheckBoxBorderRoom),
                  CompareBoxWidth(comboSize) + FromDIP(3), FromDIP(92), readButton_->GetSize().x});
    // The notebook keeps the width its grid needs to show every column: where the
    // column and the grid's scrollbar take more than the window was drawn for
    // (Windows' controls), the window grows.
    const int needed = NotebookWidthForGrid() + FromDIP(5) + columnWidth_ + FromDIP(4);
    if (needed > GetClientSize().x) {
        gridRoom_ = needed - GetClientSize().x;
        SetSizeHints(FromDIP(kFrameWidth) + gridRoom_, FromDIP(kMinHeight),
                     FromDIP(kFrameWidth) + gridRoom_, FromDIP(kMaxHeight));
        SetSize(GetSize().x + gridRoom_, GetSize().y);
    }
    const int clientWidth = GetClientSize().x;
    columnX_ = std::min(FromDIP(kColumnX) + gridRoom_, clientWidth - columnWidth_ - FromDIP(4));
    notebook_->SetSize(std::min(FromDIP(kNotebookWidth) + gridRoom_, columnX_ - FromDIP(5)),
                       FromDIP(kNotebookHeight));
    LayOutRightColumn(false);
}

int MainFrame::NotebookWidthForGrid() const {
    const BufferGrid* grid = notebook_->CurrentGrid();
    if (grid == nullptr)
        return 0;
    int columns = grid->GetRowLabelSize();
    for (int c = 0; c < grid->GetNumberCols(); ++c)
        columns += grid->GetColSize(c);
    // The grid sits 3 pixels in from its page and has its border (and on Windows
    // the vertical scrollbar) beside the columns; the notebook adds its own borders
    // around the page.
    const int scrollbar =
        kScrollbarTakesRoom ? wxSystemSettings::GetMetric(wxSYS_VSCROLL_X, grid) : 0;
    const int gridWidth = columns + scrollbar + grid->GetWindowBorderSize().x;
    return notebook_->CalcSizeFromPage(wxSize(gridWidth + FromDIP(3), 0)).x;
}

int MainFrame::CompareBoxWidth(const wxSize& comboSize) const {
    // Room for the combo box, and for the box's label with the border's ends beside it
    // (the English label is longer than the box was drawn for).
    const int label = compareBox_->GetTextExtent(compareBox_->GetLabel()).x + FromDIP(16);
    return std::max({FromDIP(90), comboSize.x + FromDIP(4), label});
}

int MainFrame::LayOutRightColumn(bool compact) {
    // Down the column every control keeps clear of the one above it. The drawn
    // positions (read at 135, write at 255) leave wide gaps; when the window is too
    // short for them with this theme's controls, the column closes the gaps so the
    // compare box stays on screen.
    const int columnX = columnX_;
    const int columnWidth = columnWidth_;
    const wxSize buttonSize = connectButton_->GetSize();
    const wxSize checkSize = selectionCheckBox_->GetBestSize();
    const wxSize comboSize = compareComboSize_;
    const auto dip = [this](int pixels) { return FromDIP(pixels); };

    connectButton_->Move(columnX, dip(20));
    const int connectH = connectButton_->GetSize().y;
    connectBox_->SetSize(columnX, dip(20 - 7), std::max(dip(92), buttonSize.x + dip(4)),
                         connectH + dip(12));

    const int readMin = connectBox_->GetRect().GetBottom() + 1 + dip(9 + 4);
    const int readY = compact ? readMin : std::max(dip(135), readMin);
    readButton_->Move(columnX, readY);
    const int writeMin = readButton_->GetRect().GetBottom() + 1 + dip(10);
    const int writeY = compact ? writeMin : std::max(dip(255), writeMin);
    writeButton_->Move(columnX, writeY);
    const wxRect write = writeButton_->GetRect();
    selectionCheckBox_->SetSize(write.x + dip(3), write.y + write.height + dip(1), checkSize.x,
                                checkSize.y);
    const wxRect check = selectionCheckBox_->GetRect();

    const int groupTop = readY - dip(9);
    const int groupMin = check.GetBottom() + 1 + dip(6) - groupTop;
    readWriteBox_->SetSize(columnX, groupTop, std::max(dip(90), columnWidth),
                           compact ? groupMin : std::max(dip(194), groupMin));

    int labelTop = 0, otherBorder = 0;
    compareBox_->GetBordersForSizer(&labelTop, &otherBorder);
    const int compareMin = readWriteBox_->GetRect().GetBottom() + 1 + dip(6);
    const int compareY =
        compact ? compareMin : std::max(check.GetBottom() + 1 + dip(30), compareMin);
    const int comboOffset = std::max(dip(17), labelTop + 1);
    compareBox_->SetSize(check.x, compareY, CompareBoxWidth(comboSize),
                         std::max(dip(40), comboOffset + comboSize.y + otherBorder + dip(4)));
    compareCombo_->SetSize(check.x + dip(2), compareY + comboOffset, comboSize.x, comboSize.y);
    const wxRect combo = compareCombo_->GetRect();
    picture_->Move(combo.x,
                   std::max(combo.y + dip(30), compareBox_->GetRect().GetBottom() + 1 + dip(4)));
    return compareBox_->GetRect().GetBottom() + 1;
}

// --- shell commands ---

void MainFrame::OnQuit(wxCommandEvent&) {
    Close(true);
    link_->CloseAll();
}

void MainFrame::OnAbout(wxCommandEvent&) {
    ShowMessage(Message{Tr("Wersja 3.0"), Tr("Informacja:"), MsgButtons::Ok, MsgIcon::Information});
}

void MainFrame::RunOperation(Operation kind, const std::function<void()>& body) {
    const Operation outer = operation_;
    {
        const OperationGuard guard(*this);
        operation_ = kind;
        stopRequested_ = false;
        body();
        operation_ = outer;
        stopRequested_ = false;
    }
    if (outer == Operation::None && (closeRequested_ || closeAsked_)) {
        // Asked for during the operation (a write that ended before its question
        // goes too: the user wanted the window closed).
        closeRequested_ = closeAsked_ = false;
        Close(true);
    }
}

void MainFrame::OnClose(wxCloseEvent& event) {
    if (operation_ == Operation::None) {
        event.Skip();  // the window goes
        return;
    }
    // Not while an operation is using the window: it stops first where it can (a
    // read at the next word; a write once the user agreed, between two words),
    // and the window goes when it has ended.
    if (event.CanVeto())
        event.Veto();
    if (closeRequested_)
        return;
    if (operation_ == Operation::Write) {
        closeAsked_ = true;  // asked between two words, outside any event handling
    } else {
        stopRequested_ = true;
        closeRequested_ = true;
    }
}

bool MainFrame::CountFitsField(uint64_t count) {
    uint64_t limit = 1;
    for (int i = 0; i < countField_->maxLength(); ++i)
        limit *= 10;
    if (count < limit)
        return true;
    ShowMessage(Message{Format(Tr(kFileTooLongText), limit - 1), Tr(kErrorCaption), MsgButtons::Ok,
                        MsgIcon::Error});
    return false;
}

bool MainFrame::StopRequested() {
    if (closeAsked_) {
        closeAsked_ = false;
        if (ShowMessage(Message{Tr(kStopWriteQuestion), Tr(kWarningCaption), MsgButtons::YesNo,
                                MsgIcon::Question}) == MsgAnswer::Yes) {
            stopRequested_ = true;
            closeRequested_ = true;
        }
    }
    return stopRequested_;
}

void MainFrame::OnAnyMenu(wxCommandEvent&) {
    // Consumed: no unbound menu or tool command reaches the toolkit's own handling.
}

void MainFrame::OnMouse(wxMouseEvent&) {
    // Only events of the bare frame arrive here; they are consumed.
    SpeakerBeep(100, 100);
}

void MainFrame::OnSize(wxSizeEvent& event) {
    event.Skip();  // the default handling keeps the panel over the client area
    if (notebook_ == nullptr || chromeHeight_ == 0)
        return;
    // While the window is first shown under a window manager, GTK passes through
    // a size of nothing but the decorations; the frame never really takes a size
    // below its minimum, and laying out for one would size the pages negative.
    if (event.GetSize().x < FromDIP(kFrameWidth) + gridRoom_ ||
        event.GetSize().y < FromDIP(kMinHeight))
        return;
    // The bars' heights settle only once the window is shown, so measure them now.
    chromeHeight_ = GetSize().y - GetClientSize().y;
    const int panelHeight = event.GetSize().y - chromeHeight_;
    // The notebook takes the panel's height and keeps its width; its pages get
    // what the tabs leave (setting the page size instead would let GTK widen the
    // notebook by its borders on every resize).
    const int tabsHeight = notebook_->CalcSizeFromPage(wxSize(0, 0)).y;
    const int pageHeight = panelHeight - tabsHeight;
    notebook_->SetSize(notebook_->GetSize().x, panelHeight);
    BufferGrid* current = notebook_->CurrentGrid();
    const int gridWidth = current ? current->GetSize().x : notebook_->GetSize().x - 4;
    for (size_t i = 0; i <= size_t(BufferNotebook::kMaxPages); ++i)
        if (BufferGrid* grid = notebook_->GridAt(i))
            grid->SetSize(gridWidth, pageHeight - FromDIP(4));
    // The drawn column when it fits, the closed-up one when it does not.
    if (LayOutRightColumn(false) + 2 > panelHeight)
        LayOutRightColumn(true);
    FitPicture(panelHeight);
}

void MainFrame::OnShown(wxShowEvent& event) {
    event.Skip();
    if (!event.IsShown() || toolBar_->IsShown())
        return;
    GetMenuBar()->Show();
    toolBar_->Show();
    SendSizeEvent();
}

void MainFrame::FitPicture(int panelHeight) {
    if (picture_ == nullptr || !pictureBitmap_.IsOk())
        return;
    // GTK's taller toolbar leaves less room under the column than the picture was
    // drawn for; scale it down (keeping its proportions) rather than cut it off.
    const int room = panelHeight - picture_->GetPosition().y - 2;
    const int fullHeight = pictureBitmap_.GetHeight();
    // Below a quarter of its height it would only be a smudge: leave it out.
    picture_->Show(room >= fullHeight / 4);
    if (!picture_->IsShown())
        return;
    const int height = std::min(room, fullHeight);
    if (picture_->GetSize().y == height)
        return;
    if (height == fullHeight) {
        picture_->SetBitmap(pictureBitmap_);
    } else {
        const int width = std::max(1, pictureBitmap_.GetWidth() * height / fullHeight);
        picture_->SetBitmap(
            wxBitmap(pictureBitmap_.ConvertToImage().Scale(width, height, wxIMAGE_QUALITY_HIGH)));
    }
    picture_->SetSize(picture_->GetBestSize());
}

void MainFrame::OnModelSelected(wxCommandEvent& event) {
    const int row = event.GetSelection();
    if (row < 0 || row >= kModelCount)
        return;
    const ModelRecord& model = ModelTable()[size_t(row)];
    programmer_->SetCurrentModel(model);
    startField_->SetText(wxString::FromUTF8(FormatHex4(model.eepromStart)));
    countField_->SetText(wxString::Format("%u", unsigned(model.eepromSize)));
    HintCurrentModel();
}

// --- control states ---

void MainFrame::ShowNotConnected() {
    wxFrame::SetStatusText(U8(Tr(kNotConnectedText)), 3);
    readButton_->Disable();
    writeButton_->Disable();
    connectionMenu_->Enable(ID_WRITE_EEPROM, false);
    connectionMenu_->Enable(ID_READ_EEPROM, false);
    selectionCheckBox_->Disable();
}

void MainFrame::ShowConnecting() {
    link_->SetConnectionState(kConnected);
    wxFrame::SetStatusText(U8(Tr(kConnectingText)), 3);
}

void MainFrame::ShowConnected(bool s12Target) {
    wxFrame::SetStatusText(U8(Tr(kConnectedText)), 3);
    readButton_->Enable();
    writeButton_->Enable();
    SetDefaultItem(readButton_);
    connectionMenu_->Enable(ID_WRITE_EEPROM, true);
    connectionMenu_->Enable(ID_READ_EEPROM, true);
    if (s12Target)
        selectionCheckBox_->SetValue(false);  // stays disabled: MC9S12 writes whole windows
    else
        selectionCheckBox_->Enable();
}

int8_t MainFrame::ConnectionState() const {
    return link_->ConnectionState();
}

// --- message boxes and status bar ---

MsgAnswer MainFrame::ShowMessage(const Message& message) {
    long style = message.buttons == MsgButtons::YesNo ? wxYES_NO : wxOK;
    switch (message.icon) {
        case MsgIcon::None:
            // No icon flag at all: the generic box takes wxICON_NONE for an icon to
            // look up, and fails a toolkit assertion in front of the user.
            break;
        case MsgIcon::Information:
            style |= wxICON_INFORMATION;
            break;
        case MsgIcon::Exclamation:
            style |= wxICON_EXCLAMATION;
            break;
        case MsgIcon::Error:
            style |= wxICON_ERROR;
            break;
        case MsgIcon::Question:
            style |= wxICON_QUESTION;
            break;
    }
    ProgramMessageDialog dialog(wxString::FromUTF8(message.text),
                                wxString::FromUTF8(message.caption), style);
    const int answer = dialog.ShowModal();
    if (message.buttons == MsgButtons::Ok)
        return MsgAnswer::Ok;
    // Only Yes goes on: a question dismissed any other way was not agreed to.
    return answer == wxID_YES ? MsgAnswer::Yes : MsgAnswer::No;
}

void MainFrame::SetStatusText(int field, const std::string& text) {
    wxFrame::SetStatusText(wxString::FromUTF8(text), field);
}

std::string MainFrame::GetStatusText(int field) {
    wxStatusBar* bar = GetStatusBar();
    return bar ? ToUtf8(bar->GetStatusText(field)) : std::string();
}

// --- progress gauge ---

void MainFrame::Progress(int32_t n) {
    wxStatusBar* bar = GetStatusBar();
    if (n > 0) {
        if (!progress_.RangeMeasured() && bar) {
            bar->GetFieldRect(2, gaugeRect_);
            progress_.MeasureRange(gaugeRect_.width);
        }
        YieldForPaint();
    }
    const ProgressCounter::Effect effect = progress_.Progress(n);
    switch (effect.action) {
        case ProgressCounter::Action::None:
            break;
        case ProgressCounter::Action::Create:
            if (gauge_)
                gauge_->Destroy();
            gauge_ =
                new wxGauge(bar, wxID_ANY, std::max(progress_.range(), 1), gaugeRect_.GetPosition(),
                            gaugeRect_.GetSize(), wxGA_HORIZONTAL | wxGA_SMOOTH);
            break;
        case ProgressCounter::Action::SetValue:
            if (gauge_)
                gauge_->SetValue(effect.value);
            break;
        case ProgressCounter::Action::Destroy:
            if (gauge_)
                gauge_->Destroy();
            gauge_ = nullptr;
            break;
    }
}

}  // namespace hc12
