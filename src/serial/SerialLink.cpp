// The serial link: port cache, the request/reply exchange and the link-lost reaction.
#include "SerialLink.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "Translate.h"

namespace hc12 {

namespace {

const char* const kPortNames[kPortCount] = {"COM1", "COM2", "COM3", "COM4"};

// Shown through Tr.
const char* const kPortErrorText = N_("Niewłaściwa nazwa portu lub port jest aktywny.");
const char* const kErrorCaption = N_("Błąd");

// Line errors that get a message box, in the order the boxes are shown. Any other
// error bit (overrun, break) loses the link without a box.
struct LineErrorText {
    uint32_t bit;
    const char* text;
};
const LineErrorText kLineErrorTexts[] = {
    {kCeFrame, N_("Wykryto błędy w ramce")},
    {kCeIoe, N_("Wykryto błędy I/O")},
    {kCeRxOver, N_("Bufor wejścia przepełniony. Nasąpi utrata części danych")},
    {kCeRxParity, N_("Wykryto błąd parzystości")},
    {kCeTxFull, N_("Bufor wyjścia przepełniony. Dane nie mogą zostać wysłane")},
};

}  // namespace

SerialLink::SerialLink(Clock& clock, LinkView& view, PortOpener opener)
    : clock_(clock), view_(view), opener_(std::move(opener)) {}

SerialLink::~SerialLink() = default;

bool SerialLink::OpenPort(int index) {
    if (index < 0 || index >= kPortCount) {
        // Not a port of the menu: keep the current port, settings put on it again.
        if (current_ != nullptr) {
            ApplySettingsToCurrent();
            return true;
        }
        if (portChosen_) {
            ShowPortError();
        }
        return false;
    }

    portChosen_ = true;
    chosenIndex_ = index;
    auto& slot = cache_[size_t(index)];
    // A port that hung up (adapter unplugged) is dead for good: close it so that the
    // device, plugged in again, can be opened anew.
    if (slot != nullptr && slot->HungUp()) {
        if (current_ == slot.get())
            current_ = nullptr;
        slot.reset();
    }
    // A slot stays empty after a failed open, so the port is tried again on its next
    // choice: the other program may have let it go, or the adapter been plugged in.
    if (slot == nullptr && opener_) {
        slot = opener_(kPortNames[index]);
    }
    current_ = slot.get();
    if (current_ == nullptr) {
        ShowPortError();
        return false;
    }
    ApplySettingsToCurrent();
    return true;
}

void SerialLink::ApplySettingsToCurrent() {
    current_->ApplyLineSettings();
}

void SerialLink::ShowPortError() {
    view_.ShowMessage(
        Message{Tr(kPortErrorText), Tr(kErrorCaption), MsgButtons::Ok, MsgIcon::Error});
}

void SerialLink::CloseAll() {
    current_ = nullptr;
    for (auto& slot : cache_) {
        slot.reset();
    }
}

uint8_t SerialLink::Exchange(int flush, int address) {
    if (flush < 0) {
        Flush();
        return 0;
    }
    if (address >= 0) {
        SendFrame(ReadByteFrame(uint16_t(address)));
    }
    return Receive();
}

void SerialLink::SendFrame(const Frame& frame) {
    if (current_ == nullptr || frame.size == 0) {
        return;
    }
    WaitForInterface(frame.size);
    // The wire time is counted here rather than taken from the port: a pseudo-terminal
    // or a network connection takes the bytes at once, the interface's line does not.
    const uint64_t start = std::max(clock_.NowUs(), lineFreeUs_);
    // A failed write is not reported: the reply that does not come times out.
    current_->Write(frame.bytes.data(), frame.size);
    lineFreeUs_ = start + frame.size * kByteTimeUs;
    interfaceFreeUs_ = std::max(lineFreeUs_, interfaceFreeUs_) + frameTimeUs_;
    const size_t reply = ReplyLength(frame);
    awaitedReplyBytes_ += uint32_t(reply);
    lastFrameAnswers_ = reply > 0;
}

void SerialLink::WaitForInterface(size_t size) {
    // Byte k of the frame arrives (k + 1) byte times after it starts; only byte 0 may
    // arrive while the interface is busy.
    const uint64_t ahead = (size >= 2 ? 2 : 1) * kByteTimeFloorUs;
    if (interfaceFreeUs_ <= ahead) {
        return;
    }
    const uint64_t earliest = interfaceFreeUs_ - ahead;
    const uint64_t now = clock_.NowUs();
    if (earliest > now) {
        clock_.SleepUs(earliest - now);
    }
}

void SerialLink::SetRts(bool active) {
    if (current_ != nullptr) {
        current_->SetRts(active);
    }
    // Held in reset or starting afresh: nothing of the frames before counts.
    interfaceFreeUs_ = 0;
    awaitedReplyBytes_ = 0;
}

void SerialLink::DiscardInput() {
    rxPending_ = 0;
    awaitedReplyBytes_ = 0;
    if (current_ == nullptr) {
        return;
    }
    const LineStatus status = current_->ClearErrors();
    std::array<uint8_t, 64> scratch{};
    for (uint32_t left = status.bytesWaiting; left > 0;) {
        const size_t n = current_->Read(scratch.data(), std::min<size_t>(left, scratch.size()));
        if (n == 0) {
            break;
        }
        left -= uint32_t(std::min<size_t>(n, left));
    }
}

void SerialLink::LinkLost() {
    connectionState_ = kNotConnected;
    view_.ShowNotConnected();
}

void SerialLink::ExchangeFailed() {
    ++failures_;
    if (current_ != nullptr && current_->HungUp()) {
        for (auto& slot : cache_) {
            if (slot.get() == current_)
                slot.reset();
        }
        current_ = nullptr;
    }
    LinkLost();
}

void SerialLink::Flush() {
    rxPending_ = 0;
    awaitedReplyBytes_ = 0;
    for (int pass = 0; pass < kFlushMaxPasses; ++pass) {
        clock_.SleepMs(kFlushPassMs);
        if (current_ == nullptr) {
            return;  // nothing can be waiting on a port that is not there
        }
        // Line errors found here belong to whatever is being discarded: cleared
        // silently.
        const LineStatus status = current_->ClearErrors();
        current_->Purge();
        if (status.bytesWaiting == 0) {
            return;
        }
    }
    // The line never fell quiet: nothing sensible can be exchanged over it.
    ExchangeFailed();
}

void SerialLink::ShowLineErrors(uint32_t errors) {
    for (const auto& entry : kLineErrorTexts) {
        if ((errors & entry.bit) != 0) {
            view_.ShowMessage(
                Message{Tr(entry.text), Tr(kErrorCaption), MsgButtons::Ok, MsgIcon::Exclamation});
        }
    }
}

uint8_t SerialLink::Receive() {
    const uint32_t start = clock_.TickMs();
    if (rxPending_ < 0) {
        rxPending_ = 0;
    }
    // Position 0 of the buffer holds the byte returned last time, positions 1..pending
    // the bytes not yet returned. The returned byte is dropped only once this call
    // reads or returns, so a line error leaves the pending bytes as they were.
    bool compacted = false;
    auto compact = [&] {
        if (!compacted && rxPending_ > 0) {
            std::memmove(rxBuffer_.data(), rxBuffer_.data() + 1, size_t(rxPending_));
        }
        compacted = true;
    };

    for (;;) {
        const LineStatus status = current_ != nullptr ? current_->ClearErrors() : LineStatus{};
        if (status.errors != 0) {
            ShowLineErrors(status.errors);
            ExchangeFailed();
            return 0;
        }
        compact();
        if (status.bytesWaiting > 0) {
            // Never past the end of the buffer; what does not fit stays in the
            // driver's queue for the next call.
            const size_t room = size_t(kRxBufferSize - rxPending_);
            const size_t want = std::min<size_t>(status.bytesWaiting, room);
            if (want > 0) {
                rxPending_ += int32_t(current_->Read(rxBuffer_.data() + rxPending_, want));
            }
        }
        if (rxPending_ > 0) {
            --rxPending_;
            if (awaitedReplyBytes_ > 0 && --awaitedReplyBytes_ == 0 && lastFrameAnswers_) {
                interfaceFreeUs_ = std::min(interfaceFreeUs_, clock_.NowUs());
            }
            return rxBuffer_[0];
        }
        const uint32_t elapsed = clock_.TickMs() - start;
        if (elapsed >= kReplyTimeoutMs) {
            ExchangeFailed();
            return 0;
        }
        // Wait in the OS for the rest of the time-out instead of polling.
        const uint32_t remaining = kReplyTimeoutMs - elapsed;
        if (current_ != nullptr) {
            current_->WaitForInput(remaining);
        } else {
            clock_.SleepMs(remaining);
        }
    }
}

uint8_t BitsToByte(const char* text) {
    uint8_t value = 0;
    if (text == nullptr) {
        return value;
    }
    for (int i = 0; i < 8 && text[i] != '\0'; ++i) {
        if (text[i] == '1') {
            value |= uint8_t(0x80u >> i);
        }
    }
    return value;
}

}  // namespace hc12
