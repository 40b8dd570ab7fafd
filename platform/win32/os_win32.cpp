#include "platform/win32/os_win32.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <vector>

#include "platform/failure.h"
#include "platform/text.h"
#include "platform/win32/handles.h"
#include "platform/win32/process.h"
#include "platform/win32/wide.h"

namespace qm {

using win32::FromWide;
using win32::Wide;

namespace {
[[noreturn]] void Fail(const char* what) {
    throw PlatformError(std::string(what) + " failed (error " + std::to_string(GetLastError()) + ")");
}
}  // namespace

std::u16string Win32Os::ProgramPath() {
    wchar_t buffer[MAX_PATH * 4] = {};
    if (GetModuleFileNameW(nullptr, buffer, static_cast<DWORD>(std::size(buffer))) == 0) Fail("GetModuleFileName");
    return FromWide(buffer);
}

std::u16string Win32Os::SystemDirectory() {
    wchar_t buffer[MAX_PATH] = {};
    if (GetSystemDirectoryW(buffer, MAX_PATH) == 0) Fail("GetSystemDirectory");
    return FromWide(buffer);
}

std::u16string Win32Os::WindowsDirectory() {
    // The system's folder: on a terminal server GetWindowsDirectory gives a program that is not
    // marked for terminal services a folder of the user's own, which the uninstall entry would name.
    wchar_t buffer[MAX_PATH] = {};
    const UINT length = GetSystemWindowsDirectoryW(buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) Fail("GetSystemWindowsDirectory");
    return FromWide(buffer);
}

std::optional<std::u16string> Win32Os::Wow64SystemDirectory() {
    BOOL wow64 = FALSE;
    if (!IsWow64Process(GetCurrentProcess(), &wow64) || !wow64) return std::nullopt;
    wchar_t buffer[MAX_PATH] = {};
    if (GetSystemWow64DirectoryW(buffer, MAX_PATH) == 0) return std::nullopt;
    return FromWide(buffer);
}

namespace {

std::optional<std::u16string> Environment(const wchar_t* name) {
    wchar_t buffer[MAX_PATH] = {};
    const DWORD n = GetEnvironmentVariableW(name, buffer, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return std::nullopt;
    return FromWide(buffer);
}

bool Is64BitWindows() {
#ifdef _WIN64
    return true;
#else
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
#endif
}

}  // namespace

// The system sets these for every process; ProgramW6432 and CommonProgramW6432 name the 64-bit
// folders to 32-bit programs as well, which have no known folder for them.
std::optional<std::u16string> Win32Os::ProgramFilesFolder(int bitness) {
    if (bitness == 64) return Is64BitWindows() ? Environment(L"ProgramW6432") : std::nullopt;
    return Environment(Is64BitWindows() ? L"ProgramFiles(x86)" : L"ProgramFiles");
}

std::optional<std::u16string> Win32Os::NativeSystemDirectory() {
#ifdef _WIN64
    return SystemDirectory();
#else
    if (!Is64BitWindows()) return std::nullopt;
    std::u16string windows = WindowsDirectory();
    if (!windows.empty() && windows.back() != u'\\') windows += u'\\';
    return windows + u"Sysnative";
#endif
}

std::optional<std::u16string> Win32Os::CommonFilesFolder(int bitness) {
    if (bitness == 64) return Is64BitWindows() ? Environment(L"CommonProgramW6432") : std::nullopt;
    return Environment(Is64BitWindows() ? L"CommonProgramFiles(x86)" : L"CommonProgramFiles");
}

std::optional<std::u16string> Win32Os::ProgramsFolder() {
    win32::UniqueIdList list;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, CSIDL_PROGRAMS, list.put())) || !list) return std::nullopt;
    wchar_t buffer[MAX_PATH] = {};
    const BOOL ok = SHGetPathFromIDListW(list.get(), buffer);
    if (!ok || buffer[0] == 0) return std::nullopt;
    return FromWide(buffer);
}

bool Win32Os::FileExists(const std::u16string& path) {
    const DWORD a = GetFileAttributesW(Wide(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool Win32Os::DirectoryExists(const std::u16string& path) {
    const DWORD a = GetFileAttributesW(Wide(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

namespace {

// Where the folders of a path begin: after "C:\" or after "\\server\share\"; nothing before is a
// folder of its own.
std::size_t FirstFolderAt(const std::u16string& path) {
    if (path.size() >= 3 && path[1] == u':' && path[2] == u'\\') return 3;
    if (path.compare(0, 2, u"\\\\") == 0) {
        const auto share = path.find(u'\\', 2);
        const auto rest = share == std::u16string::npos ? share : path.find(u'\\', share + 1);
        return rest == std::u16string::npos ? path.size() : rest + 1;
    }
    return path.empty() || path[0] != u'\\' ? 0 : 1;
}

// Whether the attributes (those of the entry itself, as GetFileAttributes and FindFirstFile give
// them) are a link's: a reparse point that stands for another name. Placeholders of files kept in
// the cloud and other reparse points that are the entry itself are not.
bool IsLink(const std::wstring& path, DWORD attributes) {
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return false;
    WIN32_FIND_DATAW data;
    const win32::UniqueFind find(FindFirstFileW(path.c_str(), &data));
    // A reparse point whose kind cannot be read counts as a link (Wine shows a Unix symbolic link
    // so: the attribute, and no tag).
    if (!find || data.dwReserved0 == 0) return true;
    return IsReparseTagNameSurrogate(data.dwReserved0);
}

// Deletes the file or empty folder itself: it is opened without following a link, checked, and
// deleted through the handle, so a link put in its place between the check and the deletion is not
// followed either.
void DeleteEntry(const std::u16string& path, bool folder) {
    const std::wstring name = Wide(path);
    const win32::UniqueFile entry(CreateFileW(name.c_str(), DELETE | FILE_READ_ATTRIBUTES,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                              FILE_FLAG_OPEN_REPARSE_POINT | (folder ? FILE_FLAG_BACKUP_SEMANTICS : 0), nullptr));
    if (!entry) Fail("CreateFile");
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(entry.get(), &info)) Fail("GetFileInformationByHandle");
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) throw PlatformError("a link is not deleted: " + Utf16ToUtf8(path));
    if (((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) != folder)
        throw PlatformError("not a " + std::string(folder ? "folder" : "file"));
    // Windows Vista and later delete through the handle; before, by name, right after the check.
    using SetInformationProc = BOOL(WINAPI*)(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID, DWORD);
    const auto setInformation = reinterpret_cast<SetInformationProc>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetFileInformationByHandle")));
    if (setInformation != nullptr) {
        FILE_DISPOSITION_INFO disposition{TRUE};
        if (!setInformation(entry.get(), FileDispositionInfo, &disposition, sizeof disposition)) Fail("SetFileInformationByHandle");
        return;
    }
    if (!(folder ? RemoveDirectoryW(name.c_str()) : DeleteFileW(name.c_str()))) Fail(folder ? "RemoveDirectory" : "DeleteFile");
}

}  // namespace

std::optional<std::u16string> Win32Os::LinkOnPath(const std::u16string& path) {
    for (std::size_t end = FirstFolderAt(path); end < path.size();) {
        std::size_t next = path.find(u'\\', end);
        if (next == std::u16string::npos) next = path.size();
        if (next > end) {
            const std::u16string part = path.substr(0, next);
            const std::wstring name = Wide(part);
            const DWORD attributes = GetFileAttributesW(name.c_str());
            if (attributes == INVALID_FILE_ATTRIBUTES) {
                // Nothing there: what does not exist is no link, nor is anything below it. Anything
                // else (no access, say) is not taken for "no link".
                const DWORD error = GetLastError();
                if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return std::nullopt;
                return part;
            }
            if (IsLink(name, attributes)) return part;
        }
        end = next + 1;
    }
    return std::nullopt;
}

void Win32Os::CopyFileOver(const std::u16string& from, const std::u16string& to) {
    if (!CopyFileW(Wide(from).c_str(), Wide(to).c_str(), FALSE)) Fail("CopyFile");
}

void Win32Os::DeleteFileAt(const std::u16string& path) { DeleteEntry(path, false); }

void Win32Os::MakeDirectory(const std::u16string& path) {
    if (!CreateDirectoryW(Wide(path).c_str(), nullptr)) Fail("CreateDirectory");
}

void Win32Os::RemoveEmptyDirectory(const std::u16string& path) { DeleteEntry(path, true); }

bool Win32Os::DirectoryIsEmpty(const std::u16string& path) {
    WIN32_FIND_DATAW data;
    const win32::UniqueFind find(FindFirstFileW(Wide(path + u"\\*").c_str(), &data));
    if (!find) return true;
    bool empty = true;
    do {
        const std::wstring name = data.cFileName;
        if (name != L"." && name != L"..") empty = false;
    } while (empty && FindNextFileW(find.get(), &data));
    return empty;
}

std::int32_t Win32Os::RunAndWait(const std::u16string& program, const std::u16string& arguments) {
    PROCESS_INFORMATION started{};
    if (!win32::StartProcess(program, arguments, SW_SHOWMINNOACTIVE, started)) Fail("CreateProcess");
    const win32::ProcessHandles process(started);
    WaitForSingleObject(process.process.get(), INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.process.get(), &code);
    return static_cast<std::int32_t>(code);
}

void Win32Os::CreateShortcut(const std::u16string& linkPath, const std::u16string& target, const std::u16string& arguments) {
    const win32::ComInit com;
    win32::ComPtr<IShellLinkW> link;
    HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.put_void());
    if (SUCCEEDED(hr)) {
        link->SetPath(Wide(target).c_str());
        link->SetArguments(Wide(arguments).c_str());
        const auto slash = target.find_last_of(u'\\');
        if (slash != std::u16string::npos) link->SetWorkingDirectory(Wide(target.substr(0, slash)).c_str());
        win32::ComPtr<IPersistFile> file;
        hr = link.As(IID_IPersistFile, file);
        if (SUCCEEDED(hr)) hr = file->Save(Wide(linkPath).c_str(), TRUE);
    }
    if (FAILED(hr)) throw PlatformError("the shortcut could not be created");
}

namespace {

struct FolderWindowSearch {
    std::wstring path, name;
    bool found = false;
};

BOOL CALLBACK FindFolderWindow(HWND hwnd, LPARAM data) {
    auto* search = reinterpret_cast<FolderWindowSearch*>(data);
    if (!IsWindowVisible(hwnd)) return TRUE;
    wchar_t title[1024] = {};
    GetWindowTextW(hwnd, title, 1024);
    const std::wstring text = title;
    if (text == search->path || text == search->name || (!search->name.empty() && text.find(search->name) != std::wstring::npos)) {
        search->found = true;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

void Win32Os::OpenFolder(const std::u16string& path) {
    const auto result =
        reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", Wide(path).c_str(), nullptr, Wide(path).c_str(), SW_SHOWNORMAL));
    if (result <= 32) throw PlatformError("the folder could not be opened");
    // The shell opens the window a moment later. Waiting for it (a few seconds at most) keeps it from
    // coming up over what the program shows next, the message that the installation is complete.
    FolderWindowSearch search{Wide(path), Wide(path.substr(path.find_last_of(u'\\') + 1))};
    for (int waited = 0; waited < 5000 && !search.found; waited += 100) {
        EnumWindows(FindFolderWindow, reinterpret_cast<LPARAM>(&search));
        if (!search.found) Sleep(100);
    }
}

void Win32Os::SetBusyPointer(bool busy) { SetCursor(LoadCursor(nullptr, busy ? IDC_WAIT : IDC_ARROW)); }

}  // namespace qm
