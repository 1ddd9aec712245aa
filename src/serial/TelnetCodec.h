// The Telnet layer under RFC 2217: escaping of 0xFF in data, a decoder that splits
// a received stream into data, option commands and subnegotiations (and keeps its
// place when a sequence is split across reads), and the option handshake kept free
// of loops (RFC 1143, without the queue: we never take an option back).
#pragma once

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace hc12::telnet {

inline constexpr uint8_t kSe = 240;
inline constexpr uint8_t kNop = 241;
inline constexpr uint8_t kSb = 250;
inline constexpr uint8_t kWill = 251;
inline constexpr uint8_t kWont = 252;
inline constexpr uint8_t kDo = 253;
inline constexpr uint8_t kDont = 254;
inline constexpr uint8_t kIac = 255;

inline constexpr uint8_t kOptBinary = 0;
inline constexpr uint8_t kOptEcho = 1;
inline constexpr uint8_t kOptSuppressGoAhead = 3;
inline constexpr uint8_t kOptComPort = 44;

// A subnegotiation longer than this is not one we know; it is dropped whole.
inline constexpr size_t kMaxSubnegotiation = 64;

// Appends data with every 0xFF doubled.
void AppendEscaped(std::vector<uint8_t>& out, const uint8_t* data, size_t size);
// IAC verb option.
void AppendCommand(std::vector<uint8_t>& out, uint8_t verb, uint8_t option);
// IAC SB option payload IAC SE, 0xFF in the payload doubled.
void AppendSubnegotiation(std::vector<uint8_t>& out, uint8_t option,
                          const std::vector<uint8_t>& payload);

class Decoder {
  public:
    class Sink {
      public:
        virtual ~Sink() = default;
        virtual void OnData(const uint8_t* data, size_t size) = 0;
        // verb: kWill, kWont, kDo or kDont.
        virtual void OnOption(uint8_t verb, uint8_t option) = 0;
        virtual void OnSubnegotiation(uint8_t option, const std::vector<uint8_t>& payload) = 0;
    };

    // Hands what `data` holds to the sink in the order it came; a sequence cut off
    // at the end waits for the next call.
    void Feed(const uint8_t* data, size_t size, Sink& sink);

  private:
    enum class State { Data, Iac, Verb, SbOption, SbData, SbIac };
    State state_ = State::Data;
    uint8_t verb_ = 0;
    uint8_t sbOption_ = 0;
    bool sbOverflow_ = false;
    std::vector<uint8_t> sb_;
};

// Which options each side has on. "Local" is this end's own option (WILL/WONT from
// us, DO/DONT from the peer), "remote" the peer's.
class Negotiation {
  public:
    // The options this end lets itself and the peer turn on when asked.
    Negotiation(std::initializer_list<uint8_t> localAccepted,
                std::initializer_list<uint8_t> remoteAccepted);

    // Ask to turn an option on; appends the request unless it is on or asked for.
    void RequestLocal(uint8_t option, std::vector<uint8_t>& out);
    void RequestRemote(uint8_t option, std::vector<uint8_t>& out);
    // A command from the peer; appends the answer it needs (often none).
    void Receive(uint8_t verb, uint8_t option, std::vector<uint8_t>& out);

    bool LocalOn(uint8_t option) const { return local_[option] == Side::Yes; }
    bool RemoteOn(uint8_t option) const { return remote_[option] == Side::Yes; }
    // Asked for and not answered yet.
    bool LocalPending(uint8_t option) const { return local_[option] == Side::WantYes; }
    bool RemotePending(uint8_t option) const { return remote_[option] == Side::WantYes; }

  private:
    enum class Side : uint8_t { No, Yes, WantYes };
    Side local_[256] = {};
    Side remote_[256] = {};
    std::bitset<256> localAccepted_;
    std::bitset<256> remoteAccepted_;
};

}  // namespace hc12::telnet
