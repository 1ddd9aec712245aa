// A message catalog in GNU gettext's binary format (.mo, as msgfmt writes it): the
// translations of the program's texts into one language, with that language's plural
// rule. Read without libintl, which the Windows build does not have.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "PluralForms.h"

namespace hc12 {

class Catalog {
  public:
    struct Entry {
        std::string_view id;
        std::string_view idPlural;            // empty for a text without plural forms
        std::vector<std::string_view> forms;  // one translation, or one per plural form
    };

    // A catalog from the bytes of a .mo file; nothing, with `error`, for bytes that are
    // not a well-formed catalog in UTF-8 (every offset and length is checked).
    static std::unique_ptr<Catalog> Parse(std::string bytes, std::string* error);
    static std::unique_ptr<Catalog> Load(const std::filesystem::path& path, std::string* error);

    // The translation of `id`, or nullptr when the catalog has none (or an empty one).
    // The text stays valid as long as the catalog.
    const char* Find(std::string_view id) const;
    // The translation of a counted text (`id` is its singular) in the form for n.
    const char* FindPlural(std::string_view id, uint64_t n) const;

    // A field of the catalog's header, e.g. "Language" -> "en"; empty when absent.
    std::string HeaderField(std::string_view name) const;
    const PluralForms& plural() const { return plural_; }
    // Every translated text (the header excluded), in the catalog's order.
    const std::vector<Entry>& entries() const { return entries_; }

  private:
    Catalog() = default;
    bool Read(std::string* error);

    std::string bytes_;
    std::string_view header_;
    std::vector<Entry> entries_;
    std::unordered_map<std::string_view, size_t> index_;
    PluralForms plural_;
};

}  // namespace hc12
