#include "platform/registry_memory.h"

#include <algorithm>
#include <cstring>

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

RegKeyContent* MemoryRegistry::Find(Hive hive, const std::u16string& folded) {
    for (auto& key : keys_) {
        if (key.hive == hive && FoldAscii(key.path) == folded) return &key;
    }
    return nullptr;
}

bool MemoryRegistry::Exists(Hive hive, const std::u16string& folded) const {
    if (folded.empty()) return true;  // the hive itself
    for (const auto& key : keys_) {
        if (key.hive != hive) continue;
        const std::u16string other = FoldAscii(key.path);
        if (other == folded) return true;
        // A parent of a stored key exists too.
        if (other.size() > folded.size() && other.compare(0, folded.size(), folded) == 0 && other[folded.size()] == u'\\') {
            return true;
        }
    }
    return false;
}

RegKey MemoryRegistry::NewHandle(Hive hive, std::u16string folded) {
    const RegKey key = nextHandle_++;
    handles_.emplace(key, Handle{hive, std::move(folded)});
    return key;
}

RegKeyContent* MemoryRegistry::Resolve(RegKey key) {
    const auto it = handles_.find(key);
    if (it == handles_.end()) return nullptr;
    if (RegKeyContent* found = Find(it->second.hive, it->second.folded)) return found;
    if (!Exists(it->second.hive, it->second.folded)) return nullptr;  // deleted meanwhile
    // A parent that exists only through its subkeys becomes a key of its own once it is written.
    keys_.push_back({it->second.hive, it->second.folded, {}});
    return &keys_.back();
}

RegStatus MemoryRegistry::OpenKey(Hive hive, const std::u16string& path, RegKey* key) {
    if (denyAccess_) return RegStatus::AccessDenied;
    const std::u16string folded = Folded(path);
    if (!Exists(hive, folded)) return RegStatus::NotFound;
    *key = NewHandle(hive, folded);
    return RegStatus::Success;
}

RegStatus MemoryRegistry::CreateKey(Hive hive, const std::u16string& path, RegKey* key) {
    if (denyAccess_) return RegStatus::AccessDenied;
    const std::u16string folded = Folded(path);
    if (Find(hive, folded) == nullptr) {
        keys_.push_back({hive, NormalizeKeyPath(path), {}});
        if (const RegStatus rc = Changed(); rc != RegStatus::Success) {
            keys_.pop_back();
            return rc;
        }
    }
    *key = NewHandle(hive, folded);
    return RegStatus::Success;
}

RegStatus MemoryRegistry::QueryValue(RegKey key, const std::u16string& name, std::uint32_t* type, std::uint8_t* data, std::uint32_t* size) {
    RegKeyContent* content = Resolve(key);
    if (content == nullptr) return RegStatus::Failure;
    const auto it =
        std::find_if(content->values.begin(), content->values.end(), [&](const RegValue& v) { return EqualsIgnoreCase(v.name, name); });
    if (it == content->values.end()) return RegStatus::NotFound;
    if (type != nullptr) *type = it->type;
    const auto stored = static_cast<std::uint32_t>(it->data.size());
    if (data == nullptr) {
        if (size != nullptr) *size = stored;
        return RegStatus::Success;
    }
    if (size == nullptr) return RegStatus::Failure;
    if (*size < stored) {
        *size = stored;
        return RegStatus::MoreData;
    }
    std::copy_n(it->data.data(), stored, data);
    *size = stored;
    return RegStatus::Success;
}

RegStatus MemoryRegistry::SetValue(RegKey key, const std::u16string& name, std::uint32_t type, const std::uint8_t* data,
                                   std::uint32_t size) {
    RegKeyContent* content = Resolve(key);
    if (content == nullptr) return RegStatus::Failure;
    const std::string bytes = size == 0 ? std::string() : std::string(reinterpret_cast<const char*>(data), size);
    const auto it =
        std::find_if(content->values.begin(), content->values.end(), [&](const RegValue& v) { return EqualsIgnoreCase(v.name, name); });
    if (it == content->values.end()) {
        content->values.push_back({name, type, bytes});
    } else {
        it->type = type;
        it->data = bytes;
    }
    return Changed();
}

RegStatus MemoryRegistry::DeleteValue(RegKey key, const std::u16string& name) {
    RegKeyContent* content = Resolve(key);
    if (content == nullptr) return RegStatus::Failure;
    const auto it =
        std::find_if(content->values.begin(), content->values.end(), [&](const RegValue& v) { return EqualsIgnoreCase(v.name, name); });
    if (it == content->values.end()) return RegStatus::NotFound;
    content->values.erase(it);
    return Changed();
}

RegStatus MemoryRegistry::EnumValue(RegKey key, std::uint32_t index, std::u16string* name, std::uint32_t* type, std::string* data) {
    RegKeyContent* content = Resolve(key);
    if (content == nullptr) return RegStatus::Failure;
    if (index >= content->values.size()) return RegStatus::NotFound;
    const RegValue& value = content->values[index];
    if (name != nullptr) *name = value.name;
    if (type != nullptr) *type = value.type;
    if (data != nullptr) *data = value.data;
    return RegStatus::Success;
}

RegStatus MemoryRegistry::DeleteKey(Hive hive, const std::u16string& path) {
    if (denyAccess_) return RegStatus::AccessDenied;
    const std::u16string folded = Folded(path);
    if (!Exists(hive, folded) || folded.empty()) return RegStatus::NotFound;
    for (const auto& key : keys_) {
        const std::u16string other = FoldAscii(key.path);
        if (key.hive == hive && other.size() > folded.size() && other.compare(0, folded.size(), folded) == 0 &&
            other[folded.size()] == u'\\') {
            return RegStatus::AccessDenied;  // subkeys must go first
        }
    }
    const auto it =
        std::find_if(keys_.begin(), keys_.end(), [&](const RegKeyContent& k) { return k.hive == hive && FoldAscii(k.path) == folded; });
    if (it != keys_.end()) {
        keys_.erase(it);
        return Changed();
    }
    return RegStatus::Success;
}

RegStatus MemoryRegistry::CloseKey(RegKey key) { return handles_.erase(key) == 1 ? RegStatus::Success : RegStatus::Failure; }

}  // namespace qm
