#pragma once
// Registry keys with the Win32 semantics the product relies on. Names are text; value data are
// the bytes the ANSI entry points hand over (text in the ANSI code page, no NUL unless stored).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qm {

enum class Hive { ClassesRoot, CurrentUser, LocalMachine, Users };

enum class RegStatus { Success, NotFound, MoreData, AccessDenied, Failure };

namespace regtype {
constexpr std::uint32_t None = 0;
constexpr std::uint32_t Sz = 1;
constexpr std::uint32_t ExpandSz = 2;
constexpr std::uint32_t Binary = 3;
constexpr std::uint32_t Dword = 4;
constexpr std::uint32_t MultiSz = 7;
constexpr std::uint32_t Qword = 11;
}  // namespace regtype

using RegKey = std::uint32_t;  // 0 is never a valid key

struct RegValue {
    std::u16string name;
    std::uint32_t type = regtype::None;
    std::string data;
    friend bool operator==(const RegValue&, const RegValue&) = default;
};

class Registry {
public:
    virtual ~Registry() = default;
    // Opens an existing key with full access.
    virtual RegStatus OpenKey(Hive hive, const std::u16string& path, RegKey* key) = 0;
    // Creates the key (and its parents) or opens it when it exists.
    virtual RegStatus CreateKey(Hive hive, const std::u16string& path, RegKey* key) = 0;
    // Copies the value into data, *size bytes at most; *size becomes the stored length. When the
    // buffer is too small nothing is copied and the result is MoreData. A null data asks for the size.
    virtual RegStatus QueryValue(RegKey key, const std::u16string& name, std::uint32_t* type, std::uint8_t* data, std::uint32_t* size) = 0;
    virtual RegStatus SetValue(RegKey key, const std::u16string& name, std::uint32_t type, const std::uint8_t* data,
                               std::uint32_t size) = 0;
    virtual RegStatus DeleteValue(RegKey key, const std::u16string& name) = 0;
    // The value at index in stored order; NotFound past the last one.
    virtual RegStatus EnumValue(RegKey key, std::uint32_t index, std::u16string* name, std::uint32_t* type, std::string* data) = 0;
    // Deletes a key that has no subkeys.
    virtual RegStatus DeleteKey(Hive hive, const std::u16string& path) = 0;
    virtual RegStatus CloseKey(RegKey key) = 0;
};

// Every value of an open key, in stored order. A value that cannot be read is passed over, not taken
// for the last one, and counted in *unreadable. The walk ends past the last value, or after
// kMaxUnreadableInARow failures in a row, which is what a key whose handle has gone bad gives.
inline constexpr std::size_t kMaxUnreadableInARow = 1 << 16;
std::vector<RegValue> ReadAllValues(Registry& registry, RegKey key, std::size_t* unreadable = nullptr);

// The text form of a hive in registry files: "HKEY_CURRENT_USER" and so on.
const char16_t* HiveName(Hive hive);

}  // namespace qm
