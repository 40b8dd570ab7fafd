#include "addin/wizard/format_draft.h"

#include <gtest/gtest.h>

#include "tests/test_support.h"

namespace qm::test {
namespace {

FormatModel Stored(const std::u16string& fixed, const std::u16string& custom, const std::u16string& select) {
    FormatModel m;
    m.ChosenFixedItems = ParseFixedFormList(fixed);
    m.CustomItems = ParseCustomFormList(custom);
    BuildItemList(m);
    ParseSelectDatas(select, m);
    ComputeItemPadding(m);
    return m;
}

FormatDraft::ItemId CustomId(const FormatDraft& draft, std::size_t i) { return draft.CustomItems().at(i).id; }

TEST(FormatDraft, ComposesTheFormatItWasLoadedFrom) {
    const FormatModel m = Stored(u"0,2,5", u"[確認者,5][変更履歴,-1]", u"[4,0,0,0,0,企画部, 第二課][0,1,0,0,0,][2,0,1,0,0,]");
    const FormatModel back = FormatDraft(m).Compose();
    EXPECT_EQ(ComposeFixedFormList(back.ChosenFixedItems), u"0,2,5");
    EXPECT_EQ(ComposeCustomFormList(back.CustomItems), u"[確認者,5][変更履歴,-1]");
    EXPECT_EQ(ComposeSelectDatas(back), u"[4,0,0,0,0,企画部, 第二課][0,1,0,0,0,][2,0,1,0,0,]");
    EXPECT_EQ(back.PadAll, m.PadAll);
}

TEST(FormatDraft, RefusesTheThirtySecondItem) {
    std::u16string custom;
    for (int i = 0; i < 27; ++i) custom += u"[項目,-1]";
    FormatDraft draft(Stored(u"0,1,2,3", custom, u""));
    ASSERT_EQ(draft.ItemCount(), 31U);
    EXPECT_FALSE(draft.AddCustom(u"余分", -1));
    EXPECT_FALSE(draft.Choose(4));
    EXPECT_FALSE(draft.ChooseAll());
    EXPECT_EQ(draft.ItemCount(), 31U);
    EXPECT_FALSE(draft.IsChosen(4));
    // One place made free takes one item again.
    draft.Unchoose(3);
    EXPECT_TRUE(draft.Choose(7));
    EXPECT_FALSE(draft.AddCustom(u"余分", -1));
    EXPECT_EQ(draft.Rows().size(), kMaxItemRows);
}

TEST(FormatDraft, KeepsAnItemsRecordAndPlaceAcrossARename) {
    FormatDraft draft(Stored(u"0", u"[確認者,5]", u"[1,0,0,0,0,山田][0,0,0,0,0,]"));
    draft.EditCustom(CustomId(draft, 0), u"承認者", 5);
    const FormatModel m = draft.Compose();
    EXPECT_EQ(m.ItemList[1].name, u"承認者");
    EXPECT_EQ(ComposeSelectDatas(m), u"[1,0,0,0,0,山田][0,0,0,0,0,]");
}

TEST(FormatDraft, AChangedKindStartsFromItsDefaults) {
    FormatDraft draft(Stored(u"", u"[日付,4][確認者,5]", u"[0,0,2,3,1,][1,0,0,0,0,山田]"));
    draft.EditCustom(CustomId(draft, 0), u"日付", 3);
    draft.EditCustom(CustomId(draft, 1), u"確認者", 5);
    EXPECT_EQ(ComposeSelectDatas(draft.Compose()), u"[0,1,0,0,0,][1,0,0,0,0,山田]");
    // Back to its first kind: the record made for that kind counts again.
    draft.EditCustom(CustomId(draft, 0), u"日付", 4);
    EXPECT_EQ(ComposeSelectDatas(draft.Compose()), u"[0,0,2,3,1,][1,0,0,0,0,山田]");
    // A kind out of the 16-bit range is held as stored, and its row reads the nearest kind.
    draft.EditCustom(CustomId(draft, 0), u"日付", 65538);
    EXPECT_EQ(ComposeCustomFormList(draft.Compose().CustomItems), u"[日付,65538][確認者,5]");
    EXPECT_EQ(draft.Kind(CustomId(draft, 0)), INT16_MAX);
}

TEST(FormatDraft, RemovingAnItemTakesItOutOfTheOrderAndMovesTheRowsUp) {
    FormatDraft draft(Stored(u"0,1", u"[確認者,5][変更履歴,-1]", u"[3,0,0,0,0,][2,0,0,0,0,山田][0,1,0,0,0,]"));
    draft.RemoveCustom(CustomId(draft, 0));
    const FormatModel m = draft.Compose();
    ASSERT_EQ(m.ItemList.size(), 3U);
    EXPECT_EQ(ComposeSelectDatas(m), u"[2,0,0,0,0,][0,1,0,0,0,]");
    // A fixed item taken away and chosen again before the order is made anew keeps its place.
    draft.Unchoose(0);
    EXPECT_EQ(ComposeSelectDatas(draft.Compose()), u"[1,0,0,0,0,]");
    EXPECT_TRUE(draft.Choose(0));
    EXPECT_EQ(ComposeSelectDatas(draft.Compose()), u"[2,0,0,0,0,][0,1,0,0,0,]");
}

TEST(FormatDraft, TheOrderIsMadeAnewFromTheRows) {
    FormatDraft draft(Stored(u"0,1,2", u"", u"[2,0,1,0,0,][0,0,0,0,0,]"));
    draft.ResetOrder();
    EXPECT_TRUE(draft.Placed().empty());
    ASSERT_EQ(draft.Unplaced(), (std::vector<FormatDraft::ItemId>{0, 1, 2}));
    draft.Place(2);
    draft.Place(0);
    EXPECT_EQ(draft.Unplaced(), (std::vector<FormatDraft::ItemId>{1}));
    draft.Unplace(2);  // back in row order
    EXPECT_EQ(draft.Unplaced(), (std::vector<FormatDraft::ItemId>{1, 2}));
    EXPECT_EQ(draft.Placed(), (std::vector<FormatDraft::ItemId>{0}));
    // Records made anew hold their kinds' defaults.
    draft.ResetRecords();
    EXPECT_EQ(ComposeSelectDatas(draft.Compose()), u"[0,0,0,0,0,]");
}

TEST(FormatDraft, BackThenFinishKeepsTheOrderOfTheItemsStillThere) {
    // The order was decided, then the user went back, changed the items and finished at once.
    FormatDraft draft(Stored(u"0,2", u"[確認者,5]", u""));
    draft.ResetOrder();
    for (const FormatDraft::ItemId id : draft.Rows()) draft.Place(id);
    ItemAttribute author = draft.Record(CustomId(draft, 0));
    author.AttrText = u"山田";
    draft.SetRecord(CustomId(draft, 0), author);
    draft.Unchoose(0);
    ASSERT_TRUE(draft.AddCustom(u"備考欄", -1));
    const FormatModel m = draft.Compose();
    EXPECT_EQ(ComposeFixedFormList(m.ChosenFixedItems), u"2");
    EXPECT_EQ(ComposeCustomFormList(m.CustomItems), u"[確認者,5][備考欄,-1]");
    // The new item is not placed; the others moved up a row and kept their records.
    EXPECT_EQ(ComposeSelectDatas(m), u"[0,0,1,0,0,][1,0,0,0,0,山田]");
}

}  // namespace
}  // namespace qm::test
