#pragma once
// The add-in's settings: named values under its registry key of the current user. Every operation
// opens the key, does one thing and closes it again; nothing is kept in memory.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/codepage.h"
#include "platform/registry.h"

namespace qm {

inline constexpr char16_t kSettingsKey[] = u"Software\\Microsoft\\Visual Basic\\6.0\\Addins\\WekQM417.AddInClass";
// Where Office's VBA editor finds the add-in: a 32-bit Office under Addins, a 64-bit one under
// Addins64. Only the registration values (FriendlyName, Description, LoadBehavior) live there; the
// format stays under the VB6 key, one for every editor.
inline constexpr char16_t kVbaKey32[] = u"Software\\Microsoft\\VBA\\VBE\\6.0\\Addins\\WekQM417.AddInClass";
inline constexpr char16_t kVbaKey64[] = u"Software\\Microsoft\\VBA\\VBE\\6.0\\Addins64\\WekQM417.AddInClass";
// The VBA editor's key for a library (and so an Office) of that many bits.
inline const char16_t* VbaRegistrationKey(int bitness) { return bitness == 64 ? kVbaKey64 : kVbaKey32; }

enum class SettingKind { Text, Number };

// One value of the add-in's key: its kind, what a first string read lays down (when it belongs to
// that set) and the default the add-in's readers pass.
struct SettingInfo {
    const char16_t* name;
    SettingKind kind;
    bool initial;
    std::int32_t initialNumber;
    const char16_t* initialText;
    std::int32_t defaultNumber;
    const char16_t* defaultText;
};

// Every value of the key, the initial set in the order it is written.
const std::vector<SettingInfo>& SettingsTable();
const SettingInfo* FindSetting(const std::u16string& name);

struct StoredSetting {
    std::u16string name;
    std::uint32_t type;
    std::string data;  // as stored, text in the ANSI code page
};

class SettingsStore {
public:
    // The add-in's key unless another is named (a host's registration key).
    SettingsStore(Registry& registry, const Codepage& codepage, std::u16string key = kSettingsKey)
        : registry_(registry), codepage_(codepage), key_(std::move(key)) {}

    void WriteSettingString(const std::u16string& name, const std::u16string& value);
    void WriteSettingNumber(const std::u16string& name, std::int32_t value);
    // The stored text; a value that cannot be read is written with the default, which is returned.
    std::u16string ReadSettingString(const std::u16string& name, const std::u16string& defaultValue);
    std::int32_t ReadSettingNumber(const std::u16string& name, std::int32_t defaultValue);

    // Inspection and upkeep for the command, outside the add-in's own reads and writes.
    bool KeyExists();
    // Every stored value in stored order; one that cannot be read is left out and counted in *unreadable.
    std::vector<StoredSetting> ListSettings(std::size_t* unreadable = nullptr);
    // A stored value without the side effects of a read; nothing when it is not stored.
    std::optional<StoredSetting> PeekSetting(const std::u16string& name);
    bool DeleteKey();
    const Codepage& Cp() const { return codepage_; }

private:
    void SetText(RegKey key, const std::u16string& name, const std::u16string& value);
    void WriteInitialSettings();

    Registry& registry_;
    const Codepage& codepage_;
    std::u16string key_;
};

}  // namespace qm
