#include "ProductionUnit.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <set>

#include "Backup.h"
#include "FileTexts.h"
#include "HexText.h"
#include "LineStream.h"
#include "ModelTable.h"
#include "PortFactory.h"
#include "Programmer.h"
#include "Sha256.h"
#include "TerminalView.h"

namespace hc12::cli {

namespace {

std::string Range(uint32_t start, uint32_t end) {
    return FormatHex4(start) + ".." + FormatHex4(end - 1);
}

}  // namespace

ProductionUnit::ProductionUnit(size_t index, CliOptions options,
                               const ProductionOptions& production, const SharedByUnits& shared)
    : index_(index), options_(std::move(options)), production_(production), shared_(shared) {
    record_.port = options_.port.empty() ? "COM1" : options_.port;
    record_.command = CommandWord(options_.command);
    record_.host = shared_.host;
    record_.model = ModelTable()[size_t(options_.modelIndex.value_or(0))].name;
}

void ProductionUnit::Message(const std::string& line) {
    const std::string error = std::string(kErrorCaption) + ": ";
    if (line.rfind(error, 0) == 0)
        lastError_ = line;
    shared_.display->Message(index_, line);
}

void ProductionUnit::Run(const TerminalIo& io, CliEnvironment environment) {
    const auto started = std::chrono::steady_clock::now();
    shared_.display->Started(index_);
    int status = kExitUsage;
    {
        LineStream err([this](const std::string& line) { Message(line); });
        LineStream out([this](const std::string& line) { shared_.display->Output(index_, line); });
        // Nobody can be asked on a terminal while several units run: --yes or --no.
        const TerminalIo unitIo{&err, io.in, false, false, io.stop};
        std::unique_ptr<Clock> ownClock;
        if (environment.clock == nullptr) {
            if (options_.virtualClock)
                ownClock = std::make_unique<VirtualClock>();
            else
                ownClock = std::make_unique<SteadyClock>();
            environment.clock = ownClock.get();
        }
        Clock* clock = environment.clock;
        auto opener = environment.openPort;
        environment.openPort = [this, opener, clock](const std::string& value) {
            std::unique_ptr<SerialPort> port =
                opener ? opener(value) : OpenPortValue(value, *clock);
            portOpened_ = portOpened_ || port != nullptr;
            return port;
        };
        environment.unit = this;
        status = RunCli(options_, out, unitIo, environment);
    }
    record_.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    Finish(status);
}

void ProductionUnit::Attach(TerminalView& view, Programmer& programmer) {
    view_ = &view;
    programmer_ = &programmer;
    view.SetProgressObserver([this](int32_t done, int32_t total) {
        if (total > 0) {
            linkUp_ = true;
            if (phase_ == "connect")
                phase_ = record_.command;
            if (phase_ == record_.command)
                operationStarted_ = true;
        }
        shared_.display->Progress(index_, phase_, done, total);
    });
}

int ProductionUnit::Refuse(const std::string& why, int status) {
    refusal_ = why;
    Message("hc12prog-cli: " + why + "; not written");
    return status;
}

bool ProductionUnit::InWindow(uint32_t address, uint32_t end) const {
    const uint32_t start = view_->page().start();
    return address >= start && end <= start + view_->page().count();
}

std::string ProductionUnit::ImageSha256() const {
    const PageModel& page = view_->page();
    std::vector<uint8_t> bytes(page.count(), 0xFF);
    for (uint32_t i = 0; i < page.count(); ++i)
        if (!page.CellEmpty(i))
            bytes[i] = page.GetCellByte(i);
    return production::Sha256Hex(bytes);
}

std::string ProductionUnit::PlaceFields() {
    const PageModel& page = view_->page();
    const uint32_t start = page.start();
    const std::string window =
        " lies outside the address window " + Range(start, start + page.count());
    serialField_ = production_.serial;
    if (serialField_ && serialField_->fromWindowStart) {
        serialField_->address += start;
        serialField_->fromWindowStart = false;
    }
    if (serialField_ && !InWindow(serialField_->address, serialField_->End()))
        return "the serial field " + Range(serialField_->address, serialField_->End()) + window;
    keep_ = production_.keep;
    for (KeepRange& keep : keep_) {
        if (keep.fromWindowStart)
            keep.address += start;
        keep.fromWindowStart = false;
        if (!InWindow(keep.address, keep.End()))
            return "--keep " + Range(keep.address, keep.End()) + window;
        if (serialField_ && keep.address < serialField_->End() &&
            serialField_->address < keep.End())
            return "--keep " + Range(keep.address, keep.End()) + " and the serial field " +
                   Range(serialField_->address, serialField_->End()) + " overlap";
    }
    return "";
}

int ProductionUnit::BeforeWrite() {
    linkUp_ = true;
    PageModel& page = view_->page();
    const uint32_t start = page.start();
    if (const std::string misfit = PlaceFields(); !misfit.empty())
        return Refuse(misfit, kExitUsage);
    const auto& serial = serialField_;

    // Kept bytes become empty cells: every write keeps the unit's own bytes there.
    if (!keep_.empty()) {
        const PageModel image = page;
        view_->BuildPage(image.count());
        for (uint32_t i = 0; i < image.capacity(); ++i) {
            const uint32_t address = start + i;
            const bool kept = std::any_of(keep_.begin(), keep_.end(), [&](const KeepRange& k) {
                return address >= k.address && address < k.End();
            });
            if (!image.CellEmpty(i) && !kept)
                page.SetCellByte(i, image.GetCellByte(i));
        }
    }

    if (serial) {
        std::string error;
        serial_ = shared_.ledger->Reserve(record_.port, serial->MaxValue(), &error);
        if (!serial_)
            return Refuse("serial number: " + error, kExitUsage);
        const std::vector<uint8_t> bytes = serial->Encode(*serial_);
        for (uint32_t i = 0; i < bytes.size(); ++i)
            page.SetCellByte(serial->address - start + i, bytes[i]);
        record_.serial = serial_;
        record_.serialBytes = production::HexBytes(bytes);
        Message("hc12prog-cli: serial number " + std::to_string(*serial_) + " (" +
                record_.serialBytes + ") at " + FormatHex4(serial->address));
    }
    record_.imageSha256 = ImageSha256();

    if (options_.fullWrite) {
        if (!production_.backupDir.empty()) {
            if (const int status = ReadForBackup(); status != kExitOk)
                return status;
            if (!SaveBackup(*before_))
                return kExitUsage;
        }
        if (!MarkSent())
            return kExitUsage;
        phase_ = "write";
        return kExitOk;
    }
    // The changed-only write reads the window once before its first erase: that
    // reading is the backup, and the serial number counts as sent from there on.
    phase_ = "read";
    view_->SetHeldBytesKeeper([this](uint32_t, const std::vector<uint8_t>& bytes) {
        before_ = bytes;
        if (!production_.backupDir.empty() && !SaveBackup(bytes))
            return false;
        if (!MarkSent())
            return false;
        phase_ = "write";
        return true;
    });
    return kExitOk;
}

int ProductionUnit::ReadForBackup() {
    phase_ = "backup";
    PageModel& page = view_->page();
    const PageModel image = page;
    const bool ok = programmer_->ReadEeprom();
    const uint32_t count = page.count();
    std::vector<uint8_t> held = page.Image(count);
    bool unstable = false;
    for (uint32_t i = 0; i < count; ++i)
        unstable = unstable || page.IsRed(i);
    page = image;
    if (!ok) {
        refusal_ = "the backup's reading did not complete";
        Message("hc12prog-cli: " + refusal_ + "; not written");
        return programmer_->Stopped() || view_->ShownConnected() ? kExitFailed : kExitNoConnection;
    }
    if (unstable)
        Message("hc12prog-cli: the backup holds bytes that read unstably (their first reading)");
    before_ = held;
    return kExitOk;
}

bool ProductionUnit::SaveBackup(const std::vector<uint8_t>& held) {
    const std::string stem =
        serial_ ? "sn" + std::to_string(*serial_) : production::SafeFileNamePart(record_.port);
    std::filesystem::path saved;
    std::string error;
    if (!production::SaveBackup(production_.backupDir, stem, view_->page().start(), held, &saved,
                                &error)) {
        Refuse("backup not saved: " + error, kExitUsage);
        return false;
    }
    record_.backup = saved.string();
    record_.beforeSha256 = production::Sha256Hex(held);
    Message("hc12prog-cli: backup " + saved.string());
    return true;
}

bool ProductionUnit::MarkSent() {
    if (!serial_)
        return true;
    std::string error;
    if (!shared_.ledger->MarkSent(*serial_, &error)) {
        Refuse("serial number " + std::to_string(*serial_) + " not recorded as sent: " + error,
               kExitUsage);
        return false;
    }
    serialSent_ = true;
    return true;
}

int ProductionUnit::AfterWrite(int status) {
    wrote_ = true;
    if (const auto& figures = programmer_->LastWrite()) {
        record_.unchanged = figures->unchanged;
        record_.written = figures->done / 2 - std::min(figures->done / 2, figures->unchanged);
    }
    std::set<uint32_t> failedWords;
    const PageModel& page = view_->page();
    for (uint32_t i = 0; i < page.capacity(); ++i)
        if (page.IsRed(i))
            failedWords.insert((page.start() + i) / 2);
    record_.failed = uint32_t(failedWords.size());
    if (!refusal_.empty() && status < kExitUsage)
        status = kExitUsage;  // a backup or the ledger failed the unit: files, not the chip

    // What the EEPROM holds now: the image where it gives bytes, the rest as it was.
    if (status == kExitOk && before_) {
        std::vector<uint8_t> after = *before_;
        for (uint32_t i = 0; i < after.size() && i < page.count(); ++i)
            if (!page.CellEmpty(i))
                after[i] = page.GetCellByte(i);
        record_.afterSha256 = production::Sha256Hex(after);
    }

    if (serialSent_) {
        std::string error;
        const bool recorded =
            status == kExitOk
                ? shared_.ledger->MarkVerified(*serial_, &error)
                : shared_.ledger->MarkVoid(
                      *serial_,
                      ResultText(status) + ": " + (refusal_.empty() ? lastError_ : refusal_),
                      &error);
        if (!recorded) {
            Message("hc12prog-cli: serial number " + std::to_string(*serial_) +
                    " not recorded: " + error);
            status = std::max(status, kExitUsage);
        }
    }
    return status;
}

bool ProductionUnit::Compares(uint32_t offset) {
    const auto& serial = serialField_;
    const uint32_t address = view_->page().start() + offset;
    return !serial || address < serial->address || address >= serial->End();
}

void ProductionUnit::AfterVerifyRead() {
    if (!production_.serial)
        return;
    if (const std::string misfit = PlaceFields(); !misfit.empty()) {
        serialField_.reset();
        Message("hc12prog-cli: " + misfit + "; not read");
        return;
    }
    const auto& serial = serialField_;
    const PageModel& page = view_->page();
    std::vector<uint8_t> bytes(serial->size);
    for (uint32_t i = 0; i < serial->size; ++i)
        bytes[i] = page.GetCellByte(serial->address - page.start() + i);
    record_.serialBytes = production::HexBytes(bytes);
    record_.serial = serial->Decode(bytes);
    Message(record_.serial
                ? "hc12prog-cli: serial number found: " + std::to_string(*record_.serial) + " (" +
                      record_.serialBytes + ")"
                : "hc12prog-cli: the serial field holds no number: " + record_.serialBytes);
}

void ProductionUnit::Detach() {
    stopped_ = programmer_->Stopped();
    if (linkUp_ || view_->ShownConnected())
        record_.quartz = view_->QuartzText();
    view_ = nullptr;
    programmer_ = nullptr;
}

std::string ProductionUnit::ResultText(int status) const {
    if (status == kExitOk)
        return "ok";
    if (stopped_ || (programmer_ != nullptr && programmer_->Stopped()))
        return "stopped";
    if (!refusal_.empty())
        return "refused";
    if (status == kExitNoConnection)
        return linkUp_ ? "link lost" : "failed";
    if (status == kExitUsage)
        return "refused";
    return operationStarted_ ? "failed" : "refused";
}

void ProductionUnit::Finish(int status) {
    record_.time = production::UtcTimestamp();
    record_.result = ResultText(status);
    if (status != kExitOk)
        record_.note = !refusal_.empty() ? refusal_ : lastError_;

    // A number that never left the PC goes back, to be handed out first.
    if (serial_ && !serialSent_) {
        std::string error;
        if (!shared_.ledger->Return(*serial_, record_.result + ": " + record_.note, &error)) {
            Message("hc12prog-cli: serial number " + std::to_string(*serial_) +
                    " not returned: " + error);
            status = std::max(status, kExitUsage);
        }
    }
    record_.exitStatus = status;
    if (shared_.log != nullptr) {
        std::string error;
        if (!shared_.log->Append(record_, &error)) {
            Message("hc12prog-cli: the unit log: " + error);
            record_.exitStatus = std::max(status, kExitUsage);
        }
    }
    shared_.display->Finished(index_, record_);
}

}  // namespace hc12::cli
