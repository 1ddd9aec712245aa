// Texts and checks of loading and saving buffer files.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "AddressedImage.h"
#include "ImageFormat.h"

namespace hc12 {

// The size part of the load report: "512  bajtów.", "1.5  KB", ...
std::string LoadedSizeText(uint32_t length);
// Status field 0 after a load: "Wczytano " + LoadedSizeText.
std::string LoadedStatusText(uint32_t length);
// "bajt" for 1, "bajty" for 2 and 3, "bajtów" otherwise.
std::string ByteNoun(uint32_t length);

// Longest file a page takes (the length is a signed 32-bit number).
inline constexpr uint64_t kMaxFileLength = 0x7FFFFFFF;
inline constexpr uint32_t kLargeFileLength = 65536;

// The questions asked before a load, in order; empty when none is asked.
std::vector<std::string> LoadQuestions(uint64_t length, uint32_t pageCount);

inline constexpr const char* kChooseFileText = "Wybierz plik.";
inline constexpr const char* kCannotOpenText = "Nie moge otworzyc pliku";
inline constexpr const char* kCannotSaveText = "Nie moge zapisac pliku";
inline constexpr const char* kErrorCaption = "Błąd";
inline constexpr const char* kWarningCaption = "Ostrzeżenie";
inline constexpr const char* kLargerThanPageText =
    "Plik jest większy niż wczytywana pamięć! .\nCzy otworzyć mimo to?";
inline constexpr const char* kVeryLargeText =
    "Plik jest bardzo duży i wczytywanie moze zajac duzo czasu.Czy kontynuować?";
// The file dialogs' type list: raw images first (the default), then S-records,
// Intel HEX, and every file (the extension decides).
inline constexpr const char* kImageFileTypes =
    "Obraz binarny (*.*)|*|"
    "S-rekordy Motoroli (*.s19;*.s28;*.s37;*.srec;*.mot)|"
    "*.s19;*.s28;*.s37;*.srec;*.mot;*.S19;*.S28;*.S37;*.SREC;*.MOT|"
    "Intel HEX (*.hex;*.ihx)|*.hex;*.ihx;*.HEX;*.IHX|"
    "Wszystkie pliki (*.*)|*";
// The format of the type chosen in that list, or of the file's name for "all files".
ImageFormat FormatForFileType(int typeIndex, std::string_view fileName);

// A file whose addresses lie outside the page's window: move the window?
std::string MoveWindowQuestion(const AddressedImage& image, uint32_t start, uint32_t count);
// ... and when no window can hold them.
std::string NoWindowFitsText(const AddressedImage& image);

inline constexpr const char* kTooManyPagesText = "Osiągnięto maksimum zakładek!";

}  // namespace hc12
