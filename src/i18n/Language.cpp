#include "Language.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <set>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "BuiltInCatalogs.h"
#include "Catalog.h"
#include "Translate.h"

namespace hc12 {
namespace {

namespace fs = std::filesystem;

// "en_US.UTF-8@euro" -> "en_US"; Windows' "pl-PL" -> "pl_PL".
std::string Normalize(const std::string& name) {
    std::string out = name.substr(0, name.find_first_of(".@"));
    std::replace(out.begin(), out.end(), '-', '_');
    return out;
}

// "en_US" -> "en", lower case.
std::string LanguageCode(const std::string& normalized) {
    std::string code = normalized.substr(0, normalized.find('_'));
    std::transform(code.begin(), code.end(), code.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return code;
}

bool IsCLocale(const std::string& normalized) {
    return normalized == "C" || normalized == "POSIX";
}

// A name that can stand in a path: letters, digits, '_' only.
bool PlainName(const std::string& name) {
    return !name.empty() && std::all_of(name.begin(), name.end(), [](unsigned char c) {
        return std::isalnum(c) || c == '_';
    });
}

fs::path ExecutableFolder() {
#ifdef _WIN32
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
        if (n == 0)
            return {};
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    return fs::path(path).parent_path();
#else
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::path() : self.parent_path();
#endif
}

}  // namespace

EnvironmentLookup ProcessEnvironment() {
    return [](const char* name) -> std::optional<std::string> {
        const char* value = std::getenv(name);
        if (value == nullptr)
            return std::nullopt;
        return std::string(value);
    };
}

std::string SystemLanguage() {
#ifdef _WIN32
    wchar_t name[LOCALE_NAME_MAX_LENGTH] = {};
    if (LCIDToLocaleName(MAKELCID(GetUserDefaultUILanguage(), SORT_DEFAULT), name,
                         LOCALE_NAME_MAX_LENGTH, 0) <= 0)
        return {};
    std::string out;
    for (const wchar_t* p = name; *p != 0; ++p)
        out += *p < 0x80 ? char(*p) : '?';
    return Normalize(out);
#else
    return {};
#endif
}

std::vector<std::string> RequestedLanguages(const EnvironmentLookup& env,
                                            const std::string& systemLanguage) {
    std::string locale;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const std::optional<std::string> value = env(name);
        if (value && !value->empty()) {
            locale = *value;
            break;
        }
    }
    if (locale.empty())
        locale = systemLanguage.empty() ? "C" : systemLanguage;

    std::vector<std::string> requested;
    // As gettext: in the C locale LANGUAGE is not consulted.
    if (!IsCLocale(Normalize(locale))) {
        const std::string list = env("LANGUAGE").value_or("");
        size_t start = 0;
        while (start <= list.size()) {
            const size_t end = std::min(list.find(':', start), list.size());
            if (end > start)
                requested.push_back(list.substr(start, end - start));
            start = end + 1;
        }
    }
    requested.push_back(locale);
    return requested;
}

std::string NamedLanguage(const std::string& name, const CatalogCheck& hasCatalog) {
    const std::string normalized = Normalize(name);
    if (IsCLocale(normalized) || LanguageCode(normalized) == kOwnLanguage)
        return kOwnLanguage;
    if (!PlainName(normalized))
        return {};
    if (hasCatalog(normalized))
        return normalized;
    const std::string code = LanguageCode(normalized);
    if (code != normalized && hasCatalog(code))
        return code;
    return {};
}

std::string ChooseLanguage(const std::vector<std::string>& requested,
                           const CatalogCheck& hasCatalog) {
    for (const std::string& name : requested) {
        const std::string language = NamedLanguage(name, hasCatalog);
        if (!language.empty())
            return language;
    }
    return "en";
}

std::vector<fs::path> CatalogFolders(const EnvironmentLookup& env) {
    std::vector<fs::path> folders;
    if (const std::optional<std::string> dir = env("HC12_LOCALEDIR"); dir && !dir->empty())
        folders.emplace_back(*dir);
    const fs::path program = ExecutableFolder();
    if (!program.empty()) {
        folders.push_back(program.parent_path() / "share" / "locale");
        folders.push_back(program / "locale");
    }
    return folders;
}

std::shared_ptr<const Catalog> FindCatalog(const std::string& language,
                                           const std::vector<fs::path>& folders) {
    if (!PlainName(language))
        return nullptr;
    const std::string file = std::string(kCatalogDomain) + ".mo";
    for (const fs::path& folder : folders) {
        const fs::path path = folder / language / "LC_MESSAGES" / file;
        std::error_code ec;
        if (!fs::is_regular_file(path, ec))
            continue;
        // A file that is no catalog is passed over, as gettext passes it over.
        if (std::shared_ptr<const Catalog> catalog = Catalog::Load(path, nullptr))
            return catalog;
    }
    for (size_t i = 0; i < kBuiltInCatalogCount; ++i) {
        const BuiltInCatalog& builtIn = kBuiltInCatalogs[i];
        if (language != builtIn.language)
            continue;
        std::string bytes(reinterpret_cast<const char*>(builtIn.data), builtIn.size);
        return Catalog::Parse(std::move(bytes), nullptr);
    }
    return nullptr;
}

std::vector<std::string> AvailableLanguages(const std::vector<fs::path>& folders) {
    std::set<std::string> languages{kOwnLanguage};
    for (size_t i = 0; i < kBuiltInCatalogCount; ++i)
        languages.insert(kBuiltInCatalogs[i].language);
    const std::string file = std::string(kCatalogDomain) + ".mo";
    for (const fs::path& folder : folders) {
        std::error_code ec;
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
            const std::string name = it->path().filename().string();
            if (PlainName(name) && fs::is_regular_file(it->path() / "LC_MESSAGES" / file, ec))
                languages.insert(name);
        }
    }
    return {languages.begin(), languages.end()};
}

bool SetUpLanguage(const std::string& commandLine, std::string* error, std::string* warning,
                   const EnvironmentLookup& env) {
    const std::vector<fs::path> folders = CatalogFolders(env);
    const CatalogCheck hasCatalog = [&folders](const std::string& language) {
        return FindCatalog(language, folders) != nullptr;
    };
    auto known = [&folders] {
        std::string list;
        for (const std::string& language : AvailableLanguages(folders))
            list += (list.empty() ? "" : ", ") + language;
        return list;
    };

    std::string language;
    if (!commandLine.empty()) {
        language = NamedLanguage(commandLine, hasCatalog);
        if (language.empty()) {
            if (error)
                *error = "--lang " + commandLine +
                         ": no catalog for this language (there are: " + known() + ")";
            return false;
        }
    } else if (const std::optional<std::string> named = env("HC12_LANG");
               named && !named->empty()) {
        language = NamedLanguage(*named, hasCatalog);
        if (language.empty() && warning)
            *warning = "HC12_LANG=" + *named +
                       ": no catalog for this language, left aside (there are: " + known() + ")";
    }
    if (language.empty())
        language = ChooseLanguage(RequestedLanguages(env, SystemLanguage()), hasCatalog);

    UseCatalog(language == kOwnLanguage ? nullptr : FindCatalog(language, folders));
    return true;
}

std::string LanguageInUse() {
    const Catalog* catalog = CurrentCatalog();
    if (catalog == nullptr)
        return kOwnLanguage;
    return catalog->HeaderField("Language");
}

}  // namespace hc12
