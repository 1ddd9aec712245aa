#include "CliRunner.h"

#include <filesystem>
#include <memory>
#include <ostream>

#include "Compare.h"
#include "FileTexts.h"
#include "FrameTime.h"
#include "HexText.h"
#include "ImageFile.h"
#include "Language.h"
#include "LatencyTimer.h"
#include "ModelTable.h"
#include "PortFactory.h"
#include "ProductionRun.h"
#include "Programmer.h"
#include "RawImageFile.h"
#include "ReplacingFile.h"
#include "Rfc2217SerialPort.h"
#include "SerialLink.h"
#include "VirtualBoard.h"

namespace hc12::cli {

namespace {

// The window's questions before it loads an image larger than the page.
bool AcceptImage(TerminalView& view, size_t size, uint32_t count) {
    for (const std::string& text : LoadQuestions(size, count)) {
        if (view.ShowMessage({text, Tr(kWarningCaption), MsgButtons::YesNo, MsgIcon::Question}) ==
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
    Session(const CliOptions& options, std::ostream& out, const TerminalIo& io,
            const CliEnvironment& environment)
        : options_(options), out_(out), environment_(environment), view_(io, options.answer) {}
    ~Session() {
        if (environment_.unit != nullptr && programmer_ != nullptr)
            environment_.unit->Detach();
    }

    int Run();

  private:
    int Prepare();
    int Connect();
    int Read();
    int Write();
    int Verify();
    // The image of write and verify, fitted into the page.
    int LoadImage();
    // Reads the image of write and verify before the target is touched.
    int ReadImage();
    // The bytes the image gives, at their addresses.
    std::vector<ImageByte> ExpectedBytes();
    int ResultOfOperation(bool ok);
    std::string CommandName() const;
    void NoteUnstableBytes();
    void NoteSlowAdapter(bool opened, const std::string& portValue);

    const CliOptions& options_;
    std::ostream& out_;
    const CliEnvironment& environment_;
    TerminalView view_;
    PortMap ports_ = PortMap::Defaults();
    int portIndex_ = 0;
    uint32_t frameTimeUs_ = kDefaultFrameTimeUs;
    ImageFormat format_ = ImageFormat::Raw;
    std::vector<uint8_t> image_;  // a raw image
    uint32_t imageStart_ = 0;     // where the raw image was loaded
    AddressedImage addressed_;    // an image of the other formats
    std::unique_ptr<Clock> ownClock_;
    Clock* clock_ = nullptr;
    std::unique_ptr<SerialLink> link_;
    std::string openError_;  // why the port did not open
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

    // The command line wins over the environment.
    if (options_.frameTimeUs) {
        frameTimeUs_ = *options_.frameTimeUs;
    } else if (std::string error; !FrameTimeFromEnvironment(&frameTimeUs_, &error)) {
        view_.Note("hc12prog-cli: " + error);
        return kExitUsage;
    }

    // Files and windows that cannot work are found before the target is touched.
    if (options_.command != Command::Connect && options_.count == 0u) {
        view_.Note("hc12prog-cli: --count 0: the address window is empty, nothing to " +
                   CommandName());
        return kExitUsage;
    }
    format_ = options_.format.value_or(FormatFromFileName(options_.file));
    if (options_.command == Command::Write || options_.command == Command::Verify) {
        if (const int status = ReadImage(); status != kExitOk)
            return status;
    }
    if (options_.command == Command::Read) {
        // Only a regular file (or a link to one) is replaced by the image.
        std::filesystem::path target;
        std::string error;
        if (!ResolveSaveTarget(options_.file, &target, &error)) {
            view_.ShowMessage(
                {Tr(kCannotSaveText), Tr(kErrorCaption), MsgButtons::Ok, MsgIcon::Error});
            view_.Note("hc12prog-cli: " + options_.file + ": " + error);
            return kExitUsage;
        }
    }

    if (environment_.clock != nullptr)
        clock_ = environment_.clock;
    else if (options_.virtualClock)
        clock_ = (ownClock_ = std::make_unique<VirtualClock>()).get();
    else
        clock_ = (ownClock_ = std::make_unique<SteadyClock>()).get();
    link_ = std::make_unique<SerialLink>(
        *clock_, view_, [this](const std::string& portName) -> std::unique_ptr<SerialPort> {
            const int index = MenuPortIndex(portName);
            if (index < 0)
                return nullptr;
            const std::string& value = ports_.values[index];
            openError_.clear();
            std::unique_ptr<SerialPort> port = environment_.openPort
                                                   ? environment_.openPort(value)
                                                   : OpenPortValue(value, *clock_, &openError_);
            NoteSlowAdapter(port != nullptr, value);
            return port;
        });
    link_->SetFrameTimeUs(frameTimeUs_);
    programmer_ = std::make_unique<Programmer>(*link_, view_);
    if (environment_.unit != nullptr)
        environment_.unit->Attach(view_, *programmer_);
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

int Session::ReadImage() {
    std::string error;
    bool empty = false;
    if (format_ == ImageFormat::Raw) {
        if (!ReadRawImage(options_.file, &image_, &error)) {
            view_.ShowMessage(
                {Tr(kCannotOpenText), Tr(kErrorCaption), MsgButtons::Ok, MsgIcon::Error});
            view_.Note("hc12prog-cli: " + options_.file + ": " + error);
            return kExitUsage;
        }
        empty = image_.empty();
    } else {
        ImageError recordError;
        switch (ReadAddressedImage(options_.file, format_, &addressed_, &error, &recordError)) {
            case ImageReadResult::Ok:
                break;
            case ImageReadResult::Unreadable:
                view_.ShowMessage(
                    {Tr(kCannotOpenText), Tr(kErrorCaption), MsgButtons::Ok, MsgIcon::Error});
                view_.Note("hc12prog-cli: " + options_.file + ": " + error);
                return kExitUsage;
            case ImageReadResult::BadRecord:
                view_.ShowMessage({ImageErrorText(recordError), Tr(kErrorCaption), MsgButtons::Ok,
                                   MsgIcon::Error});
                return kExitUsage;
        }
        empty = addressed_.empty();
    }
    if (empty) {
        view_.Note("hc12prog-cli: " + options_.file + ": the image is empty, nothing to " +
                   CommandName());
        return kExitUsage;
    }
    return kExitOk;
}

int Session::Connect() {
    programmer_->Connect();
    if (!view_.ConnectAttempted())
        return kExitUsage;  // no model chosen
    if (!view_.ShownConnected()) {
        // The window's box does not say why the port did not open; this line does.
        if (!openError_.empty())
            view_.Note("hc12prog-cli: " + openError_);
        return kExitNoConnection;
    }
    if (options_.start)
        view_.page().set_start(*options_.start);
    if (options_.count)
        view_.page().set_count(*options_.count);
    if (options_.command != Command::Connect && view_.page().count() == 0) {
        view_.Note("hc12prog-cli: the address window is empty, nothing to " + CommandName());
        return kExitUsage;
    }
    return kExitOk;
}

std::string Session::CommandName() const {
    return options_.command == Command::Connect ? "do" : CommandWord(options_.command);
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
    const std::optional<AdapterLatency> latency =
        ReadAdapterLatency(portValue, environment_.sysfsTtyRoot);
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
    PageModel& page = view_.page();
    const uint32_t start = page.start();
    const uint32_t count = page.count();
    const bool ok = programmer_->ReadEeprom();
    if (const int status = ResultOfOperation(ok); status != kExitOk) {
        view_.Note("hc12prog-cli: " + options_.file + " not written: the read did not complete");
        return status;
    }
    // Bytes of a read that did not complete were never compared: none are named.
    NoteUnstableBytes();
    // The read covers whole words; the file holds the window that was asked for.
    const uint32_t skip = start - page.start();
    std::vector<uint8_t> bytes = page.Image(skip + count);
    bytes.erase(bytes.begin(), bytes.begin() + skip);
    if (format_ != ImageFormat::Raw) {
        AddressedImage image;
        for (uint32_t i = 0; i < count; ++i)
            image.bytes.push_back({start + i, bytes[i]});
        bytes = EncodeAddressedImage(image, format_,
                                     std::filesystem::path(options_.file).filename().string());
    }
    std::string error;
    if (!SaveRawImage(options_.file, bytes, &error)) {
        view_.ShowMessage({Tr(kCannotSaveText), Tr(kErrorCaption), MsgButtons::Ok, MsgIcon::Error});
        view_.Note("hc12prog-cli: " + options_.file + ": " + error);
        return kExitUsage;
    }
    return kExitOk;
}

int Session::LoadImage() {
    PageModel& page = view_.page();
    if (format_ != ImageFormat::Raw) {
        // Addressed bytes go where they belong, or nowhere.
        if (!FitsWindow(addressed_, page.start(), page.count())) {
            view_.Note("hc12prog-cli: " + options_.file + ": its addresses " +
                       FormatAddress(addressed_.first()) + ".." + FormatAddress(addressed_.last()) +
                       " lie outside the address window " + FormatAddress(page.start()) + ".." +
                       FormatAddress(page.start() + page.count() - 1) +
                       "; --start and --count can move the window");
            return kExitUsage;
        }
        view_.BuildPage(page.count());
        for (const ImageByte& b : addressed_.bytes)
            page.SetCellByte(b.address - page.start(), b.value);
        view_.Note(LoadedStatusText(uint32_t(addressed_.bytes.size())));
        return kExitOk;
    }
    if (!AcceptImage(view_, image_.size(), page.count()))
        return kExitUsage;  // the image was not taken, by answer or refusal
    imageStart_ = page.start();
    // The page keeps the address window; a larger image, once accepted, sets the
    // count as a load does. Cells beyond a shorter image stay empty.
    view_.BuildPage(std::max<uint32_t>(page.count(), uint32_t(image_.size())));
    for (uint32_t i = 0; i < image_.size(); ++i)
        page.SetCellByte(i, image_[i]);
    view_.Note(LoadedStatusText(uint32_t(image_.size())));
    return kExitOk;
}

std::vector<ImageByte> Session::ExpectedBytes() {
    if (format_ != ImageFormat::Raw)
        return addressed_.bytes;
    std::vector<ImageByte> expected;
    for (uint32_t i = 0; i < image_.size(); ++i)
        expected.push_back({imageStart_ + i, image_[i]});
    return expected;
}

int Session::Write() {
    if (const int status = LoadImage(); status != kExitOk)
        return status;
    if (environment_.unit != nullptr)
        if (const int status = environment_.unit->BeforeWrite(); status != kExitOk)
            return status;
    const bool ok =
        options_.fullWrite ? programmer_->WriteEeprom() : programmer_->WriteChangedEeprom();
    PageModel& page = view_.page();
    for (uint32_t index : RedCells(page))
        view_.Note("hc12prog-cli: byte at " + AddressOf(page, index) + " not written");
    const int status = ResultOfOperation(ok);
    return environment_.unit != nullptr ? environment_.unit->AfterWrite(status) : status;
}

int Session::Verify() {
    if (const int status = LoadImage(); status != kExitOk)
        return status;
    const bool ok = programmer_->ReadEeprom();
    if (const int status = ResultOfOperation(ok); status != kExitOk)
        return status;
    NoteUnstableBytes();
    if (environment_.unit != nullptr)
        environment_.unit->AfterVerifyRead();
    // The file's bytes against the bytes read at their addresses, and only those.
    const PageModel& actual = view_.page();
    int32_t differences = 0;
    for (const ImageByte& b : ExpectedBytes()) {
        const uint8_t read = actual.GetCellByte(b.address - actual.start());
        if (read == b.value)
            continue;
        if (environment_.unit != nullptr && !environment_.unit->Compares(b.address - actual.start()))
            continue;
        ++differences;
        out_ << FormatHex4(b.address) << ": expected " << FormatHex2(b.value) << ", actual "
             << FormatHex2(read) << '\n';
    }
    out_ << std::flush;
    view_.ShowMessage(
        {differences == 0 ? std::string(Tr(kIdenticalBuffersText)) : CompareSummary(differences),
         Tr(kDifferencesCaption), MsgButtons::Ok, MsgIcon::None});
    return differences == 0 ? kExitOk : kExitFailed;
}

int Session::Run() {
    if (const int status = Prepare(); status != kExitOk || environment_.checkOnly)
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
        case Command::Serials:
            break;
    }
    return kExitUsage;
}

}  // namespace

int RunCli(const CliOptions& options, std::ostream& out, const TerminalIo& io,
           const CliEnvironment& environment) {
    Session session(options, out, io, environment);
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
    std::string error, warning;
    if (!SetUpLanguage(parsed.options->language, &error, &warning)) {
        *io.err << "hc12prog-cli: " << error << '\n' << UsageText() << std::flush;
        return kExitUsage;
    }
    if (!warning.empty())
        *io.err << "hc12prog-cli: " << warning << '\n' << std::flush;
    if (parsed.options->command == Command::Serials)
        return ListSerials(parsed.options->file, out, io);
    if (parsed.options->production.Any())
        return RunProduction(*parsed.options, out, io);
    return RunCli(*parsed.options, out, io);
}

}  // namespace hc12::cli
