// The language server's own readers: JSON, the message frames, and positions in a document's text.
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <random>
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
using qm::cli::PathStyle;
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

// Every line's start and the line count, as a text read whole gives them.
void ExpectLinesOfAFreshRead(const LspDocument& text) {
    const LspDocument fresh(text.Text());
    ASSERT_EQ(text.LineCount(), fresh.LineCount()) << testing::PrintToString(text.Text());
    for (std::size_t line = 0; line < fresh.LineCount(); ++line) {
        const auto at = static_cast<std::int64_t>(line);
        EXPECT_EQ(text.OffsetOf(at, 999, PositionUnits::Utf8), fresh.OffsetOf(at, 999, PositionUnits::Utf8)) << line;
        EXPECT_EQ(text.OffsetOf(at, 0, PositionUnits::Utf8), fresh.OffsetOf(at, 0, PositionUnits::Utf8)) << line;
    }
}

TEST(Document, LinesStayInStepWhateverAnEditSplitsOrJoins) {
    // Line ends made, split and joined by edits: a CR put before an LF, an LF after a CR, the LF of a
    // CR LF taken away, a CR at the very end.
    const struct {
        const char* text;
        std::size_t from, to;
        const char* with;
    } cases[] = {
        {"a\nb", 1, 1, "\r"},  {"a\rb", 2, 2, "\n"},   {"a\r\nb", 2, 3, ""},    {"a\r\nb", 1, 2, ""},
        {"ab", 2, 2, "\r"},    {"a\r", 2, 2, "\n"},    {"a\r\n", 1, 3, "x"},    {"\r\n\r\n", 1, 3, ""},
        {"x\ny\nz", 0, 5, ""}, {"", 0, 0, "\r\r\n\n"}, {"a\rb\rc", 1, 4, "\n"}, {"日\r本", 3, 4, "\r\n\r"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::string(c.text)) + " " + std::to_string(c.from) + ".." + std::to_string(c.to));
        LspDocument text(c.text);
        text.Replace(c.from, c.to, c.with);
        ExpectLinesOfAFreshRead(text);
    }
    // And any edits at all, of line ends and text.
    std::mt19937 random(7);
    const std::vector<std::string> pieces = {"a", "\r", "\n", "\r\n", "日", ""};
    LspDocument text("start\r\n");
    for (int round = 0; round < 3000; ++round) {
        const std::size_t size = text.Text().size();
        std::size_t from = std::uniform_int_distribution<std::size_t>(0, size)(random);
        std::size_t to = std::min(size, from + std::uniform_int_distribution<std::size_t>(0, 3)(random));
        // Whole characters only, as positions give them.
        while (from > 0 && (static_cast<unsigned char>(text.Text()[from]) & 0xC0u) == 0x80u) --from;
        while (to < size && (static_cast<unsigned char>(text.Text()[to]) & 0xC0u) == 0x80u) ++to;
        std::string with;
        for (int n = std::uniform_int_distribution<int>(0, 3)(random); n > 0; --n)
            with += pieces[std::uniform_int_distribution<std::size_t>(0, pieces.size() - 1)(random)];
        text.Replace(from, to, with);
        if (text.Text().size() > 400) text.SetText(text.Text().substr(0, 40));
        ExpectLinesOfAFreshRead(text);
        if (testing::Test::HasFailure()) return;
    }
}

TEST(Document, ChangesMadeInOnePassGiveWhatOneAfterAnotherGives) {
    using Change = LspDocument::Change;
    constexpr std::int64_t kMost = std::numeric_limits<std::int64_t>::max();
    const std::string start = "Sub A()\r\n    x = 1\r\nEnd Sub\r\n日😀本\r\n";
    const struct {
        const char* what;
        std::vector<Change> changes;
        bool made;
    } cases[] = {
        {"from the end towards the start, as an editor sends several carets' edits",
         {{3, 1, 3, 3, "X"}, {2, 0, 2, 3, "Function"}, {1, 4, 1, 4, "' "}, {0, 0, 0, 3, "Function"}},
         true},
        {"two at the same place: the later one goes in front", {{1, 4, 1, 4, "a"}, {1, 4, 1, 4, "b"}}, true},
        {"from the start towards the end", {{0, 0, 0, 0, "'\r\n"}, {2, 0, 2, 0, "'"}, {4, 0, 4, 1, ""}}, true},
        {"line ends made and taken", {{2, 7, 3, 0, ""}, {1, 9, 2, 0, "\r"}, {0, 3, 0, 3, "\n"}}, true},
        {"past the end of a line, then in front of it", {{1, 99, 1, 99, "!"}, {1, 9, 1, 9, "?"}}, true},
        {"inside a pair of UTF-16 units", {{3, 2, 3, 2, "x"}, {3, 1, 3, 1, "y"}}, true},
        {"past the last line", {{9, 0, 9, 0, "end"}, {0, 0, 0, 0, "top"}}, true},
        {"a line taken, then places as far as a count goes",
         {{0, 0, 1, 0, ""}, {kMost, kMost, kMost, kMost, "end"}, {kMost, 0, kMost, 0, "!"}},
         true},
        {"a range that ends before it starts, after one made", {{0, 0, 0, 0, "x"}, {1, 3, 1, 1, "bad"}, {2, 0, 2, 0, "never"}}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        LspDocument expected(start);
        bool made = true;
        for (const Change& change : c.changes) {
            const std::size_t from = expected.OffsetOf(change.startLine, change.startCharacter, PositionUnits::Utf16);
            const std::size_t to = expected.OffsetOf(change.endLine, change.endCharacter, PositionUnits::Utf16);
            if (to < from) {
                made = false;
                break;
            }
            expected.Replace(from, to, change.text);
        }
        LspDocument text(start);
        EXPECT_EQ(text.Apply(c.changes, PositionUnits::Utf16), c.made);
        EXPECT_EQ(made, c.made);
        EXPECT_EQ(text.Text(), expected.Text());
        ExpectLinesOfAFreshRead(text);
    }
}

TEST(Document, AnyChangesAtOnceGiveWhatOneAfterAnotherGives) {
    // Runs that go towards the start, towards the end, and anywhere, over line ends of every kind
    // and characters of one to four bytes, in both units.
    std::mt19937 random(11);
    const auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n)(random); };
    const std::vector<std::string> pieces = {"a", "\r", "\n", "\r\n", "日", "😀", ""};
    for (int round = 0; round < 1500; ++round) {
        std::string start;
        for (int n = pick(30); n > 0; --n) start += pieces[static_cast<std::size_t>(pick(6))];
        const PositionUnits units = round % 2 == 0 ? PositionUnits::Utf16 : PositionUnits::Utf8;
        std::vector<LspDocument::Change> changes;
        std::vector<std::string> texts;
        texts.reserve(8);
        const int way = pick(2);  // towards the start, towards the end, anywhere
        std::int64_t line = way == 0 ? 8 : 0;
        for (int n = pick(7) + 1; n > 0; --n) {
            line = way == 0 ? std::max<std::int64_t>(0, line - pick(2)) : way == 1 ? line + pick(2) : pick(8);
            const std::int64_t character = pick(4);
            const bool wide = pick(3) == 0;
            std::string text;
            for (int k = pick(2); k > 0; --k) text += pieces[static_cast<std::size_t>(pick(6))];
            texts.push_back(text);
            changes.push_back({line, character, wide ? line + 1 : line, wide ? pick(2) : character + pick(2), ""});
        }
        for (std::size_t i = 0; i < changes.size(); ++i) changes[i].text = texts[i];
        LspDocument expected(start);
        bool made = true;
        for (const auto& change : changes) {
            const std::size_t from = expected.OffsetOf(change.startLine, change.startCharacter, units);
            const std::size_t to = expected.OffsetOf(change.endLine, change.endCharacter, units);
            if (to < from) {
                made = false;
                break;
            }
            expected.Replace(from, to, change.text);
        }
        LspDocument text(start);
        ASSERT_EQ(text.Apply(changes, units), made) << round;
        ASSERT_EQ(text.Text(), expected.Text()) << "round " << round << " from " << testing::PrintToString(start);
        ExpectLinesOfAFreshRead(text);
    }
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
        EXPECT_EQ(qm::cli::PathOfUri(c.uri, PathStyle::Posix), c.path);
    }
}

TEST(Uri, WindowsNamesDrivesAndShares) {
    const struct {
        const char* uri;
        std::optional<std::string> path;
    } cases[] = {
        {"file:///c%3A/work/m.bas", "c:/work/m.bas"},
        {"file:///Z:/m.bas", "Z:/m.bas"},
        {"file://localhost/c:/m.bas", "c:/m.bas"},
        {"file://server/share/dir/m.bas", "//server/share/dir/m.bas"},  // a share on another machine
        {"file://server/", std::nullopt},                               // a server without a share
        {"file://ser%20ver/share/m.bas", std::nullopt},                 // no machine has that name
        {"file://server/share/a%0D.bas", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.uri);
        EXPECT_EQ(qm::cli::PathOfUri(c.uri, PathStyle::Windows), c.path);
    }
}

TEST(Uri, AFileAtARootHasTheRootForItsFolder) {
    const struct {
        const char* path;
        PathStyle style;
        const char* folder;
    } cases[] = {
        {"/m.bas", PathStyle::Posix, "/"},
        {"/a/b/m.bas", PathStyle::Posix, "/a/b"},
        {"m.bas", PathStyle::Posix, ""},
        {"Z:/m.bas", PathStyle::Windows, "Z:/"},  // "Z:" would be the current folder on Z
        {"Z:/a/m.bas", PathStyle::Windows, "Z:/a"},
        {"Z:\\a\\m.bas", PathStyle::Windows, "Z:\\a"},
        {"//server/share/m.bas", PathStyle::Windows, "//server/share"},
        {"Z:/m.bas", PathStyle::Posix, "Z:"},  // elsewhere, just a folder named so
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(qm::cli::FolderOfPath(c.path, c.style), c.folder);
    }
}

}  // namespace
