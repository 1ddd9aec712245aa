// The program's texts in the language in use. The texts are written in the code in
// the program's own Polish, and those are the message ids of the catalogs in po/:
//
//   Tr("Wybierz plik.")                      a text, translated where it is shown
//   constexpr const char* kX = N_("...");    a text a constant holds, marked for the
//   ... Tr(kX) ...                           catalog; translated where it is shown
//   TrN(N_("1 bajt", "2 bajty", "5 bajtów", 4), n)
//                                            a text whose words follow a number
//   Format(Tr("Bez zmian: %s"), n)           numbers and names go in through %s
//
// Without a catalog (Polish) every text is the code's own, byte for byte.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>

namespace hc12 {

class Catalog;

// Marks a text for the catalog where a constant holds it.
constexpr const char* N_(const char* text) {
    return text;
}

// A text whose words follow a number. Its Polish forms follow the program's own rule:
// `one` for 1, `few` for 2 to `fewLast`, `many` for every other number. A catalog has
// it under `one` (with `many` as its plural) and picks its language's own form.
struct CountedText {
    const char* one;
    const char* few;
    const char* many;
    uint32_t fewLast;
};
constexpr CountedText N_(const char* one, const char* few, const char* many, uint32_t fewLast) {
    return {one, few, many, fewLast};
}

// The text in the language in use. The result stays valid for the program's life.
const char* Tr(const char* text);
// The form of a counted text for n, in the language in use.
const char* TrN(const CountedText& text, uint64_t n);

// Fills a text's placeholders: "%s" takes the next argument, "%2$s" the second (a
// translation may reorder them), "%%" is a percent sign. Anything else after a "%"
// stays as it is.
std::string FormatText(std::string_view pattern, const std::string* args, size_t count);

inline std::string FormatArgument(std::string_view text) {
    return std::string(text);
}
template <typename Number, typename = std::enable_if_t<std::is_integral_v<Number>>>
std::string FormatArgument(Number number) {
    return std::to_string(number);
}

// Format(Tr("Bez zmian: %s"), 12): numbers in decimal, texts as they are.
template <typename... Args>
std::string Format(std::string_view pattern, const Args&... args) {
    const std::string texts[sizeof...(Args) + 1] = {FormatArgument(args)..., std::string()};
    return FormatText(pattern, texts, sizeof...(Args));
}

// The catalog every Tr uses from now on; nullptr for the program's own Polish. Set
// by the programs' start (the language chosen) and by tests; catalogs once used are
// kept for the program's life, so texts handed out never dangle.
void UseCatalog(std::shared_ptr<const Catalog> catalog);
const Catalog* CurrentCatalog();

// For tests: a language for the scope, the previous one afterwards.
class ScopedCatalog {
  public:
    explicit ScopedCatalog(std::shared_ptr<const Catalog> catalog);
    ~ScopedCatalog();
    ScopedCatalog(const ScopedCatalog&) = delete;
    ScopedCatalog& operator=(const ScopedCatalog&) = delete;

  private:
    const Catalog* previous_;
};

}  // namespace hc12
