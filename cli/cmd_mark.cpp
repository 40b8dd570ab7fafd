// quillmark mark: the edit-record stamp around a selection.
#include "addin/stamps/edit_stamp.h"
#include "cli/commands.h"
#include "cli/text_steps.h"
#include "platform/failure.h"
#include "platform/files.h"
#include "platform/text.h"

namespace qm::cli {
namespace {

std::int32_t PositiveNumber(const std::string& text, const std::string& what) {
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos || std::stoi(text) < 1) {
        throw UsageError{what + " must be a positive whole number, not \"" + text + "\""};
    }
    return std::stoi(text);
}

TextPosition ParsePosition(const std::string& text, const std::string& what) {
    const auto colon = text.find(':');
    if (colon == std::string::npos) return {PositiveNumber(text, what + " line"), 1};
    return {PositiveNumber(text.substr(0, colon), what + " line"), PositiveNumber(text.substr(colon + 1), what + " column")};
}

}  // namespace

void MarkSelection(const std::string& path, SourceFile& file, TextPosition start, TextPosition end, const StampContext& context) {
    const std::size_t count = std::max<std::size_t>(file.FileLineCount(), 1);
    for (const std::int32_t line : {start.line, end.line}) {
        if (static_cast<std::size_t>(line) > count) {
            throw Failure{path + ": line " + std::to_string(line) + " is outside the file (" + std::to_string(file.FileLineCount()) +
                          " lines)"};
        }
    }
    const auto first = file.ModuleLineOf(static_cast<std::size_t>(start.line));
    const auto last = file.ModuleLineOf(static_cast<std::size_t>(end.line));
    if (!first || !last) {
        throw Failure{path + ": the selection reaches into the file's hidden header, which the code window does not show"};
    }
    SourceCodeModule module(file, Utf8ToUtf16(path));
    ide::TextCodePane pane(module);
    if (!Attempt([&] { pane.SetSelection({*first, start.column, *last, end.column}); })) {
        throw Failure{path + ": the file has no code to mark"};
    }
    RunEditStamp(pane, context);
}

int CommandMark(const MarkOptions& options) {
    const TextPosition start = ParsePosition(options.from, "--from");
    const TextPosition end = options.to.empty() ? start : ParsePosition(options.to, "--to");
    if (end.line < start.line || (end.line == start.line && end.column < start.column)) {
        throw UsageError{"--to must not come before --from"};
    }
    const LocalDateTime now = Now(options.common);
    std::vector<std::string> problems;
    const auto files = ExpandSources({options.file}, problems);
    if (files.size() != 1) throw Failure{problems.empty() ? options.file + ": not a VB6 source file" : problems.front()};
    const std::string& path = files.front().path;
    const Output output = OutputOf(options.write, options.diff, 1, options.patch);
    Stores stores(options.common);
    stores.Prepare(files, problems);
    Store& store = stores.Of(path);
    std::string before;
    FileStamp stamp;
    SourceFile file = LoadSource(path, options.common, store.Cp(), &before, &stamp);
    MarkSelection(path, file, start, end, StampContext{stores.FormatOf(path), now, store.Cp()});
    stores.NamePlaceholderMet(path, false, true);
    Pass pass(output, {options.common.quiet, options.common.verbose, "edit-record stamp", "added"});
    pass.Count(1);
    pass.Emit(files.front(), before, stamp, file);
    pass.Summary();
    return 0;
}

}  // namespace qm::cli
