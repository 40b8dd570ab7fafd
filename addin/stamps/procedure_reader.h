#pragma once
// What the function-description button stamps, from the caret in the code pane.
#include <cstdint>
#include <string>

#include "platform/ide/code_window.h"

namespace qm {

struct ProcedureInfo {
    std::u16string KindCode;  // "MS" Sub, "MF" Function, "G", "L", "S" property; empty when unknown
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

// "MS" or "MF" from the keyword in front of the name; empty when the declaration has neither.
std::u16string ClassifySubOrFunction(const std::u16string& declaration);

}  // namespace qm
