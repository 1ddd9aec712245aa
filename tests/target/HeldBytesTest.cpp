// A view that keeps what the EEPROM held (a backup) gets the whole window from the
// changed-only write before anything is erased, at no extra reading; it can refuse
// the write, and a write cut short in that reading erases nothing. Both writes
// report what they reached.
#include <gtest/gtest.h>

#include "TargetRig.h"

namespace hc12::testing {
namespace {

std::vector<uint8_t> Pattern(size_t n, uint8_t seed) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = uint8_t(seed + i * 7);
    return v;
}

std::vector<uint8_t> FromBoard(sim::VirtualBoard& board, uint16_t address, size_t n) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = board.Peek(uint16_t(address + i));
    return v;
}

struct Prepared {
    explicit Prepared(const char* model, sim::BoardOptions options = {}) : rig(model, options) {
        start = rig.start();
        for (uint32_t i = 0; i < old.size(); ++i)
            rig.board.Poke(uint16_t(start + i), old[i]);
        // Half the words as they are, half changed.
        image = old;
        for (size_t i = 0; i < image.size(); i += 4)
            image[i] ^= 0x5A;
        rig.view.LoadPage(start, image);
    }
    WriteRig rig;
    uint16_t start = 0;
    std::vector<uint8_t> old = Pattern(32, 0x11);
    std::vector<uint8_t> image;
};

TEST(HeldBytes, HandedOverWholeBeforeTheFirstEraseAndReadOnce) {
    for (const char* model : {"HC912D60x", "MC9S12DT128"}) {
        SCOPED_TRACE(model);
        Prepared s(model);
        ASSERT_TRUE(s.rig.connected);
        std::vector<uint8_t> held;
        std::vector<uint8_t> eepromThen;
        size_t framesThen = 0;
        s.rig.view.keepHeld = [&](uint32_t start, const std::vector<uint8_t>& bytes) {
            EXPECT_EQ(start, s.start);
            held = bytes;
            eepromThen = FromBoard(s.rig.board, s.start, s.old.size());
            framesThen = s.rig.board.FrameLog().size();
            return true;
        };
        EXPECT_TRUE(s.rig.programmer.WriteChangedEeprom());
        EXPECT_EQ(held, s.old);
        EXPECT_EQ(eepromThen, s.old) << "nothing erased before the bytes were handed over";
        EXPECT_EQ(FromBoard(s.rig.board, s.start, s.image.size()), s.image);

        // Every word of the window read once before, and only written words read
        // back after (MC9S12: both words of a sector that changed).
        const bool s12 = std::string(model).rfind("MC9S12", 0) == 0;
        const std::vector<std::string> frames = s.rig.NewFrames();
        for (uint32_t offset = 0; offset < s.image.size(); offset += 2) {
            const std::string read = "L " + FormatHex4(s.start + offset);
            const auto before = std::count(frames.begin(), frames.begin() + long(framesThen), read);
            const auto after = std::count(frames.begin() + long(framesThen), frames.end(), read);
            EXPECT_EQ(before, 1) << read;
            EXPECT_EQ(after, s12 || offset % 4 == 0 ? 1 : 0) << read;
        }
        const auto figures = s.rig.programmer.LastWrite();
        ASSERT_TRUE(figures);
        EXPECT_EQ(figures->done, 32u);
        EXPECT_EQ(figures->unchanged, s12 ? 0u : 8u);
        EXPECT_EQ(figures->failedBytes, 0u);
    }
}

TEST(HeldBytes, ARefusalLeavesTheTargetUntouched) {
    for (const char* model : {"HC912D60x", "MC9S12DT128"}) {
        SCOPED_TRACE(model);
        Prepared s(model);
        s.rig.view.keepHeld = [](uint32_t, const std::vector<uint8_t>&) { return false; };
        EXPECT_FALSE(s.rig.programmer.WriteChangedEeprom());
        EXPECT_EQ(FromBoard(s.rig.board, s.start, s.old.size()), s.old);
        EXPECT_TRUE(s.rig.view.messages.empty());
        EXPECT_FALSE(s.rig.view.gaugeRunning());
        EXPECT_FALSE(s.rig.programmer.LastWrite());
        for (const std::string& f : s.rig.NewFrames())
            EXPECT_NE(f.substr(0, 1), "s") << "no word written: " << f;
    }
}

// The link cut, or a stop, in the middle of that reading: nothing handed over,
// nothing erased, no success.
TEST(HeldBytes, AReadingCutShortErasesNothing) {
    for (const char* model : {"HC912D60x", "MC9S12DT128"}) {
        for (bool stop : {false, true}) {
            SCOPED_TRACE(std::string(model) + (stop ? " stopped" : " cut"));
            Prepared s(model);
            bool handed = false;
            s.rig.view.keepHeld = [&](uint32_t, const std::vector<uint8_t>&) {
                handed = true;
                return true;
            };
            // Five words into the reading: a stop, or the port gone (a cable pulled).
            int asks = 0;
            s.rig.view.stopRequested = [&] {
                if (++asks <= 5)
                    return false;
                if (stop)
                    return true;
                s.rig.link.CloseAll();
                return false;
            };
            EXPECT_FALSE(s.rig.programmer.WriteChangedEeprom());
            EXPECT_FALSE(handed);
            EXPECT_EQ(FromBoard(s.rig.board, s.start, s.old.size()), s.old);
            EXPECT_EQ(s.rig.programmer.Stopped(), stop);
            EXPECT_EQ(s.rig.view.Status(0).rfind("Zapisano  0  ", 0), 0u) << s.rig.view.Status(0);
            EXPECT_FALSE(s.rig.view.gaugeRunning());
        }
    }
}

TEST(HeldBytes, TheFullWriteReportsWhatItReached) {
    Prepared s("HC912D60x", Board("HC912D60x"));
    EXPECT_TRUE(s.rig.programmer.WriteEeprom());
    const auto figures = s.rig.programmer.LastWrite();
    ASSERT_TRUE(figures);
    EXPECT_EQ(figures->done, 32u);
    EXPECT_EQ(figures->unchanged, 0u);
}

}  // namespace
}  // namespace hc12::testing
