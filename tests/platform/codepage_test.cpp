#include "platform/codepage.h"

#include <gtest/gtest.h>

#include "tests/test_support.h"

namespace qm::test {
namespace {

TEST(Codepage, ByteLengthCountsFullWidthTwoAndHalfWidthOne) {
    struct Case {
        const char16_t* text;
        std::size_t bytes;
    };
    const Case cases[] = {
        {u"", 0},
        {u"Module1.bas", 11},
        {u"名前", 4},
        {u"ｽﾀﾝﾌﾟ", 5},                     // half-width katakana, voiced mark included
        {u"'------<名前 '99.12.01 09:05:07>------", 38},
        {u"\u3000", 2},                     // ideographic space
        {u"\U0001F600", 1},                 // no such character in the code page: becomes "?"
    };
    for (const Case& c : cases) EXPECT_EQ(Cp932().ByteLength(c.text), c.bytes) << Utf16ToUtf8(c.text);
}

TEST(Codepage, ConvertsBothWaysAndMarksWhatItCannotHold) {
    const std::u16string text = u"Lexivaneなどに使用するｽﾀﾝﾌﾟ・変更";
    const std::string bytes = Cp932().ToAnsi(text);
    EXPECT_EQ(bytes.size(), Cp932().ByteLength(text));
    bool valid = false;
    EXPECT_EQ(Cp932().FromAnsi(bytes, &valid), text);
    EXPECT_TRUE(valid);

    EXPECT_EQ(Cp932().ToAnsi(u"a\U0001F600b"), "a?b");
    EXPECT_FALSE(Cp932().CanEncode(u"\U0001F600"));
    EXPECT_TRUE(Cp932().CanEncode(text));

    // A lead byte without its trail byte, and a half-width katakana before a lead byte.
    EXPECT_EQ(Cp932().FromAnsi("a\x82", &valid), u"a\u30FB");
    EXPECT_FALSE(valid);
    EXPECT_EQ(Cp932().FromAnsi("\xB1\x96\xBC", &valid), u"ｱ名");
    EXPECT_TRUE(valid);
}

TEST(Utf8, MalformedSequencesAreReported) {
    bool valid = true;
    EXPECT_EQ(Utf8ToUtf16("\xE5\x90\x8D", &valid), u"名");
    EXPECT_TRUE(valid);
    Utf8ToUtf16("\xC0\xAF", &valid);
    EXPECT_FALSE(valid);
    Utf8ToUtf16("\xED\xA0\x80", &valid);  // a surrogate written as UTF-8
    EXPECT_FALSE(valid);
    EXPECT_EQ(Utf16ToUtf8(u"\U0001F600"), "\xF0\x9F\x98\x80");
}

}  // namespace
}  // namespace qm::test
