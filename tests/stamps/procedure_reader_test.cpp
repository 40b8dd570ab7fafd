#include "addin/stamps/procedure_reader.h"

#include <gtest/gtest.h>

#include "platform/sim/text_code_module.h"
#include "tests/test_support.h"

namespace qm::test {
namespace {

ProcedureOutcome ReadAt(std::u16string_view text, int line) {
    ide::TextCodeModule module(ide::TextCodeModule::SplitText(text));
    ide::TextCodePane pane(module);
    pane.SetSelection({line, 3, line, 3});
    return ReadProcedureAtCursor(pane);
}

constexpr char16_t kModule[] =
    u"Option Explicit\r\n"                          // 1
    u"Dim total As Long\r\n"                        // 2
    u"\r\n"                                         // 3
    u"Public Function Calc(ByVal a As Long, _\r\n"  // 4
    u"    ByVal b As Long) As Long\r\n"             // 5
    u"    Calc = a + b\r\n"                         // 6
    u"End Function\r\n"                             // 7
    u"\r\n"                                         // 8
    u"' shows the form\r\n"                         // 9
    u"Private Sub Form_Load()\r\n"                  // 10
    u"End Sub\r\n"                                  // 11
    u"Property Get Value() As Long\r\n"             // 12
    u"End Property\r\n"                             // 13
    u"Property Let Value(ByVal v As Long)\r\n"      // 14
    u"End Property\r\n"                             // 15
    u"Public Sub b()\r\n"                           // 16
    u"End Sub\r\n"                                  // 17
    u"Friend Function Total() As Long\r\n"          // 18
    u"End Function";                                // 19

TEST(ReadProcedureAtCursor, DecidesWhatToStamp) {
    struct Case {
        int line;
        StampTarget target;
        ProcedureKind kind;
        const char16_t* name;
        int body;
        const char16_t* declaration;
    };
    const Case cases[] = {
        {1, StampTarget::ModuleHeader, ProcedureKind::Unknown, u"", 0, u""},
        {2, StampTarget::ModuleHeader, ProcedureKind::Unknown, u"", 0, u""},
        // The blank line in front of Calc begins its region: caret there means the module.
        {3, StampTarget::ModuleHeader, ProcedureKind::Unknown, u"", 0, u""},
        {4, StampTarget::Procedure, ProcedureKind::Function, u"Calc", 4, u"Public Function Calc(ByVal a As Long, ByVal b As Long) As Long"},
        {7, StampTarget::Procedure, ProcedureKind::Function, u"Calc", 4, u"Public Function Calc(ByVal a As Long, ByVal b As Long) As Long"},
        // Blank and comment lines belong to the procedure below them.
        {9, StampTarget::Procedure, ProcedureKind::Sub, u"Form_Load", 10, u"Private Sub Form_Load()"},
        {10, StampTarget::Procedure, ProcedureKind::Sub, u"Form_Load", 10, u"Private Sub Form_Load()"},
        {13, StampTarget::Procedure, ProcedureKind::PropertyGet, u"Value", 12, u"Property Get Value() As Long"},
        {15, StampTarget::Procedure, ProcedureKind::PropertyLet, u"Value", 14, u"Property Let Value(ByVal v As Long)"},
        // The name b stands inside "Public" too: the keyword decides.
        {17, StampTarget::Procedure, ProcedureKind::Sub, u"b", 16, u"Public Sub b()"},
        {19, StampTarget::Procedure, ProcedureKind::Function, u"Total", 18, u"Friend Function Total() As Long"},
    };
    for (const Case& c : cases) {
        const ProcedureOutcome got = ReadAt(kModule, c.line);
        EXPECT_EQ(got.target, c.target) << "line " << c.line;
        if (c.target != StampTarget::Procedure) continue;
        EXPECT_EQ(got.info.Kind, c.kind) << "line " << c.line;
        EXPECT_EQ(got.info.ProcName, c.name) << "line " << c.line;
        EXPECT_EQ(got.info.BodyLine, c.body) << "line " << c.line;
        EXPECT_EQ(got.info.Declaration, c.declaration) << "line " << c.line;
    }
}

TEST(ReadProcedureAtCursor, FirstLineOfARegionAtTheTopIsTheModule) {
    EXPECT_EQ(ReadAt(u"Sub A()\r\nEnd Sub", 1).target, StampTarget::ModuleHeader);
    EXPECT_EQ(ReadAt(u"Sub A()\r\nEnd Sub", 2).target, StampTarget::Procedure);
    EXPECT_EQ(ReadAt(u"Option Explicit", 1).target, StampTarget::ModuleHeader);
}

// Only the first procedure's region start means the module: for a later procedure, the first line of
// its region (the declaration right under the last End, the one blank line between two procedures, a
// comment under the last End) stamps that procedure above its declaration.
TEST(ReadProcedureAtCursor, ALaterProceduresRegionStartStampsThatProcedure) {
    struct Case {
        const char16_t* text;
        int line;
        StampTarget target;
        int body;
    };
    const Case cases[] = {
        {u"Sub A()\r\nEnd Sub\r\nSub B()\r\nEnd Sub", 3, StampTarget::Procedure, 3},
        {u"Option Explicit\r\nSub A()\r\nEnd Sub\r\nFunction B() As Long\r\nEnd Function", 4, StampTarget::Procedure, 4},
        {u"Sub A()\r\nEnd Sub\r\n\r\nSub B()\r\nEnd Sub", 3, StampTarget::Procedure, 4},
        {u"Sub A()\r\nEnd Sub\r\n' B's comment\r\nSub B()\r\nEnd Sub", 3, StampTarget::Procedure, 4},
        // The first procedure keeps the rule: with nothing in front of it, or after the declarations.
        {u"Sub A()\r\nEnd Sub\r\nSub B()\r\nEnd Sub", 1, StampTarget::ModuleHeader, 0},
        {u"Option Explicit\r\n\r\nSub A()\r\nEnd Sub", 2, StampTarget::ModuleHeader, 0},
    };
    for (const Case& c : cases) {
        const ProcedureOutcome got = ReadAt(c.text, c.line);
        EXPECT_EQ(got.target, c.target) << Utf16ToUtf8(c.text) << " line " << c.line;
        if (c.target == StampTarget::Procedure) {
            EXPECT_EQ(got.info.BodyLine, c.body) << Utf16ToUtf8(c.text);
        }
    }
}

TEST(ReadProcedureAtCursor, PropertiesPickTheLatestRegionAboveTheCaret) {
    const char16_t* text =
        u"Property Get Value() As Long\r\n"  // 1
        u"End Property\r\n"                  // 2
        u"\r\n"                              // 3: first line of the Let's region
        u"Property Let Value(ByVal v As Long)\r\n"
        u"End Property";
    // The Let's region starts at the caret, so the Get (starting above it) is chosen.
    EXPECT_EQ(ReadAt(text, 3).info.Kind, ProcedureKind::PropertyGet);
    EXPECT_EQ(ReadAt(text, 4).info.Kind, ProcedureKind::PropertyLet);
    // A lone property whose region starts at the caret has no candidate.
    EXPECT_EQ(ReadAt(u"Property Set Target(ByVal o As Object)\r\nEnd Property", 1).target, StampTarget::Nothing);
    const auto set = ReadAt(u"Property Set Target(ByVal o As Object)\r\nEnd Property", 2);
    EXPECT_EQ(set.info.Kind, ProcedureKind::PropertySet);
    EXPECT_EQ(set.info.Declaration, u"Property Set Target(ByVal o As Object)");
}

TEST(ReadProcedureAtCursor, NothingWithoutAProcedureOrAPane) {
    EXPECT_EQ(ReadAt(u"", 1).target, StampTarget::Nothing);
    ide::TextCodeModule module;
    ide::TextCodePane pane(module);
    EXPECT_EQ(ReadProcedureAtCursor(pane).target, StampTarget::Nothing);
}

TEST(ReadDeclaration, JoinsContinuationLinesAndKeepsTheTrailingComment) {
    ide::TextCodeModule module(ide::TextCodeModule::SplitText(u"  Sub Show(a As Long, _   \r\n      b As Long) ' x, y\r\nEnd Sub"));
    EXPECT_EQ(ReadDeclaration(module, 1), u"Sub Show(a As Long, b As Long) ' x, y");
    // A continuation on the last line stops at the end of the module.
    ide::TextCodeModule cut(ide::TextCodeModule::SplitText(u"Sub Show(a As Long, _"));
    EXPECT_EQ(ReadDeclaration(cut, 1), u"Sub Show(a As Long, ");
}

}  // namespace
}  // namespace qm::test
