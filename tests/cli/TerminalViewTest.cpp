#include <gtest/gtest.h>

#include <sstream>

#include "TerminalView.h"

namespace hc12::cli {
namespace {

struct Terminal {
    std::ostringstream err;
    std::istringstream in;
    TerminalIo Io(bool stdinTerminal, bool stderrTerminal) {
        return TerminalIo{&err, &in, stdinTerminal, stderrTerminal};
    }
};

const Message kContinue{"Nie udało się zapisać 3komórek\nCzy kontynuować?", "Błąd",
                        MsgButtons::YesNo, MsgIcon::Error};

TEST(TerminalView, MessagesGoToStandardErrorWithTheirCaption) {
    Terminal t;
    TerminalView view(t.Io(false, false), Answer::Ask);
    EXPECT_EQ(view.ShowMessage(
                  {"Nieudane połączenie z interfejsem", "Błąd", MsgButtons::Ok, MsgIcon::Error}),
              MsgAnswer::Ok);
    EXPECT_EQ(t.err.str(), "Błąd: Nieudane połączenie z interfejsem\n");
    EXPECT_FALSE(view.QuestionRefused());
}

TEST(TerminalView, QuestionsFollowYesNoOrTheTerminal) {
    struct Case {
        Answer answer;
        bool stdinTerminal;
        const char* typed;
        MsgAnswer expected;
        bool refused;
    };
    const Case cases[] = {
        {Answer::Yes, false, "", MsgAnswer::Yes, false},
        {Answer::No, true, "t\n", MsgAnswer::No, false},   // the option wins over the terminal
        {Answer::Ask, false, "t\n", MsgAnswer::No, true},  // nobody to ask: refused
        {Answer::Ask, true, "t\n", MsgAnswer::Yes, false},
        {Answer::Ask, true, "maybe\nNIE\n", MsgAnswer::No, false},  // asked again
        {Answer::Ask, true, "", MsgAnswer::No, true},               // end of input
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        Terminal t;
        t.in.str(c.typed);
        TerminalView view(t.Io(c.stdinTerminal, false), c.answer);
        EXPECT_EQ(view.ShowMessage(kContinue), c.expected);
        EXPECT_EQ(view.QuestionRefused(), c.refused);
        EXPECT_EQ(t.err.str().rfind("Błąd: Nie udało się zapisać 3komórek\nCzy kontynuować?\n", 0),
                  0u)
            << t.err.str();
        if (c.refused && !c.stdinTerminal) {
            EXPECT_NE(t.err.str().find("give --yes or --no"), std::string::npos);
        }
    }
}

TEST(TerminalView, ProgressBarOnlyOnATerminal) {
    Terminal plain;
    TerminalView quiet(plain.Io(false, false), Answer::Ask);
    quiet.Progress(4);
    for (int i = 0; i < 4; ++i)
        quiet.Progress(0);
    EXPECT_EQ(plain.err.str(), "");

    Terminal tty;
    TerminalView view(tty.Io(false, true), Answer::Ask);
    view.Progress(4);
    view.Progress(0);
    view.Progress(0);
    EXPECT_NE(tty.err.str().find("\r[####################--------------------] 50%"),
              std::string::npos)
        << tty.err.str();
    view.Progress(0);
    view.Progress(0);  // the last step removes the bar: the line ends blank
    const std::string out = tty.err.str();
    EXPECT_EQ(out.back(), '\r');
    EXPECT_EQ(out.substr(out.rfind('\r', out.size() - 2) + 1).find_first_not_of(" \r"),
              std::string::npos);
    tty.err.str("");
    view.Progress(0);  // a step without a gauge draws nothing
    EXPECT_EQ(tty.err.str(), "");
}

TEST(TerminalView, StatusResultsArePrintedRunningOffsetsAreNot) {
    Terminal t;
    TerminalView view(t.Io(false, false), Answer::Ask);
    view.Progress(8);
    view.SetStatusText(1, "2");  // the running offset of a write
    view.SetStatusText(0, "Zapisano  8  bajtów.");
    view.Progress(-1);
    view.SetStatusText(1, "8");  // the last offset comes after the gauge has ended
    view.SetStatusText(1, "Nieudanych zapisów:  1");
    view.SetStatusText(3, "Połączony.");
    EXPECT_EQ(t.err.str(), "Zapisano  8  bajtów.\nNieudanych zapisów:  1\n");
    EXPECT_EQ(view.GetStatusText(1), "Nieudanych zapisów:  1");
    EXPECT_EQ(view.GetStatusText(3), "Połączony.");
}

TEST(TerminalView, AddressFieldsCarryIntoThePageAndQuartzFollowsSelection) {
    Terminal t;
    TerminalView view(t.Io(false, false), Answer::Ask);
    view.BuildPage(512);
    view.SetStartField("F800");
    view.SetCountField("2048");
    EXPECT_EQ(view.PageStart(), 0xF800u);
    EXPECT_EQ(view.PageCount(), 2048u);
    // The field does not rebuild the page: beyond its cells everything is empty.
    EXPECT_TRUE(view.CellEmpty(1000));
    view.SetCellByte(1000, 0x12);
    EXPECT_EQ(view.GetCellByte(1000), 0);
    view.MarkCellRed(1000);
    EXPECT_FALSE(view.page().IsRed(1000));

    EXPECT_EQ(view.QuartzText(), "Auto");
    view.SelectQuartz(2);
    EXPECT_EQ(view.QuartzText(), "8MHz");
}

}  // namespace
}  // namespace hc12::cli
