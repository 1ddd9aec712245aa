#include "PluralForms.h"

#include <cctype>

namespace hc12 {

// A recursive-descent parser with C's precedence. Depth and size are bounded, so that
// a catalog made to nest a few thousand parentheses cannot exhaust the stack.
class PluralForms::Parser {
  public:
    Parser(std::string_view text, std::vector<Node>& nodes) : text_(text), nodes_(nodes) {}

    int Expression() {
        if (++depth_ > kMaxDepth)
            return Fail("the expression nests too deeply");
        const int condition = Binary(0);
        int result = condition;
        if (condition >= 0 && Take('?')) {
            const int yes = Expression();
            if (yes < 0 || !Take(':'))
                return Fail("'?' without its ':'");
            const int no = Expression();
            result = no < 0 ? -1 : Add({Op::Choose, 0, condition, yes, no});
        }
        --depth_;
        return result;
    }

    bool AtEnd() {
        SkipBlanks();
        return pos_ == text_.size();
    }
    const std::string& error() const { return error_; }

  private:
    static constexpr int kMaxDepth = 100;
    static constexpr size_t kMaxNodes = 1000;

    struct Level {
        const char* token;
        Op op;
    };
    // Binary operators from the loosest to the tightest binding; longer tokens first
    // where one begins another.
    static constexpr Level kLevels[][4] = {
        {{"||", Op::Or}},
        {{"&&", Op::And}},
        {{"==", Op::Equal}, {"!=", Op::NotEqual}},
        {{"<=", Op::LessEq}, {">=", Op::GreaterEq}, {"<", Op::Less}, {">", Op::Greater}},
        {{"+", Op::Add}, {"-", Op::Sub}},
        {{"*", Op::Mul}, {"/", Op::Div}, {"%", Op::Mod}},
    };
    static constexpr int kLevelCount = int(std::size(kLevels));

    int Binary(int level) {
        if (level == kLevelCount)
            return Unary();
        int left = Binary(level + 1);
        while (left >= 0) {
            const Level* found = nullptr;
            for (const Level& candidate : kLevels[level])
                if (candidate.token != nullptr && TakeToken(candidate.token)) {
                    found = &candidate;
                    break;
                }
            if (found == nullptr)
                break;
            const int right = Binary(level + 1);
            left = right < 0 ? -1 : Add({found->op, 0, left, right});
        }
        return left;
    }

    int Unary() {
        SkipBlanks();
        // "!" but not the start of "!=" (which cannot begin an operand anyway).
        if (pos_ < text_.size() && text_[pos_] == '!') {
            ++pos_;
            if (++depth_ > kMaxDepth)
                return Fail("the expression nests too deeply");
            const int operand = Unary();
            --depth_;
            return operand < 0 ? -1 : Add({Op::Not, 0, operand});
        }
        return Primary();
    }

    int Primary() {
        SkipBlanks();
        if (Take('(')) {
            const int inner = Expression();
            if (inner < 0)
                return -1;
            if (!Take(')'))
                return Fail("'(' without its ')'");
            return inner;
        }
        if (pos_ < text_.size() && text_[pos_] == 'n') {
            ++pos_;
            return Add({Op::N});
        }
        if (pos_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[pos_]))) {
            uint64_t value = 0;
            while (pos_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[pos_]))) {
                if (value > (UINT64_MAX - 9) / 10)
                    return Fail("a number too large");
                value = value * 10 + uint64_t(text_[pos_++] - '0');
            }
            return Add({Op::Number, value});
        }
        return Fail("an operand is missing");
    }

    void SkipBlanks() {
        while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_])))
            ++pos_;
    }
    bool Take(char c) {
        SkipBlanks();
        if (pos_ < text_.size() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }
    bool TakeToken(std::string_view token) {
        SkipBlanks();
        if (text_.substr(pos_, token.size()) != token)
            return false;
        // "<" is not the start of "<=", nor "!" of "!=": those are taken as a whole
        // at their level, which is tried first.
        pos_ += token.size();
        return true;
    }
    int Add(Node node) {
        // Real rules take a few dozen nodes; a bound keeps the evaluation's
        // recursion (as deep as the tree) small too.
        if (nodes_.size() >= kMaxNodes)
            return Fail("the expression is too long");
        nodes_.push_back(node);
        return int(nodes_.size()) - 1;
    }
    int Fail(const char* why) {
        if (error_.empty())
            error_ = why;
        return -1;
    }

    std::string_view text_;
    std::vector<Node>& nodes_;
    size_t pos_ = 0;
    int depth_ = 0;
    std::string error_;
};

PluralForms::PluralForms() {
    nodes_ = {{Op::N}, {Op::Number, 1}, {Op::NotEqual, 0, 0, 1}};
    root_ = 2;
}

namespace {

// The value after "name=" in "nplurals=2; plural=...;", up to the next ';' (or the end).
std::optional<std::string_view> Field(std::string_view rule, std::string_view name) {
    size_t at = 0;
    while ((at = rule.find(name, at)) != std::string_view::npos) {
        const bool startsWord = at == 0 || rule[at - 1] == ';' ||
                                std::isspace(static_cast<unsigned char>(rule[at - 1]));
        size_t eq = at + name.size();
        while (eq < rule.size() && std::isspace(static_cast<unsigned char>(rule[eq])))
            ++eq;
        if (startsWord && eq < rule.size() && rule[eq] == '=') {
            const size_t end = rule.find(';', eq + 1);
            return rule.substr(eq + 1, end == std::string_view::npos ? end : end - eq - 1);
        }
        at += name.size();
    }
    return std::nullopt;
}

}  // namespace

std::optional<PluralForms> PluralForms::Parse(std::string_view rule, std::string* error) {
    auto fail = [error](const std::string& why) {
        if (error)
            *error = "Plural-Forms: " + why;
        return std::nullopt;
    };
    const std::optional<std::string_view> countText = Field(rule, "nplurals");
    const std::optional<std::string_view> expression = Field(rule, "plural");
    if (!countText || !expression)
        return fail("needs nplurals=...; plural=...;");
    int count = 0;
    for (char c : *countText) {
        if (std::isspace(static_cast<unsigned char>(c)))
            continue;
        if (!std::isdigit(static_cast<unsigned char>(c)) || count > 100)
            return fail("nplurals is not a number from 1 to 100");
        count = count * 10 + (c - '0');
    }
    if (count < 1 || count > 100)
        return fail("nplurals is not a number from 1 to 100");

    PluralForms forms;
    forms.count_ = count;
    forms.nodes_.clear();
    Parser parser(*expression, forms.nodes_);
    forms.root_ = parser.Expression();
    if (forms.root_ < 0)
        return fail(parser.error());
    if (!parser.AtEnd())
        return fail("unexpected text in the expression");
    return forms;
}

int PluralForms::FormFor(uint64_t n) const {
    const uint64_t form = Evaluate(root_, n);
    return form < uint64_t(count_) ? int(form) : 0;
}

uint64_t PluralForms::Evaluate(int index, uint64_t n) const {
    const Node& node = nodes_[size_t(index)];
    auto a = [&] { return Evaluate(node.a, n); };
    auto b = [&] { return Evaluate(node.b, n); };
    switch (node.op) {
        case Op::N:
            return n;
        case Op::Number:
            return node.value;
        case Op::Not:
            return !a();
        case Op::Mul:
            return a() * b();
        case Op::Div: {
            const uint64_t divisor = b();
            return divisor == 0 ? 0 : a() / divisor;  // gettext's own guard would trap
        }
        case Op::Mod: {
            const uint64_t divisor = b();
            return divisor == 0 ? 0 : a() % divisor;
        }
        case Op::Add:
            return a() + b();
        case Op::Sub:
            return a() - b();
        case Op::Less:
            return a() < b();
        case Op::Greater:
            return a() > b();
        case Op::LessEq:
            return a() <= b();
        case Op::GreaterEq:
            return a() >= b();
        case Op::Equal:
            return a() == b();
        case Op::NotEqual:
            return a() != b();
        case Op::And:
            return a() && b();
        case Op::Or:
            return a() || b();
        case Op::Choose:
            return a() ? b() : Evaluate(node.c, n);
    }
    return 0;
}

}  // namespace hc12
