// quillmark check: which procedures lack a stamp, or have one that no longer matches them. Writes
// nothing but a baseline when asked; status 1 when anything new was found, 2 when something could
// not be read.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <map>
#include <optional>

#include "addin/stamps/declaration.h"
#include "cli/baseline.h"
#include "cli/commands.h"
#include "cli/findings.h"
#include "cli/git.h"
#include "cli/policy.h"
#include "cli/stamp_blocks.h"
#include "cli/store.h"
#include "cli/paths.h"
#include "cli/text_steps.h"
#include "platform/text.h"

namespace qm::cli {
namespace {

namespace fs = std::filesystem;

std::string Joined(const std::vector<std::u16string>& names) {
    std::string out;
    for (const auto& n : names) out += (out.empty() ? "" : ", ") + Utf16ToUtf8(n);
    return out;
}

// Where the files of one run come from: the disk, or the index of the work tree (--staged).
class Origin {
public:
    explicit Origin(std::optional<StagedIndex> index) : index_(std::move(index)) {}

    // The sources to check; a staged file is named as seen from the current folder.
    std::vector<Source> Sources(const std::vector<std::string>& arguments, std::vector<std::string>& problems) {
        if (!index_) return ExpandSources(arguments, problems);
        std::vector<Source> files;
        for (const std::string& name : index_->staged) {
            const std::string shown = PathFrom("", GenericUtf8Of(PathOf(index_->top) / PathOf(name)));
            files.push_back({shown, "", shown});
            fromTop_[shown] = name;
        }
        return files;
    }

    std::string Bytes(const Source& source) const {
        if (!index_) return ReadWholeFile(source.path);
        try {
            return BlobBytes(index_->top, index_->blob.at(fromTop_.at(source.path)));
        } catch (const GitError& e) {
            throw Failure{source.path + ": " + e.message};
        }
    }

    // The policy of a source (read once per policy file); PolicyError when it cannot be taken.
    const CheckPolicy& PolicyOf(const Source& source) {
        static const CheckPolicy none;
        std::optional<std::string> file;
        if (index_) {
            file = PolicyFileOf(fromTop_.at(source.path), [&](const std::string& p) { return index_->blob.contains(p); });
        } else {
            const std::string absolute = GenericUtf8Of(fs::absolute(PathOf(source.path)).lexically_normal());
            file = PolicyFileOf(
                absolute, [](const std::string& p) { return FileExists(p); }, GitWorkTreeOf(GenericUtf8Of(PathOf(absolute).parent_path())));
        }
        if (!file) return none;
        auto it = policies_.find(*file);
        if (it != policies_.end()) return it->second;
        // Named as the user sees it: from the current folder.
        const std::string shown = index_ ? PathFrom("", GenericUtf8Of(PathOf(index_->top) / PathOf(*file))) : PathFrom("", *file);
        std::string bytes;
        try {
            bytes = index_ ? BlobBytes(index_->top, index_->blob.at(*file)) : ReadWholeFile(*file);
        } catch (const PlatformError& e) {
            throw PolicyError{shown + ": cannot read: " + e.what()};
        } catch (const GitError& e) {
            throw PolicyError{shown + ": " + e.message};
        }
        CheckPolicy policy = ParsePolicy(bytes, shown);
        policy.folder = GenericUtf8Of(index_ ? PathOf(index_->top) / PathOf(*file).parent_path() : PathOf(*file).parent_path());
        return policies_.emplace(*file, std::move(policy)).first->second;
    }

    // The findings a policy's baseline accepts (read once per policy); BaselineError when it cannot
    // be taken. In the index the baseline is read from the index too.
    AcceptedFindings& BaselineOf(const CheckPolicy& policy) {
        auto it = baselines_.find(&policy);
        if (it != baselines_.end()) return it->second;
        const fs::path file = (PathOf(policy.folder) / PathOf(policy.baseline)).lexically_normal();
        const std::string shown = PathFrom("", GenericUtf8Of(file));
        std::string bytes;
        if (index_) {
            const std::string inIndex = GenericUtf8Of(file.lexically_relative(PathOf(index_->top)));
            const auto blob = index_->blob.find(inIndex);
            if (inIndex.empty() || inIndex.rfind("..", 0) == 0 || blob == index_->blob.end()) {
                throw BaselineError{policy.path + ": the baseline " + shown + " is not in the index (git add it)"};
            }
            try {
                bytes = BlobBytes(index_->top, blob->second);
            } catch (const GitError& e) {
                throw BaselineError{shown + ": " + e.message};
            }
        } else {
            try {
                bytes = ReadWholeFile(GenericUtf8Of(file));
            } catch (const PlatformError& e) {
                throw BaselineError{policy.path + ": the baseline " + shown + " cannot be read: " + e.what()};
            }
        }
        return baselines_.emplace(&policy, AcceptedFindings(ParseBaseline(bytes, shown), GenericUtf8Of(file.parent_path()))).first->second;
    }

private:
    std::optional<StagedIndex> index_;
    std::map<const CheckPolicy*, AcceptedFindings> baselines_;
    std::map<std::string, std::string> fromTop_;
    std::map<std::string, CheckPolicy> policies_;
};

}  // namespace

void CheckModule(ide::TextCodeModule& module, const FormatModel& model, const CheckSettings& settings, const CheckReport& report) {
    const auto among = [](const std::vector<std::u16string>& names, const std::u16string& name) {
        return std::find(names.begin(), names.end(), name) != names.end();
    };
    const auto nameItems = ItemNamesOfKind(model, kind::kFunctionName);
    // Argument items listed by name; one numbered ARG1, ARG2 ... names nothing to compare.
    std::vector<std::u16string> argumentItems;
    for (std::size_t r = 0; r < model.ItemList.size() && r < kMaxItemRows; ++r) {
        if (model.ItemList[r].kind == kind::kArguments && model.ItemAttributes[r].Attr1 != 1)
            argumentItems.push_back(model.ItemList[r].name);
    }
    const auto& lines = module.AllLines();
    if (settings.moduleHeader && !HasModuleHeader(lines)) report(1, u"(module)", "no-module-header", "no module header");
    ForEachProcedure(module, [&](const StampedProcedure& p) {
        if (p.noCheck) return;
        if (settings.publicOnly && !p.isPublic) return;
        if (!p.hasStamp) {
            // What stamp --all leaves by default is no finding by default.
            if (!p.houseHeader || settings.houseHeadersNeedStamp) report(p.region.bodyLine, p.region.name, "no-stamp", "no stamp");
            return;
        }
        for (const ReturnValueMismatch& m : ReturnValueMismatches(lines, p, model)) {
            report(m.item.firstLine, p.region.name, "return-value-differs", m.message);
        }
        for (const StampItem& item : ReadStampItems(lines, p.blockFirst, p.blockLast)) {
            if (among(nameItems, item.name) && !item.values.empty()) {
                const std::u16string shown = NameShown(item.values.front());
                if (shown != p.region.name) {
                    report(p.region.bodyLine, p.region.name, "stamp-names-other", "stamp names " + Utf16ToUtf8(shown));
                }
            }
            if (among(argumentItems, item.name)) {
                const auto stamped = ArgumentNamesShown(item);
                const auto declared = ParseDeclaration(p.declaration).argumentNames;
                if (stamped != declared) {
                    report(p.region.bodyLine, p.region.name, "arguments-differ",
                           "arguments differ: stamp " + Joined(stamped) + "; declaration " + Joined(declared));
                }
            }
        }
    });
}

int CommandCheck(const CheckOptions& options) {
    const std::optional<FindingsFormat> format = FindingsFormatNamed(options.format);
    if (!format) throw UsageError{"--format must be text, json or sarif, not \"" + options.format + "\""};
    if (options.staged == !options.files.empty()) throw UsageError{"give either the files and projects to check or --staged"};
    if (!options.baseline.empty() && !options.writeBaseline.empty()) throw UsageError{"give either --baseline or --write-baseline"};

    std::optional<StagedIndex> index;
    if (options.staged) {
        try {
            index = ReadStagedIndex();
        } catch (const GitError& e) {
            std::cerr << "quillmark check: " << Printable(e.message) << '\n';
            return 2;
        }
        if (index->staged.empty()) {
            if (!options.common.quiet) std::cerr << "quillmark check: nothing to check: no VB6 source file is staged\n";
            return 0;
        }
    }
    Origin origin(std::move(index));
    std::vector<std::string> problems;
    const std::vector<Source> files = origin.Sources(options.files, problems);

    // Everything that can stop the run with status 2 is read before the first file: the stores, the
    // policies, the baseline.
    Stores stores(options.common);
    std::vector<const CheckPolicy*> policies;
    std::optional<AcceptedFindings> given;  // --baseline, in place of the policies' own
    bool prepared = false;                  // the stores' reading reports the problems met so far when it fails itself
    try {
        stores.Prepare(files, problems);
        prepared = true;
        for (const Source& source : files) policies.push_back(&origin.PolicyOf(source));
        if (!options.baseline.empty()) {
            std::string bytes;
            try {
                bytes = ReadWholeFile(options.baseline);
            } catch (const PlatformError& e) {
                throw Failure{options.baseline + ": cannot read the baseline: " + e.what()};
            }
            given.emplace(ParseBaseline(bytes, options.baseline), GenericUtf8Of(PathOf(options.baseline).parent_path()));
        } else if (options.writeBaseline.empty()) {
            for (const CheckPolicy* policy : policies) {
                if (!policy->baseline.empty()) origin.BaselineOf(*policy);
            }
        }
    } catch (const Failure& e) {
        if (prepared) ReportProblems(problems);
        std::cerr << "quillmark: " << Printable(e.message) << '\n';
        return 2;
    } catch (const Unusable& e) {
        std::cerr << "quillmark: " << Printable(e.message) << '\n';
        return 2;
    } catch (const PolicyError& e) {
        ReportProblems(problems);
        std::cerr << "quillmark check: " << Printable(e.message) << '\n';
        return 2;
    } catch (const BaselineError& e) {
        ReportProblems(problems);
        std::cerr << "quillmark check: " << Printable(e.message) << '\n';
        return 2;
    }
    // Each finding is weighed and written as it is met; a run keeps their count, and the entries of
    // the baseline it writes.
    const bool writing = !options.writeBaseline.empty();
    const std::string baselineFolder = writing ? GenericUtf8Of(PathOf(options.writeBaseline).parent_path()) : std::string();
    std::vector<BaselineEntry> entries;
    std::optional<FindingsWriter> writer;
    if (!writing && !options.common.quiet) writer.emplace(std::cout, *format, kQuillmarkVersion);
    if (writer) writer->Begin();
    std::size_t fresh = 0;
    std::size_t current = 0;
    Pass pass(Output::Print);
    const int status = RunOverFiles(files, pass, problems, [&](const Source& source) {
        const CheckPolicy& policy = *policies[current++];
        if (!policy.path.empty() && policy.Excludes(PathFrom(policy.folder, source.path))) return;
        const FormatModel& model = stores.FormatOf(source.path);
        // The file's bytes are held once: the module's lines are read from them where they are.
        std::string bytes;
        try {
            bytes = origin.Bytes(source);
        } catch (const PlatformError& e) {
            throw Failure{source.path + ": cannot read: " + e.what()};
        }
        RefuseNonSource(source.path, bytes, options.common);
        SourceFile file = [&] {
            try {
                return SourceFile::Over(bytes, FileEncoding(options.common), stores.Of(source.path).Cp());
            } catch (const SourceError& e) {
                throw Failure{source.path + ": " + e.what() + " (use --encoding to read it otherwise)"};
            }
        }();
        ide::TextCodeModule module(file);
        // Only what no baseline accepts counts: the one given, else that of the file's policy.
        AcceptedFindings* accepted = nullptr;
        if (given) {
            accepted = &*given;
        } else if (!writing && !policy.baseline.empty()) {
            accepted = &origin.BaselineOf(policy);  // read before the first file
        }
        const auto report = [&](std::int32_t moduleLine, const std::u16string& name, const char* rule, const std::string& message) {
            if (policy.Ignores(rule)) return;
            const Finding finding{source.path, static_cast<int>(file.FileLineOf(moduleLine)), Utf16ToUtf8(name), rule, message};
            if (writing) {
                entries.push_back({finding.rule, PathFrom(baselineFolder, finding.file), finding.procedure});
                return;
            }
            if (accepted != nullptr && accepted->Take(finding)) return;
            ++fresh;
            if (writer) writer->Add(finding);
        };
        CheckModule(module, model,
                    {options.moduleHeader || policy.moduleHeader, options.publicOnly || policy.publicOnly, policy.houseHeadersNeedStamp},
                    report);
    });

    if (writing) {
        // A file that could not be read has findings of its own that the baseline would lose.
        if (status != 0) {
            std::cerr << "quillmark check: " << Printable(options.writeBaseline) << " not written: not every file could be checked\n";
            return 2;
        }
        try {
            WriteFileAtomically(options.writeBaseline, ComposeBaseline(entries));
        } catch (const PlatformError& e) {
            std::cerr << "quillmark check: " << Printable(options.writeBaseline) << ": cannot write: " << Printable(e.what()) << '\n';
            return 2;
        }
        if (!options.common.quiet) {
            std::cerr << "quillmark check: " << entries.size() << (entries.size() == 1 ? " finding" : " findings") << " written to "
                      << Printable(options.writeBaseline) << '\n';
        }
        return 0;
    }
    // Closed after the last file, whichever could not be read: the document stays whole.
    if (writer) {
        writer->End();
        std::cout << std::flush;
    }
    if (status != 0) return 2;
    return fresh == 0 ? 0 : 1;
}

}  // namespace qm::cli
