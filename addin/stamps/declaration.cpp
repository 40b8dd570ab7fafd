#include "addin/stamps/declaration.h"

#include "platform/text.h"

namespace qm {
namespace {

bool IsWordChar(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_' || c >= 0x80;
}
bool IsSpace(char16_t c) { return c == u' ' || c == u'\t'; }
bool IsTypeSuffix(char16_t c) { return c == u'$' || c == u'%' || c == u'&' || c == u'!' || c == u'#' || c == u'@'; }

class Cursor {
public:
    explicit Cursor(std::u16string_view text) : text_(text) {}
    void SkipSpaces() {
        while (pos_ < text_.size() && IsSpace(text_[pos_])) ++pos_;
    }
    std::u16string_view Word() {
        SkipSpaces();
        const std::size_t start = pos_;
        while (pos_ < text_.size() && IsWordChar(text_[pos_])) ++pos_;
        return text_.substr(start, pos_ - start);
    }
    // The next word without taking it.
    std::u16string_view PeekWord() {
        const std::size_t saved = pos_;
        const std::u16string_view word = Word();
        pos_ = saved;
        return word;
    }
    char16_t Peek() const { return pos_ < text_.size() ? text_[pos_] : u'\0'; }
    void Take() { ++pos_; }
    bool AtEnd() const { return pos_ >= text_.size(); }
    std::size_t Pos() const { return pos_; }

private:
    std::u16string_view text_;
    std::size_t pos_ = 0;
};

bool Is(std::u16string_view word, std::u16string_view keyword) { return EqualsIgnoreCase(word, keyword); }

// The name an argument declares: the identifier after its modifiers, "()" kept for an array.
std::u16string ArgumentName(std::u16string_view argument) {
    Cursor c(argument);
    std::u16string_view word = c.Word();
    while (Is(word, u"Optional") || Is(word, u"ByVal") || Is(word, u"ByRef") || Is(word, u"ParamArray")) {
        word = c.Word();
    }
    if (word.empty()) return {};
    std::u16string name(word);
    if (IsTypeSuffix(c.Peek())) {
        name.push_back(c.Peek());
        c.Take();
    }
    c.SkipSpaces();
    if (c.Peek() == u'(') name += u"()";
    return name;
}

}  // namespace

ParsedDeclaration ParseDeclaration(std::u16string_view declaration) {
    ParsedDeclaration out;
    Cursor c(declaration);
    std::u16string_view word = c.Word();
    if (Is(word, u"Public") || Is(word, u"Private") || Is(word, u"Friend") || Is(word, u"Global")) word = c.Word();
    if (Is(word, u"Static")) word = c.Word();
    if (Is(word, u"Sub")) {
        out.keyword = u"Sub";
    } else if (Is(word, u"Function")) {
        out.keyword = u"Function";
    } else if (Is(word, u"Property")) {
        const std::u16string_view which = c.Word();
        if (Is(which, u"Get")) out.keyword = u"Property Get";
        if (Is(which, u"Let")) out.keyword = u"Property Let";
        if (Is(which, u"Set")) out.keyword = u"Property Set";
        if (out.keyword.empty()) return out;
    } else {
        return out;
    }
    out.name = std::u16string(c.Word());
    if (IsTypeSuffix(c.Peek())) c.Take();
    c.SkipSpaces();
    if (out.name.empty() || c.Peek() != u'(') return out;
    c.Take();

    // Split the list at the commas of its own level, outside strings.
    std::vector<std::u16string> arguments(1);
    int depth = 1;
    bool inString = false;
    for (std::size_t i = c.Pos(); i < declaration.size() && depth > 0; ++i) {
        const char16_t ch = declaration[i];
        if (inString) {
            if (ch == u'"') inString = false;
        } else if (ch == u'"') {
            inString = true;
        } else if (ch == u'(') {
            ++depth;
        } else if (ch == u')') {
            if (--depth == 0) break;
        } else if (ch == u',' && depth == 1) {
            arguments.emplace_back();
            continue;
        } else if (ch == u'\'' && depth == 1) {
            break;  // a comment ends an unclosed list
        }
        arguments.back().push_back(ch);
    }
    for (const std::u16string& argument : arguments) {
        if (TrimBlanks(argument).empty()) continue;
        out.hasArguments = true;
        std::u16string name = ArgumentName(argument);
        if (!name.empty()) out.argumentNames.push_back(std::move(name));
    }
    return out;
}

}  // namespace qm
