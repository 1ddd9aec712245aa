// The Telnet layer on its own: escaping, the decoder fed in every possible split,
// and the option handshake, also between two ends that both ask at once.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "Rfc2217.h"
#include "SerialPort.h"
#include "TelnetCodec.h"

namespace hc12::telnet {
namespace {

using Bytes = std::vector<uint8_t>;

std::string Hex(const Bytes& b) {
    std::string s;
    char buf[4];
    for (uint8_t x : b) {
        std::snprintf(buf, sizeof buf, s.empty() ? "%02X" : " %02X", x);
        s += buf;
    }
    return s;
}

// Writes down what the decoder hands out; adjacent data merged, since how data is
// cut into calls depends on how the input was cut.
class Transcript final : public Decoder::Sink {
  public:
    std::vector<std::string> lines;
    Bytes data;
    void OnData(const uint8_t* d, size_t n) override { data.insert(data.end(), d, d + n); }
    void OnOption(uint8_t verb, uint8_t option) override {
        Flush();
        lines.push_back(std::string(verb == kWill   ? "WILL"
                                    : verb == kWont ? "WONT"
                                    : verb == kDo   ? "DO"
                                                    : "DONT") +
                        " " + std::to_string(option));
    }
    void OnSubnegotiation(uint8_t option, const Bytes& payload) override {
        Flush();
        lines.push_back("SB " + std::to_string(option) + ": " + Hex(payload));
    }
    void Flush() {
        if (!data.empty())
            lines.push_back("data: " + Hex(data));
        data.clear();
    }
};

TEST(TelnetCodec, EscapingDoublesEveryFF) {
    const struct {
        Bytes in, out;
    } cases[] = {
        {{}, {}},
        {{0x43, 0x00, 0x01}, {0x43, 0x00, 0x01}},
        {{0xFF}, {0xFF, 0xFF}},
        {{0x73, 0xFF, 0xFF, 0x0D}, {0x73, 0xFF, 0xFF, 0xFF, 0xFF, 0x0D}},
    };
    for (const auto& c : cases) {
        Bytes out;
        AppendEscaped(out, c.in.data(), c.in.size());
        EXPECT_EQ(out, c.out) << Hex(c.in);
    }
    // Inside a subnegotiation as well: a baud value with FF in it.
    EXPECT_EQ(Hex(rfc2217::Command(rfc2217::kSetBaudRate, {0x00, 0x00, 0xFF, 0x00})),
              "FF FA 2C 01 00 00 FF FF 00 FF F0");
}

TEST(TelnetCodec, DecoderGivesTheSameWhereverTheInputIsCut) {
    const struct {
        const char* name;
        Bytes in;
        std::vector<std::string> expected;
    } cases[] = {
        {"plain data", {0x70, 0x61, 0x77, 0x77}, {"data: 70 61 77 77"}},
        {"escaped FF in data", {0x01, 0xFF, 0xFF, 0x02}, {"data: 01 FF 02"}},
        {"options between data",
         {0x41, 0xFF, 0xFB, 0x00, 0x42, 0xFF, 0xFD, 0x2C},
         {"data: 41", "WILL 0", "data: 42", "DO 44"}},
        {"line state with escaped FF and data after it",
         {0xFF, 0xFA, 0x2C, 0x6A, 0xFF, 0xFF, 0xFF, 0xF0, 0x55},
         {"SB 44: 6A FF", "data: 55"}},
        {"NOP and go-ahead vanish", {0x10, 0xFF, 0xF1, 0xFF, 0xF9, 0x11}, {"data: 10 11"}},
        {"subnegotiation that never ends: the next command still counts",
         {0xFF, 0xFA, 0x2C, 0x6A, 0x08, 0xFF, 0xFB, 0x03, 0x20},
         {"WILL 3", "data: 20"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // Whole, then cut once at every position, then byte by byte.
        for (size_t cut = 0; cut <= c.in.size() + 1; ++cut) {
            Decoder decoder;
            Transcript t;
            if (cut <= c.in.size()) {
                decoder.Feed(c.in.data(), cut, t);
                decoder.Feed(c.in.data() + cut, c.in.size() - cut, t);
            } else {
                for (uint8_t b : c.in)
                    decoder.Feed(&b, 1, t);
            }
            t.Flush();
            EXPECT_EQ(t.lines, c.expected) << "cut at " << cut;
        }
    }
}

TEST(TelnetCodec, OverlongSubnegotiationIsDroppedWhole) {
    Bytes in{0xFF, 0xFA, 0x2C};
    in.insert(in.end(), kMaxSubnegotiation + 10, 0x06);
    in.insert(in.end(), {0xFF, 0xF0, 0x33});
    Decoder decoder;
    Transcript t;
    decoder.Feed(in.data(), in.size(), t);
    t.Flush();
    EXPECT_EQ(t.lines, std::vector<std::string>{"data: 33"});
}

TEST(TelnetCodec, NegotiationAnswersOnlyWhatChangesHands) {
    // We accept binary and COM port control on our side, binary on the peer's.
    const struct {
        const char* name;
        std::vector<std::pair<uint8_t, uint8_t>> requests;  // our WILL (kWill) / DO (kDo)
        std::vector<std::pair<uint8_t, uint8_t>> received;
        Bytes replies;
        bool comPortOn, comPortPending, binaryRemoteOn;
    } cases[] = {
        {"our request acknowledged: no answer to the answer",
         {{kWill, kOptComPort}, {kDo, kOptBinary}},
         {{kDo, kOptComPort}, {kWill, kOptBinary}},
         {},
         true,
         false,
         true},
        {"unasked DO for an option we take",
         {},
         {{kDo, kOptComPort}},
         {kIac, kWill, 44},
         true,
         false,
         false},
        {"repeated DO once on: silence",
         {},
         {{kDo, 44}, {kDo, 44}},
         {kIac, kWill, 44},
         true,
         false,
         false},
        {"DO for an option we do not have",
         {},
         {{kDo, kOptEcho}},
         {kIac, kWont, 1},
         false,
         false,
         false},
        {"the server offers to echo",
         {},
         {{kWill, kOptEcho}},
         {kIac, kDont, 1},
         false,
         false,
         false},
        {"request refused: no answer, no longer pending",
         {{kWill, kOptComPort}},
         {{kDont, kOptComPort}},
         {},
         false,
         false,
         false},
        {"request never answered", {{kWill, kOptComPort}}, {}, {}, false, true, false},
        {"switched off after being on",
         {{kDo, kOptBinary}},
         {{kWill, kOptBinary}, {kWont, kOptBinary}, {kWont, kOptBinary}},
         {kIac, kDont, 0},
         false,
         false,
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Negotiation n({kOptBinary, kOptComPort}, {kOptBinary});
        Bytes sent;
        for (auto [verb, option] : c.requests) {
            if (verb == kWill)
                n.RequestLocal(option, sent);
            else
                n.RequestRemote(option, sent);
        }
        Bytes replies;
        for (auto [verb, option] : c.received)
            n.Receive(verb, option, replies);
        EXPECT_EQ(Hex(replies), Hex(c.replies));
        EXPECT_EQ(n.LocalOn(kOptComPort), c.comPortOn);
        EXPECT_EQ(n.LocalPending(kOptComPort), c.comPortPending);
        EXPECT_EQ(n.RemoteOn(kOptBinary), c.binaryRemoteOn);
    }
}

// Delivers everything each end says to the other until both fall silent.
int Converse(Negotiation& a, Bytes toB, Negotiation& b, Bytes toA) {
    int rounds = 0;
    while ((!toA.empty() || !toB.empty()) && rounds < 50) {
        ++rounds;
        Bytes nextToA, nextToB;
        for (size_t i = 0; i + 3 <= toB.size(); i += 3)
            b.Receive(toB[i + 1], toB[i + 2], nextToA);
        for (size_t i = 0; i + 3 <= toA.size(); i += 3)
            a.Receive(toA[i + 1], toA[i + 2], nextToB);
        toA = nextToA;
        toB = nextToB;
    }
    return rounds;
}

TEST(TelnetCodec, TwoEndsAskingAtOnceAgreeWithoutLooping) {
    // A client and a server that both ask for binary both ways at the same moment,
    // and for options the other will not have.
    Negotiation client({kOptBinary, kOptComPort, kOptSuppressGoAhead},
                       {kOptBinary, kOptSuppressGoAhead});
    Negotiation server({kOptBinary, kOptSuppressGoAhead},
                       {kOptBinary, kOptComPort, kOptSuppressGoAhead});
    Bytes fromClient, fromServer;
    client.RequestLocal(kOptBinary, fromClient);
    client.RequestRemote(kOptBinary, fromClient);
    client.RequestLocal(kOptComPort, fromClient);
    client.RequestRemote(24, fromClient);  // terminal type: the server has none
    server.RequestLocal(kOptBinary, fromServer);
    server.RequestRemote(kOptBinary, fromServer);
    server.RequestLocal(kOptEcho, fromServer);  // the client will not have it
    server.RequestRemote(kOptComPort, fromServer);

    EXPECT_LE(Converse(client, fromClient, server, fromServer), 3);
    EXPECT_TRUE(client.LocalOn(kOptBinary) && client.RemoteOn(kOptBinary));
    EXPECT_TRUE(server.LocalOn(kOptBinary) && server.RemoteOn(kOptBinary));
    EXPECT_TRUE(client.LocalOn(kOptComPort) && server.RemoteOn(kOptComPort));
    EXPECT_FALSE(client.RemoteOn(24) || client.RemotePending(24));
    EXPECT_FALSE(server.LocalOn(kOptEcho) || server.LocalPending(kOptEcho));
}

TEST(TelnetCodec, LineStateErrorsMapBothWays) {
    const struct {
        uint8_t line;
        uint32_t errors;
    } cases[] = {
        {0x08, kCeFrame},
        {0x04, kCeRxParity},
        {0x02, kCeOverrun},
        {0x10, kCeBreak},
        {0x0C, kCeFrame | kCeRxParity},
        {0x61, 0},  // data ready, holding and shift registers empty: no error
    };
    for (const auto& c : cases) {
        EXPECT_EQ(rfc2217::LineStateToErrors(c.line), c.errors) << int(c.line);
        EXPECT_EQ(rfc2217::ErrorsToLineState(c.errors), c.line & rfc2217::kLineErrorBits);
    }
}

}  // namespace
}  // namespace hc12::telnet
