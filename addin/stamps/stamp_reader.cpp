#include "addin/stamps/stamp_reader.h"

#include <algorithm>

#include "addin/stamps/function_stamp.h"
#include "platform/text.h"

namespace qm {
namespace {

std::u16string_view TrimAll(std::u16string_view text) {
    while (!text.empty() && (text.front() == u' ' || text.front() == u'\t' || text.front() == u'\u3000')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == u' ' || text.back() == u'\t' || text.back() == u'\u3000')) text.remove_suffix(1);
    return text;
}

// A comment's text, without its mark.
std::u16string_view CommentText(std::u16string_view line) {
    line = TrimLeftBlanks(line);
    while (!line.empty() && line.front() == u'\t') line.remove_prefix(1);
    if (!line.empty() && line.front() == u'\'') return line.substr(1);
    return line.size() > 3 ? line.substr(4) : std::u16string_view();
}

bool Holds(TextLines lines, std::int32_t first, std::int32_t last, std::u16string_view mark) {
    for (std::int32_t l = first; l >= 1 && l <= last; ++l) {
        if (lines[static_cast<std::size_t>(l - 1)].find(mark) != std::u16string::npos) return true;
    }
    return false;
}

}  // namespace

bool IsCommentLine(std::u16string_view line) {
    line = TrimAll(line);
    if (!line.empty() && line.front() == u'\'') return true;
    return line.size() >= 3 && EqualsIgnoreCase(line.substr(0, 3), u"Rem") && (line.size() == 3 || line[3] == u' ' || line[3] == u'\t');
}

StampBlock StampBlockAbove(TextLines lines, std::int32_t declarationLine) {
    StampBlock block;
    std::int32_t top = declarationLine;
    while (top - 1 >= 1 && static_cast<std::size_t>(top - 1) <= lines.size() && IsCommentLine(lines[static_cast<std::size_t>(top - 2)])) {
        --top;
    }
    if (top < declarationLine) {
        block.first = top;
        block.last = declarationLine - 1;
        block.isStamp = Holds(lines, block.first, block.last, kFunctionMark);
    }
    return block;
}

bool HasModuleHeader(TextLines lines) {
    std::int32_t last = 0;
    while (static_cast<std::size_t>(last) < lines.size() && IsCommentLine(lines[static_cast<std::size_t>(last)])) ++last;
    return Holds(lines, 1, last, kHeaderMark);
}

std::vector<StampItem> ReadStampItems(TextLines lines, std::int32_t first, std::int32_t last) {
    std::vector<StampItem> items;
    bool open = false;
    for (std::int32_t l = first; l >= 1 && l <= last && static_cast<std::size_t>(l) <= lines.size(); ++l) {
        const std::u16string held = lines[static_cast<std::size_t>(l - 1)];
        const std::u16string_view text = CommentText(held);
        const std::u16string_view trimmed = TrimAll(text);
        const auto colon = text.find(u": ");
        const bool itemLine = colon != std::u16string_view::npos && !TrimAll(text.substr(0, colon)).empty() && trimmed.find(u"@(") != 0;
        if (itemLine) {
            items.push_back({std::u16string(TrimAll(text.substr(0, colon))), {std::u16string(text.substr(colon + 2))}, l, l});
            open = true;
        } else if (open && !trimmed.empty() && trimmed.find_first_not_of(u"-=*_~#") != std::u16string_view::npos) {
            items.back().values.emplace_back(trimmed);
            items.back().lastLine = l;
        } else {
            open = false;
        }
    }
    return items;
}

std::u16string NameShown(std::u16string_view value) {
    value = TrimAll(value);
    if (const auto bracket = value.find(u" ["); bracket != std::u16string_view::npos) value = value.substr(0, bracket);
    if (value.size() >= 2 && value.substr(value.size() - 2) == u"()") value.remove_suffix(2);
    return std::u16string(TrimAll(value));
}

namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\u3000'; }

// How far the text stands in: a blank one column, an ideographic space two, a tab four.
int IndentColumns(std::u16string_view text) {
    int columns = 0;
    for (const char16_t c : text) {
        if (c == u' ') {
            columns += 1;
        } else if (c == u'\u3000') {
            columns += 2;
        } else if (c == u'\t') {
            columns += 4;
        } else {
            break;
        }
    }
    return columns;
}

bool IsAsciiAlnum(char16_t c) { return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }

// A line of one or two repeated symbols, as a ruler is made ("-", "=", "*", "■", "ー").
bool IsRulerText(std::u16string_view trimmed) {
    if (trimmed.size() < 3) return false;
    char16_t first = 0;
    char16_t second = 0;
    for (const char16_t c : trimmed) {
        if (IsBlank(c)) continue;
        if (IsAsciiAlnum(c) || (c >= 0x3040 && c <= 0x30ff && c != u'ー') || (c >= 0x4e00 && c <= 0x9fff)) return false;
        if (first == 0 || c == first) {
            first = c;
        } else if (second == 0 || c == second) {
            second = c;
        } else {
            return false;
        }
    }
    return true;
}

// "@(f)", "@(h)", "@(s)" or another mark of that form at the start.
bool StartsWithMark(std::u16string_view trimmed) {
    return trimmed.size() >= 4 && trimmed[0] == u'@' && trimmed[1] == u'(' && trimmed[3] == u')';
}

// Where an item's name ends: ": ", a full-width colon, or a ":" right after a name of one word
// ("機能      :text", as some teams write it; "09:30" is no name).
std::size_t ItemColon(std::u16string_view text) {
    const auto half = text.find(u": ");
    const auto full = text.find(u'：');
    std::size_t colon = std::min(half, full);
    const auto bare = text.find(u':');
    if (bare < colon) {
        const std::u16string_view name = TrimAll(text.substr(0, bare));
        const bool oneWord = std::none_of(name.begin(), name.end(), [](char16_t c) { return c == u' ' || c == u'\t'; });
        if (!name.empty() && oneWord && !(name.back() >= u'0' && name.back() <= u'9')) colon = bare;
    }
    return colon;
}

bool PlausibleItemName(std::u16string_view name) {
    if (name.empty() || name.size() > 30 || name.front() == u'-' || name.front() == u'@') return false;
    if (name.find(u" -") != std::u16string_view::npos) return false;
    int words = 1;
    for (const char16_t c : name) words += (c == u' ' || c == u'\t') ? 1 : 0;
    return words <= 3;
}

// Where the " -" of an argument line ("name -" or "ARGn -", then what the argument is for) stands
// in the trimmed text; npos when the text is no argument line.
std::size_t ArgumentDash(std::u16string_view value) {
    for (std::size_t p = value.find(u" -"); p != std::u16string_view::npos; p = value.find(u" -", p + 1)) {
        if (p + 2 < value.size() && !IsBlank(value[p + 2])) continue;
        const std::u16string_view name = TrimAll(value.substr(0, p));
        if (name.empty() || std::any_of(name.begin(), name.end(), IsBlank)) return std::u16string_view::npos;
        return p;
    }
    return std::u16string_view::npos;
}

bool ReadArgumentLine(std::u16string_view value, StampArgument& argument) {
    value = TrimAll(value);
    const std::size_t p = ArgumentDash(value);
    if (p == std::u16string_view::npos) return false;
    argument.name = std::u16string(TrimAll(value.substr(0, p)));
    argument.description = std::u16string(TrimAll(value.substr(p + 2)));
    return true;
}

void ReadArguments(ReadItem& item, const std::vector<std::u16string>& argumentItems) {
    std::vector<std::u16string_view> values;
    for (const auto& v : item.values) {
        if (!TrimAll(v).empty()) values.push_back(TrimAll(v));
    }
    const bool known = std::find(argumentItems.begin(), argumentItems.end(), item.name) != argumentItems.end();
    if (values.size() == 1 && values.front() == u"なし") {
        item.listsArguments = known;
        return;
    }
    std::vector<StampArgument> arguments;
    bool allLines = !values.empty();
    for (const auto v : values) {
        StampArgument argument;
        if (ReadArgumentLine(v, argument)) {
            arguments.push_back(std::move(argument));
        } else if (!arguments.empty()) {
            auto& description = arguments.back().description;
            if (!description.empty()) description += u'\n';
            description.append(v);
            allLines = false;
        } else {
            allLines = false;
            if (!known) return;
        }
    }
    const bool numbered = !arguments.empty() && arguments.front().name.rfind(u"ARG", 0) == 0;
    if (known || (allLines && (arguments.size() > 1 || numbered))) {
        item.arguments = std::move(arguments);
        item.listsArguments = true;
    }
}

}  // namespace

std::vector<ListedArgument> ArgumentsListed(const StampItem& item) {
    std::vector<ListedArgument> listed;
    for (std::size_t k = 0; k < item.values.size(); ++k) {
        const std::u16string& value = item.values[k];
        const std::u16string_view v = TrimAll(value);
        if (v.empty() || v == u"なし") continue;
        const std::size_t dash = ArgumentDash(v);
        if (dash != std::u16string_view::npos) {
            const std::size_t at = static_cast<std::size_t>(v.data() - value.data()) + dash;
            listed.push_back({std::u16string(TrimAll(v.substr(0, dash))), value.substr(at + 2), {}});
        } else if (!listed.empty()) {
            listed.back().continuation.push_back(item.firstLine + static_cast<std::int32_t>(k));
        } else {
            listed.push_back({std::u16string(v), {}, {}});
        }
    }
    return listed;
}

std::vector<std::u16string> ArgumentNamesShown(const StampItem& item) {
    std::vector<std::u16string> names;
    for (ListedArgument& argument : ArgumentsListed(item)) names.push_back(std::move(argument.name));
    return names;
}

ReadStamp ReadStampLayout(TextLines lines, std::int32_t first, std::int32_t last, const std::vector<std::u16string>& argumentItems) {
    ReadStamp stamp;
    bool open = false;  // the last line belonged to an item
    int nameColumn = -1;
    for (std::int32_t l = std::max(first, 1); l <= last && static_cast<std::size_t>(l) <= lines.size(); ++l) {
        const std::u16string held = lines[static_cast<std::size_t>(l - 1)];
        const std::u16string_view line = held;
        if (!IsCommentLine(line)) {
            open = false;
            continue;
        }
        const std::u16string_view text = CommentText(line);
        const std::u16string_view trimmed = TrimAll(text);
        if (trimmed.empty() || IsRulerText(trimmed)) {
            open = false;
            continue;
        }
        if (StartsWithMark(trimmed)) {
            const std::u16string_view rest = TrimAll(trimmed.substr(4));
            if (!rest.empty()) stamp.text.push_back({l, std::u16string(rest)});
            open = false;
            continue;
        }
        const int column = IndentColumns(text);
        // Deeper than the names: it goes on with the value above (a ": " in front of it, as a
        // person may line the value up under the first, is left out).
        if (open && column > nameColumn + 1) {
            std::u16string_view more = trimmed;
            if (more.size() >= 2 && (more[0] == u':' || more[0] == u'：') && IsBlank(more[1])) more = TrimAll(more.substr(1));
            stamp.items.back().values.emplace_back(more);
            stamp.items.back().lastLine = l;
            continue;
        }
        const std::size_t colon = ItemColon(text);
        const std::u16string_view name = colon == std::u16string_view::npos ? std::u16string_view() : TrimAll(text.substr(0, colon));
        if (PlausibleItemName(name)) {
            const std::size_t after = colon + (text[colon] == u':' && colon + 1 < text.size() && text[colon + 1] == u' ' ? 2 : 1);
            ReadItem item;
            item.name = std::u16string(name);
            item.values.emplace_back(after < text.size() ? TrimAll(text.substr(after)) : std::u16string_view());
            item.firstLine = item.lastLine = l;
            stamp.items.push_back(std::move(item));
            if (nameColumn < 0) nameColumn = column;
            open = true;
        } else if (open) {
            stamp.items.back().values.emplace_back(trimmed);
            stamp.items.back().lastLine = l;
        } else {
            stamp.text.push_back({l, std::u16string(trimmed)});
        }
    }
    for (ReadItem& item : stamp.items) ReadArguments(item, argumentItems);
    return stamp;
}

ModuleHeaderRead ReadModuleHeader(TextLines lines) {
    ModuleHeaderRead header;
    // The comment lines before the code, blank lines between them included, up to a block that holds
    // a function-description stamp.
    std::int32_t last = 0;
    std::int32_t blockStart = 1;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::u16string held = lines[i];
        const std::u16string_view line = held;
        if (TrimAll(line).empty()) {
            blockStart = static_cast<std::int32_t>(i + 2);
            continue;
        }
        if (!IsCommentLine(line)) break;
        if (line.find(kFunctionMark) != std::u16string_view::npos) {
            last = blockStart > 1 ? blockStart - 1 : static_cast<std::int32_t>(i);
            break;
        }
        last = static_cast<std::int32_t>(i + 1);
    }
    std::int32_t markLine = 0;
    for (std::int32_t l = 1; l <= last && markLine == 0; ++l) {
        if (lines[static_cast<std::size_t>(l - 1)].find(kHeaderMark) != std::u16string::npos) markLine = l;
    }
    if (markLine == 0) return header;
    header.found = true;
    header.firstLine = 1;
    header.lastLine = last;
    const std::u16string markHeld = lines[static_cast<std::size_t>(markLine - 1)];
    const std::u16string_view markText = markHeld;
    const std::u16string_view title = TrimAll(markText.substr(markText.find(kHeaderMark) + 4));
    header.title = std::u16string(title);
    // FILE  ver 1.0 ( 'YY.MM.DD USERNAME )
    const auto ver = title.find(u" ver ");
    if (ver == std::u16string_view::npos) {
        header.file = std::u16string(title.substr(0, std::min(title.size(), title.find(u' '))));
    } else {
        header.file = std::u16string(TrimAll(title.substr(0, ver)));
        const std::u16string_view rest = title.substr(ver + 5);
        const auto open = rest.find(u'(');
        header.version = std::u16string(TrimAll(rest.substr(0, open)));
        if (open != std::u16string_view::npos) {
            const auto close = rest.rfind(u')');
            std::u16string_view inside = TrimAll(
                rest.substr(open + 1, close == std::u16string_view::npos || close < open ? std::u16string_view::npos : close - open - 1));
            const auto blank = inside.find(u' ');
            header.date = std::u16string(inside.substr(0, blank));
            if (blank != std::u16string_view::npos) header.author = std::u16string(TrimAll(inside.substr(blank)));
        }
    }
    header.body = ReadStampLayout(lines, 1, last, {});
    std::erase_if(header.body.text, [&](const StampText& t) { return t.line == markLine; });
    return header;
}

namespace {

// The width of a text as the code page counts it: a half-width character 1, any other 2.
std::size_t AnsiWidth(std::u16string_view text) {
    std::size_t width = 0;
    for (const char16_t c : text) width += (c < 0x80 || (c >= 0xff61 && c <= 0xff9f)) ? 1 : 2;
    return width;
}

bool IsDateChar(char16_t c) { return (c >= u'0' && c <= u'9') || c == u'.' || c == u'/' || c == u'-'; }

void SplitMarker(std::u16string_view content, EditRecord& record) {
    std::u16string time;
    if (content.size() >= 9 && content[content.size() - 9] == u' ' && content[content.size() - 6] == u':' &&
        content[content.size() - 3] == u':') {
        time = std::u16string(content.substr(content.size() - 8));
        content.remove_suffix(9);
    }
    std::size_t start = content.size();
    int digits = 0;
    while (start > 0 && IsDateChar(content[start - 1])) {
        --start;
        digits += content[start] >= u'0' && content[start] <= u'9' ? 1 : 0;
    }
    if (digits >= 4) {
        if (start >= 2 && content.substr(start - 2, 2) == u"H.") {
            start -= 2;
        } else if (start >= 1 && content[start - 1] == u'H') {
            start -= 1;
        }
        if (start >= 1 && content[start - 1] == u'\'') --start;
        record.date = std::u16string(content.substr(start));
        content = content.substr(0, start);
    }
    if (!time.empty()) {
        if (!record.date.empty()) record.date += u' ';
        record.date += time;
    }
    record.editor = std::u16string(TrimAll(content));
}

}  // namespace

std::vector<EditRecord> ReadEditRecords(TextLines lines) {
    std::vector<EditRecord> records;
    std::vector<std::pair<std::size_t, std::size_t>> open;  // record, width of its marker
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::u16string held = lines[i];
        const std::u16string_view t = TrimAll(held);
        if (t.size() < 2 || t[0] != u'\'' || t[1] != u'-') continue;
        const auto dashes = t.find_first_not_of(u'-', 1);
        if (dashes == std::u16string_view::npos) {
            // A closing line closes the innermost open marker of its width.
            for (auto it = open.rbegin(); it != open.rend(); ++it) {
                if (it->second == AnsiWidth(t)) {
                    records[it->first].closeLine = static_cast<std::int32_t>(i + 1);
                    open.erase(std::next(it).base());
                    break;
                }
            }
            continue;
        }
        const auto close = t.rfind(u'>');
        if (t[dashes] != u'<' || close == std::u16string_view::npos || close + 1 >= t.size() || t.back() != u'-' ||
            t.find_first_not_of(u'-', close + 1) != std::u16string_view::npos) {
            continue;
        }
        EditRecord record;
        record.openLine = static_cast<std::int32_t>(i + 1);
        SplitMarker(t.substr(dashes + 1, close - dashes - 1), record);
        open.emplace_back(records.size(), AnsiWidth(t));
        records.push_back(std::move(record));
    }
    return records;
}

std::vector<std::u16string> ItemNamesOfKind(const FormatModel& model, AttributeKind itemKind) {
    std::vector<std::u16string> names;
    for (const auto& row : model.ItemList) {
        if (row.kind == itemKind) names.push_back(row.name);
    }
    return names;
}

}  // namespace qm
