#pragma once
// The function-description stamp above a procedure, and the module header.
#include <string>

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

// The blanks after the comment mark; a negative indent gives none.
std::u16string IndentBlanks(const FormatModel& model);
// "'" and the ruler symbol repeated as often as the format says.
std::u16string RulerLine(const FormatModel& model);

std::u16string FormatArgumentItem(const std::u16string& declaration, const ItemAttribute& attributes,
                                  const std::u16string& indent, const std::u16string& padAll,
                                  const Codepage& codepage);
std::u16string ComposeFunctionStamp(const ProcedureInfo& info, const StampContext& context);
std::u16string ComposeModuleHeader(const std::u16string& filePath, const StampContext& context);

// The function-description button's command on a code pane.
void RunFunctionStamp(ide::CodePane& pane, const StampContext& context);
// Inserts the stamp for an outcome already read; the command's second half.
void ApplyFunctionStamp(ide::CodePane& pane, const ProcedureOutcome& outcome, const StampContext& context);

}  // namespace qm
