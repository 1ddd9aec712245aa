#include "ProductionRun.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <ostream>
#include <sstream>
#include <thread>

#include "Backup.h"
#include "GangDisplay.h"
#include "HexText.h"
#include "ModelTable.h"
#include "PortFactory.h"
#include "ProductionUnit.h"
#include "Rfc2217SerialPort.h"
#include "SerialLedger.h"
#include "UnitLog.h"

namespace hc12::cli {

namespace fs = std::filesystem;

namespace {

// What a port value leads to, so that one port named twice (a menu port and its
// device, a by-id link and the device itself) is found. Virtual boards are each a
// board of their own.
std::string PortIdentity(const std::string& port, const PortMap& map) {
    std::string value = port.empty() ? "COM1" : port;
    const int index = MenuPortIndex(value);
    const size_t eq = value.find('=');
    if (index >= 0)
        value = map.values[size_t(index)];
    else if (eq != std::string::npos && MenuPortIndex(value.substr(0, eq)) >= 0)
        value = value.substr(eq + 1);
    if (IsVirtualPortValue(value))
        return "";
    if (IsRfc2217Value(value)) {
        std::transform(value.begin(), value.end(), value.begin(),
                       [](unsigned char c) { return char(std::tolower(c)); });
        return value;
    }
    std::error_code ec;
    const fs::path canonical = fs::weakly_canonical(value, ec);
    return ec ? value : canonical.string();
}

// The address window as far as it is known before connecting: --start and --count,
// else the model's (an MC9S12 reports its own at connect).
struct KnownWindow {
    std::optional<uint32_t> start, count;
};

KnownWindow WindowBeforeConnect(const CliOptions& options) {
    KnownWindow w{options.start, options.count};
    const ModelRecord& model = ModelTable()[size_t(options.modelIndex.value_or(0))];
    if (options.modelIndex && !IsS12Model(model)) {
        if (!w.start)
            w.start = model.eepromStart;
        if (!w.count)
            w.count = model.eepromSize;
    }
    return w;
}

// "" or why the field (from `address` to before `end`, or offsets from the
// window's start) lies outside the window.
std::string OutsideWindow(const char* what, uint32_t address, uint32_t end, bool fromWindowStart,
                          const KnownWindow& w) {
    const std::string field = std::string(what) + " " + (fromWindowStart ? "+" : "") +
                              FormatHex4(address) + ".." + (fromWindowStart ? "+" : "") +
                              FormatHex4(end - 1);
    if (fromWindowStart) {
        if (!w.count || end <= *w.count)
            return "";
        return field + " runs past the end of the address window (" + std::to_string(*w.count) +
               " bytes); --count can make it longer";
    }
    const bool before = w.start && address < *w.start;
    const bool after = w.start && w.count && end > *w.start + *w.count;
    if (!before && !after)
        return "";
    std::string window = FormatHex4(*w.start) + "..";
    window += w.count ? FormatHex4(*w.start + *w.count - 1) : std::string("");
    return field + " lies outside the address window " + window +
           "; --start and --count can move the window";
}

class Run {
  public:
    Run(const CliOptions& options, std::ostream& out, const TerminalIo& io,
        const ProductionEnvironment& environment)
        : options_(options),
          production_(options.production),
          out_(out),
          io_(io),
          environment_(environment) {
        ports_ = production_.ports;
        if (ports_.empty())
            ports_.push_back("");
    }
    int Go();

  private:
    int Fail(const std::string& line) {
        *io_.err << "hc12prog-cli: " << line << '\n' << std::flush;
        return kExitUsage;
    }
    int CheckPorts();
    int CheckEachUnit();
    int OpenSerials();
    int OpenSharedFiles();

    const CliOptions& options_;
    const ProductionOptions& production_;
    std::ostream& out_;
    const TerminalIo& io_;
    const ProductionEnvironment& environment_;
    std::vector<std::string> ports_;
    std::vector<CliOptions> unitOptions_;
    std::unique_ptr<production::SerialLedger> ledger_;
    std::unique_ptr<production::UnitLog> log_;
};

int Run::CheckPorts() {
    PortMap map = PortMap::Defaults();
    map.ApplyEnvironment();
    std::map<std::string, std::string> seen;
    for (const std::string& port : ports_) {
        const std::string identity = PortIdentity(port, map);
        if (identity.empty())
            continue;
        if (const auto it = seen.find(identity); it != seen.end())
            return Fail("--port " + port + " and --port " + it->second +
                        " name the same port; each port takes one board");
        seen[identity] = port;
    }
    std::map<std::string, std::string> files;
    for (size_t i = 0; i < ports_.size(); ++i) {
        const std::string& port = ports_[i];
        CliOptions unit = options_;
        unit.port = port;
        if (production_.models.size() > 1)
            unit.modelIndex = production_.models[i];
        if (options_.command == Command::Read && ports_.size() > 1) {
            unit.file = FileForPort(options_.file, port.empty() ? "COM1" : port);
            if (const auto it = files.find(unit.file); it != files.end())
                return Fail("--port " + port + " and --port " + it->second +
                            " would both read into " + unit.file +
                            "; put {port} where the names differ");
            files[unit.file] = port;
        }
        unitOptions_.push_back(unit);
    }
    return kExitOk;
}

// Each unit's own checks (its port value, the image, the file to read into), as
// its run makes them before it opens its port; the first refusal ends the run.
int Run::CheckEachUnit() {
    for (size_t i = 0; i < unitOptions_.size(); ++i) {
        CliEnvironment check;
        check.checkOnly = true;
        std::ostringstream nothing;
        if (const int status = RunCli(unitOptions_[i], nothing, io_, check); status != kExitOk)
            return status;
    }
    for (const CliOptions& unit : unitOptions_) {
        const KnownWindow window = WindowBeforeConnect(unit);
        if (const auto& serial = production_.serial) {
            const std::string outside =
                OutsideWindow("the serial field", serial->address, serial->End(),
                              serial->fromWindowStart, window);
            if (!outside.empty())
                return Fail(outside);
        }
        for (const KeepRange& keep : production_.keep) {
            const std::string outside =
                OutsideWindow("--keep", keep.address, keep.End(), keep.fromWindowStart, window);
            if (!outside.empty())
                return Fail(outside);
        }
    }
    return kExitOk;
}

int Run::OpenSerials() {
    if (!production_.serial || options_.command != Command::Write)
        return kExitOk;
    const uint64_t max = production_.serial->MaxValue();
    auto doesNotFit = [&](uint64_t n) {
        return Fail("serial number " + std::to_string(n) + " does not fit in the field (" +
                    std::to_string(production_.serial->size) + " byte" +
                    (production_.serial->size == 1 ? "" : "s") + ", " +
                    production::SerialFormatName(production_.serial->format) + ": at most " +
                    std::to_string(max) + ")");
    };
    // A ledger about to be made is checked before it is made.
    std::error_code ec;
    if (production_.serialFirst && !fs::exists(production_.serialFile, ec) &&
        *production_.serialFirst + (ports_.size() - 1) > max)
        return doesNotFit(std::max(*production_.serialFirst, max + 1));
    std::string error;
    ledger_ =
        production::SerialLedger::Open(production_.serialFile, production_.serialFirst, &error);
    if (!ledger_)
        return Fail(error);
    // Numbers left by a run that ended without finishing them (a crash).
    const std::vector<uint64_t> orphans = ledger_->State().Orphans();
    if (!ledger_->Settle(&error))
        return Fail(error);
    if (!orphans.empty()) {
        std::string list;
        for (uint64_t n : orphans)
            list += (list.empty() ? "" : ", ") + std::to_string(n);
        *io_.err << "hc12prog-cli: serial numbers left by runs that ended: " << list
                 << " (sent ones void, the others returned)\n";
    }
    std::vector<uint64_t> upcoming;
    if (!ledger_->Upcoming(ports_.size(), &upcoming, &error))
        return Fail(error);
    for (uint64_t n : upcoming)
        if (n > max)
            return doesNotFit(n);
    return kExitOk;
}

int Run::OpenSharedFiles() {
    std::string error;
    if (!production_.logFile.empty()) {
        log_ = production::UnitLog::Open(production_.logFile, &error);
        if (!log_)
            return Fail("--log " + error);
    }
    if (!production_.backupDir.empty() &&
        !production::CheckBackupFolder(production_.backupDir, &error))
        return Fail("--backup " + error);
    return kExitOk;
}

int Run::Go() {
    for (auto step :
         {&Run::CheckPorts, &Run::CheckEachUnit, &Run::OpenSerials, &Run::OpenSharedFiles})
        if (const int status = (this->*step)(); status != kExitOk)
            return status;

    GangDisplay display(*io_.err, out_, io_.stderrIsTerminal && !production_.json, production_.json,
                        ports_, CommandWord(options_.command));
    SharedByUnits shared;
    shared.ledger = ledger_.get();
    shared.log = log_.get();
    shared.display = &display;
    shared.host = production::ThisRun().host;

    std::vector<std::unique_ptr<ProductionUnit>> units;
    for (size_t i = 0; i < unitOptions_.size(); ++i)
        units.push_back(std::make_unique<ProductionUnit>(i, unitOptions_[i], production_, shared));

    std::mutex mutex;
    std::condition_variable allDone;
    size_t finished = 0;
    std::vector<std::thread> threads;
    for (size_t i = 0; i < units.size(); ++i) {
        CliEnvironment environment;
        if (environment_.prepareUnit)
            environment_.prepareUnit(i, environment);
        threads.emplace_back([&, i, environment] {
            units[i]->Run(io_, environment);
            std::lock_guard<std::mutex> lock(mutex);
            ++finished;
            allDone.notify_all();
        });
    }
    {
        std::unique_lock<std::mutex> lock(mutex);
        while (finished < units.size()) {
            allDone.wait_for(lock, std::chrono::milliseconds(100));
            lock.unlock();
            display.Refresh();
            lock.lock();
        }
    }
    for (auto& t : threads)
        t.join();

    int status = kExitOk;
    std::vector<production::UnitRecord> records;
    for (const auto& unit : units) {
        status = std::max(status, unit->Status());
        records.push_back(unit->Record());
    }
    display.Finish(records, status);
    return status;
}

// "1000-1002, 1004"
std::string Ranges(const std::vector<uint64_t>& numbers) {
    std::string text;
    for (size_t i = 0; i < numbers.size();) {
        size_t j = i;
        while (j + 1 < numbers.size() && numbers[j + 1] == numbers[j] + 1)
            ++j;
        if (!text.empty())
            text += ", ";
        text += std::to_string(numbers[i]);
        if (j > i)
            text += '-' + std::to_string(numbers[j]);
        i = j + 1;
    }
    return text;
}

}  // namespace

std::string FileForPort(const std::string& file, const std::string& port) {
    const std::string safe = production::SafeFileNamePart(port);
    std::string result = file;
    const std::string mark = "{port}";
    if (result.find(mark) != std::string::npos) {
        for (size_t at; (at = result.find(mark)) != std::string::npos;)
            result.replace(at, mark.size(), safe);
        return result;
    }
    const fs::path path(file);
    return (path.parent_path() / (path.stem().string() + "-" + safe + path.extension().string()))
        .string();
}

int RunProduction(const CliOptions& options, std::ostream& out, const TerminalIo& io,
                  const ProductionEnvironment& environment) {
    Run run(options, out, io, environment);
    return run.Go();
}

int ListSerials(const std::string& file, std::ostream& out, const TerminalIo& io) {
    std::string error;
    const std::optional<production::LedgerState> state =
        production::SerialLedger::Inspect(file, &error);
    if (!state) {
        *io.err << "hc12prog-cli: " << error << '\n' << std::flush;
        return kExitUsage;
    }
    std::map<production::SerialState, std::vector<uint64_t>> by;
    for (const auto& [n, e] : state->numbers)
        by[e.state].push_back(n);
    auto count = [&](production::SerialState s) { return by[s].size(); };
    using production::SerialState;
    out << "ledger:      " << file << '\n'
        << "first:       " << state->first << '\n'
        << "next:        " << state->next << "  (the next number never handed out)\n"
        << "spent:       "
        << count(SerialState::Verified) + count(SerialState::Void) + count(SerialState::Sent)
        << "  (numbers that may have reached a chip; never handed out again)\n"
        << "  verified:  " << count(SerialState::Verified) << "  "
        << Ranges(by[SerialState::Verified]) << '\n'
        << "  void:      " << count(SerialState::Void) << '\n';
    for (uint64_t n : by[SerialState::Void]) {
        const auto& e = state->numbers.at(n);
        out << "    " << n << "  " << e.time << "  " << e.unit << "  " << e.reason << '\n';
    }
    out << "returned:    " << count(SerialState::Returned) << "  "
        << Ranges(by[SerialState::Returned]) << "  (handed out first)\n";
    const std::vector<uint64_t> orphans = state->Orphans();
    std::vector<uint64_t> running;
    for (SerialState s : {SerialState::Reserved, SerialState::Sent})
        for (uint64_t n : by[s])
            if (std::find(orphans.begin(), orphans.end(), n) == orphans.end())
                running.push_back(n);
    std::sort(running.begin(), running.end());
    out << "in use:      " << running.size() << "  " << Ranges(running)
        << "  (reserved or sent by runs still going)\n";
    if (!orphans.empty()) {
        out << "left by runs that ended (the next write settles them):\n";
        for (uint64_t n : orphans) {
            const auto& e = state->numbers.at(n);
            out << "    " << n << "  " << SerialStateName(e.state) << " -> "
                << (e.state == SerialState::Sent ? "void" : "returned") << "  " << e.unit << '\n';
        }
    }
    if (state->tornTail)
        out << "the last line was cut short (an append a crash interrupted): ignored\n";
    out << std::flush;
    return kExitOk;
}

}  // namespace hc12::cli
