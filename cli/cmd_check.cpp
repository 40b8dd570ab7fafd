// quillmark check: which procedures lack a stamp, or have one that no longer matches them. Writes
// nothing; status 1 when anything was found.
#include <algorithm>
#include <cstdio>
#include <optional>
#include <iostream>

#include "addin/stamps/declaration.h"
#include "cli/commands.h"
#include "cli/findings.h"
#include "cli/stamp_blocks.h"
#include "platform/text.h"

namespace qm::cli {
namespace {

std::string Joined(const std::vector<std::u16string>& names) {
    std::string out;
    for (const auto& n : names) out += (out.empty() ? "" : ", ") + Utf16ToUtf8(n);
    return out;
}

}  // namespace

int CommandCheck(const CheckOptions& options) {
    if (options.format != "text" && options.format != "json" && options.format != "sarif") {
        throw UsageError{"--format must be text, json or sarif, not \"" + options.format + "\""};
    }
    std::vector<std::string> problems;
    const std::vector<Source> files = ExpandSources(options.files, problems);
    std::optional<Store> store;
    FormatModel model;
    try {
        store.emplace(options.common, Store::Mode::Read);
        model = store->Format(options.common);
    } catch (const Failure& e) {
        ReportProblems(problems);
        std::cerr << "quillmark: " << Printable(e.message) << '\n';
        return 2;
    }
    const auto nameItems = ItemNamesOfKind(model, kind::kFunctionName);
    // Argument items listed by name; one numbered ARG1, ARG2 ... names nothing to compare.
    std::vector<std::u16string> argumentItems;
    for (std::size_t r = 0; r < model.ItemList.size() && r < kMaxItemRows; ++r) {
        if (model.ItemList[r].kind == kind::kArguments && model.ItemAttributes[r].Attr1 != 1)
            argumentItems.push_back(model.ItemList[r].name);
    }
    const auto among = [](const std::vector<std::u16string>& names, const std::u16string& name) {
        return std::find(names.begin(), names.end(), name) != names.end();
    };
    std::vector<Finding> findings;
    Pass pass(Output::Print);
    const int status = RunOverFiles(files, pass, problems, [&](const Source& source) {
        SourceFile file = LoadSource(source.path, options.common, store->Cp());
        const auto& lines = file.ModuleLines();
        const auto report = [&](std::int32_t moduleLine, const std::u16string& name, const char* rule, const std::string& message) {
            findings.push_back({source.path, static_cast<int>(file.FileLineOf(moduleLine)), Utf16ToUtf8(name), rule, message});
        };
        if (options.moduleHeader && !HasModuleHeader(lines)) report(1, u"(module)", "no-module-header", "no module header");
        ide::TextCodeModule module(lines);
        for (const StampedProcedure& p : FindProcedures(module)) {
            if (options.publicOnly && !p.isPublic) continue;
            if (!p.hasStamp) {
                report(p.region.bodyLine, p.region.name, "no-stamp", "no stamp");
                continue;
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
        }
    });
    const std::string out = options.format == "json"    ? FindingsJson(findings)
                            : options.format == "sarif" ? FindingsSarif(findings, kQuillmarkVersion)
                                                        : FindingsText(findings);
    std::cout << out << std::flush;
    if (status != 0) return 2;
    return findings.empty() ? 0 : 1;
}

}  // namespace qm::cli
