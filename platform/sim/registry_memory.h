#pragma once
// A registry held in memory: the tests' backend, and the body of the registry-file backend.
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/registry.h"

namespace qm {

struct RegKeyContent {
    Hive hive = Hive::CurrentUser;
    std::u16string path;
    std::vector<RegValue> values;
    friend bool operator==(const RegKeyContent&, const RegKeyContent&) = default;
};

// Keys are found through an index of their names and values through one per key, so that a store of
// many keys and values is read and written in time that grows with its size, not with its square.
class MemoryRegistry : public Registry {
public:
    MemoryRegistry() = default;
    // A registry that holds these keys, as if each were created and its values set in turn.
    explicit MemoryRegistry(const std::vector<RegKeyContent>& keys) { Assign(keys); }

    RegStatus OpenKey(Hive hive, const std::u16string& path, RegKey* key) override;
    RegStatus CreateKey(Hive hive, const std::u16string& path, RegKey* key) override;
    RegStatus QueryValue(RegKey key, const std::u16string& name, std::uint32_t* type, std::uint8_t* data, std::uint32_t* size) override;
    RegStatus SetValue(RegKey key, const std::u16string& name, std::uint32_t type, const std::uint8_t* data, std::uint32_t size) override;
    RegStatus DeleteValue(RegKey key, const std::u16string& name) override;
    RegStatus EnumValue(RegKey key, std::uint32_t index, std::u16string* name, std::uint32_t* type, std::string* data) override;
    RegStatus DeleteKey(Hive hive, const std::u16string& path) override;
    RegStatus CloseKey(RegKey key) override;

    // Deletes the key and every key below it, as a "[-KEY]" entry of a registry file does. The hive
    // itself is never deleted.
    RegStatus DeleteTree(Hive hive, const std::u16string& path);

    // Every key that was created or holds values, in the order of creation.
    const std::vector<RegKeyContent>& Keys() const;
    std::size_t OpenHandles() const { return handles_.size(); }
    // Makes the registry refuse to open or create keys, as a locked-down system would.
    void SetDenyAccess(bool deny) { denyAccess_ = deny; }

protected:
    // Called after every change that succeeded; a backend that persists writes here.
    virtual RegStatus Changed() { return RegStatus::Success; }
    // Puts these keys in place of all that are held; nothing is reported to Changed.
    void Assign(const std::vector<RegKeyContent>& keys);

private:
    struct KeyName {
        Hive hive;
        std::u16string folded;
        friend bool operator<(const KeyName& a, const KeyName& b) { return a.hive != b.hive ? a.hive < b.hive : a.folded < b.folded; }
    };
    // What goes with keys_[i]: its name in the index, where its values are by folded name, and which
    // of them are deleted. Deleted keys and values keep their places until the next compaction, so
    // that a deletion does not move everything after it.
    struct Slot {
        KeyName name;
        bool deleted = false;
        std::unordered_map<std::u16string, std::size_t> values;
        std::vector<bool> deletedValues;  // empty while none is
        std::size_t deletedCount = 0;
    };

    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    std::size_t Find(const KeyName& name) const;
    bool HasSubkeys(const KeyName& name) const;
    bool Exists(const KeyName& name) const;
    std::size_t Add(Hive hive, std::u16string path, const KeyName& name);
    std::size_t Resolve(RegKey key);
    RegKey NewHandle(KeyName name);
    void Put(std::size_t at, const std::u16string& name, std::uint32_t type, std::string data);
    void Remove(std::size_t at);
    void CompactValues(std::size_t at) const;
    void Compact() const;

    // Compacted on reading, hence mutable: the content does not change.
    mutable std::vector<RegKeyContent> keys_;
    mutable std::vector<Slot> slots_;
    mutable std::map<KeyName, std::size_t> index_;  // ordered, so that the keys below one are a range
    mutable std::size_t deletedKeys_ = 0;
    mutable bool valuesDeleted_ = false;
    std::map<RegKey, KeyName> handles_;
    RegKey nextHandle_ = 1;
    bool denyAccess_ = false;
};

// Key paths are compared without regard to ASCII case, and with no leading or doubled "\".
std::u16string NormalizeKeyPath(const std::u16string& path);

}  // namespace qm
