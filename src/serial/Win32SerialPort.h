// The serial port on Windows (Win32 communications API), for names such as COM1.
#pragma once

#include <memory>
#include <string>

#include "SerialPort.h"

namespace hc12 {

// Opens the port `name` ("COM1", "COM10", or a full "\\.\..." device name)
// exclusively with the fixed line settings. nullptr when it is missing or held by
// another program; `error` (if given) then says why.
std::unique_ptr<SerialPort> OpenWin32SerialPort(const std::string& name, std::string* error);

}  // namespace hc12
