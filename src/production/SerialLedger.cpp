#include "SerialLedger.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

#include "Sha256.h"

namespace hc12::production {

namespace fs = std::filesystem;

namespace {

constexpr const char* kHeader = "hc12prog serial ledger 1 first=";
constexpr size_t kCheckDigits = 8;

// Free text inside a line: blanks, controls and '%' as %XX, so fields stay words.
std::string Escape(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (c <= 0x20 || c == '%' || c == 0x7F) {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            out += hex;
        } else {
            out.push_back(char(c));
        }
    }
    return out;
}

std::string Unescape(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            out.push_back(char(std::strtoul(text.substr(i + 1, 2).c_str(), nullptr, 16)));
            i += 2;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

std::string CheckOf(const std::string& body) {
    return Sha256Hex(body).substr(0, kCheckDigits);
}

std::string Line(const std::string& body) {
    return body + " *" + CheckOf(body) + "\n";
}

// The body of a line whose check is right.
std::optional<std::string> CheckedBody(const std::string& line) {
    const size_t star = line.rfind(" *");
    if (star == std::string::npos || line.size() - star - 2 != kCheckDigits)
        return std::nullopt;
    std::string body = line.substr(0, star);
    if (line.compare(star + 2, kCheckDigits, CheckOf(body)) != 0)
        return std::nullopt;
    return body;
}

std::vector<std::string> Words(const std::string& body) {
    std::istringstream in(body);
    std::vector<std::string> words;
    for (std::string w; in >> w;)
        words.push_back(w);
    return words;
}

bool ParseNumber(const std::string& text, uint64_t* value) {
    if (text.empty() || text.size() > 20 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    errno = 0;
    *value = std::strtoull(text.c_str(), nullptr, 10);
    return errno == 0;
}

// The state a change leads to, when it may follow the number's entry (nullptr:
// never handed out).
std::optional<SerialState> Transition(const std::string& kind, const SerialEntry* entry) {
    if (entry == nullptr)
        return std::nullopt;
    const SerialState from = entry->state;
    if (kind == "sent" && from == SerialState::Reserved)
        return SerialState::Sent;
    if (kind == "verified" && from == SerialState::Sent)
        return SerialState::Verified;
    if (kind == "void" && (from == SerialState::Reserved || from == SerialState::Sent))
        return SerialState::Void;
    if (kind == "return" && from == SerialState::Reserved)
        return SerialState::Returned;
    return std::nullopt;
}

bool KnownChange(const std::string& kind) {
    return kind == "sent" || kind == "verified" || kind == "void" || kind == "return";
}

}  // namespace

// Reads journal lines into the state as they come, across reads of the file.
class SerialLedger::Journal {
  public:
    explicit Journal(LedgerState* state) : state_(state) {}

    // Applies the complete lines of `text`; returns how many bytes they took. What
    // follows the last newline is a line still cut short (a crash's, or one being
    // written by a run that does not lock: there is none).
    bool Apply(const std::string& text, size_t* consumed, std::string* error) {
        size_t at = 0;
        for (;;) {
            const size_t newline = text.find('\n', at);
            if (newline == std::string::npos)
                break;
            ++lineNo_;
            if (!ApplyLine(text.substr(at, newline - at), error))
                return false;
            at = newline + 1;
        }
        *consumed = at;
        state_->tornTail = at < text.size();
        return true;
    }

    // At the end of the file as it stands: a whole line that did not check is
    // damage unless a torn mark closed it.
    bool Whole(std::string* error) const {
        if (badLine_) {
            *error = "line " + std::to_string(lineNo_) + " is damaged (its check does not match)";
            return false;
        }
        if (!headerSeen_) {
            *error = state_->tornTail ? "not a serial number ledger (its first line is cut short)"
                                      : "not a serial number ledger (it is empty)";
            return false;
        }
        return true;
    }

  private:
    bool Damaged(const std::string& why, std::string* error) const {
        *error = "line " + std::to_string(lineNo_) + ": " + why;
        return false;
    }

    bool ApplyLine(const std::string& line, std::string* error) {
        const std::optional<std::string> body = CheckedBody(line);
        if (!body) {
            if (badLine_)
                return Damaged("damaged (its check does not match)", error);
            badLine_ = true;  // acceptable only as a crash's cut line, closed by "torn"
            return true;
        }
        const std::vector<std::string> w = Words(*body);
        if (badLine_) {
            if (w.empty() || w[0] != "torn") {
                --lineNo_;
                return Damaged("damaged (its check does not match)", error);
            }
            badLine_ = false;
            return true;
        }
        if (!headerSeen_) {
            uint64_t first = 0;
            if (body->rfind(kHeader, 0) != 0 ||
                !ParseNumber(body->substr(std::string(kHeader).size()), &first))
                return Damaged("not a serial number ledger (no header line)", error);
            headerSeen_ = true;
            state_->first = state_->next = first;
            return true;
        }
        if (w.empty())
            return Damaged("an empty entry", error);
        if (w[0] == "torn")
            return Damaged("a torn mark after a whole line", error);
        uint64_t n = 0;
        if (w.size() < 3 || !ParseNumber(w[1], &n))
            return Damaged("an entry without a number", error);
        const std::string& kind = w[0];
        auto it = state_->numbers.find(n);
        SerialEntry* entry = it == state_->numbers.end() ? nullptr : &it->second;
        const auto outOfOrder = [&] {
            return Damaged(
                kind + " " + std::to_string(n) + " does not follow from the lines before it",
                error);
        };
        if (kind == "reserve") {
            const bool fresh = entry == nullptr && n == state_->next;
            const bool again = entry != nullptr && entry->state == SerialState::Returned;
            if (!fresh && !again)
                return outOfOrder();
            SerialEntry e;
            e.time = w[2];
            for (size_t i = 3; i < w.size(); ++i) {
                const size_t eq = w[i].find('=');
                const std::string key = w[i].substr(0, eq);
                const std::string value =
                    eq == std::string::npos ? "" : Unescape(w[i].substr(eq + 1));
                uint64_t number = 0;
                if (key == "host")
                    e.owner.host = value;
                else if (key == "pid" && ParseNumber(value, &number))
                    e.owner.pid = int64_t(number);
                else if (key == "start" && ParseNumber(value, &number))
                    e.owner.started = number;
                else if (key == "unit")
                    e.unit = value;
            }
            state_->numbers[n] = e;
            state_->returned.erase(n);
            if (fresh)
                state_->next = n + 1;
            return true;
        }
        if (!KnownChange(kind))
            return Damaged("an unknown entry \"" + kind + "\"", error);
        const std::optional<SerialState> to = Transition(kind, entry);
        if (!to)
            return outOfOrder();
        std::string reason;
        for (size_t i = 3; i < w.size(); ++i)
            reason += Unescape(w[i]) + (i + 1 < w.size() ? " " : "");
        entry->state = *to;
        entry->time = w[2];
        entry->reason = reason;
        if (*to == SerialState::Returned)
            state_->returned.insert(n);
        return true;
    }

    LedgerState* state_;
    uint64_t lineNo_ = 0;
    bool headerSeen_ = false;
    bool badLine_ = false;  // the last line did not check: a torn mark must follow
};

const char* SerialStateName(SerialState state) {
    switch (state) {
        case SerialState::Reserved:
            return "reserved";
        case SerialState::Sent:
            return "sent";
        case SerialState::Verified:
            return "verified";
        case SerialState::Void:
            return "void";
        case SerialState::Returned:
            return "returned";
    }
    return "";
}

std::vector<uint64_t> LedgerState::Orphans() const {
    std::vector<uint64_t> orphans;
    for (const auto& [n, e] : numbers)
        if ((e.state == SerialState::Reserved || e.state == SerialState::Sent) &&
            !RunMayBeAlive(e.owner))
            orphans.push_back(n);
    return orphans;
}

// The file's lock, with what other runs appended meanwhile read in.
class SerialLedger::Held {
  public:
    Held(SerialLedger& ledger, std::string* error) : ledger_(ledger) {
        if (!ledger_.damage_.empty()) {
            *error = ledger_.damage_;
            return;
        }
        locked_ = ledger_.file_.Lock(error);
        ok_ = locked_ && ledger_.Refresh(error);
    }
    ~Held() {
        if (locked_)
            ledger_.file_.Unlock();
    }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
    bool ok() const { return ok_; }

  private:
    SerialLedger& ledger_;
    bool locked_ = false;
    bool ok_ = false;
};

SerialLedger::SerialLedger() : journal_(std::make_unique<Journal>(&state_)), self_(ThisRun()) {}

SerialLedger::~SerialLedger() = default;

bool SerialLedger::Refresh(std::string* error) {
    std::string text;
    size_t consumed = 0;
    bool ok = file_.ReadFrom(parsed_, &text, error) && journal_->Apply(text, &consumed, error);
    if (ok) {
        parsed_ += consumed;
        ok = journal_->Whole(error);
    }
    if (!ok) {
        damage_ = path_.string() + ": " + *error;
        *error = damage_;
    }
    return ok;
}

bool SerialLedger::AppendRecord(const std::string& body, std::string* error) {
    std::string text = Line(body);
    // A line cut short by a crash is closed and marked, never removed.
    if (file_.Size() > parsed_) {
        std::string closed(1, '\n');
        closed += Line("torn " + UtcTimestamp());
        text.insert(0, closed);
    }
    if (!file_.Append(text, error)) {
        *error = path_.string() + ": " + *error;
        return false;
    }
    return Refresh(error);
}

std::unique_ptr<SerialLedger> SerialLedger::Open(const fs::path& path,
                                                 std::optional<uint64_t> first,
                                                 std::string* error) {
    std::unique_ptr<SerialLedger> ledger(new SerialLedger());
    ledger->path_ = path;
    bool created = false;
    if (!ledger->file_.Open(path, first.has_value(), &created, error)) {
        *error = path.string() + ": " + *error +
                 (first ? "" : " (--serial-first N starts a new ledger)");
        return nullptr;
    }
    if (!ledger->file_.Lock(error)) {
        *error = path.string() + ": " + *error;
        return nullptr;
    }
    bool ok = true;
    // A ledger made just now, by this run or one beside it, gets its header from
    // whichever locks it first.
    if (ledger->file_.Size() == 0 && first) {
        ok = ledger->file_.Append(Line(kHeader + std::to_string(*first)), error);
        if (!ok)
            *error = path.string() + ": " + *error;
    }
    ok = ok && ledger->Refresh(error);
    ledger->file_.Unlock();
    if (!ok)
        return nullptr;
    (void)created;
    return ledger;
}

std::optional<LedgerState> SerialLedger::Inspect(const fs::path& path, std::string* error) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) {
        *error = path.string() + (fs::exists(path, ec) ? ": not a regular file" : ": not found");
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    const std::string text(std::istreambuf_iterator<char>(in), {});
    if (!in.good() && !in.eof()) {
        *error = path.string() + ": cannot be read";
        return std::nullopt;
    }
    LedgerState state;
    Journal journal(&state);
    size_t consumed = 0;
    if (!journal.Apply(text, &consumed, error) || !journal.Whole(error)) {
        *error = path.string() + ": " + *error;
        return std::nullopt;
    }
    return state;
}

bool SerialLedger::Settle(std::string* error) {
    std::lock_guard<std::mutex> lock(mutex_);
    Held held(*this, error);
    if (!held.ok())
        return false;
    for (uint64_t n : state_.Orphans()) {
        const bool sent = state_.numbers[n].state == SerialState::Sent;
        const std::string body =
            sent ? "void " + std::to_string(n) + " " + UtcTimestamp() + " " +
                       Escape("its run ended before the unit's result was known")
                 : "return " + std::to_string(n) + " " + UtcTimestamp() + " " +
                       Escape("its run ended before anything was sent");
        if (!AppendRecord(body, error))
            return false;
    }
    return true;
}

bool SerialLedger::Upcoming(size_t count, std::vector<uint64_t>* numbers, std::string* error) {
    std::lock_guard<std::mutex> lock(mutex_);
    Held held(*this, error);
    if (!held.ok())
        return false;
    numbers->clear();
    for (uint64_t n : state_.returned) {
        if (numbers->size() == count)
            break;
        numbers->push_back(n);
    }
    for (uint64_t n = state_.next; numbers->size() < count; ++n)
        numbers->push_back(n);
    return true;
}

std::optional<uint64_t> SerialLedger::Reserve(const std::string& unit, uint64_t max,
                                              std::string* error) {
    std::lock_guard<std::mutex> lock(mutex_);
    Held held(*this, error);
    if (!held.ok())
        return std::nullopt;
    const uint64_t n = state_.returned.empty() ? state_.next : *state_.returned.begin();
    if (n > max) {
        *error = "the next serial number, " + std::to_string(n) +
                 ", does not fit in the field (at most " + std::to_string(max) + ")";
        return std::nullopt;
    }
    const std::string body = "reserve " + std::to_string(n) + " " + UtcTimestamp() +
                             " host=" + Escape(self_.host) + " pid=" + std::to_string(self_.pid) +
                             " start=" + std::to_string(self_.started) + " unit=" + Escape(unit);
    if (!AppendRecord(body, error))
        return std::nullopt;
    return n;
}

bool SerialLedger::Change(uint64_t number, const std::string& kind, const std::string& reason,
                          std::string* error) {
    std::lock_guard<std::mutex> lock(mutex_);
    Held held(*this, error);
    if (!held.ok())
        return false;
    const auto it = state_.numbers.find(number);
    if (!Transition(kind, it == state_.numbers.end() ? nullptr : &it->second)) {
        *error = "serial number " + std::to_string(number) + " cannot be marked " + kind +
                 (it == state_.numbers.end()
                      ? " (never handed out)"
                      : std::string(" (it is ") + SerialStateName(it->second.state) + ")");
        return false;
    }
    std::string body = kind + " " + std::to_string(number) + " " + UtcTimestamp();
    if (!reason.empty())
        body += " " + Escape(reason);
    return AppendRecord(body, error);
}

bool SerialLedger::MarkSent(uint64_t number, std::string* error) {
    return Change(number, "sent", "", error);
}

bool SerialLedger::MarkVerified(uint64_t number, std::string* error) {
    return Change(number, "verified", "", error);
}

bool SerialLedger::MarkVoid(uint64_t number, const std::string& reason, std::string* error) {
    return Change(number, "void", reason, error);
}

bool SerialLedger::Return(uint64_t number, const std::string& reason, std::string* error) {
    return Change(number, "return", reason, error);
}

LedgerState SerialLedger::State() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::string error;
    Held held(*this, &error);
    return state_;
}

}  // namespace hc12::production
