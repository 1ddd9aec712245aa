// The .mo reader against msgfmt's own output, and against files that are no catalog.
#include <gtest/gtest.h>

#include <random>

#include "Catalog.h"
#include "TestCatalogs.h"

namespace hc12 {
namespace {

using testing::CompileCatalog;
using testing::PoHeader;

// A language with three forms, Polish-like, to see the catalog's rule at work.
const std::string kThreeForms =
    "nplurals=3; plural=(n==1 ? 0 : n%10>=2 && n%10<=4 && (n%100<10 || n%100>=20) ? 1 : 2);";

std::string SamplePo() {
    return PoHeader("xx", kThreeForms) +
           "msgid \"Błąd\"\nmsgstr \"Fehler ✓\"\n\n"
           "msgid \"Wybierz plik.\"\nmsgstr \"\"\n\n"  // untranslated
           "#, fuzzy\nmsgid \"Reset.\"\nmsgstr \"Zurück.\"\n\n"
           "msgid \"Przeczytano  %s  bajt.\"\nmsgid_plural \"Przeczytano  %s  bajtów.\"\n"
           "msgstr[0] \"%s Byte gelesen.\"\nmsgstr[1] \"%s Bytes (wenige) gelesen.\"\n"
           "msgstr[2] \"%s Bytes gelesen.\"\n\n"
           "msgid \"Adresy\\nw pliku\"\nmsgstr \"Adressen\\nin der Datei\"\n";
}

TEST(Catalog, ReadsWhatMsgfmtWritesInEitherByteOrder) {
    for (const char* endianness : {"little", "big"}) {
        SCOPED_TRACE(endianness);
        std::string error;
        const std::unique_ptr<Catalog> catalog =
            Catalog::Parse(CompileCatalog(SamplePo(), endianness), &error);
        ASSERT_TRUE(catalog) << error;
        EXPECT_EQ(catalog->HeaderField("Language"), "xx");
        EXPECT_EQ(catalog->plural().count(), 3);
        EXPECT_STREQ(catalog->Find("Błąd"), "Fehler ✓");
        EXPECT_STREQ(catalog->Find("Adresy\nw pliku"), "Adressen\nin der Datei");
        // msgfmt leaves out what is untranslated or fuzzy: the program's own text then.
        EXPECT_EQ(catalog->Find("Wybierz plik."), nullptr);
        EXPECT_EQ(catalog->Find("Reset."), nullptr);
        EXPECT_EQ(catalog->Find("Nie ma"), nullptr);
        const std::pair<uint64_t, const char*> forms[] = {{1, "%s Byte gelesen."},
                                                          {3, "%s Bytes (wenige) gelesen."},
                                                          {5, "%s Bytes gelesen."},
                                                          {22, "%s Bytes (wenige) gelesen."}};
        for (const auto& [n, text] : forms)
            EXPECT_STREQ(catalog->FindPlural("Przeczytano  %s  bajt.", n), text) << n;
        // A counted text asked for without a number: its first form, as gettext gives.
        EXPECT_STREQ(catalog->Find("Przeczytano  %s  bajt."), "%s Byte gelesen.");
        ASSERT_EQ(catalog->entries().size(), 3u);
        for (const Catalog::Entry& entry : catalog->entries())
            EXPECT_EQ(entry.idPlural,
                      entry.id == "Przeczytano  %s  bajt." ? "Przeczytano  %s  bajtów." : "");
    }
}

TEST(Catalog, TheBuiltCatalogOfPoIsReadable) {
    std::string error;
    const std::unique_ptr<Catalog> catalog = Catalog::Load(HC12_EN_MO, &error);
    ASSERT_TRUE(catalog) << error;
    EXPECT_EQ(catalog->HeaderField("Language"), "en");
    EXPECT_STREQ(catalog->Find("Błąd"), "Error");
}

// A file that is no catalog, or a catalog cut or damaged anywhere, is refused or read
// without a crash; the reader never reads outside the bytes.
TEST(Catalog, DamagedFilesAreRefused) {
    const std::string good = CompileCatalog(SamplePo());
    ASSERT_TRUE(Catalog::Parse(good, nullptr));

    // Cut anywhere: every text ends at the very end of a msgfmt file.
    for (size_t size = 0; size < good.size(); ++size)
        EXPECT_FALSE(Catalog::Parse(good.substr(0, size), nullptr)) << size;

    auto patched = [&good](size_t at, uint32_t value) {
        std::string bytes = good;
        for (int i = 0; i < 4; ++i)
            bytes[at + size_t(i)] = char((value >> (8 * i)) & 0xFF);
        return bytes;
    };
    const uint32_t originals = uint8_t(good[12]) | uint32_t(uint8_t(good[13])) << 8;
    struct Case {
        const char* what;
        std::string bytes;
    };
    const Case cases[] = {
        {"no magic number", patched(0, 0x12345678)},
        {"a format of the future", patched(4, 0x00020000)},
        {"more texts than the file holds", patched(8, 0x40000000)},
        {"tables outside the file", patched(12, 0xFFFFFFF0)},
        {"a text past the end", patched(originals + 4, 0x7FFFFFFF)},
        {"a text longer than the file", patched(originals, 0xFFFFFFFF)},
        {"a text without its NUL", patched(originals, 1)},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(Catalog::Parse(c.bytes, &error)) << c.what;
        EXPECT_NE(error, "") << c.what;
    }

    // Texts that are no UTF-8, a header in another charset, a rule that is no rule.
    const std::string latin2 = PoHeader("xx") + "msgid \"a\"\nmsgstr \"b\"\n";
    std::string error;
    std::string bytes = CompileCatalog(latin2);
    const size_t b = bytes.rfind("b");
    ASSERT_NE(b, std::string::npos);
    bytes[b] = char(0xB1);  // "ą" in ISO-8859-2
    EXPECT_FALSE(Catalog::Parse(bytes, &error));
    bytes = CompileCatalog(
        "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=ISO-8859-2\\n\"\n"
        "\"Plural-Forms: nplurals=2; plural=(n != 1);\\n\"\n\nmsgid \"a\"\nmsgstr \"b\"\n");
    EXPECT_FALSE(Catalog::Parse(bytes, &error));
    EXPECT_NE(error.find("iso-8859-2"), std::string::npos) << error;
    // msgfmt refuses to write such a rule: it is put in afterwards, at the same length.
    bytes =
        CompileCatalog(PoHeader("xx", "nplurals=2; plural=n!=1;") + "msgid \"a\"\nmsgstr \"b\"\n");
    const size_t rule = bytes.find("n!=1;");
    ASSERT_NE(rule, std::string::npos);
    bytes.replace(rule, 5, "n+ ;;");
    EXPECT_FALSE(Catalog::Parse(bytes, &error));
    EXPECT_NE(error.find("Plural-Forms"), std::string::npos) << error;

    // Bytes changed at random: refused or read, never a crash.
    std::mt19937 random(12345);
    for (int round = 0; round < 2000; ++round) {
        std::string damaged = good;
        for (int k = 0; k < 3; ++k)
            damaged[random() % damaged.size()] = char(random());
        if (const std::unique_ptr<Catalog> catalog = Catalog::Parse(damaged, nullptr)) {
            for (const Catalog::Entry& entry : catalog->entries())
                catalog->FindPlural(entry.id, uint64_t(round));
        }
    }
}

}  // namespace
}  // namespace hc12
