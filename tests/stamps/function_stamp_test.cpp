#include "addin/stamps/function_stamp.h"

#include <gtest/gtest.h>

#include "platform/sim/text_code_module.h"
#include "tests/test_support.h"

namespace qm::test {
namespace {

constexpr LocalDateTime kNow{1999, 12, 1, 9, 5, 7};

std::u16string Ruler78() { return u"'" + std::u16string(78, u'-'); }

std::u16string Join(const std::vector<std::u16string>& lines) {
    std::u16string out;
    for (std::size_t i = 0; i < lines.size(); ++i) out += (i ? u"\r\n" : u"") + lines[i];
    return out;
}

class FunctionStamp : public ::testing::Test {
protected:
    FormatModel Model() { return LoadFormatModel(store_.store); }
    std::u16string Stamp(const FormatModel& model, const ProcedureInfo& info) {
        return ComposeFunctionStamp(info, StampContext{model, kNow, Cp932()});
    }
    MemoryStore store_;
};

const ProcedureInfo kAddTax{ProcedureKind::Function, u"AddTax", 2,
                            u"Public Function AddTax(ByVal price As Long, ByVal rate As Double) As Long"};

TEST_F(FunctionStamp, TheWorkedExampleComesOutByteForByte) {
    const std::u16string expected = Join({
        Ruler78(),
        u"' @(f)",
        u"'",
        u"' 関数名\u3000: AddTax",
        u"'",
        u"' 機能\u3000\u3000: ",
        u"'",
        u"' 引数\u3000\u3000: price -",
        u"' \u3000\u3000\u3000\u3000  rate  -",
        u"'",
        u"' 戻り値\u3000: ",
        u"'",
        Ruler78(),
    });
    EXPECT_EQ(Stamp(Model(), kAddTax), expected);

    // Inserted in front of the declaration, which then follows line 13, and scrolled to.
    ide::TextCodeModule module(
        ide::TextCodeModule::SplitText(u"Option Explicit\r\n\r\n" + kAddTax.Declaration + u"\r\n    AddTax = price\r\nEnd Function"));
    ide::TextCodePane pane(module);
    pane.SetSelection({4, 5, 4, 5});
    RunFunctionStamp(pane, StampContext{Model(), kNow, Cp932()});
    EXPECT_EQ(module.Lines(3, 14), expected + u"\r\n" + kAddTax.Declaration);
    EXPECT_EQ(pane.TopLine(), 3);
    EXPECT_EQ(pane.GetSelection(), (ide::Selection{4, 5, 4, 5}));
}

TEST_F(FunctionStamp, VariantsOfTheWorkedExample) {
    FormatModel model = Model();
    model.ItemAttributes[2].Attr1 = 1;
    const std::u16string numbered = Stamp(model, kAddTax);
    EXPECT_NE(numbered.find(u"' 引数\u3000\u3000: ARG1 -\r\n' \u3000\u3000\u3000\u3000  ARG2 -\r\n"), std::u16string::npos);

    const std::u16string sub = Stamp(Model(), {ProcedureKind::Sub, u"Reset", 1, u"Private Sub Reset()"});
    EXPECT_NE(sub.find(u"' 関数名\u3000: Reset\r\n"), std::u16string::npos);
    EXPECT_NE(sub.find(u"' 引数\u3000\u3000: なし\r\n"), std::u16string::npos);
    EXPECT_NE(sub.find(u"' 戻り値\u3000: なし\r\n"), std::u16string::npos);

    // Property declarations are read like the others.
    const std::u16string let = Stamp(Model(), {ProcedureKind::PropertyLet, u"Value", 1, u"Property Let Value(ByVal v As Long)"});
    EXPECT_NE(let.find(u"' 関数名\u3000: Value [ﾌﾟﾛﾊﾟﾃｨ Let]\r\n"), std::u16string::npos);
    EXPECT_NE(let.find(u"' 引数\u3000\u3000: v -\r\n"), std::u16string::npos);
    EXPECT_NE(let.find(u"' 戻り値\u3000: なし\r\n"), std::u16string::npos);
    const std::u16string get = Stamp(Model(), {ProcedureKind::PropertyGet, u"Value", 1, u"Property Get Value() As Long"});
    EXPECT_NE(get.find(u"' 引数\u3000\u3000: なし\r\n"), std::u16string::npos);
    EXPECT_NE(get.find(u"' 戻り値\u3000: \r\n"), std::u16string::npos);
}

// The stamp as lines knows which item each line shows: an argument list's lines all belong to it.
TEST_F(FunctionStamp, EveryLineSaysWhichItemItShows) {
    const FormatModel model = Model();
    const StampContext context{model, kNow, Cp932()};
    const auto lines = ComposeFunctionStampLines(kAddTax, context);
    EXPECT_EQ(JoinStampLines(lines), ComposeFunctionStamp(kAddTax, context));
    std::vector<int> rows;
    rows.reserve(lines.size());
    for (const StampLine& line : lines) rows.push_back(line.row);
    constexpr int n = StampLine::kNoItem;
    EXPECT_EQ(rows, (std::vector<int>{n, n, n, 0, n, 1, n, 2, 2, n, 3, n, n}));
    EXPECT_EQ(lines[8].text, u"' \u3000\u3000\u3000\u3000  rate  -");

    // Without a ruler the stamp starts with an empty line and ends at the last "'".
    FormatModel bare = model;
    bare.RulerOn = 0;
    const auto plain = ComposeFunctionStampLines(kAddTax, StampContext{bare, kNow, Cp932()});
    EXPECT_EQ(plain.front().text, u"");
    EXPECT_EQ(plain.back().text, u"'");
}

TEST_F(FunctionStamp, ArgumentNamesComeFromTheParameterList) {
    struct Case {
        const char16_t* declaration;
        const char16_t* value;
    };
    const Case cases[] = {
        {u"Sub A(a() As Long)", u"a() -"},
        {u"Sub A(ParamArray args() As Variant)", u"args() -"},
        {u"Sub A(Optional n As Long = 5)", u"n -"},
        {u"Sub A(ByVal Asset As Long)", u"Asset -"},
        {u"Function Rows(n As Long) As Long()", u"n -"},
        {u"Sub Show(a As Long) ' x, y", u"a -"},
        {u"Sub A(Optional s As String = \"a,b\", t)", u"s -\r\n' \u3000\u3000\u3000\u3000  t -"},
        {u"Sub A(Optional ByVal p As Long = Max(1, 2), q)", u"p -\r\n' \u3000\u3000\u3000\u3000  q -"},
        {u"Sub A(x, yy, zzz)", u"x   -\r\n' \u3000\u3000\u3000\u3000  yy  -\r\n' \u3000\u3000\u3000\u3000  zzz -"},
        {u"Sub A(名前 As String, id As Long)", u"名前 -\r\n' \u3000\u3000\u3000\u3000  id   -"},
        {u"Function Name$(ByRef s$)", u"s$ -"},
        {u"Sub A()", u"なし"},
        {u"Sub A", u"なし"},
        {u"Sub A(  )", u"なし"},
        {u"", u"なし"},
    };
    const FormatModel model = Model();
    for (const Case& c : cases) {
        EXPECT_EQ(FormatArgumentItem(c.declaration, model.ItemAttributes[2], u" ", model.PadAll, Cp932()), c.value)
            << Utf16ToUtf8(c.declaration);
    }
    ItemAttribute quiet = model.ItemAttributes[2];
    quiet.Attr2 = 0;
    EXPECT_EQ(FormatArgumentItem(u"Sub A()", quiet, u" ", model.PadAll, Cp932()), u"");
}

TEST_F(FunctionStamp, AppearanceSettings) {
    FormatModel model = Model();
    model.RulerOn = 0;
    model.Indent = u"3";
    const std::u16string plain = Stamp(model, kAddTax);
    EXPECT_EQ(plain.substr(0, 10), u"\r\n'   @(f)");
    EXPECT_EQ(plain.substr(plain.size() - 3), u"\r\n'");

    model.RulerOn = 1;
    model.RulerCount = u"0";
    model.DisplayOrder.clear();
    EXPECT_EQ(Stamp(model, kAddTax), u"'\r\n'   @(f)\r\n'\r\n'");

    model.RulerCount = u"3";
    model.RulerSymbol = u"=-";
    model.Indent = u"-4";  // a negative indent writes no blanks
    EXPECT_EQ(Stamp(model, kAddTax), u"'=-=-=-\r\n'@(f)\r\n'\r\n'=-=-=-");
}

// A stored format beyond what the wizard lets through is taken within its limits; the stamp is made.
TEST_F(FunctionStamp, StoredValuesBeyondTheWizardsLimitsAreTakenWithinThem) {
    struct Case {
        std::u16string indent, count, symbol;
        std::size_t blanks;
        std::u16string ruler;  // without the comment mark
    };
    const std::u16string longSymbol(1500, u'*');
    const Case cases[] = {
        {u"30", u"1000", u"-", 30, std::u16string(1000, u'-')},  // the wizard's own limits
        {u"40", u"99999", u"-", 30, std::u16string(1000, u'-')},
        {u"0." + std::u16string(5000, u'0') + u"1", u"2", u"-", 0, u"--"},  // reads as 0, not as a huge count
        {u"1", u"600", u"＝", 1, std::u16string(500, u'＝')},               // two bytes a character
        {u"1", u"999", u" = ", 1,
         [] {  // the symbol counted without its blanks
             std::u16string r;
             for (int i = 0; i < 999; ++i) r += u" = ";
             return r;
         }()},
        {u"1", u"5", longSymbol, 1, std::u16string(1000, u'*')},  // longer than a ruler: cut, once
        {u"1", u"-5", u"-", 1, u""},
    };
    for (const Case& c : cases) {
        FormatModel model = Model();
        model.Indent = c.indent;
        model.RulerCount = c.count;
        model.RulerSymbol = c.symbol;
        EXPECT_EQ(IndentBlanks(model).size(), c.blanks) << Utf16ToUtf8(c.indent.substr(0, 8));
        EXPECT_EQ(RulerLine(model, Cp932()), u"'" + c.ruler) << Utf16ToUtf8(c.count);
    }
}

TEST_F(FunctionStamp, EveryKindOfItem) {
    store_.Put(u"FixedFormList", u"0,4,5");
    store_.Put(u"CustomFormList", u"[確認者,5][再掲,0][日付２,4][謎,7]");
    store_.Put(u"SelectDatas", u"[0,1,0,0,0,][1,1,1,1,0,][2,0,0,0,0,山田][3,0,0,0,0,鈴木][4,0,0,0,0,][5,0,2,0,1,][6,0,0,0,0,]");
    const FormatModel model = Model();
    const std::u16string stamp = Stamp(model, kAddTax);
    EXPECT_NE(stamp.find(u"' 関数名\u3000: AddTax()\r\n"), std::u16string::npos);
    EXPECT_NE(stamp.find(u"' 作成日\u3000: '99.12.01\r\n"), std::u16string::npos);
    EXPECT_NE(stamp.find(u"' 作成者\u3000: 山田\r\n"), std::u16string::npos);
    EXPECT_NE(stamp.find(u"' 確認者\u3000: 鈴木\r\n"), std::u16string::npos);
    EXPECT_NE(stamp.find(u"' 再掲\u3000\u3000: AddTax\r\n"), std::u16string::npos);
    EXPECT_NE(stamp.find(u"' 日付２\u3000: 1999/12/01  09:05:07\r\n"), std::u16string::npos);
    EXPECT_EQ(stamp.find(u'謎'), std::u16string::npos);  // an unknown kind writes nothing at all
}

TEST_F(FunctionStamp, ModuleHeader) {
    const FormatModel model = Model();
    const StampContext context{model, kNow, Cp932()};
    struct Case {
        const char16_t* path;
        std::u16string line;
    };
    const Case cases[] = {
        {u"C:\\Projects\\Module1.bas", u"' @(h) Module1.bas" + std::u16string(17, u' ') + u"ver 1.0 ( '99.12.01 USERNAME )"},
        {u"/home/u/src/Module1.bas", u"' @(h) Module1.bas" + std::u16string(17, u' ') + u"ver 1.0 ( '99.12.01 USERNAME )"},
        {u"", u"' @(h) " + std::u16string(28, u' ') + u"ver 1.0 ( '99.12.01 USERNAME )"},
        {u"C:\\p\\ABCDEFGHIJKLMNOPQRSTUVWX.bas", u"' @(h) ABCDEFGHIJKLMNOPQRSTUVWX.bas ver 1.0 ( '99.12.01 USERNAME )"},
        {u"顧客管理.bas", u"' @(h) 顧客管理.bas" + std::u16string(16, u' ') + u"ver 1.0 ( '99.12.01 USERNAME )"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ComposeModuleHeader(c.path, context), Join({Ruler78(), c.line, u"'", u"' @(s)", u"'", Ruler78()})) << Utf16ToUtf8(c.path);
    }
    FormatModel noRuler = Model();
    noRuler.RulerOn = 0;
    noRuler.Indent = u"5";
    EXPECT_EQ(ComposeModuleHeader(u"a", StampContext{noRuler, kNow, Cp932()}),
              Join({u"' @(h) a" + std::u16string(27, u' ') + u"ver 1.0 ( '99.12.01 USERNAME )", u"'", u"' @(s)", u"'"}));
}

TEST_F(FunctionStamp, TheCommandInsertsAtTheTopAndAgainOnEveryClick) {
    ide::TextCodeModule module(ide::TextCodeModule::SplitText(u"Option Explicit\r\n\r\nSub A()\r\nEnd Sub"), u"C:\\x\\Module1.bas");
    ide::TextCodePane pane(module);
    const FormatModel model = Model();
    const StampContext context{model, kNow, Cp932()};
    pane.SetSelection({1, 1, 1, 1});
    RunFunctionStamp(pane, context);
    EXPECT_EQ(module.CountOfLines(), 10);
    EXPECT_EQ(module.Lines(2, 1).substr(0, 18), u"' @(h) Module1.bas");
    EXPECT_EQ(module.Lines(7, 1), u"Option Explicit");

    // Two clicks on the same procedure: two stamps, one above the other.
    pane.SetSelection({10, 1, 10, 1});
    RunFunctionStamp(pane, context);
    pane.SetSelection({22, 1, 22, 1});
    RunFunctionStamp(pane, context);
    EXPECT_EQ(module.CountOfLines(), 10 + 12 + 12);
    EXPECT_EQ(module.Lines(9, 1), Ruler78());
    EXPECT_EQ(module.Lines(21, 1), Ruler78());
    EXPECT_EQ(module.Lines(33, 1), u"Sub A()");

    // A module that cannot be edited is left alone, the pane still scrolls.
    module.SetReadOnly(true);
    module.Component().SetFailing(true);
    pane.SetSelection({1, 1, 1, 1});
    RunFunctionStamp(pane, context);
    EXPECT_EQ(module.CountOfLines(), 34);
    EXPECT_EQ(pane.TopLine(), 1);
}

}  // namespace
}  // namespace qm::test
