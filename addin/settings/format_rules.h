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
enum class FormatField { Indent, RulerSymbol, RulerCount, AuthorText, CustomItemName, EditorName };

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
// Page 60: the editor's name.
std::optional<FormatRefusal> CheckEditorName(std::u16string_view text);
// The custom item dialog: full-width characters only, 30 at most.
std::optional<FormatRefusal> CheckCustomItemName(std::u16string_view name, const Codepage& codepage);

inline constexpr std::size_t kMaxCustomNameLength = 30;

// Texts that stand in a stamp line (names, the author, the editor, the ruler symbol, a file name):
// the first character that would end the line or make a line of its own in the code (CR, LF and
// every other control character but the tab, and the line and paragraph separators); npos when
// there is none. The stamps, the wizard, the settings commands and the command's options all ask this.
std::size_t FindLineBreaker(std::u16string_view text);
// The text as it may go into a stamp line: every such character becomes a blank, and a text longer
// than kMaxStampTextLength is cut there. What the stamps do with a stored value that holds one, so
// that none writes a line of its own into the code, nor a line wider than the wizard would make.
std::u16string StampLineText(std::u16string_view text);
inline constexpr std::size_t kMaxStampTextLength = 1000;  // as wide as the widest ruler
// The text with every such character shown as an escape (\r, \n, \x1b, \u2028), for messages.
std::u16string Escaped(std::u16string_view text);
// The refusal of a text that holds such a character, naming what it is.
std::optional<std::u16string> LineBreakerRefusal(std::u16string_view what, std::u16string_view text);

}  // namespace qm
