// The difference of a file as the command changed it: read off the lines put in and replaced.
#include "cli/diff.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/source_file.h"
#include "tests/test_support.h"

namespace qm::test {
namespace {

using cli::Encoding;
using cli::SourceFile;

std::string Patch(const std::string& before, const SourceFile& file) {
    return cli::UnifiedDiff("a/m.bas", "b/m.bas", before, file.Render(), file.LinesAfter(),
                            [](std::string_view line, std::string& out) { out += line; });
}

std::string Numbered(int from, int to) {
    std::string out;
    for (int i = from; i <= to; ++i) out += "L" + std::to_string(i) + "\n";
    return out;
}

TEST(Difference, ShowsTheChangeWithThreeLinesAround) {
    struct Case {
        const char* what;
        std::string before;
        std::vector<SourceFile::Insertion> insertions;
        std::string expected;  // after the two header lines
    };
    const std::vector<Case> cases = {
        {"one line in the middle", Numbered(1, 10), {{6, {u"new"}}}, "@@ -3,6 +3,7 @@\n L3\n L4\n L5\n+new\n L6\n L7\n L8\n"},
        {"at the top", Numbered(1, 5), {{1, {u"a", u"b"}}}, "@@ -1,3 +1,5 @@\n+a\n+b\n L1\n L2\n L3\n"},
        {"into an empty file", "", {{1, {u"a"}}}, "@@ -0,0 +1,1 @@\n+a\r\n"},
        {"changes close together share a hunk",
         Numbered(1, 20),
         {{5, {u"x"}}, {11, {u"y"}}},
         "@@ -2,12 +2,14 @@\n L2\n L3\n L4\n+x\n L5\n L6\n L7\n L8\n L9\n L10\n+y\n L11\n L12\n L13\n"},
        {"changes far apart have hunks of their own",
         Numbered(1, 20),
         {{3, {u"x"}}, {18, {u"y"}}},
         "@@ -1,5 +1,6 @@\n L1\n L2\n+x\n L3\n L4\n L5\n@@ -15,6 +16,7 @@\n L15\n L16\n L17\n+y\n L18\n L19\n L20\n"},
        {"after a last line without a line end",
         "L1\nL2",
         {{3, {u"z"}}},
         "@@ -1,2 +1,3 @@\n L1\n-L2\n\\ No newline at end of file\n+L2\n+z\n\\ No newline at end of file\n"},
    };
    for (const Case& c : cases) {
        SourceFile file(c.before, Encoding::Utf8, Cp932());
        file.InsertAll(c.insertions);
        EXPECT_EQ(Patch(c.before, file), "--- a/m.bas\n+++ b/m.bas\n" + c.expected) << c.what;
    }
}

TEST(Difference, ReplacedLinesShowOnlyWhatChanged) {
    const std::string before = "' A : x\r\n' B : y\r\n' C : z\r\nSub S()\r\nEnd Sub\r\n";
    SourceFile file(before, Encoding::Utf8, Cp932());
    file.Replace(1, 3, {u"' A : x", u"' B : w", u"' C : z"});
    EXPECT_EQ(Patch(before, file),
              "--- a/m.bas\n+++ b/m.bas\n@@ -1,5 +1,5 @@\n ' A : x\r\n-' B : y\r\n+' B : w\r\n ' C : z\r\n Sub S()\r\n End Sub\r\n");
    // Nothing changed, nothing shown.
    SourceFile same(before, Encoding::Utf8, Cp932());
    same.Replace(2, 1, {u"' B : y"});
    EXPECT_EQ(Patch(before, same), "");
}

TEST(Difference, ShowsCodePage932AsUtf8ForReading) {
    const std::string before = "' \x8a\xd6\x90\x94\r\nSub S()\r\n";  // ' 関数
    SourceFile file(before, Encoding::Cp932, Cp932());
    file.Insert(2, {u"' 追加"});
    const std::string shown = cli::UnifiedDiff("m.bas", "m.bas", before, file.Render(), file.LinesAfter(),
                                               [&](std::string_view line, std::string& out) { file.AppendUtf8(line, out); });
    EXPECT_EQ(shown, "--- m.bas\n+++ m.bas\n@@ -1,2 +1,3 @@\n ' 関数\r\n+' 追加\r\n Sub S()\r\n");
    // The patch keeps the file's own bytes.
    EXPECT_NE(Patch(before, file).find("+' \x92\xc7\x89\xc1\r\n"), std::string::npos);
}

TEST(Difference, QuotesNamesThatAPatchHeaderCannotCarry) {
    const struct {
        const char* name;
        const char* header;
    } cases[] = {
        {"a/src/m.bas", "a/src/m.bas"},
        {"a/税計算.bas", "a/税計算.bas"},
        {"a/my file.bas", "\"a/my file.bas\""},
        {"a/x\"y\\z.bas", "\"a/x\\\"y\\\\z.bas\""},
        {"a/x\ny\x01.bas", "\"a/x\\ny\\001.bas\""},
        {"a/x\ry\x7f\tz.bas", "\"a/x\\015y\\177\\tz.bas\""},
    };
    for (const auto& c : cases) EXPECT_EQ(cli::PatchName(c.name), c.header) << c.name;
}

}  // namespace
}  // namespace qm::test
