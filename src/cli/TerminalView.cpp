#include "TerminalView.h"

#include <algorithm>
#include <cctype>
#include <istream>
#include <ostream>

#include "HexText.h"
#include "ModelTable.h"
#include "Translate.h"

namespace hc12::cli {

namespace {

constexpr int kBarWidth = 40;

// Shown through Tr.
const char* const kNotConnected = N_("Brak połączenia.");
const char* const kConnecting = N_("Łączenie...");
const char* const kConnected = N_("Połączony.");

// The words that answer a question, separated by "|".
bool IsAnswer(const std::string& reply, std::string_view words) {
    size_t start = 0;
    while (start <= words.size()) {
        const size_t end = std::min(words.find('|', start), words.size());
        if (words.substr(start, end - start) == reply)
            return true;
        start = end + 1;
    }
    return false;
}

}  // namespace

TerminalView::TerminalView(TerminalIo io, Answer answer) : io_(io), answer_(answer) {
    status_[3] = Tr(kNotConnected);
}

void TerminalView::PrintLine(const std::string& line) {
    ClearBar();
    *io_.err << line << '\n' << std::flush;
    if (gauge_)
        DrawBar();
}

void TerminalView::Note(const std::string& line) {
    PrintLine(line);
}

MsgAnswer TerminalView::ShowMessage(const Message& message) {
    PrintLine(message.caption + ": " + message.text);
    if (message.buttons != MsgButtons::YesNo)
        return MsgAnswer::Ok;
    switch (answer_) {
        case Answer::Yes:
            PrintLine("hc12prog-cli: answered Yes (--yes)");
            return MsgAnswer::Yes;
        case Answer::No:
            PrintLine("hc12prog-cli: answered No (--no)");
            return MsgAnswer::No;
        case Answer::Ask:
            break;
    }
    if (io_.stdinIsTerminal && io_.in)
        return AskOnTerminal();
    questionRefused_ = true;
    PrintLine(
        "hc12prog-cli: this question needs an answer, but standard input is not a "
        "terminal: give --yes or --no; answering No");
    return MsgAnswer::No;
}

MsgAnswer TerminalView::AskOnTerminal() {
    for (;;) {
        ClearBar();
        *io_.err << Tr("[t]ak/[n]ie? ") << std::flush;
        std::string reply;
        if (!std::getline(*io_.in, reply)) {
            *io_.err << '\n';
            questionRefused_ = true;
            PrintLine("hc12prog-cli: no answer (end of input); answering No");
            return MsgAnswer::No;
        }
        for (auto& c : reply)
            c = char(std::tolower(static_cast<unsigned char>(c)));
        // Translators: the answers taken as Yes, then as No, in lower case; each
        // translation lists its own language's words.
        if (IsAnswer(reply, Tr("t|tak|y|yes"))) {
            if (gauge_)
                DrawBar();
            return MsgAnswer::Yes;
        }
        if (IsAnswer(reply, Tr("n|nie|no"))) {
            if (gauge_)
                DrawBar();
            return MsgAnswer::No;
        }
    }
}

void TerminalView::ShowNotConnected() {
    status_[3] = Tr(kNotConnected);
    shownConnected_ = false;
}

void TerminalView::ShowConnecting() {
    status_[3] = Tr(kConnecting);
    connectAttempted_ = true;
}

void TerminalView::ShowConnected(bool) {
    status_[3] = Tr(kConnected);
    shownConnected_ = true;
}

void TerminalView::SetStatusText(int field, const std::string& text) {
    if (field < 0 || field > 3)
        return;
    status_[field] = text;
    // Field 0 carries results. Field 1 carries the running offset of a write, which
    // is progress (shown beside the bar), and after the write the failure count.
    if (field == 0) {
        PrintLine(text);
    } else if (field == 1) {
        const bool offset =
            !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
        if (!offset)
            PrintLine(text);
        else
            DrawBar();
    }
}

std::string TerminalView::GetStatusText(int field) {
    return field >= 0 && field <= 3 ? status_[field] : std::string();
}

std::string TerminalView::QuartzText() {
    return std::string(kQuartzChoices[quartzIndex_]);
}

void TerminalView::SelectQuartz(int index) {
    if (index >= 0 && index < kQuartzChoiceCount)
        quartzIndex_ = index;
}

void TerminalView::SetStartField(const std::string& text) {
    page_.set_start(ParseHex(text));
}

void TerminalView::SetCountField(const std::string& text) {
    page_.set_count(ParseDecimal(text));
}

void TerminalView::BuildPage(uint32_t size) {
    page_.Build(size);
    page_.set_count(size);
}

void TerminalView::OpenDefaultPort() {
    if (portOpener_)
        portOpener_();
}

bool TerminalView::StopRequested() {
    if (io_.stop == nullptr || !io_.stop->load())
        return false;
    if (!stopNoted_)
        Note("hc12prog-cli: asked to stop (Ctrl+C): stopping between two words");
    stopNoted_ = true;
    return true;
}

void TerminalView::Progress(int32_t n) {
    if (n > 0) {
        ClearBar();
        gauge_ = true;
        total_ = n;
        counter_ = 0;
        DrawBar();
    } else if (n == 0) {
        if (!gauge_)
            return;
        if (++counter_ >= total_) {
            ClearBar();
            gauge_ = false;
            counter_ = 0;
        } else {
            DrawBar();
        }
    } else {
        ClearBar();
        gauge_ = false;
        counter_ = 0;
    }
    if (progressObserver_)
        progressObserver_(counter_, gauge_ ? total_ : 0);
}

void TerminalView::DrawBar() {
    if (!io_.stderrIsTerminal || !gauge_ || total_ <= 0)
        return;
    const int filled = std::clamp(int(int64_t(counter_) * kBarWidth / total_), 0, kBarWidth);
    const int percent = int(int64_t(counter_) * 100 / total_);
    std::string bar;
    bar.reserve(kBarWidth + 16 + status_[1].size());
    bar.push_back('[');
    bar.append(size_t(filled), '#');
    bar.append(size_t(kBarWidth - filled), '-');
    bar.append("] ");
    bar.append(std::to_string(percent));
    bar.push_back('%');
    if (!status_[1].empty()) {
        bar.append("  ");
        bar.append(status_[1]);
    }
    if (bar == drawnBar_)
        return;  // the terminal is touched only when the bar changes
    const size_t oldSize = drawnBar_.size();
    *io_.err << '\r' << bar;
    if (bar.size() < oldSize)
        *io_.err << std::string(oldSize - bar.size(), ' ');
    *io_.err << std::flush;
    drawnBar_ = bar;
}

void TerminalView::ClearBar() {
    if (drawnBar_.empty())
        return;
    *io_.err << '\r' << std::string(drawnBar_.size(), ' ') << '\r' << std::flush;
    drawnBar_.clear();
}

}  // namespace hc12::cli
