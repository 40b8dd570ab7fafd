#pragma once
// The add-in's settings: named values under its registry key of the current user. Every operation
// opens the key, does one thing and closes it again; nothing is kept in memory.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "platform/registry.h"

namespace qm {

inline constexpr char16_t kSettingsKey[] = u"Software\\Microsoft\\Visual Basic\\6.0\\Addins\\WekQM417.AddInClass";

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
    SettingsStore(Registry& registry, const Codepage& codepage) : registry_(registry), codepage_(codepage) {}

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
};

}  // namespace qm
