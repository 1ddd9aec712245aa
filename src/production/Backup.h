// Backups of what a unit's EEPROM held before a write: S-records of the address
// window under a new name in the backup folder, on the disk before the write's
// first erase. A backup never replaces a file; restoring one is an ordinary write
// of it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace hc12::production {

// A folder that exists and takes new files.
bool CheckBackupFolder(const std::filesystem::path& folder, std::string* error);

// Saves `bytes` (the EEPROM from `start` on) as "STEM-YYYYMMDDTHHMMSSZ.s19" in
// `folder` (with -2, -3, ... when that name is taken). *saved is the path.
bool SaveBackup(const std::filesystem::path& folder, const std::string& stem, uint32_t start,
                const std::vector<uint8_t>& bytes, std::filesystem::path* saved,
                std::string* error);

// A port value or other text made safe as (part of) a file name:
// "/dev/serial/by-id/usb-FTDI_x-if00-port0" -> "usb-FTDI_x-if00-port0",
// "rfc2217://10.0.0.5:2001" -> "10.0.0.5_2001".
std::string SafeFileNamePart(const std::string& text);

}  // namespace hc12::production
