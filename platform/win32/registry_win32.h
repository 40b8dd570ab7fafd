#pragma once
// The Windows registry through its ANSI entry points.
#include <map>

#include "platform/codepage.h"
#include "platform/registry.h"
#include "platform/win32/handles.h"

namespace qm {

class Win32Registry final : public Registry {
public:
    explicit Win32Registry(const Codepage& codepage) : codepage_(codepage) {}
    ~Win32Registry() override;
    RegStatus OpenKey(Hive hive, const std::u16string& path, RegKey* key) override;
    RegStatus CreateKey(Hive hive, const std::u16string& path, RegKey* key) override;
    RegStatus QueryValue(RegKey key, const std::u16string& name, std::uint32_t* type, std::uint8_t* data, std::uint32_t* size) override;
    RegStatus SetValue(RegKey key, const std::u16string& name, std::uint32_t type, const std::uint8_t* data, std::uint32_t size) override;
    RegStatus DeleteValue(RegKey key, const std::u16string& name) override;
    RegStatus EnumValue(RegKey key, std::uint32_t index, std::u16string* name, std::uint32_t* type, std::string* data) override;
    RegStatus DeleteKey(Hive hive, const std::u16string& path) override;
    RegStatus CloseKey(RegKey key) override;

private:
    HKEY Handle(RegKey key) const;
    RegKey Keep(win32::UniqueKey handle);
    const Codepage& codepage_;
    std::map<RegKey, win32::UniqueKey> handles_;
    RegKey next_ = 1;
};

}  // namespace qm
