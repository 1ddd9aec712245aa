#include "FileTexts.h"

#include <charconv>

namespace hc12 {

std::string LoadedStatusText(uint32_t length) {
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
        return Format(Tr("Wczytano %s  KB"), t);
    return Format(
        TrN(N_("Wczytano %s  bajt.", "Wczytano %s  bajty.", "Wczytano %s  bajtów.", 3), length), t);
}

std::vector<std::string> LoadQuestions(uint64_t length, uint32_t pageCount) {
    std::vector<std::string> out;
    if (length > pageCount) {
        out.emplace_back(Tr(kLargerThanPageText));
        if (length >= kLargeFileLength)
            out.emplace_back(Tr(kVeryLargeText));
    }
    return out;
}

std::string ImageFileTypes() {
    return std::string(Tr("Obraz binarny (*.*)")) + "|*|" +
           Tr("S-rekordy Motoroli (*.s19;*.s28;*.s37;*.srec;*.mot)") +
           "|*.s19;*.s28;*.s37;*.srec;*.mot;*.S19;*.S28;*.S37;*.SREC;*.MOT|"
           "Intel HEX (*.hex;*.ihx)|*.hex;*.ihx;*.HEX;*.IHX|" +
           Tr("Wszystkie pliki (*.*)") + "|*";
}

ImageFormat FormatForFileType(int typeIndex, std::string_view fileName) {
    switch (typeIndex) {
        case 0:
            return ImageFormat::Raw;
        case 1:
            return ImageFormat::SRecord;
        case 2:
            return ImageFormat::IntelHex;
        default:
            return FormatFromFileName(fileName);
    }
}

namespace {
std::string Range(uint32_t first, uint32_t last) {
    std::string range = "(";
    range += FormatAddress(first);
    range += " - ";
    range += FormatAddress(last);
    range += ")";
    return range;
}
}  // namespace

std::string MoveWindowQuestion(const AddressedImage& image, uint32_t start, uint32_t count) {
    const std::string window = count == 0 ? Tr("(puste)") : Range(start, start + count - 1);
    // The file's range and the window's, each as "(0D01 - 0D03)".
    return Format(Tr("Adresy w pliku %s nie mieszczą się w oknie bufora %s.\nCzy przesunąć okno na "
                     "zakres pliku?"),
                  Range(image.first(), image.last()), window);
}

std::string NoWindowFitsText(const AddressedImage& image) {
    return Format(Tr("Adresy w pliku %s nie mieszczą się w żadnym oknie bufora!"),
                  Range(image.first(), image.last()));
}

}  // namespace hc12
