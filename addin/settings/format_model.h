#pragma once
// The format of both stamps: what the format wizard edits, the settings store keeps as text, and
// the stamp commands read.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "addin/settings/settings_store.h"

namespace qm {

// What a row's attributes mean: -1 none, 0 function name, 2 arguments, 3 return value,
// 4 creation date, 5 author. 1 is the wizard's empty attribute panel and never stored.
using AttributeKind = std::int16_t;

// The kinds of item, as the item lists tag them and the stamps read them.
namespace kind {
inline constexpr AttributeKind kNone = -1;  // no attributes (機能, 機能説明, 備考, or a custom item without a kind)
inline constexpr AttributeKind kFunctionName = 0;
inline constexpr AttributeKind kEmptyPanel = 1;  // only the wizard's empty attribute panel; never stored
inline constexpr AttributeKind kArguments = 2;
inline constexpr AttributeKind kReturnValue = 3;
inline constexpr AttributeKind kCreationDate = 4;
inline constexpr AttributeKind kAuthor = 5;
}  // namespace kind

inline constexpr int kFixedItemCount = 8;
inline constexpr std::size_t kMaxItemRows = 31;

struct FixedItem {
    const char16_t* name;
    AttributeKind kind;
};
const std::array<FixedItem, kFixedItemCount>& FixedItems();

struct CustomItem {
    std::u16string name;
    std::int32_t kind = -1;
    friend bool operator==(const CustomItem&, const CustomItem&) = default;
};

struct ItemRow {
    std::u16string name;
    AttributeKind kind = -1;
};

struct ItemAttribute {
    std::int16_t Attr1 = 0;
    std::int16_t Attr2 = 0;
    std::int16_t Attr3 = 0;
    std::int16_t Attr4 = 0;
    std::u16string AttrText;
    std::u16string PadText;
    std::int16_t NameLength = 0;
};

// A row's record as it stands before any stored attributes are applied.
ItemAttribute DefaultAttributes(AttributeKind kind);

struct FormatModel {
    std::int32_t SetSelectList = 0;
    std::vector<int> ChosenFixedItems;  // ascending
    std::vector<CustomItem> CustomItems;
    std::vector<ItemRow> ItemList;  // at most kMaxItemRows
    std::array<ItemAttribute, kMaxItemRows> ItemAttributes;
    std::vector<int> DisplayOrder;  // rows of ItemList
    std::u16string PadAll;

    std::u16string Indent = u"1";
    std::int16_t RulerOn = 1;
    std::u16string RulerCount = u"78";
    std::u16string RulerSymbol = u"-";

    std::int16_t ShowDate = 1;
    std::int16_t HeadMark = 1;
    std::int16_t DateSeparator = 1;
    std::int16_t YearForm = 1;
    std::int16_t ShowTime = 1;
    std::u16string EditorName = u"名前";
};

// One parser and one composer per stored value.
std::vector<int> ParseFixedFormList(std::u16string_view value);
std::u16string ComposeFixedFormList(const std::vector<int>& chosen);

std::vector<CustomItem> ParseCustomFormList(std::u16string_view value);
std::u16string ComposeCustomFormList(const std::vector<CustomItem>& items);

// Needs ItemList built and its records at their defaults; fills DisplayOrder and the records named.
void ParseSelectDatas(std::u16string_view value, FormatModel& model);
std::u16string ComposeSelectDatas(const FormatModel& model);

void ParseExtendValue(std::u16string_view value, FormatModel& model);
std::u16string ComposeExtendValue(const FormatModel& model);

void ParseEditStamp(std::u16string_view value, FormatModel& model);
std::u16string ComposeEditStamp(const FormatModel& model);

// ItemList from the chosen fixed items and the custom items, every record at its kind's defaults.
// Items beyond the table's 31 rows get no row; they stay in the custom item list.
void BuildItemList(FormatModel& model);
// NameLength and PadText of every row, and PadAll.
void ComputeItemPadding(FormatModel& model);

// What of a format would put a line of its own into the code (a line break or another control
// character in a name, the author, the editor or the ruler symbol): one message per text, naming the
// stored value it comes from; empty when nothing would. The command refuses such a store; the stamps
// themselves write each such character as a blank.
std::vector<std::u16string> LineBreakersInFormat(const FormatModel& model);

// The whole model from the settings store, in the order the format wizard reads it.
FormatModel LoadFormatModel(SettingsStore& store);
// The function-description group, or the edit-record value, back into the store.
void SaveFunctionFormat(const FormatModel& model, SettingsStore& store);
void SaveEditFormat(const FormatModel& model, SettingsStore& store);

}  // namespace qm
