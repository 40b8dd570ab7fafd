#include "addin/settings/format_model.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "addin/settings/number_text.h"
#include "tests/test_support.h"

namespace qm::test {
namespace {

TEST(LeadingNumber, ReadsTheNumberAtTheStart) {
    struct Case {
        const char16_t* text;
        std::int16_t value;
    };
    const Case cases[] = {
        {u"12abc", 12}, {u"", 0},    {u"abc", 0},       {u"-1", -1},         {u" 7 8 ", 78}, {u"- 5", -5},  {u"+4", 4},
        {u"2.5", 2},    {u"3.5", 4}, {u"-2.5", -2},     {u"0.5", 0},         {u"1.49", 1},   {u"78,-", 78}, {u"1.2.3", 1},
        {u"--5", 0},    {u".5x", 0}, {u"99999", 32767}, {u"-99999", -32768}, {u"1e3", 1},    {u"１２", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(ReadInt16(c.text), c.value) << Utf16ToUtf8(c.text);
    EXPECT_EQ(ReadInt32(u"99999"), 99999);
    EXPECT_EQ(ReadInt32(u"99999999999"), INT32_MAX);
}

// Numbers written with any number of digits read exactly: a long run of zeros neither underflows nor
// overflows into a huge count.
TEST(LeadingNumber, ReadsNumbersOfAnyLengthExactly) {
    const auto many = [](char16_t c, std::size_t n) { return std::u16string(n, c); };
    struct Case {
        std::u16string text;
        std::int16_t value;
    };
    const Case cases[] = {
        {u"0." + many(u'0', 10000) + u"1", 0},
        {u"-0." + many(u'0', 10000) + u"1", 0},
        {u"1" + many(u'0', 10000), 32767},
        {u"-1" + many(u'0', 10000), -32768},
        {many(u'0', 10000) + u"3.5", 4},
        {u"2.5" + many(u'0', 10000), 2},
        {u"2.5" + many(u'0', 10000) + u"1", 3},
        {u"-0.5" + many(u'0', 5000) + u"1", -1},
        {u"0." + many(u'9', 10000), 1},
        {u"0.4" + many(u'9', 10000), 0},
        {u"32767.5", 32767},
        {u"-32768.5", -32768},
        {u"32766.5", 32766},
        {many(u' ', 10000) + u"7", 7},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ReadInt16(c.text), c.value) << Utf16ToUtf8(c.text.substr(0, 12)) << "... (" << c.text.size() << ")";
}

// Against a reference: the number as the C library reads it, rounded half to even, for every short
// number a generator makes (short enough for a long double to hold each exactly enough).
TEST(LeadingNumber, AgreesWithAReferenceOnShortNumbers) {
    std::uint32_t seed = 12345;
    const auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) & 0x7FFF;
    };
    const char alphabet[] = "0123456789.-+ x";
    for (int round = 0; round < 20000; ++round) {
        std::string text;
        const int length = static_cast<int>(next() % 12);
        for (int i = 0; i < length; ++i) text.push_back(alphabet[next() % (sizeof alphabet - 1)]);
        // The reference: blanks dropped, the leading number cut out, read by strtold.
        std::string compact;
        for (char c : text) {
            if (c != ' ') compact.push_back(c);
        }
        std::size_t end = 0;
        if (end < compact.size() && (compact[end] == '-' || compact[end] == '+')) ++end;
        bool point = false;
        bool digit = false;
        while (end < compact.size() && ((compact[end] >= '0' && compact[end] <= '9') || (compact[end] == '.' && !point))) {
            if (compact[end] == '.')
                point = true;
            else
                digit = true;
            ++end;
        }
        long double reference = 0;
        if (digit) reference = std::nearbyintl(std::strtold(compact.substr(0, end).c_str(), nullptr));
        if (reference > 32767) reference = 32767;
        if (reference < -32768) reference = -32768;
        EXPECT_EQ(ReadInt16(Utf8ToUtf16(text)), static_cast<std::int16_t>(reference)) << "\"" << text << "\"";
    }
}

TEST(FixedFormList, ParsesByDigitAndComposesAscending) {
    EXPECT_EQ(ParseFixedFormList(u"3,0"), (std::vector<int>{0, 3}));
    EXPECT_EQ(ParseFixedFormList(u"7531"), (std::vector<int>{1, 3, 5, 7}));
    EXPECT_EQ(ParseFixedFormList(u""), std::vector<int>{});
    EXPECT_EQ(ParseFixedFormList(u"x9,8"), std::vector<int>{});
    EXPECT_EQ(ComposeFixedFormList({0, 2, 5}), u"0,2,5");
    EXPECT_EQ(ComposeFixedFormList({}), u"");
}

TEST(CustomFormList, ParsesGroupsAndComposesThemBack) {
    const auto items = ParseCustomFormList(u"[確認者,5][変更履歴,-1]");
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0], (CustomItem{u"確認者", 5}));
    EXPECT_EQ(items[1], (CustomItem{u"変更履歴", -1}));
    EXPECT_EQ(ComposeCustomFormList(items), u"[確認者,5][変更履歴,-1]");
    EXPECT_TRUE(ParseCustomFormList(u"").empty());
    // Broken text loads what can be placed.
    EXPECT_EQ(ParseCustomFormList(u"[名前,4"), (std::vector<CustomItem>{{u"名前", 4}}));
    EXPECT_EQ(ParseCustomFormList(u"[名前]"), std::vector<CustomItem>{});
    EXPECT_EQ(ParseCustomFormList(u"[甲,x]"), (std::vector<CustomItem>{{u"甲", 0}}));
}

// Values outside the grammar are read in one pass: a "[" inside a name starts the item itself, so no
// name is read twice, and a value of nested brackets stays as small as it is.
TEST(CustomFormList, BracketsOutsideTheGrammarAreReadOnce) {
    struct Case {
        std::u16string value;
        std::vector<CustomItem> items;
    };
    const Case cases[] = {
        {u"[a[b,1]", {{u"b", 1}}},
        {std::u16string(100000, u'[') + u"a,5]", {{u"a", 5}}},
        {u"[a,1[b,2]", {{u"a", 1}, {u"b", 2}}},
        {u"[a,1]x[b,2", {{u"a", 1}, {u"b", 2}}},
        {u"[,3][,]", {{u"", 3}, {u"", 0}}},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseCustomFormList(c.value), c.items) << Utf16ToUtf8(c.value.substr(0, 20));
}

FormatModel Loaded(MemoryStore& m) { return LoadFormatModel(m.store); }

TEST(FormatModel, TheDefaultsLoadAsTheNewInstallationStamp) {
    MemoryStore m;
    const FormatModel model = Loaded(m);
    ASSERT_EQ(model.ItemList.size(), 4u);
    EXPECT_EQ(model.ItemList[0].name, u"関数名");
    EXPECT_EQ(model.ItemList[2].kind, 2);
    EXPECT_EQ(model.ItemList[1].kind, -1);
    EXPECT_EQ(model.DisplayOrder, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(model.ItemAttributes[2].Attr2, 1);
    EXPECT_EQ(model.ItemAttributes[3].Attr1, 1);
    EXPECT_EQ(model.ItemAttributes[0].PadText, u"\u3000");
    EXPECT_EQ(model.ItemAttributes[1].PadText, u"\u3000\u3000");
    EXPECT_EQ(model.ItemAttributes[1].NameLength, 2);
    EXPECT_EQ(model.PadAll, u"\u3000\u3000\u3000\u3000");
    EXPECT_EQ(model.Indent, u"1");
    EXPECT_EQ(model.RulerSymbol, u"-");
    EXPECT_EQ(model.EditorName, u"名前");

    // Composing what the defaults parse into gives the defaults back.
    EXPECT_EQ(ComposeFixedFormList(model.ChosenFixedItems), u"0,1,2,3");
    EXPECT_EQ(ComposeCustomFormList(model.CustomItems), u"");
    EXPECT_EQ(ComposeSelectDatas(model), u"[0,0,0,0,0,][1,0,0,0,0,][2,0,1,0,0,][3,1,0,0,0,]");
    EXPECT_EQ(ComposeExtendValue(model), u"1,1,78,-");
    EXPECT_EQ(ComposeEditStamp(model), u"1,1,1,1,1,名前");
}

TEST(FormatModel, StoredGroupsOverwriteTheRecordsTheyName) {
    MemoryStore m;
    m.Put(u"FixedFormList", u"0,1,2,3");
    m.Put(u"CustomFormList", u"[確認者,5][変更履歴,-1][作成日時,4]");
    m.Put(u"SelectDatas", u"[1,0,0,0,0,][0,1,0,0,0,][4,0,0,0,0,企画部, 第二課]");
    const FormatModel model = Loaded(m);
    ASSERT_EQ(model.ItemList.size(), 7u);
    EXPECT_EQ(model.ItemList[4].name, u"確認者");
    EXPECT_EQ(model.ItemList[4].kind, 5);
    EXPECT_EQ(model.ItemList[5].kind, -1);
    EXPECT_EQ(model.DisplayOrder, (std::vector<int>{1, 0, 4}));
    EXPECT_EQ(model.ItemAttributes[0].Attr1, 1);
    EXPECT_EQ(model.ItemAttributes[4].AttrText, u"企画部, 第二課");
    // A date row without a group keeps its kind's defaults.
    EXPECT_EQ(model.ItemAttributes[6].Attr1, 1);
    EXPECT_EQ(model.ItemAttributes[6].Attr2, 1);
    EXPECT_EQ(model.ItemAttributes[6].Attr3, 1);
    EXPECT_EQ(model.ItemAttributes[6].Attr4, 0);
    EXPECT_EQ(model.ItemAttributes[5].PadText, u"\u3000");  // 変更履歴 is the widest
    EXPECT_EQ(model.PadAll.size(), 5u);
}

TEST(FormatModel, AnEmptyFixedListLeavesTheCustomItemsAlone) {
    MemoryStore m;
    m.Put(u"FixedFormList", u"");
    m.Put(u"CustomFormList", u"[確認者,5]");
    m.Put(u"SelectDatas", u"");
    const FormatModel model = Loaded(m);
    ASSERT_EQ(model.ItemList.size(), 1u);
    EXPECT_EQ(model.ItemList[0].name, u"確認者");
    EXPECT_TRUE(model.DisplayOrder.empty());
}

TEST(FormatModel, ExtendAndEditValuesKeepTheirLastTextWhole) {
    FormatModel model;
    ParseExtendValue(u"2,0,40,=-", model);
    EXPECT_EQ(model.Indent, u"2");
    EXPECT_EQ(model.RulerOn, 0);
    EXPECT_EQ(model.RulerCount, u"40");
    EXPECT_EQ(model.RulerSymbol, u"=-");
    ParseExtendValue(u"1,1,78,a,b", model);
    EXPECT_EQ(model.RulerSymbol, u"a,b");
    model.Indent = u" 3 ";
    EXPECT_EQ(ComposeExtendValue(model), u"3,1,78,a,b");

    ParseEditStamp(u"0,0,0,0,1,担当, 第二", model);
    EXPECT_EQ(model.ShowDate, 0);
    EXPECT_EQ(model.ShowTime, 1);
    EXPECT_EQ(model.EditorName, u"担当, 第二");
    EXPECT_EQ(ComposeEditStamp(model), u"0,0,0,0,1,担当, 第二");
}

TEST(FormatModel, ValuesOutsideTheGrammarLoadWithoutFailing) {
    struct Case {
        const char16_t* selectDatas;
        std::vector<int> order;
    };
    const Case cases[] = {
        {u"[9,0,0,0,0,][2,0,1,0,0,]", {2}},       // a row beyond the item list
        {u"[40,1,1,1,1,x][-1,0,0,0,0,]", {}},     // beyond the table, negative
        {u"[1,0,0,0,0,][1,1,1,1,1,again]", {1}},  // the same row twice: the first stays
        {u"[0,1][3,1,0,0,0,]", {3}},              // a group that closes before its fifth comma
        {u"[2,0,1,0,0,", {2}},                    // no closing bracket
        {u"garbage", {}},
    };
    for (const Case& c : cases) {
        MemoryStore m;
        m.Put(u"SelectDatas", c.selectDatas);
        EXPECT_EQ(Loaded(m).DisplayOrder, c.order) << Utf16ToUtf8(c.selectDatas);
    }

    FormatModel model;
    ParseExtendValue(u"4", model);
    EXPECT_EQ(model.Indent, u"4");
    EXPECT_EQ(model.RulerOn, 0);
    EXPECT_EQ(model.RulerSymbol, u"");
    ParseEditStamp(u"1,1", model);
    EXPECT_EQ(model.HeadMark, 1);
    EXPECT_EQ(model.YearForm, 0);
    EXPECT_EQ(model.EditorName, u"");
}

TEST(FormatModel, MoreItemsThanRowsKeepsTheRestInTheCustomList) {
    MemoryStore m;
    m.Put(u"FixedFormList", u"01234567");
    std::u16string custom;
    for (int i = 0; i < 30; ++i) custom += u"[項目" + DecimalText(i) + u",-1]";
    m.Put(u"CustomFormList", custom);
    const FormatModel model = Loaded(m);
    EXPECT_EQ(model.ItemList.size(), 31u);
    EXPECT_EQ(model.CustomItems.size(), 30u);
    EXPECT_EQ(ComposeCustomFormList(model.CustomItems), custom);
}

TEST(FormatModel, SavingWritesOneGroupAndReloadsUnchanged) {
    MemoryStore m;
    FormatModel model = Loaded(m);
    model.ChosenFixedItems = {0, 5};
    model.CustomItems = {{u"確認者", 5}};
    BuildItemList(model);
    model.DisplayOrder = {2, 0};
    model.ItemAttributes[2].AttrText = u"山田";
    model.EditorName = u"別人";
    SaveFunctionFormat(model, m.store);
    EXPECT_EQ(m.store.ReadSettingString(u"EditStamp", u""), u"1,1,1,1,1,名前");  // the other group stays
    const FormatModel again = Loaded(m);
    EXPECT_EQ(ComposeSelectDatas(again), u"[2,0,0,0,0,山田][0,0,0,0,0,]");
    EXPECT_EQ(ComposeFixedFormList(again.ChosenFixedItems), u"0,5");
    SaveEditFormat(model, m.store);
    EXPECT_EQ(Loaded(m).EditorName, u"別人");
}

}  // namespace
}  // namespace qm::test
