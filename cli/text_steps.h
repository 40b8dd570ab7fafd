#pragma once
// What stamp, mark, refresh and check do to the text of one file, apart from how the file is found,
// read and written: the command runs these on files, the language server on the editor's text.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "addin/settings/format_model.h"
#include "addin/stamps/function_stamp.h"
#include "cli/common.h"
#include "cli/source_file.h"
#include "cli/stamp_blocks.h"

namespace qm::cli {

// What the button does with the caret on a file line (1-based). A procedure that has a stamp already
// gets a second, as with the button, and a note says so. Throws Failure for a line outside the file.
void StampAtLine(const std::string& path, SourceFile& file, std::int32_t line, const StampContext& context, const CommonOptions& common);

// Every procedure without a stamp, and the module header when asked for and missing, in one pass;
// a procedure under a header of the project's own only when houseHeaders. Returns how many stamps
// were made; left counts the procedures left for their header.
int StampAll(const std::string& path, SourceFile& file, bool moduleHeader, bool houseHeaders, const StampContext& context, int& left);

// A place in a file: file line and column (UTF-16 units), both from 1.
struct TextPosition {
    std::int32_t line;
    std::int32_t column;
};

// The edit-record stamp around the selection from start to end. Throws Failure when the selection
// reaches outside the file or into its hidden header.
void MarkSelection(const std::string& path, SourceFile& file, TextPosition start, TextPosition end, const StampContext& context);

// The stamps of the procedures that `which` takes, made again; a return-value item that cannot be
// mended goes to `kept`. Returns how many stamps changed.
int RefreshStamps(SourceFile& file, const StampContext& context, const std::function<bool(const StampedProcedure&)>& which,
                  const std::function<void(const StampedProcedure&, const ReturnValueMismatch&)>& kept);

// What check finds in one module's lines. report gets the module line, the procedure ("(module)" for
// the module itself), the rule id and the message.
struct CheckSettings {
    bool moduleHeader = false;
    bool publicOnly = false;
    bool houseHeadersNeedStamp = false;
};
using CheckReport = std::function<void(std::int32_t moduleLine, const std::u16string& name, const char* rule, const std::string& message)>;
void CheckModule(ide::TextCodeModule& module, const FormatModel& model, const CheckSettings& settings, const CheckReport& report);

}  // namespace qm::cli
