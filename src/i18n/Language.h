// Which language the programs speak. The environment decides as it does for gettext
// (LANGUAGE, LC_ALL, LC_MESSAGES, LANG), read directly, so that a language whose
// locale is not generated on the machine is still honoured; --lang and HC12_LANG
// override it. Polish (the code's own texts) for Polish and for the C/POSIX locale,
// a catalog's language where there is one, English for every other language.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace hc12 {

class Catalog;

// The language of the code's own texts, spoken without a catalog.
inline constexpr const char* kOwnLanguage = "pl";
// The catalogs' file name: <folder>/<language>/LC_MESSAGES/hc12prog.mo.
inline constexpr const char* kCatalogDomain = "hc12prog";

using EnvironmentLookup = std::function<std::optional<std::string>(const char* name)>;
EnvironmentLookup ProcessEnvironment();

// The user's language where the system keeps it outside the environment (Windows:
// the language of the user interface, e.g. "pl_PL"); empty elsewhere.
std::string SystemLanguage();

// The languages asked for, most wanted first: the locale is the first of LC_ALL,
// LC_MESSAGES and LANG that is set (else `systemLanguage`, else "C"); outside the C
// locale the list in LANGUAGE ("de:en") comes before it.
std::vector<std::string> RequestedLanguages(const EnvironmentLookup& env,
                                            const std::string& systemLanguage);

using CatalogCheck = std::function<bool(const std::string& language)>;
// The language to speak for those: the first that is Polish, C/POSIX (both: "pl") or
// has a catalog ("de_AT" also finds "de"); "en" when none of them is.
std::string ChooseLanguage(const std::vector<std::string>& requested,
                           const CatalogCheck& hasCatalog);
// A language asked for by name (--lang, HC12_LANG): the language to speak, or empty
// when the program cannot speak it.
std::string NamedLanguage(const std::string& name, const CatalogCheck& hasCatalog);

// Where catalog files are looked for, in order: HC12_LOCALEDIR, then beside the
// program: ../share/locale (an installation) and locale (next to a Windows .exe).
std::vector<std::filesystem::path> CatalogFolders(const EnvironmentLookup& env);
// The catalog of a language from the first folder that has a readable one, else the
// one built into the program; nullptr when there is neither.
std::shared_ptr<const Catalog> FindCatalog(const std::string& language,
                                           const std::vector<std::filesystem::path>& folders);
// The languages the program can speak: its own, the built-in catalogs' and those of
// the folders.
std::vector<std::string> AvailableLanguages(const std::vector<std::filesystem::path>& folders);

// Chooses the language (`commandLine`: the --lang value or empty; then HC12_LANG;
// then the environment) and speaks it in every text from now on. False, with
// `error`, when `commandLine` names a language the program cannot speak; an HC12_LANG
// it cannot speak is left aside with a `warning`.
bool SetUpLanguage(const std::string& commandLine, std::string* error, std::string* warning,
                   const EnvironmentLookup& env = ProcessEnvironment());

// The language of the texts now: kOwnLanguage, or the catalog's "Language".
std::string LanguageInUse();

}  // namespace hc12
