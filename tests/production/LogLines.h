// Reading back what production runs write, for the tests of several folders: the
// lines of a text, and the fields of a unit log line (a quoted field with commas
// comes out whole; its doubled quotes are not undone, no test reads one).
#pragma once

#include <sstream>
#include <string>
#include <vector>

namespace hc12::testing {

inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

inline std::vector<std::string> CsvFields(const std::string& line) {
    std::vector<std::string> fields;
    std::string field;
    bool quoted = false;
    for (char c : line) {
        if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            fields.push_back(field);
            field.clear();
        } else {
            field.push_back(c);
        }
    }
    fields.push_back(field);
    return fields;
}

}  // namespace hc12::testing
