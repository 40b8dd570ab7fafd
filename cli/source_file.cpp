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

SourceFile::SourceFile(std::string_view bytes, Encoding encoding, const Codepage& codepage)
    : encoding_(encoding), codepage_(codepage), owned_(bytes) {
    Read();
}

SourceFile::SourceFile(const std::string* borrowed, std::string_view, Encoding encoding, const Codepage& codepage)
    : encoding_(encoding), codepage_(codepage), borrowed_(borrowed) {
    Read();
}

SourceFile SourceFile::Over(const std::string& bytes, Encoding encoding, const Codepage& codepage) {
    return SourceFile(&bytes, bytes, encoding, codepage);
}

std::string_view SourceFile::Raw(const Entry& entry) const {
    if (!entry.added) return Bytes().substr(entry.start, entry.size);
    return std::string_view(added_[entry.start / kBlock]).substr(entry.start % kBlock, entry.size);
}

SourceFile::Entry SourceFile::Add(const std::u16string& text) {
    return AddBytes(encoding_ == Encoding::Utf8 ? Utf16ToUtf8(text) : codepage_.ToAnsi(text));
}

SourceFile::Entry SourceFile::AddBytes(std::string_view bytes) {
    if (bytes.size() >= kLineLimit) throw SourceError("a line put in would be 256 MB or longer");
    // The bytes put in grow a block at a time, never copied to grow: a line stays within one block, and
    // a line longer than a block has one of its own. A place is the block's number times the block
    // size, plus the place in the block.
    // A block that is full takes nothing more, not even an empty line: its end is the next block's start.
    if (added_.empty() || added_.back().size() + bytes.size() > kBlock || added_.back().size() >= kBlock) {
        if ((added_.size() + 1) * kBlock >= kNoOrigin) throw SourceError("the file would grow too large");
        added_.emplace_back().reserve(std::max(kBlock, bytes.size()));
    }
    Entry entry;
    entry.start = static_cast<std::uint32_t>((added_.size() - 1) * kBlock + added_.back().size());
    entry.size = static_cast<std::uint32_t>(bytes.size());
    entry.eol = fileEol_;
    entry.added = true;
    added_.back() += bytes;
    return entry;
}

void SourceFile::Read() {
    const std::string_view bytes = Bytes();
    // Lines are counted and placed in 32 bits; a VB6 module is far smaller.
    if (bytes.size() >= kNoOrigin) throw SourceError("the file is too large (4 GB or more)");
    std::size_t lineCount = 0;
    for (const char c : bytes) lineCount += c == '\n' ? 1 : 0;
    entries_.reserve(lineCount + 1);
    std::size_t start = 0;
    bool sawEol = false;
    while (start < bytes.size()) {
        const auto lf = bytes.find('\n', start);
        if ((lf == std::string_view::npos ? bytes.size() : lf) - start >= kLineLimit) {
            throw SourceError("line " + std::to_string(entries_.size() + 1) + ": 256 MB or longer");
        }
        Entry entry;
        entry.origin = static_cast<std::uint32_t>(entries_.size());
        entry.start = static_cast<std::uint32_t>(start);
        if (lf == std::string_view::npos) {
            entry.size = static_cast<std::uint32_t>(bytes.size() - start);
            start = bytes.size();
        } else {
            std::size_t end = lf;
            entry.eol = Eol::Lf;
            if (end > start && bytes[end - 1] == '\r') {
                --end;
                entry.eol = Eol::CrLf;
            }
            entry.size = static_cast<std::uint32_t>(end - start);
            if (!sawEol) fileEol_ = entry.eol;
            sawEol = true;
            start = lf + 1;
        }
        entries_.push_back(entry);
    }
    linesRead_ = entries_.size();

    // Every line is made into text once, to find bytes the encoding does not allow and the attribute
    // lines; the text is not kept: a module line is made again whenever it is read.
    std::u16string text;
    for (std::size_t k = 0; k < entries_.size(); ++k) {
        bool valid = true;
        text = TextOf(k, &valid);
        if (!valid) {
            throw SourceError("line " + std::to_string(k + 1) + ": bytes that are not valid " +
                              (encoding_ == Encoding::Utf8 ? "UTF-8" : "in code page 932"));
        }
        entries_[k].hidden = IsAttributeLine(text);
    }

    // The hidden header: VERSION, Object lines, BEGIN ... END blocks and attributes, in any order.
    std::size_t i = 0;
    while (i < entries_.size()) {
        const std::u16string t = TextOf(i);
        if (StartsWithWord(t, u"VERSION") || IsAttributeLine(t) || (StartsWithWord(t, u"Object") && t.find(u'=') != std::u16string::npos)) {
            ++i;
            continue;
        }
        if (StartsWithWord(t, u"Begin") || EqualsIgnoreCase(TrimBlanks(t), u"BEGIN")) {
            int depth = 0;
            do {
                const std::u16string line = TextOf(i);
                if (StartsWithWord(line, u"Begin") || StartsWithWord(line, u"BeginProperty") ||
                    EqualsIgnoreCase(TrimBlanks(line), u"BEGIN")) {
                    ++depth;
                } else if (StartsWithWord(line, u"End") || StartsWithWord(line, u"EndProperty") ||
                           EqualsIgnoreCase(TrimBlanks(line), u"END") || EqualsIgnoreCase(TrimBlanks(line), u"EndProperty")) {
                    --depth;
                }
                ++i;
            } while (depth > 0 && i < entries_.size());
            continue;
        }
        break;
    }
    headerLines_ = i;
    for (std::size_t k = 0; k < headerLines_; ++k) entries_[k].hidden = true;
    Index();
}

std::u16string SourceFile::TextOf(std::size_t entry, bool* valid) const {
    std::string_view raw = Raw(entries_[entry]);
    // A UTF-8 byte order mark stays in the file but is no part of the code.
    if (entry == 0 && encoding_ == Encoding::Utf8 && raw.substr(0, 3) == "\xEF\xBB\xBF") raw.remove_prefix(3);
    if (std::all_of(raw.begin(), raw.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        if (valid != nullptr) *valid = true;
        return std::u16string(raw.begin(), raw.end());
    }
    return encoding_ == Encoding::Utf8 ? Utf8ToUtf16(raw, valid) : codepage_.FromAnsi(raw, valid);
}

void SourceFile::InsertLines(std::size_t at, const std::vector<std::u16string>& lines) {
    if (at > LineCount()) throw SourceError("there is no module line " + std::to_string(at + 1) + " to insert in front of");
    Insert(static_cast<std::int32_t>(at) + 1, lines);
}

void SourceFile::Index() {
    hidden_.clear();
    for (std::size_t k = 0; k < entries_.size(); ++k) {
        if (entries_[k].hidden) hidden_.push_back(static_cast<std::uint32_t>(k));
    }
}

std::size_t SourceFile::EntryOf(std::size_t line) const {
    // With k hidden entries in front of it, the line's entry is line + k. hidden_[j] - j, the visible
    // entries in front of the j-th hidden one, never falls: k is how many of them are line or fewer.
    std::size_t low = 0;
    std::size_t high = hidden_.size();
    while (low < high) {
        const std::size_t mid = low + (high - low) / 2;
        if (hidden_[mid] - mid <= line) {
            low = mid + 1;
        } else {
            high = mid;
        }
    }
    return line + low;
}

std::optional<std::int32_t> SourceFile::ModuleLineOf(std::size_t fileLine) const {
    if (fileLine < 1 || fileLine <= headerLines_) return std::nullopt;
    // Visible lines before and at this file line.
    const std::size_t through = std::min(fileLine, entries_.size());
    const auto hiddenThrough =
        static_cast<std::size_t>(std::lower_bound(hidden_.begin(), hidden_.end(), static_cast<std::uint32_t>(through)) - hidden_.begin());
    const std::size_t line = through - hiddenThrough;
    return line == 0 ? 1 : static_cast<std::int32_t>(line);
}

void SourceFile::Insert(std::int32_t line, const std::vector<std::u16string>& lines) { InsertAll({{line, lines}}); }

void SourceFile::InsertAll(const std::vector<Insertion>& insertions) {
    for (const Insertion& insertion : insertions) Stage(insertion.line, insertion.lines);
    InsertStaged();
}

void SourceFile::Stage(std::int32_t line, const std::vector<std::u16string>& lines) {
    if (lines.empty()) return;
    staged_.push_back({line, static_cast<std::uint32_t>(stagedLines_.size()), static_cast<std::uint32_t>(lines.size())});
    for (const auto& text : lines) {
        const Entry entry = Add(text);
        stagedLines_.push_back({entry.start, entry.size});
    }
}

void SourceFile::InsertStaged() {
    // Where each goes in the file as it is; then one pass builds the new file, so that many
    // insertions (a whole module stamped) cost what one does.
    std::vector<std::pair<std::size_t, const Staged*>> places;
    places.reserve(staged_.size());
    for (const Staged& staged : staged_) {
        const std::int32_t line = staged.line;
        std::size_t at = headerLines_;
        if (line > 1 && static_cast<std::size_t>(line - 2) < LineCount()) {
            // After the visible line before it, and after the hidden attribute lines that belong to that
            // line (a default member, a WithEvents variable): the environment reads an attribute only
            // directly under its declaration.
            at = EntryOf(static_cast<std::size_t>(line - 2)) + 1;
            while (at < entries_.size() && entries_[at].hidden) ++at;
        }
        if (line > 1 && static_cast<std::size_t>(line - 2) >= LineCount()) at = entries_.size();
        places.emplace_back(at, &staged);
    }
    std::stable_sort(places.begin(), places.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    const std::size_t read = entries_.size();
    const std::size_t total = read + stagedLines_.size();
    if (total >= kNoOrigin) throw SourceError("the file would grow too large");
    constexpr std::string_view bom = "\xEF\xBB\xBF";
    const bool bomFirst = read > 0 && encoding_ == Encoding::Utf8 && Raw(entries_.front()).substr(0, 3) == bom;
    const bool openEnd = read > 0 && entries_.back().eol == Eol::None;
    // The file grows in place, filled from its end: the lines read move back once, and the file is
    // never held twice.
    entries_.reserve(total);
    entries_.resize(total);
    std::size_t from = read;
    std::size_t to = total;
    std::size_t atStart = 0;  // lines put in front of the first line
    std::size_t atEnd = 0;    // lines put after the last line
    for (auto place = places.rbegin(); place != places.rend(); ++place) {
        const auto& [at, staged] = *place;
        while (from > at) entries_[--to] = entries_[--from];
        for (std::uint32_t k = staged->count; k > 0; --k) {
            const StagedLine& line = stagedLines_[staged->first + k - 1];
            Entry entry;
            entry.start = line.start;
            entry.size = line.size;
            entry.eol = fileEol_;
            entry.added = true;
            entries_[--to] = entry;
        }
        if (at == 0) atStart += staged->count;
        if (at == read) atEnd += staged->count;
    }
    // A byte order mark stays the first thing in the file.
    if (atStart > 0 && bomFirst) {
        Entry& old = entries_[atStart];
        old.start += 3;
        old.size -= 3;
        old.origin = kNoOrigin;
        std::string marked(bom);
        marked += Raw(entries_.front());
        entries_.front() = AddBytes(marked);
    }
    // Appending to a file whose last line has no line break: that line gets one, the new last line none.
    if (atEnd > 0 && openEnd) {
        Entry& old = entries_[total - atEnd - 1];
        old.eol = fileEol_;
        old.origin = kNoOrigin;
        entries_.back().eol = Eol::None;
    }
    staged_ = {};
    stagedLines_ = {};
    Index();
}

std::size_t SourceFile::FileLineOf(std::int32_t line) const {
    if (line < 1 || static_cast<std::size_t>(line) > LineCount()) return 0;
    return EntryOf(static_cast<std::size_t>(line - 1)) + 1;
}

void SourceFile::Replace(std::int32_t line, std::int32_t count, const std::vector<std::u16string>& lines) {
    if (line < 1 || count < 0 || static_cast<std::size_t>(line) - 1 + static_cast<std::size_t>(count) > LineCount()) return;
    if (count == 0) {
        // Nothing replaced: the lines go in before `line` (after the last line, where it is one past it).
        if (!lines.empty()) Insert(line, lines);
        return;
    }
    ReplaceAll({{line, count, lines}});
}

void SourceFile::ReplaceAll(std::vector<Replacement> replacements) {
    std::sort(replacements.begin(), replacements.end(), [](const Replacement& a, const Replacement& b) { return a.line < b.line; });
    std::int64_t next = 1;  // the first module line no replacement before has taken
    for (const Replacement& r : replacements) {
        if (r.count < 1 || r.line < next || static_cast<std::size_t>(r.line) - 1 + static_cast<std::size_t>(r.count) > LineCount()) {
            throw SourceError("replaced lines overlap or lie outside the module");
        }
        next = std::int64_t{r.line} + r.count;
    }
    if (replacements.empty()) return;
    // A byte order mark stays the first thing in the file, when its first line is made again too.
    constexpr std::string_view bom = "\xEF\xBB\xBF";
    const bool bomFirst = encoding_ == Encoding::Utf8 && Raw(entries_.front()).substr(0, 3) == bom;
    const auto marked = [&](const Entry& entry) {
        Entry withMark = AddBytes(std::string(bom) + std::string(Raw(entry)));
        withMark.eol = entry.eol;
        return withMark;
    };
    // The new list is made once: the lines in front of each replacement, its new lines, then the
    // hidden lines that stood among the replaced ones (they stay, after the new ones).
    std::size_t total = entries_.size();
    for (const Replacement& r : replacements) total = total - static_cast<std::size_t>(r.count) + r.lines.size();
    if (total >= kNoOrigin) throw SourceError("the file would grow too large");
    std::vector<Entry> made;
    made.reserve(total);
    std::size_t from = 0;
    for (const Replacement& r : replacements) {
        const std::size_t first = EntryOf(static_cast<std::size_t>(r.line - 1));
        const std::size_t last = EntryOf(static_cast<std::size_t>(r.line - 1 + r.count - 1));
        made.insert(made.end(), entries_.begin() + static_cast<std::ptrdiff_t>(from),
                    entries_.begin() + static_cast<std::ptrdiff_t>(first));
        // The replaced lines, visible ones only, in order: a line made again as it was stays the line it
        // was, so that a difference shows only what changed.
        std::vector<const Entry*> old;
        old.reserve(static_cast<std::size_t>(r.count));
        for (std::size_t k = first; k <= last; ++k) {
            if (!entries_[k].hidden) old.push_back(&entries_[k]);
        }
        const std::size_t start = made.size();
        for (const auto& text : r.lines) made.push_back(Add(text));
        // The last line of the file keeps having no line end.
        if (!r.lines.empty() && old.back()->eol == Eol::None) made.back().eol = Eol::None;
        if (first == 0 && bomFirst && !r.lines.empty()) made[start] = marked(made[start]);
        for (std::size_t k = 0; k < r.lines.size() && k < old.size(); ++k) {
            Entry& added = made[start + k];
            if (Raw(added) == Raw(*old[k]) && added.eol == old[k]->eol) added.origin = old[k]->origin;
        }
        for (std::size_t k = first; k <= last; ++k) {
            if (entries_[k].hidden) made.push_back(entries_[k]);
        }
        from = last + 1;
    }
    made.insert(made.end(), entries_.begin() + static_cast<std::ptrdiff_t>(from), entries_.end());
    // The first lines taken away: the mark goes on the line that is first now.
    if (bomFirst && !made.empty() && Raw(made.front()).substr(0, 3) != bom) made.front() = marked(made.front());
    entries_ = std::move(made);
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
        lines.push_back({e.origin == kNoOrigin ? kNewLine : e.origin, e.size + std::size_t{e.eol == Eol::CrLf ? 2u
                                                                                           : e.eol == Eol::Lf ? 1u
                                                                                                              : 0u}});
    }
    return lines;
}

bool SourceFile::Unchanged() const {
    if (!staged_.empty() || entries_.size() != linesRead_) return false;
    for (std::size_t k = 0; k < entries_.size(); ++k) {
        if (entries_[k].added || entries_[k].origin != k) return false;
    }
    return true;
}

void SourceFile::RenderTo(const std::function<void(std::string_view)>& put) const {
    for (const Entry& e : entries_) {
        put(Raw(e));
        if (e.eol == Eol::CrLf) put("\r\n");
        if (e.eol == Eol::Lf) put("\n");
    }
}

std::string SourceFile::Render() const {
    std::string out;
    std::size_t total = 0;
    for (const Entry& e : entries_) total += e.size + 2;
    out.reserve(total);
    RenderTo([&](std::string_view piece) { out += piece; });
    return out;
}

bool SourceFile::RendersAs(std::string_view bytes) const {
    std::size_t at = 0;
    bool same = true;
    RenderTo([&](std::string_view piece) {
        same = same && bytes.size() - at >= piece.size() && bytes.compare(at, piece.size(), piece) == 0;
        if (same) at += piece.size();
    });
    return same && at == bytes.size();
}

}  // namespace qm::cli
