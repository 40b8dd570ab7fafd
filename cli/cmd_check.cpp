// quillmark check: which procedures lack a stamp, or have one that no longer matches them. Writes
// nothing; status 1 when anything was found.
#include <algorithm>
#include <iostream>

#include "addin/stamps/declaration.h"
#include "cli/commands.h"
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
    std::vector<std::string> problems;
    const std::vector<Source> files = ExpandSources(options.files, problems);
    Store store(options.common, Store::Mode::Read);
    const FormatModel model = store.Format(options.common);
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
    int findings = 0;
    Pass pass(Output::Print);
    const int status = RunOverFiles(files, pass, problems, [&](const Source& source) {
        const std::string path = Printable(source.path);
        SourceFile file = LoadSource(source.path, options.common, store.Cp());
        const auto& lines = file.ModuleLines();
        const auto report = [&](std::int32_t moduleLine, const std::u16string& name, const std::string& message) {
            std::cout << path << ":" << file.FileLineOf(moduleLine) << ": " << Printable(Utf16ToUtf8(name) + ": " + message) << '\n';
            ++findings;
        };
        if (options.moduleHeader && !HasModuleHeader(lines)) {
            std::cout << path << ":" << file.FileLineOf(1) << ": (module): no module header\n";
            ++findings;
        }
        ide::TextCodeModule module(lines);
        for (const StampedProcedure& p : FindProcedures(module)) {
            if (options.publicOnly && !p.isPublic) continue;
            if (!p.hasStamp) {
                report(p.region.bodyLine, p.region.name, "no stamp");
                continue;
            }
            for (const StampItem& item : ReadStampItems(lines, p.blockFirst, p.blockLast)) {
                if (among(nameItems, item.name) && !item.values.empty()) {
                    const std::u16string shown = NameShown(item.values.front());
                    if (shown != p.region.name) report(p.region.bodyLine, p.region.name, "stamp names " + Utf16ToUtf8(shown));
                }
                if (among(argumentItems, item.name)) {
                    const auto stamped = ArgumentNamesShown(item);
                    const auto declared = ParseDeclaration(p.declaration).argumentNames;
                    if (stamped != declared) {
                        report(p.region.bodyLine, p.region.name,
                               "arguments differ: stamp " + Joined(stamped) + "; declaration " + Joined(declared));
                    }
                }
            }
        }
    });
    return findings > 0 ? 1 : status;
}

}  // namespace qm::cli
