#include "help/compiler/help_source.h"

#include <set>

#include "platform/text.h"

namespace qm::help {

namespace {

bool IsContextChar(char16_t c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'_' || c == u'.';
}

bool IsContextId(std::u16string_view id) {
    if (id.empty() || id.size() > 255) return false;
    for (char16_t c : id) {
        if (!IsContextChar(c)) return false;
    }
    return true;
}

bool StartsWith(std::u16string_view text, std::u16string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

// The first word of text (up to a blank) and the rest without its leading blanks.
std::pair<std::u16string_view, std::u16string_view> SplitWord(std::u16string_view text) {
    text = TrimLeftBlanks(text);
    std::size_t end = 0;
    while (end < text.size() && text[end] != u' ' && text[end] != u'\t') ++end;
    return {text.substr(0, end), TrimLeftBlanks(text.substr(end))};
}

class Reader {
public:
    explicit Reader(std::string_view utf8) : source_(utf8) {}

    HelpSource Read() {
        std::size_t start = 0;
        while (start < source_.size() || start == 0) {
            std::size_t end = source_.find('\n', start);
            if (end == std::string_view::npos) end = source_.size();
            std::string_view raw = source_.substr(start, end - start);
            if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
            ++lineNumber_;
            bool valid = true;
            const std::u16string line = Utf8ToUtf16(raw, &valid);
            if (!valid) Fail("the line is not UTF-8");
            ReadLine(TrimRightBlanks(line));
            if (end == source_.size()) break;
            start = end + 1;
        }
        EndParagraph();
        if (result_.topics.empty()) Fail("the source has no topic");
        if (result_.title.empty()) Fail("the source has no @title");
        for (const auto& [id, line] : links_) {
            if (result_.Find(id) == nullptr)
                throw HelpSourceError(line, "a link names the topic " + Utf16ToUtf8(id) + ", which does not exist");
        }
        return std::move(result_);
    }

private:
    [[noreturn]] void Fail(const std::string& what) const { throw HelpSourceError(lineNumber_, what); }

    Topic& Current() {
        if (result_.topics.empty()) Fail("text before the first @topic");
        return result_.topics.back();
    }

    void EndParagraph() { open_ = nullptr; }

    void ReadLine(std::u16string_view line) {
        if (StartsWith(line, u";")) return;
        if (line.empty()) return EndParagraph();
        if (StartsWith(line, u"@")) return ReadCommand(line);
        if (line == u"##" || StartsWith(line, u"## ")) return Add(ParagraphKind::Heading, TrimLeftBlanks(line.substr(2)));
        if (line == u"*" || StartsWith(line, u"* ")) return Add(ParagraphKind::Bullet, TrimLeftBlanks(line.substr(1)));
        if (open_ == nullptr) {
            Current().paragraphs.push_back(Paragraph{ParagraphKind::Body, {}});
            open_ = &Current().paragraphs.back();
        }
        open_->lines.push_back(ReadSpans(line));
    }

    void Add(ParagraphKind kind, std::u16string_view text) {
        if (text.empty()) Fail("an empty heading or list item");
        Current().paragraphs.push_back(Paragraph{kind, {ReadSpans(text)}});
        open_ = nullptr;
    }

    void ReadCommand(std::u16string_view line) {
        EndParagraph();
        const auto [word, rest] = SplitWord(line);
        if (word == u"@title" || word == u"@copyright") {
            if (rest.empty()) Fail("@title and @copyright need a text");
            (word == u"@title" ? result_.title : result_.copyright) = std::u16string(rest);
        } else if (word == u"@book") {
            if (rest.empty()) Fail("@book needs a title");
            result_.books.emplace_back(rest);
            book_ = static_cast<int>(result_.books.size()) - 1;
        } else if (word == u"@endbook") {
            if (book_ < 0) Fail("@endbook without @book");
            book_ = -1;
        } else if (word == u"@topic") {
            ReadTopic(rest);
        } else {
            Fail("unknown command " + Utf16ToUtf8(word));
        }
    }

    void ReadTopic(std::u16string_view rest) {
        Topic topic;
        auto [id, afterId] = SplitWord(rest);
        if (!IsContextId(id)) Fail("a topic ID is made of letters, digits, \"_\" and \".\"");
        topic.id = std::u16string(id);
        auto [number, afterNumber] = SplitWord(afterId);
        bool numeric = !number.empty() && number.size() <= 9;
        for (char16_t c : number) numeric = numeric && c >= u'0' && c <= u'9';
        if (numeric) {
            for (char16_t c : number) topic.map = topic.map * 10 + static_cast<std::uint32_t>(c - u'0');
            if (topic.map == 0) Fail("a context number is 1 or more");
            afterId = afterNumber;
        }
        if (afterId.empty()) Fail("a topic needs a title");
        topic.title = std::u16string(afterId);
        topic.book = book_;
        if (!ids_.insert(FoldAscii(topic.id)).second) Fail("the topic ID " + Utf16ToUtf8(topic.id) + " is used twice");
        if (topic.map != 0 && !maps_.insert(topic.map).second) Fail("the context number " + std::to_string(topic.map) + " is used twice");
        result_.topics.push_back(std::move(topic));
    }

    Line ReadSpans(std::u16string_view text) {
        Line line;
        std::size_t pos = 0;
        while (pos < text.size()) {
            const std::size_t open = text.find(u"[[", pos);
            if (open == std::u16string_view::npos) {
                line.push_back(Span{std::u16string(text.substr(pos)), {}});
                break;
            }
            if (open > pos) line.push_back(Span{std::u16string(text.substr(pos, open - pos)), {}});
            const std::size_t close = text.find(u"]]", open + 2);
            if (close == std::u16string_view::npos) Fail("a link without \"]]\"");
            const std::u16string_view inside = text.substr(open + 2, close - open - 2);
            const std::size_t bar = inside.find(u'|');
            const std::u16string_view id = inside.substr(0, bar);
            if (!IsContextId(id)) Fail("a link names a topic by its ID");
            std::u16string shown = bar == std::u16string_view::npos ? std::u16string() : std::u16string(inside.substr(bar + 1));
            if (bar != std::u16string_view::npos && shown.empty()) Fail("a link with an empty text");
            links_.emplace_back(std::u16string(id), lineNumber_);
            line.push_back(Span{std::move(shown), std::u16string(id)});
            pos = close + 2;
        }
        return line;
    }

    std::string_view source_;
    std::size_t lineNumber_ = 0;
    HelpSource result_;
    Paragraph* open_ = nullptr;
    int book_ = -1;
    std::set<std::u16string> ids_;
    std::set<std::uint32_t> maps_;
    std::vector<std::pair<std::u16string, std::size_t>> links_;
};

}  // namespace

HelpSourceError::HelpSourceError(std::size_t line, const std::string& what)
    : std::runtime_error("line " + std::to_string(line) + ": " + what), line_(line) {}

const Topic* HelpSource::Find(std::u16string_view id) const {
    for (const Topic& topic : topics) {
        if (EqualsIgnoreCase(topic.id, id)) return &topic;
    }
    return nullptr;
}

HelpSource ParseHelpSource(std::string_view utf8) {
    HelpSource source = Reader(utf8).Read();
    // A link without its own text shows the title of the topic it leads to.
    for (Topic& topic : source.topics) {
        for (Paragraph& paragraph : topic.paragraphs) {
            for (Line& line : paragraph.lines) {
                for (Span& span : line) {
                    if (!span.target.empty() && span.text.empty()) span.text = source.Find(span.target)->title;
                }
            }
        }
    }
    return source;
}

std::u16string PlainText(const Line& line) {
    std::u16string text;
    for (const Span& span : line) text += span.text;
    return text;
}

}  // namespace qm::help
