#include "addin/wizard/format_draft.h"

#include <algorithm>

namespace qm {
namespace {

template <class T>
void Erase(std::vector<T>& list, const T& value) {
    list.erase(std::remove(list.begin(), list.end(), value), list.end());
}

bool IsFixed(int number) { return number >= 0 && number < kFixedItemCount; }

}  // namespace

FormatDraft::FormatDraft(const FormatModel& loaded) : setSelectList_(loaded.SetSelectList) {
    for (const int n : loaded.ChosenFixedItems) {
        if (IsFixed(n)) chosen_[n] = true;
    }
    for (const CustomItem& item : loaded.CustomItems) custom_.push_back({nextCustomId_++, item.name, item.kind});
    std::vector<ItemId> ids;
    const FormatModel rows = Skeleton(&ids);
    for (std::size_t r = 0; r < ids.size(); ++r) {
        ItemAttribute values = loaded.ItemAttributes[r];
        values.PadText.clear();
        values.NameLength = 0;
        records_[ids[r]] = {rows.ItemList[r].kind, values};
    }
    for (const int row : loaded.DisplayOrder) {
        if (row >= 0 && static_cast<std::size_t>(row) < ids.size()) order_.push_back(ids[static_cast<std::size_t>(row)]);
    }
    Indent = loaded.Indent;
    RulerOn = loaded.RulerOn;
    RulerCount = loaded.RulerCount;
    RulerSymbol = loaded.RulerSymbol;
    ShowDate = loaded.ShowDate;
    HeadMark = loaded.HeadMark;
    DateSeparator = loaded.DateSeparator;
    YearForm = loaded.YearForm;
    ShowTime = loaded.ShowTime;
    EditorName = loaded.EditorName;
}

bool FormatDraft::IsChosen(int number) const { return IsFixed(number) && chosen_[number]; }

std::vector<int> FormatDraft::ChosenFixed() const {
    std::vector<int> out;
    for (int n = 0; n < kFixedItemCount; ++n) {
        if (chosen_[n]) out.push_back(n);
    }
    return out;
}

std::vector<int> FormatDraft::AvailableFixed() const {
    std::vector<int> out;
    for (int n = 0; n < kFixedItemCount; ++n) {
        if (!chosen_[n]) out.push_back(n);
    }
    return out;
}

bool FormatDraft::Choose(int number) {
    if (!IsFixed(number) || chosen_[number]) return true;
    if (ItemCount() + 1 > kMaxItemRows) return false;
    chosen_[number] = true;
    return true;
}

bool FormatDraft::ChooseAll() {
    if (ItemCount() + AvailableFixed().size() > kMaxItemRows) return false;
    for (bool& c : chosen_) c = true;
    return true;
}

void FormatDraft::Unchoose(int number) {
    if (IsFixed(number)) chosen_[number] = false;
}

void FormatDraft::UnchooseAll() {
    for (bool& c : chosen_) c = false;
}

std::optional<FormatDraft::ItemId> FormatDraft::AddCustom(const std::u16string& name, std::int32_t kind) {
    if (ItemCount() >= kMaxItemRows) return std::nullopt;
    custom_.push_back({nextCustomId_++, name, kind});
    return custom_.back().id;
}

void FormatDraft::EditCustom(ItemId id, const std::u16string& name, std::int32_t kind) {
    for (Custom& item : custom_) {
        if (item.id != id) continue;
        item.name = name;
        item.kind = kind;
    }
}

void FormatDraft::RemoveCustom(ItemId id) {
    custom_.erase(std::remove_if(custom_.begin(), custom_.end(), [id](const Custom& c) { return c.id == id; }), custom_.end());
    records_.erase(id);
    Erase(order_, id);
    Erase(unplaced_, id);
}

std::size_t FormatDraft::ItemCount() const { return ChosenFixed().size() + custom_.size(); }

FormatModel FormatDraft::Skeleton(std::vector<ItemId>* ids) const {
    FormatModel m;
    m.SetSelectList = setSelectList_;
    m.ChosenFixedItems = ChosenFixed();
    for (const Custom& item : custom_) m.CustomItems.push_back({item.name, item.kind});
    BuildItemList(m);
    if (ids != nullptr) {
        ids->clear();
        for (const int n : m.ChosenFixedItems) ids->push_back(static_cast<ItemId>(n));
        for (const Custom& item : custom_) ids->push_back(item.id);
        ids->resize(m.ItemList.size());
    }
    return m;
}

const FormatDraft::Custom* FormatDraft::FindCustom(ItemId id) const {
    for (const Custom& item : custom_) {
        if (item.id == id) return &item;
    }
    return nullptr;
}

std::vector<FormatDraft::ItemId> FormatDraft::Rows() const {
    std::vector<ItemId> ids;
    Skeleton(&ids);
    return ids;
}

int FormatDraft::RowOf(ItemId id) const {
    const std::vector<ItemId> rows = Rows();
    const auto found = std::find(rows.begin(), rows.end(), id);
    return found == rows.end() ? -1 : static_cast<int>(found - rows.begin());
}

std::u16string FormatDraft::Name(ItemId id) const {
    std::vector<ItemId> ids;
    const FormatModel m = Skeleton(&ids);
    const auto found = std::find(ids.begin(), ids.end(), id);
    if (found != ids.end()) return m.ItemList[static_cast<std::size_t>(found - ids.begin())].name;
    if (const Custom* item = FindCustom(id)) return item->name;
    return IsFixed(static_cast<int>(id)) ? FixedItems()[id].name : u"";
}

AttributeKind FormatDraft::Kind(ItemId id) const {
    std::vector<ItemId> ids;
    const FormatModel m = Skeleton(&ids);
    const auto found = std::find(ids.begin(), ids.end(), id);
    if (found != ids.end()) return m.ItemList[static_cast<std::size_t>(found - ids.begin())].kind;
    return IsFixed(static_cast<int>(id)) ? FixedItems()[id].kind : kind::kNone;
}

ItemAttribute FormatDraft::Record(ItemId id) const {
    const AttributeKind current = Kind(id);
    const auto found = records_.find(id);
    if (found == records_.end() || found->second.kind != current) return DefaultAttributes(current);
    return found->second.values;
}

void FormatDraft::SetRecord(ItemId id, const ItemAttribute& record) { records_[id] = {Kind(id), record}; }

void FormatDraft::ResetRecords() {
    records_.clear();
    std::vector<ItemId> ids;
    const FormatModel m = Skeleton(&ids);
    for (std::size_t r = 0; r < ids.size(); ++r) records_[ids[r]] = {m.ItemList[r].kind, DefaultAttributes(m.ItemList[r].kind)};
}

std::vector<FormatDraft::ItemId> FormatDraft::Placed() const {
    const std::vector<ItemId> rows = Rows();
    std::vector<ItemId> out;
    for (const ItemId id : order_) {
        if (std::find(rows.begin(), rows.end(), id) != rows.end()) out.push_back(id);
    }
    return out;
}

void FormatDraft::ResetOrder() {
    order_.clear();
    unplaced_ = Rows();
}

void FormatDraft::Place(ItemId id) {
    Erase(unplaced_, id);
    Erase(order_, id);
    order_.push_back(id);
}

void FormatDraft::Unplace(ItemId id) {
    Erase(order_, id);
    Erase(unplaced_, id);
    const int row = RowOf(id);
    auto at = unplaced_.begin();
    while (at != unplaced_.end() && RowOf(*at) <= row) ++at;
    unplaced_.insert(at, id);
}

FormatModel FormatDraft::Compose() const {
    std::vector<ItemId> ids;
    FormatModel m = Skeleton(&ids);
    for (std::size_t r = 0; r < ids.size(); ++r) m.ItemAttributes[r] = Record(ids[r]);
    for (const ItemId id : Placed()) {
        m.DisplayOrder.push_back(static_cast<int>(std::find(ids.begin(), ids.end(), id) - ids.begin()));
    }
    ComputeItemPadding(m);
    m.Indent = Indent;
    m.RulerOn = RulerOn;
    m.RulerCount = RulerCount;
    m.RulerSymbol = RulerSymbol;
    m.ShowDate = ShowDate;
    m.HeadMark = HeadMark;
    m.DateSeparator = DateSeparator;
    m.YearForm = YearForm;
    m.ShowTime = ShowTime;
    m.EditorName = EditorName;
    return m;
}

}  // namespace qm
