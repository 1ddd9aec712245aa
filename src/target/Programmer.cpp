// The frame and pause helpers shared by every target operation.
#include "Programmer.h"

#include "TargetFormat.h"
#include "TargetTexts.h"

namespace hc12 {

Programmer::Programmer(SerialLink& link, TargetView& view) : link_(link), view_(view) {
    currentModel_ = ModelTable()[0];
}

void Programmer::SetCurrentModel(const ModelRecord& model) {
    currentModel_ = model;
    if (SerialPort* port = link_.CurrentPort())
        port->HintModel(currentModel_.name);
}

void Programmer::StartExchanges() {
    failuresAtStart_ = link_.Failures();
}

bool Programmer::LinkDown() const {
    return link_.Failures() != failuresAtStart_;
}

void Programmer::Pause(uint32_t ms) {
    link_.clock().SleepMs(ms);
}

void Programmer::Wait(PaceStep step) {
    const StepWait& wait = pace_->after(step);
    if (wait.pauseMs != 0)
        Pause(wait.pauseMs);
    if (wait.proof) {
        ReadByte(controlRegister_);
        // The reply left the interface a byte's time before it got here at the
        // earliest, and only after what it proves had been carried out.
        if (!LinkDown() && wait.fromProofUs > kByteTimeFloorUs)
            link_.clock().SleepUs(wait.fromProofUs - kByteTimeFloorUs);
    }
}

void Programmer::SetWritePaces(const Pace& fullWrite, const Pace& changedWrite) {
    fullPace_ = fullWrite;
    changedPace_ = changedWrite;
}

void Programmer::Flush() {
    link_.Exchange(-1, -1);
}

uint8_t Programmer::ReadByte(uint16_t address) {
    return LinkDown() ? 0 : link_.Exchange(1, address);
}

uint8_t Programmer::ReceiveByte() {
    return LinkDown() ? 0 : link_.Exchange(1, -1);
}

void Programmer::SendFrame(const Frame& frame) {
    if (!LinkDown())
        link_.SendFrame(frame);
}

void Programmer::WriteByte(uint16_t address, uint8_t value) {
    SendFrame(WriteByteFrame(address, value));
}

void Programmer::WriteWord(uint16_t address, uint8_t first, uint8_t second) {
    SendFrame(WriteWordFrame(address, first, second));
}

void Programmer::SendConfigure() {
    SendFrame(ConfigureFrame(configByte_));
}

void Programmer::Error(const std::string& text) {
    view_.ShowMessage({text, Tr(texts::kCaptionError), MsgButtons::Ok, MsgIcon::Error});
}

bool Programmer::StopHere() {
    if (!stopped_ && view_.StopRequested())
        stopped_ = true;
    return stopped_;
}

void Programmer::WidenToWholeWords(bool keepCells) {
    const uint32_t start = view_.PageStart();
    const uint32_t count = view_.PageCount();
    widenedEnd_.reset();
    if (count == 0)
        return;
    const uint32_t front = start % 2;
    const uint32_t back = (start + count) % 2;
    if (front != 0) {
        if (keepCells)
            view_.InsertEmptyCellInFront();
        view_.SetStartField(targetfmt::Hex4(start - 1));
    }
    const uint32_t widened = count + front + back;
    if (widened != count)
        view_.SetCountField(std::to_string(widened));
    if (back != 0)
        widenedEnd_ = widened - 1;
}

}  // namespace hc12
