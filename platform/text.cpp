#include "platform/text.h"

#include <cstdint>

namespace qm {

Utf8Character DecodeUtf8(std::string_view bytes, std::size_t at) {
    const auto b0 = static_cast<unsigned char>(bytes[at]);
    if (b0 < 0x80) return {1, b0};
    std::size_t length = 0;
    char32_t least = 0;
    char32_t code = 0;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        length = 2;
        least = 0x80;
        code = b0 & 0x1Fu;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        length = 3;
        least = 0x800;
        code = b0 & 0x0Fu;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        length = 4;
        least = 0x10000;
        code = b0 & 0x07u;
    } else {
        return {};
    }
    if (bytes.size() - at < length) return {};
    for (std::size_t k = 1; k < length; ++k) {
        const auto b = static_cast<unsigned char>(bytes[at + k]);
        if ((b & 0xC0u) != 0x80u) return {};
        code = (code << 6) | (b & 0x3Fu);
    }
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return {};
    return {length, code};
}

std::u16string Utf8ToUtf16(std::string_view bytes, bool* valid) {
    std::u16string out;
    out.reserve(bytes.size());
    bool ok = true;
    for (std::size_t i = 0; i < bytes.size();) {
        const Utf8Character c = DecodeUtf8(bytes, i);
        if (c.length == 0) {
            ok = false;
            out.push_back(u'\uFFFD');
            ++i;
            continue;
        }
        if (c.code >= 0x10000) {
            const char32_t rest = c.code - 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (rest >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (rest & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(c.code));
        }
        i += c.length;
    }
    if (valid != nullptr) *valid = ok;
    return out;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

std::string Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        AppendUtf8(out, cp);
    }
    return out;
}

std::u16string_view TrimLeftBlanks(std::u16string_view text) {
    const auto first = text.find_first_not_of(u' ');
    return first == std::u16string_view::npos ? std::u16string_view() : text.substr(first);
}

std::u16string_view TrimRightBlanks(std::u16string_view text) {
    const auto last = text.find_last_not_of(u' ');
    return last == std::u16string_view::npos ? std::u16string_view() : text.substr(0, last + 1);
}

std::u16string_view TrimBlanks(std::u16string_view text) { return TrimRightBlanks(TrimLeftBlanks(text)); }

char16_t FoldAscii(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c; }

bool EqualsIgnoreCase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
    }
    return true;
}

std::u16string FoldAscii(std::u16string_view text) {
    std::u16string out(text);
    for (auto& c : out) c = FoldAscii(c);
    return out;
}

std::u16string DecimalText(long long value) {
    const std::string digits = std::to_string(value);
    return std::u16string(digits.begin(), digits.end());
}

const char* HtmlEntityOf(char c) {
    switch (c) {
        case '&':
            return "&amp;";
        case '<':
            return "&lt;";
        case '>':
            return "&gt;";
        case '"':
            return "&quot;";
        case '\'':
            return "&#39;";
        default:
            return nullptr;
    }
}

}  // namespace qm
