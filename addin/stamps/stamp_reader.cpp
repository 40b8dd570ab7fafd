#include "addin/stamps/stamp_reader.h"

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

bool Holds(const std::vector<std::u16string>& lines, std::int32_t first, std::int32_t last, std::u16string_view mark) {
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

StampBlock StampBlockAbove(const std::vector<std::u16string>& lines, std::int32_t declarationLine) {
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

bool HasModuleHeader(const std::vector<std::u16string>& lines) {
    std::int32_t last = 0;
    while (static_cast<std::size_t>(last) < lines.size() && IsCommentLine(lines[static_cast<std::size_t>(last)])) ++last;
    return Holds(lines, 1, last, kHeaderMark);
}

std::vector<StampItem> ReadStampItems(const std::vector<std::u16string>& lines, std::int32_t first, std::int32_t last) {
    std::vector<StampItem> items;
    bool open = false;
    for (std::int32_t l = first; l >= 1 && l <= last && static_cast<std::size_t>(l) <= lines.size(); ++l) {
        const std::u16string_view text = CommentText(lines[static_cast<std::size_t>(l - 1)]);
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

std::vector<std::u16string> ArgumentNamesShown(const StampItem& item) {
    std::vector<std::u16string> names;
    for (const auto& value : item.values) {
        const std::u16string_view v = TrimAll(value);
        if (v.empty() || v == u"なし") continue;
        const auto dash = v.find(u" -");
        names.emplace_back(TrimAll(dash == std::u16string_view::npos ? v : v.substr(0, dash)));
    }
    return names;
}

std::vector<std::u16string> ItemNamesOfKind(const FormatModel& model, AttributeKind itemKind) {
    std::vector<std::u16string> names;
    for (const auto& row : model.ItemList) {
        if (row.kind == itemKind) names.push_back(row.name);
    }
    return names;
}

}  // namespace qm
