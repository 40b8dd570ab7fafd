// quillmark stamp: the function-description stamp at a line, or on every procedure that has none.
#include <algorithm>
#include <iostream>

#include "addin/stamps/function_stamp.h"
#include "addin/stamps/procedure_reader.h"
#include "cli/commands.h"
#include "cli/stamp_blocks.h"
#include "platform/failure.h"
#include "platform/files.h"
#include "platform/text.h"

namespace qm::cli {
namespace {

// What the button does with the caret on a line of the file.
void StampAtLine(const std::string& path, SourceFile& file, std::int32_t line, const StampContext& context) {
    const std::size_t count = std::max<std::size_t>(file.FileLineCount(), 1);
    if (line < 1 || static_cast<std::size_t>(line) > count) {
        throw Failure{path + ": line " + std::to_string(line) + " is outside the file (" + std::to_string(file.FileLineCount()) +
                      " lines)"};
    }
    const auto moduleLine = file.ModuleLineOf(static_cast<std::size_t>(line));
    SourceCodeModule module(file, Utf8ToUtf16(path));
    ide::TextCodePane pane(module);
    if (!moduleLine) {
        // The hidden header counts as the declarations section.
        ProcedureOutcome outcome;
        outcome.target = StampTarget::ModuleHeader;
        ApplyFunctionStamp(pane, outcome, context);
    } else {
        Attempt([&] { pane.SetSelection({*moduleLine, 1, *moduleLine, 1}); });
        RunFunctionStamp(pane, context);
    }
}

// Every procedure without a stamp, and the module header when asked for and missing, in one pass
// over the file. Returns how many stamps were made.
int StampAll(const std::string& path, SourceFile& file, bool moduleHeader, const StampContext& context) {
    ide::TextCodeModule reading(file.ModuleLines());
    std::vector<SourceFile::Insertion> insertions;
    if (moduleHeader && !HasModuleHeader(file.ModuleLines())) {
        insertions.push_back({1, ide::TextCodeModule::SplitText(ComposeModuleHeader(Utf8ToUtf16(path), context))});
    }
    for (const StampedProcedure& p : FindProcedures(reading)) {
        if (p.hasStamp) continue;
        insertions.push_back({p.region.bodyLine, StampLineTexts(ComposeFunctionStampLines(InfoOf(p), context))});
    }
    file.InsertAll(insertions);
    return static_cast<int>(insertions.size());
}

}  // namespace

int CommandStamp(const StampOptions& options) {
    if (options.all == (options.line != 0)) throw UsageError{"give either --line N (one FILE) or --all"};
    if (!options.all && options.moduleHeader) throw UsageError{"--module-header goes with --all"};
    const LocalDateTime now = Now(options.common);
    std::vector<std::string> problems;
    const std::vector<Source> files = ExpandSources(options.files, problems);
    if (!options.all && (options.files.size() != 1 || files.size() != 1)) {
        ReportProblems(problems);
        throw UsageError{"--line N goes with exactly one VB6 source file"};
    }
    const Output output = OutputOf(options.write, options.diff, files.size());
    // Each file's format, from its team file; one that cannot be read stops the run before any write.
    Stores stores(options.common);
    stores.Prepare(files, problems);
    Pass pass(output, {options.common.quiet, options.common.verbose, "stamp", "added"});
    return RunOverFiles(files, pass, problems, [&](const Source& source) {
        Store& store = stores.Of(source.path);
        const StampContext context{stores.FormatOf(source.path), now, store.Cp()};
        std::string before;
        FileStamp stamp;
        SourceFile file = LoadSource(source.path, options.common, store.Cp(), &before, &stamp);
        int made = 1;
        if (options.all) {
            made = StampAll(source.path, file, options.moduleHeader, context);
        } else {
            StampAtLine(source.path, file, options.line, context);
        }
        pass.Count(made);
        if (made > 0) stores.NamePlaceholderMet(source.path, true, false);
        pass.Emit(source, before, stamp, file);
    });
}

}  // namespace qm::cli
