#pragma once
// Unicode helpers that need no platform service.
#include <string>
#include <string_view>

namespace qm {

// One UTF-8 character at bytes[at]: its length and code point. The length is 0 where the bytes
// there are not one well-formed character (overlong forms, surrogates and values beyond Unicode
// included).
struct Utf8Character {
    std::size_t length = 0;
    char32_t code = 0;
};
Utf8Character DecodeUtf8(std::string_view bytes, std::size_t at);

// UTF-8 to UTF-16. Malformed sequences become U+FFFD and clear *valid when given.
std::u16string Utf8ToUtf16(std::string_view bytes, bool* valid = nullptr);
// UTF-16 to UTF-8. A lone surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);
// Appends one code point (at most U+10FFFF) as UTF-8.
void AppendUtf8(std::string& out, char32_t cp);

// Blanks (U+0020) removed at both ends, as VB's Trim does.
std::u16string_view TrimBlanks(std::u16string_view text);
std::u16string_view TrimLeftBlanks(std::u16string_view text);
std::u16string_view TrimRightBlanks(std::u16string_view text);

// ASCII-only case folding: enough for identifiers, registry and keyword comparisons.
char16_t FoldAscii(char16_t c);
bool EqualsIgnoreCase(std::u16string_view a, std::u16string_view b);
std::u16string FoldAscii(std::u16string_view text);

// The entity an HTML page writes for a character of its markup (& < > " '), or nullptr for any
// other byte. Safe on UTF-8 and on code page 932 alike: no trail byte is one of these.
const char* HtmlEntityOf(char c);

// Decimal text of a number, "-" for negatives.
std::u16string DecimalText(long long value);

}  // namespace qm
