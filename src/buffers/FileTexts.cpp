#include "FileTexts.h"

#include <charconv>

namespace hc12 {

std::string ByteNoun(uint32_t length) {
    if (length == 1)
        return "bajt";
    if (length == 2 || length == 3)
        return "bajty";
    return "bajtów";
}

std::string LoadedSizeText(uint32_t length) {
    const float v = length < 1024 ? float(length) : float(length) / 1024.0f;
    char buf[64];
    // to_chars ignores the locale: the point is always ".".
    auto res = std::to_chars(buf, buf + sizeof buf, double(v), std::chars_format::fixed, 6);
    std::string t(buf, res.ptr);
    const auto point = t.find('.');
    if (point != std::string::npos) {
        while (t.back() == '0')
            t.pop_back();
        if (t.back() == '.')
            t.pop_back();
        if (t.find('.') != std::string::npos && t.size() > point + 3)
            t.resize(point + 3);
    }
    if (length >= 1024)
        return t + "  KB";
    return t + "  " + ByteNoun(length) + ".";
}

std::string LoadedStatusText(uint32_t length) {
    return "Wczytano " + LoadedSizeText(length);
}

std::vector<std::string> LoadQuestions(uint64_t length, uint32_t pageCount) {
    std::vector<std::string> out;
    if (length > pageCount) {
        out.emplace_back(kLargerThanPageText);
        if (length >= kLargeFileLength)
            out.emplace_back(kVeryLargeText);
    }
    return out;
}

}  // namespace hc12
