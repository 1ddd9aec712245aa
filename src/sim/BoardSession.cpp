// A pseudo-terminal has no RTS line, so the reset is read from what the program
// does around its pulse: it purges (connect) or has just read a byte (quartz
// detection), then stays quiet for the pulse and waits for the greeting.
#include "BoardSession.h"

#include <algorithm>

namespace hc12::sim {

BoardSession::BoardSession(Clock& clock, BoardOptions options)
    : clock_(clock), board_(clock, std::move(options)), port_(board_.OpenPort()) {}

void BoardSession::FromPc(const uint8_t* data, size_t size) {
    if (size == 0)
        return;
    port_->Write(data, size);
    lastPcUs_ = clock_.NowUs();
    NoteFrames();
}

// Only the last frame matters; the log is emptied so that a board serving for
// hours does not grow it without end.
void BoardSession::NoteFrames() {
    const auto& log = board_.FrameLog();
    if (log.empty())
        return;
    armed_ = log.back().bytes[0] == 'C';
    board_.ClearFrameLog();
}

void BoardSession::PcPurged() {
    port_->Purge();
    lastPcUs_ = clock_.NowUs();
    armed_ = true;
}

void BoardSession::SetRts(bool active) {
    rtsSeen_ = true;
    armed_ = false;
    port_->SetRts(active);
}

size_t BoardSession::ToPc(uint8_t* dest, size_t maxSize, uint32_t* lineErrors) {
    const uint32_t errors = port_->ClearErrors().errors;
    if (lineErrors != nullptr)
        *lineErrors |= errors;
    return port_->Read(dest, maxSize);
}

uint64_t BoardSession::QuietSinceUs() const {
    return std::max(lastPcUs_, board_.OutputDoneUs());
}

std::optional<uint64_t> BoardSession::UsUntilDue() {
    const uint64_t now = clock_.NowUs();
    std::optional<uint64_t> due = board_.NextOutputUs();
    if (armed_ && !rtsSeen_) {
        const uint64_t greet = QuietSinceUs() + kQuietResetUs;
        due = due ? std::min(*due, greet) : greet;
    }
    if (!due)
        return std::nullopt;
    return *due > now ? *due - now : 0;
}

void BoardSession::Tick() {
    if (!armed_ || rtsSeen_ || board_.NextOutputUs())
        return;
    if (clock_.NowUs() < QuietSinceUs() + kQuietResetUs)
        return;
    armed_ = false;
    board_.GreetWithoutRts();
}

}  // namespace hc12::sim
