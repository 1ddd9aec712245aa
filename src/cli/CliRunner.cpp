#include "CliRunner.h"

#include <memory>
#include <ostream>

#include "Compare.h"
#include "FileTexts.h"
#include "HexText.h"
#include "LatencyTimer.h"
#include "ModelTable.h"
#include "PortFactory.h"
#include "Programmer.h"
#include "RawImageFile.h"
#include "Rfc2217SerialPort.h"
#include "SerialLink.h"
#include "VirtualBoard.h"

namespace hc12::cli {

namespace {

// The window's questions before it loads an image larger than the page.
bool AcceptImage(TerminalView& view, size_t size, uint32_t count) {
    for (const std::string& text : LoadQuestions(size, count)) {
        if (view.ShowMessage({text, kWarningCaption, MsgButtons::YesNo, MsgIcon::Question}) ==
            MsgAnswer::No)
            return false;
    }
    return true;
}

std::vector<uint32_t> RedCells(const PageModel& page) {
    std::vector<uint32_t> red;
    for (uint32_t i = 0; i < page.capacity(); ++i)
        if (page.IsRed(i))
            red.push_back(i);
    return red;
}

std::string AddressOf(const PageModel& page, uint32_t index) {
    return FormatHex4(page.start() + index);
}

class Session {
  public:
    Session(const CliOptions& options, std::ostream& out, const TerminalIo& io)
        : options_(options), out_(out), view_(io, options.answer) {}

    int Run();

  private:
    int Prepare();
    int Connect();
    int Read();
    int Write();
    int Verify();
    // The image of write and verify, fitted into the page.
    int LoadImage();
    int ResultOfOperation(bool ok);
    void NoteUnstableBytes();
    void NoteSlowAdapter(bool opened, const std::string& portValue);

    const CliOptions& options_;
    std::ostream& out_;
    TerminalView view_;
    PortMap ports_ = PortMap::Defaults();
    int portIndex_ = 0;
    std::vector<uint8_t> image_;
    std::unique_ptr<Clock> clock_;
    std::unique_ptr<SerialLink> link_;
    std::unique_ptr<Programmer> programmer_;
};

int Session::Prepare() {
    ports_.ApplyEnvironment();
    if (!options_.port.empty()) {
        // "COM2" is that menu port as mapped; "COM2=VALUE" maps it first, as the
        // window's --port does; anything else is a port value of its own.
        const std::string& port = options_.port;
        const int index = MenuPortIndex(port);
        const int assigned = MenuPortIndex(port.substr(0, port.find('=')));
        if (index >= 0) {
            portIndex_ = index;
        } else if (assigned >= 0 && port.find('=') != std::string::npos) {
            std::string error;
            const std::string assignment =
                "COM" + std::to_string(assigned + 1) + port.substr(port.find('='));
            if (!ports_.ApplyAssignment(assignment, &error)) {
                view_.Note("hc12prog-cli: --port " + port + ": " + error);
                return kExitUsage;
            }
            portIndex_ = assigned;
        } else {
            ports_.values[0] = port;
        }
    }
    const std::string& portValue = ports_.values[portIndex_];
    if (IsVirtualPortValue(portValue)) {
        std::string error;
        if (!sim::ParseBoardOptions(portValue, &error)) {
            view_.Note("hc12prog-cli: " + portValue + ": " + error);
            return kExitUsage;
        }
    } else if (std::string error;
               IsRfc2217Value(portValue) && !ParseRfc2217Value(portValue, &error)) {
        view_.Note("hc12prog-cli: " + error);
        return kExitUsage;
    } else if (options_.virtualClock) {
        view_.Note("hc12prog-cli: --virtual-clock works only with a virtual port, not " +
                   portValue);
        return kExitUsage;
    }

    // A file that cannot be read is found before the target is touched.
    if (options_.command == Command::Write || options_.command == Command::Verify) {
        std::string error;
        const bool read = ReadRawImage(options_.file, &image_, &error);
        if (read && image_.size() > kMaxFileLength)
            error = "file too large for a page";
        if (!read || !error.empty()) {
            view_.ShowMessage({kCannotOpenText, kErrorCaption, MsgButtons::Ok, MsgIcon::Error});
            view_.Note("hc12prog-cli: " + options_.file + ": " + error);
            return kExitUsage;
        }
    }

    if (options_.virtualClock)
        clock_ = std::make_unique<VirtualClock>();
    else
        clock_ = std::make_unique<SteadyClock>();
    link_ = std::make_unique<SerialLink>(
        *clock_, view_, [this](const std::string& portName) -> std::unique_ptr<SerialPort> {
            const int index = MenuPortIndex(portName);
            if (index < 0)
                return nullptr;
            const std::string& value = ports_.values[index];
            std::unique_ptr<SerialPort> port = OpenPortValue(value, *clock_);
            NoteSlowAdapter(port != nullptr, value);
            return port;
        });
    programmer_ = std::make_unique<Programmer>(*link_, view_);
    // Connect opens the port when none was chosen: the one of the command line.
    view_.SetPortOpener([this] { link_->OpenPort(portIndex_); });

    // Choosing the model seeds the address window, as the model list does.
    const ModelRecord& model = ModelTable()[options_.modelIndex.value_or(0)];
    programmer_->SetCurrentModel(model);
    view_.BuildPage(model.eepromSize);
    view_.page().set_start(model.eepromStart);

    view_.SetQuartzIndex(options_.quartzIndex);
    if (options_.quartzIndex != 0)
        programmer_->OnQuartzSelected(std::string(kQuartzChoices[options_.quartzIndex]));
    return kExitOk;
}

int Session::Connect() {
    programmer_->Connect();
    if (!view_.ConnectAttempted())
        return kExitUsage;  // no model chosen
    if (!view_.ShownConnected())
        return kExitNoConnection;
    if (options_.start)
        view_.page().set_start(*options_.start);
    if (options_.count)
        view_.page().set_count(*options_.count);
    return kExitOk;
}

int Session::ResultOfOperation(bool ok) {
    if (view_.QuestionRefused())
        return kExitUsage;
    if (!link_->Connected())
        return kExitNoConnection;
    return ok ? kExitOk : kExitFailed;
}

// A USB adapter whose latency timer the low-latency request left high.
void Session::NoteSlowAdapter(bool opened, const std::string& portValue) {
    if (!opened || IsVirtualPortValue(portValue))
        return;
    const std::optional<AdapterLatency> latency = ReadAdapterLatency(portValue);
    if (latency && latency->ms > kLatencyTimerGoodMs)
        view_.Note("hc12prog-cli: " + LatencyAdviceLine(portValue, *latency));
}

// The read shows bytes that never read the same twice in red; name them.
void Session::NoteUnstableBytes() {
    const PageModel& page = view_.page();
    for (uint32_t index : RedCells(page))
        view_.Note("hc12prog-cli: unstable byte at " + AddressOf(page, index) + " (first reading " +
                   FormatHex2(page.GetCellByte(index)) + ")");
}

int Session::Read() {
    const bool ok = programmer_->ReadEeprom();
    NoteUnstableBytes();
    PageModel& page = view_.page();
    if (const int status = ResultOfOperation(ok); status != kExitOk) {
        view_.Note("hc12prog-cli: " + options_.file + " not written: the read did not complete");
        return status;
    }
    std::string error;
    if (!SaveRawImage(options_.file, page.Image(page.count()), &error)) {
        view_.ShowMessage({kCannotSaveText, kErrorCaption, MsgButtons::Ok, MsgIcon::Error});
        view_.Note("hc12prog-cli: " + options_.file + ": " + error);
        return kExitUsage;
    }
    return kExitOk;
}

int Session::LoadImage() {
    PageModel& page = view_.page();
    if (!AcceptImage(view_, image_.size(), page.count()))
        return kExitUsage;  // the image was not taken, by answer or refusal
    // The page keeps the address window; a larger image, once accepted, sets the
    // count as a load does. Cells beyond a shorter image stay empty.
    view_.BuildPage(std::max<uint32_t>(page.count(), uint32_t(image_.size())));
    for (uint32_t i = 0; i < image_.size(); ++i)
        page.SetCellByte(i, image_[i]);
    view_.Note(LoadedStatusText(uint32_t(image_.size())));
    return kExitOk;
}

int Session::Write() {
    if (const int status = LoadImage(); status != kExitOk)
        return status;
    const bool ok =
        options_.fullWrite ? programmer_->WriteEeprom() : programmer_->WriteChangedEeprom();
    PageModel& page = view_.page();
    for (uint32_t index : RedCells(page))
        view_.Note("hc12prog-cli: byte at " + AddressOf(page, index) + " not written");
    return ResultOfOperation(ok);
}

int Session::Verify() {
    if (const int status = LoadImage(); status != kExitOk)
        return status;
    const bool ok = programmer_->ReadEeprom();
    NoteUnstableBytes();
    if (const int status = ResultOfOperation(ok); status != kExitOk)
        return status;
    // Compare as the window compares two pages: the file's bytes against the bytes
    // read, over the file's length.
    const PageModel& actual = view_.page();
    const uint32_t length = uint32_t(image_.size());
    PageModel expected(length), readBack(length), result(length);
    for (uint32_t i = 0; i < length; ++i) {
        expected.SetCellByte(i, image_[i]);
        readBack.SetCellByte(i, actual.GetCellByte(i));
    }
    const int32_t differences = ComparePages(expected, readBack, result);
    for (uint32_t i = 0; i < length; ++i) {
        if (!result.IsRed(i))
            continue;
        out_ << AddressOf(actual, i) << ": expected " << FormatHex2(image_[i]) << ", actual "
             << FormatHex2(actual.GetCellByte(i)) << '\n';
    }
    out_ << std::flush;
    view_.ShowMessage(
        {differences == 0 ? std::string(kIdenticalBuffersText) : CompareSummary(differences),
         kDifferencesCaption, MsgButtons::Ok, MsgIcon::None});
    return differences == 0 ? kExitOk : kExitFailed;
}

int Session::Run() {
    if (const int status = Prepare(); status != kExitOk)
        return status;
    if (const int status = Connect(); status != kExitOk)
        return status;
    switch (options_.command) {
        case Command::Connect:
            // The quartz the connect used (found, when it was "Auto"), for the next run.
            view_.Note("hc12prog-cli: quartz " + view_.QuartzText());
            view_.Note(view_.GetStatusText(3));
            return kExitOk;
        case Command::Read:
            return Read();
        case Command::Write:
            return Write();
        case Command::Verify:
            return Verify();
    }
    return kExitUsage;
}

}  // namespace

int RunCli(const CliOptions& options, std::ostream& out, const TerminalIo& io) {
    Session session(options, out, io);
    return session.Run();
}

int CliMain(const std::vector<std::string>& args, std::ostream& out, const TerminalIo& io) {
    const ParseResult parsed = ParseCommandLine(args);
    if (!parsed.options) {
        *io.err << "hc12prog-cli: " << parsed.error << '\n' << UsageText() << std::flush;
        return kExitUsage;
    }
    if (parsed.options->help) {
        out << HelpText() << std::flush;
        return kExitOk;
    }
    return RunCli(*parsed.options, out, io);
}

}  // namespace hc12::cli
