#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "PluralForms.h"

namespace hc12 {
namespace {

TEST(PluralForms, RulesOfRealLanguagesPickTheirForms) {
    struct Case {
        const char* rule;
        std::vector<std::pair<uint64_t, int>> forms;  // n -> form
    };
    const Case cases[] = {
        {"nplurals=2; plural=(n != 1);", {{0, 1}, {1, 0}, {2, 1}, {21, 1}}},
        {"nplurals=2; plural=(n > 1);", {{0, 0}, {1, 0}, {2, 1}}},  // French
        {"nplurals=1; plural=0;", {{0, 0}, {1, 0}, {7, 0}}},        // Japanese
        // Polish as gettext writes it (the program's own texts keep their own rule).
        {"nplurals=3; plural=(n==1 ? 0 : n%10>=2 && n%10<=4 && (n%100<10 || n%100>=20) ? 1 : 2);",
         {{1, 0}, {2, 1}, {4, 1}, {5, 2}, {12, 2}, {14, 2}, {22, 1}, {25, 2}, {112, 2}, {0, 2}}},
        // Russian.
        {"nplurals=3; plural=(n%10==1 && n%100!=11 ? 0 : n%10>=2 && n%10<=4 && (n%100<10 || "
         "n%100>=20) ? 1 : 2);",
         {{1, 0}, {11, 2}, {21, 0}, {3, 1}, {13, 2}, {111, 2}, {101, 0}}},
        // Arabic: six forms, nested choices.
        {"nplurals=6; plural=(n==0 ? 0 : n==1 ? 1 : n==2 ? 2 : n%100>=3 && n%100<=10 ? 3 : "
         "n%100>=11 ? 4 : 5);",
         {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {10, 3}, {11, 4}, {99, 4}, {100, 5}, {102, 5}}},
        // The remaining operators, spaces anywhere.
        {" nplurals = 3 ; plural = !n ? 0 : n / 10 >= 1 ? 2 : 1 ;", {{0, 0}, {5, 1}, {10, 2}}},
        {"nplurals=3; plural=(n*2-2 < 3) + (n+1 <= 3) ;", {{1, 2}, {2, 2}, {3, 0}}},
        // A form beyond nplurals, or a division by zero, is form 0 and no crash.
        {"nplurals=2; plural=n;", {{1, 1}, {5, 0}}},
        {"nplurals=2; plural=n / 0 + n % 0;", {{3, 0}}},
        // Plural-Forms lines also carry the field's own spacing and a missing final ';'.
        {"nplurals=2; plural=n!=1", {{1, 0}, {2, 1}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rule);
        std::string error;
        const std::optional<PluralForms> forms = PluralForms::Parse(c.rule, &error);
        ASSERT_TRUE(forms) << error;
        for (const auto& [n, form] : c.forms)
            EXPECT_EQ(forms->FormFor(n), form) << "n = " << n;
    }
    EXPECT_EQ(PluralForms().count(), 2);  // without a rule: English's
    EXPECT_EQ(PluralForms().FormFor(1), 0);
    EXPECT_EQ(PluralForms().FormFor(0), 1);
}

TEST(PluralForms, MalformedRulesAreRefused) {
    const std::string deep =
        "nplurals=2; plural=" + std::string(5000, '(') + "n" + std::string(5000, ')') + ";";
    std::string longChain = "nplurals=2; plural=n";
    for (int i = 0; i < 3000; ++i)
        longChain += "+n";
    std::string manyNots = "nplurals=2; plural=" + std::string(5000, '!') + "n;";
    const std::string cases[] = {
        "",
        "nplurals=2;",
        "plural=n != 1;",
        "nplurals=0; plural=0;",
        "nplurals=x; plural=0;",
        "nplurals=101; plural=0;",
        "nplurals=2; plural=(n != 1;",
        "nplurals=2; plural=n ? 1;",
        "nplurals=2; plural=n != ;",
        "nplurals=2; plural=m;",
        "nplurals=2; plural=n 1;",
        "nplurals=2; plural=n | 1;",
        "nplurals=2; plural=99999999999999999999999;",
        deep,
        longChain,
        manyNots,
    };
    for (const std::string& rule : cases) {
        SCOPED_TRACE(rule.substr(0, 60));
        std::string error;
        EXPECT_FALSE(PluralForms::Parse(rule, &error));
        EXPECT_NE(error, "");
    }
}

}  // namespace
}  // namespace hc12
