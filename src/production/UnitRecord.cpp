#include "UnitRecord.h"

#include <cstdio>

namespace hc12::production {

namespace {

std::string Seconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", seconds);
    return text;
}

}  // namespace

const std::vector<std::string>& UnitLogColumns() {
    static const std::vector<std::string> columns = {"time_utc",
                                                     "host",
                                                     "port",
                                                     "model",
                                                     "quartz",
                                                     "command",
                                                     "serial",
                                                     "serial_bytes",
                                                     "result",
                                                     "exit_status",
                                                     "words_written",
                                                     "words_unchanged",
                                                     "words_failed",
                                                     "seconds",
                                                     "image_sha256",
                                                     "backup",
                                                     "eeprom_before_sha256",
                                                     "eeprom_after_sha256",
                                                     "note"};
    return columns;
}

std::vector<std::string> UnitLogFields(const UnitRecord& r) {
    return {r.time,
            r.host,
            r.port,
            r.model,
            r.quartz,
            r.command,
            r.serial ? std::to_string(*r.serial) : "",
            r.serialBytes,
            r.result,
            std::to_string(r.exitStatus),
            std::to_string(r.written),
            std::to_string(r.unchanged),
            std::to_string(r.failed),
            Seconds(r.seconds),
            r.imageSha256,
            r.backup,
            r.beforeSha256,
            r.afterSha256,
            r.note};
}

std::string CsvLine(const std::vector<std::string>& fields) {
    std::string line;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i > 0)
            line.push_back(',');
        const std::string& f = fields[i];
        if (f.find_first_of(",\"\r\n") == std::string::npos) {
            line += f;
            continue;
        }
        line.push_back('"');
        for (char c : f) {
            if (c == '"')
                line.push_back('"');
            line.push_back(c);
        }
        line.push_back('"');
    }
    line.push_back('\n');
    return line;
}

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20) {
                    char hex[8];
                    std::snprintf(hex, sizeof hex, "\\u%04x", c);
                    out += hex;
                } else {
                    out.push_back(char(c));  // UTF-8 passes as it is
                }
        }
    }
    return out + "\"";
}

std::string JsonObject(const std::vector<std::pair<std::string, std::string>>& members) {
    std::string out = "{";
    for (size_t i = 0; i < members.size(); ++i) {
        if (i > 0)
            out.push_back(',');
        out += JsonString(members[i].first) + ":" + members[i].second;
    }
    return out + "}";
}

std::string UnitRecordJson(const UnitRecord& r) {
    auto text = [](const std::string& s) { return JsonString(s); };
    auto orNull = [](const std::string& s) { return s.empty() ? "null" : JsonString(s); };
    return JsonObject({
        {"event", text("result")},
        {"time", text(r.time)},
        {"host", text(r.host)},
        {"port", text(r.port)},
        {"model", text(r.model)},
        {"quartz", orNull(r.quartz)},
        {"command", text(r.command)},
        {"serial", r.serial ? std::to_string(*r.serial) : "null"},
        {"serial_bytes", orNull(r.serialBytes)},
        {"result", text(r.result)},
        {"exit_status", std::to_string(r.exitStatus)},
        {"words_written", std::to_string(r.written)},
        {"words_unchanged", std::to_string(r.unchanged)},
        {"words_failed", std::to_string(r.failed)},
        {"seconds", Seconds(r.seconds)},
        {"image_sha256", orNull(r.imageSha256)},
        {"backup", orNull(r.backup)},
        {"eeprom_before_sha256", orNull(r.beforeSha256)},
        {"eeprom_after_sha256", orNull(r.afterSha256)},
        {"note", orNull(r.note)},
    });
}

}  // namespace hc12::production
