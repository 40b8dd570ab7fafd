#include "addin/settings/format_model.h"

#include <algorithm>

#include "addin/settings/format_rules.h"
#include "addin/settings/number_text.h"
#include "platform/text.h"

namespace qm {

const std::array<FixedItem, kFixedItemCount>& FixedItems() {
    static const std::array<FixedItem, kFixedItemCount> items = {{
        {u"関数名", kind::kFunctionName},
        {u"機能", kind::kNone},
        {u"引数", kind::kArguments},
        {u"戻り値", kind::kReturnValue},
        {u"作成日", kind::kCreationDate},
        {u"作成者", kind::kAuthor},
        {u"機能説明", kind::kNone},
        {u"備考", kind::kNone},
    }};
    return items;
}

ItemAttribute DefaultAttributes(AttributeKind itemKind) {
    ItemAttribute a;
    switch (itemKind) {
        case kind::kArguments:
            a.Attr2 = 1;
            break;
        case kind::kReturnValue:
            a.Attr1 = 1;
            break;
        case kind::kCreationDate:
            a.Attr1 = 1;
            a.Attr2 = 1;
            a.Attr3 = 1;
            break;
        default:
            break;
    }
    return a;
}

std::vector<int> ParseFixedFormList(std::u16string_view value) {
    std::vector<int> chosen;
    for (int n = 0; n < kFixedItemCount; ++n) {
        if (value.find(static_cast<char16_t>(u'0' + n)) != std::u16string_view::npos) chosen.push_back(n);
    }
    return chosen;
}

std::u16string ComposeFixedFormList(const std::vector<int>& chosen) {
    std::u16string out;
    for (const int n : chosen) {
        if (!out.empty()) out += u",";
        out += DecimalText(n);
    }
    return out;
}

std::vector<CustomItem> ParseCustomFormList(std::u16string_view value) {
    // One pass: every character is looked at a bounded number of times, whatever the value holds.
    std::vector<CustomItem> items;
    const std::size_t n = value.size();
    std::size_t open = value.find(u'[');
    while (open != std::u16string_view::npos) {
        std::size_t comma = open + 1;
        while (comma < n && value[comma] != u',' && value[comma] != u'[') ++comma;
        if (comma >= n) break;  // no kind follows: nothing more to place
        if (value[comma] == u'[') {
            // A "[" inside a name is outside the grammar: the inner "[" starts the item, so that no
            // name is read twice (a value of nested brackets stays linear).
            open = comma;
            continue;
        }
        // The kind runs to the "]"; a "[" ends its number too, and the next item starts there.
        std::size_t end = comma + 1;
        while (end < n && value[end] != u']' && value[end] != u'[') ++end;
        items.push_back({std::u16string(value.substr(open + 1, comma - open - 1)), ReadInt32(value.substr(comma + 1, end - comma - 1))});
        open = end < n && value[end] == u'[' ? end : value.find(u'[', end);
    }
    return items;
}

std::u16string ComposeCustomFormList(const std::vector<CustomItem>& items) {
    std::u16string out;
    for (const CustomItem& item : items) out += u"[" + item.name + u"," + DecimalText(item.kind) + u"]";
    return out;
}

void ParseSelectDatas(std::u16string_view value, FormatModel& model) {
    model.DisplayOrder.clear();
    constexpr auto npos = std::u16string_view::npos;
    // The first "]" at or after a place. The places asked for only move forward, so the "]" found is
    // kept until the search passes it: the whole parse is linear in the value.
    std::size_t close = value.find(u']');
    const auto nextClose = [&](std::size_t pos) {
        if (close != npos && close < pos) close = value.find(u']', pos);
        return close;
    };
    std::size_t from = 0;
    while (true) {
        const auto open = value.find(u'[', from);
        if (open == npos) break;
        const std::size_t groupClose = nextClose(open + 1);
        const std::size_t limit = groupClose == npos ? value.size() : groupClose;
        // The five commas of the group; a group that closes before its fifth comma is skipped.
        std::size_t commas[5];
        std::size_t pos = open + 1;
        bool whole = true;
        for (auto& comma : commas) {
            comma = value.substr(0, limit).find(u',', pos);
            if (comma == npos) {
                whole = false;
                from = groupClose == npos ? value.size() : groupClose + 1;
                break;
            }
            pos = comma + 1;
        }
        if (!whole) continue;
        const std::size_t textEnd = limit;
        const std::int32_t row = ReadInt32(value.substr(open + 1, commas[0] - open - 1));
        from = commas[4] + 1;
        // A row that names no item, or one already shown, cannot be placed.
        if (row < 0 || static_cast<std::size_t>(row) >= model.ItemList.size() ||
            std::find(model.DisplayOrder.begin(), model.DisplayOrder.end(), row) != model.DisplayOrder.end()) {
            continue;
        }
        ItemAttribute& record = model.ItemAttributes[static_cast<std::size_t>(row)];
        record.Attr1 = ReadInt16(value.substr(commas[0] + 1, commas[1] - commas[0] - 1));
        record.Attr2 = ReadInt16(value.substr(commas[1] + 1, commas[2] - commas[1] - 1));
        record.Attr3 = ReadInt16(value.substr(commas[2] + 1, commas[3] - commas[2] - 1));
        record.Attr4 = ReadInt16(value.substr(commas[3] + 1, commas[4] - commas[3] - 1));
        record.AttrText = std::u16string(value.substr(commas[4] + 1, textEnd - commas[4] - 1));
        model.DisplayOrder.push_back(row);
    }
}

std::u16string ComposeSelectDatas(const FormatModel& model) {
    std::u16string out;
    for (const int row : model.DisplayOrder) {
        if (row < 0 || static_cast<std::size_t>(row) >= kMaxItemRows) continue;
        const ItemAttribute& a = model.ItemAttributes[static_cast<std::size_t>(row)];
        // Appended piece by piece: GCC 12 warns of overlaps that cannot happen in long chains of
        // temporaries of std::u16string (a known false positive of -Wrestrict at -O2 and above).
        out += u'[';
        for (const std::int32_t n : {static_cast<std::int32_t>(row), static_cast<std::int32_t>(a.Attr1), static_cast<std::int32_t>(a.Attr2),
                                     static_cast<std::int32_t>(a.Attr3), static_cast<std::int32_t>(a.Attr4)}) {
            out += DecimalText(n);
            out += u',';
        }
        out += a.AttrText;
        out += u']';
    }
    return out;
}

namespace {
// The fields before the first `count` commas, and everything after the last of them.
std::vector<std::u16string_view> SplitLeading(std::u16string_view value, std::size_t count) {
    std::vector<std::u16string_view> fields;
    std::size_t pos = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const auto comma = value.find(u',', pos);
        if (comma == std::u16string_view::npos) {
            // Too few commas: the rest is the last field present, the missing ones are empty.
            fields.push_back(value.substr(std::min(pos, value.size())));
            pos = value.size() + 1;
            continue;
        }
        fields.push_back(value.substr(pos, comma - pos));
        pos = comma + 1;
    }
    fields.push_back(pos <= value.size() ? value.substr(pos) : std::u16string_view());
    return fields;
}
}  // namespace

void ParseExtendValue(std::u16string_view value, FormatModel& model) {
    const auto f = SplitLeading(value, 3);
    model.Indent = std::u16string(f[0]);
    model.RulerOn = ReadInt16(f[1]);
    model.RulerCount = std::u16string(f[2]);
    model.RulerSymbol = std::u16string(f[3]);
}

std::u16string ComposeExtendValue(const FormatModel& model) {
    return std::u16string(TrimBlanks(model.Indent)) + u"," + DecimalText(model.RulerOn) + u"," +
           std::u16string(TrimBlanks(model.RulerCount)) + u"," + model.RulerSymbol;
}

void ParseEditStamp(std::u16string_view value, FormatModel& model) {
    const auto f = SplitLeading(value, 5);
    model.ShowDate = ReadInt16(f[0]);
    model.HeadMark = ReadInt16(f[1]);
    model.DateSeparator = ReadInt16(f[2]);
    model.YearForm = ReadInt16(f[3]);
    model.ShowTime = ReadInt16(f[4]);
    model.EditorName = std::u16string(f[5]);
}

std::u16string ComposeEditStamp(const FormatModel& model) {
    return DecimalText(model.ShowDate) + u"," + DecimalText(model.HeadMark) + u"," + DecimalText(model.DateSeparator) + u"," +
           DecimalText(model.YearForm) + u"," + DecimalText(model.ShowTime) + u"," + model.EditorName;
}

void BuildItemList(FormatModel& model) {
    model.ItemList.clear();
    for (const int n : model.ChosenFixedItems) {
        if (n >= 0 && n < kFixedItemCount)
            model.ItemList.push_back({FixedItems()[static_cast<std::size_t>(n)].name, FixedItems()[static_cast<std::size_t>(n)].kind});
    }
    for (const CustomItem& item : model.CustomItems) {
        if (model.ItemList.size() >= kMaxItemRows) break;
        const auto kind = static_cast<AttributeKind>(std::clamp<std::int32_t>(item.kind, INT16_MIN, INT16_MAX));
        // A stored name the custom item dialog would refuse as too long is taken at its longest.
        model.ItemList.push_back({item.name.substr(0, kMaxCustomNameLength), kind});
    }
    for (std::size_t r = 0; r < kMaxItemRows; ++r) {
        model.ItemAttributes[r] = r < model.ItemList.size() ? DefaultAttributes(model.ItemList[r].kind) : ItemAttribute{};
    }
}

void ComputeItemPadding(FormatModel& model) {
    std::size_t widest = 0;
    for (const ItemRow& row : model.ItemList) widest = std::max(widest, row.name.size());
    for (std::size_t r = 0; r < model.ItemList.size() && r < kMaxItemRows; ++r) {
        ItemAttribute& a = model.ItemAttributes[r];
        const std::size_t length = model.ItemList[r].name.size();
        a.NameLength = static_cast<std::int16_t>(std::min<std::size_t>(length, INT16_MAX));
        a.PadText = std::u16string(widest + 1 - length, u'\u3000');
    }
    model.PadAll = std::u16string(widest + 1, u'\u3000');
}

FormatModel LoadFormatModel(SettingsStore& store) {
    const auto read = [&](const char16_t* name) { return store.ReadSettingString(name, FindSetting(name)->defaultText); };
    FormatModel model;
    model.SetSelectList = store.ReadSettingNumber(u"SetSelectList", FindSetting(u"SetSelectList")->defaultNumber);
    model.ChosenFixedItems = ParseFixedFormList(read(u"FixedFormList"));
    model.CustomItems = ParseCustomFormList(read(u"CustomFormList"));
    BuildItemList(model);
    ParseSelectDatas(read(u"SelectDatas"), model);
    ParseExtendValue(read(u"ExtendValue"), model);
    ComputeItemPadding(model);
    ParseEditStamp(read(u"EditStamp"), model);
    return model;
}

std::vector<std::u16string> LineBreakersInFormat(const FormatModel& model) {
    std::vector<std::u16string> refusals;
    const auto check = [&](std::u16string_view what, std::u16string_view text) {
        if (auto refusal = LineBreakerRefusal(what, text)) refusals.push_back(std::move(*refusal));
    };
    for (const CustomItem& item : model.CustomItems) check(u"CustomFormList: the item name", item.name);
    for (std::size_t r = 0; r < model.ItemList.size() && r < kMaxItemRows; ++r) {
        check(u"SelectDatas: the text of " + model.ItemList[r].name, model.ItemAttributes[r].AttrText);
    }
    check(u"ExtendValue: the ruler symbol", model.RulerSymbol);
    check(u"EditStamp: the editor's name", model.EditorName);
    return refusals;
}

void SaveFunctionFormat(const FormatModel& model, SettingsStore& store) {
    store.WriteSettingString(u"FixedFormList", ComposeFixedFormList(model.ChosenFixedItems));
    store.WriteSettingString(u"CustomFormList", ComposeCustomFormList(model.CustomItems));
    store.WriteSettingString(u"SelectDatas", ComposeSelectDatas(model));
    store.WriteSettingString(u"ExtendValue", ComposeExtendValue(model));
}

void SaveEditFormat(const FormatModel& model, SettingsStore& store) { store.WriteSettingString(u"EditStamp", ComposeEditStamp(model)); }

}  // namespace qm
