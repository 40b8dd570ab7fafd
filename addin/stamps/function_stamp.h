#pragma once
// The function-description stamp above a procedure, and the module header.
#include <string>
#include <vector>

#include "addin/settings/format_model.h"
#include "addin/stamps/procedure_reader.h"
#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/ide/code_window.h"

namespace qm {

// What one stamp is made from: the format, the moment and the byte widths.
struct StampContext {
    const FormatModel& model;
    LocalDateTime now;
    const Codepage& codepage;
};

// What the wizard lets through; a stored format beyond it (a damaged or hand-edited store) is taken
// within these limits, and the stamp is still made.
inline constexpr int kMaxIndent = 30;
inline constexpr std::size_t kMaxRulerBytes = 1000;

// The blanks after the comment mark; a negative indent gives none, and at most kMaxIndent.
std::u16string IndentBlanks(const FormatModel& model);
// "'" and the ruler symbol repeated as often as the format says, the repetitions taking at most
// kMaxRulerBytes bytes as the wizard counts them (the symbol without its outer blanks).
std::u16string RulerLine(const FormatModel& model, const Codepage& codepage);

std::u16string FormatArgumentItem(const std::u16string& declaration, const ItemAttribute& attributes, const std::u16string& indent,
                                  const std::u16string& padAll, const Codepage& codepage);

// The marks by which a stamp is known again: a function-description stamp holds a line with
// kFunctionMark, a module header kHeaderMark, and its summary kSummaryMark.
inline constexpr char16_t kFunctionMark[] = u"@(f)";
inline constexpr char16_t kHeaderMark[] = u"@(h)";
inline constexpr char16_t kSummaryMark[] = u"@(s)";

// One line of a stamp, and the row of the format's ItemList whose item it shows (every line of a
// multi-line item carries the row); kNoItem for the rulers, the mark and the blank comment lines.
struct StampLine {
    static constexpr int kNoItem = -1;
    std::u16string text;
    int row = kNoItem;
    friend bool operator==(const StampLine&, const StampLine&) = default;
};

// The stamp as lines, for a caller that works on the structure (stamp every procedure, refresh).
std::vector<StampLine> ComposeFunctionStampLines(const ProcedureInfo& info, const StampContext& context);
// The lines as the code window takes them: CR LF between them.
std::u16string JoinStampLines(const std::vector<StampLine>& lines);
std::vector<std::u16string> StampLineTexts(const std::vector<StampLine>& lines);
std::u16string ComposeFunctionStamp(const ProcedureInfo& info, const StampContext& context);
std::u16string ComposeModuleHeader(const std::u16string& filePath, const StampContext& context);

// The function-description button's command on a code pane.
void RunFunctionStamp(ide::CodePane& pane, const StampContext& context);
// Inserts the stamp for an outcome already read; the command's second half.
void ApplyFunctionStamp(ide::CodePane& pane, const ProcedureOutcome& outcome, const StampContext& context);

}  // namespace qm
