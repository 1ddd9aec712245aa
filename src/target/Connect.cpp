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
        view_.ShowMessage(
            {texts::kChooseModel, texts::kCaptionWarning, MsgButtons::Ok, MsgIcon::Exclamation});
        return;
    }

    link_.SetConnectionState(kConnected);
    view_.ShowConnecting();

    if (!link_.PortChosen())
        view_.OpenDefaultPort();
    if (!link_.PortValid()) {
        // The port handler has shown why; the window must not stay "connecting".
        link_.LinkLost();
        return;
    }
    link_.CurrentPort()->HintModel(currentModel_.name);

    Flush();
    if (!ResetInterface()) {
        Error(texts::kNoInterface);
        return;
    }
    ReadByte(kPresenceRegister);

    if (view_.QuartzText() == kQuartzChoices[0])
        DetectQuartz();

    s12Target_ = false;
    if (IsS12Model(currentModel_)) {
        ReadS12MemoryMap();
        s12Target_ = true;
    }

    view_.Progress(-1);
    Flush();

    if (link_.Connected()) {
        view_.ShowConnected(s12Target_);
    } else {
        link_.LinkLost();
        Error(texts::kNoProcessor);
    }
}

// Try 16, 8 and 4 MHz in turn; the target answers 0 at 0x000F once its clock is right.
void Programmer::DetectQuartz() {
    for (int attempt = 0; attempt < 3; ++attempt) {
        ResetInterface();
        view_.SelectQuartz(attempt + 1);
        Pause(10);
        OnQuartzSelected(view_.QuartzText());
        Flush();
        ReadByte(kPresenceRegister);
        Pause(10);
        // A time-out also returns 0, but says nothing about the clock: only a real
        // 0x00 reply counts, otherwise the next clock is tried.
        if (ReadByte(kPresenceRegister) == 0x00 && link_.Connected())
            return;
    }
    view_.ShowMessage(
        {texts::kNoQuartz, texts::kCaptionWarning, MsgButtons::Ok, MsgIcon::Exclamation});
}

// Map RAM and EEPROM, read back where they went and how large they are, report it
// and take the EEPROM's place as the address window.
void Programmer::ReadS12MemoryMap() {
    WriteByte(kInitEe, 0x21);
    Pause(10);
    WriteByte(kInitRm, 0x41);
    Pause(10);

    uint8_t r = ReadByte(kMemSize);
    const int ramKb = (r & 0x07) * 2 + 2;
    std::string report = texts::kReportRam + std::to_string(ramKb) + texts::kReportKb;

    r = ReadByte(kInitRm);
    report += texts::kReportStart + targetfmt::Hex2(r & 0xF8) + "00 ";

    r = ReadByte(kMemSize);
    const int eepromKb = ((r >> 4) & 0x03) * 2;
    report += texts::kReportEeprom + std::to_string(eepromKb) + texts::kReportKb;
    view_.SetCountField(std::to_string(eepromKb * 1024));

    r = ReadByte(kInitEe);
    const uint16_t eepromStart = uint16_t((r & 0xF8) * 256);
    currentModel_.eepromStart = eepromStart;
    view_.SetStartField(targetfmt::Hex4(eepromStart));
    report += texts::kReportStart + targetfmt::Hex2(eepromStart >> 8) + "00";

    view_.ShowMessage({report, texts::kCaptionParameters, MsgButtons::Ok, MsgIcon::None});
}

}  // namespace hc12
