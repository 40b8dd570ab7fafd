#include "addin/stamps/edit_stamp.h"

#include <algorithm>

#include "addin/settings/format_rules.h"
#include "addin/stamps/stamp_date.h"
#include "platform/failure.h"

namespace qm {

std::u16string BuildEditMarker(int which, const StampContext& context) {
    const FormatModel& model = context.model;
    std::u16string m = u"'------<" + StampLineText(model.EditorName);
    if (model.ShowDate == 1) {
        if (model.HeadMark == 0) m += u" ";
        if (model.HeadMark == 1) m += u" '";
        m += RenderStampDate(model.DateSeparator, model.YearForm, context.now);
        if (model.ShowTime == 1) m += u" " + TimeText(context.now);
    }
    m += u">------";
    if (which == 0) return m;
    const std::size_t width = context.codepage.ByteLength(m);
    return u"'" + std::u16string(width > 0 ? width - 1 : 0, u'-');
}

std::u16string PreviewEditMarker(const StampContext& context) {
    return BuildEditMarker(0, context) + u"\r\r" + BuildEditMarker(1, context);
}

std::size_t BlockIndent(std::u16string_view block) {
    std::size_t w = 0;
    std::size_t count = 0;
    bool counting = true;
    for (const char16_t c : block) {
        if (counting) {
            if (c == u' ') {
                ++count;
                continue;
            }
            // The first other character of a line, the line break included.
            if (count == 0) return 0;
            if (w == 0 || count < w) w = count;
            counting = false;
        }
        if (c == u'\n') {
            counting = true;
            count = 0;
        }
    }
    return w;
}

void RunEditStamp(ide::CodePane& pane, const StampContext& context) {
    const auto selection = Attempt([&] { return pane.GetSelection(); });
    if (!selection) return;
    ide::CodeModule* module = nullptr;
    if (!Attempt([&] { module = &pane.GetCodeModule(); })) return;
    const std::int32_t s = selection->startLine;
    const std::int32_t e = selection->endLine;
    std::int32_t n = e - s + 1;
    if (selection->endColumn == 1) n = e > s ? e - s : 1;

    const std::u16string block = Attempt([&] { return module->Lines(s, n); }).value_or(u"");
    const std::u16string indent(BlockIndent(block), u' ');
    Attempt([&] { module->InsertLines(s, indent + BuildEditMarker(0, context)); });
    // A block that runs past the end of the module (a caret in an empty module) closes at the end,
    // so the opening marker never stands alone.
    const std::int32_t closing = Attempt([&] { return std::min(s + n + 1, module->CountOfLines() + 1); }).value_or(s + n + 1);
    Attempt([&] { module->InsertLines(closing, indent + BuildEditMarker(1, context)); });
    Attempt([&] { pane.SetSelection({s + 1, selection->startColumn, e + 1, selection->endColumn}); });
}

}  // namespace qm
