#pragma once
// Stamps already in a module: which procedures have one, whether the module has a header, and the
// items a stamp holds, so that whole projects can be stamped once, checked and refreshed.
#include <cstdint>
#include <string>
#include <vector>

#include "addin/settings/format_model.h"
#include "addin/stamps/procedure_reader.h"
#include "platform/ide/text_code_module.h"

namespace qm::cli {

struct StampedProcedure {
    ide::ProcedureRegion region;
    std::u16string declaration;  // joined over its continuation lines
    bool isPublic = true;        // Public, Friend, or no scope keyword
    // The comment block directly above the declaration (module lines; 0 when there is none), and
    // whether it holds a "@(f)" line: then the procedure has a stamp.
    std::int32_t blockFirst = 0;
    std::int32_t blockLast = 0;
    bool hasStamp = false;
};

// Every procedure once, in module order: two declarations of one procedure (in #If branches) count as
// the first.
std::vector<StampedProcedure> FindProcedures(ide::TextCodeModule& module);

// The module's visible code starts with a comment block holding "@(h)".
bool HasModuleHeader(const std::vector<std::u16string>& lines);

// What the stamp of the procedure is made from, as the button reads it.
ProcedureInfo InfoOf(const StampedProcedure& procedure);

// One item of a stamp: "'" indent NAME padding ": " VALUE, and the lines that continue it.
struct StampItem {
    std::u16string name;
    std::vector<std::u16string> values;  // the first line's value, then each continuation line's text
    std::int32_t firstLine = 0;          // module lines
    std::int32_t lastLine = 0;
};
std::vector<StampItem> ReadStampItems(const std::vector<std::u16string>& lines, std::int32_t first, std::int32_t last);

// The name an item of the function-name kind shows ("Name()", "Name [ﾌﾟﾛﾊﾟﾃｨ Get]" give "Name").
std::u16string NameShown(std::u16string_view value);
// The argument names an argument item lists by name ("なし" and an empty item list none).
std::vector<std::u16string> ArgumentNamesShown(const StampItem& item);

// The rows of the format's items of a kind.
std::vector<std::u16string> ItemNamesOfKind(const FormatModel& model, AttributeKind kind);

}  // namespace qm::cli
