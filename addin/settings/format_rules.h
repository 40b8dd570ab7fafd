#pragma once
// The checks the wizard makes before a format may be saved, as routines of their own, so that the
// wizard, its custom item dialog and the quillmark command refuse the same values with the same
// messages.
#include <optional>
#include <string>
#include <string_view>

#include "platform/codepage.h"

namespace qm {

// Which field a refusal is about, so that the wizard can put the focus there.
enum class FormatField { Indent, RulerSymbol, RulerCount, AuthorText, CustomItemName };

struct FormatRefusal {
    FormatField field;
    std::u16string message;
};

// The integer test of the wizard: the shortest decimal form of a whole number of at most 15 digits.
bool IsWholeNumber(std::u16string_view text, long long* value);

// Page 14: the indent, and the ruler when it is on.
std::optional<FormatRefusal> CheckAppearance(std::u16string_view indent, bool rulerOn, std::u16string_view symbol,
                                             std::u16string_view count, const Codepage& codepage);
// Page 12: an author's text; "[" and "]" would break the stored value's groups.
std::optional<FormatRefusal> CheckAuthorText(std::u16string_view text);
// The custom item dialog: full-width characters only, 30 at most.
std::optional<FormatRefusal> CheckCustomItemName(std::u16string_view name, const Codepage& codepage);

inline constexpr std::size_t kMaxCustomNameLength = 30;

}  // namespace qm
