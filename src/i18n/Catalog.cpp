#include "Catalog.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>

namespace hc12 {
namespace {

constexpr uint32_t kMagic = 0x950412de;
// Catalogs of this program are a few kilobytes; a file far larger is not one of them.
constexpr uintmax_t kMaxCatalogSize = 16u << 20;

bool ValidUtf8(std::string_view s) {
    size_t i = 0;
    while (i < s.size()) {
        const auto b = static_cast<unsigned char>(s[i]);
        int extra = 0;
        uint32_t min = 0;
        if (b < 0x80) {
            ++i;
            continue;
        } else if (b >= 0xC2 && b < 0xE0) {
            extra = 1, min = 0x80;
        } else if (b >= 0xE0 && b < 0xF0) {
            extra = 2, min = 0x800;
        } else if (b >= 0xF0 && b < 0xF5) {
            extra = 3, min = 0x10000;
        } else {
            return false;
        }
        if (i + size_t(extra) >= s.size())
            return false;
        uint32_t c = b & (0x3F >> extra);
        for (int k = 1; k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(s[i + size_t(k)]);
            if ((next & 0xC0) != 0x80)
                return false;
            c = (c << 6) | (next & 0x3F);
        }
        if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            return false;
        i += size_t(extra) + 1;
    }
    return true;
}

std::string Lower(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return out;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
        s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.remove_suffix(1);
    return s;
}

// The value of "Name: value" in the header's lines.
std::string_view Field(std::string_view header, std::string_view name) {
    while (!header.empty()) {
        const size_t end = header.find('\n');
        const std::string_view line = header.substr(0, end);
        header = end == std::string_view::npos ? std::string_view() : header.substr(end + 1);
        const size_t colon = line.find(':');
        if (colon != std::string_view::npos && Lower(Trim(line.substr(0, colon))) == Lower(name))
            return Trim(line.substr(colon + 1));
    }
    return {};
}

}  // namespace

std::unique_ptr<Catalog> Catalog::Parse(std::string bytes, std::string* error) {
    std::unique_ptr<Catalog> catalog(new Catalog);
    catalog->bytes_ = std::move(bytes);
    if (!catalog->Read(error))
        return nullptr;
    return catalog;
}

std::unique_ptr<Catalog> Catalog::Load(const std::filesystem::path& path, std::string* error) {
    std::error_code ec;
    const uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec || size > kMaxCatalogSize) {
        if (error)
            *error = path.string() + (ec ? ": " + ec.message() : ": too large for a catalog");
        return nullptr;
    }
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) {
        if (error)
            *error = path.string() + ": cannot be read";
        return nullptr;
    }
    std::string why;
    std::unique_ptr<Catalog> catalog = Parse(std::move(bytes), &why);
    if (!catalog && error)
        *error = path.string() + ": " + why;
    return catalog;
}

bool Catalog::Read(std::string* error) {
    auto fail = [error](const std::string& why) {
        if (error)
            *error = why;
        return false;
    };
    const std::string_view data = bytes_;
    if (data.size() < 28)
        return fail("too short for a catalog");
    bool bigEndian = false;
    auto word = [&](size_t at) {
        const auto* p = reinterpret_cast<const unsigned char*>(data.data() + at);
        return bigEndian ? uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]
                         : uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
    };
    if (word(0) != kMagic) {
        bigEndian = true;
        if (word(0) != kMagic)
            return fail("not a catalog (no .mo magic number)");
    }
    if ((word(4) >> 16) > 1)
        return fail("a catalog format this program does not know");
    const uint64_t count = word(8);
    const uint64_t originals = word(12);
    const uint64_t translations = word(16);
    if (originals + count * 8 > data.size() || translations + count * 8 > data.size())
        return fail("its tables lie outside the file");

    // A string of the tables: length and offset, followed by a NUL inside the file.
    auto text = [&](uint64_t table, uint64_t i, std::string_view* out) {
        const uint64_t length = word(size_t(table + i * 8));
        const uint64_t offset = word(size_t(table + i * 8 + 4));
        if (offset + length >= data.size() || data[size_t(offset + length)] != '\0')
            return false;
        *out = data.substr(size_t(offset), size_t(length));
        return ValidUtf8(*out);
    };

    for (uint64_t i = 0; i < count; ++i) {
        std::string_view id, translation;
        if (!text(originals, i, &id) || !text(translations, i, &translation))
            return fail("text " + std::to_string(i) + " lies outside the file or is not UTF-8");
        if (id.empty()) {
            header_ = translation;
            continue;
        }
        Entry entry;
        const size_t split = id.find('\0');
        entry.id = id.substr(0, split);
        if (split != std::string_view::npos)
            entry.idPlural = id.substr(split + 1);
        // The forms are separated by NULs; each ends in one, so each is a C string.
        size_t start = 0;
        for (;;) {
            const size_t end = translation.find('\0', start);
            entry.forms.push_back(translation.substr(start, end - start));
            if (end == std::string_view::npos)
                break;
            start = end + 1;
        }
        if (index_.emplace(entry.id, entries_.size()).second)
            entries_.push_back(std::move(entry));
    }

    const std::string_view contentType = Field(header_, "Content-Type");
    const size_t charset = Lower(contentType).find("charset=");
    if (charset != std::string::npos) {
        const std::string name = Lower(Trim(contentType.substr(charset + 8)));
        if (name != "utf-8" && name != "utf8" && name != "ascii" && name != "us-ascii")
            return fail("its texts are in " + name + ", not UTF-8");
    }
    const std::string_view rule = Field(header_, "Plural-Forms");
    if (!rule.empty()) {
        std::string why;
        const std::optional<PluralForms> forms = PluralForms::Parse(rule, &why);
        if (!forms)
            return fail(why);
        plural_ = *forms;
    }
    return true;
}

const char* Catalog::Find(std::string_view id) const {
    const auto found = index_.find(id);
    if (found == index_.end())
        return nullptr;
    const std::string_view text = entries_[found->second].forms.front();
    return text.empty() ? nullptr : text.data();
}

const char* Catalog::FindPlural(std::string_view id, uint64_t n) const {
    const auto found = index_.find(id);
    if (found == index_.end())
        return nullptr;
    const Entry& entry = entries_[found->second];
    const size_t form = size_t(plural_.FormFor(n));
    if (form >= entry.forms.size() || entry.forms[form].empty())
        return nullptr;
    return entry.forms[form].data();
}

std::string Catalog::HeaderField(std::string_view name) const {
    return std::string(Field(header_, name));
}

}  // namespace hc12
