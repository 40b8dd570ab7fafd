#include "cli/source_file.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/test_support.h"

namespace qm::test {
namespace {

using cli::Encoding;
using cli::SourceFile;

constexpr char kForm[] =
    "VERSION 5.00\r\n"  // 1
    "Object = \"{831FDD16-0C5C-11D2-A9FC-0000F8754DA1}#2.0#0\"; \"MSCOMCTL.OCX\"\r\n"
    "Begin VB.Form Form1\r\n"  // 3
    "   Caption         =   \"Form1\"\r\n"
    "   BeginProperty Font\r\n"
    "      Name            =   \"MS UI Gothic\"\r\n"
    "   EndProperty\r\n"
    "   Begin VB.CommandButton Command1\r\n"
    "   End\r\n"
    "End\r\n"  // 10
    "Attribute VB_Name = \"Form1\"\r\n"
    "Attribute VB_GlobalNameSpace = False\r\n"  // 12
    "Option Explicit\r\n"                       // 13: module line 1
    "\r\n"                                      // 14
    "Public Property Get Value() As Long\r\n"   // 15
    "Attribute Value.VB_UserMemId = 0\r\n"      // 16: hidden
    "    Value = 1\r\n"                         // 17: module line 4
    "End Property";                             // 18, no final line break

TEST(SourceFile, HidesWhatTheCodeWindowDoesNotShow) {
    SourceFile file(kForm, Encoding::Cp932, Cp932());
    EXPECT_EQ(file.FileLineCount(), 18u);
    for (std::size_t line = 1; line <= 12; ++line) EXPECT_FALSE(file.ModuleLineOf(line)) << line;
    EXPECT_EQ(file.ModuleLineOf(13), 1);
    EXPECT_EQ(file.ModuleLineOf(15), 3);
    EXPECT_EQ(file.ModuleLineOf(16), 3);  // the attribute counts as its declaration
    EXPECT_EQ(file.ModuleLineOf(17), 4);
    const std::vector<std::size_t> fileLines = {0, 13, 14, 15, 17, 18, 0};
    for (std::int32_t line = 0; line <= 6; ++line) EXPECT_EQ(file.FileLineOf(line), fileLines[static_cast<std::size_t>(line)]) << line;
    const TextLines lines = file.ModuleLines();
    EXPECT_EQ(
        std::vector<std::u16string>(lines.begin(), lines.end()),
        (std::vector<std::u16string>{u"Option Explicit", u"", u"Public Property Get Value() As Long", u"    Value = 1", u"End Property"}));
}

// The module's lines are read from the file as it stands: after each change they are what the
// file would show, in either encoding, and a UTF-8 byte order mark is never part of them.
TEST(SourceFile, ModuleLinesAreReadFromTheFileAsItStands) {
    struct Case {
        const char* name;
        std::string bytes;
        Encoding encoding;
    };
    const std::string kanji = Cp932().ToAnsi(u"' 税計算");
    const std::vector<Case> cases = {
        {"code page 932", "Attribute VB_Name = \"M\"\r\n" + kanji + "\r\nSub A()\r\nEnd Sub\r\n", Encoding::Cp932},
        {"UTF-8 with a byte order mark", "\xEF\xBB\xBF' \xE7\xA8\x8E\xE8\xA8\x88\xE7\xAE\x97\nSub A()\nEnd Sub", Encoding::Utf8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SourceFile file(c.bytes, c.encoding, Cp932());
        std::vector<std::u16string> expected = {u"' 税計算", u"Sub A()", u"End Sub"};
        const auto shown = [&] { return std::vector<std::u16string>(file.ModuleLines().begin(), file.ModuleLines().end()); };
        EXPECT_EQ(shown(), expected);
        cli::SourceCodeModule module(file, u"M.bas");
        module.InsertLines(1, u"' 先頭\r\n'");
        expected.insert(expected.begin(), {u"' 先頭", u"'"});
        EXPECT_EQ(shown(), expected);
        EXPECT_EQ(module.Lines(1, 3), u"' 先頭\r\n'\r\n' 税計算");
        EXPECT_EQ(module.ProcBodyLine(u"A", ide::vbext_pk_Proc), 4);
        file.Replace(3, 1, {u"' 消費税", u"' 計算"});
        expected[2] = u"' 消費税";
        expected.insert(expected.begin() + 3, u"' 計算");
        EXPECT_EQ(shown(), expected);
        module.InsertLines(7, u"' 末尾");
        expected.emplace_back(u"' 末尾");
        EXPECT_EQ(shown(), expected);
        // The file written holds what the lines show, its mark still first.
        const std::string written = file.Render();
        EXPECT_EQ(written.rfind("\xEF\xBB\xBF", 0) == 0, c.encoding == Encoding::Utf8);
        SourceFile again(written, c.encoding, Cp932());
        EXPECT_EQ(std::vector<std::u16string>(again.ModuleLines().begin(), again.ModuleLines().end()), expected);
    }
}

// Module lines and file lines map to each other however the hidden attribute lines lie: in a run at
// the start, one after another, at the end, or not at all.
TEST(SourceFile, PlacesModuleLinesAmongHiddenOnes) {
    const std::vector<std::string> layouts = {"", "h", "hhhv", "vhv", "vvhhvhv", "hvhvhvh", "vvvvhhh", "hhhhhhvvvvv"};
    for (const std::string& layout : layouts) {
        SCOPED_TRACE(layout);
        std::string bytes;
        for (std::size_t k = 0; k < layout.size(); ++k) {
            bytes += layout[k] == 'h' ? "Attribute A" + std::to_string(k) + ".VB_UserMemId = 0\r\n" : "x = " + std::to_string(k) + "\r\n";
        }
        const SourceFile file(bytes, Encoding::Cp932, Cp932());
        std::vector<std::size_t> shown;  // the file line of each module line
        for (std::size_t k = 0; k < layout.size(); ++k) {
            if (layout[k] == 'v') shown.push_back(k + 1);
        }
        ASSERT_EQ(file.LineCount(), shown.size());
        for (std::size_t m = 0; m < shown.size(); ++m) {
            EXPECT_EQ(file.FileLineOf(static_cast<std::int32_t>(m + 1)), shown[m]) << m;
            const std::string number = std::to_string(shown[m] - 1);
            EXPECT_EQ(file.Line(m), u"x = " + std::u16string(number.begin(), number.end()));
        }
        EXPECT_EQ(file.FileLineOf(static_cast<std::int32_t>(shown.size() + 1)), 0u);
        // A file line shows as the visible line at or before it; the attributes in front of the first
        // are the hidden header, which shows as none.
        const std::size_t header = std::min(layout.find_first_not_of('h'), layout.size());
        for (std::size_t f = 1; f <= layout.size() + 1; ++f) {
            if (f <= header) {
                EXPECT_FALSE(file.ModuleLineOf(f)) << f;
                continue;
            }
            std::int32_t expected = 0;
            for (std::size_t m = 0; m < shown.size() && shown[m] <= f; ++m) expected = static_cast<std::int32_t>(m + 1);
            EXPECT_EQ(file.ModuleLineOf(f), std::max(expected, 1)) << f;
        }
    }
}

TEST(SourceFile, InsertedLinesKeepEveryOtherByte) {
    SourceFile file(kForm, Encoding::Cp932, Cp932());
    file.Insert(1, {u"' 先頭"});
    file.Insert(4, {u"' a", u"' b"});  // in front of the declaration: after the blank line
    file.Insert(9, {u"' 末尾"});       // one past the end: the old last line gets its break
    std::string expected(kForm);
    expected.insert(expected.find("Option Explicit"), Cp932().ToAnsi(u"' 先頭") + "\r\n");
    expected.insert(expected.find("Public Property"), "' a\r\n' b\r\n");
    expected += "\r\n" + Cp932().ToAnsi(u"' 末尾");
    EXPECT_EQ(file.Render(), expected);
}

TEST(SourceFile, UsesTheFilesOwnLineEnds) {
    SourceFile lf("Sub A()\nEnd Sub\n", Encoding::Cp932, Cp932());
    lf.Insert(1, {u"' x"});
    EXPECT_EQ(lf.Render(), "' x\nSub A()\nEnd Sub\n");
    SourceFile none("", Encoding::Cp932, Cp932());
    none.Insert(1, {u"' x", u"' y"});
    EXPECT_EQ(none.Render(), "' x\r\n' y\r\n");
}

TEST(SourceFile, ReadsUtf8WithItsByteOrderMark) {
    SourceFile file(
        "\xEF\xBB\xBF"
        "Sub A()\r\nEnd Sub",
        Encoding::Utf8, Cp932());
    file.Insert(1, {u"' 名前"});
    EXPECT_EQ(file.Render(), "\xEF\xBB\xBF' \xE5\x90\x8D\xE5\x89\x8D\r\nSub A()\r\nEnd Sub");
}

// Replaced lines go where the first of them was; a hidden line among them stays, after the new ones.
TEST(SourceFile, ReplacesLinesAroundHiddenOnes) {
    struct Case {
        std::int32_t line;
        std::int32_t count;
        std::vector<std::u16string> lines;
        std::string after;
    };
    const std::string head = "Attribute VB_Name = \"M\"\r\n";
    const Case cases[] = {
        {1, 1, {u"' x"}, "' x\r\nA\r\nAttribute A.VB_UserMemId = 0\r\nB\r\nC"},
        {2, 2, {u"' x"}, "Sub\r\n' x\r\nAttribute A.VB_UserMemId = 0\r\nC"},
        {2, 2, {u"' x", u"' y", u"' z"}, "Sub\r\n' x\r\n' y\r\n' z\r\nAttribute A.VB_UserMemId = 0\r\nC"},
        {3, 2, {}, "Sub\r\nA\r\nAttribute A.VB_UserMemId = 0\r\n"},
        {4, 1, {u"' last"}, "Sub\r\nA\r\nAttribute A.VB_UserMemId = 0\r\nB\r\n' last"},  // the last line keeps having no break
        {5, 1, {u"' x"}, "Sub\r\nA\r\nAttribute A.VB_UserMemId = 0\r\nB\r\nC"},          // outside: nothing
    };
    for (const Case& c : cases) {
        const std::string bytes = head + "Sub\r\nA\r\nAttribute A.VB_UserMemId = 0\r\nB\r\nC";
        SourceFile file = SourceFile::Over(bytes, Encoding::Cp932, Cp932());
        file.Replace(c.line, c.count, c.lines);
        EXPECT_EQ(file.Render(), head + c.after) << c.line << "," << c.count;
        EXPECT_EQ(file.Unchanged(), file.Render() == bytes) << c.line << "," << c.count;
        EXPECT_EQ(file.RendersAs(bytes), file.Render() == bytes) << c.line << "," << c.count;
    }
    // Nothing replaced: the lines go in as an insertion does, after the last line too.
    for (const std::int32_t line : {1, 2, 5}) {
        const std::string bytes = head + "Sub\r\nA\r\nAttribute A.VB_UserMemId = 0\r\nB\r\nC";
        SourceFile replaced = SourceFile::Over(bytes, Encoding::Cp932, Cp932());
        SourceFile inserted = SourceFile::Over(bytes, Encoding::Cp932, Cp932());
        replaced.Replace(line, 0, {u"' x"});
        inserted.Insert(line, {u"' x"});
        EXPECT_EQ(replaced.Render(), inserted.Render()) << line;
        EXPECT_FALSE(replaced.Unchanged()) << line;
        replaced.Replace(line, 0, {});
        EXPECT_EQ(replaced.Render(), inserted.Render()) << line;
    }
}

// Many replacements at once give what one after another from the bottom up gives, with the lines
// made again as they were still the lines they were; replacements that share a line are refused.
TEST(SourceFile, ReplacementsAtOnceAreThoseOneAfterAnother) {
    const std::string bytes =
        "Attribute VB_Name = \"M\"\r\nSub A()\r\nAttribute A.VB_UserMemId = 0\r\n' a\r\n' b\r\nEnd Sub\r\n"
        "Sub B()\r\n' c\r\nAttribute B.VB_Description = \"d\"\r\n' e\r\nEnd Sub";
    const std::vector<std::vector<SourceFile::Replacement>> cases = {
        {{1, 1, {u"Sub A()"}}},                                                     // made again as it was
        {{1, 2, {u"' x"}}, {4, 2, {u"' y", u"' z", u"' w"}}, {8, 1, {u"' last"}}},  // the last line keeps having no break
        {{7, 2, {}}, {2, 1, {u"' a"}}, {3, 1, {u"' B"}}},                           // out of order; one line deleted
        {{5, 4, {u"' all", u"Sub B()"}}},
        {{1, 8, {u"' one"}}},
    };
    for (std::size_t c = 0; c < cases.size(); ++c) {
        SourceFile atOnce = SourceFile::Over(bytes, Encoding::Cp932, Cp932());
        SourceFile oneByOne = SourceFile::Over(bytes, Encoding::Cp932, Cp932());
        std::vector<SourceFile::Replacement> bottomUp = cases[c];
        std::sort(bottomUp.begin(), bottomUp.end(), [](const auto& x, const auto& y) { return x.line > y.line; });
        for (const auto& r : bottomUp) oneByOne.Replace(r.line, r.count, r.lines);
        atOnce.ReplaceAll(cases[c]);
        EXPECT_EQ(atOnce.Render(), oneByOne.Render()) << c;
        EXPECT_EQ(atOnce.Unchanged(), oneByOne.Unchanged()) << c;
        std::vector<cli::LineAfter> a = atOnce.LinesAfter();
        std::vector<cli::LineAfter> b = oneByOne.LinesAfter();
        ASSERT_EQ(a.size(), b.size()) << c;
        for (std::size_t k = 0; k < a.size(); ++k) EXPECT_EQ(a[k].origin, b[k].origin) << c << ":" << k;
    }
    // A line made again as it was shows as no change.
    SourceFile same = SourceFile::Over(bytes, Encoding::Cp932, Cp932());
    same.ReplaceAll({{1, 1, {u"Sub A()"}}, {7, 1, {u"' e"}}});
    const std::vector<cli::LineAfter> after = same.LinesAfter();
    for (std::size_t k = 0; k < after.size(); ++k) EXPECT_EQ(after[k].origin, k);
    for (const std::vector<SourceFile::Replacement>& refused : std::vector<std::vector<SourceFile::Replacement>>{
             {{2, 2, {u"' x"}}, {3, 1, {u"' y"}}}, {{9, 2, {u"' x"}}}, {{0, 1, {u"' x"}}}, {{3, 0, {u"' x"}}}}) {
        SourceFile file = SourceFile::Over(bytes, Encoding::Cp932, Cp932());
        EXPECT_THROW(file.ReplaceAll(refused), cli::SourceError);
        EXPECT_TRUE(file.Unchanged());
    }
    // A UTF-8 file's byte order mark stays first when its first line is made again.
    SourceFile marked("\xEF\xBB\xBF' old\nSub A()\nEnd Sub\n", Encoding::Utf8, Cp932());
    marked.Replace(1, 1, {u"' new"});
    EXPECT_EQ(marked.Render(), "\xEF\xBB\xBF' new\nSub A()\nEnd Sub\n");
    EXPECT_EQ(marked.Line(0), u"' new");
    // Made again as it was, it is still the line it was; taken away, the mark goes on the next.
    SourceFile again("\xEF\xBB\xBF' old\nSub A()\nEnd Sub\n", Encoding::Utf8, Cp932());
    again.Replace(1, 2, {u"' old", u"Sub B()"});
    EXPECT_EQ(again.LinesAfter().front().origin, 0u);
    EXPECT_EQ(again.Render(), "\xEF\xBB\xBF' old\nSub B()\nEnd Sub\n");
    again.Replace(1, 1, {});
    EXPECT_EQ(again.Render(), "\xEF\xBB\xBFSub B()\nEnd Sub\n");
    EXPECT_EQ(again.Line(0), u"Sub B()");
}

// Lines put in fill the blocks that hold them to the brim, empty lines included.
TEST(SourceFile, LinesPutInAcrossFullBlocksStayWhole) {
    SourceFile file("Sub A()\r\nEnd Sub\r\n", Encoding::Cp932, Cp932());
    // Exactly 1 MiB of bytes put in, then an empty line and one more.
    const std::size_t half = std::size_t{512} * 1024;
    file.Insert(1, {std::u16string(half, u'a'), std::u16string(half, u'b'), u"", u"' after"});
    EXPECT_EQ(file.Render(), std::string(half, 'a') + "\r\n" + std::string(half, 'b') + "\r\n\r\n' after\r\nSub A()\r\nEnd Sub\r\n");
}

// Many insertions at once, staged one by one, land as one insertion each would.
TEST(SourceFile, StagedInsertionsLandAsSingleOnes) {
    const std::string bytes = "\xEF\xBB\xBFSub A()\nEnd Sub";
    SourceFile staged(bytes, Encoding::Utf8, Cp932());
    staged.Stage(3, {u"' end"});
    staged.Stage(1, {u"' one"});
    staged.Stage(1, {u"' two", u"' three"});
    staged.Stage(2, {});
    staged.InsertStaged();
    EXPECT_EQ(staged.Render(), "\xEF\xBB\xBF' one\n' two\n' three\nSub A()\nEnd Sub\n' end");
    SourceFile single(bytes, Encoding::Utf8, Cp932());
    single.Insert(3, {u"' end"});
    single.Insert(1, {u"' two", u"' three"});
    single.Insert(1, {u"' one"});
    EXPECT_EQ(single.Render(), staged.Render());
    staged.InsertStaged();  // nothing left to put in
    EXPECT_EQ(single.Render(), staged.Render());
    // Staged from top to bottom, as a module is stamped, and partly out of order.
    const std::string plain = "Attribute VB_Name = \"M\"\r\nA\r\nB\r\nC\r\n";
    for (const std::vector<std::int32_t>& order : {std::vector<std::int32_t>{1, 2, 3, 4}, {1, 3, 2, 4}, {4, 1, 2, 3}}) {
        SourceFile many = SourceFile::Over(plain, Encoding::Cp932, Cp932());
        for (const std::int32_t line : order) many.Stage(line, {u"' " + std::u16string(1, static_cast<char16_t>(u'0' + line)), u"'"});
        many.InsertStaged();
        EXPECT_EQ(many.Render(), "Attribute VB_Name = \"M\"\r\n' 1\r\n'\r\nA\r\n' 2\r\n'\r\nB\r\n' 3\r\n'\r\nC\r\n' 4\r\n'\r\n")
            << order[1];
    }
}

// Whether the file still renders as given bytes is told without rendering it: every way of differing
// (shorter, longer, one byte, a line end) is told apart from the same bytes.
TEST(SourceFile, TellsWhetherItRendersAsGivenBytes) {
    const std::string bytes = "Attribute VB_Name = \"M\"\r\nSub A()\r\nEnd Sub";
    SourceFile file = SourceFile::Over(bytes, Encoding::Cp932, Cp932());
    const struct {
        std::string other;
        bool same;
    } cases[] = {
        {bytes, true},
        {bytes + "\r\n", false},
        {bytes.substr(0, bytes.size() - 1), false},
        {"", false},
        {"Attribute VB_Name = \"M\"\r\nSub B()\r\nEnd Sub", false},
        {"Attribute VB_Name = \"M\"\nSub A()\r\nEnd Sub", false},
    };
    for (const auto& c : cases) EXPECT_EQ(file.RendersAs(c.other), c.same) << c.other;
    file.Insert(1, {u"' x"});
    EXPECT_FALSE(file.RendersAs(bytes));
    EXPECT_TRUE(file.RendersAs(file.Render()));
    std::string pieces;
    file.RenderTo([&](std::string_view piece) { pieces += piece; });
    EXPECT_EQ(pieces, "Attribute VB_Name = \"M\"\r\n' x\r\nSub A()\r\nEnd Sub");
    EXPECT_TRUE(SourceFile("", Encoding::Cp932, Cp932()).RendersAs(""));
}

TEST(SourceFile, RefusesBytesOutsideTheEncoding) {
    EXPECT_THROW(SourceFile("Sub A()\r\n\x82\r\n", Encoding::Cp932, Cp932()), cli::SourceError);
    EXPECT_THROW(SourceFile("Sub A()\r\n' \xE5\x90\r\n", Encoding::Utf8, Cp932()), cli::SourceError);
    try {
        SourceFile("a\r\nb\r\n\xFF\xFF", Encoding::Utf8, Cp932());
    } catch (const cli::SourceError& e) {
        EXPECT_NE(std::string(e.what()).find("line 3"), std::string::npos) << e.what();
    }
}

}  // namespace
}  // namespace qm::test
