// The real window with COM1 mapped by the command line to a board behind our
// RFC 2217 server on 127.0.0.1, on the real clock: connect and read.
#include <gtest/gtest.h>

#include <wx/combobox.h>

#include "Clock.h"
#include "GuiTestSupport.h"
#include "Ids.h"
#include "ProgrammerApp.h"
#include "SerialPortServer.h"
#include "VirtualBoard.h"

namespace hc12::testing {
namespace {

TEST(RemoteWindow, MenuPortMappedToAnRfc2217ServerConnectsAndReads) {
    SteadyClock boardClock;
    sim::BoardOptions boardOptions;
    boardOptions.model = "HC12B";
    boardOptions.quartzMhz = 8;
    sim::VirtualBoard board(boardClock, boardOptions);
    for (uint16_t i = 0; i < 768; i += 5)
        board.Poke(uint16_t(0x0D00 + i), uint8_t(i / 5));
    auto boardPort = board.OpenPort();
    sim::SerialPortServer server(*boardPort);
    std::string error;
    ASSERT_TRUE(server.Start(0, &error)) << error;

    AppOptions options;
    ASSERT_TRUE(
        ParsePortOptions({"--port", "COM1=rfc2217://127.0.0.1:" + std::to_string(server.Port())},
                         options.ports, &error))
        << error;
    DialogHook hook;
    MainFrame* frame = CreateMainFrame(std::move(options));
    auto event = [&](wxEventType type, int id, int item) {
        wxCommandEvent e(type, id);
        e.SetInt(item);
        e.SetEventObject(frame);
        frame->GetEventHandler()->ProcessEvent(e);
    };
    const int row = FindModelIndex("HC12B");
    ASSERT_GE(row, 0);
    frame->modelCombo()->SetSelection(row);
    event(wxEVT_COMBOBOX, ID_MODEL, row);

    event(wxEVT_BUTTON, ID_CONNECT, 0);
    EXPECT_EQ(Utf8(frame->GetStatusBar()->GetStatusText(3)), "Połączony.");
    EXPECT_EQ(Utf8(frame->quartzCombo()->GetValue()), "8MHz");
    event(wxEVT_BUTTON, ID_READ_EEPROM, 0);
    EXPECT_EQ(Utf8(frame->GetStatusBar()->GetStatusText(0)), "Przeczytano  768  bajtów.");
    for (uint32_t i = 0; i < 768; ++i)
        ASSERT_EQ(frame->GetCellByte(i), i % 5 == 0 ? uint8_t(i / 5) : 0xFF) << i;
    EXPECT_TRUE(hook.shown().empty());

    DestroyFrame(frame);
    hook.ExpectAllAnswersUsed();
}

}  // namespace
}  // namespace hc12::testing
