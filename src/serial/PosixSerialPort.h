// The serial port on POSIX systems (termios), for device paths such as /dev/ttyUSB0.
#pragma once

#include <memory>
#include <string>

#include "SerialPort.h"

namespace hc12 {

// Opens `path` exclusively with the fixed line settings. nullptr when the device is
// missing, busy or not a terminal; `error` (if given) then says why.
std::unique_ptr<SerialPort> OpenPosixSerialPort(const std::string& path, std::string* error);

}  // namespace hc12
