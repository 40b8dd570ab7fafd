#pragma once
// Unicode helpers that need no platform service.
#include <string>
#include <string_view>

namespace qm {

// UTF-8 to UTF-16. Malformed sequences become U+FFFD and clear *valid when given.
std::u16string Utf8ToUtf16(std::string_view bytes, bool* valid = nullptr);
// UTF-16 to UTF-8. A lone surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);

// Blanks (U+0020) removed at both ends, as VB's Trim does.
std::u16string_view TrimBlanks(std::u16string_view text);
std::u16string_view TrimLeftBlanks(std::u16string_view text);
std::u16string_view TrimRightBlanks(std::u16string_view text);

// ASCII-only case folding: enough for identifiers, registry and keyword comparisons.
char16_t FoldAscii(char16_t c);
bool EqualsIgnoreCase(std::u16string_view a, std::u16string_view b);
std::u16string FoldAscii(std::u16string_view text);

// Decimal text of a number, "-" for negatives.
std::u16string DecimalText(long long value);

}  // namespace qm
