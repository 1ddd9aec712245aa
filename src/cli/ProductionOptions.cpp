#include "ProductionOptions.h"

#include <algorithm>
#include <cctype>

namespace hc12::cli {

namespace {

bool Hex(const std::string& text, uint32_t maxDigits, uint32_t* value) {
    std::string t = text;
    if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X'))
        t.erase(0, 2);
    if (t.empty() || t.size() > maxDigits ||
        !std::all_of(t.begin(), t.end(), [](unsigned char c) { return std::isxdigit(c) != 0; }))
        return false;
    *value = uint32_t(std::stoul(t, nullptr, 16));
    return true;
}

bool Decimal(const std::string& text, size_t maxDigits, uint64_t* value) {
    if (text.empty() || text.size() > maxDigits ||
        !std::all_of(text.begin(), text.end(),
                     [](unsigned char c) { return std::isdigit(c) != 0; }))
        return false;
    *value = std::stoull(text);
    return true;
}

}  // namespace

bool IsProductionOption(const std::string& name) {
    return name == "--serial" || name == "--serial-file" || name == "--serial-first" ||
           name == "--log" || name == "--backup" || name == "--keep" || name == "--json";
}

bool ProductionOptionTakesValue(const std::string& name) {
    return name != "--json";
}

bool ParseProductionOption(const std::string& name, const std::string& value, ProductionOptions* o,
                           std::string* error) {
    auto once = [&](bool given) {
        if (given)
            *error = name + " given twice";
        return !given;
    };
    if (name != "--json" && value.empty()) {
        *error = name + " needs a value";
        return false;
    }
    if (name == "--serial") {
        if (!once(o->serial.has_value()))
            return false;
        o->serial = production::ParseSerialField(value, error);
        return o->serial.has_value();
    }
    if (name == "--serial-file") {
        if (!once(!o->serialFile.empty()))
            return false;
        o->serialFile = value;
        return true;
    }
    if (name == "--serial-first") {
        if (!once(o->serialFirst.has_value()))
            return false;
        uint64_t first = 0;
        if (!Decimal(value, 19, &first)) {
            *error = "--serial-first takes a decimal number, not \"" + value + "\"";
            return false;
        }
        o->serialFirst = first;
        return true;
    }
    if (name == "--log") {
        if (!once(!o->logFile.empty()))
            return false;
        o->logFile = value;
        return true;
    }
    if (name == "--backup") {
        if (!once(!o->backupDir.empty()))
            return false;
        o->backupDir = value;
        return true;
    }
    if (name == "--keep") {
        const size_t colon = value.find(':');
        KeepRange range;
        range.fromWindowStart = !value.empty() && value[0] == '+';
        const size_t from = range.fromWindowStart ? 1 : 0;
        uint64_t length = 0;
        if (colon == std::string::npos ||
            !Hex(value.substr(from, colon - from), 4, &range.address) ||
            !Decimal(value.substr(colon + 1), 5, &length) || length == 0 ||
            range.address + length > 0x10000) {
            *error =
                "--keep takes ADDR:LEN (hexadecimal address, decimal length, within "
                "0000..FFFF), not \"" +
                value + "\"";
            return false;
        }
        range.length = uint32_t(length);
        o->keep.push_back(range);
        return true;
    }
    if (name == "--json") {
        if (!value.empty()) {
            *error = "--json takes no value";
            return false;
        }
        o->json = true;
        return true;
    }
    *error = "unknown option " + name;
    return false;
}

std::string CheckProductionOptions(const ProductionOptions& o, const std::string& command,
                                   bool fullWrite) {
    const bool write = command == "write";
    if (o.serial && !write && command != "verify")
        return "--serial works only with write and verify";
    if (o.serial && write && o.serialFile.empty())
        return "--serial needs --serial-file FILE, the ledger of the numbers handed out";
    if (!o.serialFile.empty() && !(write && o.serial))
        return "--serial-file works only with write --serial";
    if (o.serialFirst && o.serialFile.empty())
        return "--serial-first works only with --serial-file";
    if (!o.backupDir.empty() && !write)
        return "--backup works only with write";
    if (!o.keep.empty() && !write)
        return "--keep works only with write";
    for (size_t i = 0; i < o.keep.size(); ++i) {
        if (o.serial && o.keep[i].fromWindowStart == o.serial->fromWindowStart &&
            o.keep[i].address < o.serial->End() && o.serial->address < o.keep[i].End())
            return "--keep and --serial overlap: the serial number is written, kept bytes "
                   "are not";
    }
    (void)fullWrite;
    if (o.models.size() > 1 && o.models.size() != std::max<size_t>(o.ports.size(), 1))
        return "--model given " + std::to_string(o.models.size()) + " times for " +
               std::to_string(o.ports.size()) + " ports: give it once, or once a port";
    return "";
}

std::string ProductionHelpText() {
    return "Production runs\n"
           "  --port PORT (several times)\n"
           "                     run the command on every port at once, each on its own\n"
           "                     thread; one slow or dead board holds no other up. read\n"
           "                     writes one file per port: {port} in FILE is replaced by\n"
           "                     the port made safe for a file name, or -PORT goes before\n"
           "                     the extension (eeprom.s19 -> eeprom-ttyUSB0.s19). The\n"
           "                     same port twice is refused. Name ports by\n"
           "                     /dev/serial/by-id/... so a fixture slot is always the\n"
           "                     same board.\n"
           "  --model NAME (once a port)\n"
           "                     a tray of mixed boards: the i-th --model for the i-th port\n"
           "  --serial ADDR:BYTES[:FORMAT]\n"
           "                     write: each unit gets the next serial number at ADDR (hex,\n"
           "                     in the address window; +OFFSET counts from the window's\n"
           "                     start) over BYTES bytes; FORMAT be (default, big-endian),\n"
           "                     le, bcd or ascii (zero-padded digits). verify: the number\n"
           "                     found there is reported, not compared\n"
           "  --serial-file FILE the ledger of serial numbers (an append-only journal,\n"
           "                     shared safely by runs at the same time)\n"
           "  --serial-first N   start a new ledger at N when FILE is missing\n"
           "  --log FILE         append one CSV line per port and run\n"
           "  --backup DIR       write: save what each unit's EEPROM held over the window\n"
           "                     as S-records in DIR before its first erase; a unit whose\n"
           "                     backup fails is not written\n"
           "  --keep ADDR:LEN    write: leave LEN bytes from ADDR (hex, or +OFFSET) as the\n"
           "                     unit holds them, whatever the image has there\n"
           "                     (repeatable)\n"
           "  --json             one JSON object per line on standard output: progress,\n"
           "                     messages, and a result per port\n"
           "  hc12prog-cli serials FILE\n"
           "                     list a ledger: next number, spent, returned, void\n"
           "  A production run ends with a table on standard error (port, model, quartz,\n"
           "  result, words written / unchanged / failed, serial number, seconds); Ctrl+C\n"
           "  stops every port between two words (a second Ctrl+C ends at once).\n";
}

}  // namespace hc12::cli
