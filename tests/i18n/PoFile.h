// A reader of PO files (catalog sources and templates), enough for checking them:
// entries with their flags, plural forms and references; obsolete entries skipped.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace hc12::testing {

struct PoEntry {
    std::string id;
    std::string idPlural;
    std::vector<std::string> forms;  // msgstr, or msgstr[0..]
    std::vector<std::string> flags;  // "fuzzy", "c-format", ...
    std::string references;          // the "#:" lines
    bool HasFlag(const std::string& flag) const;
};

struct PoFile {
    PoEntry header;
    std::vector<PoEntry> entries;
    std::string error;  // empty when the file was read

    const PoEntry* Find(const std::string& id) const;
    // A field of the header ("Language: en").
    std::string HeaderField(const std::string& name) const;
};

PoFile ReadPoFile(const std::filesystem::path& path);

// The arguments a format's placeholders use, in sorted order: "%s %s" -> 1 2,
// "%2$s %1$s" -> 1 2, "%s%%" -> 1.
std::vector<int> PlaceholderArguments(const std::string& format);

}  // namespace hc12::testing
