// The Polish texts of the target operations, byte for byte (UTF-8), with their
// quirks kept: users and their notes know them in this form. They are the message
// ids of the translations (po/): shown through Tr (TrN for a counted one), with
// their numbers filled in by Format.
#pragma once

#include "Translate.h"

namespace hc12::texts {

inline constexpr const char* kCaptionError = N_("Błąd");
inline constexpr const char* kCaptionWarning = N_("Ostrzeżenie");
inline constexpr const char* kCaptionParameters = N_("Parametry");

// Status field 3.
inline constexpr const char* kStatusReset = N_("Reset.");
inline constexpr const char* kStatusConnected = N_("Połączony.");

// Connect.
inline constexpr const char* kChooseModel = N_("Wybierz model mikrokontrolera!");
inline constexpr const char* kNoInterface = N_("Nieudane połączenie z interfejsem");
inline constexpr const char* kNoQuartz = N_("Nie moge rozpoznać kwarcu! Wybierz go ręcznie");
inline constexpr const char* kNoProcessor = N_("Nieudane połączenie z procesorem");
// The memory map of an MC9S12 target: RAM size in KB and start, EEPROM size and start
// (the high two hex digits of each start).
inline constexpr const char* kMemoryMap =
    N_("RAM: %s KB  Początek: 0x%s00 EEPROM: %s KB  Początek: 0x%s00");

// Read and write.
inline constexpr const char* kLinkLostDuring = N_("Utracono połącznie z interfejsem! ");
inline constexpr CountedText kReadStatus =
    N_("Przeczytano  %s  bajt.", "Przeczytano  %s  bajty.", "Przeczytano  %s  bajtów.", 4);
inline constexpr CountedText kWriteStatus =
    N_("Zapisano  %s  bajt.", "Zapisano  %s  bajty.", "Zapisano  %s  bajtów.", 3);
// The number of cells that failed to program; the Polish has one form for all.
inline constexpr CountedText kWriteFailed =
    N_("Nie udało się zapisać %skomórek", "Nie udało się zapisać %skomórek",
       "Nie udało się zapisać %skomórek", 4);
inline constexpr CountedText kWriteFailedQuestion =
    N_("Nie udało się zapisać %skomórek\nCzy kontynuować?",
       "Nie udało się zapisać %skomórek\nCzy kontynuować?",
       "Nie udało się zapisać %skomórek\nCzy kontynuować?", 4);
inline constexpr const char* kFailedWrites = N_("Nieudanych zapisów:  %s");
inline constexpr const char* kWritePastFfff = N_("Zakres zapisu wykracza poza adres FFFF!");
inline constexpr const char* kReadPastFfff = N_("Zakres odczytu wykracza poza adres FFFF!");
inline constexpr const char* kUnchangedWords = N_("Bez zmian: %s");

// A USB adapter that holds every reply (its latency timer) this many milliseconds;
// short enough for its status field.
inline constexpr const char* kSlowAdapter = N_("Opóźnienie USB: %s ms");

// Family sequences.
inline constexpr const char* kAllProtected = N_("Cały EEPROM jest zabespieczony przed zapisem!");
// The number of protected bytes at the end of the EEPROM; one Polish form for all.
inline constexpr CountedText kProtectedTail =
    N_("Ostatnie %sbajty EEPROMu są chronione przed zapisem!",
       "Ostatnie %sbajty EEPROMu są chronione przed zapisem!",
       "Ostatnie %sbajty EEPROMu są chronione przed zapisem!", 4);
inline constexpr const char* kNoEclkdiv = N_("Nie ustawiono ECLKDIV!");
inline constexpr const char* kEstatBeforeErase = N_("1: Błędy w rejestrze ESTAT!");
// Followed by the register's value in hex.
inline constexpr const char* kEstatAfterErase = N_("2: Błędy w rejestrze ESTAT ! %s");
inline constexpr const char* kEstatAfterWord = N_("3: Błędy w rejestrze ESTAT ! %s");

}  // namespace hc12::texts
