// The plural rule of a catalog's language, as its header gives it:
// "nplurals=3; plural=(n==1 ? 0 : n%10>=2 && n%10<=4 && (n%100<10 || n%100>=20) ? 1 : 2);"
// The expression is the C subset gettext defines (n, numbers, ! * / % + - < > <= >= == !=
// && || ?: and parentheses), evaluated on unsigned numbers as gettext does.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hc12 {

class PluralForms {
  public:
    // English's rule, gettext's default for a catalog that names none: two forms, n != 1.
    PluralForms();

    // The value of a "Plural-Forms:" header line (without the field name). Nothing, with
    // `error`, for text that is not such a rule.
    static std::optional<PluralForms> Parse(std::string_view rule, std::string* error);

    int count() const { return count_; }
    // The form for n: 0 .. count() - 1 (an expression that gives more picks form 0).
    int FormFor(uint64_t n) const;

  private:
    enum class Op : uint8_t {
        N,
        Number,
        Not,
        Mul,
        Div,
        Mod,
        Add,
        Sub,
        Less,
        Greater,
        LessEq,
        GreaterEq,
        Equal,
        NotEqual,
        And,
        Or,
        Choose
    };
    struct Node {
        Op op = Op::Number;
        uint64_t value = 0;
        int a = -1, b = -1, c = -1;  // operands, indexes into nodes_
    };
    class Parser;

    uint64_t Evaluate(int node, uint64_t n) const;

    int count_ = 2;
    std::vector<Node> nodes_;
    int root_ = -1;
};

}  // namespace hc12
