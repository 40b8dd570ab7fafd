// quillmark refresh: the function-name, argument and return-value lines of existing stamps, made again
// from the current declaration and format; everything the user wrote stays.
#include <algorithm>
#include <functional>
#include <iostream>
#include <map>

#include "addin/stamps/declaration.h"
#include "addin/stamps/function_stamp.h"
#include "addin/stamps/procedure_reader.h"
#include "cli/commands.h"
#include "cli/stamp_blocks.h"
#include "cli/text_steps.h"
#include "platform/failure.h"
#include "platform/files.h"
#include "platform/text.h"

namespace qm::cli {
namespace {

struct Edit {
    std::int32_t first;
    std::int32_t count;
    std::vector<std::u16string> lines;
};

std::vector<Edit> Refresh(TextLines lines, const StampedProcedure& p, const StampContext& context,
                          const std::function<void(const ReturnValueMismatch&)>& kept) {
    const std::vector<StampLine> fresh = ComposeFunctionStampLines(InfoOf(p), context);
    // The lines the fresh stamp gives the first item of a name.
    const auto freshLines = [&](const std::u16string& name) {
        std::vector<std::u16string> out;
        int row = StampLine::kNoItem;
        for (const StampLine& line : fresh) {
            if (row == StampLine::kNoItem && line.row != StampLine::kNoItem &&
                context.model.ItemList[static_cast<std::size_t>(line.row)].name == name) {
                row = line.row;
            }
            if (row == StampLine::kNoItem) continue;
            if (line.row != row) break;
            out.push_back(line.text);
        }
        return out;
    };
    const auto oldItems = ReadStampItems(lines, p.blockFirst, p.blockLast);
    const auto names = ItemNamesOfKind(context.model, kind::kFunctionName);
    const auto arguments = ItemNamesOfKind(context.model, kind::kArguments);
    const auto declared = ParseDeclaration(p.declaration).argumentNames;
    std::vector<Edit> edits;
    // A return-value item that the declaration contradicts is made again when it holds only what a
    // stamp writes; text a person wrote stays, and is reported.
    for (const ReturnValueMismatch& m : ReturnValueMismatches(lines, p, context.model)) {
        if (!m.mendable) {
            kept(m);
            continue;
        }
        std::vector<std::u16string> replacement = freshLines(m.item.name);
        if (!replacement.empty()) edits.push_back({m.item.firstLine, m.item.lastLine - m.item.firstLine + 1, std::move(replacement)});
    }
    for (const StampItem& old : oldItems) {
        const bool isName = std::find(names.begin(), names.end(), old.name) != names.end();
        const bool isArguments = std::find(arguments.begin(), arguments.end(), old.name) != arguments.end();
        if (!isName && !isArguments) continue;
        std::vector<std::u16string> replacement = freshLines(old.name);
        if (replacement.empty()) continue;
        if (isArguments) {
            // Each argument still there, or renamed in place, keeps what the user wrote after its " -"
            // and the lines that continue it.
            const auto listed = ArgumentsListed(old);
            std::vector<std::u16string> written;
            for (auto& line : replacement) {
                const auto dash = line.rfind(u" -");
                const ListedArgument* entry = nullptr;
                if (dash != std::u16string::npos && dash + 2 == line.size()) {
                    // The name is the last word in front of the padding before " -".
                    const std::u16string_view head = TrimRightBlanks(std::u16string_view(line).substr(0, dash));
                    const auto start = head.find_last_of(u" :\u3000");
                    entry = EntryOf(std::u16string(head.substr(start == std::u16string_view::npos ? 0 : start + 1)), listed, declared);
                }
                if (entry != nullptr) line += entry->note;
                written.push_back(std::move(line));
                if (entry == nullptr) continue;
                for (const std::int32_t l : entry->continuation) written.emplace_back(lines[static_cast<std::size_t>(l - 1)]);
            }
            replacement = std::move(written);
        }
        const std::vector<std::u16string> current(lines.begin() + (old.firstLine - 1), lines.begin() + old.lastLine);
        if (replacement != current) edits.push_back({old.firstLine, old.lastLine - old.firstLine + 1, std::move(replacement)});
    }
    return edits;
}

}  // namespace

int RefreshStamps(SourceFile& file, const StampContext& context, const std::function<bool(const StampedProcedure&)>& which,
                  const std::function<void(const StampedProcedure&, const ReturnValueMismatch&)>& kept) {
    ide::TextCodeModule module(file);
    const TextLines lines = module.AllLines();
    std::vector<SourceFile::Replacement> edits;
    int remade = 0;
    ForEachProcedure(module, [&](const StampedProcedure& p) {
        if (!p.hasStamp || !which(p)) return;
        auto mine = Refresh(lines, p, context, [&](const ReturnValueMismatch& m) { kept(p, m); });
        remade += mine.empty() ? 0 : 1;
        for (auto& e : mine) edits.push_back({e.first, e.count, std::move(e.lines)});
    });
    // All at once, in one pass over the file, once every procedure is read.
    file.ReplaceAll(std::move(edits));
    return remade;
}

int CommandRefresh(const RefreshOptions& options) {
    const LocalDateTime now = Now(options.common);
    std::vector<std::string> problems;
    const std::vector<Source> files = ExpandSources(options.files, problems);
    const Output output = OutputOf(options.write, options.diff, files.size(), options.patch);
    Stores stores(options.common);
    stores.Prepare(files, problems);
    Pass pass(output, {options.common.quiet, options.common.verbose, "stamp", "remade"});
    return RunOverFiles(files, pass, problems, [&](const Source& source) {
        Store& store = stores.Of(source.path);
        const StampContext context{stores.FormatOf(source.path), now, store.Cp()};
        std::string before;
        FileStamp stamp;
        SourceFile file = LoadSource(source.path, options.common, store.Cp(), &before, &stamp);
        const int remade = RefreshStamps(
            file, context, [](const StampedProcedure&) { return true; },
            [&](const StampedProcedure& p, const ReturnValueMismatch& m) {
                std::cerr << "quillmark: " << Printable(source.path) << ":" << file.FileLineOf(m.item.firstLine) << ": "
                          << Printable(Utf16ToUtf8(p.region.name) + ": " + m.message) << "; kept as written\n";
            });
        pass.Count(remade);
        pass.Emit(source, before, stamp, file);
    });
}

}  // namespace qm::cli
