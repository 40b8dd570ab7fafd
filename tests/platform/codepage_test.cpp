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
        {u"ｽﾀﾝﾌﾟ", 5},  // half-width katakana, voiced mark included
        {u"'------<名前 '99.12.01 09:05:07>------", 38},
        {u"\u3000", 2},      // ideographic space
        {u"\U0001F600", 1},  // no such character in the code page: becomes "?"
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

// A lone surrogate or an unpaired byte is replaced by one mark of its own; its neighbours stay.
TEST(Codepage, ALoneUnitIsReplacedAloneInEveryDirection) {
    struct ToAnsiCase {
        std::u16string text;
        std::string bytes;
    };
    const std::u16string high(1, static_cast<char16_t>(0xD83D));
    const std::u16string low(1, static_cast<char16_t>(0xDE00));
    const ToAnsiCase toAnsi[] = {
        {high + u"あいう", "?" + Cp932().ToAnsi(u"あいう")},
        {low + u"あいう", "?" + Cp932().ToAnsi(u"あいう")},
        {u"あ" + high, Cp932().ToAnsi(u"あ") + "?"},
        {u"あ" + high + high + u"い", Cp932().ToAnsi(u"あ") + "??" + Cp932().ToAnsi(u"い")},
        {high + low + u"い", "?" + Cp932().ToAnsi(u"い")},  // a pair is one character
        {low + high + u"い", "??" + Cp932().ToAnsi(u"い")},
    };
    for (const auto& c : toAnsi) EXPECT_EQ(Cp932().ToAnsi(c.text), c.bytes) << Utf16ToUtf8(c.text);
    for (const auto& c : toAnsi) EXPECT_EQ(Cp932().ByteLength(c.text), c.bytes.size()) << Utf16ToUtf8(c.text);

    struct FromAnsiCase {
        std::string bytes;
        std::u16string text;
    };
    const FromAnsiCase fromAnsi[] = {
        {"\x82 A", u"\u30FB A"},            // a lead byte whose trail is not one
        {"\xA0\x82\xA0", u"\u30FB\u3042"},  // an unused byte before a whole character
        {"\x82\xA0\xFD", u"\u3042\u30FB"},
        {"\x82", u"\u30FB"},
    };
    for (const auto& c : fromAnsi) {
        bool valid = true;
        EXPECT_EQ(Cp932().FromAnsi(c.bytes, &valid), c.text) << c.bytes;
        EXPECT_FALSE(valid);
    }
    // UTF-8 of a lone surrogate is one mark, and the text after it stays.
    EXPECT_EQ(Utf16ToUtf8(high + u"あ"), "\xEF\xBF\xBD" + Utf16ToUtf8(u"あ"));
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

TEST(Utf8, EachCodePointIsWrittenInTheShortestFormAndReadBack) {
    const struct {
        char32_t code;
        const char* bytes;
    } cases[] = {
        {0x00, ""},
        {0x7F, "\x7F"},
        {0x80, "\xC2\x80"},
        {0x7FF, "\xDF\xBF"},
        {0x800, "\xE0\xA0\x80"},
        {0xFFFD, "\xEF\xBF\xBD"},
        {0xFFFF, "\xEF\xBF\xBF"},
        {0x10000, "\xF0\x90\x80\x80"},
        {0x10FFFF, "\xF4\x8F\xBF\xBF"},
    };
    for (const auto& c : cases) {
        std::string out = "x";
        AppendUtf8(out, c.code);
        const std::string expected = c.code == 0 ? std::string("x\0", 2) : "x" + std::string(c.bytes);
        EXPECT_EQ(out, expected) << static_cast<unsigned long>(c.code);
        const Utf8Character read = DecodeUtf8(out, 1);
        EXPECT_EQ(read.length, out.size() - 1);
        EXPECT_EQ(read.code, c.code);
    }
}

}  // namespace
}  // namespace qm::test
