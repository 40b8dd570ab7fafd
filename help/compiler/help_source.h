#pragma once
// The product's help, as written in its one source: topics of paragraphs, grouped in books, with
// links between them. Both help files (WinHelp and HTML Help) are made from this model.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace qm::help {

// A piece of a line: plain text, or the text of a link to the topic named by target.
struct Span {
    std::u16string text;
    std::u16string target;
};
using Line = std::vector<Span>;

enum class ParagraphKind { Body, Heading, Bullet };

struct Paragraph {
    ParagraphKind kind = ParagraphKind::Body;
    std::vector<Line> lines;  // shown one under the other
};

struct Topic {
    std::u16string id;      // context string: letters, digits, "_" and "."
    std::uint32_t map = 0;  // context number the programs ask for; 0: none
    std::u16string title;
    int book = -1;  // index into HelpSource::books, -1: at the top level
    std::vector<Paragraph> paragraphs;
};

struct HelpSource {
    std::u16string title;
    std::u16string copyright;
    std::vector<std::u16string> books;
    std::vector<Topic> topics;  // the first one is the contents topic

    const Topic* Find(std::u16string_view id) const;
};

class HelpSourceError : public std::runtime_error {
public:
    HelpSourceError(std::size_t line, const std::string& what);
    std::size_t line() const { return line_; }

private:
    std::size_t line_;
};

// Reads the UTF-8 source. Lines:
//   ; comment                        @title TEXT        @copyright TEXT
//   @book TITLE  (the topics that follow belong to it)  @endbook
//   @topic ID [NUMBER] TITLE         starts a topic; NUMBER is its context number
//   ## TEXT  a heading      * TEXT  a list item      a blank line ends a paragraph
// Other lines are the text of a paragraph, one line each; [[ID]] links to a topic by its title,
// [[ID|TEXT]] with TEXT. Throws HelpSourceError for anything else, and for a link to a topic that
// does not exist, an ID or a number used twice, or a source without topics.
HelpSource ParseHelpSource(std::string_view utf8);

// The link and plain text of a line, joined.
std::u16string PlainText(const Line& line);

}  // namespace qm::help
