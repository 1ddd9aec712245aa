// Connect: handshake, quartz detection, target presence and the MC9S12 memory map.
#include <string>

#include "ModelTable.h"
#include "Programmer.h"
#include "TargetFormat.h"
#include "TargetTexts.h"

namespace hc12 {

namespace {
constexpr uint16_t kPresenceRegister = 0x000F;
constexpr uint16_t kInitEe = 0x0012;   // EEPROM mapping
constexpr uint16_t kInitRm = 0x0010;   // RAM mapping
constexpr uint16_t kMemSize = 0x001C;  // RAM and EEPROM sizes
}  // namespace

void Programmer::Connect() {
    if (IsPlaceholderModel(currentModel_)) {
        view_.ShowMessage({Tr(texts::kChooseModel), Tr(texts::kCaptionWarning), MsgButtons::Ok,
                           MsgIcon::Exclamation});
        return;
    }

    StartExchanges();
    s12EepromSize_ = 0;
    link_.SetConnectionState(kConnected);
    view_.ShowConnecting();

    if (!OpenPortForConnect()) {
        // The port handler has shown why; the window must not stay "connecting".
        link_.LinkLost();
        return;
    }
    link_.CurrentPort()->HintModel(currentModel_.name);

    Flush();
    if (!ResetInterface()) {
        Error(Tr(texts::kNoInterface));
        return;
    }
    ReadByte(kPresenceRegister);

    if (view_.QuartzText() == kQuartzChoices[0]) {
        const Detection detection = DetectQuartz();
        if (detection == Detection::NoInterface) {
            link_.LinkLost();
            Error(Tr(texts::kNoInterface));
            return;
        }
        if (detection != Detection::Found) {
            // The link works, but no clock gave the right reply (or some gave none).
            view_.ShowMessage({Tr(texts::kNoQuartz), Tr(texts::kCaptionWarning), MsgButtons::Ok,
                               MsgIcon::Exclamation});
            // Every reply at a wrong clock is garbage, so no clock means no
            // connection. The combo box goes back to "Auto" so that the next connect
            // detects again instead of going on at the last clock tried.
            view_.SelectQuartz(0);
            view_.Progress(-1);
            Flush();
            link_.LinkLost();
            if (detection == Detection::NoTarget)
                Error(Tr(texts::kNoProcessor));
            return;
        }
    }

    s12Target_ = false;
    if (IsS12Model(currentModel_) && Alive()) {
        ReadS12MemoryMap();
        s12Target_ = true;
    }

    view_.Progress(-1);
    Flush();

    if (Alive()) {
        view_.ShowConnected(s12Target_);
    } else {
        link_.LinkLost();
        Error(Tr(texts::kNoProcessor));
    }
}

// A port that is not open (never chosen, failed to open, hung up) is opened now; a
// failure shows the port's own message.
bool Programmer::OpenPortForConnect() {
    if (link_.PortValid() && !link_.CurrentPort()->HungUp())
        return true;
    if (!link_.PortChosen())
        view_.OpenDefaultPort();
    else
        link_.OpenPort(link_.ChosenPort());
    return link_.PortValid();
}

// Try 16, 8 and 4 MHz in turn; the target answers 0 at 0x000F once its clock is right.
// An attempt whose reset or exchanges failed (wrong greeting, time-out, line error)
// says nothing about the clock: it is tried again after a fresh reset, a few times,
// before the next clock. On success the combo box shows the clock found.
Programmer::Detection Programmer::DetectQuartz() {
    constexpr int kTriesPerClock = 3;
    bool everyClockAnswered = true;
    bool lastResetGreeted = true;
    for (int attempt = 0; attempt < 3; ++attempt) {
        bool answered = false;
        for (int tries = 0; tries < kTriesPerClock && !answered; ++tries) {
            if (!link_.PortValid()) {
                lastResetGreeted = false;  // the port hung up: no reset reaches the interface
                break;
            }
            lastResetGreeted = ResetInterface();
            if (!lastResetGreeted)
                continue;
            view_.SelectQuartz(attempt + 1);
            Pause(10);
            OnQuartzSelected(view_.QuartzText());
            Flush();
            ReadByte(kPresenceRegister);
            Pause(10);
            const uint8_t presence = ReadByte(kPresenceRegister);
            if (!Alive())
                continue;
            if (presence == 0x00)
                return Detection::Found;
            answered = true;  // a real reply, but not the one of the right clock
        }
        everyClockAnswered &= answered;
    }
    if (!lastResetGreeted)
        return Detection::NoInterface;
    return everyClockAnswered ? Detection::NoClock : Detection::NoTarget;
}

// Map RAM and EEPROM, read back where they went and how large they are, report it
// and take the EEPROM's place as the address window.
void Programmer::ReadS12MemoryMap() {
    WriteByte(kInitEe, 0x21);
    Pause(10);
    WriteByte(kInitRm, 0x41);
    Pause(10);

    const uint8_t ramSize = ReadByte(kMemSize);
    const uint8_t ramStart = ReadByte(kInitRm);
    const uint8_t eepromSize = ReadByte(kMemSize);
    const uint8_t eepromMap = ReadByte(kInitEe);
    // Zeros read over a dead link are no memory map: the window keeps its own.
    if (LinkDown())
        return;

    const int ramKb = (ramSize & 0x07) * 2 + 2;
    const int eepromKb = ((eepromSize >> 4) & 0x03) * 2;
    view_.SetCountField(std::to_string(eepromKb * 1024));

    const uint16_t eepromStart = uint16_t((eepromMap & 0xF8) * 256);
    currentModel_.eepromStart = eepromStart;
    s12EepromStart_ = eepromStart;
    s12EepromSize_ = uint32_t(eepromKb) * 1024;
    view_.SetStartField(targetfmt::Hex4(eepromStart));

    const std::string report =
        Format(Tr(texts::kMemoryMap), ramKb, targetfmt::Hex2(ramStart & 0xF8), eepromKb,
               targetfmt::Hex2(eepromStart >> 8));
    view_.ShowMessage({report, Tr(texts::kCaptionParameters), MsgButtons::Ok, MsgIcon::None});
}

}  // namespace hc12
