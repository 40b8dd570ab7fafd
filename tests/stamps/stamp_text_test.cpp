// What a stored value, an option or a name can put into the code: never a line of its own, never a
// line wider than the wizard would make.
#include <gtest/gtest.h>

#include "addin/settings/format_rules.h"
#include "addin/stamps/edit_stamp.h"
#include "addin/stamps/function_stamp.h"
#include "tests/test_support.h"

namespace qm::test {
namespace {

constexpr LocalDateTime kNow{1999, 12, 1, 9, 5, 7};
const ProcedureInfo kAddTax{ProcedureKind::Function, u"AddTax", 2, u"Public Function AddTax(ByVal price As Long) As Long"};

TEST(StampText, WhatBreaksALine) {
    struct Case {
        std::u16string text;
        std::size_t at;
        std::u16string escaped;
    };
    const Case cases[] = {
        {u"山田", std::u16string::npos, u"山田"},
        {u"a\tb", std::u16string::npos, u"a\tb"},  // a tab stays in its line
        {u"a\r\nEnd Sub", 1, u"a\\r\\nEnd Sub"},
        {u"\n", 0, u"\\n"},
        {u"x\x1b[2J", 1, u"x\\x1b[2J"},
        {u"x\x7f", 1, u"x\\x7f"},
        {u"x\u0085y", 1, u"x\\x85y"},                 // next line, which some editors break at
        {u"x\u2028y\u2029", 1, u"x\\u2028y\\u2029"},  // the line and paragraph separators
        {std::u16string(u"a\0b", 3), 1, u"a\\x00b"},  // a NUL would end the value early
        {u"C:\\Projects\\税計算.bas", std::u16string::npos, u"C:\\Projects\\税計算.bas"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FindLineBreaker(c.text), c.at) << Utf16ToUtf8(c.escaped);
        EXPECT_EQ(Escaped(c.text), c.escaped);
        const std::u16string safe = StampLineText(c.text);
        EXPECT_EQ(FindLineBreaker(safe), std::u16string::npos) << Utf16ToUtf8(c.escaped);
        EXPECT_EQ(safe.size(), c.text.size());
        EXPECT_EQ(LineBreakerRefusal(u"--author", c.text).has_value(), c.at != std::u16string::npos);
    }
}

TEST(StampText, ALongTextIsCutWithinTheWizardsWidthAndNeverHalfAPair) {
    EXPECT_EQ(StampLineText(std::u16string(5000, u'あ')).size(), kMaxStampTextLength);
    std::u16string pairs;
    while (pairs.size() < 2000) pairs += u"\U0002000B";  // outside the basic plane: two units each
    pairs.insert(pairs.begin(), u'x');                   // so that a pair straddles the cut
    const std::u16string cut = StampLineText(pairs);
    EXPECT_EQ(cut.size(), kMaxStampTextLength - 1);
    EXPECT_TRUE(cut.back() >= 0xdc00 && cut.back() <= 0xdfff);
}

// The wizard refuses control characters where it takes text, with its own kind of message, and
// points at the field.
TEST(StampText, TheWizardsChecksRefuseThem) {
    EXPECT_EQ(CheckAuthorText(u"山田\r\n")->field, FormatField::AuthorText);
    EXPECT_EQ(CheckEditorName(u"佐藤\n")->field, FormatField::EditorName);
    EXPECT_EQ(CheckAppearance(u"1", true, u"-\r", u"78", Cp932())->field, FormatField::RulerSymbol);
    EXPECT_TRUE(CheckCustomItemName(u"確認\n者", Cp932()).has_value());
    EXPECT_FALSE(CheckAuthorText(u"山田").has_value());
    EXPECT_FALSE(CheckEditorName(u"佐藤 太郎").has_value());
    EXPECT_FALSE(CheckAppearance(u"1", true, u"-", u"78", Cp932()).has_value());
    EXPECT_EQ(CheckEditorName(u"\x1b")->message, u"改行などの制御文字は入力できません。");
}

class HostileStore : public ::testing::Test {
protected:
    FormatModel Model() { return LoadFormatModel(store_.store); }
    MemoryStore store_;
};

// Stored values that hold line breaks: the model names every one of them, and what the stamps make
// of them still has no line that did not come from the format itself.
TEST_F(HostileStore, LineBreaksInStoredValuesAreNamedAndNeverReachTheCode) {
    const std::u16string evil = u"x\r\nPrivate Declare Function Evil Lib \"evil.dll\" () As Long\r\n'";
    store_.Put(u"FixedFormList", u"0,5");
    store_.Put(u"CustomFormList", u"[確認" + evil + u",-1]");
    store_.Put(u"SelectDatas", u"[0,0,0,0,0,][1,0,0,0,0," + evil + u"][2,0,0,0,0,]");
    store_.Put(u"ExtendValue", u"1,1,3,-\r\n");
    store_.Put(u"EditStamp", u"1,1,1,1,1," + evil);
    const FormatModel model = Model();
    const auto refusals = LineBreakersInFormat(model);
    ASSERT_EQ(refusals.size(), 4u);
    EXPECT_EQ(refusals[0].rfind(u"CustomFormList", 0), 0u);
    EXPECT_EQ(refusals[1].rfind(u"SelectDatas", 0), 0u);
    EXPECT_EQ(refusals[2].rfind(u"ExtendValue", 0), 0u);
    EXPECT_EQ(refusals[3].rfind(u"EditStamp", 0), 0u);
    for (const auto& r : refusals) EXPECT_EQ(FindLineBreaker(r), std::u16string::npos) << Utf16ToUtf8(r);

    const StampContext context{model, kNow, Cp932()};
    const std::u16string stamps[] = {ComposeFunctionStamp(kAddTax, context), ComposeModuleHeader(u"C:\\a\r\nb.bas", context),
                                     BuildEditMarker(0, context), BuildEditMarker(1, context)};
    for (const std::u16string& stamp : stamps) {
        // Every line of a stamp is a comment: nothing from a value starts a line of code.
        std::size_t start = 0;
        while (start <= stamp.size()) {
            auto end = stamp.find(u"\r\n", start);
            if (end == std::u16string::npos) end = stamp.size();
            const std::u16string line = stamp.substr(start, end - start);
            EXPECT_EQ(line.rfind(u'\'', 0), 0u) << Utf16ToUtf8(line);
            EXPECT_EQ(FindLineBreaker(line), std::u16string::npos) << Utf16ToUtf8(Escaped(line));
            start = end + 2;
        }
    }
}

TEST_F(HostileStore, HugeStoredTextsMakeAStampNoWiderThanTheWizardWould) {
    const std::u16string huge(300000, u'長');
    store_.Put(u"FixedFormList", u"0,5");
    store_.Put(u"CustomFormList", u"[" + huge + u",-1]");
    store_.Put(u"SelectDatas", u"[0,0,0,0,0,][1,0,0,0,0," + huge + u"][2,0,0,0,0,]");
    store_.Put(u"EditStamp", u"1,1,1,1,1," + huge);
    const FormatModel model = Model();
    EXPECT_EQ(model.CustomItems.front().name, huge);  // what is stored stays as it is
    const StampContext context{model, kNow, Cp932()};
    const std::u16string stamp = ComposeFunctionStamp(kAddTax, context);
    EXPECT_LT(stamp.size(), 4000u);
    EXPECT_NE(stamp.find(u"' " + std::u16string(kMaxCustomNameLength, u'長') + u"\u3000: \r\n"), std::u16string::npos);
    EXPECT_LT(BuildEditMarker(0, context).size(), kMaxStampTextLength + 40);
}

// A value that another writer makes longer between the query of its size and the read is read
// again, never taken for a missing one and overwritten with the default.
class GrowingRegistry : public MemoryRegistry {
public:
    int growths = 0;
    int grown = 0;
    RegStatus QueryValue(RegKey key, const std::u16string& name, std::uint32_t* type, std::uint8_t* data, std::uint32_t* size) override {
        if (name == u"SelectDatas" && data != nullptr && growths > 0) {
            --growths;
            ++grown;
            std::string bytes(2048 + static_cast<std::size_t>(grown) * 100, 'x');
            bytes.replace(0, 11, "[0,0,0,0,0,");
            SetValue(key, name, regtype::Sz, reinterpret_cast<const std::uint8_t*>(bytes.data()), static_cast<std::uint32_t>(bytes.size()));
        }
        return MemoryRegistry::QueryValue(key, name, type, data, size);
    }
};

TEST(SettingsStoreRace, AValueThatGrowsWhileItIsReadIsNeverReplacedByTheDefault) {
    for (const int growths : {1, 3, 100}) {
        GrowingRegistry registry;
        SettingsStore store(registry, Cp932());
        store.WriteSettingString(u"SelectDatas", u"x");  // no key: nothing
        RegKey key = 0;
        registry.CreateKey(Hive::CurrentUser, kSettingsKey, &key);
        registry.CloseKey(key);
        store.WriteSettingString(u"SelectDatas", u"[0,1,0,0,0,]");
        registry.growths = growths;
        const std::u16string read = store.ReadSettingString(u"SelectDatas", u"DEFAULT");
        if (growths < 100) {
            EXPECT_EQ(read.size(), 2048u + static_cast<std::size_t>(registry.grown) * 100) << growths;
        } else {
            EXPECT_EQ(read, u"DEFAULT");  // it never held still: this read gives up
        }
        const auto stored = store.PeekSetting(u"SelectDatas");
        ASSERT_TRUE(stored.has_value());
        EXPECT_NE(stored->data, "DEFAULT") << growths;  // and the stored value was not overwritten
    }
}

}  // namespace
}  // namespace qm::test
