// The Polish texts of the target operations, byte for byte (UTF-8), with their
// quirks kept: users and their notes know them in this form.
#pragma once

namespace hc12::texts {

inline constexpr const char* kCaptionError = "Błąd";
inline constexpr const char* kCaptionWarning = "Ostrzeżenie";
inline constexpr const char* kCaptionParameters = "Parametry";

// Status field 3.
inline constexpr const char* kStatusReset = "Reset.";
inline constexpr const char* kStatusConnected = "Połączony.";

// Connect.
inline constexpr const char* kChooseModel = "Wybierz model mikrokontrolera!";
inline constexpr const char* kNoInterface = "Nieudane połączenie z interfejsem";
inline constexpr const char* kNoQuartz = "Nie moge rozpoznać kwarcu! Wybierz go ręcznie";
inline constexpr const char* kNoProcessor = "Nieudane połączenie z procesorem";
inline constexpr const char* kReportRam = "RAM: ";
inline constexpr const char* kReportKb = " KB  ";
inline constexpr const char* kReportStart = "Początek: 0x";
inline constexpr const char* kReportEeprom = "EEPROM: ";

// Read and write.
inline constexpr const char* kLinkLostDuring = "Utracono połącznie z interfejsem! ";
inline constexpr const char* kReadPrefix = "Przeczytano  ";
inline constexpr const char* kWritePrefix = "Zapisano  ";
inline constexpr const char* kUnitOne = "  bajt.";
inline constexpr const char* kUnitFew = "  bajty.";
inline constexpr const char* kUnitMany = "  bajtów.";
inline constexpr const char* kWriteFailed = "Nie udało się zapisać ";
inline constexpr const char* kCells = "komórek";
inline constexpr const char* kContinue = "Czy kontynuować?";
inline constexpr const char* kFailedWrites = "Nieudanych zapisów:  ";
inline constexpr const char* kWritePastFfff = "Zakres zapisu wykracza poza adres FFFF!";
inline constexpr const char* kReadPastFfff = "Zakres odczytu wykracza poza adres FFFF!";
inline constexpr const char* kUnchangedWords = "Bez zmian: ";

// A USB adapter that holds every reply (its latency timer), followed by "16 ms";
// short enough for its status field.
inline constexpr const char* kSlowAdapter = "Opóźnienie USB: ";

// Family sequences.
inline constexpr const char* kAllProtected = "Cały EEPROM jest zabespieczony przed zapisem!";
inline constexpr const char* kLastBytes = "Ostatnie ";
inline constexpr const char* kProtectedTail = "bajty EEPROMu są chronione przed zapisem!";
inline constexpr const char* kNoEclkdiv = "Nie ustawiono ECLKDIV!";
inline constexpr const char* kEstatBeforeErase = "1: Błędy w rejestrze ESTAT!";
inline constexpr const char* kEstatAfterErase = "2: Błędy w rejestrze ESTAT ! ";
inline constexpr const char* kEstatAfterWord = "3: Błędy w rejestrze ESTAT ! ";

}  // namespace hc12::texts
