#include "addin/stamps/procedure_reader.h"

#include <array>

#include "addin/stamps/declaration.h"
#include "platform/failure.h"
#include "platform/text.h"

namespace qm {

std::u16string ReadDeclaration(ide::CodeModule& module, std::int32_t bodyLine) {
    std::u16string declaration;
    const auto count = Attempt([&] { return module.CountOfLines(); }).value_or(bodyLine);
    for (std::int32_t line = bodyLine; line <= count; ++line) {
        const auto text = Attempt([&] { return module.Lines(line, 1); });
        if (!text) break;
        const std::u16string_view trimmed = TrimBlanks(*text);
        if (!trimmed.empty() && trimmed.back() == u'_') {
            declaration += trimmed.substr(0, trimmed.size() - 1);
            continue;
        }
        declaration += trimmed;
        break;
    }
    return declaration;
}

ProcedureKind ClassifySubOrFunction(const std::u16string& declaration) {
    const ParsedDeclaration parsed = ParseDeclaration(declaration);
    if (parsed.keyword == u"Sub") return ProcedureKind::Sub;
    if (parsed.keyword == u"Function") return ProcedureKind::Function;
    return ProcedureKind::Unknown;
}

ProcedureOutcome ReadProcedureAtCursor(ide::CodePane& pane) {
    ProcedureOutcome outcome;
    const auto selection = Attempt([&] { return pane.GetSelection(); });
    if (!selection) return outcome;
    const std::int32_t c = selection->startLine;
    ide::CodeModule* module = nullptr;
    if (!Attempt([&] { module = &pane.GetCodeModule(); })) return outcome;

    const auto declarations = Attempt([&] { return module->CountOfDeclarationLines(); });
    if (declarations && *declarations >= c) {
        outcome.target = StampTarget::ModuleHeader;
        return outcome;
    }
    const std::u16string name = Attempt([&] { return module->ProcOfLine(c, nullptr); }).value_or(u"");

    ProcedureInfo& info = outcome.info;
    info.ProcName = name;
    if (const auto start = Attempt([&] { return module->ProcStartLine(name, ide::vbext_pk_Proc); })) {
        // The first line of a procedure's region gives the module header only at the top of the
        // module: for the first procedure, with no procedure's region before it. A later procedure
        // whose region starts at the caret (its declaration right under the last End Sub, or the one
        // blank or comment line between two procedures) is stamped.
        if (*start >= c && *start - 1 <= declarations.value_or(0)) {
            outcome.target = StampTarget::ModuleHeader;
            return outcome;
        }
        const auto body = Attempt([&] { return module->ProcBodyLine(name, ide::vbext_pk_Proc); });
        if (!body) return outcome;
        info.BodyLine = *body;
        info.Declaration = ReadDeclaration(*module, info.BodyLine);
        info.Kind = ClassifySubOrFunction(info.Declaration);
        outcome.target = StampTarget::Procedure;
        return outcome;
    }

    // A property: the kind whose region starts last above the caret.
    struct Candidate {
        ide::vbext_ProcKind kind;
        ProcedureKind code;
    };
    static const std::array<Candidate, 3> kinds = {{{ide::vbext_pk_Get, ProcedureKind::PropertyGet},
                                                    {ide::vbext_pk_Let, ProcedureKind::PropertyLet},
                                                    {ide::vbext_pk_Set, ProcedureKind::PropertySet}}};
    const Candidate* chosen = nullptr;
    std::int32_t chosenStart = 0;
    for (const Candidate& candidate : kinds) {
        const std::int32_t start = Attempt([&] { return module->ProcStartLine(name, candidate.kind); }).value_or(0);
        if (start > 0 && start < c && start > chosenStart) {
            chosen = &candidate;
            chosenStart = start;
        }
    }
    if (chosen == nullptr) return outcome;
    const auto body = Attempt([&] { return module->ProcBodyLine(name, chosen->kind); });
    if (!body) return outcome;
    info.BodyLine = *body;
    info.Kind = chosen->code;
    info.Declaration = ReadDeclaration(*module, info.BodyLine);
    outcome.target = StampTarget::Procedure;
    return outcome;
}

const char* KindWord(ProcedureKind kind) {
    switch (kind) {
        case ProcedureKind::Sub:
            return "Sub";
        case ProcedureKind::Function:
            return "Function";
        case ProcedureKind::PropertyGet:
            return "Property Get";
        case ProcedureKind::PropertyLet:
            return "Property Let";
        case ProcedureKind::PropertySet:
            return "Property Set";
        case ProcedureKind::Unknown:
            break;
    }
    return "procedure";
}

}  // namespace qm
