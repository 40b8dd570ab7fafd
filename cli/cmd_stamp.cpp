// quillmark stamp: the function-description stamp at a line, or on every procedure that has none.
#include <algorithm>
#include <filesystem>
#include <iostream>
#include <map>

#include "addin/stamps/function_stamp.h"
#include "addin/stamps/procedure_reader.h"
#include "cli/commands.h"
#include "cli/policy.h"
#include "cli/stamp_blocks.h"
#include "cli/store.h"
#include "cli/text_steps.h"
#include "platform/failure.h"
#include "platform/files.h"
#include "platform/text.h"

namespace qm::cli {
namespace {

// "lines 1 to N" of a file, for a line outside it.
std::string LinesOf(std::size_t count) {
    if (count == 0) return "the file is empty";
    return count == 1 ? "the file has line 1 only" : "the file has lines 1 to " + std::to_string(count);
}

std::string AbsolutePath(const std::string& utf8) {
    const std::u8string text =
        std::filesystem::absolute(std::filesystem::path(std::u8string(utf8.begin(), utf8.end()))).lexically_normal().generic_u8string();
    return std::string(text.begin(), text.end());
}

// The format with the creation-date and author items kept in their places but left empty, for
// stamps on code that was written before, by others.
FormatModel Undated(FormatModel model) {
    for (ItemRow& row : model.ItemList) {
        if (row.kind == kind::kCreationDate || row.kind == kind::kAuthor) row.kind = kind::kNone;
    }
    return model;
}

}  // namespace

void StampAtLine(const std::string& path, SourceFile& file, std::int32_t line, const StampContext& context, const CommonOptions& common) {
    const std::size_t count = file.FileLineCount();
    // An empty file still has the line the caret stands on.
    if (line < 1 || static_cast<std::size_t>(line) > std::max<std::size_t>(count, 1)) {
        throw Failure{path + ": there is no line " + std::to_string(line) + ": " + LinesOf(count)};
    }
    const auto moduleLine = file.ModuleLineOf(static_cast<std::size_t>(line));
    SourceCodeModule module(file, Utf8ToUtf16(path));
    ide::TextCodePane pane(module);
    if (!moduleLine) {
        // The hidden header counts as the declarations section.
        ProcedureOutcome outcome;
        outcome.target = StampTarget::ModuleHeader;
        ApplyFunctionStamp(pane, outcome, context);
        return;
    }
    Attempt([&] { pane.SetSelection({*moduleLine, 1, *moduleLine, 1}); });
    const ProcedureOutcome outcome = ReadProcedureAtCursor(pane);
    if (outcome.target == StampTarget::Procedure) {
        const StampBlock above = StampBlockAbove(module.AllLines(), outcome.info.BodyLine);
        if (above.isStamp) {
            Note(common, path + ": " + Utf16ToUtf8(outcome.info.ProcName) + " has a stamp already (line " +
                             std::to_string(file.FileLineOf(above.first)) + "); a second one was put below it, as the button does");
        }
    }
    ApplyFunctionStamp(pane, outcome, context);
}

int StampAll(const std::string& path, SourceFile& file, bool moduleHeader, bool houseHeaders, const StampContext& context, int& left) {
    int made = 0;
    if (moduleHeader && !HasModuleHeader(file.ModuleLines())) {
        file.Stage(1, ide::TextCodeModule::SplitText(ComposeModuleHeader(Utf8ToUtf16(path), context)));
        ++made;
    }
    {
        // Each stamp is made as its procedure is read, and kept as the file's bytes; they all go in at
        // the end, so that the lines read stay as they were until then.
        ide::TextCodeModule reading(file);
        ForEachProcedure(reading, [&](const StampedProcedure& p) {
            if (p.hasStamp) return;
            if (p.houseHeader && !houseHeaders) {
                ++left;
                return;
            }
            file.Stage(p.region.bodyLine, StampLineTexts(ComposeFunctionStampLines(InfoOf(p), context)));
            ++made;
        });
    }
    file.InsertStaged();
    return made;
}

int CommandStamp(const StampOptions& options) {
    if (options.all == options.line.has_value()) throw UsageError{"give either --line N (one FILE) or --all"};
    if (!options.all && options.moduleHeader) throw UsageError{"--module-header goes with --all"};
    if (!options.all && options.withHouseHeaders) throw UsageError{"--with-house-headers goes with --all"};
    const LocalDateTime now = Now(options.common);
    std::vector<std::string> problems;
    const std::vector<Source> files = ExpandSources(options.files, problems);
    if (!options.all && (options.files.size() != 1 || files.size() != 1)) {
        ReportProblems(problems);
        throw UsageError{"--line N goes with exactly one VB6 source file"};
    }
    const Output output = OutputOf(options.write, options.diff, files.size(), options.patch);
    // Each file's format, from its team file; one that cannot be read stops the run before any write.
    Stores stores(options.common);
    stores.Prepare(files, problems);
    // Whether a header of the project's own takes the place of a stamp: the option, else the policy
    // of each file, read before anything is written.
    std::vector<bool> houseHeaders;
    if (options.all) {
        std::map<std::string, bool> byPolicy;
        for (const Source& source : files) {
            bool needStamp = options.withHouseHeaders;
            const auto policy = needStamp
                                    ? std::nullopt
                                    : PolicyFileOf(
                                          AbsolutePath(source.path), [](const std::string& p) { return FileExists(p); },
                                          GitWorkTreeOf(AbsolutePath(source.path).substr(0, AbsolutePath(source.path).find_last_of('/'))));
            if (policy) {
                auto it = byPolicy.find(*policy);
                if (it == byPolicy.end()) {
                    try {
                        it = byPolicy.emplace(*policy, ParsePolicy(ReadWholeFile(*policy), PathFrom("", *policy)).houseHeadersNeedStamp)
                                 .first;
                    } catch (const PlatformError& e) {
                        std::cerr << "quillmark stamp: " << Printable(PathFrom("", *policy)) << ": cannot read: " << Printable(e.what())
                                  << '\n';
                        return 2;
                    } catch (const PolicyError& e) {
                        std::cerr << "quillmark stamp: " << Printable(e.message) << '\n';
                        return 2;
                    }
                }
                needStamp = it->second;
            }
            houseHeaders.push_back(needStamp);
        }
    }
    int left = 0;
    std::size_t current = 0;
    Pass pass(output, {options.common.quiet, options.common.verbose, "stamp", "added"});
    const int status = RunOverFiles(files, pass, problems, [&](const Source& source) {
        const bool stampHouseHeaders = options.all && houseHeaders[current++];
        Store& store = stores.Of(source.path);
        const FormatModel undated = options.undated ? Undated(stores.FormatOf(source.path)) : FormatModel{};
        const StampContext context{options.undated ? undated : stores.FormatOf(source.path), now, store.Cp()};
        std::string before;
        FileStamp stamp;
        SourceFile file = LoadSource(source.path, options.common, store.Cp(), &before, &stamp);
        int made = 1;
        if (options.all) {
            made = StampAll(source.path, file, options.moduleHeader, stampHouseHeaders, context, left);
        } else {
            StampAtLine(source.path, file, *options.line, context, options.common);
        }
        pass.Count(made);
        if (made > 0 && !options.undated) stores.NamePlaceholderMet(source.path, true, false);
        pass.Emit(source, before, stamp, file);
    });
    if (left > 0 && !options.common.quiet) {
        std::cerr << "quillmark stamp: " << left << (left == 1 ? " procedure" : " procedures")
                  << " left without a stamp: a comment header of the project's own is directly above " << (left == 1 ? "it" : "them")
                  << " (--with-house-headers stamps them too)\n";
    }
    return status;
}

}  // namespace qm::cli
