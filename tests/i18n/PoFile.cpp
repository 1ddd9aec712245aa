#include "PoFile.h"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace hc12::testing {

bool PoEntry::HasFlag(const std::string& flag) const {
    return std::find(flags.begin(), flags.end(), flag) != flags.end();
}

const PoEntry* PoFile::Find(const std::string& id) const {
    for (const PoEntry& entry : entries)
        if (entry.id == id)
            return &entry;
    return nullptr;
}

std::string PoFile::HeaderField(const std::string& name) const {
    std::istringstream lines(header.forms.empty() ? std::string() : header.forms[0]);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind(name + ":", 0) == 0)
            return line.substr(name.size() + 1 + (line.size() > name.size() + 1 ? 1 : 0));
    return {};
}

namespace {

// The contents of a quoted PO string, escapes resolved; false when it is not one.
bool Unquote(const std::string& text, std::string* out) {
    const size_t open = text.find('"');
    const size_t close = text.rfind('"');
    if (open == std::string::npos || close == open)
        return false;
    for (size_t i = open + 1; i < close; ++i) {
        char c = text[i];
        if (c == '\\' && i + 1 < close) {
            switch (text[++i]) {
                case 'n':
                    c = '\n';
                    break;
                case 't':
                    c = '\t';
                    break;
                case 'r':
                    c = '\r';
                    break;
                case '"':
                    c = '"';
                    break;
                case '\\':
                    c = '\\';
                    break;
                default:
                    return false;
            }
        }
        *out += c;
    }
    return true;
}

}  // namespace

PoFile ReadPoFile(const std::filesystem::path& path) {
    PoFile file;
    std::ifstream in(path);
    if (!in) {
        file.error = path.string() + ": cannot be read";
        return file;
    }
    PoEntry entry;
    std::string* target = nullptr;  // the string the next continuation line extends
    bool started = false;
    auto finish = [&] {
        if (started) {
            if (entry.id.empty() && file.header.forms.empty())
                file.header = entry;
            else
                file.entries.push_back(entry);
        }
        entry = PoEntry();
        target = nullptr;
        started = false;
    };
    int number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        auto fail = [&](const char* why) {
            if (file.error.empty())
                file.error = path.string() + ":" + std::to_string(number) + ": " + why;
        };
        if (line.empty()) {
            finish();
            continue;
        }
        if (line.rfind("#~", 0) == 0)
            continue;  // obsolete
        if (line.rfind("#,", 0) == 0) {
            std::istringstream flags(line.substr(2));
            for (std::string flag; std::getline(flags, flag, ',');) {
                flag.erase(0, flag.find_first_not_of(' '));
                flag.erase(flag.find_last_not_of(' ') + 1);
                entry.flags.push_back(flag);
            }
            continue;
        }
        if (line.rfind("#:", 0) == 0) {
            entry.references += line.substr(2);
            continue;
        }
        if (line[0] == '#')
            continue;
        if (line[0] == '"') {
            if (target == nullptr || !Unquote(line, target))
                fail("a string where none belongs");
            continue;
        }
        const std::string keyword = line.substr(0, line.find(' '));
        if (keyword == "msgid") {
            if (started && !entry.forms.empty())
                finish();
            started = true;
            target = &entry.id;
        } else if (keyword == "msgid_plural") {
            target = &entry.idPlural;
        } else if (keyword == "msgstr") {
            entry.forms.assign(1, std::string());
            target = &entry.forms[0];
        } else if (keyword.rfind("msgstr[", 0) == 0) {
            const size_t index = std::stoul(keyword.substr(7));
            if (index != entry.forms.size())
                fail("plural forms out of order");
            entry.forms.emplace_back();
            target = &entry.forms.back();
        } else if (keyword == "msgctxt") {
            fail("msgctxt is not used by this program");
            continue;
        } else {
            fail("an unknown keyword");
            continue;
        }
        if (!Unquote(line.substr(keyword.size()), target))
            fail("a keyword without its string");
    }
    finish();
    return file;
}

std::vector<int> PlaceholderArguments(const std::string& format) {
    std::vector<int> arguments;
    int next = 1;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%')
            continue;
        if (i + 1 < format.size() && format[i + 1] == '%') {
            ++i;
            continue;
        }
        if (i + 1 < format.size() && format[i + 1] == 's') {
            arguments.push_back(next++);
            ++i;
            continue;
        }
        size_t j = i + 1;
        int number = 0;
        while (j < format.size() && std::isdigit(static_cast<unsigned char>(format[j])) &&
               number < 1000)
            number = number * 10 + (format[j++] - '0');
        if (number > 0 && j + 1 < format.size() && format[j] == '$' && format[j + 1] == 's') {
            arguments.push_back(number);
            i = j + 1;
            continue;
        }
        // Anything else after a '%' is no placeholder of the program: it would be shown
        // as it stands. Counted as argument 0, which no message id has.
        arguments.push_back(0);
    }
    std::sort(arguments.begin(), arguments.end());
    return arguments;
}

}  // namespace hc12::testing
