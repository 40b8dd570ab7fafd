#pragma once
// A registry held in memory: the tests' backend, and the body of the registry-file backend.
#include <map>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace qm {

struct RegValue {
    std::u16string name;
    std::uint32_t type = regtype::None;
    std::string data;
    friend bool operator==(const RegValue&, const RegValue&) = default;
};

struct RegKeyContent {
    Hive hive = Hive::CurrentUser;
    std::u16string path;
    std::vector<RegValue> values;
    friend bool operator==(const RegKeyContent&, const RegKeyContent&) = default;
};

class MemoryRegistry : public Registry {
public:
    RegStatus OpenKey(Hive hive, const std::u16string& path, RegKey* key) override;
    RegStatus CreateKey(Hive hive, const std::u16string& path, RegKey* key) override;
    RegStatus QueryValue(RegKey key, const std::u16string& name, std::uint32_t* type, std::uint8_t* data, std::uint32_t* size) override;
    RegStatus SetValue(RegKey key, const std::u16string& name, std::uint32_t type, const std::uint8_t* data, std::uint32_t size) override;
    RegStatus DeleteValue(RegKey key, const std::u16string& name) override;
    RegStatus EnumValue(RegKey key, std::uint32_t index, std::u16string* name, std::uint32_t* type, std::string* data) override;
    RegStatus DeleteKey(Hive hive, const std::u16string& path) override;
    RegStatus CloseKey(RegKey key) override;

    // Every key that was created or holds values, in the order of creation.
    const std::vector<RegKeyContent>& Keys() const { return keys_; }
    std::size_t OpenHandles() const { return handles_.size(); }
    // Makes the registry refuse to open or create keys, as a locked-down system would.
    void SetDenyAccess(bool deny) { denyAccess_ = deny; }

protected:
    // Called after every change that succeeded; a backend that persists writes here.
    virtual RegStatus Changed() { return RegStatus::Success; }
    std::vector<RegKeyContent>& MutableKeys() { return keys_; }

private:
    struct Handle {
        Hive hive;
        std::u16string folded;
    };
    RegKeyContent* Find(Hive hive, const std::u16string& folded);
    bool Exists(Hive hive, const std::u16string& folded) const;
    RegKeyContent* Resolve(RegKey key);
    RegKey NewHandle(Hive hive, std::u16string folded);

    std::vector<RegKeyContent> keys_;
    std::map<RegKey, Handle> handles_;
    RegKey nextHandle_ = 1;
    bool denyAccess_ = false;
};

// Key paths are compared without regard to ASCII case, and with no leading or doubled "\".
std::u16string NormalizeKeyPath(const std::u16string& path);

}  // namespace qm
