#include "ImageFormat.h"

#include <algorithm>
#include <cctype>

#include "Translate.h"

namespace hc12 {

namespace {

std::string Lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return out;
}

}  // namespace

std::string FormatAddress(uint32_t address) {
    std::string digits;
    do {
        digits.insert(digits.begin(), "0123456789ABCDEF"[address & 0xF]);
        address >>= 4;
    } while (address != 0);
    return std::string(digits.size() < 4 ? 4 - digits.size() : 0, '0') + digits;
}

ImageFormat FormatFromFileName(std::string_view name) {
    const size_t dot = name.rfind('.');
    const size_t slash = name.find_last_of("/\\");
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
        return ImageFormat::Raw;
    const std::string extension = Lower(name.substr(dot + 1));
    for (const char* e : {"s19", "s28", "s37", "srec", "mot"})
        if (extension == e)
            return ImageFormat::SRecord;
    if (extension == "hex" || extension == "ihx")
        return ImageFormat::IntelHex;
    return ImageFormat::Raw;
}

std::optional<ImageFormat> FormatFromOption(std::string_view name) {
    if (name == "raw")
        return ImageFormat::Raw;
    if (name == "srec")
        return ImageFormat::SRecord;
    if (name == "ihex")
        return ImageFormat::IntelHex;
    return std::nullopt;
}

std::string ImageErrorText(const ImageError& error) {
    std::string what;
    switch (error.fault) {
        case ImageFault::NotARecord:
            what = Tr("to nie jest rekord tego formatu");
            break;
        case ImageFault::BadDigit:
            what = Tr("niedozwolony znak w rekordzie");
            break;
        case ImageFault::BadLength:
            what = Tr("długość rekordu się nie zgadza");
            break;
        case ImageFault::BadChecksum:
            what = Tr("zła suma kontrolna");
            break;
        case ImageFault::UnknownType:
            what = Tr("nieznany typ rekordu");
            break;
        case ImageFault::BadCount:
            what = Tr("liczba rekordów danych się nie zgadza");
            break;
        case ImageFault::Conflict:
            what = Format(Tr("adres %s ma już inną wartość"), FormatAddress(error.address));
            break;
        case ImageFault::AfterEnd:
            what = Tr("rekord po rekordzie końcowym");
            break;
        case ImageFault::NoEnd:
            what = Tr("brak rekordu końcowego");
            break;
    }
    // The line's number, then what is wrong with it.
    return Format(Tr("Niepoprawny plik, linia %s: %s"), error.line, what);
}

}  // namespace hc12
