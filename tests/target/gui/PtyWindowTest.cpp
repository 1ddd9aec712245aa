// The window against hc12prog-board through its tty device on the real clock, as a
// user starts it with "--port COM1=/dev/pts/N", driven by real clicks and keys:
// the connect (quartz detected), a read, and writes of selected cells, checked in
// what the board's EEPROM holds afterwards.
#include <gtest/gtest.h>

#include <unistd.h>

#include <wx/bmpbuttn.h>
#include <wx/checkbox.h>
#include <wx/combobox.h>
#include <wx/menu.h>
#include <wx/statbmp.h>
#include <wx/uiaction.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>

#include "BoardProcess.h"
#include "BufferGrid.h"
#include "BufferNotebook.h"
#include "FilteredTextField.h"
#include "GuiTestSupport.h"
#include "Ids.h"
#include "Programmer.h"
#include "ProgrammerApp.h"

namespace hc12::testing {
namespace {

namespace fs = std::filesystem;

// A board on its own device with a known EEPROM, written out when it stops.
struct PtyBoard {
    PtyBoard(const std::string& options, const std::vector<uint8_t>& eeprom) {
        const std::string stem =
            fs::path(::testing::TempDir()) / ("hc12_pty_window_" + std::to_string(getpid()) + "_" +
                                              std::to_string(reinterpret_cast<uintptr_t>(this)));
        image = stem + ".bin";
        dump = stem + ".dump";
        std::ofstream(image, std::ios::binary)
            .write(reinterpret_cast<const char*>(eeprom.data()), std::streamsize(eeprom.size()));
        process = std::make_unique<BoardProcess>(
            std::vector<std::string>{"--image", image.string(), "--dump", dump.string(), options});
    }
    ~PtyBoard() {
        process.reset();
        fs::remove(image);
        fs::remove(dump);
    }
    // Stops the board; what its EEPROM held then.
    std::vector<uint8_t> Stop() {
        EXPECT_EQ(process->Stop(), 0);
        std::ifstream in(dump, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    const std::string& path() const { return process->path(); }

    fs::path image, dump;
    std::unique_ptr<BoardProcess> process;
};

std::vector<uint8_t> Pattern(size_t size) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = uint8_t(i * 7 + (i >> 4));
    return bytes;
}

class PtyWindow : public ::testing::Test {
  protected:
    void TearDown() override {
        if (frame)
            DestroyFrame(frame);
        hook.ExpectAllAnswersUsed();
    }
    // The window on the real clock with the given port devices.
    void Open(const std::vector<std::string>& ports) {
        AppOptions options;
        std::vector<std::string> args;
        for (size_t i = 0; i < ports.size(); ++i) {
            args.push_back("--port");
            args.push_back("COM" + std::to_string(i + 1) + "=" + ports[i]);
        }
        std::string error;
        ASSERT_TRUE(ParsePortOptions(args, options.ports, &error)) << error;
        frame = CreateMainFrame(std::move(options));
        frame->Raise();
        Pump();
    }
    void ChooseModel(const std::string& name) {
        const int row = FindModelIndex(name);
        ASSERT_GE(row, 0) << name;
        ASSERT_TRUE(ChooseInCombo(sim, frame->modelCombo(), row));
        ASSERT_EQ(frame->programmer().CurrentModel().name, name);
    }
    std::string Status(int field) { return frame->GetStatusText(field); }
    void Click(wxWindow* window) {
        frame->Raise();
        ClickOn(sim, window);
    }
    // Clicks a button of the right-hand column and waits for what it does.
    void ClickAndWait(wxWindow* button, int field, const std::string& text) {
        frame->SetStatusText(field, "");
        Click(button);
        ASSERT_TRUE(PumpUntil([&] { return Status(field) == text; }, 3000))
            << "field " << field << ": " << Status(field);
    }
    BufferGrid* Grid() { return frame->notebook()->CurrentGrid(); }
    void ClickCell(uint32_t index) {
        sim.MouseMove(CellScreenCentre(Grid(), int(index / 16), int(index % 16)));
        Pump();
        sim.MouseClick();
        Pump();
    }
    // Types a byte into a cell (the editor opens with the first key), then selects
    // the cell alone with a click.
    void TypeIntoCell(uint32_t index, const std::string& text) {
        ClickCell(index);
        TypeKeys(sim, text);
        sim.Char(WXK_RETURN);
        ASSERT_TRUE(PumpUntil(
            [&] { return Utf8(Grid()->GetCellValue(int(index / 16), int(index % 16))) == text; }));
        // Enter moved the cursor on; the click comes after a double click's time
        // (a double click would open the editor again), and again if it was lost.
        for (int attempt = 0; attempt < 3 && !Grid()->ByteSelected(index); ++attempt) {
            PumpUntil([] { return false; }, 60);
            ClickCell(index);
            PumpUntil([&] { return Grid()->ByteSelected(index); }, 50);
        }
        ASSERT_TRUE(Grid()->ByteSelected(index));
        ASSERT_FALSE(Grid()->IsCellEditControlEnabled());
    }
    // A drag from one byte's cell to another's in the same row.
    void Drag(uint32_t first, uint32_t last) {
        const int row = int(first / 16);
        sim.MouseMove(CellScreenCentre(Grid(), row, int(first % 16)));
        Pump();
        sim.MouseDown();
        ASSERT_TRUE(PumpUntil([&] { return Grid()->ByteSelected(first); }));
        for (uint32_t i = first + 1; i <= last; ++i) {
            sim.MouseMove(CellScreenCentre(Grid(), row, int(i % 16)));
            Pump();
        }
        ASSERT_TRUE(PumpUntil([&] { return Grid()->ByteSelected(last); }));
        sim.MouseUp();
        Pump();
    }
    // The fill value typed into its field, then "Wypełnij" clicked.
    void Fill(const std::string& value, uint32_t someSelected) {
        FilteredTextField* field = frame->fillValueField();
        ClickOn(sim, field);
        sim.Char(WXK_END);
        TypeKeys(sim, std::string("\b\b") + value);
        ASSERT_TRUE(PumpUntil([&] { return Utf8(field->GetValue()) == value; }));
        const uint8_t byte = uint8_t(std::stoul(value, nullptr, 16));
        for (int attempt = 0; attempt < 3 && Grid()->model().GetCellByte(someSelected) != byte;
             ++attempt) {
            Click(frame->fillButton());
            PumpUntil([&] { return Grid()->model().GetCellByte(someSelected) == byte; }, 100);
        }
        ASSERT_EQ(Grid()->model().GetCellByte(someSelected), byte);
    }
    void SetChangedOnly(bool on) {
        if (frame->connectionMenu()->IsChecked(ID_CHANGED_ONLY) == on)
            return;
        ASSERT_TRUE(PickMenuItemByKeys(sim, frame, 1, ID_CHANGED_ONLY));
        ASSERT_TRUE(
            PumpUntil([&] { return frame->connectionMenu()->IsChecked(ID_CHANGED_ONLY) == on; }));
    }

    DialogHook hook;
    MainFrame* frame = nullptr;
    wxUIActionSimulator sim;
};

TEST_F(PtyWindow, ConnectAndReadThroughTheBoardsDevice) {
    const std::vector<uint8_t> preload = Pattern(1024);
    PtyBoard board("model=HC912D60x,quartz=4", preload);
    ASSERT_EQ(board.path().rfind("/dev/pts/", 0), 0u) << board.path();
    Open({board.path()});
    ChooseModel("HC912D60x");
    ASSERT_EQ(Utf8(frame->quartzCombo()->GetValue()), "Auto");

    ClickAndWait(frame->connectButton(), 3, "Połączony.");
    EXPECT_EQ(Utf8(frame->quartzCombo()->GetValue()), "4MHz");
    ASSERT_TRUE(frame->readButton()->IsEnabled());

    ClickAndWait(frame->readButton(), 0, "Przeczytano  1024  bajtów.");
    for (uint32_t i = 0; i < preload.size(); ++i)
        ASSERT_EQ(frame->GetCellByte(i), preload[i]) << i;
    EXPECT_TRUE(hook.shown().empty());
    EXPECT_EQ(board.Stop(), preload);
}

// "Zaznaczenie" ticked with a click: each write takes the words of the cells
// selected in the grid (a typed cell clicked, or a drag), in both write modes, and
// nothing else; the status bar counts the bytes of those words.
TEST_F(PtyWindow, SelectionOnlyWritesTheSelectedWordsAndSaysHowMany) {
    std::vector<uint8_t> expected = Pattern(1024);
    PtyBoard board("model=HC912D60x,quartz=8", expected);
    Open({board.path()});
    ChooseModel("HC912D60x");
    ClickAndWait(frame->connectButton(), 3, "Połączony.");
    ASSERT_TRUE(frame->selectionCheckBox()->IsEnabled());
    Click(frame->selectionCheckBox());
    ASSERT_TRUE(PumpUntil([&] { return frame->selectionCheckBox()->GetValue(); }));

    // The page was not read: its other cells are empty, so the second byte of each
    // word written keeps what the board holds.
    struct Case {
        const char* what;
        bool changedOnly;
        uint32_t first, last;  // the cells selected
        const char* value;
        const char* written;
    };
    const Case cases[] = {
        {"typed cell, full write", false, 0x16, 0x16, "22", "Zapisano  2  bajty."},
        {"drag, changed-only write", true, 0x40, 0x42, "A5", "Zapisano  4  bajtów."},
        {"typed cell, changed-only write", true, 0x81, 0x81, "5A", "Zapisano  2  bajty."},
        {"drag, full write", false, 0x93, 0x96, "3C", "Zapisano  6  bajtów."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetChangedOnly(c.changedOnly);
        if (c.first == c.last) {
            TypeIntoCell(c.first, c.value);
        } else {
            Drag(c.first, c.last);
            Fill(c.value, c.first);
        }
        for (uint32_t i = c.first; i <= c.last; ++i)
            expected[i] = uint8_t(std::stoul(c.value, nullptr, 16));
        ClickAndWait(frame->writeButton(), 0, c.written);
        if (c.changedOnly) {
            EXPECT_EQ(Status(1), "Bez zmian: 0");
        }
    }
    EXPECT_TRUE(hook.shown().empty());
    DestroyFrame(frame);
    frame = nullptr;
    EXPECT_EQ(board.Stop(), expected);
}

// An MC9S12 write erases the whole EEPROM first, so it writes whole windows: the
// check box is off and stays off. The connect's memory map box is shown for real,
// without an icon.
TEST_F(PtyWindow, McNineS12WritesTheWholeWindowWithACellSelected) {
    std::vector<uint8_t> eeprom = Pattern(2048);
    PtyBoard board("model=MC9S12DT128,quartz=8", eeprom);
    Open({board.path()});
    ChooseModel("MC9S12DT128");
    bool icon = true;
    std::string caption;
    hook.ShowMessageAndClose([&](wxDialog* box) {
        caption = Utf8(box->GetTitle());
        icon = false;
        for (wxWindow* child : box->GetChildren())
            icon = icon || dynamic_cast<wxStaticBitmap*>(child) != nullptr;
        ClickButtonOf(sim, box, wxID_OK);
    });
    ClickAndWait(frame->connectButton(), 3, "Połączony.");
    EXPECT_EQ(caption, "Parametry");
    EXPECT_FALSE(icon);
    EXPECT_FALSE(frame->selectionCheckBox()->GetValue());
    EXPECT_FALSE(frame->selectionCheckBox()->IsEnabled());
    Click(frame->selectionCheckBox());
    PumpUntil([] { return false; }, 20);
    EXPECT_FALSE(frame->selectionCheckBox()->GetValue());

    // A window of 64 bytes, read, one cell typed and selected: all 64 are written.
    ClickOn(sim, frame->countField());
    sim.Char(WXK_END);
    TypeKeys(sim, "\b\b\b\b64");
    ASSERT_TRUE(PumpUntil([&] { return Grid()->count() == 64; }));
    ClickAndWait(frame->readButton(), 0, "Przeczytano  64  bajtów.");
    TypeIntoCell(5, "77");
    ClickAndWait(frame->writeButton(), 0, "Zapisano  64  bajtów.");
    EXPECT_EQ(hook.shown().size(), 1u);
    DestroyFrame(frame);
    frame = nullptr;
    eeprom[5] = 0x77;
    const std::vector<uint8_t> after = board.Stop();
    ASSERT_EQ(after.size(), eeprom.size());
    EXPECT_EQ(std::vector<uint8_t>(after.begin(), after.begin() + 64),
              std::vector<uint8_t>(eeprom.begin(), eeprom.begin() + 64));
}

}  // namespace
}  // namespace hc12::testing
