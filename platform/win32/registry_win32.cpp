#include "platform/win32/registry_win32.h"

#include <windows.h>

namespace qm {
namespace {

HKEY Root(Hive hive) {
    switch (hive) {
        case Hive::ClassesRoot:
            return HKEY_CLASSES_ROOT;
        case Hive::CurrentUser:
            return HKEY_CURRENT_USER;
        case Hive::LocalMachine:
            return HKEY_LOCAL_MACHINE;
        case Hive::Users:
            return HKEY_USERS;
    }
    return HKEY_CURRENT_USER;
}

RegStatus Status(LONG rc) {
    switch (rc) {
        case ERROR_SUCCESS:
            return RegStatus::Success;
        case ERROR_FILE_NOT_FOUND:
            return RegStatus::NotFound;
        case ERROR_MORE_DATA:
            return RegStatus::MoreData;
        case ERROR_ACCESS_DENIED:
            return RegStatus::AccessDenied;
        default:
            return RegStatus::Failure;
    }
}

}  // namespace

Win32Registry::~Win32Registry() = default;

HKEY Win32Registry::Handle(RegKey key) const {
    const auto it = handles_.find(key);
    return it == handles_.end() ? nullptr : it->second.get();
}

RegKey Win32Registry::Keep(win32::UniqueKey handle) {
    const RegKey key = next_++;
    handles_[key] = std::move(handle);
    return key;
}

RegStatus Win32Registry::OpenKey(Hive hive, const std::u16string& path, RegKey* key) {
    win32::UniqueKey handle;
    const LONG rc = RegOpenKeyExA(Root(hive), codepage_.ToAnsi(path).c_str(), 0, KEY_ALL_ACCESS, handle.put());
    if (rc == ERROR_SUCCESS) *key = Keep(std::move(handle));
    return Status(rc);
}

RegStatus Win32Registry::CreateKey(Hive hive, const std::u16string& path, RegKey* key) {
    win32::UniqueKey handle;
    const LONG rc = RegCreateKeyA(Root(hive), codepage_.ToAnsi(path).c_str(), handle.put());
    if (rc == ERROR_SUCCESS) *key = Keep(std::move(handle));
    return Status(rc);
}

RegStatus Win32Registry::QueryValue(RegKey key, const std::u16string& name, std::uint32_t* type, std::uint8_t* data, std::uint32_t* size) {
    HKEY handle = Handle(key);
    if (handle == nullptr) return RegStatus::Failure;
    DWORD t = 0;
    DWORD s = size != nullptr ? *size : 0;
    const LONG rc = RegQueryValueExA(handle, codepage_.ToAnsi(name).c_str(), nullptr, &t, data, size != nullptr ? &s : nullptr);
    if (type != nullptr) *type = t;
    if (size != nullptr) *size = s;
    return Status(rc);
}

RegStatus Win32Registry::SetValue(RegKey key, const std::u16string& name, std::uint32_t type, const std::uint8_t* data,
                                  std::uint32_t size) {
    HKEY handle = Handle(key);
    if (handle == nullptr) return RegStatus::Failure;
    static const BYTE empty = 0;
    return Status(RegSetValueExA(handle, codepage_.ToAnsi(name).c_str(), 0, type, data != nullptr ? data : &empty, size));
}

RegStatus Win32Registry::DeleteValue(RegKey key, const std::u16string& name) {
    HKEY handle = Handle(key);
    if (handle == nullptr) return RegStatus::Failure;
    return Status(RegDeleteValueA(handle, codepage_.ToAnsi(name).c_str()));
}

RegStatus Win32Registry::EnumValue(RegKey key, std::uint32_t index, std::u16string* name, std::uint32_t* type, std::string* data) {
    HKEY handle = Handle(key);
    if (handle == nullptr) return RegStatus::Failure;
    // A name of 16383 characters (the most a value's name may have) takes up to twice as many bytes
    // in the ANSI code page.
    std::string nameBuffer(32768, '\0');
    std::string bytes;
    DWORD nameSize = 0;
    DWORD t = 0;
    // The size is asked first and the value read after: another program may make the value longer in
    // between, and the read then asks for more room. A few tries, then the value counts as unreadable.
    LONG rc = ERROR_MORE_DATA;
    for (int attempt = 0; attempt < 8 && rc == ERROR_MORE_DATA; ++attempt) {
        nameSize = static_cast<DWORD>(nameBuffer.size());
        DWORD dataSize = 0;
        rc = RegEnumValueA(handle, index, nameBuffer.data(), &nameSize, nullptr, &t, nullptr, &dataSize);
        if (rc != ERROR_SUCCESS) break;
        bytes.assign(dataSize, '\0');
        nameSize = static_cast<DWORD>(nameBuffer.size());
        rc = RegEnumValueA(handle, index, nameBuffer.data(), &nameSize, nullptr, &t, reinterpret_cast<BYTE*>(bytes.data()), &dataSize);
        if (rc == ERROR_SUCCESS) bytes.resize(dataSize);
    }
    if (rc == ERROR_NO_MORE_ITEMS) return RegStatus::NotFound;
    // Any other failure belongs to this value alone: it never reads as the end of the values, so
    // that the caller can go on with the next index.
    if (rc != ERROR_SUCCESS)
        return rc == ERROR_MORE_DATA ? RegStatus::MoreData : rc == ERROR_ACCESS_DENIED ? RegStatus::AccessDenied : RegStatus::Failure;
    // Text comes back with the terminating NUL the system keeps with it; it is not part of the value.
    if ((t == REG_SZ || t == REG_EXPAND_SZ) && !bytes.empty() && bytes.back() == '\0') bytes.pop_back();
    if (name != nullptr) *name = codepage_.FromAnsi(std::string(nameBuffer.data(), nameSize));
    if (type != nullptr) *type = t;
    if (data != nullptr) *data = bytes;
    return RegStatus::Success;
}

RegStatus Win32Registry::DeleteKey(Hive hive, const std::u16string& path) {
    return Status(RegDeleteKeyA(Root(hive), codepage_.ToAnsi(path).c_str()));
}

RegStatus Win32Registry::CloseKey(RegKey key) {
    const auto it = handles_.find(key);
    if (it == handles_.end()) return RegStatus::Failure;
    const LONG rc = RegCloseKey(it->second.release());
    handles_.erase(it);
    return Status(rc);
}

}  // namespace qm
