#include "addin/settings/settings_store.h"

#include <gtest/gtest.h>

#include "tests/test_support.h"

namespace qm::test {
namespace {

std::vector<std::u16string> Names(SettingsStore& store) {
    std::vector<std::u16string> names;
    for (const auto& s : store.ListSettings()) names.push_back(s.name);
    return names;
}

TEST(SettingsStore, AStringReadOnAMissingKeyLaysDownTheInitialSet) {
    MemoryStore m;
    EXPECT_EQ(m.store.ReadSettingString(u"EditStamp", u"1,1,1,1,1,名前"), u"1,1,1,1,1,名前");
    const std::vector<std::u16string> expected = {u"CommandLineSafe", u"CustomFormList", u"Description",    u"ExtendValue",
                                                  u"FixedFormList",   u"FriendlyName",   u"LoadBehavior",   u"SelectDatas",
                                                  u"SetSelectList",   u"StartVisible",   u"ToolBarPosition"};
    EXPECT_EQ(Names(m.store), expected);  // "EditStamp" itself is not part of the set
    EXPECT_EQ(m.store.ReadSettingNumber(u"LoadBehavior", 0), 2);
    EXPECT_EQ(m.store.ReadSettingNumber(u"ToolBarPosition", 0), 1);
    EXPECT_EQ(m.store.ReadSettingString(u"FriendlyName", u""), u"Wek Quillmark for VB6 Ver1.0");
    EXPECT_EQ(m.store.ReadSettingString(u"Description", u""),
              u"Lexivaneなどに使用する関数説明のｽﾀﾝﾌﾟやｺｰﾄﾞの追加・変更を記録するためのｽﾀﾝﾌﾟをｺｰﾄﾞｳｲﾝﾄﾞｳに張り付けます。");
    EXPECT_EQ(m.registry.OpenHandles(), 0u);
}

TEST(SettingsStore, ANumberReadOnAMissingKeyStoresOnlyItself) {
    MemoryStore m;
    EXPECT_EQ(m.store.ReadSettingNumber(u"ToolBarPosition", 1), 1);
    EXPECT_EQ(Names(m.store), std::vector<std::u16string>{u"ToolBarPosition"});
}

TEST(SettingsStore, WritingWithoutTheKeyChangesNothing) {
    MemoryStore m;
    m.store.WriteSettingString(u"EditStamp", u"x");
    m.store.WriteSettingNumber(u"ToolBarPosition", 0);
    EXPECT_FALSE(m.store.KeyExists());
}

TEST(SettingsStore, TextIsStoredInTheCodePageWithoutNul) {
    MemoryStore m;
    m.store.ReadSettingNumber(u"StartVisible", 0);  // creates the key
    m.store.WriteSettingString(u"EditStamp", u"1,1,1,1,1,名前");
    m.store.WriteSettingString(u"CustomFormList", u"");
    const auto stamp = m.store.PeekSetting(u"EditStamp");
    ASSERT_TRUE(stamp);
    EXPECT_EQ(stamp->type, regtype::Sz);
    EXPECT_EQ(stamp->data, "1,1,1,1,1," + Cp932().ToAnsi(u"名前"));
    EXPECT_EQ(stamp->data.size(), 14u);  // larger than the 12 characters
    EXPECT_EQ(m.store.PeekSetting(u"CustomFormList")->data.size(), 0u);
    EXPECT_EQ(m.store.ReadSettingString(u"CustomFormList", u"default"), u"");
    EXPECT_EQ(m.store.ReadSettingString(u"EditStamp", u"default"), u"1,1,1,1,1,名前");
}

TEST(SettingsStore, ATextStoredWithNulReadsBackWithoutIt) {
    MemoryStore m;
    m.Put(u"ExtendValue", std::u16string(u"2,0,40,=-") + u'\0');
    EXPECT_EQ(m.store.ReadSettingString(u"ExtendValue", u"1,1,78,-"), u"2,0,40,=-");
}

TEST(SettingsStore, AMissingValueIsWrittenWithTheDefaultOnFirstRead) {
    MemoryStore m;
    m.Put(u"FixedFormList", u"0,1");
    EXPECT_EQ(m.store.ReadSettingString(u"SelectDatas", u"[0,0,0,0,0,]"), u"[0,0,0,0,0,]");
    EXPECT_EQ(m.store.PeekSetting(u"SelectDatas")->data, "[0,0,0,0,0,]");
    EXPECT_EQ(m.store.ReadSettingNumber(u"StartVisible", 0), 0);
    EXPECT_EQ(m.store.ReadSettingNumber(u"StartVisible", 1), 0);  // found the second time
}

TEST(SettingsStore, ALongTextIsReadWholeAndKept) {
    MemoryStore m;
    std::u16string longText;
    for (int i = 0; i < 60; ++i) longText += u"[" + DecimalText(i % 31) + u",0,0,0,0,企画部 第二課]";
    ASSERT_GT(Cp932().ByteLength(longText), 1024u);
    m.Put(u"SelectDatas", longText);
    EXPECT_EQ(m.store.ReadSettingString(u"SelectDatas", u"default"), longText);
    EXPECT_EQ(m.store.ReadSettingString(u"SelectDatas", u"default"), longText);
}

TEST(SettingsStore, ANumberStoredAsSomethingElseIsLeftAlone) {
    MemoryStore m;
    m.Put(u"ToolBarPosition", u"a long text that is not a number");
    EXPECT_EQ(m.store.ReadSettingNumber(u"ToolBarPosition", 1), 1);
    EXPECT_EQ(m.store.PeekSetting(u"ToolBarPosition")->type, regtype::Sz);
    m.store.WriteSettingNumber(u"LoadBehavior", -3);
    EXPECT_EQ(m.store.ReadSettingNumber(u"LoadBehavior", 0), -3);
}

// The system's enumeration fails for a value whose name or data does not fit its buffers.
class OneValueUnreadable : public MemoryRegistry {
public:
    RegStatus EnumValue(RegKey key, std::uint32_t index, std::u16string* name, std::uint32_t* type, std::string* data) override {
        if (index == 1) return RegStatus::MoreData;
        return MemoryRegistry::EnumValue(key, index, name, type, data);
    }
};

TEST(SettingsStore, AValueThatCannotBeListedHidesNoneAfterIt) {
    OneValueUnreadable registry;
    SettingsStore store(registry, Cp932());
    store.ReadSettingString(u"EditStamp", u"");  // the initial set, 11 values
    std::size_t unreadable = 0;
    const auto listed = store.ListSettings(&unreadable);
    EXPECT_EQ(unreadable, 1u);
    ASSERT_EQ(listed.size(), 10u);
    EXPECT_EQ(listed[0].name, u"CommandLineSafe");
    EXPECT_EQ(listed[1].name, u"Description");
    EXPECT_EQ(listed.back().name, u"ToolBarPosition");
    EXPECT_TRUE(store.PeekSetting(u"ToolBarPosition"));
}

TEST(SettingsStore, ALockedRegistryYieldsDefaultsAndNoFailure) {
    MemoryStore m;
    m.registry.SetDenyAccess(true);
    EXPECT_EQ(m.store.ReadSettingString(u"EditStamp", u"1,1,1,1,1,名前"), u"1,1,1,1,1,名前");
    EXPECT_EQ(m.store.ReadSettingNumber(u"ToolBarPosition", 1), 1);
    m.store.WriteSettingString(u"EditStamp", u"x");
    m.registry.SetDenyAccess(false);
    EXPECT_FALSE(m.store.KeyExists());
}

}  // namespace
}  // namespace qm::test
