// The catalogs of po/ against the texts of the sources: every text the sources mark
// has its English, with the same placeholders, and no Polish text goes unmarked. A
// text added later without its translation fails here.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>

#include "Catalog.h"
#include "PoFile.h"

namespace hc12::testing {
namespace {

namespace fs = std::filesystem;

const fs::path kPoDir = fs::path(HC12_SOURCE_DIR) / "po";
const char* const kUpdate =
    "\n(after a text changed: cmake --build build --target update-po, then translate "
    "what po/en.po lacks)";

PoFile Read(const fs::path& path) {
    PoFile file = ReadPoFile(path);
    EXPECT_EQ(file.error, "");
    return file;
}

std::string Show(const std::string& text) {
    std::string out = "\"";
    for (char c : text)
        out += c == '\n' ? std::string("\\n") : std::string(1, c);
    return out + "\"";
}

#ifdef HC12_POT_NOW
// The texts the sources mark now, as xgettext finds them at this build.
PoFile SourcesTemplate() {
    return Read(HC12_POT_NOW);
}

TEST(CatalogCoverage, EveryMarkedTextHasItsEnglishAndTheTemplateIsCurrent) {
    const PoFile sources = SourcesTemplate();
    const PoFile english = Read(kPoDir / "en.po");
    const PoFile committed = Read(kPoDir / "hc12prog.pot");
    ASSERT_GT(sources.entries.size(), 50u);

    for (const PoEntry& text : sources.entries) {
        SCOPED_TRACE(Show(text.id) + " from" + text.references);
        EXPECT_NE(committed.Find(text.id), nullptr) << "po/hc12prog.pot lacks it" << kUpdate;
        const PoEntry* translation = english.Find(text.id);
        ASSERT_NE(translation, nullptr) << "po/en.po lacks it" << kUpdate;
        EXPECT_FALSE(translation->HasFlag("fuzzy")) << "its English is marked fuzzy";
        EXPECT_EQ(translation->idPlural, text.idPlural) << "its plural changed" << kUpdate;
        ASSERT_EQ(translation->forms.size(), text.idPlural.empty() ? 1u : 2u);
        for (const std::string& form : translation->forms) {
            EXPECT_NE(form, "") << "no English";
            // Every placeholder of the Polish, and no other (a "%d" would be shown as
            // it stands); English plurals keep the number in both forms.
            EXPECT_EQ(PlaceholderArguments(form), PlaceholderArguments(text.id)) << Show(form);
            EXPECT_TRUE(std::all_of(form.begin(), form.end(),
                                    [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
                << Show(form) << " still has Polish letters";
        }
    }
    // Nothing in the catalogs that the sources no longer have.
    for (const PoFile* file : {&english, &committed})
        for (const PoEntry& entry : file->entries)
            EXPECT_NE(sources.Find(entry.id), nullptr)
                << Show(entry.id) << " is no text of the sources any more" << kUpdate;
}

// Literals of the sources that hold Polish letters (outside comments) must stand in a
// call of Tr or N_ (the Polish-only forms of a counted text included).
TEST(CatalogCoverage, NoPolishTextOfTheSourcesIsLeftUnmarked) {
    std::vector<std::string> unmarked;
    for (const auto& item : fs::recursive_directory_iterator(fs::path(HC12_SOURCE_DIR) / "src")) {
        const std::string ext = item.path().extension().string();
        if (ext != ".cpp" && ext != ".h")
            continue;
        std::ifstream in(item.path(), std::ios::binary);
        const std::string code((std::istreambuf_iterator<char>(in)), {});
        // Per open parenthesis: whether it is a call of Tr or N_.
        std::vector<bool> calls;
        int line = 1;
        for (size_t i = 0; i < code.size(); ++i) {
            const char c = code[i];
            if (c == '\n') {
                ++line;
            } else if (c == '/' && i + 1 < code.size() && code[i + 1] == '/') {
                const size_t end = code.find('\n', i);
                if (end == std::string::npos)
                    break;
                i = end - 1;
            } else if (c == '/' && i + 1 < code.size() && code[i + 1] == '*') {
                const size_t end = code.find("*/", i + 2);
                if (end == std::string::npos)
                    break;
                line += int(std::count(code.begin() + long(i), code.begin() + long(end), '\n'));
                i = end + 1;
            } else if (c == '(') {
                size_t start = i;
                while (start > 0 && code[start - 1] == ' ')
                    --start;
                size_t name = start;
                while (name > 0 && (std::isalnum(static_cast<unsigned char>(code[name - 1])) ||
                                    code[name - 1] == '_'))
                    --name;
                const std::string called = code.substr(name, start - name);
                calls.push_back(called == "Tr" || called == "N_");
            } else if (c == ')') {
                if (!calls.empty())
                    calls.pop_back();
            } else if (c == '\'') {
                // A character literal ('"' among them).
                for (++i; i < code.size() && code[i] != '\''; ++i)
                    if (code[i] == '\\')
                        ++i;
            } else if (c == '"') {
                std::string text;
                for (++i; i < code.size() && code[i] != '"'; ++i) {
                    if (code[i] == '\\' && i + 1 < code.size())
                        ++i;
                    text += code[i];
                }
                const bool polish = std::any_of(text.begin(), text.end(), [](char ch) {
                    return static_cast<unsigned char>(ch) >= 0x80;
                });
                const bool marked = std::find(calls.begin(), calls.end(), true) != calls.end();
                if (polish && !marked)
                    unmarked.push_back(fs::relative(item.path(), HC12_SOURCE_DIR).string() + ":" +
                                       std::to_string(line) + ": \"" + text + "\"");
            }
        }
    }
    EXPECT_TRUE(unmarked.empty())
        << "texts to mark with Tr(\"...\") or N_(\"...\") (see README, \"Adding a "
           "translation\"):\n"
        << ::testing::PrintToString(unmarked);
}
#endif

// What the programs carry is the catalog of po/en.po: the compiled file says the same.
TEST(CatalogCoverage, TheCompiledCatalogSaysWhatItsSourceSays) {
    const PoFile english = Read(kPoDir / "en.po");
    EXPECT_EQ(english.HeaderField("Language"), "en");
    EXPECT_EQ(english.HeaderField("Plural-Forms"), "nplurals=2; plural=(n != 1);");
    EXPECT_NE(english.HeaderField("Content-Type").find("charset=UTF-8"), std::string::npos);
    std::string error;
    const std::unique_ptr<Catalog> compiled = Catalog::Load(HC12_EN_MO, &error);
    ASSERT_TRUE(compiled) << error;
    EXPECT_EQ(compiled->entries().size(), english.entries.size());
    for (const PoEntry& entry : english.entries) {
        SCOPED_TRACE(Show(entry.id));
        for (uint64_t n : {1, 2}) {
            const char* text = entry.idPlural.empty() ? compiled->Find(entry.id)
                                                      : compiled->FindPlural(entry.id, n);
            ASSERT_NE(text, nullptr);
            EXPECT_EQ(text, entry.forms[entry.idPlural.empty() ? 0 : n - 1]);
        }
    }
}

}  // namespace
}  // namespace hc12::testing
