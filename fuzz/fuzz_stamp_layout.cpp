// The layout readers of stamps, module headers and edit records: whatever the comment lines hold,
// every reader ends, and what it reads lies within the lines it was given.
#include <cstddef>
#include <cstdint>
#include <string>

#include "addin/stamps/stamp_reader.h"
#include "platform/sim/text_code_module.h"
#include "platform/text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::u16string text = qm::Utf8ToUtf16(std::string(reinterpret_cast<const char*>(data), size));
    const auto lines = qm::ide::TextCodeModule::SplitText(text);
    const auto count = static_cast<std::int32_t>(lines.size());
    const qm::ReadStamp stamp = qm::ReadStampLayout(lines, 1, count, {u"引数", u"Args"});
    for (const qm::ReadItem& item : stamp.items) {
        if (item.firstLine < 1 || item.lastLine < item.firstLine || item.lastLine > count) __builtin_trap();
        if (item.values.empty()) __builtin_trap();
    }
    for (const qm::StampText& t : stamp.text) {
        if (t.line < 1 || t.line > count) __builtin_trap();
    }
    const qm::ModuleHeaderRead header = qm::ReadModuleHeader(lines);
    if (header.found && (header.firstLine != 1 || header.lastLine > count)) __builtin_trap();
    for (const qm::EditRecord& r : qm::ReadEditRecords(lines)) {
        if (r.openLine < 1 || r.openLine > count || (r.closeLine != 0 && r.closeLine <= r.openLine)) __builtin_trap();
    }
    return 0;
}
