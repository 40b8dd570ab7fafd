#include "platform/sim/text_code_module.h"

#include <algorithm>
#include <iterator>
#include <optional>
#include <stdexcept>

#include "platform/failure.h"
#include "platform/text.h"

namespace qm::ide {
namespace {

bool IsWordChar(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_' || c >= 0x80;
}

bool IsSpace(char16_t c) { return c == u' ' || c == u'\t'; }

// Reads the words of a statement one at a time.
class Words {
public:
    explicit Words(std::u16string_view text) : text_(text) {}
    std::u16string_view Next() {
        while (pos_ < text_.size() && IsSpace(text_[pos_])) ++pos_;
        const std::size_t start = pos_;
        while (pos_ < text_.size() && IsWordChar(text_[pos_])) ++pos_;
        return text_.substr(start, pos_ - start);
    }
    std::u16string_view Rest() const { return text_.substr(pos_); }

private:
    std::u16string_view text_;
    std::size_t pos_ = 0;
};

bool Is(std::u16string_view word, std::u16string_view keyword) { return EqualsIgnoreCase(word, keyword); }

bool IsBlankOrComment(std::u16string_view statement) {
    std::size_t p = 0;
    while (p < statement.size() && IsSpace(statement[p])) ++p;
    if (p == statement.size() || statement[p] == u'\'') return true;
    Words words(statement);
    return Is(words.Next(), u"Rem");
}

struct Declaration {
    std::u16string name;
    vbext_ProcKind kind;
};

std::optional<Declaration> ParseDeclaration(std::u16string_view statement) {
    Words words(statement);
    std::u16string_view word = words.Next();
    if (Is(word, u"Public") || Is(word, u"Private") || Is(word, u"Friend") || Is(word, u"Global")) word = words.Next();
    if (Is(word, u"Static")) word = words.Next();
    vbext_ProcKind kind = vbext_pk_Proc;
    if (Is(word, u"Property")) {
        const std::u16string_view which = words.Next();
        if (Is(which, u"Get")) {
            kind = vbext_pk_Get;
        } else if (Is(which, u"Let")) {
            kind = vbext_pk_Let;
        } else if (Is(which, u"Set")) {
            kind = vbext_pk_Set;
        } else {
            return std::nullopt;
        }
    } else if (!Is(word, u"Sub") && !Is(word, u"Function")) {
        return std::nullopt;
    }
    const std::u16string_view name = words.Next();
    if (name.empty()) return std::nullopt;
    return Declaration{std::u16string(name), kind};
}

bool IsProcedureEnd(std::u16string_view statement) {
    Words words(statement);
    if (!Is(words.Next(), u"End")) return false;
    const std::u16string_view what = words.Next();
    return Is(what, u"Sub") || Is(what, u"Function") || Is(what, u"Property");
}

bool Continues(std::u16string_view line) {
    const std::u16string_view trimmed = TrimRightBlanks(line);
    return !trimmed.empty() && trimmed.back() == u'_' && (trimmed.size() == 1 || IsSpace(trimmed[trimmed.size() - 2]));
}

}  // namespace


std::u16string TextComponent::FileNames(std::int16_t index) {
    if (failing_ || index != 1) throw PlatformError("FileNames: no such file index");
    return path_;
}

TextCodeModule::TextCodeModule(const std::vector<std::u16string>& lines, std::u16string path) : component_(std::move(path)) {
    std::size_t length = 0;
    for (const auto& line : lines) length += line.size();
    own_.text.reserve(length);
    own_.starts.reserve(lines.size() + 1);
    for (const auto& line : lines) own_.Append(line);
}

TextCodeModule::TextCodeModule(LineBuffer lines, std::u16string path) : own_(std::move(lines)), component_(std::move(path)) {}

TextCodeModule::TextCodeModule(LineSource& lines, std::u16string path) : elsewhere_(&lines), component_(std::move(path)) {}

std::vector<std::u16string> TextCodeModule::SplitText(std::u16string_view text) {
    std::vector<std::u16string> lines;
    if (text.empty()) return lines;
    std::size_t start = 0;
    while (true) {
        const auto lf = text.find(u'\n', start);
        if (lf == std::u16string_view::npos) {
            lines.emplace_back(text.substr(start));
            break;
        }
        std::size_t end = lf;
        if (end > start && text[end - 1] == u'\r') --end;
        lines.emplace_back(text.substr(start, end - start));
        start = lf + 1;
    }
    return lines;
}

void TextCodeModule::Reachable() const {
    if (locked_) throw PlatformError("Can't perform operation since the project is protected.");
}

std::int32_t TextCodeModule::CountOfLines() {
    Reachable();
    return static_cast<std::int32_t>(Store().LineCount());
}

std::u16string TextCodeModule::Lines(std::int32_t start, std::int32_t count) {
    Reachable();
    const LineSource& lines = Store();
    const auto total = static_cast<std::int32_t>(lines.LineCount());
    if (start < 1 || count < 0 || start > total + 1 || static_cast<std::int64_t>(start) + count - 1 > total) {
        throw PlatformError("Lines: outside the module");
    }
    std::u16string out;
    for (std::int32_t i = start; i < start + count; ++i) {
        if (i > start) out += u"\r\n";
        out += lines.Line(static_cast<std::size_t>(i - 1));
    }
    return out;
}

void TextCodeModule::InsertLines(std::int32_t line, const std::u16string& text) {
    Reachable();
    if (readOnly_) throw PlatformError("InsertLines: the module cannot be edited");
    LineSource& lines = Store();
    if (line < 1 || line > static_cast<std::int32_t>(lines.LineCount()) + 1) throw PlatformError("InsertLines: bad line");
    std::vector<std::u16string> added = SplitText(text);
    if (added.empty()) added.emplace_back();  // an empty text is one empty line
    try {
        lines.InsertLines(static_cast<std::size_t>(line - 1), added);
    } catch (const std::length_error&) {
        throw PlatformError("InsertLines: the module is too long");
    }
    analysed_ = false;
}

void TextCodeModule::Analyse() {
    if (analysed_) return;
    procedures_.clear();
    std::int32_t lastDeclaration = 0;  // last line of the last declaration statement
    bool inside = false;
    const LineSource& lines = Store();
    const auto total = static_cast<std::int32_t>(lines.LineCount());
    std::int32_t line = 1;
    std::u16string statement;
    while (line <= total) {
        // One statement, over its continuation lines.
        const std::int32_t first = line;
        statement = lines.Line(static_cast<std::size_t>(line - 1));
        bool continues = Continues(statement);
        while (continues && line < total) {
            // Trimmed in place: copying the statement for every line would make a long one quadratic.
            while (!statement.empty() && IsSpace(statement.back())) statement.pop_back();
            statement.pop_back();
            ++line;
            statement += u" ";
            const std::u16string next = lines.Line(static_cast<std::size_t>(line - 1));
            continues = Continues(next);
            statement += next;
        }
        const std::int32_t last = line;
        ++line;
        if (IsBlankOrComment(statement)) continue;
        const auto declaration = ParseDeclaration(statement);
        if (declaration) {
            ProcedureRegion region{declaration->name, declaration->kind, 0, first, 0};
            if (inside) {
                // The previous procedure was never closed: it ends where this one is declared.
                procedures_.back().endLine = first - 1;
                region.startLine = first;
            } else {
                region.startLine = procedures_.empty() ? lastDeclaration + 1 : procedures_.back().endLine + 1;
            }
            procedures_.push_back(region);
            inside = true;
        } else if (inside && IsProcedureEnd(statement)) {
            procedures_.back().endLine = last;
            inside = false;
        } else if (!inside && procedures_.empty()) {
            lastDeclaration = last;
        }
    }
    if (procedures_.empty()) {
        // A module without procedures is all declarations.
        declarationLines_ = total;
    } else {
        declarationLines_ = lastDeclaration;
        procedures_.back().endLine = total;
    }
    analysed_ = true;
}

const std::vector<ProcedureRegion>& TextCodeModule::Procedures() {
    Analyse();
    return procedures_;
}

std::int32_t TextCodeModule::CountOfDeclarationLines() {
    Reachable();
    Analyse();
    return declarationLines_;
}

std::u16string TextCodeModule::ProcOfLine(std::int32_t line, vbext_ProcKind* kind) {
    Reachable();
    Analyse();
    if (line < 1 || line > static_cast<std::int32_t>(Store().LineCount())) throw PlatformError("ProcOfLine: bad line");
    // The regions follow one another in line order: the last that starts at or before the line holds
    // it, unless the line is past its end.
    const auto after = std::upper_bound(procedures_.begin(), procedures_.end(), line,
                                        [](std::int32_t l, const ProcedureRegion& region) { return l < region.startLine; });
    if (after == procedures_.begin() || line > std::prev(after)->endLine) return {};
    const ProcedureRegion& region = *std::prev(after);
    if (kind != nullptr) *kind = region.kind;
    return region.name;
}

const ProcedureRegion& TextCodeModule::Find(const std::u16string& name, vbext_ProcKind kind) {
    Reachable();
    Analyse();
    for (const ProcedureRegion& region : procedures_) {
        if (region.kind == kind && EqualsIgnoreCase(region.name, name)) return region;
    }
    throw PlatformError("no procedure of that name and kind");
}

std::int32_t TextCodeModule::ProcStartLine(const std::u16string& name, vbext_ProcKind kind) { return Find(name, kind).startLine; }

std::int32_t TextCodeModule::ProcBodyLine(const std::u16string& name, vbext_ProcKind kind) { return Find(name, kind).bodyLine; }

void TextCodePane::SetSelection(const Selection& selection) {
    const std::int32_t total = module_.CountOfLines();
    if (selection.startLine < 1 || selection.endLine < selection.startLine || selection.endLine > std::max(total, 1) ||
        selection.startColumn < 1 || selection.endColumn < 1) {
        throw PlatformError("SetSelection: outside the module");
    }
    selection_ = selection;
}

void TextCodePane::SetTopLine(std::int32_t line) {
    if (line < 1 || line > std::max(module_.CountOfLines(), 1)) throw PlatformError("TopLine: outside the module");
    topLine_ = line;
}

}  // namespace qm::ide
