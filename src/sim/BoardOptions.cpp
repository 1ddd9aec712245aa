// Options of the virtual board as written in a port value:
//
//   virtual[:OPTION[,OPTION...]]
//
//   model=NAME          play this model of the model table (default: the model the
//                       window has chosen, else HC912D60x)
//   quartz=16|8|4       the target board's quartz in MHz (default 8)
//   latency=MS          each reply held MS ms (0..255) on top of its wire time, as
//                       a USB adapter's latency timer holds it (default 0)
//   exec=US             the interface needs US microseconds (0..1000000) to carry out
//                       a frame; meanwhile it holds one received byte and loses any
//                       further one (default 0)
//   strict              record every breach of the chip's timing (VirtualBoard::
//                       Violations)
//   no-target           the interface greets, but no target answers behind it
//   greeting=TEXT       what the interface sends after its reset (default paww)
//   stray=N             N unasked bytes (0x5A) right after the greeting, or
//   stray=B/B/...       exactly these bytes
//   fail-after=N        silence from reply byte N on (replies counted from 0)
//   line-error=N[:BITS] a line error instead of reply byte N (BITS default 0x0008,
//                       a framing error)
//   unplug=N            the adapter is pulled out when reply byte N is due: from then
//                       on the port reports an I/O error at every look and has hung up
//   unstable=ADDR:N     the byte at ADDR reads differently for its first N readings
//   stuck=ADDR          the EEPROM byte at ADDR never programs
//   eprot=V             MC9S12: EPROT reads V, writes ignored (HC12: EEPROT)
//   eclkdiv=V           MC9S12: ECLKDIV reads V, writes ignored
//   estat=V             MC9S12: ESTAT always reads V
//
// Numbers are decimal or hexadecimal with 0x.
#include <algorithm>
#include <charconv>
#include <cstdint>

#include "ModelTable.h"
#include "VirtualBoard.h"

namespace hc12::sim {
namespace {

constexpr uint8_t kDefaultStrayByte = 0x5A;

bool ParseNumber(std::string_view text, uint64_t max, uint64_t* out) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    if (text.empty())
        return false;
    uint64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (ec != std::errc() || end != text.data() + text.size() || value > max)
        return false;
    *out = value;
    return true;
}

bool IsKnownModel(const std::string& name) {
    const ModelRecord* row = FindModelRecord(name);
    return row && !IsPlaceholderModel(*row);
}

// One option; false with an error text.
bool ApplyOption(const std::string& key, const std::string& value, bool hasValue, BoardOptions& o,
                 std::string* error) {
    auto bad = [&] {
        *error = "bad value for " + key + ": " + value;
        return false;
    };
    uint64_t n = 0;
    if (key == "no-target" && !hasValue) {
        o.targetPresent = false;
        return true;
    }
    if (key == "strict" && !hasValue) {
        o.strict = true;
        return true;
    }
    if (!hasValue) {
        *error = "option " + key + " needs a value";
        return false;
    }
    if (key == "model") {
        if (!IsKnownModel(value))
            return bad();
        o.model = value;
    } else if (key == "quartz") {
        if (!ParseNumber(value, 16, &n) || (n != 16 && n != 8 && n != 4))
            return bad();
        o.quartzMhz = int(n);
    } else if (key == "latency") {
        if (!ParseNumber(value, 255, &n))
            return bad();
        o.latencyMs = uint32_t(n);
    } else if (key == "exec") {
        if (!ParseNumber(value, 1000000, &n))
            return bad();
        o.execUs = uint32_t(n);
    } else if (key == "greeting") {
        o.greeting = value;
    } else if (key == "stray") {
        o.strayBytes.clear();
        if (value.find('/') == std::string::npos && value.find("0x") != 0) {
            if (!ParseNumber(value, 1024, &n))
                return bad();
            o.strayBytes.assign(n, kDefaultStrayByte);
            return true;
        }
        size_t from = 0;
        while (from <= value.size()) {
            const size_t slash = std::min(value.find('/', from), value.size());
            if (!ParseNumber(std::string_view(value).substr(from, slash - from), 0xFF, &n))
                return bad();
            o.strayBytes.push_back(uint8_t(n));
            from = slash + 1;
        }
    } else if (key == "fail-after") {
        if (!ParseNumber(value, INT64_MAX, &n))
            return bad();
        o.silentAfterReplyBytes = int64_t(n);
    } else if (key == "unplug") {
        if (!ParseNumber(value, INT64_MAX, &n))
            return bad();
        o.unplugAtReplyByte = int64_t(n);
    } else if (key == "line-error") {
        const size_t colon = value.find(':');
        if (!ParseNumber(std::string_view(value).substr(0, colon), INT64_MAX, &n))
            return bad();
        o.lineErrorAtReplyByte = int64_t(n);
        if (colon != std::string::npos) {
            uint64_t bits = 0;
            if (!ParseNumber(std::string_view(value).substr(colon + 1), UINT32_MAX, &bits) ||
                bits == 0)
                return bad();
            o.lineErrorBits = uint32_t(bits);
        }
    } else if (key == "unstable") {
        const size_t colon = value.find(':');
        uint64_t count = 0;
        if (colon == std::string::npos ||
            !ParseNumber(std::string_view(value).substr(0, colon), 0xFFFF, &n) ||
            !ParseNumber(std::string_view(value).substr(colon + 1), INT32_MAX, &count))
            return bad();
        o.unstableAddress = uint16_t(n);
        o.unstableReadings = int(count);
    } else if (key == "stuck") {
        if (!ParseNumber(value, 0xFFFF, &n))
            return bad();
        o.stuckAddress = uint16_t(n);
    } else if (key == "eprot" || key == "eclkdiv" || key == "estat") {
        if (!ParseNumber(value, 0xFF, &n))
            return bad();
        (key == "eprot" ? o.eprot : key == "eclkdiv" ? o.eclkdivLocked : o.estat) = uint8_t(n);
    } else {
        *error = "unknown option " + key;
        return false;
    }
    return true;
}

}  // namespace

std::optional<BoardOptions> ParseBoardOptions(const std::string& portValue, std::string* error) {
    std::string scratch;
    if (!error)
        error = &scratch;
    std::string_view rest = portValue;
    constexpr std::string_view kPrefix = "virtual";
    if (rest.substr(0, kPrefix.size()) == kPrefix &&
        (rest.size() == kPrefix.size() || rest[kPrefix.size()] == ':')) {
        rest.remove_prefix(std::min(rest.size(), kPrefix.size() + 1));
    }
    BoardOptions options;
    size_t from = 0;
    while (from < rest.size()) {
        const size_t comma = std::min(rest.find(',', from), rest.size());
        const std::string_view item = rest.substr(from, comma - from);
        from = comma + 1;
        if (item.empty())
            continue;
        const size_t eq = item.find('=');
        const std::string key(item.substr(0, eq));
        const std::string value(eq == std::string_view::npos ? "" : item.substr(eq + 1));
        if (!ApplyOption(key, value, eq != std::string_view::npos, options, error))
            return std::nullopt;
    }
    return options;
}

}  // namespace hc12::sim
