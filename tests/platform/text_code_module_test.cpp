#include "platform/sim/text_code_module.h"

#include <gtest/gtest.h>

#include "platform/failure.h"
#include "tests/test_support.h"

namespace qm::test {
namespace {

using ide::vbext_pk_Get;
using ide::vbext_pk_Let;
using ide::vbext_pk_Proc;
using ide::vbext_pk_Set;

ide::TextCodeModule Module(std::u16string_view text) { return ide::TextCodeModule(ide::TextCodeModule::SplitText(text)); }

TEST(TextCodeModule, FindsRegionsAsTheEnvironmentDoes) {
    auto m = Module(
        u"Option Explicit\r\n"                                                    // 1
        u"Private Declare Function GetTickCount Lib \"kernel32\" () As Long\r\n"  // 2
        u"' about the first\r\n"                                                  // 3
        u"\r\n"                                                                   // 4
        u"Public Static Function First( _\r\n"                                    // 5
        u"    ByVal a As Long) As Long\r\n"                                       // 6
        u"    First = a\r\n"                                                      // 7
        u"End Function\r\n"                                                       // 8
        u"\r\n"                                                                   // 9
        u"Sub Second()\r\n"                                                       // 10
        u"End Sub ' done\r\n"                                                     // 11
        u"Friend Property Get Value() As Long\r\n"                                // 12
        u"End Property\r\n"                                                       // 13
        u"Private Property Let Value(ByVal v As Long)\r\n"                        // 14
        u"End Property\r\n"                                                       // 15
        u"' trailing\r\n"                                                         // 16
        u"");                                                                     // 17
    EXPECT_EQ(m.CountOfLines(), 17);
    EXPECT_EQ(m.CountOfDeclarationLines(), 2);
    struct Expect {
        const char16_t* name;
        ide::vbext_ProcKind kind;
        int start;
        int body;
    };
    const Expect expected[] = {
        {u"First", vbext_pk_Proc, 3, 5},
        {u"Second", vbext_pk_Proc, 9, 10},
        {u"Value", vbext_pk_Get, 12, 12},
        {u"Value", vbext_pk_Let, 14, 14},
    };
    for (const Expect& e : expected) {
        EXPECT_EQ(m.ProcStartLine(e.name, e.kind), e.start) << Utf16ToUtf8(e.name) << e.kind;
        EXPECT_EQ(m.ProcBodyLine(e.name, e.kind), e.body) << Utf16ToUtf8(e.name) << e.kind;
    }
    const char16_t* owners[] = {u"",       u"",       u"First", u"First", u"First", u"First", u"First", u"First", u"Second",
                                u"Second", u"Second", u"Value", u"Value", u"Value", u"Value", u"Value", u"Value"};
    for (int line = 1; line <= 17; ++line) EXPECT_EQ(m.ProcOfLine(line, nullptr), owners[line - 1]) << line;
    EXPECT_EQ(m.ProcStartLine(u"first", vbext_pk_Proc), 3);  // names ignore case
    EXPECT_THROW(m.ProcStartLine(u"Value", vbext_pk_Proc), PlatformError);
    EXPECT_THROW(m.ProcStartLine(u"Value", vbext_pk_Set), PlatformError);
    EXPECT_THROW(m.ProcStartLine(u"GetTickCount", vbext_pk_Proc), PlatformError);
    EXPECT_THROW(m.ProcOfLine(18, nullptr), PlatformError);
}

TEST(TextCodeModule, ModulesWithoutProceduresAreAllDeclarations) {
    EXPECT_EQ(Module(u"Option Explicit\r\n\r\n' note").CountOfDeclarationLines(), 3);
    ide::TextCodeModule empty;
    EXPECT_EQ(empty.CountOfDeclarationLines(), 0);
    EXPECT_THROW(empty.ProcOfLine(1, nullptr), PlatformError);
    auto first = Module(u"Sub A()\r\nEnd Sub");
    EXPECT_EQ(first.CountOfDeclarationLines(), 0);
    EXPECT_EQ(first.ProcStartLine(u"A", vbext_pk_Proc), 1);
}

TEST(TextCodeModule, InsertsLinesAndFollowsTheChange) {
    auto m = Module(u"Option Explicit\r\nSub A()\r\nEnd Sub");
    m.InsertLines(2, u"' one\r\n' two");
    EXPECT_EQ(m.Lines(1, 5), u"Option Explicit\r\n' one\r\n' two\r\nSub A()\r\nEnd Sub");
    EXPECT_EQ(m.ProcStartLine(u"A", vbext_pk_Proc), 2);
    EXPECT_EQ(m.ProcBodyLine(u"A", vbext_pk_Proc), 4);
    m.InsertLines(6, u"");  // one past the end appends
    EXPECT_EQ(m.CountOfLines(), 6);
    EXPECT_THROW(m.InsertLines(8, u"x"), PlatformError);
    EXPECT_THROW(m.Lines(6, 2), PlatformError);
    m.SetReadOnly(true);
    EXPECT_THROW(m.InsertLines(1, u"x"), PlatformError);
    EXPECT_EQ(m.CountOfLines(), 6);
}

// The lines are one buffer with where each starts: an insertion anywhere moves every line after it.
TEST(TextCodeModule, InsertionsKeepEveryLineWhereverTheyGo) {
    struct Case {
        std::u16string_view before;
        std::int32_t line;
        std::u16string_view text;
        std::u16string_view after;
    };
    const Case cases[] = {
        {u"", 1, u"a", u"a"},
        {u"", 1, u"", u""},
        {u"x\r\ny", 1, u"a\r\nb", u"a\r\nb\r\nx\r\ny"},
        {u"x\r\ny", 2, u"a", u"x\r\na\r\ny"},
        {u"x\r\ny", 3, u"a\nb", u"x\r\ny\r\na\r\nb"},
        {u"x\r\n\r\ny", 2, u"\r\n", u"x\r\n\r\n\r\n\r\ny"},  // empty lines among empty lines
        {u"長い行\r\n", 2, u"日本語", u"長い行\r\n日本語\r\n"},
    };
    for (const Case& c : cases) {
        auto m = Module(c.before);
        m.InsertLines(c.line, std::u16string(c.text));
        EXPECT_EQ(m.Lines(1, m.CountOfLines()), c.after) << Utf16ToUtf8(c.before) << " at " << c.line;
        // The view reads the same lines.
        std::u16string joined;
        for (const std::u16string& l : m.AllLines()) {
            joined += l;
            joined += u"\r\n";
        }
        joined.resize(joined.size() - 2);
        EXPECT_EQ(joined, c.after);
    }
}

TEST(TextCodeModule, AnUnclosedProcedureEndsWhereTheNextBegins) {
    auto m = Module(u"Sub A()\r\n\r\nSub B()\r\nEnd Sub");
    EXPECT_EQ(m.ProcStartLine(u"B", vbext_pk_Proc), 3);
    EXPECT_EQ(m.ProcOfLine(2, nullptr), u"A");
}

}  // namespace
}  // namespace qm::test
