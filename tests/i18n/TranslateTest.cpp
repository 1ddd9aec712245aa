// Tr, TrN and Format with and without a catalog, and the texts built from parts.
#include <gtest/gtest.h>

#include <functional>

#include "AddressedImage.h"
#include "Catalog.h"
#include "Compare.h"
#include "FileTexts.h"
#include "ImageFormat.h"
#include "Language.h"
#include "TestCatalogs.h"
#include "Translate.h"

namespace hc12 {
namespace {

TEST(Format, FillsPlaceholdersInOrderOrByNumber) {
    const std::string a[] = {"A", "B"};
    struct Case {
        const char* pattern;
        const char* filled;
    };
    const Case cases[] = {
        {"%s i %s", "A i B"},
        {"%2$s, %1$s, %2$s", "B, A, B"},
        {"100%% %s", "100% A"},
        {"50% off, %d, %", "50% off, %d, %"},  // not ours: left as it stands
        {"%s %s %s", "A B "},                  // a missing argument is empty
        {"%3$s|%0$s|%1$", "|%0$s|%1$"},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatText(c.pattern, a, 2), c.filled) << c.pattern;
    EXPECT_EQ(Format("%s, %s, %s", 12u, -3, std::string("x")), "12, -3, x");
    EXPECT_EQ(Format("Bez zmian"), "Bez zmian");
}

constexpr CountedText kUpTo4 = N_("%s bajt.", "%s bajty.", "%s bajtów.", 4);
constexpr CountedText kUpTo3 = N_("%s bajt.", "%s bajty.", "%s bajtów.", 3);

TEST(Translate, WithoutACatalogTheTextsAreTheProgramsOwn) {
    const ScopedCatalog polish(nullptr);
    const char* text = "Błąd";
    EXPECT_EQ(Tr(text), text);  // the very same text, no copy
    // The program's own Polish rule: "few" for 2 to 4 in some texts, 2 to 3 in others.
    const std::pair<uint64_t, const char*> upTo4[] = {
        {0, "%s bajtów."}, {1, "%s bajt."},    {2, "%s bajty."},    {4, "%s bajty."},
        {5, "%s bajtów."}, {22, "%s bajtów."}, {1024, "%s bajtów."}};
    for (const auto& [n, form] : upTo4)
        EXPECT_STREQ(TrN(kUpTo4, n), form) << n;
    EXPECT_STREQ(TrN(kUpTo3, 3), "%s bajty.");
    EXPECT_STREQ(TrN(kUpTo3, 4), "%s bajtów.");
    EXPECT_EQ(LanguageInUse(), "pl");
}

TEST(Translate, ACatalogTranslatesAndPicksItsOwnPluralForm) {
    const std::string po = testing::PoHeader("en") +
                           "msgid \"Błąd\"\nmsgstr \"Error\"\n\n"
                           "msgid \"%s bajt.\"\nmsgid_plural \"%s bajtów.\"\n"
                           "msgstr[0] \"%s byte.\"\nmsgstr[1] \"%s bytes.\"\n";
    std::shared_ptr<const Catalog> catalog(Catalog::Parse(testing::CompileCatalog(po), nullptr));
    ASSERT_TRUE(catalog);
    {
        const ScopedCatalog english(catalog);
        EXPECT_STREQ(Tr("Błąd"), "Error");
        EXPECT_STREQ(Tr("Ostrzeżenie"), "Ostrzeżenie");  // not in the catalog
        EXPECT_STREQ(TrN(kUpTo3, 1), "%s byte.");
        EXPECT_STREQ(TrN(kUpTo3, 3), "%s bytes.");
        EXPECT_STREQ(TrN(kUpTo3, 0), "%s bytes.");
        EXPECT_EQ(LanguageInUse(), "en");
        {
            const ScopedCatalog polish(nullptr);
            EXPECT_STREQ(Tr("Błąd"), "Błąd");
        }
        EXPECT_STREQ(Tr("Błąd"), "Error");
    }
    EXPECT_STREQ(Tr("Błąd"), "Błąd");
}

// Texts built from parts: the Polish exactly as the program always wrote them, the
// English whole sentences with English plurals.
TEST(Translate, TextsBuiltFromPartsInBothLanguages) {
    AddressedImage image;
    image.bytes = {{0x0D01, 1}, {0x0D03, 3}};
    struct Case {
        std::function<std::string()> text;
        const char* polish;
        const char* english;
    };
    const Case cases[] = {
        {[] { return CompareSummary(1); }, "Razem:  1  różnica.", "Total: 1 difference."},
        {[] { return CompareSummary(3); }, "Razem:  3  różnice.", "Total: 3 differences."},
        {[] { return CompareSummary(5); }, "Razem:  5  różnic.", "Total: 5 differences."},
        {[] { return CompareResultName("Buf0", "a.bin"); }, "\"Buf0\" i \"a.bin\"",
         "\"Buf0\" and \"a.bin\""},
        {[] { return LoadedStatusText(1); }, "Wczytano 1  bajt.", "Loaded 1 byte."},
        {[] { return LoadedStatusText(3); }, "Wczytano 3  bajty.", "Loaded 3 bytes."},
        {[] { return LoadedStatusText(4); }, "Wczytano 4  bajtów.", "Loaded 4 bytes."},
        {[] { return LoadedStatusText(1536); }, "Wczytano 1.5  KB", "Loaded 1.5 KB"},
        {[&] { return MoveWindowQuestion(image, 0x0C00, 64); },
         "Adresy w pliku (0D01 - 0D03) nie mieszczą się w oknie bufora (0C00 - 0C3F).\n"
         "Czy przesunąć okno na zakres pliku?",
         "The addresses in the file (0D01 - 0D03) do not fit the buffer's window (0C00 - "
         "0C3F).\nMove the window to the file's range?"},
        {[&] { return MoveWindowQuestion(image, 0x0C00, 0); },
         "Adresy w pliku (0D01 - 0D03) nie mieszczą się w oknie bufora (puste).\n"
         "Czy przesunąć okno na zakres pliku?",
         "The addresses in the file (0D01 - 0D03) do not fit the buffer's window (empty).\n"
         "Move the window to the file's range?"},
        {[] {
             return ImageErrorText({12, ImageFault::BadChecksum});
         },
         "Niepoprawny plik, linia 12: zła suma kontrolna", "Invalid file, line 12: bad checksum"},
        {[] {
             return ImageErrorText({3, ImageFault::Conflict, 0x0C10});
         },
         "Niepoprawny plik, linia 3: adres 0C10 ma już inną wartość",
         "Invalid file, line 3: address 0C10 already has another value"},
        {[] { return ImageFileTypes(); },
         "Obraz binarny (*.*)|*|S-rekordy Motoroli (*.s19;*.s28;*.s37;*.srec;*.mot)|"
         "*.s19;*.s28;*.s37;*.srec;*.mot;*.S19;*.S28;*.S37;*.SREC;*.MOT|"
         "Intel HEX (*.hex;*.ihx)|*.hex;*.ihx;*.HEX;*.IHX|Wszystkie pliki (*.*)|*",
         "Raw binary image (*.*)|*|Motorola S-records (*.s19;*.s28;*.s37;*.srec;*.mot)|"
         "*.s19;*.s28;*.s37;*.srec;*.mot;*.S19;*.S28;*.S37;*.SREC;*.MOT|"
         "Intel HEX (*.hex;*.ihx)|*.hex;*.ihx;*.HEX;*.IHX|All files (*.*)|*"},
    };
    std::shared_ptr<const Catalog> english = FindCatalog("en", {});
    ASSERT_TRUE(english);
    for (const Case& c : cases) {
        {
            const ScopedCatalog polish(nullptr);
            EXPECT_EQ(c.text(), c.polish);
        }
        const ScopedCatalog inEnglish(english);
        EXPECT_EQ(c.text(), c.english);
    }
}

}  // namespace
}  // namespace hc12
