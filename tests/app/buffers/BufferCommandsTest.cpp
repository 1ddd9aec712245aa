// The buffer commands in the real main window: pages, fields, load, save, fill and
// compare, with every message box and file dialog answered by the hook.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <wx/filedlg.h>
#include <wx/msgdlg.h>

#include "BufferGrid.h"
#include "BufferNotebook.h"
#include "FilteredTextField.h"
#include "GuiTestSupport.h"
#include "Ids.h"
#include "ImageFile.h"

namespace hc12::testing {
namespace {

namespace fs = std::filesystem;

class BufferCommands : public ::testing::Test {
  protected:
    void SetUp() override {
        frame = CreateMainFrame();
        dir = fs::temp_directory_path() /
              ("hc12-buffers-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override {
        hook.ExpectAllAnswersUsed();
        DestroyFrame(frame);
        fs::remove_all(dir);
    }

    void Command(int id) {
        wxCommandEvent e(wxEVT_MENU, id);
        e.SetEventObject(frame);
        frame->GetEventHandler()->ProcessEvent(e);
    }
    void Button(int id) {
        wxCommandEvent e(wxEVT_BUTTON, id);
        e.SetEventObject(frame);
        frame->GetEventHandler()->ProcessEvent(e);
    }
    void Combo(int id, int item) {
        wxCommandEvent e(wxEVT_COMBOBOX, id);
        e.SetInt(item);
        e.SetEventObject(frame);
        frame->GetEventHandler()->ProcessEvent(e);
    }
    BufferNotebook* Notebook() { return frame->notebook(); }
    BufferGrid* Grid() { return frame->notebook()->CurrentGrid(); }
    std::string PageName(size_t i) { return Utf8(Notebook()->GetPageText(i)); }
    std::vector<std::string> ComboEntries() {
        std::vector<std::string> out;
        for (unsigned i = 0; i < frame->compareCombo()->GetCount(); ++i)
            out.push_back(Utf8(frame->compareCombo()->GetString(i)));
        return out;
    }
    std::string Status(int field) { return frame->GetStatusText(field); }

    fs::path WriteFile(const std::string& name, size_t size, uint8_t seed = 0) {
        const fs::path p = dir / name;
        std::ofstream out(p, std::ios::binary);
        for (size_t i = 0; i < size; ++i)
            out.put(char(uint8_t(i * 7 + seed)));
        return p;
    }
    static std::vector<uint8_t> ReadFile(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    void Load(const fs::path& p, std::initializer_list<int> answers = {}) {
        hook.AnswerFile(p.string());
        for (int a : answers)
            hook.AnswerMessage(a);
        Command(ID_OPEN_FILE);
    }
    void Save(const fs::path& p) {
        hook.AnswerFile(p.string());
        Command(ID_SAVE_FILE);
    }

    DialogHook hook;
    MainFrame* frame = nullptr;
    fs::path dir;
};

TEST_F(BufferCommands, StartsWithOnePageAndFollowsTheModel) {
    ASSERT_EQ(Notebook()->GetPageCount(), 1u);
    EXPECT_EQ(PageName(0), "Buf0");
    EXPECT_EQ(Grid()->count(), 512u);
    EXPECT_EQ(Grid()->GetNumberRows(), 32);
    EXPECT_EQ(ComboEntries(), std::vector<std::string>{"Buf0"});
    EXPECT_FALSE(frame->compareCombo()->IsEnabled());
    // HC812A4: F000, 4096 bytes; the page takes the window, the rows stay.
    Combo(ID_MODEL, 2);
    EXPECT_EQ(Grid()->start(), 0xF000u);
    EXPECT_EQ(Grid()->count(), 4096u);
    EXPECT_EQ(Grid()->GetNumberRows(), 32);
    EXPECT_EQ(Grid()->GetRowLabelValue(1), "F010");
}

TEST_F(BufferCommands, NewAndCloseKeepTheCompareComboInStep) {
    Command(ID_NEW_BUFFER);
    EXPECT_EQ(PageName(1), "Buf1");
    EXPECT_TRUE(frame->compareCombo()->IsEnabled());
    EXPECT_EQ(frame->compareCombo()->GetSelection(), 1);
    frame->countField()->SetText("64");
    Notebook()->SetSelection(0);  // the frame's page-change handling
    EXPECT_EQ(frame->countField()->GetValue(), "512");
    Notebook()->SetSelection(1);
    EXPECT_EQ(frame->countField()->GetValue(), "64");
    Command(ID_CLOSE_BUFFER);
    EXPECT_EQ(ComboEntries(), std::vector<std::string>{"Buf0"});
    EXPECT_FALSE(frame->compareCombo()->IsEnabled());
    for (int i = 0; i < 7; ++i)
        Command(ID_NEW_BUFFER);
    EXPECT_EQ(Notebook()->GetPageCount(), 8u);
    hook.AnswerMessage(wxID_OK);
    Command(ID_NEW_BUFFER);
    EXPECT_EQ(hook.LastMessage().text, "Osiągnięto maksimum zakładek!");
    EXPECT_EQ(hook.LastMessage().caption, "Ostrzeżenie");
    EXPECT_EQ(Notebook()->GetPageCount(), 8u);
}

TEST_F(BufferCommands, LoadWithoutQuestionsRenamesAndReports) {
    Command(ID_NEW_BUFFER);
    Command(ID_NEW_BUFFER);
    const fs::path p = WriteFile("dane.bin", 512);
    Load(p);
    ASSERT_EQ(hook.shown().size(), 1u);
    EXPECT_EQ(hook.shown()[0].kind, ShownDialog::Kind::File);
    EXPECT_EQ(hook.shown()[0].text, "Wybierz plik.");
    EXPECT_EQ(PageName(2), "dane.bin");
    EXPECT_EQ(ComboEntries(), (std::vector<std::string>{"Buf0", "Buf1", "dane.bin"}));
    EXPECT_EQ(Grid()->GetNumberRows(), 32);
    EXPECT_EQ(Grid()->GetCellValue(0, 1), "07");
    EXPECT_EQ(Grid()->GetCellValue(31, 15), wxString::Format("%02X", unsigned(uint8_t(511 * 7))));
    EXPECT_EQ(Status(0), "Wczytano 512  bajtów.");
    // A shorter file shrinks the page; no question either.
    Load(WriteFile("krotki.bin", 100));
    EXPECT_EQ(Grid()->GetNumberRows(), 7);
    EXPECT_EQ(frame->countField()->GetValue(), "100");
    EXPECT_EQ(Status(0), "Wczytano 100  bajtów.");
}

TEST_F(BufferCommands, LoadAsksAboutLargerFiles) {
    Load(WriteFile("a.bin", 600), {wxID_YES});
    EXPECT_EQ(hook.LastMessage().text,
              "Plik jest większy niż wczytywana pamięć! .\nCzy otworzyć mimo to?");
    EXPECT_EQ(hook.LastMessage().caption, "Ostrzeżenie");
    EXPECT_TRUE(hook.LastMessage().style & wxYES_NO);
    EXPECT_EQ(Grid()->GetNumberRows(), 38);
    EXPECT_EQ(Grid()->count(), 600u);

    Grid()->model().SetCellByte(0, 0xAA);
    const fs::path big = WriteFile("big.bin", 70000);
    Load(big, {wxID_YES, wxID_NO});
    EXPECT_EQ(hook.LastMessage().text,
              "Plik jest bardzo duży i wczytywanie moze zajac duzo czasu.Czy kontynuować?");
    EXPECT_EQ(Grid()->count(), 600u);
    EXPECT_EQ(Grid()->model().GetCellByte(0), 0xAA);
    Load(big, {wxID_NO});
    EXPECT_EQ(Grid()->count(), 600u);
    Load(big, {wxID_YES, wxID_YES});
    EXPECT_EQ(Grid()->count(), 70000u);
    EXPECT_EQ(Status(0), "Wczytano 68.35  KB");
    EXPECT_EQ(frame->gauge(), nullptr);
    // Larger count: no question at all.
    frame->countField()->SetText("100000");
    Load(big);
    EXPECT_EQ(Grid()->count(), 70000u);
}

TEST_F(BufferCommands, LoadEdgeFiles) {
    const fs::path empty = WriteFile("empty.bin", 0);
    Load(empty);
    EXPECT_EQ(Grid()->GetNumberRows(), 1);
    EXPECT_EQ(Grid()->count(), 0u);
    EXPECT_EQ(Status(0), "Wczytano 0  bajtów.");
    {
        std::ofstream out(dir / "ff.bin", std::ios::binary);
        out.put(0).put(char(0x7F)).put(char(0xFF));
    }
    Load(dir / "ff.bin", {wxID_YES});  // longer than the count 0 the empty file left
    EXPECT_EQ(Grid()->GetCellValue(0, 2), "FF");
    EXPECT_EQ(Grid()->GetCellValue(0, 18), ".");
    EXPECT_EQ(Status(0), "Wczytano 3  bajty.");
    // Cancelled dialog: nothing.
    hook.AnswerFile("", wxID_CANCEL);
    Command(ID_OPEN_FILE);
    EXPECT_EQ(Grid()->count(), 3u);
}

TEST_F(BufferCommands, UnreadableFilesLeaveThePageAsItWas) {
    Grid()->model().SetCellByte(5, 0x42);
    const auto expectRefused = [&](const fs::path& p) {
        hook.Clear();
        Load(p, {wxID_OK});
        EXPECT_EQ(hook.LastMessage().text, "Nie moge otworzyc pliku") << p;
        EXPECT_EQ(hook.LastMessage().caption, "Błąd");
        EXPECT_TRUE(hook.LastMessage().style & wxICON_ERROR);
        EXPECT_EQ(Grid()->count(), 512u);
        EXPECT_EQ(Grid()->model().GetCellByte(5), 0x42);
        EXPECT_EQ(PageName(0), "Buf0");
    };
    expectRefused(dir / "missing.bin");
    // A directory opens but cannot be read.
    fs::create_directory(dir / "katalog");
    frame->countField()->SetText("512");
    expectRefused(dir / "katalog");
    // Longer than a 32-bit signed length: refused, not cut (a sparse file).
    const fs::path huge = dir / "huge.bin";
    { std::ofstream(huge, std::ios::binary).put(0); }
    fs::resize_file(huge, 0x80000000ull);
    expectRefused(huge);
}

TEST_F(BufferCommands, SaveWritesCountBytesAndReplacesOldFiles) {
    BufferGrid* g = Grid();
    for (uint8_t i = 0; i < 6; ++i)
        g->model().SetCellByte(i, uint8_t(i + 1));
    g->SetCellValue(0, 3, "123");  // typed: saved as its low byte
    g->SetCellValue(0, 4, "");     // emptied: saved as 00
    frame->countField()->SetText("5");
    const fs::path p = dir / "out.bin";
    { std::ofstream(p, std::ios::binary) << "old contents that are longer"; }
    Save(p);
    ASSERT_EQ(hook.shown().size(), 1u);
    EXPECT_EQ(hook.shown()[0].text, "Wybierz plik.");
    EXPECT_TRUE(hook.shown()[0].style & wxFD_SAVE);
    EXPECT_TRUE(hook.shown()[0].style & wxFD_OVERWRITE_PROMPT);
    EXPECT_EQ(ReadFile(p), (std::vector<uint8_t>{1, 2, 3, 0x23, 0}));
    // Count beyond the grid: the missing cells are zeros.
    frame->countField()->SetText("520");
    Save(p);
    const auto bytes = ReadFile(p);
    ASSERT_EQ(bytes.size(), 520u);
    EXPECT_EQ(bytes[5], 6);
    EXPECT_EQ(bytes[519], 0);
    // Count 0: an empty file.
    frame->countField()->SetText("0");
    Save(p);
    EXPECT_TRUE(fs::exists(p));
    EXPECT_EQ(fs::file_size(p), 0u);
    EXPECT_EQ(frame->gauge(), nullptr);
}

TEST_F(BufferCommands, SaveThatCannotOpenTellsAndChangesNothing) {
    hook.AnswerFile((dir / "no-such-folder" / "x.bin").string());
    hook.AnswerMessage(wxID_OK);
    Command(ID_SAVE_FILE);
    EXPECT_EQ(hook.LastMessage().text, "Nie moge otworzyc pliku");
    EXPECT_EQ(hook.LastMessage().caption, "Błąd");
    EXPECT_FALSE(fs::exists(dir / "no-such-folder"));
    hook.AnswerFile("", wxID_CANCEL);
    Command(ID_SAVE_FILE);
}

TEST_F(BufferCommands, AShortWriteLeavesTheOldFileAndTells) {
    const fs::path p = dir / "old.bin";
    { std::ofstream(p, std::ios::binary) << "old"; }
    // Files may grow to 100 bytes only: the 512-byte image cannot be written whole.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 100;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    hook.AnswerFile(p.string());
    hook.AnswerMessage(wxID_OK);
    Command(ID_SAVE_FILE);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(hook.LastMessage().text, "Nie moge zapisac pliku");
    EXPECT_EQ(hook.LastMessage().caption, "Błąd");
    EXPECT_EQ(ReadFile(p), (std::vector<uint8_t>{'o', 'l', 'd'}));
    // No temporary file is left beside it.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

TEST_F(BufferCommands, OnlyRegularFilesAreLoadedOrReplacedAndLinksAreWrittenThrough) {
    alarm(60);  // a FIFO that held the open would hang here
    Grid()->model().SetCellByte(5, 0x42);
    const fs::path fifo = dir / "fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const fs::path& p : {fifo, fs::path("/dev/zero")}) {
        SCOPED_TRACE(p.string());
        Load(p, {wxID_OK});
        EXPECT_EQ(hook.LastMessage().text, "Nie moge otworzyc pliku");
        EXPECT_EQ(Grid()->count(), 512u);
        EXPECT_EQ(Grid()->model().GetCellByte(5), 0x42);
    }
    hook.AnswerFile(fifo.string());
    hook.AnswerMessage(wxID_OK);
    Command(ID_SAVE_FILE);
    EXPECT_EQ(hook.LastMessage().text, "Nie moge otworzyc pliku");
    EXPECT_TRUE(fs::is_fifo(fifo));
    alarm(0);

    fs::create_directory(dir / "images");
    const fs::path real = dir / "images" / "real.bin";
    { std::ofstream(real, std::ios::binary) << "old"; }
    ASSERT_EQ(chmod(real.c_str(), 0640), 0);
    fs::create_symlink("images/real.bin", dir / "link.bin");
    frame->countField()->SetText("8");
    Save(dir / "link.bin");
    EXPECT_TRUE(fs::is_symlink(dir / "link.bin"));
    EXPECT_EQ(ReadFile(real), (std::vector<uint8_t>{0, 0, 0, 0, 0, 0x42, 0, 0}));
    struct stat st {};
    ASSERT_EQ(stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "images"), fs::directory_iterator()), 1);
}

// An S-record or HEX file of `bytes` at `address`.
std::string AddressedText(ImageFormat format, uint32_t address, std::vector<uint8_t> bytes) {
    AddressedImage image;
    for (uint8_t b : bytes)
        image.bytes.push_back({address++, b});
    const std::vector<uint8_t> text = EncodeAddressedImage(image, format, "x");
    return std::string(text.begin(), text.end());
}

TEST_F(BufferCommands, AddressedFilesLandAtTheirAddressesOrAskToMoveTheWindow) {
    frame->startField()->SetText("0C00");
    frame->countField()->SetText("64");
    const auto put = [&](const std::string& name, const std::string& text) {
        const fs::path p = dir / name;
        std::ofstream(p, std::ios::binary) << text;
        return p;
    };
    // "All files": the extension decides; the type list names the format itself.
    const fs::path s19 = put("dane.s19", AddressedText(ImageFormat::SRecord, 0x0C10, {1, 2, 3, 4}));
    const fs::path hex = put("dane.bin", AddressedText(ImageFormat::IntelHex, 0x0C3E, {5, 6}));
    hook.AnswerFile(s19.string(), wxID_OK, 3);
    Command(ID_OPEN_FILE);
    EXPECT_EQ(hook.shown()[0].wildcard.rfind("Obraz binarny (*.*)|*|", 0), 0u)
        << "raw images stay the first type";
    EXPECT_EQ(PageName(0), "dane.s19");
    EXPECT_EQ(Grid()->count(), 64u);
    EXPECT_EQ(Grid()->start(), 0x0C00u);
    EXPECT_EQ(Grid()->GetNumberRows(), 4);
    EXPECT_EQ(Grid()->GetCellValue(1, 0), "01");
    EXPECT_EQ(Grid()->GetCellValue(1, 3), "04");
    EXPECT_TRUE(Grid()->model().CellEmpty(0)) << "what the file does not give stays empty";
    EXPECT_EQ(Status(0), "Wczytano 4  bajtów.");
    hook.AnswerFile(hex.string(), wxID_OK, 2);
    Command(ID_OPEN_FILE);
    EXPECT_EQ(Grid()->GetCellValue(3, 14), "05");
    EXPECT_TRUE(Grid()->model().CellEmpty(0x10));
    // The first type reads any file as raw bytes.
    hook.AnswerFile(s19.string(), wxID_OK, 0);
    Command(ID_OPEN_FILE);
    EXPECT_EQ(Grid()->count(), fs::file_size(s19)) << Status(0);
    EXPECT_EQ(Grid()->GetCellValue(0, 0), "53");  // 'S'

    // Outside the window: No changes nothing, Yes moves the window to the file.
    frame->countField()->SetText("64");
    Load(put("dane.bin", "ignored"));  // a raw page again
    Grid()->model().SetCellByte(0, 0xAA);
    const fs::path far = put("far.s19", AddressedText(ImageFormat::SRecord, 0x0D01, {7, 8, 9}));
    hook.AnswerFile(far.string(), wxID_OK, 1);
    hook.AnswerMessage(wxID_NO);
    Command(ID_OPEN_FILE);
    EXPECT_EQ(hook.LastMessage().text,
              "Adresy w pliku (0D01 - 0D03) nie mieszczą się w oknie bufora (0C00 - 0C06).\n"
              "Czy przesunąć okno na zakres pliku?");
    EXPECT_EQ(hook.LastMessage().caption, "Ostrzeżenie");
    EXPECT_TRUE(hook.LastMessage().style & wxYES_NO);
    EXPECT_EQ(Grid()->model().GetCellByte(0), 0xAA);
    EXPECT_EQ(PageName(0), "dane.bin");
    hook.AnswerFile(far.string(), wxID_OK, 1);
    hook.AnswerMessage(wxID_YES);
    Command(ID_OPEN_FILE);
    EXPECT_EQ(frame->startField()->GetValue(), "0D00");
    EXPECT_EQ(frame->countField()->GetValue(), "4");
    EXPECT_EQ(Grid()->start(), 0x0D00u);
    EXPECT_EQ(Grid()->count(), 4u);
    EXPECT_TRUE(Grid()->model().CellEmpty(0));
    EXPECT_EQ(Grid()->GetCellValue(0, 1), "07");
    EXPECT_EQ(Grid()->GetRowLabelValue(0), "0D00");
}

TEST_F(BufferCommands, BrokenAddressedFilesLeaveThePageAsItWas) {
    Grid()->model().SetCellByte(5, 0x42);
    struct Case {
        const char* text;
        const char* message;
    };
    const Case cases[] = {
        {"S00600004844521B\nS1050C100001EE\n", "Niepoprawny plik, linia 2: zła suma kontrolna"},
        {"S1040C1001DE\nS1040C1002DD\n",
         "Niepoprawny plik, linia 2: adres 0C10 ma już inną wartość"},
        {"S20501000001F8\n",
         "Adresy w pliku (10000 - 10000) nie mieszczą się w żadnym oknie "
         "bufora!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const fs::path p = dir / "bad.s19";
        std::ofstream(p, std::ios::binary) << c.text;
        hook.AnswerFile(p.string(), wxID_OK, 3);
        hook.AnswerMessage(wxID_OK);
        Command(ID_OPEN_FILE);
        EXPECT_EQ(hook.LastMessage().text, c.message);
        EXPECT_EQ(hook.LastMessage().caption, "Błąd");
        EXPECT_TRUE(hook.LastMessage().style & wxICON_ERROR);
        EXPECT_EQ(Grid()->count(), 512u);
        EXPECT_EQ(Grid()->model().GetCellByte(5), 0x42);
        EXPECT_EQ(PageName(0), "Buf0");
    }
}

TEST_F(BufferCommands, SaveWritesTheChosenFormatWithItsGaps) {
    frame->startField()->SetText("0C00");
    frame->countField()->SetText("16");
    for (uint8_t i : {0, 1, 2, 10})
        Grid()->model().SetCellByte(i, uint8_t(0xA0 + i));
    Grid()->model().SetCellByte(20, 0xEE);  // beyond the count: not saved
    struct Case {
        const char* name;
        int type;
        ImageFormat format;
    };
    const Case cases[] = {
        {"out.s19", 3, ImageFormat::SRecord},
        {"out.bin", 2, ImageFormat::IntelHex},
        {"out.hex", 0, ImageFormat::Raw},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path p = dir / c.name;
        hook.AnswerFile(p.string(), wxID_OK, c.type);
        Command(ID_SAVE_FILE);
        if (c.format == ImageFormat::Raw) {
            EXPECT_EQ(ReadFile(p).size(), 16u);
            continue;
        }
        AddressedImage image;
        std::string reason;
        ImageError error;
        ASSERT_EQ(int(ReadAddressedImage(p, c.format, &image, &reason, &error)),
                  int(ImageReadResult::Ok))
            << ImageErrorText(error);
        EXPECT_EQ(image.bytes,
                  (std::vector<ImageByte>{
                      {0x0C00, 0xA0}, {0x0C01, 0xA1}, {0x0C02, 0xA2}, {0x0C0A, 0xAA}}));
        if (c.format == ImageFormat::SRecord) {
            EXPECT_EQ(image.header, "out.s19");
        }
    }
}

TEST_F(BufferCommands, SaveLoadRoundTrip) {
    const fs::path in = WriteFile("in.bin", 1000, 3);
    Load(in, {wxID_YES});
    const fs::path out = dir / "out.bin";
    Save(out);
    EXPECT_EQ(ReadFile(out), ReadFile(in));
}

TEST_F(BufferCommands, FillRectangleAndCharacterArea) {
    BufferGrid* g = Grid();
    g->SelectBlock(1, 2, 3, 5);
    frame->fillValueField()->SetText("41");
    Button(ID_FILL);
    for (uint32_t i = 0; i < 80; ++i) {
        const uint32_t r = i / 16, c = i % 16;
        const bool inside = r >= 1 && r <= 3 && c >= 2 && c <= 5;
        EXPECT_EQ(g->model().CellEmpty(i), !inside) << i;
    }
    EXPECT_EQ(g->GetCellValue(2, 3), "41");
    EXPECT_EQ(g->GetCellValue(2, 20), "A");
    // A selection in the character area fills through its mirror; an empty value is 00.
    g->SelectBlock(10, 30, 11, 32);
    frame->fillValueField()->SetText("");
    Button(ID_FILL);
    EXPECT_EQ(g->GetCellValue(10, 13), "00");
    EXPECT_EQ(g->GetCellValue(11, 15), "00");
    EXPECT_EQ(g->GetCellValue(11, 32), ".");
    EXPECT_TRUE(g->model().CellEmpty(10 * 16 + 12));
    EXPECT_EQ(g->GetCellValue(2, 3), "41");
}

class CompareCommand : public BufferCommands {
  protected:
    // Page A (Buf0) and B (Buf1) with `differences` differing bytes among 40.
    void MakePages(int differences) {
        for (uint32_t i = 0; i < 40; ++i)
            Grid()->model().SetCellByte(i, uint8_t(i));
        Command(ID_NEW_BUFFER);
        for (uint32_t i = 0; i < 40; ++i)
            Grid()->model().SetCellByte(i, uint8_t(int(i) < differences ? i + 100 : i));
        Notebook()->SetSelection(0);
    }
};

TEST_F(CompareCommand, DifferencesAndTheirPluralForms) {
    const std::pair<int, const char*> cases[] = {{1, "Razem:  1  różnica."},
                                                 {4, "Razem:  4  różnice."},
                                                 {5, "Razem:  5  różnic."},
                                                 {22, "Razem:  22  różnic."}};
    for (auto [n, summary] : cases) {
        SCOPED_TRACE(n);
        MakePages(n);
        hook.Clear();
        hook.AnswerMessage(wxID_OK);
        const std::string name = "\"" + PageName(0) + "\" i \"" + PageName(1) + "\"";
        Combo(ID_COMPARE, 1);
        ASSERT_EQ(Notebook()->GetPageCount(), 3u);
        EXPECT_EQ(Notebook()->GetSelection(), 2);
        EXPECT_EQ(PageName(2), name);
        EXPECT_EQ(hook.LastMessage().text, summary);
        EXPECT_EQ(hook.LastMessage().caption, "Różnice");
        EXPECT_EQ(Status(1), summary);
        BufferGrid* r = Grid();
        EXPECT_EQ(r->GetCellValue(0, 0), "00");
        EXPECT_EQ(r->GetCellTextColour(0, 0), *wxRED);
        EXPECT_EQ(r->GetCellTextColour(0, 17), *wxBLACK);
        EXPECT_EQ(r->GetCellTextColour(2, 7), *wxBLACK);  // byte 39
        EXPECT_EQ(r->model().IsRed(uint32_t(n - 1)), true);
        EXPECT_EQ(r->model().IsRed(uint32_t(n)), false);
        EXPECT_EQ(ComboEntries().back(), name);
        // Back to one fresh page for the next case.
        while (Notebook()->GetPageCount() > 1)
            Command(ID_CLOSE_BUFFER);
        Command(ID_CLOSE_BUFFER);
    }
}

TEST_F(CompareCommand, IdenticalPagesCloseTheResult) {
    MakePages(0);
    hook.AnswerMessage(wxID_OK);
    Combo(ID_COMPARE, 1);
    EXPECT_EQ(hook.LastMessage().text, "Bufory są identyczne!");
    EXPECT_EQ(hook.LastMessage().caption, "Różnice");
    EXPECT_EQ(Notebook()->GetPageCount(), 2u);
    EXPECT_EQ(ComboEntries(), (std::vector<std::string>{"Buf0", "Buf1"}));
    EXPECT_EQ(Status(1), "");
    // A page against itself.
    hook.AnswerMessage(wxID_OK);
    Combo(ID_COMPARE, 0);
    EXPECT_EQ(hook.LastMessage().text, "Bufory są identyczne!");
    EXPECT_EQ(Notebook()->GetPageCount(), 2u);
}

TEST_F(CompareCommand, ResultHoldsEveryComparedCell) {
    // B's count lowered below its grid: the result still has a cell for each of
    // the 32 compared indexes.
    Command(ID_NEW_BUFFER);
    Notebook()->SetSelection(0);
    frame->countField()->SetText("32");
    Command(ID_NEW_BUFFER);  // Buf2: 32 bytes, 2 rows
    for (uint32_t i = 0; i < 32; ++i)
        Grid()->model().SetCellByte(i, 1);
    Notebook()->SetSelection(1);
    frame->countField()->SetText("16");
    Notebook()->SetSelection(2);
    hook.AnswerMessage(wxID_OK);
    Combo(ID_COMPARE, 1);  // A = Buf2 (2 rows), B = Buf1 (32 rows, count 16)
    EXPECT_EQ(hook.LastMessage().text, "Razem:  32  różnic.");
    BufferGrid* r = Grid();
    EXPECT_GE(r->model().capacity(), 32u);
    EXPECT_EQ(r->count(), 16u);
    EXPECT_EQ(r->GetCellValue(1, 15), "01");
}

TEST_F(CompareCommand, PageLimitStopsBeforeComparing) {
    for (int i = 0; i < 7; ++i)
        Command(ID_NEW_BUFFER);
    Notebook()->SetSelection(0);
    hook.AnswerMessage(wxID_OK);
    Combo(ID_COMPARE, 3);
    EXPECT_EQ(hook.LastMessage().text, "Osiągnięto maksimum zakładek!");
    EXPECT_EQ(Notebook()->GetSelection(), 3);
    EXPECT_EQ(Grid(), Notebook()->GridAt(3));
    EXPECT_EQ(Notebook()->GetPageCount(), 8u);
}

TEST_F(BufferCommands, TargetViewPageAccessStaysInsideThePage) {
    TargetView& view = *frame;
    frame->countField()->SetText("20");
    view.BuildPage(20);
    EXPECT_EQ(view.PageCount(), 20u);
    EXPECT_EQ(Grid()->GetNumberRows(), 2);
    view.SetCellByte(3, 0x41);
    view.MarkCellRed(3);
    view.SelectCell(3, false);
    view.SelectCell(20, true);
    EXPECT_TRUE(view.CellSelected(3));
    EXPECT_TRUE(view.CellSelected(20));
    EXPECT_TRUE(Grid()->IsInSelection(0, 20));
    // Beyond the 32 cells: empty, no mark, no selection.
    view.SetCellByte(40, 1);
    view.MarkCellRed(40);
    view.SelectCell(40, true);
    EXPECT_TRUE(view.CellEmpty(40));
    EXPECT_EQ(view.GetCellByte(40), 0);
    EXPECT_FALSE(view.CellSelected(40));
    EXPECT_TRUE(view.CellSelected(3));
    view.RepaintGrid();
    EXPECT_EQ(Grid()->GetCellValue(0, 3), "41");
    EXPECT_EQ(Grid()->GetCellTextColour(0, 3), *wxRED);
    view.SetStartField("0C00");
    EXPECT_EQ(view.PageStart(), 0xC00u);
}

TEST_F(BufferCommands, RepaintDuringAnOperationLeavesCommandsWaiting) {
    // A command that arrives while an operation repaints must not run in the middle.
    wxCommandEvent newBuffer(wxEVT_MENU, ID_NEW_BUFFER);
    wxPostEvent(frame, newBuffer);
    frame->SetCellByte(0, 0x12);
    frame->RepaintGrid();
    EXPECT_EQ(Notebook()->GetPageCount(), 1u);
    EXPECT_EQ(Grid()->GetCellValue(0, 0), "12");
    Pump();
    EXPECT_EQ(Notebook()->GetPageCount(), 2u);
}

}  // namespace
}  // namespace hc12::testing
