#include "Translate.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

#include "Catalog.h"

namespace hc12 {
namespace {

// The language is the process's, like the C library's locale: chosen once at the
// start, before any thread of a run begins, and read everywhere after.
std::atomic<const Catalog*> current{nullptr};

std::mutex keptMutex;
std::vector<std::shared_ptr<const Catalog>>& Kept() {
    static std::vector<std::shared_ptr<const Catalog>> kept;
    return kept;
}

}  // namespace

const char* Tr(const char* text) {
    const Catalog* catalog = current.load(std::memory_order_acquire);
    if (catalog == nullptr || text == nullptr)
        return text;
    const char* translated = catalog->Find(text);
    return translated != nullptr ? translated : text;
}

const char* TrN(const CountedText& text, uint64_t n) {
    if (const Catalog* catalog = current.load(std::memory_order_acquire)) {
        if (const char* translated = catalog->FindPlural(text.one, n))
            return translated;
        // Not in the catalog: the Polish, as without one.
    }
    if (n == 1)
        return text.one;
    if (n >= 2 && n <= text.fewLast)
        return text.few;
    return text.many;
}

std::string FormatText(std::string_view pattern, const std::string* args, size_t count) {
    std::string out;
    out.reserve(pattern.size() + 16);
    size_t next = 0;  // the argument of the next plain "%s"
    for (size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (c != '%' || i + 1 >= pattern.size()) {
            out += c;
            continue;
        }
        if (pattern[i + 1] == '%') {
            out += '%';
            ++i;
            continue;
        }
        if (pattern[i + 1] == 's') {
            if (next < count)
                out += args[next];
            ++next;
            ++i;
            continue;
        }
        // "%N$s": the N-th argument.
        size_t j = i + 1;
        size_t number = 0;
        while (j < pattern.size() && pattern[j] >= '0' && pattern[j] <= '9' && number < 1000)
            number = number * 10 + size_t(pattern[j++] - '0');
        if (j > i + 1 && number > 0 && j + 1 < pattern.size() && pattern[j] == '$' &&
            pattern[j + 1] == 's') {
            if (number <= count)
                out += args[number - 1];
            i = j + 1;
            continue;
        }
        out += c;
    }
    return out;
}

void UseCatalog(std::shared_ptr<const Catalog> catalog) {
    const Catalog* raw = catalog.get();
    if (catalog) {
        const std::lock_guard<std::mutex> lock(keptMutex);
        std::vector<std::shared_ptr<const Catalog>>& kept = Kept();
        if (std::find(kept.begin(), kept.end(), catalog) == kept.end())
            kept.push_back(std::move(catalog));
    }
    current.store(raw, std::memory_order_release);
}

const Catalog* CurrentCatalog() {
    return current.load(std::memory_order_acquire);
}

ScopedCatalog::ScopedCatalog(std::shared_ptr<const Catalog> catalog) : previous_(CurrentCatalog()) {
    UseCatalog(std::move(catalog));
}

ScopedCatalog::~ScopedCatalog() {
    // The previous catalog was kept when it was first used.
    current.store(previous_, std::memory_order_release);
}

}  // namespace hc12
