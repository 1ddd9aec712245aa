// Port values: "virtual[:options]" is the virtual board on the given clock,
// "rfc2217://HOST:PORT" a port behind a network serial server, anything else a
// serial device opened with the platform's port.
#include "PortFactory.h"

#include <cstdlib>

#include "Rfc2217SerialPort.h"
#include "VirtualBoard.h"
#ifdef _WIN32
#include "Win32SerialPort.h"
#else
#include "PosixSerialPort.h"
#endif

namespace hc12 {
namespace {

constexpr const char* kMenuPortNames[4] = {"COM1", "COM2", "COM3", "COM4"};

bool IsVirtualValue(const std::string& value) {
    return value.rfind("virtual", 0) == 0 && (value.size() == 7 || value[7] == ':');
}

// A port that owns the board behind it, so the board lives exactly as long as the
// port the serial link caches.
class OwnedBoardPort final : public SerialPort {
  public:
    OwnedBoardPort(Clock& clock, sim::BoardOptions options)
        : board_(std::make_unique<sim::VirtualBoard>(clock, std::move(options))),
          port_(board_->OpenPort()) {}
    void ApplyLineSettings() override { port_->ApplyLineSettings(); }
    void SetRts(bool active) override { port_->SetRts(active); }
    bool Write(const uint8_t* data, size_t size) override { return port_->Write(data, size); }
    LineStatus ClearErrors() override { return port_->ClearErrors(); }
    size_t Read(uint8_t* dest, size_t maxSize) override { return port_->Read(dest, maxSize); }
    bool WaitForInput(uint32_t timeoutMs) override { return port_->WaitForInput(timeoutMs); }
    void Purge() override { port_->Purge(); }
    bool HungUp() override { return port_->HungUp(); }
    void HintModel(const std::string& modelName) override { port_->HintModel(modelName); }

  private:
    std::unique_ptr<sim::VirtualBoard> board_;
    std::unique_ptr<SerialPort> port_;
};

}  // namespace

PortMap PortMap::Defaults() {
#ifdef _WIN32
    return PortMap{{"COM1", "COM2", "COM3", "COM4"}};
#else
    return PortMap{{"/dev/ttyS0", "/dev/ttyS1", "/dev/ttyS2", "/dev/ttyS3"}};
#endif
}

void PortMap::ApplyEnvironment() {
    for (size_t i = 0; i < values.size(); ++i) {
        const std::string name = std::string("HC12_PORT_") + kMenuPortNames[i];
        const char* value = std::getenv(name.c_str());
        if (value != nullptr && *value != '\0')
            values[i] = value;
    }
}

bool PortMap::ApplyAssignment(const std::string& assignment, std::string* error) {
    const size_t eq = assignment.find('=');
    const std::string name = assignment.substr(0, eq);
    for (size_t i = 0; i < values.size(); ++i) {
        if (name != kMenuPortNames[i])
            continue;
        if (eq == std::string::npos || eq + 1 == assignment.size())
            break;
        values[i] = assignment.substr(eq + 1);
        return true;
    }
    if (error != nullptr)
        *error = "expected COM1..COM4=VALUE, got \"" + assignment + "\"";
    return false;
}

std::unique_ptr<SerialPort> OpenPortValue(const std::string& value, Clock& clock,
                                          std::string* error) {
    std::string why;
    if (IsVirtualValue(value)) {
        std::optional<sim::BoardOptions> options = sim::ParseBoardOptions(value, &why);
        if (!options) {
            if (error != nullptr)
                *error = value + ": " + why;
            return nullptr;
        }
        return std::make_unique<OwnedBoardPort>(clock, std::move(*options));
    }
    std::unique_ptr<SerialPort> port;
    if (IsRfc2217Value(value))
        port = OpenRfc2217SerialPort(value, &why);
    else
#ifdef _WIN32
        port = OpenWin32SerialPort(value, &why);
#else
        port = OpenPosixSerialPort(value, &why);
#endif
    if (!port && error != nullptr)
        *error = why;
    return port;
}

}  // namespace hc12
