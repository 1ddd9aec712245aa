// Texts and checks of loading and saving buffer files.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "AddressedImage.h"
#include "ImageFormat.h"
#include "Translate.h"

namespace hc12 {

// Status field 0 after a load: "Wczytano 512  bajtów.", "Wczytano 1.5  KB", ...
std::string LoadedStatusText(uint32_t length);

// Longest file a page takes (the length is a signed 32-bit number).
inline constexpr uint64_t kMaxFileLength = 0x7FFFFFFF;
inline constexpr uint32_t kLargeFileLength = 65536;

// The questions asked before a load, in order (in the language in use); empty when
// none is asked.
std::vector<std::string> LoadQuestions(uint64_t length, uint32_t pageCount);

// Shown through Tr.
inline constexpr const char* kChooseFileText = N_("Wybierz plik.");
inline constexpr const char* kCannotOpenText = N_("Nie moge otworzyc pliku");
inline constexpr const char* kCannotSaveText = N_("Nie moge zapisac pliku");
inline constexpr const char* kErrorCaption = N_("Błąd");
inline constexpr const char* kWarningCaption = N_("Ostrzeżenie");
inline constexpr const char* kLargerThanPageText =
    N_("Plik jest większy niż wczytywana pamięć! .\nCzy otworzyć mimo to?");
inline constexpr const char* kVeryLargeText =
    N_("Plik jest bardzo duży i wczytywanie moze zajac duzo czasu.Czy kontynuować?");
// The file dialogs' type list: raw images first (the default), then S-records,
// Intel HEX, and every file (the extension decides); in the language in use.
std::string ImageFileTypes();
// The format of the type chosen in that list, or of the file's name for "all files".
ImageFormat FormatForFileType(int typeIndex, std::string_view fileName);

// A file whose addresses lie outside the page's window: move the window?
std::string MoveWindowQuestion(const AddressedImage& image, uint32_t start, uint32_t count);
// ... and when no window can hold them.
std::string NoWindowFitsText(const AddressedImage& image);

inline constexpr const char* kTooManyPagesText = N_("Osiągnięto maksimum zakładek!");

}  // namespace hc12
