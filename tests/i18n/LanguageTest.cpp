// The language chosen from the environment (as gettext reads it, but without a
// generated locale), from --lang and HC12_LANG, and where its catalog comes from.
#include <gtest/gtest.h>

#include <map>

#include "Catalog.h"
#include "Language.h"
#include "TestCatalogs.h"
#include "Translate.h"

namespace hc12 {
namespace {

namespace fs = std::filesystem;
using Env = std::map<std::string, std::string>;

EnvironmentLookup Lookup(const Env& env) {
    return [env](const char* name) -> std::optional<std::string> {
        const auto found = env.find(name);
        if (found == env.end())
            return std::nullopt;
        return found->second;
    };
}

TEST(Language, TheEnvironmentIsReadAsGettextReadsIt) {
    struct Case {
        Env env;
        std::string system;
        std::vector<std::string> requested;
    };
    const Case cases[] = {
        {{}, "", {"C"}},
        {{{"LANG", "en_US.UTF-8"}}, "", {"en_US.UTF-8"}},
        {{{"LC_ALL", "pl_PL.UTF-8"}, {"LC_MESSAGES", "de_DE"}, {"LANG", "en_US"}},
         "",
         {"pl_PL.UTF-8"}},
        {{{"LC_MESSAGES", "de_DE"}, {"LANG", "pl_PL"}}, "", {"de_DE"}},
        {{{"LC_ALL", ""}, {"LANG", "pl_PL"}}, "", {"pl_PL"}},  // empty counts as unset
        {{{"LANGUAGE", "fr::en"}, {"LANG", "de_DE"}}, "", {"fr", "en", "de_DE"}},
        // In the C locale LANGUAGE is not read.
        {{{"LANGUAGE", "en"}, {"LANG", "C"}}, "", {"C"}},
        {{{"LANGUAGE", "en"}, {"LC_ALL", "C.UTF-8"}}, "", {"C.UTF-8"}},
        {{{"LANGUAGE", "en"}}, "", {"C"}},
        // Windows without these variables: the system's language, LANGUAGE before it.
        {{}, "pl_PL", {"pl_PL"}},
        {{{"LANGUAGE", "en"}}, "pl_PL", {"en", "pl_PL"}},
        {{{"LANG", "en_GB"}}, "pl_PL", {"en_GB"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(RequestedLanguages(Lookup(c.env), c.system), c.requested)
            << ::testing::PrintToString(c.env);
}

TEST(Language, PolishForPolishAndCEnglishForTheRestACatalogForItsLanguage) {
    const CatalogCheck catalogs = [](const std::string& language) {
        return language == "en" || language == "de" || language == "pt_BR";
    };
    struct Case {
        std::vector<std::string> requested;
        const char* language;
    };
    const Case cases[] = {
        {{"C"}, "pl"},
        {{"POSIX"}, "pl"},
        {{"C.UTF-8"}, "pl"},
        {{"pl_PL.UTF-8"}, "pl"},
        {{"pl"}, "pl"},
        {{"en_US.UTF-8"}, "en"},
        {{"en_GB.ISO-8859-1@euro"}, "en"},
        {{"de_AT.UTF-8"}, "de"},
        {{"pt_BR"}, "pt_BR"},
        {{"pt_PT"}, "en"},  // no catalog of its own: English
        {{"fr_FR.UTF-8"}, "en"},
        {{"ja_JP"}, "en"},
        {{"fr", "pl_PL"}, "pl"},  // LANGUAGE's list: the first the program speaks
        {{"fr", "de_DE"}, "de"},
        {{"fr", "sv_SE"}, "en"},
        {{"../../etc", "C"}, "pl"},  // no path goes into a file name
    };
    for (const Case& c : cases)
        EXPECT_EQ(ChooseLanguage(c.requested, catalogs), c.language)
            << ::testing::PrintToString(c.requested);
}

// Catalog files in a folder given by HC12_LOCALEDIR, as a translator tries one.
class LanguageSetUp : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::path(::testing::TempDir()) / ("hc12_locale_" + std::to_string(getpid()));
        fs::remove_all(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    void Install(const std::string& language, const std::string& bytes) {
        const fs::path folder = dir_ / language / "LC_MESSAGES";
        fs::create_directories(folder);
        std::ofstream(folder / "hc12prog.mo", std::ios::binary) << bytes;
    }
    std::string CatalogBytes(const std::string& language, const std::string& error) {
        return testing::CompileCatalog(testing::PoHeader(language) + "msgid \"Błąd\"\nmsgstr \"" +
                                       error + "\"\n");
    }

    // The language and the caption "Błąd" after a start in `env` with `commandLine`.
    std::pair<std::string, std::string> Start(Env env, const std::string& commandLine = "",
                                              std::string* warning = nullptr) {
        env["HC12_LOCALEDIR"] = dir_.string();
        std::string error, ignored;
        EXPECT_TRUE(SetUpLanguage(commandLine, &error, warning ? warning : &ignored, Lookup(env)))
            << error;
        return {LanguageInUse(), Tr("Błąd")};
    }

    const ScopedCatalog restore_{nullptr};
    fs::path dir_;
};

TEST_F(LanguageSetUp, EnvironmentOverridesAndCatalogFiles) {
    using Result = std::pair<std::string, std::string>;
    // The locale needs not exist on the machine (here only C ones do).
    EXPECT_EQ(Start({{"LANG", "en_US.UTF-8"}}), Result("en", "Error"));
    EXPECT_EQ(Start({{"LANG", "pl_PL.UTF-8"}}), Result("pl", "Błąd"));
    EXPECT_EQ(Start({{"LANG", "C.UTF-8"}, {"LANGUAGE", "en"}}), Result("pl", "Błąd"));
    EXPECT_EQ(Start({{"LANG", "de_DE.UTF-8"}}), Result("en", "Error"));
    EXPECT_EQ(Start({}), Result("pl", "Błąd"));
    // HC12_LANG over the environment, --lang over both.
    EXPECT_EQ(Start({{"LANG", "pl_PL"}, {"HC12_LANG", "en"}}), Result("en", "Error"));
    EXPECT_EQ(Start({{"LANG", "en_US"}, {"HC12_LANG", "pl"}}), Result("pl", "Błąd"));
    EXPECT_EQ(Start({{"LANG", "pl_PL"}, {"HC12_LANG", "en"}}, "pl"), Result("pl", "Błąd"));
    EXPECT_EQ(Start({{"LANG", "C"}}, "en"), Result("en", "Error"));
    std::string warning;
    EXPECT_EQ(Start({{"LANG", "en_US"}, {"HC12_LANG", "xx"}}, "", &warning), Result("en", "Error"));
    EXPECT_NE(warning.find("HC12_LANG=xx"), std::string::npos) << warning;

    // A language the program cannot speak, asked for on the command line.
    std::string error, ignored;
    EXPECT_FALSE(
        SetUpLanguage("de", &error, &ignored, Lookup({{"HC12_LOCALEDIR", dir_.string()}})));
    EXPECT_NE(error.find("--lang de"), std::string::npos) << error;
    EXPECT_NE(error.find("en, pl"), std::string::npos) << error;

    // A translator's catalog for a new language, found by its folder.
    Install("de", CatalogBytes("de", "Fehler"));
    EXPECT_EQ(Start({{"LANG", "de_AT.UTF-8"}}), Result("de", "Fehler"));
    EXPECT_EQ(Start({}, "de"), Result("de", "Fehler"));
    EXPECT_EQ(AvailableLanguages({dir_}), (std::vector<std::string>{"de", "en", "pl"}));
    // An installed catalog goes before the one built in; a broken one is passed over.
    Install("en", CatalogBytes("en", "Failure"));
    EXPECT_EQ(Start({{"LANG", "en_US"}}), Result("en", "Failure"));
    Install("en", "not a catalog");
    EXPECT_EQ(Start({{"LANG", "en_US"}}), Result("en", "Error"));
}

}  // namespace
}  // namespace hc12
