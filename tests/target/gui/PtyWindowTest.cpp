// The window against hc12prog-board through its tty device on the real clock, as a
// user starts it with "--port COM1=/dev/pts/N": the connect (quartz detected) and a
// read, clicked on the real buttons.
#include <gtest/gtest.h>

#include <unistd.h>

#include <wx/bmpbuttn.h>
#include <wx/combobox.h>
#include <wx/uiaction.h>

#include <filesystem>
#include <fstream>

#include "BoardProcess.h"
#include "GuiTestSupport.h"
#include "Ids.h"
#include "ProgrammerApp.h"

namespace hc12::testing {
namespace {

namespace fs = std::filesystem;

void Click(MainFrame* frame, wxWindow* button) {
    frame->Raise();
    wxUIActionSimulator sim;
    sim.MouseMove(button->GetScreenRect().GetPosition() + wxPoint(20, 15));
    Pump();
    sim.MouseClick();
}

TEST(PtyWindow, ConnectAndReadThroughTheBoardsDevice) {
    const fs::path image = fs::path(::testing::TempDir()) /
                           ("hc12_pty_window_" + std::to_string(getpid()) + ".bin");
    std::vector<uint8_t> preload(1024);
    for (size_t i = 0; i < preload.size(); ++i)
        preload[i] = uint8_t(i * 7 + (i >> 4));
    {
        std::ofstream out(image, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(preload.data()), std::streamsize(preload.size()));
    }
    BoardProcess board({"--image", image.string(), "model=HC912D60x,quartz=4"});
    ASSERT_EQ(board.path().rfind("/dev/pts/", 0), 0u) << board.path();

    AppOptions options;  // the real clock
    std::string error;
    ASSERT_TRUE(ParsePortOptions({"--port", "COM1=" + board.path()}, options.ports, &error))
        << error;
    DialogHook hook;
    MainFrame* frame = CreateMainFrame(std::move(options));

    for (int row = 0; row < kModelCount; ++row)
        if (ModelTable()[size_t(row)].name == "HC912D60x") {
            frame->modelCombo()->SetSelection(row);
            wxCommandEvent e(wxEVT_COMBOBOX, ID_MODEL);
            e.SetInt(row);
            e.SetEventObject(frame->modelCombo());
            frame->modelCombo()->GetEventHandler()->ProcessEvent(e);
        }
    ASSERT_EQ(Utf8(frame->quartzCombo()->GetValue()), "Auto");

    auto status = [&](int field) { return Utf8(frame->GetStatusBar()->GetStatusText(field)); };
    Click(frame, frame->connectButton());
    ASSERT_TRUE(PumpUntil([&] { return status(3) == "Połączony."; }, 1000)) << status(3);
    EXPECT_EQ(Utf8(frame->quartzCombo()->GetValue()), "4MHz");
    ASSERT_TRUE(frame->readButton()->IsEnabled());

    Click(frame, frame->readButton());
    ASSERT_TRUE(PumpUntil([&] { return status(0) == "Przeczytano  1024  bajtów."; }, 1000))
        << status(0);
    for (uint32_t i = 0; i < preload.size(); ++i)
        ASSERT_EQ(frame->GetCellByte(i), preload[i]) << i;
    EXPECT_TRUE(hook.shown().empty());

    DestroyFrame(frame);
    EXPECT_EQ(board.Stop(), 0);
    fs::remove(image);
}

}  // namespace
}  // namespace hc12::testing
