// Each stored value of the format, through its parser and its composer: whatever a store holds, it
// loads; what is composed from the loaded model loads as the same model.
#include <cstddef>
#include <cstdint>
#include <string>

#include "addin/settings/format_model.h"
#include "addin/settings/number_text.h"
#include "addin/settings/settings_store.h"
#include "platform/sim/registry_memory.h"
#include "platform/text.h"

namespace {

// exact: the texts of the indent and the ruler count too; otherwise the numbers they hold (the
// composer writes them without their outer blanks).
bool SameModel(const qm::FormatModel& a, const qm::FormatModel& b, bool exact) {
    if (a.ItemList.size() != b.ItemList.size() || a.DisplayOrder != b.DisplayOrder) return false;
    if (a.ChosenFixedItems != b.ChosenFixedItems || !(a.CustomItems == b.CustomItems)) return false;
    for (std::size_t r = 0; r < a.ItemList.size(); ++r) {
        if (a.ItemList[r].name != b.ItemList[r].name || a.ItemList[r].kind != b.ItemList[r].kind) return false;
    }
    for (const int row : a.DisplayOrder) {
        const auto& x = a.ItemAttributes[static_cast<std::size_t>(row)];
        const auto& y = b.ItemAttributes[static_cast<std::size_t>(row)];
        if (x.Attr1 != y.Attr1 || x.Attr2 != y.Attr2 || x.Attr3 != y.Attr3 || x.Attr4 != y.Attr4 || x.AttrText != y.AttrText) return false;
    }
    const bool numbers =
        exact ? a.Indent == b.Indent && a.RulerCount == b.RulerCount
              : qm::ReadInt16(a.Indent) == qm::ReadInt16(b.Indent) && qm::ReadInt16(a.RulerCount) == qm::ReadInt16(b.RulerCount);
    return numbers && a.RulerOn == b.RulerOn && a.RulerSymbol == b.RulerSymbol && a.ShowDate == b.ShowDate && a.HeadMark == b.HeadMark &&
           a.DateSeparator == b.DateSeparator && a.YearForm == b.YearForm && a.ShowTime == b.ShowTime && a.EditorName == b.EditorName;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const auto codepage = qm::MakeCp932Codepage();
    // The input is the five values, separated by line feeds, as text the code page holds.
    const std::u16string text = codepage->FromAnsi(std::string(reinterpret_cast<const char*>(data), size));
    const char16_t* names[] = {u"FixedFormList", u"CustomFormList", u"SelectDatas", u"ExtendValue", u"EditStamp"};
    qm::MemoryRegistry registry;
    qm::SettingsStore store(registry, *codepage);
    store.ReadSettingString(u"EditStamp", u"");  // lays down the initial values
    std::size_t from = 0;
    for (const char16_t* name : names) {
        const auto end = std::min(text.find(u'\n', from), text.size());
        if (from <= text.size()) store.WriteSettingString(name, text.substr(from, end - from));
        from = end + 1;
    }
    const auto again = [&](const qm::FormatModel& model) {
        qm::SaveFunctionFormat(model, store);
        qm::SaveEditFormat(model, store);
        return qm::LoadFormatModel(store);
    };
    const qm::FormatModel first = qm::LoadFormatModel(store);
    const qm::FormatModel second = again(first);
    if (!SameModel(first, second, false)) __builtin_trap();
    if (!SameModel(second, again(second), true)) __builtin_trap();
    return 0;
}
