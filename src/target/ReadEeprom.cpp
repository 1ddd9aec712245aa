// Read the current page's address window from the target, every word twice.
#include <string>

#include "Programmer.h"
#include "TargetTexts.h"

namespace hc12 {

bool Programmer::ReadEeprom() {
    stopped_ = false;
    // Past FFFF the reads would wrap into the registers at 0000 and file their bytes
    // under addresses the target does not have.
    if (!WidenWindowInAddressSpace(texts::kReadPastFfff, /*keepCells=*/false))
        return false;
    Pause(1);
    const uint32_t count = view_.PageCount();
    const uint32_t start = view_.PageStart();
    view_.BuildPage(count);
    if (count == 0)
        return true;

    StartExchanges();
    view_.Progress(int32_t(count));
    Flush();
    SendConfigure();
    ReadByte(uint16_t(start));

    // The second reading keeps its value from word to word.
    uint8_t b1 = 0, b2 = 0;
    bool aborted = false;
    uint32_t offset = 0;
    for (; offset < count; offset += 2) {
        if (StopHere())
            break;
        const Frame frame = ReadWordFrame(uint16_t(start + offset));
        aborted = true;
        uint8_t a1 = 0, a2 = 0;
        int firstReceived = 0;  // bytes of the first reading that came
        for (int pass = 0; pass < 3; ++pass) {
            a1 = a2 = 0;
            firstReceived = 0;
            SendFrame(frame);
            a1 = ReceiveByte();
            if (!Alive())
                break;
            firstReceived = 1;
            a2 = ReceiveByte();
            if (!Alive())
                break;
            firstReceived = 2;
            Pause(1);
            SendFrame(frame);
            b1 = ReceiveByte();
            if (!Alive())
                break;
            b2 = ReceiveByte();
            if (!Alive())
                break;
            if (a1 == b1 && a2 == b2)
                break;
        }
        if (!Alive()) {
            // The page shows what came of the first reading; a byte that never came
            // stays empty rather than pass for a 00 that a later write would program.
            // Unfinished comparisons mark nothing.
            if (firstReceived >= 1)
                view_.SetCellByte(offset, a1);
            if (firstReceived >= 2)
                view_.SetCellByte(offset + 1, a2);
            break;
        }
        view_.SetCellByte(offset, a1);
        view_.SetCellByte(offset + 1, a2);
        if (a1 != b1)
            view_.MarkCellRed(offset);
        if (a2 != b2)
            view_.MarkCellRed(offset + 1);
        aborted = false;

        if (offset % 512 == 0 && offset != 0)
            view_.ScrollGrid(int(offset / 14));
        view_.RepaintGrid();
        view_.Progress(0);
        view_.Progress(0);
    }

    Flush();
    view_.Progress(-1);
    const uint32_t n = offset < count ? offset : count;
    view_.SetStatusText(0, Format(TrN(texts::kReadStatus, n), n));

    if (aborted) {
        Error(Tr(texts::kLinkLostDuring));
        return false;
    }
    return !stopped_;
}

}  // namespace hc12
