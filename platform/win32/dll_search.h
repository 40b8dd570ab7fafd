#pragma once
// Where a program looks for the libraries that it, the shell and COM load by name. Windows looks in
// the program's own folder first (for a setup program, often the user's downloads folder) and, for
// LoadLibrary, in the current folder too: a library of a system name put there is loaded in place of
// the system's. The search is narrowed to the system folder once, before anything else runs.
#include <windows.h>

#include <cwchar>

namespace qm::win32 {

// Takes the current folder out of the search, and restricts the search to the system folder where
// the system can (Windows 8 and later, and Vista and 7 with update KB2533623); gives whether it could.
inline bool RestrictDllSearch() noexcept {
    // kernel32 is mapped into every process before its first instruction: asking for it loads nothing.
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    if (kernel == nullptr) return false;
    using SetDllDirectoryProc = BOOL(WINAPI*)(LPCWSTR);
    using SetDefaultDllDirectoriesProc = BOOL(WINAPI*)(DWORD);
    const auto setDllDirectory = reinterpret_cast<SetDllDirectoryProc>(reinterpret_cast<void*>(GetProcAddress(kernel, "SetDllDirectoryW")));
    const auto setDefaultDllDirectories =
        reinterpret_cast<SetDefaultDllDirectoriesProc>(reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (setDllDirectory != nullptr) setDllDirectory(L"");
    return setDefaultDllDirectories != nullptr && setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32) != FALSE;
}

// Loads a library of the system folder by its full path; its own dependencies are looked for in
// that folder first. Null when it is not there. For code that runs in another program's process (the
// add-in), whose search this code cannot narrow: the current folder is the user's project.
inline HMODULE LoadSystemLibrary(const wchar_t* name) noexcept {
    wchar_t path[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(path, MAX_PATH);
    const std::size_t nameLength = wcslen(name);
    if (length == 0 || length + 1 + nameLength >= MAX_PATH) return nullptr;
    path[length] = L'\\';
    wmemcpy(path + length + 1, name, nameLength + 1);
    return LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace qm::win32
