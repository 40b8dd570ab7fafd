// The declaration scanner and the procedure reader over a text module: whatever the lines, every
// question the stamps ask of the module is answered or refused, and each stamp is made or left out.
#include <cstddef>
#include <cstdint>
#include <string>

#include "addin/settings/format_model.h"
#include "addin/settings/settings_store.h"
#include "addin/stamps/declaration.h"
#include "addin/stamps/edit_stamp.h"
#include "addin/stamps/function_stamp.h"
#include "addin/stamps/procedure_reader.h"
#include "platform/failure.h"
#include "platform/sim/text_code_module.h"
#include "platform/sim/registry_memory.h"
#include "platform/text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const auto codepage = qm::MakeCp932Codepage();
    static qm::MemoryRegistry registry;
    static qm::SettingsStore store(registry, *codepage);
    static const qm::FormatModel model = qm::LoadFormatModel(store);
    if (size < 2) return 0;
    // The first two bytes choose the caret's line and column; the rest is the module's text.
    const int caretLine = data[0] % 64 + 1;
    const int caretColumn = data[1] % 16 + 1;
    const std::u16string text = qm::Utf8ToUtf16(std::string(reinterpret_cast<const char*>(data + 2), size - 2));
    const auto lines = qm::ide::TextCodeModule::SplitText(text);
    for (const auto& line : lines) (void)qm::ParseDeclaration(line);
    for (const bool edit : {false, true}) {
        qm::ide::TextCodeModule module(lines, u"C:\\p\\Module1.bas");
        qm::ide::TextCodePane pane(module);
        const auto before = module.CountOfLines();
        if (!qm::Attempt([&] { pane.SetSelection({caretLine, caretColumn, caretLine + (edit ? 2 : 0), caretColumn}); })) continue;
        const qm::StampContext context{model, {2026, 12, 7, 10, 0, 0}, *codepage};
        if (edit) {
            qm::RunEditStamp(pane, context);
        } else {
            (void)qm::ReadProcedureAtCursor(pane);
            qm::RunFunctionStamp(pane, context);
        }
        // A stamp only ever adds lines.
        if (module.CountOfLines() < before) __builtin_trap();
    }
    return 0;
}
