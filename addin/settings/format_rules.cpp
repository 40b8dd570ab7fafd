#include "addin/settings/format_rules.h"

#include <algorithm>

#include "platform/text.h"

namespace qm {

namespace {
constexpr char16_t kNoControlCharacters[] = u"改行などの制御文字は入力できません。";
}  // namespace

bool IsWholeNumber(std::u16string_view text, long long* value) {
    const std::u16string_view t = TrimBlanks(text);
    std::size_t p = 0;
    if (!t.empty() && t[0] == u'-') p = 1;
    const std::u16string_view digits = t.substr(p);
    if (digits.empty() || digits.size() > 15) return false;
    for (const char16_t c : digits) {
        if (c < u'0' || c > u'9') return false;
    }
    if (digits.size() > 1 && digits[0] == u'0') return false;
    if (p == 1 && digits == u"0") return false;
    long long v = 0;
    for (const char16_t c : digits) v = v * 10 + (c - u'0');
    *value = p == 1 ? -v : v;
    return true;
}

std::optional<FormatRefusal> CheckAppearance(std::u16string_view indent, bool rulerOn, std::u16string_view symbol,
                                             std::u16string_view count, const Codepage& codepage) {
    long long number = 0;
    if (TrimBlanks(indent).empty()) return FormatRefusal{FormatField::Indent, u"数値を入力して下さい。"};
    if (!IsWholeNumber(indent, &number)) return FormatRefusal{FormatField::Indent, u"数値以外の文字は入力できません。"};
    if (number > 30) return FormatRefusal{FormatField::Indent, u"30以上の数値は入力できません。"};
    if (!rulerOn) return std::nullopt;
    if (TrimBlanks(symbol).empty()) return FormatRefusal{FormatField::RulerSymbol, u"記号文字を入力して下さい。"};
    if (FindLineBreaker(symbol) != std::u16string_view::npos) return FormatRefusal{FormatField::RulerSymbol, kNoControlCharacters};
    if (TrimBlanks(count).empty()) return FormatRefusal{FormatField::RulerCount, u"数値を入力して下さい。"};
    if (!IsWholeNumber(count, &number)) return FormatRefusal{FormatField::RulerCount, u"数値以外の文字は入力できません。"};
    const auto bytes = static_cast<long long>(codepage.ByteLength(TrimBlanks(symbol)));
    if (bytes * number > 1000) {
        return FormatRefusal{FormatField::RulerCount, u"1000文字以上の結果になる数値は入力できません。この場合の数値指定は " +
                                                          DecimalText(1000 / bytes) + u"までです。"};
    }
    return std::nullopt;
}

std::optional<FormatRefusal> CheckAuthorText(std::u16string_view text) {
    if (text.find_first_of(u"[]") != std::u16string_view::npos) {
        return FormatRefusal{FormatField::AuthorText, u"'['または、']'の記号文字は都合により使用できません。"};
    }
    if (FindLineBreaker(text) != std::u16string_view::npos) return FormatRefusal{FormatField::AuthorText, kNoControlCharacters};
    return std::nullopt;
}

std::optional<FormatRefusal> CheckEditorName(std::u16string_view text) {
    if (FindLineBreaker(text) != std::u16string_view::npos) return FormatRefusal{FormatField::EditorName, kNoControlCharacters};
    return std::nullopt;
}

std::optional<FormatRefusal> CheckCustomItemName(std::u16string_view name, const Codepage& codepage) {
    // Every character must take two bytes in the code page.
    if (!codepage.CanEncode(name) || codepage.ByteLength(name) != name.size() * 2) {
        return FormatRefusal{FormatField::CustomItemName, u"全角以外の文字は使用できません。"};
    }
    if (name.size() > kMaxCustomNameLength) {
        return FormatRefusal{FormatField::CustomItemName, u"項目名が長すぎます。全角30文字以内にしてください。"};
    }
    return std::nullopt;
}

namespace {
bool BreaksLine(char16_t c) { return (c < 0x20 && c != u'\t') || (c >= 0x7f && c <= 0x9f) || c == 0x2028 || c == 0x2029; }
}  // namespace

std::size_t FindLineBreaker(std::u16string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (BreaksLine(text[i])) return i;
    }
    return std::u16string_view::npos;
}

std::u16string StampLineText(std::u16string_view text) {
    std::size_t length = std::min(text.size(), kMaxStampTextLength);
    // Never half of a pair of surrogates.
    if (length < text.size() && length > 0 && text[length - 1] >= 0xd800 && text[length - 1] <= 0xdbff) --length;
    std::u16string out(text.substr(0, length));
    for (char16_t& c : out) {
        if (BreaksLine(c)) c = u' ';
    }
    return out;
}

std::u16string Escaped(std::u16string_view text) {
    static constexpr char16_t kHex[] = u"0123456789abcdef";
    std::u16string out;
    out.reserve(text.size());
    for (const char16_t c : text) {
        if (!BreaksLine(c)) {
            out.push_back(c);
        } else if (c == u'\r') {
            out += u"\\r";
        } else if (c == u'\n') {
            out += u"\\n";
        } else if (c < 0x100) {
            out += u"\\x";
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 15]);
        } else {
            out += u"\\u";
            for (int shift = 12; shift >= 0; shift -= 4) out.push_back(kHex[(c >> shift) & 15]);
        }
    }
    return out;
}

std::optional<std::u16string> LineBreakerRefusal(std::u16string_view what, std::u16string_view text) {
    if (FindLineBreaker(text) == std::u16string_view::npos) return std::nullopt;
    return std::u16string(what) + u" \"" + Escaped(text) +
           u"\" holds a line break or another control character, which would put a line of its own into the code";
}

}  // namespace qm
