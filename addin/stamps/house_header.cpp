#include "addin/stamps/house_header.h"

#include "addin/stamps/stamp_reader.h"

namespace qm {
namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\u3000'; }

// A comment's text without its mark and the blanks around it; nothing for a line that is no comment.
std::u16string_view CommentBody(std::u16string_view line) {
    if (!IsCommentLine(line)) return {};
    while (!line.empty() && IsBlank(line.front())) line.remove_prefix(1);
    line.remove_prefix(line.front() == u'\'' ? 1 : 3);
    while (!line.empty() && IsBlank(line.front())) line.remove_prefix(1);
    while (!line.empty() && IsBlank(line.back())) line.remove_suffix(1);
    return line;
}

constexpr std::u16string_view kNoCheck = u"quillmark: no-check";
constexpr std::size_t kMaxLabel = 20;

}  // namespace

bool IsHouseHeaderLine(std::u16string_view line) {
    const std::u16string_view body = CommentBody(line);
    bool letter = false;
    std::size_t length = 0;
    for (std::size_t i = 0; i < body.size(); ++i) {
        const char16_t c = body[i];
        // An ASCII colon ends a label only before a blank or the line's end ("http://..." is no label).
        if (c == u'：' || (c == u':' && (i + 1 == body.size() || IsBlank(body[i + 1])))) return letter && length <= kMaxLabel;
        const bool ascii = c < 0x80;
        const bool asciiLetter = (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
        if (asciiLetter || !ascii) {
            if (c == u'（' || c == u'）' || c == u'・' || c == u'\u3000') {
                // punctuation and blanks a label may hold, but no letters
            } else {
                letter = true;
            }
        } else if (!((c >= u'0' && c <= u'9') || c == u' ' || c == u'\t' || c == u'_' || c == u'-' || c == u'(' || c == u')')) {
            return false;
        }
        if (++length > kMaxLabel) return false;
    }
    return false;
}

bool IsNoCheckLine(std::u16string_view line) {
    const std::u16string_view body = CommentBody(line);
    return body.substr(0, kNoCheck.size()) == kNoCheck && (body.size() == kNoCheck.size() || IsBlank(body[kNoCheck.size()]));
}

bool IsHouseHeader(TextLines lines, std::int32_t first, std::int32_t last) {
    for (std::int32_t l = first; l >= 1 && l <= last && static_cast<std::size_t>(l) <= lines.size(); ++l) {
        const std::u16string held = lines[static_cast<std::size_t>(l - 1)];
        const std::u16string_view line = held;
        if (IsHouseHeaderLine(line) && !IsNoCheckLine(line) && CommentBody(line).substr(0, 10) != u"quillmark:") return true;
    }
    return false;
}

bool HoldsNoCheck(TextLines lines, std::int32_t first, std::int32_t last) {
    for (std::int32_t l = first; l >= 1 && l <= last && static_cast<std::size_t>(l) <= lines.size(); ++l) {
        if (IsNoCheckLine(lines[static_cast<std::size_t>(l - 1)])) return true;
    }
    return false;
}

}  // namespace qm
