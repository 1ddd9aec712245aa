// Serves a SerialPort (the virtual board's, on the real clock) over RFC 2217 from a
// thread of its own, for tests and benchmarks: the client's frames, RTS and purges
// reach the port, and what the port receives goes back with its line errors.
// While it runs, the thread is the only user of the port.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "Rfc2217Server.h"
#include "SerialPort.h"

namespace hc12::sim {

class SerialPortServer {
  public:
    explicit SerialPortServer(SerialPort& port) : port_(port) {}
    ~SerialPortServer() { Stop(); }
    SerialPortServer(const SerialPortServer&) = delete;
    SerialPortServer& operator=(const SerialPortServer&) = delete;

    // Listens on 127.0.0.1 (port 0: any free one) and starts serving. false with
    // `error` when the address cannot be taken.
    bool Start(uint16_t port, std::string* error);
    uint16_t Port() const { return listenPort_; }
    // Stops serving and listening; the port may be used by its owner again.
    void Stop();

    // The line settings the client asked for (read after Stop).
    const ComPortSettings& Settings() const { return server_.Settings(); }
    // How many RTS changes and purges arrived (read after Stop).
    int RtsChanges() const { return rtsChanges_; }
    int Purges() const { return purges_; }
    // Close the client's connection at the next turn of the loop.
    void DropClient() { dropClient_ = true; }

  private:
    class Bridge final : public Rfc2217Server::Device {
      public:
        explicit Bridge(SerialPortServer& owner) : owner_(owner) {}
        void OnData(const uint8_t* data, size_t size) override;
        void OnRts(bool active) override;
        void OnPurge(bool receive, bool transmit) override;
        void OnSettings(const ComPortSettings& settings) override;

      private:
        SerialPortServer& owner_;
    };

    void Run();

    SerialPort& port_;
    Bridge bridge_{*this};
    Rfc2217Server server_{bridge_};
    uint16_t listenPort_ = 0;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> dropClient_{false};
    uint64_t lastActivityUs_ = 0;
    int rtsChanges_ = 0;
    int purges_ = 0;
};

}  // namespace hc12::sim
