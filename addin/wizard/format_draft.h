#pragma once
// The format as the wizard edits it while it is open: the items under identities that survive
// renames, removals and rebuilds of the lists, one record per item, the display order as a list of
// identities, and the appearance and edit-record fields. The pages only show it; Finish composes the
// stored values from it.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "addin/settings/format_model.h"

namespace qm {

class FormatDraft {
public:
    // A fixed item is its own number (0 to 7); a custom item gets a number of its own from
    // kFirstCustomId on, kept across renames and never given to another item.
    using ItemId = std::uint32_t;
    static constexpr ItemId kFirstCustomId = 100;

    struct Custom {
        ItemId id = 0;
        std::u16string name;
        std::int32_t kind = kind::kNone;
    };

    FormatDraft() = default;
    // The loaded format: its items, their records and its display order.
    explicit FormatDraft(const FormatModel& loaded);

    // The fixed items.
    bool IsChosen(int number) const;
    std::vector<int> ChosenFixed() const;  // ascending
    std::vector<int> AvailableFixed() const;
    // False, and nothing changes, when the items would not fit the item table.
    bool Choose(int number);
    bool ChooseAll();
    void Unchoose(int number);
    void UnchooseAll();

    // The custom items.
    const std::vector<Custom>& CustomItems() const { return custom_; }
    // None, and nothing changes, when the item table is full.
    std::optional<ItemId> AddCustom(const std::u16string& name, std::int32_t kind);
    void EditCustom(ItemId id, const std::u16string& name, std::int32_t kind);
    void RemoveCustom(ItemId id);
    // Fixed and custom items together, whether or not they have a row.
    std::size_t ItemCount() const;

    // The item list: the chosen fixed items, then the custom items, at most kMaxItemRows.
    std::vector<ItemId> Rows() const;
    int RowOf(ItemId id) const;  // -1: no row
    std::u16string Name(ItemId id) const;
    AttributeKind Kind(ItemId id) const;

    // An item's attributes. A record belongs to the kind it was made for: an item whose kind has
    // changed since reads the defaults of its new kind.
    ItemAttribute Record(ItemId id) const;
    void SetRecord(ItemId id, const ItemAttribute& record);
    // Every row's record back to the defaults of its kind.
    void ResetRecords();

    // The display order: the placed items top first, and those still to be placed.
    std::vector<ItemId> Placed() const;  // only items that still have a row
    const std::vector<ItemId>& Unplaced() const { return unplaced_; }
    // Nothing placed; every row waits, in row order.
    void ResetOrder();
    void Place(ItemId id);    // at the end of the order
    void Unplace(ItemId id);  // back among the waiting ones, in row order

    // Appearance of the function-description stamp, and the edit-record fields, as typed.
    std::u16string Indent;
    std::int16_t RulerOn = 0;
    std::u16string RulerCount;
    std::u16string RulerSymbol;
    std::int16_t ShowDate = 0;
    std::int16_t HeadMark = 0;
    std::int16_t DateSeparator = 0;
    std::int16_t YearForm = 0;
    std::int16_t ShowTime = 0;
    std::u16string EditorName;

    // The format the draft describes, as the stamps and the store's composers read it.
    FormatModel Compose() const;

private:
    struct KindRecord {
        AttributeKind kind = kind::kNone;
        ItemAttribute values;
    };
    // The item list as the stored format builds it, with the item behind every row.
    FormatModel Skeleton(std::vector<ItemId>* ids) const;
    const Custom* FindCustom(ItemId id) const;

    std::int32_t setSelectList_ = 0;
    bool chosen_[kFixedItemCount] = {};
    std::vector<Custom> custom_;
    ItemId nextCustomId_ = kFirstCustomId;
    std::map<ItemId, KindRecord> records_;
    std::vector<ItemId> order_;
    std::vector<ItemId> unplaced_;
};

}  // namespace qm
