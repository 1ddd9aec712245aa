#include "CliRunner.h"

#include <cstdio>
#include <memory>
#include <ostream>

#include "ModelTable.h"
#include "PortFactory.h"
#include "Programmer.h"
#include "RawImageFile.h"
#include "SerialLink.h"
#include "VirtualBoard.h"

namespace hc12::cli {

namespace {

const char* const kError = "Błąd";
const char* const kWarning = "Ostrzeżenie";

std::string Hex(uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, unsigned(value));
    return text;
}

// The window's file rules for an image larger than the page: ask before loading
// it, and again for one of 64 KiB or more; a loaded image sets the page's count.
bool AcceptLargerImage(TerminalView& view, size_t size, uint32_t count) {
    if (size <= count) return true;
    Message question{"Plik jest większy niż wczytywana pamięć! .\nCzy otworzyć mimo to?",
                     kWarning, MsgButtons::YesNo, MsgIcon::Question};
    if (view.ShowMessage(question) == MsgAnswer::No) return false;
    if (size >= 65536) {
        question.text = "Plik jest bardzo duży i wczytywanie moze zajac duzo czasu."
                        "Czy kontynuować?";
        if (view.ShowMessage(question) == MsgAnswer::No) return false;
    }
    return true;
}

// The compare summary of the window, "Razem:  N  różnic(a|e)." or identical buffers.
void PrintCompareSummary(TerminalView& view, uint32_t differences) {
    if (differences == 0) {
        view.ShowMessage({"Bufory są identyczne!", "Różnice", MsgButtons::Ok, MsgIcon::None});
        return;
    }
    const char* noun = differences == 1                       ? "różnica"
                       : (differences >= 2 && differences <= 4) ? "różnice"
                                                                : "różnic";
    const std::string summary =
        "Razem:  " + std::to_string(differences) + "  " + noun + ".";
    view.ShowMessage({summary, "Różnice", MsgButtons::Ok, MsgIcon::None});
}

uint16_t AddressOf(const CliPage& page, uint32_t index) {
    return uint16_t((page.start() + index) & 0xFFFF);
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
        const int index = MenuPortIndex(options_.port);
        if (index >= 0)
            portIndex_ = index;
        else
            ports_.values[0] = options_.port;
    }
    const std::string& portValue = ports_.values[portIndex_];
    if (IsVirtualPortValue(portValue)) {
        std::string error;
        if (!sim::ParseBoardOptions(portValue, &error)) {
            view_.Note("hc12prog-cli: " + portValue + ": " + error);
            return kExitUsage;
        }
    } else if (options_.virtualClock) {
        view_.Note("hc12prog-cli: --virtual-clock works only with a virtual port, not " +
                   portValue);
        return kExitUsage;
    }

    // A file that cannot be read is found before the target is touched.
    if (options_.command == Command::Write || options_.command == Command::Verify) {
        std::string error;
        if (!ReadRawImage(options_.file, &image_, &error)) {
            view_.ShowMessage({"Nie moge otworzyc pliku", kError, MsgButtons::Ok, MsgIcon::Error});
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
            if (index < 0) return nullptr;
            return OpenPortValue(ports_.values[index], *clock_);
        });
    programmer_ = std::make_unique<Programmer>(*link_, view_);
    view_.SetPortOpener([this] {
        if (link_->OpenPort(portIndex_) && link_->CurrentPort())
            link_->CurrentPort()->HintModel(programmer_->CurrentModel().name);
    });

    // Choosing the model seeds the address window, as the model list does.
    const ModelRecord& model = ModelTable()[options_.modelIndex.value_or(0)];
    programmer_->SetCurrentModel(model);
    view_.BuildPage(model.eepromSize);
    view_.page().SetStart(model.eepromStart);

    view_.SetQuartzIndex(options_.quartzIndex);
    if (options_.quartzIndex != 0)
        programmer_->OnQuartzSelected(std::string(kQuartzChoices[options_.quartzIndex]));
    return kExitOk;
}

int Session::Connect() {
    programmer_->Connect();
    if (!view_.ConnectAttempted()) return kExitUsage;  // no model chosen
    if (!view_.ShownConnected()) return kExitNoConnection;
    if (options_.start) view_.page().SetStart(*options_.start);
    if (options_.count) view_.page().SetCount(*options_.count);
    return kExitOk;
}

int Session::ResultOfOperation(bool ok) {
    if (view_.QuestionRefused()) return kExitUsage;
    if (!link_->Connected()) return kExitNoConnection;
    return ok ? kExitOk : kExitFailed;
}

int Session::Read() {
    const bool ok = programmer_->ReadEeprom();
    CliPage& page = view_.page();
    for (uint32_t index : page.RedCells())
        view_.Note("hc12prog-cli: unstable byte at " + Hex(AddressOf(page, index), 4) +
                   " (first reading " + Hex(page.Byte(index), 2) + ")");
    if (const int status = ResultOfOperation(ok); status != kExitOk) {
        view_.Note("hc12prog-cli: " + options_.file + " not written: the read did not complete");
        return status;
    }
    std::vector<uint8_t> bytes(page.count());
    for (uint32_t i = 0; i < page.count(); ++i) bytes[i] = page.Byte(i);
    std::string error;
    if (!SaveRawImage(options_.file, bytes, &error)) {
        view_.ShowMessage({"Nie moge zapisac pliku", kError, MsgButtons::Ok, MsgIcon::Error});
        view_.Note("hc12prog-cli: " + options_.file + ": " + error);
        return kExitUsage;
    }
    return kExitOk;
}

int Session::LoadImage() {
    CliPage& page = view_.page();
    if (!AcceptLargerImage(view_, image_.size(), page.count()))
        return kExitUsage;  // the image was not taken, by answer or refusal
    const uint32_t count = std::max<uint32_t>(page.count(), uint32_t(image_.size()));
    page.Build(count);
    for (uint32_t i = 0; i < image_.size(); ++i) page.SetByte(i, image_[i]);
    return kExitOk;
}

int Session::Write() {
    if (const int status = LoadImage(); status != kExitOk) return status;
    const bool ok = programmer_->WriteEeprom();
    CliPage& page = view_.page();
    for (uint32_t index : page.RedCells())
        view_.Note("hc12prog-cli: byte at " + Hex(AddressOf(page, index), 4) + " not written");
    return ResultOfOperation(ok);
}

int Session::Verify() {
    if (const int status = LoadImage(); status != kExitOk) return status;
    const bool ok = programmer_->ReadEeprom();
    if (const int status = ResultOfOperation(ok); status != kExitOk) return status;
    CliPage& page = view_.page();
    uint32_t differences = 0;
    for (uint32_t i = 0; i < image_.size(); ++i) {
        const uint8_t actual = page.Byte(i);
        if (actual == image_[i]) continue;
        ++differences;
        out_ << Hex(AddressOf(page, i), 4) << ": expected " << Hex(image_[i], 2) << ", actual "
             << Hex(actual, 2) << '\n';
    }
    out_ << std::flush;
    PrintCompareSummary(view_, differences);
    return differences == 0 ? kExitOk : kExitFailed;
}

int Session::Run() {
    if (const int status = Prepare(); status != kExitOk) return status;
    if (const int status = Connect(); status != kExitOk) return status;
    switch (options_.command) {
    case Command::Connect:
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
