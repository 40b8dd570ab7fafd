#pragma once
// The procedures of a text module with the stamps already above them, so that whole projects can be
// stamped once, checked and refreshed; the stamps themselves are read by the core's stamp reader.
#include <cstdint>
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

// What the stamp of the procedure is made from, as the button reads it.
ProcedureInfo InfoOf(const StampedProcedure& procedure);

}  // namespace qm::cli
