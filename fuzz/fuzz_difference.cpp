// The difference the command shows: a patch made of a file and the lines put in or replaced applies
// back to exactly the new file; and the bytes refused as no source file are those that hold a NUL
// byte or read as UTF-8 beyond ASCII.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "addin/settings/format_model.h"
#include "addin/settings/settings_store.h"
#include "addin/stamps/function_stamp.h"
#include "cli/common.h"
#include "cli/diff.h"
#include "cli/output.h"
#include "cli/source_file.h"
#include "platform/failure.h"
#include "platform/sim/registry_memory.h"
#include "platform/text.h"

namespace {

std::vector<std::string_view> Lines(std::string_view bytes) {
    std::vector<std::string_view> lines;
    for (std::size_t start = 0; start < bytes.size();) {
        auto end = bytes.find('\n', start);
        end = end == std::string_view::npos ? bytes.size() : end + 1;
        lines.push_back(bytes.substr(start, end - start));
        start = end;
    }
    return lines;
}

std::size_t Number(std::string_view text, std::size_t& at) {
    std::size_t n = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') n = n * 10 + static_cast<std::size_t>(text[at++] - '0');
    return n;
}

// Applies a unified diff as patch does, strictly: every context and removed line must be there.
// Returns false when it does not apply.
bool Apply(std::string_view before, std::string_view patch, std::string& after) {
    const auto old = Lines(before);
    const auto lines = Lines(patch);
    std::size_t next = 0;  // of old
    std::size_t k = 2;     // after the two header lines
    while (k < lines.size()) {
        const std::string_view head = lines[k++];
        if (head.substr(0, 4) != "@@ -") return false;
        std::size_t at = 4;
        std::size_t start = Number(head, at);
        if (at < head.size() && head[at] == ',') ++at;
        const std::size_t count = Number(head, at);
        if (count > 0) --start;
        if (start < next) return false;
        for (; next < start && next < old.size(); ++next) after += old[next];
        while (k < lines.size() && lines[k].substr(0, 2) != "@@") {
            std::string_view line = lines[k++];
            const char kind = line.front();
            line.remove_prefix(1);
            // A line without its line end is followed by the marker, which the line's own "\n" made.
            if (k < lines.size() && lines[k].substr(0, 2) == "\\ ") {
                ++k;
                line.remove_suffix(1);
            }
            if (kind == '+') {
                after += line;
                continue;
            }
            if (next >= old.size() || old[next] != line) return false;
            if (kind == ' ') after += line;
            ++next;
        }
    }
    for (; next < old.size(); ++next) after += old[next];
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const auto codepage = qm::MakeCp932Codepage();
    static qm::MemoryRegistry registry;
    static qm::SettingsStore store(registry, *codepage);
    static const qm::FormatModel model = qm::LoadFormatModel(store);
    if (size < 2) return 0;
    const auto encoding = data[0] & 1 ? qm::cli::Encoding::Utf8 : qm::cli::Encoding::Cp932;
    const int caret = data[0] / 2 % 64 + 1;
    const int replaced = data[1] % 8;
    const std::string input(reinterpret_cast<const char*>(data + 2), size - 2);

    // Refused exactly when there is a NUL byte, or valid UTF-8 beyond ASCII without a named encoding.
    bool valid = true;
    qm::Utf8ToUtf16(input, &valid);
    bool beyondAscii = false;
    for (const char c : input) beyondAscii = beyondAscii || static_cast<unsigned char>(c) >= 0x80;
    const bool refuse = input.find('\0') != std::string::npos || (valid && beyondAscii);
    bool refused = false;
    try {
        qm::cli::RefuseNonSource("m.bas", input, qm::cli::CommonOptions{});
    } catch (const qm::cli::Failure&) {
        refused = true;
    }
    if (refused != refuse) __builtin_trap();

    try {
        qm::cli::SourceFile file(input, encoding, *codepage);
        const std::int32_t lines = static_cast<std::int32_t>(file.ModuleLines().size());
        if (replaced > 0 && lines > 0) {
            const std::int32_t first = (caret - 1) % lines + 1;
            const std::int32_t count = std::min(replaced % 3, lines - first + 1);
            file.Replace(first, count, {u"' remade", std::u16string(file.ModuleLines()[static_cast<std::size_t>(first - 1)])});
        }
        const auto moduleLine = file.ModuleLineOf(static_cast<std::size_t>(caret));
        qm::cli::SourceCodeModule module(file, u"Module1.bas");
        qm::ide::TextCodePane pane(module);
        const qm::StampContext context{model, {2026, 12, 7, 10, 0, 0}, *codepage};
        if (moduleLine && qm::Attempt([&] { pane.SetSelection({*moduleLine, 1, *moduleLine, 1}); })) qm::RunFunctionStamp(pane, context);
        const std::string after = file.Render();
        const std::string patch = qm::cli::UnifiedDiff("a/m.bas", "b/m.bas", input, after, file.LinesAfter(),
                                                       [](std::string_view line, std::string& out) { out += line; });
        if (patch.empty() != (after == input)) __builtin_trap();
        std::string applied;
        if (!patch.empty() && (!Apply(input, patch, applied) || applied != after)) __builtin_trap();
    } catch (const qm::cli::SourceError&) {
    }
    return 0;
}
