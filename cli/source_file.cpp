#include "cli/source_file.h"

#include <algorithm>

#include "platform/text.h"

namespace qm::cli {
namespace {

bool StartsWithWord(std::u16string_view line, std::u16string_view word) {
    line = TrimLeftBlanks(line);
    while (!line.empty() && line.front() == u'\t') line.remove_prefix(1);
    if (line.size() < word.size() || !EqualsIgnoreCase(line.substr(0, word.size()), word)) return false;
    return line.size() == word.size() || line[word.size()] == u' ' || line[word.size()] == u'\t';
}

bool IsIdentChar(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_' || c == u'.' || c >= 0x80;
}

// "Attribute name = value": a line the code window never shows.
bool IsAttributeLine(std::u16string_view line) {
    if (!StartsWithWord(line, u"Attribute")) return false;
    line = TrimLeftBlanks(line);
    std::size_t p = 9;
    while (p < line.size() && (line[p] == u' ' || line[p] == u'\t')) ++p;
    const std::size_t nameStart = p;
    while (p < line.size() && IsIdentChar(line[p])) ++p;
    if (p == nameStart) return false;
    while (p < line.size() && (line[p] == u' ' || line[p] == u'\t')) ++p;
    return p < line.size() && line[p] == u'=';
}

}  // namespace

SourceFile::SourceFile(std::string_view bytes, Encoding encoding, const Codepage& codepage) : encoding_(encoding), codepage_(codepage) {
    std::size_t start = 0;
    bool sawEol = false;
    while (start < bytes.size()) {
        const auto lf = bytes.find('\n', start);
        Entry entry;
        entry.origin = entries_.size();
        if (lf == std::string_view::npos) {
            entry.raw = std::string(bytes.substr(start));
            start = bytes.size();
        } else {
            std::size_t end = lf;
            entry.eol = Eol::Lf;
            if (end > start && bytes[end - 1] == '\r') {
                --end;
                entry.eol = Eol::CrLf;
            }
            entry.raw = std::string(bytes.substr(start, end - start));
            if (!sawEol) fileEol_ = entry.eol;
            sawEol = true;
            start = lf + 1;
        }
        entries_.push_back(std::move(entry));
    }

    std::vector<std::u16string> texts;
    texts.reserve(entries_.size());
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        std::string_view raw = entries_[i].raw;
        // A UTF-8 byte order mark stays in the file but is no part of the code.
        if (i == 0 && encoding_ == Encoding::Utf8 && raw.substr(0, 3) == "\xEF\xBB\xBF") raw.remove_prefix(3);
        bool valid = true;
        texts.push_back(encoding_ == Encoding::Utf8 ? Utf8ToUtf16(raw, &valid) : codepage_.FromAnsi(raw, &valid));
        if (!valid) {
            throw SourceError("line " + std::to_string(i + 1) + ": bytes that are not valid " +
                              (encoding_ == Encoding::Utf8 ? "UTF-8" : "in code page 932"));
        }
    }

    // The hidden header: VERSION, Object lines, BEGIN ... END blocks and attributes, in any order.
    std::size_t i = 0;
    while (i < texts.size()) {
        const std::u16string& t = texts[i];
        if (StartsWithWord(t, u"VERSION") || IsAttributeLine(t) || (StartsWithWord(t, u"Object") && t.find(u'=') != std::u16string::npos)) {
            ++i;
            continue;
        }
        if (StartsWithWord(t, u"Begin") || EqualsIgnoreCase(TrimBlanks(t), u"BEGIN")) {
            int depth = 0;
            do {
                const std::u16string& line = texts[i];
                if (StartsWithWord(line, u"Begin") || StartsWithWord(line, u"BeginProperty") ||
                    EqualsIgnoreCase(TrimBlanks(line), u"BEGIN")) {
                    ++depth;
                } else if (StartsWithWord(line, u"End") || StartsWithWord(line, u"EndProperty") ||
                           EqualsIgnoreCase(TrimBlanks(line), u"END") || EqualsIgnoreCase(TrimBlanks(line), u"EndProperty")) {
                    --depth;
                }
                ++i;
            } while (depth > 0 && i < texts.size());
            continue;
        }
        break;
    }
    headerLines_ = i;
    for (std::size_t k = 0; k < entries_.size(); ++k) {
        entries_[k].hidden = k < headerLines_ || IsAttributeLine(texts[k]);
        if (!entries_[k].hidden) moduleLines_.push_back(std::move(texts[k]));
    }
    Index();
}

void SourceFile::Index() {
    visible_.clear();
    for (std::size_t k = 0; k < entries_.size(); ++k) {
        if (!entries_[k].hidden) visible_.push_back(k);
    }
}

std::optional<std::int32_t> SourceFile::ModuleLineOf(std::size_t fileLine) const {
    if (fileLine < 1 || fileLine <= headerLines_) return std::nullopt;
    // Visible lines before and at this file line.
    std::int32_t line = 0;
    for (std::size_t k = 0; k < visible_.size() && visible_[k] < fileLine; ++k) line = static_cast<std::int32_t>(k) + 1;
    return line == 0 ? 1 : line;
}

std::string SourceFile::Encode(const std::u16string& text) const {
    return encoding_ == Encoding::Utf8 ? Utf16ToUtf8(text) : codepage_.ToAnsi(text);
}

void SourceFile::Insert(std::int32_t line, const std::vector<std::u16string>& lines) { InsertAll({{line, lines}}); }

void SourceFile::InsertAll(const std::vector<Insertion>& insertions) {
    // Where each goes in the file as it is; then one pass builds the new file, so that many
    // insertions (a whole module stamped) cost what one does.
    std::vector<std::pair<std::size_t, const Insertion*>> places;
    for (const Insertion& insertion : insertions) {
        const std::int32_t line = insertion.line;
        std::size_t at = headerLines_;
        if (line > 1 && static_cast<std::size_t>(line - 2) < visible_.size()) {
            // After the visible line before it, and after the hidden attribute lines that belong to that
            // line (a default member, a WithEvents variable): the environment reads an attribute only
            // directly under its declaration.
            at = visible_[static_cast<std::size_t>(line - 2)] + 1;
            while (at < entries_.size() && entries_[at].hidden) ++at;
        }
        if (line > 1 && static_cast<std::size_t>(line - 2) >= visible_.size()) at = entries_.size();
        if (!insertion.lines.empty()) places.emplace_back(at, &insertion);
    }
    std::stable_sort(places.begin(), places.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::size_t total = entries_.size();
    for (const auto& [at, insertion] : places) total += insertion->lines.size();
    std::vector<Entry> result;
    result.reserve(total);
    std::size_t next = 0;
    constexpr std::string_view bom = "\xEF\xBB\xBF";
    for (const auto& [at, insertion] : places) {
        while (next < at) result.push_back(std::move(entries_[next++]));
        std::vector<Entry> added;
        for (const auto& text : insertion->lines) added.push_back({Encode(text), fileEol_, false, kNewLine});
        // A byte order mark stays the first thing in the file.
        if (at == 0 && result.empty() && !entries_.empty() && encoding_ == Encoding::Utf8 &&
            std::string_view(entries_.front().raw).substr(0, 3) == bom) {
            entries_.front().raw.erase(0, 3);
            entries_.front().origin = kNewLine;
            added.front().raw.insert(0, bom);
        }
        // Appending to a file whose last line has no line break: that line gets one, the new last line none.
        if (at == entries_.size() && !result.empty() && result.back().eol == Eol::None) {
            result.back().eol = fileEol_;
            result.back().origin = kNewLine;
            added.back().eol = Eol::None;
        }
        for (auto& e : added) result.push_back(std::move(e));
    }
    while (next < entries_.size()) result.push_back(std::move(entries_[next++]));
    entries_ = std::move(result);
    Index();
}

std::size_t SourceFile::FileLineOf(std::int32_t line) const {
    if (line < 1 || static_cast<std::size_t>(line) > visible_.size()) return 0;
    return visible_[static_cast<std::size_t>(line - 1)] + 1;
}

void SourceFile::Replace(std::int32_t line, std::int32_t count, const std::vector<std::u16string>& lines) {
    if (line < 1 || count < 0 || static_cast<std::size_t>(line) - 1 + static_cast<std::size_t>(count) > visible_.size()) return;
    const std::size_t first = visible_[static_cast<std::size_t>(line - 1)];
    // The replaced lines run from the first to the last visible one named, hidden lines between them
    // included only when none are (they stay where they are otherwise).
    std::vector<std::size_t> doomed;
    doomed.reserve(static_cast<std::size_t>(count));
    for (std::int32_t k = 0; k < count; ++k) doomed.push_back(visible_[static_cast<std::size_t>(line) - 1 + static_cast<std::size_t>(k)]);
    const Eol eol = count > 0 ? entries_[doomed.back()].eol : fileEol_;
    // A line made again as it was stays the line it was, so that a difference shows only what changed.
    std::vector<Entry> old;
    old.reserve(doomed.size());
    for (const std::size_t d : doomed) old.push_back(entries_[d]);
    for (auto it = doomed.rbegin(); it != doomed.rend(); ++it) entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(*it));
    std::vector<Entry> added;
    added.reserve(lines.size());
    for (const auto& text : lines) added.push_back({Encode(text), fileEol_, false, kNewLine});
    if (!added.empty()) added.back().eol = eol == Eol::None ? Eol::None : added.back().eol;
    for (std::size_t k = 0; k < added.size() && k < old.size(); ++k) {
        if (added[k].raw == old[k].raw && added[k].eol == old[k].eol) added[k].origin = old[k].origin;
    }
    entries_.insert(entries_.begin() + static_cast<std::ptrdiff_t>(first), std::make_move_iterator(added.begin()),
                    std::make_move_iterator(added.end()));
    Index();
}

void SourceFile::AppendUtf8(std::string_view bytes, std::string& out) const {
    if (encoding_ == Encoding::Utf8) {
        out += bytes;
        return;
    }
    out += Utf16ToUtf8(codepage_.FromAnsi(bytes));
}

std::vector<LineAfter> SourceFile::LinesAfter() const {
    std::vector<LineAfter> lines;
    lines.reserve(entries_.size());
    for (const Entry& e : entries_) {
        lines.push_back({e.origin, e.raw.size() + (e.eol == Eol::CrLf ? 2 : e.eol == Eol::Lf ? 1 : 0)});
    }
    return lines;
}

std::string SourceFile::Render() const {
    std::string out;
    std::size_t total = 0;
    for (const Entry& e : entries_) total += e.raw.size() + 2;
    out.reserve(total);
    for (const Entry& e : entries_) {
        out += e.raw;
        if (e.eol == Eol::CrLf) out += "\r\n";
        if (e.eol == Eol::Lf) out += "\n";
    }
    return out;
}

}  // namespace qm::cli
