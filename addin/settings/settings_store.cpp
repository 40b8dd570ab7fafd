#include "addin/settings/settings_store.h"

#include <cstring>
#include <utility>

#include "platform/bytes.h"
#include "platform/text.h"

namespace qm {

const std::vector<SettingInfo>& SettingsTable() {
    static const std::vector<SettingInfo> table = {
        {u"CommandLineSafe", SettingKind::Number, true, 0, u"", 0, u""},
        {u"CustomFormList", SettingKind::Text, true, 0, u"", 0, u""},
        {u"Description", SettingKind::Text, true, 0,
         u"Lexivaneなどに使用する関数説明のｽﾀﾝﾌﾟやｺｰﾄﾞの追加・変更を記録するためのｽﾀﾝﾌﾟをｺｰﾄﾞｳｲﾝﾄﾞｳに張り付けます。", 0, u""},
        {u"ExtendValue", SettingKind::Text, true, 0, u"1,1,78,-", 0, u"1,1,78,-"},
        {u"FixedFormList", SettingKind::Text, true, 0, u"0,1,2,3", 0, u"0,1,2,3"},
        {u"FriendlyName", SettingKind::Text, true, 0, u"Wek Quillmark for VB6 Ver1.0", 0, u""},
        {u"LoadBehavior", SettingKind::Number, true, 2, u"", 0, u""},
        {u"SelectDatas", SettingKind::Text, true, 0, u"[0,0,0,0,0,][1,0,0,0,0,][2,0,1,0,0,][3,1,0,0,0,]", 0,
         u"[0,0,0,0,0,][1,0,0,0,0,][2,0,1,0,0,][3,1,0,0,0,]"},
        {u"SetSelectList", SettingKind::Number, true, 0, u"", 0, u""},
        {u"StartVisible", SettingKind::Number, true, 0, u"", 0, u""},
        {u"ToolBarPosition", SettingKind::Number, true, 1, u"", 1, u""},
        {u"EditStamp", SettingKind::Text, false, 0, u"", 0, u"1,1,1,1,1,名前"},
    };
    return table;
}

const SettingInfo* FindSetting(const std::u16string& name) {
    for (const SettingInfo& info : SettingsTable()) {
        if (EqualsIgnoreCase(info.name, name)) return &info;
    }
    return nullptr;
}

void SettingsStore::SetText(RegKey key, const std::u16string& name, const std::u16string& value) {
    // Stored without a terminating NUL: the byte count is that of the converted text alone.
    const std::string bytes = codepage_.ToAnsi(value);
    registry_.SetValue(key, name, regtype::Sz, reinterpret_cast<const std::uint8_t*>(bytes.data()),
                       static_cast<std::uint32_t>(bytes.size()));
}

void SettingsStore::WriteSettingString(const std::u16string& name, const std::u16string& value) {
    RegKey key = 0;
    if (registry_.OpenKey(Hive::CurrentUser, key_, &key) != RegStatus::Success) return;
    SetText(key, name, value);
    registry_.CloseKey(key);
}

void SettingsStore::WriteSettingNumber(const std::u16string& name, std::int32_t value) {
    RegKey key = 0;
    if (registry_.OpenKey(Hive::CurrentUser, key_, &key) != RegStatus::Success) return;
    const auto bytes = PackLe32(static_cast<std::uint32_t>(value));
    registry_.SetValue(key, name, regtype::Dword, bytes.data(), 4);
    registry_.CloseKey(key);
}

void SettingsStore::WriteInitialSettings() {
    for (const SettingInfo& info : SettingsTable()) {
        if (!info.initial) continue;
        if (info.kind == SettingKind::Number) {
            WriteSettingNumber(info.name, info.initialNumber);
        } else {
            WriteSettingString(info.name, info.initialText);
        }
    }
}

std::u16string SettingsStore::ReadSettingString(const std::u16string& name, const std::u16string& defaultValue) {
    RegKey key = 0;
    if (registry_.OpenKey(Hive::CurrentUser, key_, &key) != RegStatus::Success) {
        if (registry_.CreateKey(Hive::CurrentUser, key_, &key) == RegStatus::Success) {
            WriteInitialSettings();
            registry_.CloseKey(key);
        }
        return defaultValue;
    }
    std::string buffer(1024, '\0');
    auto size = static_cast<std::uint32_t>(buffer.size());
    RegStatus status = registry_.QueryValue(key, name, nullptr, reinterpret_cast<std::uint8_t*>(buffer.data()), &size);
    // A long value is read whole rather than taken for a missing one and overwritten; one that grows
    // between the query of its size and the read is asked for again, a bounded number of times.
    for (int attempt = 0; status == RegStatus::MoreData && attempt < 8; ++attempt) {
        buffer.assign(size, '\0');
        size = static_cast<std::uint32_t>(buffer.size());
        status = registry_.QueryValue(key, name, nullptr, reinterpret_cast<std::uint8_t*>(buffer.data()), &size);
    }
    if (status == RegStatus::MoreData) {
        // Still growing: the stored value stays as it is, and this read takes the default.
        registry_.CloseKey(key);
        return defaultValue;
    }
    if (status != RegStatus::Success) {
        SetText(key, name, defaultValue);
        registry_.CloseKey(key);
        return defaultValue;
    }
    buffer.resize(size);
    const auto nul = buffer.find('\0');
    if (nul != std::string::npos) buffer.resize(nul);
    registry_.CloseKey(key);
    return codepage_.FromAnsi(buffer);
}

std::int32_t SettingsStore::ReadSettingNumber(const std::u16string& name, std::int32_t defaultValue) {
    RegKey key = 0;
    if (registry_.OpenKey(Hive::CurrentUser, key_, &key) != RegStatus::Success) {
        if (registry_.CreateKey(Hive::CurrentUser, key_, &key) == RegStatus::Success) {
            WriteSettingNumber(name, defaultValue);
            registry_.CloseKey(key);
        }
        return defaultValue;
    }
    auto bytes = PackLe32(static_cast<std::uint32_t>(defaultValue));
    std::uint32_t size = 4;
    std::uint32_t type = regtype::None;
    const RegStatus status = registry_.QueryValue(key, name, &type, bytes.data(), &size);
    registry_.CloseKey(key);
    // Only a four-byte number is taken as one; anything else stored under the name is left alone.
    if (status == RegStatus::MoreData) return defaultValue;
    if (status != RegStatus::Success) {
        WriteSettingNumber(name, defaultValue);
        return defaultValue;
    }
    if (type != regtype::Dword || size != 4) return defaultValue;
    return static_cast<std::int32_t>(UnpackLe32(bytes.data()));
}

bool SettingsStore::KeyExists() {
    RegKey key = 0;
    if (registry_.OpenKey(Hive::CurrentUser, key_, &key) != RegStatus::Success) return false;
    registry_.CloseKey(key);
    return true;
}

std::vector<StoredSetting> SettingsStore::ListSettings(std::size_t* unreadable) {
    std::vector<StoredSetting> out;
    if (unreadable != nullptr) *unreadable = 0;
    RegKey key = 0;
    if (registry_.OpenKey(Hive::CurrentUser, key_, &key) != RegStatus::Success) return out;
    for (RegValue& value : ReadAllValues(registry_, key, unreadable)) {
        out.push_back({std::move(value.name), value.type, std::move(value.data)});
    }
    registry_.CloseKey(key);
    return out;
}

std::optional<StoredSetting> SettingsStore::PeekSetting(const std::u16string& name) {
    for (StoredSetting& setting : ListSettings()) {
        if (EqualsIgnoreCase(setting.name, name)) return std::move(setting);
    }
    return std::nullopt;
}

bool SettingsStore::DeleteKey() {
    const RegStatus status = registry_.DeleteKey(Hive::CurrentUser, key_);
    return status == RegStatus::Success || status == RegStatus::NotFound;
}

}  // namespace qm
