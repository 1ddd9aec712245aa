#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ScriptedPort.h"
#include "SerialLink.h"

namespace hc12 {
namespace {

using test::ScriptedPort;
using Bytes = std::vector<uint8_t>;

// The program's texts as UTF-8 bytes.
const std::string kCaptionError =
    "B\xC5\x82\xC4\x85"
    "d";
const std::string kPortError = "Niew\xC5\x82\x61\xC5\x9B\x63iwa nazwa portu lub port jest aktywny.";
const std::string kFrameText =
    "Wykryto b\xC5\x82\xC4\x99"
    "dy w ramce";
const std::string kIoText =
    "Wykryto b\xC5\x82\xC4\x99"
    "dy I/O";
const std::string kRxOverText =
    "Bufor wej\xC5\x9B"
    "cia przepe\xC5\x82niony. Nas\xC4\x85pi utrata cz\xC4\x99\xC5\x9B"
    "ci danych";
const std::string kParityText =
    "Wykryto b\xC5\x82\xC4\x85"
    "d parzysto\xC5\x9B"
    "ci";
const std::string kTxFullText =
    "Bufor wyj\xC5\x9B"
    "cia przepe\xC5\x82niony. Dane nie mog\xC4\x85 zosta\xC4\x87 wys\xC5\x82"
    "ane";

class RecordingView final : public LinkView {
  public:
    MsgAnswer ShowMessage(const Message& message) override {
        messages.push_back(message);
        return MsgAnswer::Ok;
    }
    void ShowNotConnected() override { ++notConnected; }

    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const auto& m : messages) {
            texts.push_back(m.text);
        }
        return texts;
    }

    std::vector<Message> messages;
    int notConnected = 0;
};

class SerialLinkTest : public ::testing::Test {
  protected:
    SerialLinkTest() : link(clock, view, [this](const std::string& name) { return Open(name); }) {}

    // Scripts what the next open of `name` yields; nullptr = the open fails.
    ScriptedPort* Offer(const std::string& name, bool* destroyed = nullptr) {
        auto port = std::make_unique<ScriptedPort>(clock, destroyed);
        ScriptedPort* raw = port.get();
        offers[name].push_back(std::move(port));
        return raw;
    }
    void OfferFailure(const std::string& name) { offers[name].push_back(nullptr); }

    // A connected link on COM1.
    ScriptedPort* Connected() {
        ScriptedPort* port = Offer("COM1");
        EXPECT_TRUE(link.OpenPort(0));
        link.SetConnectionState(kConnected);
        return port;
    }

    std::unique_ptr<SerialPort> Open(const std::string& name) {
        opened.push_back(name);
        auto& queue = offers[name];
        if (queue.empty()) {
            return nullptr;
        }
        auto port = std::move(queue.front());
        queue.pop_front();
        return port;
    }

    VirtualClock clock;
    RecordingView view;
    std::map<std::string, std::deque<std::unique_ptr<ScriptedPort>>> offers;
    std::vector<std::string> opened;
    SerialLink link;
};

// A link of its own on a fresh clock, connected to one scripted port: for the
// tables whose cases must not share a clock or a view.
struct OwnLink {
    OwnLink()
        : link(clock, view, [this](const std::string&) {
              auto p = std::make_unique<ScriptedPort>(clock);
              port = p.get();
              return p;
          }) {
        EXPECT_TRUE(link.OpenPort(0));
        link.SetConnectionState(kConnected);
    }
    VirtualClock clock;
    RecordingView view;
    ScriptedPort* port = nullptr;
    SerialLink link;
};

// --- exchange ---------------------------------------------------------------

TEST_F(SerialLinkTest, ReadByteSendsTheRequestAndReturnsTheReply) {
    ScriptedPort* port = Connected();
    port->onWrite = [port](const Bytes&) { port->ArriveAfterMs(3, {0x5A}); };

    EXPECT_EQ(link.Exchange(1, 0x0115), 0x5A);
    EXPECT_EQ(port->writes, (std::vector<Bytes>{{0x43, 0x01, 0x15}}));
    EXPECT_EQ(link.ConnectionState(), kConnected);
    EXPECT_EQ(view.notConnected, 0);
}

TEST_F(SerialLinkTest, SendFrameWritesTheWholeFrameAndReadsNothing) {
    ScriptedPort* port = Connected();
    link.SendFrame(WriteWordFrame(0x0C00, 0x12, 0x34));
    EXPECT_EQ(port->writes, (std::vector<Bytes>{{0x73, 0x0C, 0x00, 0x12, 0x34}}));
    EXPECT_TRUE(port->readSizes.empty());
    EXPECT_EQ(port->waitCount, 0);
}

// The interface takes the frame time to carry out a frame and holds one byte
// meanwhile: the next frame goes out once no more than its first byte can arrive
// early (the link counts the wire time itself, whatever the port reports). A reply
// proves the interface free at once. At a frame time of 0 only the wire sets the pace.
TEST_F(SerialLinkTest, FramesWaitForTheInterfaceUnlessAReplyProvedItFree) {
    for (const uint32_t frameTimeUs : {1000u, 0u}) {
        SCOPED_TRACE(frameTimeUs);
        OwnLink own;
        ScriptedPort* port = own.port;
        ASSERT_NE(port, nullptr);
        own.link.SetFrameTimeUs(frameTimeUs);

        const uint64_t startUs = own.clock.NowUs();
        own.link.SendFrame(WriteByteFrame(0x00F3, 0x82));
        own.link.SendFrame(WriteWordFrame(0x0C00, 0x12, 0x34));
        ASSERT_EQ(port->writeEndUs.size(), 2u);
        EXPECT_EQ(port->writeEndUs[1] - startUs,
                  4 * kByteTimeUs + frameTimeUs - 2 * kByteTimeFloorUs);

        port->onWrite = [&](const Bytes& frame) {
            if (frame[0] == 0x43)
                port->ArriveAfterMs(1, {0x5A});
        };
        EXPECT_EQ(own.link.Exchange(1, 0x00F3), 0x5A);
        const uint64_t repliedUs = own.clock.NowUs();
        own.link.SendFrame(WriteByteFrame(0x00F3, 0x80));
        EXPECT_EQ(port->writeEndUs.back(), repliedUs);
        EXPECT_TRUE(own.view.messages.empty());
    }
}

TEST_F(SerialLinkTest, BytesArrivingTogetherAreReturnedOnePerCallWithoutWaiting) {
    ScriptedPort* port = Connected();
    port->onWrite = [port](const Bytes&) { port->ArriveAfterMs(2, {0xAA, 0x55}); };
    link.SendFrame(ReadWordFrame(0x0800));

    EXPECT_EQ(link.Exchange(1, -1), 0xAA);
    const int waits = port->waitCount;
    const uint64_t now = clock.NowUs();
    EXPECT_EQ(link.Exchange(1, -1), 0x55);
    EXPECT_EQ(port->waitCount, waits);
    EXPECT_EQ(clock.NowUs(), now);
    EXPECT_EQ(link.ConnectionState(), kConnected);
    EXPECT_EQ(port->writes.size(), 1u);  // receive-only exchanges send nothing
}

TEST_F(SerialLinkTest, FlushDiscardsBytesNotYetReturned) {
    ScriptedPort* port = Connected();
    port->onWrite = [port](const Bytes&) { port->ArriveAfterMs(2, {0xAA, 0x55}); };
    link.SendFrame(ReadWordFrame(0x0800));
    ASSERT_EQ(link.Exchange(1, -1), 0xAA);

    EXPECT_EQ(link.Exchange(-1, -1), 0);
    EXPECT_EQ(link.RxPending(), 0);
    EXPECT_EQ(link.Exchange(1, -1), 0);  // the 0x55 is gone: time-out
    EXPECT_EQ(link.ConnectionState(), kNotConnected);
}

TEST_F(SerialLinkTest, ZeroReplyKeepsTheLinkButSilenceLosesIt) {
    for (const bool replies : {true, false}) {
        SCOPED_TRACE(replies ? "reply 0x00" : "no reply");
        OwnLink own;
        ScriptedPort* port = own.port;
        ASSERT_NE(port, nullptr);
        port->writeDurationUs = 5000;
        if (replies) {
            port->onWrite = [&](const Bytes&) { port->ArriveAfterMs(20, {0x00}); };
        }

        EXPECT_EQ(own.link.Exchange(1, 0x0040), 0x00);
        const uint64_t sinceSentUs = own.clock.NowUs() - port->writeEndUs.at(0);
        EXPECT_TRUE(own.view.messages.empty());
        if (replies) {
            EXPECT_EQ(own.link.ConnectionState(), kConnected);
            EXPECT_EQ(own.view.notConnected, 0);
        } else {
            EXPECT_EQ(own.link.ConnectionState(), kNotConnected);
            EXPECT_EQ(uint8_t(own.link.ConnectionState()), 255);
            EXPECT_EQ(own.view.notConnected, 1);
            EXPECT_GE(sinceSentUs, 300000u);
            // Waited in the port, not by polling the line over and over.
            EXPECT_LE(port->clearTimesUs.size(), 3u);
        }
    }
}

TEST_F(SerialLinkTest, TimeOutRunsFromWhenTheFrameHasLeft) {
    // The frame takes 50 ms to leave; a reply 290 ms after that is in time, one
    // 310 ms after it is not.
    struct Case {
        uint32_t replyAfterMs;
        bool inTime;
    };
    for (const Case c : {Case{290, true}, Case{310, false}}) {
        SCOPED_TRACE(c.replyAfterMs);
        OwnLink own;
        ScriptedPort* port = own.port;
        ASSERT_NE(port, nullptr);
        port->writeDurationUs = 50000;
        port->onWrite = [&](const Bytes&) { port->ArriveAfterMs(c.replyAfterMs, {0x77}); };

        EXPECT_EQ(own.link.Exchange(1, 0x0800), c.inTime ? 0x77 : 0x00);
        EXPECT_EQ(own.link.Connected(), c.inTime);
    }
}

// --- line errors ------------------------------------------------------------

TEST_F(SerialLinkTest, LineErrorsShowTheirBoxesInOrderThenLoseTheLink) {
    struct Case {
        uint32_t errors;
        std::vector<std::string> texts;
    };
    const Case cases[] = {
        {kCeFrame | kCeRxParity, {kFrameText, kParityText}},
        {kCeOverrun, {}},
        {kCeBreak, {}},
        {kCeIoe, {kIoText}},
        {kCeTxFull | kCeRxOver, {kRxOverText, kTxFullText}},
        {kCeTxFull | kCeRxParity | kCeRxOver | kCeIoe | kCeFrame | kCeOverrun | kCeBreak,
         {kFrameText, kIoText, kRxOverText, kParityText, kTxFullText}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.errors);
        OwnLink own;
        ScriptedPort* port = own.port;
        ASSERT_NE(port, nullptr);
        // The error comes with a good-looking byte, which must not be returned.
        port->onWrite = [&](const Bytes&) { port->ArriveAfterMs(4, {0x42}, c.errors); };

        EXPECT_EQ(own.link.Exchange(1, 0x0100), 0x00);
        EXPECT_EQ(own.view.Texts(), c.texts);
        for (const auto& m : own.view.messages) {
            EXPECT_EQ(m.caption, kCaptionError);
            EXPECT_EQ(m.buttons, MsgButtons::Ok);
            EXPECT_EQ(m.icon, MsgIcon::Exclamation);
        }
        EXPECT_EQ(own.link.ConnectionState(), kNotConnected);
        EXPECT_EQ(own.view.notConnected, 1);
    }
}

TEST_F(SerialLinkTest, LineErrorLosesNoByteAlreadyReceived) {
    ScriptedPort* port = Connected();
    port->onWrite = [port](const Bytes&) { port->ArriveAfterMs(2, {0x11, 0x22, 0x33}); };
    link.SendFrame(ReadWordFrame(0x0800));
    ASSERT_EQ(link.Exchange(1, -1), 0x11);

    port->ArriveAfterMs(0, {}, kCeOverrun);
    EXPECT_EQ(link.Exchange(1, -1), 0x00);
    EXPECT_FALSE(link.Connected());
    EXPECT_EQ(link.Exchange(1, -1), 0x22);
    EXPECT_EQ(link.Exchange(1, -1), 0x33);
}

// --- flush ------------------------------------------------------------------

TEST_F(SerialLinkTest, FlushRepeatsEvery30msUntilTheLineIsQuietAndStaysSilent) {
    ScriptedPort* port = Connected();
    // A byte every 10 ms for 100 ms, and a line error on the way.
    port->StreamEveryMs(10, 100);
    port->ArriveAfterMs(45, {}, kCeFrame);
    const uint64_t start = clock.NowUs();

    EXPECT_EQ(link.Exchange(-1, -1), 0);

    // Passes at 30, 60, 90, 120 ms find bytes; the one at 150 ms finds none.
    ASSERT_EQ(port->clearTimesUs.size(), 5u);
    for (size_t i = 0; i < port->clearTimesUs.size(); ++i) {
        EXPECT_EQ(port->clearTimesUs[i] - start, (i + 1) * 30000u);
    }
    EXPECT_EQ(port->purgeCount, 5);
    EXPECT_EQ(port->Queued(), 0u);
    EXPECT_TRUE(view.messages.empty());
    EXPECT_EQ(link.ConnectionState(), kConnected);
    EXPECT_EQ(view.notConnected, 0);
}

TEST_F(SerialLinkTest, FlushOfALineThatNeverFallsQuietIsBoundedAndLosesTheLink) {
    ScriptedPort* port = Connected();
    port->StreamEveryMs(5, ScriptedPort::kForever);

    EXPECT_EQ(link.Exchange(-1, -1), 0);

    EXPECT_EQ(port->purgeCount, kFlushMaxPasses);
    EXPECT_EQ(link.ConnectionState(), kNotConnected);
    EXPECT_EQ(view.notConnected, 1);
    EXPECT_TRUE(view.messages.empty());
}

// --- receive buffer ---------------------------------------------------------

TEST_F(SerialLinkTest, ReceiveNeverReadsPastTheRoomLeftAndKeepsTheOrder) {
    ScriptedPort* port = Connected();
    Bytes first(1000), second(1000);
    for (size_t i = 0; i < 1000; ++i) {
        first[i] = uint8_t(i * 7);
        second[i] = uint8_t(i * 13 + 1);
    }
    port->ArriveAfterMs(0, first);
    ASSERT_EQ(link.Exchange(1, -1), first[0]);
    ASSERT_EQ(link.RxPending(), 999);

    // 999 bytes still pending leave room for 25; the rest must wait in the driver.
    port->ArriveAfterMs(0, second);
    Bytes got{first[0]};
    for (int i = 0; i < 1999; ++i) {
        got.push_back(link.Exchange(1, -1));
    }
    ASSERT_GE(port->readSizes.size(), 2u);
    EXPECT_LE(port->readSizes[1], 25u);
    for (size_t size : port->readSizes) {
        EXPECT_LE(size, size_t(kRxBufferSize));
    }
    Bytes expected = first;
    expected.insert(expected.end(), second.begin(), second.end());
    EXPECT_EQ(got, expected);
    EXPECT_TRUE(link.Connected());
    EXPECT_EQ(port->Queued(), 0u);
}

// --- ports ------------------------------------------------------------------

TEST_F(SerialLinkTest, PortIsOpenedOnceAndSettingsReappliedOnEveryChoice) {
    bool com1Closed = false;
    ScriptedPort* com1 = Offer("COM1", &com1Closed);
    ScriptedPort* com2 = Offer("COM2");

    EXPECT_FALSE(link.PortChosen());
    EXPECT_TRUE(link.OpenPort(0));
    EXPECT_EQ(opened, (std::vector<std::string>{"COM1"}));
    EXPECT_EQ(com1->applyCount, 1);
    EXPECT_TRUE(link.PortChosen());
    EXPECT_EQ(link.CurrentPort(), com1);

    EXPECT_TRUE(link.OpenPort(0));
    EXPECT_EQ(opened.size(), 1u);
    EXPECT_EQ(com1->applyCount, 2);

    EXPECT_TRUE(link.OpenPort(1));
    EXPECT_EQ(opened, (std::vector<std::string>{"COM1", "COM2"}));
    EXPECT_FALSE(com1Closed);
    link.SendFrame(RunFrame());
    link.SetRts(true);
    EXPECT_EQ(com2->writes.size(), 1u);
    EXPECT_EQ(com2->rts, (std::vector<bool>{true}));
    EXPECT_TRUE(com1->writes.empty());

    EXPECT_TRUE(link.OpenPort(0));
    EXPECT_EQ(opened.size(), 2u);
    EXPECT_EQ(com1->applyCount, 3);
    link.SendFrame(RunFrame());
    EXPECT_EQ(com1->writes.size(), 1u);
    EXPECT_TRUE(view.messages.empty());
}

TEST_F(SerialLinkTest, FailedOpenIsTriedAgainWithTheMessageEachTime) {
    OfferFailure("COM3");
    OfferFailure("COM3");
    ScriptedPort* com3 = Offer("COM3");

    EXPECT_FALSE(link.OpenPort(2));
    EXPECT_FALSE(link.PortValid());
    EXPECT_TRUE(link.PortChosen());
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].text, kPortError);
    EXPECT_EQ(view.messages[0].caption, kCaptionError);
    EXPECT_EQ(view.messages[0].buttons, MsgButtons::Ok);
    EXPECT_EQ(view.messages[0].icon, MsgIcon::Error);

    EXPECT_FALSE(link.OpenPort(2));
    EXPECT_EQ(view.messages.size(), 2u);
    EXPECT_EQ(view.messages[1].text, kPortError);

    EXPECT_TRUE(link.OpenPort(2));
    EXPECT_EQ(opened, (std::vector<std::string>{"COM3", "COM3", "COM3"}));
    EXPECT_EQ(view.messages.size(), 2u);
    EXPECT_EQ(link.CurrentPort(), com3);
    EXPECT_EQ(com3->applyCount, 1);
}

// An adapter pulled out leaves a dead handle: the port is closed and dropped, by the
// exchange that meets the hang-up or by the next choice of the port, and the next
// choice opens the device afresh.
TEST_F(SerialLinkTest, HungUpPortIsClosedAndOpenedAfreshOnTheNextChoice) {
    bool firstClosed = false, secondClosed = false;
    ScriptedPort* first = Offer("COM1", &firstClosed);
    ASSERT_TRUE(link.OpenPort(0));
    link.SetConnectionState(kConnected);
    first->hungUp = true;
    first->ArriveAfterMs(0, {}, kCeIoe);
    EXPECT_EQ(link.Exchange(1, -1), 0);
    EXPECT_EQ(view.Texts(), std::vector<std::string>{kIoText});
    EXPECT_TRUE(firstClosed);
    EXPECT_FALSE(link.PortValid());
    EXPECT_EQ(link.ChosenPort(), 0);

    ScriptedPort* second = Offer("COM1", &secondClosed);
    EXPECT_TRUE(link.OpenPort(0));
    EXPECT_EQ(link.CurrentPort(), second);

    // Hung up while nothing was exchanged: choosing it again is enough.
    second->hungUp = true;
    ScriptedPort* third = Offer("COM1");
    EXPECT_TRUE(link.OpenPort(0));
    EXPECT_TRUE(secondClosed);
    EXPECT_EQ(link.CurrentPort(), third);
    EXPECT_EQ(opened, (std::vector<std::string>{"COM1", "COM1", "COM1"}));
}

TEST_F(SerialLinkTest, WithoutAUsablePortEveryReceiveTimesOut) {
    for (const bool chooseFailingPort : {false, true}) {
        SCOPED_TRACE(chooseFailingPort ? "failed open" : "no port chosen");
        VirtualClock localClock;
        RecordingView localView;
        SerialLink local(localClock, localView, [](const std::string&) { return nullptr; });
        if (chooseFailingPort) {
            EXPECT_FALSE(local.OpenPort(3));
        }
        local.SetConnectionState(kConnected);

        EXPECT_EQ(local.Exchange(-1, -1), 0);  // a flush just ends
        EXPECT_TRUE(local.Connected());

        const uint32_t before = localClock.TickMs();
        local.SendFrame(RunFrame());
        EXPECT_EQ(local.Exchange(1, 0x0010), 0);
        EXPECT_GE(localClock.TickMs() - before, kReplyTimeoutMs);
        EXPECT_EQ(local.ConnectionState(), kNotConnected);
        EXPECT_EQ(localView.notConnected, 1);
    }
}

TEST_F(SerialLinkTest, CloseAllClosesEveryPortOpened) {
    bool com1Closed = false, com2Closed = false;
    Offer("COM1", &com1Closed);
    Offer("COM2", &com2Closed);
    ASSERT_TRUE(link.OpenPort(0));
    ASSERT_TRUE(link.OpenPort(1));

    link.CloseAll();
    EXPECT_TRUE(com1Closed);
    EXPECT_TRUE(com2Closed);
    EXPECT_FALSE(link.PortValid());
}

}  // namespace
}  // namespace hc12
