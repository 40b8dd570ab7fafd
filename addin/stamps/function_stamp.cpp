#include "addin/stamps/function_stamp.h"

#include <algorithm>

#include "addin/settings/format_rules.h"
#include "addin/settings/number_text.h"
#include "addin/stamps/declaration.h"
#include "addin/stamps/stamp_date.h"
#include "platform/failure.h"
#include "platform/text.h"

namespace qm {

namespace {
constexpr char16_t kCrLf[] = u"\r\n";

std::u16string Repeat(const std::u16string& text, int count) {
    std::u16string out;
    if (count <= 0) return out;
    out.reserve(text.size() * static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) out += text;
    return out;
}
}  // namespace

std::u16string IndentBlanks(const FormatModel& model) {
    return std::u16string(static_cast<std::size_t>(std::clamp<int>(ReadInt16(model.Indent), 0, kMaxIndent)), u' ');
}

std::u16string RulerLine(const FormatModel& model, const Codepage& codepage) {
    std::u16string symbol = StampLineText(model.RulerSymbol);
    std::size_t counted = codepage.ByteLength(TrimBlanks(symbol));
    if (counted == 0) counted = codepage.ByteLength(symbol);
    if (counted > kMaxRulerBytes) {
        // A symbol longer than a whole ruler: as much of it as the ruler holds, once.
        std::u16string cut;
        std::size_t bytes = 0;
        for (const char16_t c : symbol) {
            const std::size_t width = codepage.ByteLength(std::u16string_view(&c, 1));
            if (bytes + width > kMaxRulerBytes) break;
            cut.push_back(c);
            bytes += width;
        }
        return u"'" + cut;
    }
    int count = ReadInt16(model.RulerCount);
    if (counted > 0) count = std::min(count, static_cast<int>(kMaxRulerBytes / counted));
    return u"'" + Repeat(symbol, count);
}

std::u16string FormatArgumentItem(const std::u16string& declaration, const ItemAttribute& attributes, const std::u16string& indent,
                                  const std::u16string& padAll, const Codepage& codepage) {
    const ParsedDeclaration parsed = ParseDeclaration(declaration);
    if (!parsed.hasArguments) return attributes.Attr2 == 1 ? u"なし" : u"";
    std::size_t widest = 0;
    for (const auto& name : parsed.argumentNames) widest = std::max(widest, codepage.ByteLength(name));
    std::u16string out;
    int number = 1;
    for (const auto& name : parsed.argumentNames) {
        if (number > 1) out += kCrLf + (u"'" + indent + padAll + u"  ");
        if (attributes.Attr1 == 1) {
            out += u"ARG" + DecimalText(number) + u" -";
        } else {
            out += name + std::u16string(widest - codepage.ByteLength(name), u' ') + u" -";
        }
        ++number;
    }
    return out;
}

std::vector<StampLine> ComposeFunctionStampLines(const ProcedureInfo& info, const StampContext& context) {
    const FormatModel& model = context.model;
    const std::u16string indent = IndentBlanks(model);
    std::vector<StampLine> lines;
    // Without a ruler the stamp starts with an empty line, as the button has always inserted it.
    lines.push_back({model.RulerOn == 1 ? RulerLine(model, context.codepage) : std::u16string()});
    lines.push_back({u"'" + indent + kFunctionMark});
    for (const int row : model.DisplayOrder) {
        if (row < 0 || static_cast<std::size_t>(row) >= model.ItemList.size()) continue;
        const auto r = static_cast<std::size_t>(row);
        const AttributeKind itemKind = model.ItemList[r].kind;
        const ItemAttribute& a = model.ItemAttributes[r];
        std::u16string value;
        switch (itemKind) {
            case kind::kNone:
                break;
            case kind::kFunctionName:
                value = info.ProcName;
                if (a.Attr1 == 1) value += u"()";
                if (info.Kind == ProcedureKind::PropertyGet) value += u" [ﾌﾟﾛﾊﾟﾃｨ Get]";
                if (info.Kind == ProcedureKind::PropertyLet) value += u" [ﾌﾟﾛﾊﾟﾃｨ Let]";
                if (info.Kind == ProcedureKind::PropertySet) value += u" [ﾌﾟﾛﾊﾟﾃｨ Set]";
                break;
            case kind::kArguments:
                value = FormatArgumentItem(info.Declaration, a, indent, model.PadAll, context.codepage);
                break;
            case kind::kReturnValue:
                if (!ReturnsValue(info.Kind) && a.Attr1 == 1) value = u"なし";
                break;
            case kind::kCreationDate:
                value = FormatCreationDate(model, row, context.now);
                break;
            case kind::kAuthor:
                value = StampLineText(a.AttrText);
                break;
            default:
                continue;  // a kind the stamp does not know contributes nothing
        }
        lines.push_back({u"'"});
        std::u16string text = u"'" + indent + StampLineText(model.ItemList[r].name) + a.PadText + u": " + value;
        // An argument list continues on lines of its own.
        std::size_t start = 0;
        while (true) {
            const auto end = text.find(kCrLf, start);
            lines.push_back({text.substr(start, end == std::u16string::npos ? std::u16string::npos : end - start), row});
            if (end == std::u16string::npos) break;
            start = end + 2;
        }
    }
    lines.push_back({u"'"});
    if (model.RulerOn == 1) lines.push_back({RulerLine(model, context.codepage)});
    return lines;
}

std::u16string JoinStampLines(const std::vector<StampLine>& lines) {
    std::u16string s;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) s += kCrLf;
        s += lines[i].text;
    }
    return s;
}

std::vector<std::u16string> StampLineTexts(const std::vector<StampLine>& lines) {
    std::vector<std::u16string> texts;
    texts.reserve(lines.size());
    for (const StampLine& line : lines) texts.push_back(line.text);
    return texts;
}

std::u16string ComposeFunctionStamp(const ProcedureInfo& info, const StampContext& context) {
    return JoinStampLines(ComposeFunctionStampLines(info, context));
}

std::u16string ComposeModuleHeader(const std::u16string& filePath, const StampContext& context) {
    const FormatModel& model = context.model;
    const auto slash = filePath.find_last_of(u"\\/");
    const std::u16string file = StampLineText(slash == std::u16string::npos ? filePath : filePath.substr(slash + 1));
    std::u16string s;
    if (model.RulerOn == 1) s = RulerLine(model, context.codepage) + kCrLf;
    const std::size_t width = context.codepage.ByteLength(file);
    s += u"' " + std::u16string(kHeaderMark) + u" " + file + std::u16string(width < 28 ? 28 - width : 1, u' ');
    s += u"ver 1.0 ( '" + RenderStampDate(1, 1, context.now) + u" USERNAME )";
    s += kCrLf + std::u16string(u"'") + kCrLf + u"' " + kSummaryMark + kCrLf + u"'";
    if (model.RulerOn == 1) s += kCrLf + RulerLine(model, context.codepage);
    return s;
}

void ApplyFunctionStamp(ide::CodePane& pane, const ProcedureOutcome& outcome, const StampContext& context) {
    if (outcome.target == StampTarget::Nothing) return;
    ide::CodeModule* module = nullptr;
    if (!Attempt([&] { module = &pane.GetCodeModule(); })) return;
    if (outcome.target == StampTarget::ModuleHeader) {
        const std::u16string path = Attempt([&] { return module->Parent().FileNames(1); }).value_or(u"");
        const std::u16string text = ComposeModuleHeader(path, context);
        Attempt([&] { module->InsertLines(1, text); });
        Attempt([&] { pane.SetTopLine(1); });
        return;
    }
    const std::u16string text = ComposeFunctionStamp(outcome.info, context);
    Attempt([&] { module->InsertLines(outcome.info.BodyLine, text); });
    Attempt([&] { pane.SetTopLine(outcome.info.BodyLine); });
}

void RunFunctionStamp(ide::CodePane& pane, const StampContext& context) { ApplyFunctionStamp(pane, ReadProcedureAtCursor(pane), context); }

}  // namespace qm
