// The programmer against the board served on a line without RTS (as on a
// pseudo-terminal), on the virtual clock: the board takes its reset from the purge
// or the byte read before the program's pulse, and the quiet that follows.
#include <gtest/gtest.h>

#include <deque>

#include "BoardSession.h"
#include "TargetRig.h"

namespace hc12::testing {
namespace {

// The PC's end of such a line: RTS goes nowhere, the rest reaches the session.
class SessionPort final : public SerialPort {
  public:
    SessionPort(sim::BoardSession& session, VirtualClock& clock)
        : session_(session), clock_(clock) {}
    void ApplyLineSettings() override {}
    void SetRts(bool) override {}
    bool Write(const uint8_t* data, size_t size) override {
        Pump();
        session_.FromPc(data, size);
        return true;
    }
    LineStatus ClearErrors() override {
        Pump();
        return {0, uint32_t(rx_.size())};
    }
    size_t Read(uint8_t* dest, size_t maxSize) override {
        Pump();
        size_t n = 0;
        for (; n < maxSize && !rx_.empty(); ++n) {
            dest[n] = rx_.front();
            rx_.pop_front();
        }
        return n;
    }
    bool WaitForInput(uint32_t timeoutMs) override {
        const uint64_t deadline = clock_.NowUs() + uint64_t(timeoutMs) * 1000;
        for (;;) {
            Pump();
            const uint64_t now = clock_.NowUs();
            if (!rx_.empty())
                return true;
            if (now >= deadline)
                return false;
            const auto due = session_.UsUntilDue();
            clock_.SleepUs(due ? std::clamp<uint64_t>(*due, 1, deadline - now) : deadline - now);
        }
    }
    void Purge() override {
        Pump();
        rx_.clear();
        session_.PcPurged();
    }
    // Lets the line's time run while the program is idle.
    void Idle(uint64_t us) {
        const uint64_t end = clock_.NowUs() + us;
        while (clock_.NowUs() < end) {
            Pump();
            const auto due = session_.UsUntilDue();
            clock_.SleepUs(due ? std::clamp<uint64_t>(*due, 1, end - clock_.NowUs())
                               : end - clock_.NowUs());
        }
        Pump();
    }
    size_t waiting() const { return rx_.size(); }

  private:
    void Pump() {
        session_.Tick();
        uint8_t buf[256];
        while (size_t n = session_.ToPc(buf, sizeof buf))
            rx_.insert(rx_.end(), buf, buf + n);
    }
    sim::BoardSession& session_;
    VirtualClock& clock_;
    std::deque<uint8_t> rx_;
};

struct NoRtsRig {
    explicit NoRtsRig(sim::BoardOptions options)
        : session(clock, std::move(options)),
          link(clock, view,
               [this](const std::string& name) -> std::unique_ptr<SerialPort> {
                   if (name != "COM1")
                       return nullptr;
                   auto p = std::make_unique<SessionPort>(session, clock);
                   port = p.get();
                   return p;
               }),
          programmer(link, view) {
        view.link = &link;
    }
    void Connect(const std::string& model, const std::string& quartz) {
        view.quartzText = quartz;
        programmer.OnQuartzSelected(quartz);
        programmer.SetCurrentModel(Model(model));
        const auto& m = programmer.CurrentModel();
        view.SetStartField(FormatHex4(m.eepromStart));
        view.SetCountField(std::to_string(m.eepromSize));
        programmer.Connect();
    }
    VirtualClock clock;
    sim::BoardSession session;
    FakeTargetView view;
    SerialLink link;
    Programmer programmer;
    SessionPort* port = nullptr;
};

std::vector<uint8_t> Pattern(size_t n, uint8_t seed) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = uint8_t(seed + i * 29);
    return v;
}

TEST(NoRtsLine, ConnectReadAndWriteOnBothFamilies) {
    struct Case {
        std::string model, quartz;
        int boardQuartz;
        uint16_t start;
    };
    for (const Case& c :
         {Case{"HC912D60x", "8MHz", 8, 0x0C00}, Case{"MC9S12DT128", "16MHz", 16, 0x2000},
          Case{"HC912D60x", "Auto", 4, 0x0C00}}) {
        SCOPED_TRACE(c.model + " " + c.quartz);
        NoRtsRig rig(Board(c.model, c.boardQuartz));
        rig.Connect(c.model, c.quartz);
        ASSERT_TRUE(rig.view.commandsEnabled);
        ASSERT_EQ(rig.view.startField, FormatHex4(c.start));

        // Long idle after the connect: the board may greet, but takes no reset.
        rig.port->Idle(5000000);
        const auto image = Pattern(64, 0x21);
        rig.view.LoadPage(c.start, image);
        EXPECT_TRUE(rig.programmer.WriteEeprom());
        for (size_t i = 0; i < image.size(); ++i)
            ASSERT_EQ(rig.session.board().Peek(uint16_t(c.start + i)), image[i]) << i;

        rig.port->Idle(3000000);
        rig.view.LoadPage(c.start, std::vector<uint8_t>(64, 0));
        EXPECT_TRUE(rig.programmer.ReadEeprom());
        for (size_t i = 0; i < image.size(); ++i)
            ASSERT_EQ(rig.view.Cell(uint32_t(i)), image[i]) << i;
        EXPECT_TRUE(rig.link.Connected());
    }
}

// After a purge or a byte read the board greets once the line has been quiet for
// 400 ms; after a word read, where the program may be asking the user, it does not.
TEST(NoRtsLine, GreetsAfterQuietFollowingAPurgeOrAByteReadOnly) {
    struct Case {
        const char* what;
        std::vector<uint8_t> frame;  // sent after the greeting, 'R' and 'U'
        bool purge;
        bool greets;
    };
    for (const Case& c :
         {Case{"purge", {}, true, true}, Case{"byte read", {'C', 0x00, 0x12}, false, true},
          Case{"word read", {'L', 0x0C, 0x00}, false, false},
          Case{"word write", {'s', 0x08, 0x00, 1, 2}, false, false}}) {
        SCOPED_TRACE(c.what);
        VirtualClock clock;
        sim::BoardSession session(clock, Board("HC912D60x"));
        auto drain = [&] {
            uint8_t buf[64];
            std::string got;
            while (size_t n = session.ToPc(buf, sizeof buf))
                got.append(reinterpret_cast<char*>(buf), n);
            return got;
        };
        session.PcPurged();
        clock.SleepUs(*session.UsUntilDue());
        session.Tick();
        clock.SleepMs(20);
        ASSERT_EQ(drain(), "paww");
        const uint8_t run[] = {'R', 'U', 0x02};
        session.FromPc(run, sizeof run);
        if (c.purge)
            session.PcPurged();
        else
            session.FromPc(c.frame.data(), c.frame.size());
        clock.SleepMs(5);
        drain();  // the reply, if any
        clock.SleepMs(394);
        session.Tick();
        clock.SleepMs(20);
        EXPECT_EQ(drain(), "") << "too early";
        clock.SleepMs(1000);
        session.Tick();
        clock.SleepMs(20);
        EXPECT_EQ(drain(), c.greets ? "paww" : "");
    }
}

// Where the line carries RTS (a network port that forwards it), its pulse resets the
// board and quiet does not.
TEST(NoRtsLine, ALineWithRtsResetsOnThePulseOnly) {
    VirtualClock clock;
    sim::BoardSession session(clock, Board("HC912D60x"));
    auto drain = [&] {
        uint8_t buf[64];
        std::string got;
        while (size_t n = session.ToPc(buf, sizeof buf))
            got.append(reinterpret_cast<char*>(buf), n);
        return got;
    };
    session.SetRts(true);
    clock.SleepMs(200);
    session.SetRts(false);
    clock.SleepMs(20);
    EXPECT_EQ(drain(), "paww");
    session.PcPurged();
    clock.SleepMs(1000);
    session.Tick();
    clock.SleepMs(20);
    EXPECT_EQ(drain(), "");
    EXPECT_FALSE(session.UsUntilDue().has_value());
}

}  // namespace
}  // namespace hc12::testing
