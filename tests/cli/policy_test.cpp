// The check policy file, baselines and the headers a project wrote before it had stamps: what they
// accept, what they refuse (and where), and how paths are matched.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "addin/stamps/house_header.h"
#include "cli/baseline.h"
#include "cli/common.h"
#include "cli/policy.h"
#include "platform/text.h"

namespace {

using qm::cli::BaselineEntry;
using qm::cli::BaselineError;
using qm::cli::CheckPolicy;
using qm::cli::ParsePolicy;
using qm::cli::PolicyError;

TEST(Policy, ReadsEveryKey) {
    const CheckPolicy p = ParsePolicy(
        "\xEF\xBB\xBF# the team's rules\r\n"
        "procedures = public\r\n"
        "\r\n"
        "  module-header=required  \r\n"
        "house-headers = need-stamp\r\n"
        "ignore = arguments-differ\r\n"
        "ignore = stamp-names-other\r\n"
        "exclude = legacy/\r\n"
        "exclude = 旧/*.bas\r\n"
        "baseline = qa/.quillmark-baseline",
        "p");
    EXPECT_TRUE(p.publicOnly);
    EXPECT_TRUE(p.moduleHeader);
    EXPECT_TRUE(p.houseHeadersNeedStamp);
    EXPECT_EQ(p.ignored, (std::vector<std::string>{"arguments-differ", "stamp-names-other"}));
    EXPECT_TRUE(p.Ignores("arguments-differ"));
    EXPECT_FALSE(p.Ignores("no-stamp"));
    EXPECT_TRUE(p.Excludes("legacy/a/Module1.bas"));
    EXPECT_TRUE(p.Excludes("旧/税計算.BAS"));
    EXPECT_FALSE(p.Excludes("src/Module1.bas"));
    EXPECT_EQ(p.baseline, "qa/.quillmark-baseline");

    const CheckPolicy defaults = ParsePolicy("procedures = all\nmodule-header = optional\nhouse-headers = accepted\n", "p");
    EXPECT_FALSE(defaults.publicOnly || defaults.moduleHeader || defaults.houseHeadersNeedStamp);
}

TEST(Policy, RefusesWhatItDoesNotKnowWithTheLine) {
    struct Case {
        const char* text;
        const char* says;
    };
    const Case cases[] = {
        {"# fine\nproceedures = public\n", "team/.quillmark-check:2: no key \"proceedures\""},
        {"ignore = no-stamps\n", ":1: no rule \"no-stamps\" (the rules: no-stamp,"},
        {"\n\nprocedures = private\n", ":3: procedures is public or all, not \"private\""},
        {"module-header = yes\n", ":1: module-header is required or optional"},
        {"house-headers = maybe\n", ":1: house-headers is need-stamp or accepted"},
        {"procedures = all\nprocedures = public\n", ":2: \"procedures\" is given twice"},
        {"public only\n", ":1: not \"key = value\""},
        {"exclude =\n", ":1: exclude takes a pattern"},
        {"baseline = /etc/baseline\n", ":1: baseline takes a file's path from the policy's folder"},
        {"baseline = a\nbaseline = b\n", ":2: \"baseline\" is given twice"},
        {"exclude = \x82\xa0.bas\n", ":1: not UTF-8 text"},
        {"exclude = a\x1b[2J.bas\n", ":1: a control character"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        try {
            ParsePolicy(c.text, "team/.quillmark-check");
            ADD_FAILURE() << "taken";
        } catch (const PolicyError& e) {
            EXPECT_NE(e.message.find(c.says), std::string::npos) << e.message;
            EXPECT_EQ(e.message.find('\x1b'), std::string::npos);
        }
    }
}

TEST(Policy, PatternsMatchAsDocumented) {
    struct Case {
        const char16_t* pattern;
        const char16_t* path;
        bool matches;
    };
    const Case cases[] = {
        {u"*.frm", u"forms/Main.frm", true},  // no "/": the name, in any folder
        {u"*.frm", u"forms/Main.bas", false},
        {u"Main.FRM", u"a/main.frm", true},  // A to Z in either case
        {u"forms/*.frm", u"forms/Main.frm", true},
        {u"forms/*.frm", u"forms/sub/Main.frm", false},  // "*" stays in a name
        {u"forms/**/*.frm", u"forms/Main.frm", true},    // "**/" may be no folder
        {u"forms/**/*.frm", u"forms/a/b/Main.frm", true},
        {u"/forms/*.frm", u"forms/Main.frm", true},  // a leading "/" only anchors
        {u"forms/*.frm", u"x/forms/Main.frm", false},
        {u"legacy/", u"legacy/a/b.bas", true},
        {u"legacy/", u"legacy2/b.bas", false},
        {u"?.bas", u"税.bas", true},  // "?" is one character, not one byte
        {u"?.bas", u"ab.bas", false},
        {u"a?b.bas", u"a/b.bas", false},
        {u"**", u"a/b/c.bas", true},
        {u"", u"a.bas", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(qm::cli::PathMatches(c.pattern, c.path), c.matches) << qm::Utf16ToUtf8(c.pattern) << " " << qm::Utf16ToUtf8(c.path);
    }
    // Many stars against a long path end at once: the table is pattern times path.
    const std::u16string stars(500, u'*');
    EXPECT_FALSE(qm::cli::PathMatches(stars + u"x", std::u16string(2000, u'a')));
}

TEST(Policy, TheNearestFileAboveCounts) {
    const std::set<std::string> present = {"/r/.quillmark-check", "/r/a/.quillmark-check", "top/.quillmark-check", ".quillmark-check"};
    const auto exists = [&](const std::string& p) { return present.count(p) > 0; };
    EXPECT_EQ(qm::cli::PolicyFileOf("/r/a/b/x.bas", exists), "/r/a/.quillmark-check");
    EXPECT_EQ(qm::cli::PolicyFileOf("/r/c/x.bas", exists), "/r/.quillmark-check");
    EXPECT_EQ(qm::cli::PolicyFileOf("/other/x.bas", exists), std::nullopt);
    // Paths in the index are relative to the work tree's root, which is asked about last.
    EXPECT_EQ(qm::cli::PolicyFileOf("src/x.bas", exists), ".quillmark-check");
    EXPECT_EQ(qm::cli::PolicyFileOf("top/x.bas", exists), "top/.quillmark-check");
}

TEST(SplitLines, EachLineWithoutItsEndAndALastOneWithoutAnEnd) {
    using Lines = std::vector<std::string_view>;
    const struct {
        std::string_view bytes;
        Lines lines;
    } cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\n", {"a"}},
        {"a\r\nb", {"a", "b"}},
        {"\n\r\n", {"", ""}},
        {"a\rb\r\r\n", {"a\rb\r"}},  // only the "\r" before "\n" ends a line
    };
    for (const auto& c : cases) EXPECT_EQ(qm::cli::SplitLines(c.bytes), c.lines) << c.bytes;
}

TEST(Baseline, WhatIsWrittenIsReadBackWhateverTheNames) {
    const std::vector<BaselineEntry> entries = {
        {"no-stamp", "src/税 計算.bas", "AddTax"},
        {"arguments-differ", "a\tb\\c\nd.bas", "X"},
        {"no-module-header", "m.bas", "(module)"},
        {"no-stamp", "m.bas", "Same"},
        {"no-stamp", "m.bas", "Same"},
    };
    const std::string text = qm::cli::ComposeBaseline(entries);
    EXPECT_NE(text.find("a\\tb\\\\c\\x0ad.bas"), std::string::npos);  // one line each: tabs and line breaks escaped
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2 + static_cast<long>(entries.size()));
    EXPECT_EQ(qm::cli::ParseBaseline(text, "b"), entries);
    EXPECT_EQ(qm::cli::ParseBaseline("# quillmark check baseline 1\r\n", "b"), std::vector<BaselineEntry>{});
}

TEST(Baseline, ADamagedFileIsRefusedWithItsLine) {
    struct Case {
        std::string text;
        const char* says;
    };
    const std::string head = "# quillmark check baseline 1\n";
    const Case cases[] = {
        {"", "b: empty"},
        {"no-stamp\tm.bas\tX\n", "b:1: "},
        {head + "no-stamp\tm.bas\n", "b:2: "},
        {head + "no-stamp\tm.bas\tX\tY\n", "b:2: "},
        {head + "# note\nno-stump\tm.bas\tX\n", "b:3: not a baseline of quillmark check: no rule"},
        {head + "no-stamp\tm\\q.bas\tX\n", "b:2: "},
        {head + "no-stamp\tm.bas\tX\\\n", "b:2: "},
        {head + "no-stamp\tm\x01.bas\tX\n", "b:2: "},
        {head + "no-stamp\tm\\x41.bas\tX\n", "b:2: "},  // only control characters are escaped
        {head + "no-stamp\t\tX\n", "b:2: "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        try {
            qm::cli::ParseBaseline(c.text, "b");
            ADD_FAILURE() << "taken";
        } catch (const BaselineError& e) {
            EXPECT_EQ(e.message.find(c.says), 0U) << e.message;
        }
    }
}

TEST(Baseline, EachEntryAcceptsOneFindingOfItsKeyWhateverItsLine) {
    // The baseline lies in "base"; the findings' files are named from the current folder.
    qm::cli::AcceptedFindings accepted({{"no-stamp", "m.bas", "A"}, {"no-stamp", "m.bas", "B"}, {"no-stamp", "../m.bas", "C"}}, "base");
    EXPECT_TRUE(accepted.Take({"base/m.bas", 40, "A", "no-stamp", "no stamp"}));   // was line 10
    EXPECT_FALSE(accepted.Take({"base/m.bas", 50, "A", "no-stamp", "no stamp"}));  // a second one is new
    EXPECT_FALSE(accepted.Take({"base/m.bas", 60, "B", "arguments-differ", "..."}));
    EXPECT_TRUE(accepted.Take({"base/./sub/../m.bas", 60, "B", "no-stamp", "no stamp"}));
    EXPECT_TRUE(accepted.Take({"m.bas", 1, "C", "no-stamp", "no stamp"}));
    EXPECT_FALSE(accepted.Take({"other/m.bas", 1, "C", "no-stamp", "no stamp"}));
}

TEST(HouseHeader, WhichLinesAreAHeadersItems) {
    struct Case {
        const char16_t* line;
        bool item;
    };
    const Case cases[] = {
        {u"' 目　的　　：税額を求める", true},
        {u"'　引　数　　：price 税抜価格", true},
        {u"'戻り値：", true},
        {u"Rem Purpose: the tax", true},
        {u"    ' Author (正): 山田", true},
        {u"' 作成者・確認者：山田", true},
        {u"'x = a: b", false},                 // code that was commented out
        {u"' 2024/01/05 12:00 山田", false},   // a dated line
        {u"' see http://example.org", false},  // "//" is no label
        {u"' これはとても長いラベルで二十文字を超えています：x", false},
        {u"'：no label", false},
        {u"' 123: digits only", false},
        {u"' ボタンの処理", false},  // a remark without a colon
        {u"Dim a: a = 1", false},    // not a comment at all
    };
    for (const Case& c : cases) {
        EXPECT_EQ(qm::IsHouseHeaderLine(c.line), c.item) << qm::Utf16ToUtf8(c.line);
    }
}

TEST(HouseHeader, ABlockIsAHeaderByItsItemsAndTheNoCheckLineIsNone) {
    const std::vector<std::u16string> lines = {
        u"' 目　的　　：税額を求める",               // 1
        u"' ボタンの処理",                           // 2
        u"' quillmark: no-check",                    // 3
        u"'  quillmark: no-check 生成されたコード",  // 4
        u"' quillmark: no-checks",                   // 5
        u"Public Sub A()",                           // 6
    };
    EXPECT_TRUE(qm::IsHouseHeader(lines, 1, 2));
    EXPECT_FALSE(qm::IsHouseHeader(lines, 2, 2));
    EXPECT_FALSE(qm::IsHouseHeader(lines, 3, 5));
    EXPECT_FALSE(qm::IsHouseHeader(lines, 0, 0));
    EXPECT_TRUE(qm::IsNoCheckLine(lines[2]));
    EXPECT_TRUE(qm::IsNoCheckLine(lines[3]));
    EXPECT_FALSE(qm::IsNoCheckLine(lines[4]));
    EXPECT_FALSE(qm::IsNoCheckLine(u"Rem quillmark:no-check"));
    EXPECT_TRUE(qm::HoldsNoCheck(lines, 1, 3));
    EXPECT_FALSE(qm::HoldsNoCheck(lines, 5, 6));
}

}  // namespace
