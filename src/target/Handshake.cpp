// Interface reset with its greeting, and the clock choice sent to the interface.
#include "ModelTable.h"
#include "Programmer.h"
#include "TargetTexts.h"

namespace hc12 {

namespace {
constexpr char kGreeting[] = "paww";
}

bool Programmer::ResetInterface() {
    // A wrong greeting puts back into field 3 what field 0 showed when the reset
    // began, as the program always has.
    const std::string kept = view_.GetStatusText(0);
    view_.SetStatusText(3, Tr(texts::kStatusReset));
    link_.LinkLost();
    // The reset starts the conversation afresh, whatever happened to the link before.
    StartExchanges();

    // RTS active for 200 ms, then inactive: the interface resets and greets.
    link_.SetRts(true);
    Pause(200);
    link_.SetRts(false);
    Pause(10);

    for (int i = 0; i < 4; ++i) {
        if (ReceiveByte() != uint8_t(kGreeting[i]) || LinkDown()) {
            Flush();
            view_.SetStatusText(3, kept);
            return false;
        }
    }

    view_.SetStatusText(3, Tr(texts::kStatusConnected));
    link_.SetConnectionState(kConnected);
    SendFrame(RunFrame());
    Pause(10);
    SendConfigure();
    return true;
}

void Programmer::OnQuartzSelected(const std::string& quartzText) {
    const int mhz = QuartzMhzForText(quartzText);
    if (mhz == 0)
        return;  // "Auto": detected at the next connect
    configByte_ = ConfigByteForQuartz(configByte_, mhz);
    // The combo box's own command: sent whatever became of an earlier operation.
    link_.SendFrame(ConfigureFrame(configByte_));
    quartzMhz_ = mhz;
}

}  // namespace hc12
