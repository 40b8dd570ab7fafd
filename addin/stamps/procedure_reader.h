#pragma once
// What the function-description button stamps, from the caret in the code pane.
#include <cstdint>
#include <string>

#include "platform/ide/code_window.h"

namespace qm {

// What kind of procedure a declaration makes.
enum class ProcedureKind { Unknown, Sub, Function, PropertyGet, PropertyLet, PropertySet };

// Whether the procedure gives back a value (a Function, a Property Get).
inline bool ReturnsValue(ProcedureKind kind) { return kind == ProcedureKind::Function || kind == ProcedureKind::PropertyGet; }

// The kind as a declaration writes it ("Sub", "Property Get"); "procedure" where it is unknown.
const char* KindWord(ProcedureKind kind);

struct ProcedureInfo {
    ProcedureKind Kind = ProcedureKind::Unknown;
    std::u16string ProcName;
    std::int32_t BodyLine = 0;
    std::u16string Declaration;  // the declaration on one line, continuation marks dropped
};

enum class StampTarget { Nothing, ModuleHeader, Procedure };

struct ProcedureOutcome {
    StampTarget target = StampTarget::Nothing;
    ProcedureInfo info;
};

ProcedureOutcome ReadProcedureAtCursor(ide::CodePane& pane);

// The declaration starting at bodyLine, joined over its continuation lines.
std::u16string ReadDeclaration(ide::CodeModule& module, std::int32_t bodyLine);

// Sub or Function from the keyword in front of the name; Unknown when the declaration has neither.
ProcedureKind ClassifySubOrFunction(const std::u16string& declaration);

}  // namespace qm
