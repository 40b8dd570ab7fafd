#include "cli/stamp_blocks.h"

#include <algorithm>
#include <set>

#include "addin/stamps/declaration.h"
#include "addin/stamps/house_header.h"
#include "addin/stamps/procedure_reader.h"
#include "platform/text.h"

namespace qm::cli {

std::vector<StampedProcedure> FindProcedures(ide::TextCodeModule& module) {
    std::vector<StampedProcedure> found;
    std::set<std::pair<int, std::u16string>> seen;
    const auto& lines = module.AllLines();
    for (const ide::ProcedureRegion& region : module.Procedures()) {
        if (!seen.emplace(static_cast<int>(region.kind), FoldAscii(region.name)).second) continue;
        StampedProcedure p;
        p.region = region;
        p.declaration = ReadDeclaration(module, region.bodyLine);
        const std::u16string_view first = TrimBlanks(p.declaration);
        p.isPublic = !(first.size() >= 7 && EqualsIgnoreCase(first.substr(0, 7), u"Private") &&
                       (first.size() == 7 || first[7] == u' ' || first[7] == u'\t'));
        const StampBlock block = StampBlockAbove(lines, region.bodyLine);
        p.blockFirst = block.first;
        p.blockLast = block.last;
        p.hasStamp = block.isStamp;
        p.houseHeader = block.first != 0 && !block.isStamp && IsHouseHeader(lines, block.first, block.last);
        p.noCheck = block.first != 0 && HoldsNoCheck(lines, block.first, block.last);
        found.push_back(std::move(p));
    }
    return found;
}

ProcedureInfo InfoOf(const StampedProcedure& procedure) {
    ProcedureInfo info;
    info.ProcName = procedure.region.name;
    info.BodyLine = procedure.region.bodyLine;
    info.Declaration = procedure.declaration;
    switch (procedure.region.kind) {
        case ide::vbext_pk_Get:
            info.Kind = ProcedureKind::PropertyGet;
            break;
        case ide::vbext_pk_Let:
            info.Kind = ProcedureKind::PropertyLet;
            break;
        case ide::vbext_pk_Set:
            info.Kind = ProcedureKind::PropertySet;
            break;
        default:
            info.Kind = ClassifySubOrFunction(procedure.declaration);
            break;
    }
    return info;
}

}  // namespace qm::cli
