#pragma once
// The procedures of a text module with the stamps already above them, so that whole projects can be
// stamped once, checked and refreshed; the stamps themselves are read by the core's stamp reader.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "addin/settings/format_model.h"
#include "addin/stamps/procedure_reader.h"
#include "addin/stamps/stamp_reader.h"
#include "platform/sim/text_code_module.h"

namespace qm::cli {

struct StampedProcedure {
    ide::ProcedureRegion region;
    std::u16string declaration;  // joined over its continuation lines
    bool isPublic = true;        // Public, Friend, or no scope keyword
    // The comment block directly above the declaration (module lines; 0 when there is none), and
    // whether it is a stamp.
    std::int32_t blockFirst = 0;
    std::int32_t blockLast = 0;
    bool hasStamp = false;
    // The block is no stamp but a header of the project's own; the block holds the no-check line.
    bool houseHeader = false;
    bool noCheck = false;
};

// Every procedure once, in module order: two declarations of one procedure (in #If branches) count as
// the first.
std::vector<StampedProcedure> FindProcedures(ide::TextCodeModule& module);
// The same one at a time, so that a large module's procedures are never all held besides it.
void ForEachProcedure(ide::TextCodeModule& module, const std::function<void(const StampedProcedure&)>& visit);

// What the stamp of the procedure is made from, as the button reads it.
ProcedureInfo InfoOf(const StampedProcedure& procedure);

// A return-value item of a stamp that the declaration contradicts: "なし" on a procedure that gives
// back a value, or no "なし" on one that does not where the format writes it. mendable: the item
// holds only what a stamp writes (no text of a person), so that it may be made again.
struct ReturnValueMismatch {
    StampItem item;
    std::string message;
    bool mendable = false;
};
std::vector<ReturnValueMismatch> ReturnValueMismatches(TextLines lines, const StampedProcedure& procedure, const FormatModel& model);

// The stamp's entry an argument of the declaration keeps: the one of its name, or, when it was
// renamed in place (the same number of arguments, and the name at its position in the stamp is
// gone from the declaration), the one at its position. Null when it has none.
const ListedArgument* EntryOf(const std::u16string& name, const std::vector<ListedArgument>& stamped,
                              const std::vector<std::u16string>& declared);

}  // namespace qm::cli
