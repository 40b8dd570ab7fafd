#include "cli/stamp_blocks.h"

#include <algorithm>

#include "addin/stamps/declaration.h"
#include "addin/stamps/house_header.h"
#include "addin/stamps/procedure_reader.h"
#include "platform/text.h"

namespace qm::cli {

namespace {

// Regions by kind, then by name as VB compares names (ASCII letters in either case).
bool Before(const ide::ProcedureRegion& a, const ide::ProcedureRegion& b) {
    if (a.kind != b.kind) return a.kind < b.kind;
    const std::size_t n = std::min(a.name.size(), b.name.size());
    for (std::size_t i = 0; i < n; ++i) {
        const char16_t x = FoldAscii(a.name[i]);
        const char16_t y = FoldAscii(b.name[i]);
        if (x != y) return x < y;
    }
    return a.name.size() < b.name.size();
}

// Which regions repeat one before them: a sorted list of their numbers, not a set of names, so that
// a module of many procedures costs four bytes each.
std::vector<bool> Repeated(const std::vector<ide::ProcedureRegion>& regions) {
    std::vector<std::uint32_t> order(regions.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = static_cast<std::uint32_t>(i);
    std::stable_sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) { return Before(regions[a], regions[b]); });
    std::vector<bool> repeated(regions.size());
    for (std::size_t k = 1; k < order.size(); ++k) {
        if (!Before(regions[order[k - 1]], regions[order[k]])) repeated[order[k]] = true;
    }
    return repeated;
}

}  // namespace

void ForEachProcedure(ide::TextCodeModule& module, const std::function<void(const StampedProcedure&)>& visit) {
    const auto lines = module.AllLines();
    const std::vector<ide::ProcedureRegion>& regions = module.Procedures();
    const std::vector<bool> repeated = Repeated(regions);
    for (std::size_t r = 0; r < regions.size(); ++r) {
        if (repeated[r]) continue;
        const ide::ProcedureRegion& region = regions[r];
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
        visit(p);
    }
}

std::vector<StampedProcedure> FindProcedures(ide::TextCodeModule& module) {
    std::vector<StampedProcedure> found;
    found.reserve(module.Procedures().size());
    ForEachProcedure(module, [&](const StampedProcedure& p) { found.push_back(p); });
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

std::vector<ReturnValueMismatch> ReturnValueMismatches(TextLines lines, const StampedProcedure& procedure, const FormatModel& model) {
    std::vector<ReturnValueMismatch> found;
    if (!procedure.hasStamp) return found;
    const ProcedureKind kind = InfoOf(procedure).Kind;
    const bool returns = ReturnsValue(kind);
    const std::string what = std::string("the ") + KindWord(kind);
    for (const StampItem& item : ReadStampItems(lines, procedure.blockFirst, procedure.blockLast)) {
        // The format's return-value rows of this name; the first decides what the format writes.
        const ItemAttribute* attributes = nullptr;
        for (std::size_t r = 0; r < model.ItemList.size() && r < kMaxItemRows && attributes == nullptr; ++r) {
            if (model.ItemList[r].kind == kind::kReturnValue && model.ItemList[r].name == item.name) attributes = &model.ItemAttributes[r];
        }
        if (attributes == nullptr) continue;
        const std::u16string_view value = TrimBlanks(item.values.front());
        const bool oneLine = item.values.size() == 1;
        const bool none = oneLine && value == u"なし";
        if (returns && none) {
            found.push_back({item, "return value says なし, but " + what + " returns a value", true});
        } else if (!returns && attributes->Attr1 == 1 && !none) {
            if (oneLine && value.empty()) {
                found.push_back({item, "return value is empty, but " + what + " returns nothing (the format writes なし)", true});
            } else {
                std::string text;
                for (const auto& v : item.values) {
                    if (!text.empty()) text += ' ';
                    text += Utf16ToUtf8(TrimBlanks(v));
                }
                found.push_back({item, "return value says \"" + text + "\", but " + what + " returns nothing", false});
            }
        }
    }
    return found;
}

const ListedArgument* EntryOf(const std::u16string& name, const std::vector<ListedArgument>& stamped,
                              const std::vector<std::u16string>& declared) {
    for (const ListedArgument& entry : stamped) {
        if (entry.name == name) return &entry;
    }
    if (stamped.size() != declared.size()) return nullptr;
    const auto at = std::find(declared.begin(), declared.end(), name);
    if (at == declared.end()) return nullptr;
    const ListedArgument& there = stamped[static_cast<std::size_t>(at - declared.begin())];
    // The stamp's name at that position must be gone: otherwise the arguments were reordered, not renamed.
    if (std::find(declared.begin(), declared.end(), there.name) != declared.end()) return nullptr;
    return &there;
}

}  // namespace qm::cli
