// The programming interface: held in reset while RTS is active, it greets after the
// pulse, waits for 'R', and then carries out the single-letter frames on the target.
// Both directions of the line take the wire time of 38400 baud on the shared clock,
// and the target is only understood when the interface clock matches its quartz.
#include <algorithm>
#include <deque>

#include "ModelTable.h"
#include "Target.h"
#include "VirtualBoard.h"

namespace hc12::sim {
namespace {

// 10 bits (start, 8 data, stop) at 38400 baud, rounded up.
constexpr uint64_t kByteWireUs = 261;
// How long the interface needs for one target access before it answers.
constexpr uint64_t kTargetAccessUs = 60;
// RTS must be held active this long to reset the interface.
constexpr uint64_t kMinResetPulseUs = 100000;
// From the end of the reset pulse to the first greeting byte.
constexpr uint64_t kBootUs = 2000;
// The PC driver's input queue.
constexpr size_t kInputQueueSize = 1024;

constexpr char kFallbackModel[] = "HC912D60x";

size_t FrameLength(uint8_t command) {
    switch (command) {
        case 'C':
        case 'L':
            return 3;
        case 'z':
            return 4;
        case 's':
            return 5;
        case 'U':
            return 2;
        default:
            return 1;  // 'R', and bytes the interface does not know
    }
}

// Interface clock selected by ConfigByte bits 1:0; 0 for the unused code.
int InterfaceClockMhz(uint8_t config) {
    switch (config & 0x03) {
        case 0x00:
            return 16;
        case 0x02:
            return 8;
        case 0x01:
            return 4;
        default:
            return 0;
    }
}

const ModelRecord* FindModel(const std::string& name) {
    const ModelRecord* row = FindModelRecord(name);
    return row && !IsPlaceholderModel(*row) ? row : nullptr;
}

}  // namespace

struct VirtualBoard::Impl {
    struct OutByte {
        uint8_t value;
        uint64_t readyUs;
        uint32_t errors;  // a line error instead of the byte
    };

    Clock& clock;
    BoardOptions options;
    std::string modelName;
    std::unique_ptr<Target> target;
    std::vector<FrameRecord> log;
    std::vector<RtsEdge> rtsLog;
    std::vector<uint64_t> purgeLog;
    bool greetedWithoutRts = false;  // greeted on a quiet line; reset when 'R' follows

    // Interface state.
    bool rtsActive = false;
    uint64_t rtsSinceUs = 0;
    bool running = false;  // 'R' received since the last reset
    uint8_t config = 0;
    std::vector<uint8_t> frame;
    uint64_t frameStartUs = 0;  // when the frame's first byte began on the wire
    uint64_t busyUntilUs = 0;   // carrying out the last frame until then
    uint64_t heldUntilUs = 0;   // a byte waits in the receive buffer until then
    uint64_t lostBytes = 0;
    std::vector<std::string> violations;
    uint64_t pcLineFreeUs = 0;     // PC -> interface
    uint64_t boardLineFreeUs = 0;  // interface -> PC
    int64_t replyBytes = 0;        // reply bytes produced so far (for the faults)
    bool silent = false;
    bool unplugged = false;  // the USB adapter is gone: the PC's driver sees a dead device
    int unstableReadsDone = 0;

    // The line towards the PC: bytes still on the wire, and the driver's queue.
    std::deque<OutByte> inFlight;
    std::deque<uint8_t> arrived;
    uint32_t pendingErrors = 0;

    Impl(Clock& c, BoardOptions o) : clock(c), options(std::move(o)) {
        BuildTarget(options.model.empty() ? kFallbackModel : options.model);
    }

    void BuildTarget(const std::string& name) {
        const ModelRecord* row = FindModel(name);
        if (!row)
            row = FindModel(kFallbackModel);
        modelName = row->name;
        if (IsS12Model(*row))
            target = MakeS12Target(row->name, row->eepromSize, options);
        else
            target =
                MakeHc12Target(row->name, uint16_t(row->eepromStart), row->eepromSize, options);
    }

    void HintModel(const std::string& name) {
        if (!options.model.empty() || name == modelName || !FindModel(name))
            return;
        BuildTarget(name);
    }

    // Move the bytes whose wire time is over into the PC's queue.
    void Settle() {
        const uint64_t now = clock.NowUs();
        while (!inFlight.empty() && inFlight.front().readyUs <= now) {
            const OutByte b = inFlight.front();
            inFlight.pop_front();
            if (b.errors) {
                pendingErrors |= b.errors;
            } else if (arrived.size() >= kInputQueueSize) {
                pendingErrors |= kCeRxOver;
            } else {
                arrived.push_back(b.value);
            }
        }
    }

    void Send(uint8_t value, uint64_t notBeforeUs, uint32_t errors = 0) {
        const uint64_t start = std::max(notBeforeUs, boardLineFreeUs);
        boardLineFreeUs = start + kByteWireUs;
        inFlight.push_back({value, boardLineFreeUs + uint64_t(options.latencyMs) * 1000, errors});
    }

    void SendReply(uint8_t value, uint64_t notBeforeUs) {
        SendReplyByte(value, notBeforeUs);
        if (!log.empty() && !silent)
            log.back().replyUs = boardLineFreeUs;
    }

    void SendReplyByte(uint8_t value, uint64_t notBeforeUs) {
        const int64_t index = replyBytes++;
        if (options.silentAfterReplyBytes >= 0 && index >= options.silentAfterReplyBytes)
            silent = true;
        if (options.unplugAtReplyByte >= 0 && index >= options.unplugAtReplyByte)
            unplugged = silent = true;
        if (silent)
            return;
        if (index == options.lineErrorAtReplyByte)
            Send(0, notBeforeUs, options.lineErrorBits);
        else
            Send(value, notBeforeUs);
    }

    void SetRts(bool active) {
        const uint64_t now = clock.NowUs();
        if (active != rtsActive)
            rtsLog.push_back({active, now});
        if (active && !rtsActive) {
            rtsActive = true;
            rtsSinceUs = now;
            return;
        }
        if (!active && rtsActive) {
            rtsActive = false;
            if (now - rtsSinceUs >= kMinResetPulseUs)
                ResetInterface(now);
        }
    }

    void ResetInterface(uint64_t now) {
        Settle();
        inFlight.clear();  // whatever the interface was still sending is cut off
        boardLineFreeUs = now;
        running = false;
        greetedWithoutRts = false;
        config = 0;
        frame.clear();
        busyUntilUs = heldUntilUs = 0;
        target->Reset();
        Greet(now);
    }

    void Greet(uint64_t now) {
        if (silent)
            return;
        for (char c : options.greeting)
            Send(uint8_t(c), now + kBootUs);
        for (uint8_t b : options.strayBytes)
            Send(b, now + kBootUs);
    }

    void GreetWithoutRts() {
        const uint64_t now = clock.NowUs();
        Settle();
        frame.clear();  // a frame cut off by the reset is lost
        busyUntilUs = heldUntilUs = 0;
        greetedWithoutRts = true;
        Greet(std::max(now, boardLineFreeUs));
    }

    bool Write(const uint8_t* data, size_t size) {
        const uint64_t start = std::max(clock.NowUs(), pcLineFreeUs);
        for (size_t i = 0; i < size; ++i) {
            const uint64_t arrivalUs = start + (i + 1) * kByteWireUs;
            if (rtsActive)
                continue;  // held in reset: the bytes are lost
            Receive(data[i], arrivalUs);
        }
        pcLineFreeUs = start + size * kByteWireUs;
        const uint64_t now = clock.NowUs();
        if (pcLineFreeUs > now)
            clock.SleepUs(pcLineFreeUs - now);
        return true;
    }

    // A byte reaches the interface. While it carries out a frame it holds one byte
    // and loses any further one; the held byte is taken once it is done.
    void Receive(uint8_t value, uint64_t arrivalUs) {
        uint64_t takenUs = arrivalUs;
        if (arrivalUs < busyUntilUs) {
            if (arrivalUs < heldUntilUs && options.timedLine) {
                ++lostBytes;
                Flag("byte " + Hex(value, 2) + " lost at " + std::to_string(arrivalUs) +
                     " us: the interface was busy until " + std::to_string(busyUntilUs) + " us");
                return;
            }
            heldUntilUs = takenUs = busyUntilUs;
        }
        if (frame.empty())
            frameStartUs = arrivalUs - kByteWireUs;
        frame.push_back(value);
        if (frame.size() < FrameLength(frame[0]))
            return;
        log.push_back({frame, takenUs, frameStartUs, 0});
        // Every frame reaches the target as long after its bytes as it takes to carry
        // out, the one that ends a pulse as well as the one that started it.
        target->NoteFrameStart(frameStartUs + options.execUs);
        busyUntilUs = takenUs + options.execUs;
        Execute(frame, takenUs);
        frame.clear();
    }

    void Flag(const std::string& text) {
        if (options.strict)
            violations.push_back(text);
    }

    bool ClockMatches() const { return InterfaceClockMhz(config) == options.quartzMhz; }

    // A byte as the interface gets it from the target. With the wrong clock the
    // target's answer is sampled at the wrong rate and comes out shifted.
    uint8_t ReadTarget(uint16_t address, uint64_t now) {
        uint8_t value = target->Read(address, now);
        if (options.unstableAddress && *options.unstableAddress == address &&
            unstableReadsDone < options.unstableReadings) {
            value ^= uint8_t(1u << (unstableReadsDone % 8));
            ++unstableReadsDone;
        }
        if (ClockMatches())
            return value;
        return InterfaceClockMhz(config) > options.quartzMhz ? uint8_t(value >> 1 | 0x80)
                                                             : uint8_t(value << 1 | 0x01);
    }

    void WriteTarget(uint16_t address, const uint8_t* data, size_t size, uint64_t now) {
        if (!options.targetPresent || !ClockMatches())
            return;  // not understood
        target->Write(address, data, size, now);
    }

    // The frame was taken at `takenUs`; it reaches the target once carried out, and
    // its reply follows.
    void Execute(const std::vector<uint8_t>& f, uint64_t takenUs) {
        const uint64_t now = takenUs + options.execUs;
        const uint64_t replyUs = std::max(now, takenUs + kTargetAccessUs);
        if (greetedWithoutRts) {
            greetedWithoutRts = false;
            if (f[0] == 'R') {
                config = 0;
                target->Reset();
                running = true;
                return;
            }
        }
        if (!running) {
            running = f[0] == 'R';
            return;
        }
        const uint16_t address = f.size() >= 3 ? uint16_t(f[1] << 8 | f[2]) : 0;
        switch (f[0]) {
            case 'C':
                if (options.targetPresent)
                    SendReply(ReadTarget(address, now), replyUs);
                break;
            case 'L':
                if (options.targetPresent) {
                    const uint8_t first = ReadTarget(address, now);
                    const uint8_t second = ReadTarget(uint16_t(address + 1), now);
                    SendReplyByte(first, replyUs);
                    SendReply(second, replyUs);
                }
                break;
            case 'z':
                WriteTarget(address, &f[3], 1, now);
                break;
            case 's':
                WriteTarget(address, &f[3], 2, now);
                break;
            case 'U':
                config = f[1];
                break;
            default:
                break;  // 'R' again, or a byte the interface does not know
        }
    }

    LineStatus ClearErrors() {
        Settle();
        LineStatus status{pendingErrors, uint32_t(arrived.size())};
        pendingErrors = 0;
        return status;
    }

    size_t Read(uint8_t* dest, size_t maxSize) {
        Settle();
        size_t n = 0;
        while (n < maxSize && !arrived.empty()) {
            dest[n++] = arrived.front();
            arrived.pop_front();
        }
        return n;
    }

    bool WaitForInput(uint32_t timeoutMs) {
        Settle();
        const uint64_t now = clock.NowUs();
        const uint64_t deadline = now + uint64_t(timeoutMs) * 1000;
        if (!arrived.empty() || pendingErrors)
            return true;
        if (!inFlight.empty() && inFlight.front().readyUs <= deadline) {
            clock.SleepUs(inFlight.front().readyUs - now);
            Settle();
            return true;
        }
        clock.SleepUs(deadline - now);
        return false;
    }

    void Purge() {
        Settle();
        arrived.clear();
        purgeLog.push_back(clock.NowUs());
    }

    // A port onto the board; what the PC's serial driver would be.
    class Port final : public SerialPort {
      public:
        explicit Port(Impl& board) : board_(board) {}
        void ApplyLineSettings() override {}
        void SetRts(bool active) override {
            if (!board_.unplugged)
                board_.SetRts(active);
        }
        bool Write(const uint8_t* data, size_t size) override {
            return !board_.unplugged && board_.Write(data, size);
        }
        // An unplugged adapter: every look at the line finds an I/O error, at once.
        LineStatus ClearErrors() override {
            return board_.unplugged ? LineStatus{kCeIoe, 0} : board_.ClearErrors();
        }
        size_t Read(uint8_t* dest, size_t maxSize) override {
            return board_.unplugged ? 0 : board_.Read(dest, maxSize);
        }
        bool WaitForInput(uint32_t timeoutMs) override {
            return board_.unplugged || board_.WaitForInput(timeoutMs);
        }
        void Purge() override {
            if (!board_.unplugged)
                board_.Purge();
        }
        bool HungUp() override { return board_.unplugged; }
        void HintModel(const std::string& modelName) override { board_.HintModel(modelName); }

      private:
        Impl& board_;
    };
};

VirtualBoard::VirtualBoard(Clock& clock, BoardOptions options)
    : impl_(std::make_unique<Impl>(clock, std::move(options))) {}
VirtualBoard::~VirtualBoard() = default;

std::unique_ptr<SerialPort> VirtualBoard::OpenPort() {
    return std::make_unique<Impl::Port>(*impl_);
}
const std::vector<FrameRecord>& VirtualBoard::FrameLog() const {
    return impl_->log;
}
void VirtualBoard::ClearFrameLog() {
    impl_->log.clear();
}
const std::vector<RtsEdge>& VirtualBoard::RtsLog() const {
    return impl_->rtsLog;
}
const std::vector<uint64_t>& VirtualBoard::PurgeLog() const {
    return impl_->purgeLog;
}
const std::vector<CommandRecord>& VirtualBoard::CommandLog() const {
    impl_->target->Advance(impl_->clock.NowUs());
    return impl_->target->Commands();
}
std::vector<std::string> VirtualBoard::Violations() const {
    impl_->target->Advance(impl_->clock.NowUs());
    std::vector<std::string> all = impl_->violations;
    for (const std::string& v : impl_->target->Violations())
        all.push_back(v);
    return all;
}
uint64_t VirtualBoard::LostBytes() const {
    return impl_->lostBytes;
}
uint64_t VirtualBoard::OutputDoneUs() const {
    return impl_->boardLineFreeUs;
}
std::optional<uint64_t> VirtualBoard::NextOutputUs() const {
    if (impl_->inFlight.empty())
        return std::nullopt;
    return impl_->inFlight.front().readyUs;
}
std::vector<uint8_t> VirtualBoard::EepromImage() const {
    impl_->target->Advance(impl_->clock.NowUs());
    std::vector<uint8_t> image(EepromSize());
    for (uint32_t i = 0; i < image.size(); ++i)
        image[i] = impl_->target->Peek(uint16_t(EepromStart() + i));
    return image;
}
bool VirtualBoard::LoadEepromImage(const std::vector<uint8_t>& image) {
    if (image.size() > EepromSize())
        return false;
    for (uint32_t i = 0; i < image.size(); ++i)
        impl_->target->Poke(uint16_t(EepromStart() + i), image[i]);
    return true;
}
void VirtualBoard::SendUnasked(const std::vector<uint8_t>& bytes) {
    for (uint8_t b : bytes)
        impl_->Send(b, impl_->clock.NowUs());
}
void VirtualBoard::GreetWithoutRts() {
    impl_->GreetWithoutRts();
}
uint8_t VirtualBoard::Peek(uint16_t address) const {
    impl_->target->Advance(impl_->clock.NowUs());  // what the memory holds by now
    return impl_->target->Peek(address);
}
void VirtualBoard::Poke(uint16_t address, uint8_t value) {
    impl_->target->Poke(address, value);
}
uint16_t VirtualBoard::EepromStart() const {
    return impl_->target->EepromStart();
}
uint32_t VirtualBoard::EepromSize() const {
    return impl_->target->EepromSize();
}
const BoardOptions& VirtualBoard::Options() const {
    return impl_->options;
}
const std::string& VirtualBoard::ModelName() const {
    return impl_->modelName;
}

}  // namespace hc12::sim
