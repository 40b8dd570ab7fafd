#include "platform/sim/registry_memory.h"

#include <algorithm>
#include <utility>

#include "platform/text.h"

namespace qm {

std::u16string NormalizeKeyPath(const std::u16string& path) {
    std::u16string out;
    for (const char16_t c : path) {
        if (c == u'\\' && (out.empty() || out.back() == u'\\')) continue;
        out.push_back(c);
    }
    while (!out.empty() && out.back() == u'\\') out.pop_back();
    return out;
}

namespace {
std::u16string Folded(const std::u16string& path) { return FoldAscii(NormalizeKeyPath(path)); }
}  // namespace

std::size_t MemoryRegistry::Find(const KeyName& name) const {
    const auto it = index_.find(name);
    return it == index_.end() ? kNone : it->second;
}

bool MemoryRegistry::HasSubkeys(const KeyName& name) const {
    // Every name that starts with "NAME\" follows "NAME\" directly in the index.
    const KeyName below{name.hive, name.folded + u'\\'};
    const auto it = index_.lower_bound(below);
    return it != index_.end() && it->first.hive == name.hive && it->first.folded.starts_with(below.folded);
}

bool MemoryRegistry::Exists(const KeyName& name) const {
    if (name.folded.empty()) return true;  // the hive itself
    // A parent of a stored key exists too.
    return Find(name) != kNone || HasSubkeys(name);
}

std::size_t MemoryRegistry::Add(Hive hive, std::u16string path, const KeyName& name) {
    const std::size_t at = keys_.size();
    keys_.push_back({hive, std::move(path), {}});
    slots_.push_back({name, false, {}, {}, 0});
    index_.emplace(name, at);
    return at;
}

RegKey MemoryRegistry::NewHandle(KeyName name) {
    const RegKey key = nextHandle_++;
    handles_.emplace(key, std::move(name));
    return key;
}

std::size_t MemoryRegistry::Resolve(RegKey key) {
    const auto it = handles_.find(key);
    if (it == handles_.end()) return kNone;
    const KeyName& name = it->second;
    if (const std::size_t at = Find(name); at != kNone) return at;
    if (!Exists(name)) return kNone;  // deleted meanwhile
    // A parent that exists only through its subkeys becomes a key of its own once it is used, under
    // the spelling its subkeys give it (folding keeps the length).
    std::u16string path;
    if (!name.folded.empty()) {
        const auto below = index_.lower_bound(KeyName{name.hive, name.folded + u'\\'});
        path = keys_[below->second].path.substr(0, name.folded.size());
    }
    return Add(name.hive, std::move(path), name);
}

void MemoryRegistry::Put(std::size_t at, const std::u16string& name, std::uint32_t type, std::string data) {
    Slot& slot = slots_[at];
    std::vector<RegValue>& values = keys_[at].values;
    std::u16string folded = FoldAscii(name);
    const auto it = slot.values.find(folded);
    if (it != slot.values.end()) {
        values[it->second].type = type;
        values[it->second].data = std::move(data);
        return;
    }
    slot.values.emplace(std::move(folded), values.size());
    values.push_back({name, type, std::move(data)});
    if (!slot.deletedValues.empty()) slot.deletedValues.push_back(false);
}

void MemoryRegistry::Remove(std::size_t at) {
    Slot& slot = slots_[at];
    index_.erase(slot.name);
    slot.deleted = true;
    slot.values.clear();
    slot.deletedValues.clear();
    slot.deletedCount = 0;
    keys_[at].path.clear();
    keys_[at].values.clear();
    ++deletedKeys_;
}

void MemoryRegistry::CompactValues(std::size_t at) const {
    Slot& slot = slots_[at];
    if (slot.deletedCount == 0) return;
    std::vector<RegValue>& values = keys_[at].values;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (slot.deletedValues[i]) continue;
        if (kept != i) {
            values[kept] = std::move(values[i]);
            slot.values.find(FoldAscii(values[kept].name))->second = kept;
        }
        ++kept;
    }
    values.resize(kept);
    slot.deletedValues.clear();
    slot.deletedCount = 0;
}

void MemoryRegistry::Compact() const {
    if (valuesDeleted_) {
        for (std::size_t at = 0; at < slots_.size(); ++at) CompactValues(at);
        valuesDeleted_ = false;
    }
    if (deletedKeys_ == 0) return;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < keys_.size(); ++i) {
        if (slots_[i].deleted) continue;
        if (kept != i) {
            keys_[kept] = std::move(keys_[i]);
            slots_[kept] = std::move(slots_[i]);
            index_.find(slots_[kept].name)->second = kept;
        }
        ++kept;
    }
    keys_.resize(kept);
    slots_.resize(kept);
    deletedKeys_ = 0;
}

const std::vector<RegKeyContent>& MemoryRegistry::Keys() const {
    Compact();
    return keys_;
}

void MemoryRegistry::Assign(const std::vector<RegKeyContent>& keys) {
    keys_.clear();
    slots_.clear();
    index_.clear();
    deletedKeys_ = 0;
    valuesDeleted_ = false;
    for (const RegKeyContent& key : keys) {
        std::u16string path = NormalizeKeyPath(key.path);
        const KeyName name{key.hive, FoldAscii(path)};
        std::size_t at = Find(name);
        if (at == kNone) at = Add(key.hive, std::move(path), name);
        for (const RegValue& value : key.values) Put(at, value.name, value.type, value.data);
    }
}

RegStatus MemoryRegistry::OpenKey(Hive hive, const std::u16string& path, RegKey* key) {
    if (denyAccess_) return RegStatus::AccessDenied;
    KeyName name{hive, Folded(path)};
    if (!Exists(name)) return RegStatus::NotFound;
    *key = NewHandle(std::move(name));
    return RegStatus::Success;
}

RegStatus MemoryRegistry::CreateKey(Hive hive, const std::u16string& path, RegKey* key) {
    if (denyAccess_) return RegStatus::AccessDenied;
    std::u16string normal = NormalizeKeyPath(path);
    KeyName name{hive, FoldAscii(normal)};
    if (Find(name) == kNone) {
        Add(hive, std::move(normal), name);
        if (const RegStatus rc = Changed(); rc != RegStatus::Success) {
            index_.erase(name);
            keys_.pop_back();
            slots_.pop_back();
            return rc;
        }
    }
    *key = NewHandle(std::move(name));
    return RegStatus::Success;
}

RegStatus MemoryRegistry::QueryValue(RegKey key, const std::u16string& name, std::uint32_t* type, std::uint8_t* data, std::uint32_t* size) {
    const std::size_t at = Resolve(key);
    if (at == kNone) return RegStatus::Failure;
    const auto found = slots_[at].values.find(FoldAscii(name));
    if (found == slots_[at].values.end()) return RegStatus::NotFound;
    const RegValue& value = keys_[at].values[found->second];
    if (type != nullptr) *type = value.type;
    const auto stored = static_cast<std::uint32_t>(value.data.size());
    if (data == nullptr) {
        if (size != nullptr) *size = stored;
        return RegStatus::Success;
    }
    if (size == nullptr) return RegStatus::Failure;
    if (*size < stored) {
        *size = stored;
        return RegStatus::MoreData;
    }
    std::copy_n(value.data.data(), stored, data);
    *size = stored;
    return RegStatus::Success;
}

RegStatus MemoryRegistry::SetValue(RegKey key, const std::u16string& name, std::uint32_t type, const std::uint8_t* data,
                                   std::uint32_t size) {
    const std::size_t at = Resolve(key);
    if (at == kNone) return RegStatus::Failure;
    Put(at, name, type, size == 0 ? std::string() : std::string(reinterpret_cast<const char*>(data), size));
    return Changed();
}

RegStatus MemoryRegistry::DeleteValue(RegKey key, const std::u16string& name) {
    const std::size_t at = Resolve(key);
    if (at == kNone) return RegStatus::Failure;
    Slot& slot = slots_[at];
    const auto found = slot.values.find(FoldAscii(name));
    if (found == slot.values.end()) return RegStatus::NotFound;
    std::vector<RegValue>& values = keys_[at].values;
    if (slot.deletedValues.empty()) slot.deletedValues.assign(values.size(), false);
    slot.deletedValues[found->second] = true;
    values[found->second] = {};
    slot.values.erase(found);
    ++slot.deletedCount;
    valuesDeleted_ = true;
    // Once most places are empty, closing them up costs no more than the deletions did.
    if (slot.deletedCount > values.size() / 2) CompactValues(at);
    return Changed();
}

RegStatus MemoryRegistry::EnumValue(RegKey key, std::uint32_t index, std::u16string* name, std::uint32_t* type, std::string* data) {
    const std::size_t at = Resolve(key);
    if (at == kNone) return RegStatus::Failure;
    CompactValues(at);
    const std::vector<RegValue>& values = keys_[at].values;
    if (index >= values.size()) return RegStatus::NotFound;
    const RegValue& value = values[index];
    if (name != nullptr) *name = value.name;
    if (type != nullptr) *type = value.type;
    if (data != nullptr) *data = value.data;
    return RegStatus::Success;
}

RegStatus MemoryRegistry::DeleteKey(Hive hive, const std::u16string& path) {
    if (denyAccess_) return RegStatus::AccessDenied;
    const KeyName name{hive, Folded(path)};
    if (name.folded.empty() || !Exists(name)) return RegStatus::NotFound;
    if (HasSubkeys(name)) return RegStatus::AccessDenied;  // subkeys must go first
    const std::size_t at = Find(name);
    if (at == kNone) return RegStatus::Success;
    Remove(at);
    if (deletedKeys_ > keys_.size() / 2) Compact();
    return Changed();
}

RegStatus MemoryRegistry::DeleteTree(Hive hive, const std::u16string& path) {
    if (denyAccess_) return RegStatus::AccessDenied;
    const KeyName name{hive, Folded(path)};
    if (name.folded.empty() || !Exists(name)) return RegStatus::NotFound;
    std::vector<std::size_t> doomed;
    if (const std::size_t at = Find(name); at != kNone) doomed.push_back(at);
    const KeyName below{hive, name.folded + u'\\'};
    for (auto it = index_.lower_bound(below); it != index_.end() && it->first.hive == hive && it->first.folded.starts_with(below.folded);
         ++it) {
        doomed.push_back(it->second);
    }
    if (doomed.empty()) return RegStatus::Success;
    for (const std::size_t at : doomed) Remove(at);
    if (deletedKeys_ > keys_.size() / 2) Compact();
    return Changed();
}

RegStatus MemoryRegistry::CloseKey(RegKey key) { return handles_.erase(key) == 1 ? RegStatus::Success : RegStatus::Failure; }

}  // namespace qm
