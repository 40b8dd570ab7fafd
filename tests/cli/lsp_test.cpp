// The language server's own readers: JSON, the message frames, and positions in a document's text.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "cli/json.h"
#include "cli/lsp_server.h"
#include "cli/lsp_transport.h"

namespace {

using qm::cli::FrameReader;
using qm::cli::Json;
using qm::cli::JsonError;
using qm::cli::LspDocument;
using qm::cli::ParseJson;
using qm::cli::PositionUnits;

TEST(Json, TakesValidTextAndWritesItBack) {
    const struct {
        const char* text;
        const char* written;
    } cases[] = {
        {R"({"a":[1,-2,3.5,true,false,null],"b":{}})", R"({"a":[1,-2,3.5,true,false,null],"b":{}})"},
        {" [ ] ", "[]"},
        {R"("\u65e5\u672c")", "\"日本\""},
        {R"("\ud83d\ude00")", "\"😀\""},         // a pair of surrogates is one character
        {R"("\ud800x")", "\"\xEF\xBF\xBDx\""},  // a lone one becomes U+FFFD
        {R"("\udc00")", "\"\xEF\xBF\xBD\""},    // so does a lone low one
        {R"("a\"b\\c\/d\n")", R"("a\"b\\c/d\n")"},
        {"1e2", "100"},
        {"12345678901234567890", "1.2345678901234567e+19"},
        {"\"日本語\"", "\"日本語\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ParseJson(c.text).Write(), c.written);
    }
}

TEST(Json, RefusesWhatIsNoJson) {
    const std::vector<std::string> cases = {
        "",
        "{",
        "[1,]",
        "{\"a\" 1}",
        "{a:1}",
        "01",
        "1.",
        "-",
        "tru",
        "\"abc",
        "\"\x01\"",
        "\"\\x\"",
        "\"\\u12g4\"",
        "[1] [2]",
        "\"\xff\"",
        "\"\xc0\x80\"",
        "\"\xed\xa0\x80\"",  // a surrogate written as UTF-8
        "\"\xe6\x97\"",      // a character cut short
        std::string(qm::cli::kMaxJsonDepth + 1, '['),
        "{\"a\":1,\"b\":2,\"a\":3}",  // a name given twice
    };
    for (const std::string& text : cases) {
        SCOPED_TRACE(text);
        EXPECT_THROW(ParseJson(text), JsonError);
    }
    EXPECT_NO_THROW(ParseJson(std::string(qm::cli::kMaxJsonDepth, '[') + std::string(qm::cli::kMaxJsonDepth, ']')));
    // A message of many small values is refused before it takes a hundred times its size.
    const auto values = [](std::size_t n) {
        std::string text = "[";
        for (std::size_t i = 0; i < n; ++i) text += i == 0 ? "0" : ",0";
        return text + "]";
    };
    EXPECT_NO_THROW(ParseJson(values(qm::cli::kMaxJsonValues - 1)));
    EXPECT_THROW(ParseJson(values(qm::cli::kMaxJsonValues)), JsonError);
    // Many members are taken in linear time.
    std::string members = "{";
    for (int i = 0; i < 100000; ++i) members += (i == 0 ? "\"k" : ",\"k") + std::to_string(i) + "\":0";
    EXPECT_EQ(ParseJson(members + "}").Members().size(), 100000U);
}

TEST(Json, MembersAreFoundAndAbsentOnesReadAsNull) {
    const Json value = ParseJson(R"({"id":7,"params":{"text":"x"}})");
    EXPECT_EQ(value["id"].AsInteger(), 7);
    EXPECT_EQ(value["params"]["text"].AsString(), "x");
    EXPECT_TRUE(value["params"]["missing"]["deeper"].IsNull());
    EXPECT_FALSE(value["params"].AsInteger());
    // Control characters and bytes that are no UTF-8 leave as escapes and U+FFFD.
    EXPECT_EQ(Json(std::string("a\x01\n\xff")).Write(), "\"a\\u0001\\n\\ufffd\"");
}

// The frames of a text read in pieces of the given size.
std::vector<FrameReader::Frame> FramesOf(const std::string& input, std::size_t piece, std::size_t limit = 1 << 20) {
    std::size_t at = 0;
    FrameReader reader(
        [&](char* buffer, std::size_t room) {
            const std::size_t n = std::min({room, piece, input.size() - at});
            std::copy_n(input.data() + at, n, buffer);
            at += n;
            return n;
        },
        limit);
    std::vector<FrameReader::Frame> frames;
    for (;;) {
        frames.push_back(reader.Next());
        if (frames.back().kind == FrameReader::Frame::Kind::End) return frames;
    }
}

TEST(Frames, MessagesAreReadWhateverPiecesTheyArriveIn) {
    const std::string input =
        qm::cli::FrameOf("{\"a\":1}") + "Content-Type: x\r\ncontent-length:  2 \r\n\r\n[]" + qm::cli::FrameOf("\"日本\"");
    for (const std::size_t piece : {1u, 2u, 7u, 4096u}) {
        SCOPED_TRACE(piece);
        const auto frames = FramesOf(input, piece);
        ASSERT_EQ(frames.size(), 4u);
        EXPECT_EQ(frames[0].body, "{\"a\":1}");
        EXPECT_EQ(frames[1].body, "[]");
        EXPECT_EQ(frames[2].body, "\"日本\"");
        EXPECT_EQ(frames[3].kind, FrameReader::Frame::Kind::End);
    }
}

TEST(Frames, AHeaderThatCannotBeTakenIsReportedAndTheNextMessageStillRead) {
    const std::string next = qm::cli::FrameOf("{}");
    const struct {
        std::string header;
        const char* says;
    } cases[] = {
        {"Content-Type: a\r\n\r\n", "no Content-Length"},
        {"Content-Length: x\r\n\r\n", "not a number"},
        {"Content-Length: -1\r\n\r\n", "not a number"},
        {"Content-Length: 99999999999999999999\r\n\r\n", "not a number"},
        {"no colon\r\nContent-Length: 2\r\n\r\n[]", "without"},
        {"X: " + std::string(5000, 'a') + "\r\nContent-Length: 2\r\n\r\n[]", "longer than"},
        {"Content-Length: 3000000\r\n\r\n" + std::string(3000000, ' '), "larger than"},  // skipped, never held
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.says);
        const auto frames = FramesOf(c.header + next, 1000);
        ASSERT_EQ(frames.size(), 3u);
        EXPECT_EQ(frames[0].kind, FrameReader::Frame::Kind::Error);
        EXPECT_NE(frames[0].error.find(c.says), std::string::npos) << frames[0].error;
        EXPECT_EQ(frames[1].body, "{}");
    }
    // A length too large to take is answered before its body is waited for, sent or not.
    const auto frames = FramesOf("Content-Length: 999999999999999999\r\n\r\n{}", 1000);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].kind, FrameReader::Frame::Kind::Error);
    EXPECT_NE(frames[0].error.find("larger than"), std::string::npos) << frames[0].error;
}

TEST(Frames, TheEndOfTheInputEndsAMessageCutShort) {
    for (const std::string input : {"Content-Length: 10\r\n\r\n{}", "Content-Length: 10\r\n", "Content-Le"}) {
        const auto frames = FramesOf(input, 3);
        ASSERT_EQ(frames.size(), 1u);
        EXPECT_EQ(frames[0].kind, FrameReader::Frame::Kind::End);
    }
}

TEST(Document, PositionsCountUtf16UnitsOrBytes) {
    // "日" is one UTF-16 unit and three bytes; "😀" two units and four bytes.
    const LspDocument text("a日😀b\r\nx\n\ry");
    const struct {
        std::int64_t line;
        std::int64_t character;
        PositionUnits units;
        std::size_t offset;
    } cases[] = {
        {0, 0, PositionUnits::Utf16, 0},  {0, 1, PositionUnits::Utf16, 1},  {0, 2, PositionUnits::Utf16, 4},
        {0, 3, PositionUnits::Utf16, 4},  // inside the pair: the start of the character
        {0, 4, PositionUnits::Utf16, 8},  {0, 5, PositionUnits::Utf16, 9},  {0, 99, PositionUnits::Utf16, 9},  // past the end of the line
        {0, 4, PositionUnits::Utf8, 4},   {0, 6, PositionUnits::Utf8, 4},   {0, 8, PositionUnits::Utf8, 8},
        {1, 0, PositionUnits::Utf16, 11}, {1, 5, PositionUnits::Utf16, 12}, {2, 0, PositionUnits::Utf16, 13},
        {3, 0, PositionUnits::Utf16, 14},                                    // a lone CR ends a line too
        {3, 1, PositionUnits::Utf16, 15}, {9, 0, PositionUnits::Utf16, 15},  // past the last line: the end
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.line) + ":" + std::to_string(c.character));
        EXPECT_EQ(text.OffsetOf(c.line, c.character, c.units), c.offset);
    }
    EXPECT_EQ(text.PositionOf(8, PositionUnits::Utf16), (std::pair<std::int64_t, std::int64_t>{0, 4}));
    EXPECT_EQ(text.PositionOf(8, PositionUnits::Utf8), (std::pair<std::int64_t, std::int64_t>{0, 8}));
    EXPECT_EQ(text.PositionOf(15, PositionUnits::Utf16), (std::pair<std::int64_t, std::int64_t>{3, 1}));
    EXPECT_EQ(text.LineLength(0, PositionUnits::Utf16), 5);
    EXPECT_EQ(text.LineLength(0, PositionUnits::Utf8), 9);
}

TEST(Document, ChangesKeepTheLinesInStep) {
    LspDocument text("😀一\r\n二\r\n");
    text.Replace(text.OffsetOf(0, 2, PositionUnits::Utf16), text.OffsetOf(1, 0, PositionUnits::Utf16), "");
    EXPECT_EQ(text.Text(), "😀二\r\n");
    text.Replace(text.OffsetOf(0, 3, PositionUnits::Utf16), text.OffsetOf(0, 3, PositionUnits::Utf16), "\r\n三");
    EXPECT_EQ(text.Text(), "😀二\r\n三\r\n");
    EXPECT_EQ(text.LineCount(), 3u);
    EXPECT_EQ(text.OffsetOf(1, 1, PositionUnits::Utf16), text.Text().find("\r\n", 8));
}

TEST(Uri, FileUrisGivePathsAndOthersNothing) {
    const struct {
        const char* uri;
        std::optional<std::string> path;
    } cases[] = {
        {"file:///home/a/m.bas", "/home/a/m.bas"}, {"file:///home/a/%E6%97%A5%20b.bas", "/home/a/日 b.bas"},
        {"FILE://localhost/x.bas", "/x.bas"},      {"file://server/share/x.bas", std::nullopt},  // another machine's file
        {"untitled:Untitled-1", std::nullopt},     {"file:///a/b%0Ac.bas", std::nullopt},        // a line break in the name
        {"file:///a/b%00.bas", std::nullopt},                                                    // a NUL
        {"file:///a/%ZZ.bas", std::nullopt},       {"file:///a/%E6.bas", std::nullopt},          // no UTF-8
        {"file:///a/b%2", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.uri);
        EXPECT_EQ(qm::cli::PathOfUri(c.uri), c.path);
    }
}

}  // namespace
