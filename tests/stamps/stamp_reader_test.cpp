// Stamps read back by their layout: every stamp the composers make, stamps of other formats, old and
// hand-edited ones, and damaged ones, whose unreadable lines stay as text.
#include "addin/stamps/stamp_reader.h"

#include <gtest/gtest.h>

#include "addin/stamps/edit_stamp.h"
#include "addin/stamps/function_stamp.h"
#include "platform/sim/text_code_module.h"
#include "tests/test_support.h"

namespace qm::test {
namespace {

constexpr LocalDateTime kNow{1999, 12, 1, 9, 5, 7};

// An item as "name=value" (value lines joined by "|"), arguments as "[a:desc,b:desc]".
std::string Shown(const ReadStamp& stamp) {
    std::string out;
    for (const ReadItem& item : stamp.items) {
        out += Utf16ToUtf8(item.name) + "=";
        for (std::size_t i = 0; i < item.values.size(); ++i) out += (i > 0 ? "|" : "") + Utf16ToUtf8(item.values[i]);
        if (item.listsArguments) {
            out += "[";
            for (std::size_t i = 0; i < item.arguments.size(); ++i) {
                out += (i > 0 ? "," : "") + Utf16ToUtf8(item.arguments[i].name) + ":" + Utf16ToUtf8(item.arguments[i].description);
            }
            out += "]";
        }
        out += ";";
    }
    for (const StampText& t : stamp.text) out += "#" + std::to_string(t.line) + " " + Utf16ToUtf8(t.text) + ";";
    return out;
}

std::vector<std::u16string> Lines(std::initializer_list<const char*> lines) {
    std::vector<std::u16string> out;
    for (const char* l : lines) out.push_back(U(l));
    return out;
}

ReadStamp Read(const std::vector<std::u16string>& lines, const std::vector<std::u16string>& argumentItems = {u"引数"}) {
    return ReadStampLayout(lines, 1, static_cast<std::int32_t>(lines.size()), argumentItems);
}

int RowNamed(const FormatModel& model, const std::u16string& name) {
    for (std::size_t r = 0; r < model.ItemList.size(); ++r) {
        if (model.ItemList[r].name == name) return static_cast<int>(r);
    }
    return -1;
}

// Whatever the format, the composer's stamp reads back as the items it shows, in their order.
TEST(StampLayout, EveryStampTheComposerMakesReadsBack) {
    const ProcedureInfo addTax{ProcedureKind::Function, u"AddTax", 2,
                               u"Public Function AddTax(ByVal price As Long, ByVal rate As Double, a() As Long) As Long"};
    const ProcedureInfo show{ProcedureKind::Sub, u"Show", 2, u"Sub Show()"};
    const ProcedureInfo value{ProcedureKind::PropertyLet, u"Value", 2, u"Property Let Value(ByVal v As Long)"};
    struct Case {
        const char* what;
        void (*change)(MemoryStore&, FormatModel&);
        const ProcedureInfo* info;
        std::string expected;
    };
    const Case cases[] = {
        {"the default format", [](MemoryStore&, FormatModel&) {}, &addTax,
         "関数名=AddTax;機能=;引数=price -|rate  -|a()   -[price:,rate:,a():];戻り値=;"},
        {"no ruler", [](MemoryStore&, FormatModel& m) { m.RulerOn = 0; }, &addTax,
         "関数名=AddTax;機能=;引数=price -|rate  -|a()   -[price:,rate:,a():];戻り値=;"},
        {"indent 0 and a ruler of full-width signs",
         [](MemoryStore&, FormatModel& m) {
             m.Indent = u"0";
             m.RulerSymbol = u"＝";
         },
         &addTax, "関数名=AddTax;機能=;引数=price -|rate  -|a()   -[price:,rate:,a():];戻り値=;"},
        {"indent 8", [](MemoryStore&, FormatModel& m) { m.Indent = u"8"; }, &addTax,
         "関数名=AddTax;機能=;引数=price -|rate  -|a()   -[price:,rate:,a():];戻り値=;"},
        {"numbered arguments",
         [](MemoryStore&, FormatModel& m) { m.ItemAttributes[static_cast<std::size_t>(RowNamed(m, u"引数"))].Attr1 = 1; }, &addTax,
         "関数名=AddTax;機能=;引数=ARG1 -|ARG2 -|ARG3 -[ARG1:,ARG2:,ARG3:];戻り値=;"},
        {"a Sub with なし",
         [](MemoryStore&, FormatModel& m) {
             m.ItemAttributes[static_cast<std::size_t>(RowNamed(m, u"引数"))].Attr2 = 1;
             m.ItemAttributes[static_cast<std::size_t>(RowNamed(m, u"戻り値"))].Attr1 = 1;
         },
         &show, "関数名=Show;機能=;引数=なし[];戻り値=なし;"},
        {"a property", [](MemoryStore&, FormatModel&) {}, &value, "関数名=Value [ﾌﾟﾛﾊﾟﾃｨ Let];機能=;引数=v -[v:];戻り値=なし;"},
        {"every kind of item",
         [](MemoryStore& s, FormatModel& m) {
             s.Put(u"FixedFormList", u"0,4,5");
             s.Put(u"CustomFormList", u"[確認者,5][再掲,0][日付２,4][謎,7]");
             s.Put(u"SelectDatas", u"[0,1,0,0,0,][1,1,1,1,0,][2,0,0,0,0,山田][3,0,0,0,0,鈴木][4,0,0,0,0,][5,0,2,0,1,][6,0,0,0,0,]");
             m = LoadFormatModel(s.store);
         },
         &addTax, "関数名=AddTax();作成日='99.12.01;作成者=山田;確認者=鈴木;再掲=AddTax;日付２=1999/12/01  09:05:07;"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MemoryStore store;
        FormatModel model = LoadFormatModel(store.store);
        c.change(store, model);
        const auto lines = StampLineTexts(ComposeFunctionStampLines(*c.info, StampContext{model, kNow, Cp932()}));
        std::vector<std::u16string> argumentItems = ItemNamesOfKind(model, kind::kArguments);
        EXPECT_EQ(Shown(Read(lines, argumentItems)), c.expected);
    }
}

TEST(StampLayout, StampsOfOtherFormatsOldOnesAndHandEditedOnes) {
    struct Case {
        const char* what;
        std::vector<std::u16string> lines;
        std::string expected;
    };
    const Case cases[] = {
        {"filled in, with descriptions of the arguments",
         Lines({"'-----", "' @(f)", "'", "' 関数名　: AddTax", "'", "' 機能　　: 消費税を加えた金額を返す", "'",
                "' 引数　　: price - 税抜きの金額", "' 　　　　  rate  - 税率", "'", "' 戻り値　: 税込みの金額", "'-----"}),
         "関数名=AddTax;機能=消費税を加えた金額を返す;引数=price - 税抜きの金額|rate  - "
         "税率[price:税抜きの金額,rate:税率];戻り値=税込みの金額;"},
        {"a value that goes on over lines, deeper or directly under it",
         Lines({"' @(f)", "' 機能説明 : 一行目", "'            二行目", "' 三行目", "'", "' 備考 : x"}),
         "機能説明=一行目|二行目|三行目;備考=x;"},
        {"an argument's description that goes on",
         Lines({"' @(f)", "' 引数 : a -  一つ目", "'               続き", "'        b -  二つ目"}),
         "引数=a -  一つ目|続き|b -  二つ目[a:一つ目\n続き,b:二つ目];"},
        {"English item names and numbered arguments under an unknown name",
         Lines({"'====", "' @(f)", "' Name    : Total", "' Args    : ARG1 - first", "'           ARG2 - second", "'===="}),
         "Name=Total;Args=ARG1 - first|ARG2 - second[ARG1:first,ARG2:second];"},
        {"argument lines under an unknown name, two of them", Lines({"' @(f)", "' Params : x - the x", "'          y - the y"}),
         "Params=x - the x|y - the y[x:the x,y:the y];"},
        {"one line with a dash under an unknown name is a value", Lines({"' @(f)", "' 機能 : A - B"}), "機能=A - B;"},
        {"no padding, tabs, Rem, a full-width colon and an item ending in its colon",
         Lines({"Rem @(f)", "'\t関数名: Foo", "Rem 機能：全角のコロン", "    ' 戻り値:"}), "関数名=Foo;機能=全角のコロン;戻り値=;"},
        {"a colon right after a one-word name, as some teams write it; a time is no name",
         Lines({"' @(f)", "' 機能      :追加ボタン", "'", "' 更新 2024-05-02 09:30", "' 返り値    :"}),
         "機能=追加ボタン;返り値=;#4 更新 2024-05-02 09:30;"},
        {"continuation lines lined up with a colon of their own",
         Lines({"' @(f)", "' 引き数    : ARG1 - スラブ番号", "'           : ARG2 - 状態"}),
         "引き数=ARG1 - スラブ番号|ARG2 - 状態[ARG1:スラブ番号,ARG2:状態];"},
        {"lines a person added between the items stay as text",
         Lines({"' @(f)", "' 関数名 : Foo", "'", "' 注意 これは古い手続き", "'", "' 機能 : 何かする"}),
         "関数名=Foo;機能=何かする;#4 注意 これは古い手続き;"},
        {"the text after the mark", Lines({"' @(f) 古い形式の説明", "' 機能 : x"}), "機能=x;#1 古い形式の説明;"},
        {"damaged: no name before the colon, a lone dash line, odd rulers",
         Lines({"' @(f)", "' : 名前のない値", "' -", "'＊＊＊＊＊", "'-=-=-=-=", "' 機能 : ok"}), "機能=ok;#2 : 名前のない値;#3 -;"},
        {"damaged: a sentence with a colon is no item name", Lines({"' @(f)", "' This is a long sentence with a colon: it is not a name"}),
         "#2 This is a long sentence with a colon: it is not a name;"},
        {"code lines inside the range are not read", Lines({"' 機能 : x", "Dim a As Long", "'   y"}), "機能=x;#3 y;"},
        {"empty", {}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Shown(Read(c.lines)), c.expected);
    }
}

TEST(StampLayout, ModuleHeaders) {
    struct Case {
        const char* what;
        std::vector<std::u16string> lines;
        bool found;
        std::string file, version, date, author, body;
    };
    MemoryStore store;
    const FormatModel model = LoadFormatModel(store.store);
    std::vector<std::u16string> composed =
        ide::TextCodeModule::SplitText(ComposeModuleHeader(u"C:\\p\\税計算.bas", StampContext{model, kNow, Cp932()}));
    composed.push_back(u"Option Explicit");
    const Case cases[] = {
        {"as the composer makes it", composed, true, "税計算.bas", "1.0", "'99.12.01", "USERNAME", ""},
        {"with a summary and an item",
         Lines({"' @(h) Tax.bas  ver 2.1 ( '05.01.02 山田 太郎 )", "'", "' @(s)", "' 消費税の計算", "' 更新 : 2005-01-02",
                "Option Explicit"}),
         true, "Tax.bas", "2.1", "'05.01.02", "山田 太郎", "更新=2005-01-02;#4 消費税の計算;"},
        {"a mark line of another form", Lines({"'@(h) 請求書モジュール", "Option Explicit"}), true, "請求書モジュール", "", "", "", ""},
        {"blank lines between the mark lines",
         Lines({"' @(h) frmA.Frm   ver 1.00 ( '2008/05 SystEx 菊池 )", "", "' @(s)", "' 置場マスタのフォーム", "", "Option Explicit"}),
         true, "frmA.Frm", "1.00", "'2008/05", "SystEx 菊池", "#4 置場マスタのフォーム;"},
        {"a stamp right after the header is not part of it",
         Lines({"' @(h) a.bas ver 1.0 ( '99.12.01 USERNAME )", "' @(s)", "' 概要", "", "' @(f)", "' 機能 : x", "Sub A()"}), true, "a.bas",
         "1.0", "'99.12.01", "USERNAME", "#3 概要;"},
        {"no header", Lines({"Option Explicit", "' @(h) x.bas"}), false, "", "", "", "", ""},
        {"a comment block without the mark", Lines({"' just a note", "Option Explicit"}), false, "", "", "", "", ""},
        {"damaged parentheses", Lines({"' @(h) a.bas ver 1.0 ( '99.12.01"}), true, "a.bas", "1.0", "'99.12.01", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ModuleHeaderRead h = ReadModuleHeader(c.lines);
        EXPECT_EQ(h.found, c.found);
        EXPECT_EQ(Utf16ToUtf8(h.file), c.file);
        EXPECT_EQ(Utf16ToUtf8(h.version), c.version);
        EXPECT_EQ(Utf16ToUtf8(h.date), c.date);
        EXPECT_EQ(Utf16ToUtf8(h.author), c.author);
        EXPECT_EQ(Shown(h.body), c.body);
    }
}

TEST(StampLayout, EditRecordsOfEverySetting) {
    struct Case {
        const char16_t* settings;
        const char* editor;
        const char* date;
    };
    const Case cases[] = {
        {u"1,1,1,1,1,名前", "名前", "'99.12.01 09:05:07"}, {u"0,1,1,1,1,担当", "担当", ""},
        {u"1,0,3,0,0,名前", "名前", "1999-12-01"},         {u"1,-1,1,1,0,名前", "名前", "99.12.01"},
        {u"1,1,0,2,1,ﾔﾏﾀﾞ", "ﾔﾏﾀﾞ", "'H111201 09:05:07"},  {u"1,1,1,1,1,", "", "'99.12.01 09:05:07"},
        {u"1,0,2,3,0,yamada2", "yamada2", "H.11/12/01"},   {u"0,0,0,0,0,yamada2", "yamada2", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Utf16ToUtf8(c.settings));
        FormatModel model;
        ParseEditStamp(c.settings, model);
        const StampContext context{model, kNow, Cp932()};
        const std::vector<std::u16string> lines = {u"Sub A()", u"    " + BuildEditMarker(0, context), u"    x = 1",
                                                   u"    " + BuildEditMarker(1, context), u"End Sub"};
        const auto records = ReadEditRecords(lines);
        ASSERT_EQ(records.size(), 1U);
        EXPECT_EQ(Utf16ToUtf8(records[0].editor), c.editor);
        EXPECT_EQ(Utf16ToUtf8(records[0].date), c.date);
        EXPECT_EQ(records[0].openLine, 2);
        EXPECT_EQ(records[0].closeLine, 4);
    }
}

TEST(StampLayout, EditRecordsNestedUnclosedAndAmongRulers) {
    const auto lines = Lines({
        "'------<山田 '99.12.01>------",  // 1: width 29
        "'------<佐藤>------",            // 2: width 19
        "x = 1",
        "'------------------",                                                              // 4: closes 2
        "'------------------------------------------------------------------------------",  // 5: a ruler closes nothing
        "'----------------------------",                                                    // 6: closes 1
        "'------<鈴木 '99.12.02>------",                                                    // 7: never closed
        "'------< broken",                                                                  // 8: no marker
    });
    const auto records = ReadEditRecords(lines);
    ASSERT_EQ(records.size(), 3U);
    EXPECT_EQ(records[0].openLine, 1);
    EXPECT_EQ(records[0].closeLine, 6);
    EXPECT_EQ(records[1].openLine, 2);
    EXPECT_EQ(records[1].closeLine, 4);
    EXPECT_EQ(Utf16ToUtf8(records[2].editor), "鈴木");
    EXPECT_EQ(records[2].closeLine, 0);
}

}  // namespace
}  // namespace qm::test
