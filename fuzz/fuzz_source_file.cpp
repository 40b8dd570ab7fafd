// The source-file reader of the command: a file it reads renders byte for byte as it was, and after a
// stamp the output is the input with exactly the inserted lines added.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "addin/settings/format_model.h"
#include "addin/settings/settings_store.h"
#include "addin/stamps/function_stamp.h"
#include "cli/source_file.h"
#include "platform/failure.h"
#include "platform/sim/registry_memory.h"

namespace {

std::vector<std::string> Lines(const std::string& bytes) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        auto end = bytes.find('\n', start);
        end = end == std::string::npos ? bytes.size() : end + 1;
        lines.push_back(bytes.substr(start, end - start));
        start = end;
    }
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const auto codepage = qm::MakeCp932Codepage();
    static qm::MemoryRegistry registry;
    static qm::SettingsStore store(registry, *codepage);
    static const qm::FormatModel model = qm::LoadFormatModel(store);
    if (size < 1) return 0;
    const auto encoding = data[0] & 1 ? qm::cli::Encoding::Utf8 : qm::cli::Encoding::Cp932;
    const int caret = data[0] / 2 % 32 + 1;
    const std::string input(reinterpret_cast<const char*>(data + 1), size - 1);
    try {
        qm::cli::SourceFile file(input, encoding, *codepage);
        if (file.Render() != input) __builtin_trap();
        const auto moduleLine = file.ModuleLineOf(static_cast<std::size_t>(caret));
        qm::cli::SourceCodeModule module(file, u"Module1.bas");
        qm::ide::TextCodePane pane(module);
        const qm::StampContext context{model, {2026, 12, 7, 10, 0, 0}, *codepage};
        if (moduleLine && qm::Attempt([&] { pane.SetSelection({*moduleLine, 1, *moduleLine, 1}); })) qm::RunFunctionStamp(pane, context);
        // Every line of the input is still there, in order; only whole lines were added. The last
        // line of the input may have gained the line end it lacked.
        // A UTF-8 byte order mark stays the first thing of the file, in front of inserted lines too.
        const auto withoutBom = [&](std::string bytes) {
            if (encoding == qm::cli::Encoding::Utf8 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.erase(0, 3);
            return bytes;
        };
        const auto in = Lines(withoutBom(input));
        const auto out = Lines(withoutBom(file.Render()));
        std::size_t k = 0;
        for (const auto& line : out) {
            if (k < in.size() && (line == in[k] || (k + 1 == in.size() && line.compare(0, in[k].size(), in[k]) == 0))) ++k;
        }
        if (k != in.size()) __builtin_trap();
        // The module's lines, read from the file as it now stands, are those of the file written and
        // read again; only an empty last line without a line end (all that is left of a file that held
        // nothing but a byte order mark) is no line once written.
        const std::string written = file.Render();
        const qm::cli::SourceFile again(written, encoding, *codepage);
        const qm::TextLines now = file.ModuleLines();
        const qm::TextLines read = again.ModuleLines();
        const bool emptyLast = now.size() == read.size() + 1 && now[now.size() - 1].empty() && written.ends_with('\n');
        if (now.size() != read.size() && !emptyLast) __builtin_trap();
        for (std::size_t i = 0; i < read.size(); ++i) {
            if (now[i] != read[i]) __builtin_trap();
        }
    } catch (const qm::cli::SourceError&) {
    }
    return 0;
}
