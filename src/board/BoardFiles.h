// The EEPROM image files of hc12prog-board: raw bytes, byte i = EEPROM byte i.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "VirtualBoard.h"

namespace hc12::board {

// Loads a regular file of at most the EEPROM's size into the board.
bool LoadImage(const std::string& path, sim::VirtualBoard& board, std::string* error);
// Whether the dump may go to path: absent, or a regular file (followed through links).
bool CanWriteDump(const std::string& path, std::string* error);
// Writes the image through a temporary file in the same folder, renamed over path.
bool WriteDump(const std::string& path, const std::vector<uint8_t>& image, std::string* error);

}  // namespace hc12::board
