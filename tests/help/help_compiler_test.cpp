#include <gtest/gtest.h>

#include <cstring>
#include <map>

#include "help/compiler/help_source.h"
#include "help/compiler/html_help.h"
#include "help/compiler/winhelp_file.h"
#include "platform/bytes.h"
#include "tests/test_support.h"

namespace qm::test {
namespace {

using help::HelpSourceError;
using help::ParagraphKind;
using help::ParseHelpSource;

constexpr char kSource[] =
    "; a comment\n"
    "@title テストのヘルプ\n"
    "@copyright (C) test\n"
    "@topic IDH_CONTENTS 1 目次\n"
    "最初の段落の一行目\n"
    "二行目、[[IDH_PAGE]]へ\n"
    "\n"
    "## 見出し\n"
    "* 項目 [[IDH_PAGE|ここ]]\n"
    "@book 本\n"
    "@topic IDH_PAGE 13 ページ & <説明>\n"
    "本文\n"
    "@endbook\n"
    "@topic IDH_LAST 22 最後\n"
    "おわり\n";

TEST(HelpSource, ReadsTopicsBooksParagraphsAndLinks) {
    const auto source = ParseHelpSource(kSource);
    EXPECT_EQ(source.title, U("テストのヘルプ"));
    ASSERT_EQ(source.topics.size(), 3u);
    const auto& contents = source.topics[0];
    EXPECT_EQ(contents.id, u"IDH_CONTENTS");
    EXPECT_EQ(contents.map, 1u);
    ASSERT_EQ(contents.paragraphs.size(), 3u);
    EXPECT_EQ(contents.paragraphs[0].kind, ParagraphKind::Body);
    ASSERT_EQ(contents.paragraphs[0].lines.size(), 2u);
    // A link without its own text shows the title of the topic it leads to.
    EXPECT_EQ(help::PlainText(contents.paragraphs[0].lines[1]), U("二行目、ページ & <説明>へ"));
    EXPECT_EQ(contents.paragraphs[0].lines[1][1].target, u"IDH_PAGE");
    EXPECT_EQ(contents.paragraphs[1].kind, ParagraphKind::Heading);
    EXPECT_EQ(contents.paragraphs[2].kind, ParagraphKind::Bullet);
    EXPECT_EQ(contents.paragraphs[2].lines[0][1].text, U("ここ"));
    EXPECT_EQ(contents.book, -1);
    EXPECT_EQ(source.topics[1].book, 0);
    EXPECT_EQ(source.topics[2].book, -1);
    EXPECT_EQ(source.topics[2].map, 22u);
}

TEST(HelpSource, RefusesWhatItCannotMakeAHelpFileOf) {
    struct Case {
        const char* source;
        std::size_t line;
        const char* says;
    };
    const Case cases[] = {
        {"@title t\n", 1, "no topic"},
        {"@topic A 1 a\n", 1, "no @title"},
        {"@title t\ntext\n", 2, "before the first @topic"},
        {"@title t\n@topic A-B a\n", 2, "letters, digits"},
        {"@title t\n@topic A\n", 2, "needs a title"},
        {"@title t\n@topic A 0 a\n", 2, "1 or more"},
        {"@title t\n@topic A a\n@topic a b\n", 3, "used twice"},
        {"@title t\n@topic A 5 a\n@topic B 5 b\n", 3, "used twice"},
        {"@title t\n@topic A a\nsee [[B]]\n", 3, "does not exist"},
        {"@title t\n@topic A a\nsee [[A\n", 3, "without \"]]\""},
        {"@title t\n@topic A a\nsee [[A|]]\n", 3, "empty text"},
        {"@title t\n@endbook\n", 2, "without @book"},
        {"@title t\n@chapter x\n", 2, "unknown command"},
        {"@title t\n@topic A a\n## \n", 3, "empty heading"},
        {"@title t\n@topic A a\n\xff\xfe\n", 3, "not UTF-8"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source);
        try {
            ParseHelpSource(c.source);
            ADD_FAILURE() << "accepted";
        } catch (const HelpSourceError& e) {
            EXPECT_EQ(e.line(), c.line);
            EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos) << e.what();
        }
    }
}

// The decompression of the help file's topic blocks, as the viewers do it.
std::string Expand(std::string_view packed) {
    std::string out;
    std::size_t i = 0;
    while (i < packed.size()) {
        const auto flags = static_cast<unsigned char>(packed[i++]);
        for (int bit = 0; bit < 8 && i < packed.size(); ++bit) {
            if ((flags >> bit & 1) == 0) {
                out.push_back(packed[i++]);
                continue;
            }
            const unsigned code = static_cast<unsigned char>(packed[i]) | static_cast<unsigned char>(packed[i + 1]) << 8;
            i += 2;
            const std::size_t distance = (code & 0xFFF) + 1;
            if (distance > out.size()) return "<reference before the start>";
            for (unsigned n = 0; n < (code >> 12) + 3; ++n) out.push_back(out[out.size() - distance]);
        }
    }
    return out;
}

TEST(WinHelpFile, Lz77RoundTrips) {
    std::string random;
    unsigned seed = 12345;
    for (int i = 0; i < 20000; ++i) random.push_back(static_cast<char>((seed = seed * 1103515245 + 12345) >> 16));
    std::string text;
    for (int i = 0; i < 300; ++i) text += "関数名　:　AddTax\r\n";
    const std::string inputs[] = {
        "", "a", "abc", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", random, text, std::string(70000, '\0')};
    for (const std::string& input : inputs) {
        const std::string packed = help::CompressLz77(input);
        EXPECT_EQ(Expand(packed), input) << input.size();
    }
    EXPECT_LT(help::CompressLz77(text).size(), text.size() / 5);
}

// The parts of the .hlp file that the viewers read to open a topic.
struct HlpReader {
    std::string bytes;
    std::map<std::string, std::string> files;

    explicit HlpReader(std::string file) : bytes(std::move(file)) {
        EXPECT_EQ(UnpackLe32(bytes.substr(0, 4)), 0x00035F3Fu);
        EXPECT_EQ(UnpackLe32(bytes.substr(12, 4)), bytes.size());
        const std::string directory = Internal(UnpackLe32(bytes.substr(4, 4)));
        const std::string page = directory.substr(38);
        const int entries = static_cast<unsigned char>(page[2]) | static_cast<unsigned char>(page[3]) << 8;
        std::size_t at = 8;
        std::string previous;
        for (int i = 0; i < entries; ++i) {
            const std::string name(page.c_str() + at);
            EXPECT_LT(previous, name) << "the directory is sorted";
            previous = name;
            files[name] = Internal(UnpackLe32(page.substr(at + name.size() + 1, 4)));
            at += name.size() + 5;
        }
    }
    std::string Internal(std::uint32_t offset) const {
        const std::uint32_t reserved = UnpackLe32(bytes.substr(offset, 4)), used = UnpackLe32(bytes.substr(offset + 4, 4));
        EXPECT_EQ(reserved, used + 9);
        return bytes.substr(offset + 9, used);
    }
    // The title of the topic that starts at a topic offset (block * 0x8000).
    std::string TitleAt(std::uint32_t topicOffset) const {
        const std::string& topic = files.at("|TOPIC");
        const std::size_t block = topicOffset / 0x8000;
        const std::string data = Expand(topic.substr(block * 4096 + 12, 4096 - 12));
        EXPECT_EQ(data[0x14], 2) << "a topic header starts the block";
        const std::uint32_t titleAt = UnpackLe32(data.substr(0x10, 4));
        return std::string(data.c_str() + titleAt);
    }
};

TEST(WinHelpFile, EveryContextNumberAndStringLeadsToItsTopic) {
    const auto source = ParseHelpSource(kSource);
    const HlpReader hlp(help::WriteWinHelpFile(source, Cp932(), u"test.cnt"));
    for (const char* name : {"|CONTEXT", "|CTXOMAP", "|FONT", "|SYSTEM", "|TOPIC"}) EXPECT_TRUE(hlp.files.count(name)) << name;
    const std::string& system = hlp.files.at("|SYSTEM");
    EXPECT_EQ(system.substr(0, 6), std::string("\x6c\x03\x21\x00\x01\x00", 6));  // version 1.33
    EXPECT_EQ(system.substr(10, 2), std::string("\x04\x00", 2));                 // LZ77, 4 KB blocks
    EXPECT_NE(system.find(Cp932().ToAnsi(U("テストのヘルプ"))), std::string::npos);
    EXPECT_EQ(hlp.files.at("|TOPIC").size(), 3u * 4096);

    const std::string& map = hlp.files.at("|CTXOMAP");
    ASSERT_EQ(map.substr(0, 2), std::string("\x03\x00", 2));
    const std::map<std::uint32_t, std::string> expected = {{1, "目次"}, {13, "ページ & <説明>"}, {22, "最後"}};
    for (int i = 0; i < 3; ++i) {
        const std::uint32_t number = UnpackLe32(map.substr(2 + 8 * i, 4));
        const std::uint32_t offset = UnpackLe32(map.substr(6 + 8 * i, 4));
        ASSERT_TRUE(expected.count(number)) << number;
        EXPECT_EQ(hlp.TitleAt(offset), Cp932().ToAnsi(U(expected.at(number))));
    }
    const std::string context = hlp.files.at("|CONTEXT").substr(38 + 8);
    for (int i = 0; i < 3; ++i) {
        const std::uint32_t hash = UnpackLe32(context.substr(8 * i, 4));
        const std::uint32_t offset = UnpackLe32(context.substr(8 * i + 4, 4));
        bool known = false;
        for (const auto& topic : source.topics) {
            if (help::ContextHash(topic.id) == hash) {
                known = true;
                EXPECT_EQ(hlp.TitleAt(offset), Cp932().ToAnsi(topic.title));
            }
        }
        EXPECT_TRUE(known);
        if (i > 0) {
            EXPECT_LT(static_cast<std::int32_t>(UnpackLe32(context.substr(8 * (i - 1), 4))), static_cast<std::int32_t>(hash));
        }
    }
}

TEST(WinHelpFile, RefusesTextItCannotWriteAndTopicsTooLongForABlock) {
    EXPECT_THROW(help::WriteWinHelpFile(ParseHelpSource("@title t\n@topic A a\n\xF0\x9F\x98\x80\n"), Cp932(), u"t.cnt"), HelpSourceError);
    unsigned seed = 7;
    std::string longTopic = "@title t\n@topic A a\n";
    const char* kana[] = {"あ", "い", "う", "え", "お", "か", "き", "く", "け", "こ", "さ", "し", "す", "せ", "そ"};
    for (int line = 0; line < 600; ++line) {
        for (int c = 0; c < 30; ++c) longTopic += kana[((seed = seed * 1103515245 + 12345) >> 16) % 15];
        longTopic += "\n\n";
    }
    EXPECT_THROW(help::WriteWinHelpFile(ParseHelpSource(longTopic), Cp932(), u"t.cnt"), HelpSourceError);
}

TEST(ContentsFile, ListsTheTopicsInTheirBooks) {
    const auto source = ParseHelpSource(kSource);
    EXPECT_EQ(help::WriteContentsFile(source, Cp932(), u"test.hlp"),
              Cp932().ToAnsi(U(":Base test.hlp\r\n:Title テストのヘルプ\r\n1 目次=IDH_CONTENTS\r\n1 本\r\n2 ページ & <説明>=IDH_PAGE\r\n"
                               "1 最後=IDH_LAST\r\n")));
}

TEST(HtmlHelpProject, PagesContentsAndContextNumbers) {
    const auto files = help::WriteHtmlHelpProject(ParseHelpSource(kSource), Cp932(), "test", "test.chm");
    for (const char* name : {"test.hhp", "test.hhc", "test.hhk", "quillmark.css", "idh_contents.htm", "idh_page.htm", "idh_last.htm"}) {
        EXPECT_TRUE(files.count(name)) << name;
    }
    const std::string& project = files.at("test.hhp");
    for (const char* line : {"Compiled file=test.chm\r\n", "Default topic=idh_contents.htm\r\n", "Language=0x411 Japanese\r\n",
                             "IDH_PAGE=idh_page.htm\r\n", "#define IDH_PAGE 13\r\n", "#define IDH_LAST 22\r\n"}) {
        EXPECT_NE(project.find(line), std::string::npos) << line;
    }
    const std::string page = files.at("idh_page.htm");
    EXPECT_NE(page.find(Cp932().ToAnsi(U("<h1>ページ &amp; &lt;説明&gt;</h1>"))), std::string::npos);
    EXPECT_NE(page.find("charset=Shift_JIS"), std::string::npos);
    const std::string contents = files.at("idh_contents.htm");
    EXPECT_NE(contents.find(Cp932().ToAnsi(U("<a href=\"idh_page.htm\">ここ</a>"))), std::string::npos);
    EXPECT_NE(contents.find("<ul>"), std::string::npos);
    const std::string toc = files.at("test.hhc");
    EXPECT_LT(toc.find(Cp932().ToAnsi(U("本"))), toc.find("idh_page.htm"));
}

}  // namespace
}  // namespace qm::test
