// Reading and replacing files on Windows, with the calls that give the same promises as on POSIX
// systems: the new bytes are flushed to the disk and take the old file's place in one step, keeping
// its attributes and security.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cwctype>
#include <string>
#include <vector>

#include "platform/failure.h"
#include "platform/files.h"
#include "platform/host/files_shared.h"
#include "platform/text.h"
#include "platform/win32/handles.h"
#include "platform/win32/wide.h"

namespace qm {

using files::kDiskFull;
using files::kHeldOpen;
using files::kNotRegular;
using files::kReadOnly;
using win32::UniqueFile;
using win32::UniqueFind;

namespace {

std::string SystemMessage(DWORD code) {
    // In English as the command's other messages, or in the system's language where it has no English.
    constexpr DWORD kFlags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    wchar_t* text = nullptr;
    DWORD n =
        FormatMessageW(kFlags, nullptr, code, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    if (n == 0) n = FormatMessageW(kFlags, nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message = n > 0 && text != nullptr ? std::wstring(text, n) : std::wstring();
    if (text != nullptr) LocalFree(text);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L'.' || message.back() == L' '))
        message.pop_back();
    if (message.empty()) return "system error " + std::to_string(code);
    return Utf16ToUtf8(win32::FromWide(message));
}

[[noreturn]] void Fail(const std::string& what, DWORD code) {
    if (code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION || code == ERROR_USER_MAPPED_FILE) throw PlatformError(kHeldOpen);
    if (code == ERROR_DISK_FULL || code == ERROR_HANDLE_DISK_FULL) throw PlatformError(kDiskFull);
    throw PlatformError(what.empty() ? SystemMessage(code) : what + ": " + SystemMessage(code));
}

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// The names the system keeps for devices in every folder, with or without an extension.
bool IsDeviceName(std::wstring name) {
    if (const auto dot = name.find(L'.'); dot != std::wstring::npos) name.resize(dot);
    while (!name.empty() && (name.back() == L' ' || name.back() == L':')) name.pop_back();
    for (wchar_t& c : name) c = static_cast<wchar_t>(towupper(c));
    static const wchar_t* const kDevices[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$", L"CLOCK$"};
    for (const wchar_t* device : kDevices) {
        if (name == device) return true;
    }
    return name.size() == 4 && (name.compare(0, 3, L"COM") == 0 || name.compare(0, 3, L"LPT") == 0) && name[3] >= L'0' && name[3] <= L'9';
}

// A path of the device namespace (\\.\PIPE\x, \\.\C:, \\?\GLOBALROOT\...) or a device's name.
bool IsDevicePath(const std::wstring& path) {
    if (path.size() >= 4 && IsSeparator(path[0]) && IsSeparator(path[1]) && (path[2] == L'.' || path[2] == L'?') && IsSeparator(path[3])) {
        if (path[2] == L'.') return true;
        std::wstring rest = path.substr(4);
        for (wchar_t& c : rest) c = static_cast<wchar_t>(towupper(c));
        if (rest.compare(0, 10, L"GLOBALROOT") == 0) return true;
    }
    const auto slash = path.find_last_of(L"\\/:");
    return IsDeviceName(slash == std::wstring::npos ? path : path.substr(slash + 1));
}

// The UTF-8 path as the wide calls take it: absolute, and with the \\?\ prefix where it is longer
// than the old limit of the system (folders may not be longer than MAX_PATH - 12 without it).
std::wstring SystemPath(const std::string& utf8) {
    bool valid = true;
    const std::wstring given = win32::Wide(Utf8ToUtf16(utf8, &valid));
    if (!valid || given.empty() || given.find(L'\0') != std::wstring::npos) throw PlatformError("not a file name");
    if (IsDevicePath(given)) throw PlatformError(kNotRegular);
    if (given.compare(0, 4, L"\\\\?\\") == 0) return given;
    const DWORD need = GetFullPathNameW(given.c_str(), 0, nullptr, nullptr);
    if (need == 0) Fail("not a file name", GetLastError());
    std::wstring full(need, L'\0');
    const DWORD n = GetFullPathNameW(given.c_str(), need, full.data(), nullptr);
    if (n == 0 || n >= need) Fail("not a file name", GetLastError());
    full.resize(n);
    if (full.size() < MAX_PATH - 12) return full;
    if (full.compare(0, 2, L"\\\\") == 0) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

// The path in the form a user reads it: without a \\?\ prefix that it does not need.
std::string Readable(std::wstring path) {
    if (path.compare(0, 8, L"\\\\?\\UNC\\") == 0) {
        path.replace(0, 8, L"\\\\");
    } else if (path.compare(0, 4, L"\\\\?\\") == 0 && path.size() < MAX_PATH - 8) {
        path = path.substr(4);
    }
    return Utf16ToUtf8(win32::FromWide(path));
}

std::wstring FolderOf(const std::wstring& path) {
    const auto slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? L"." : path.substr(0, slash);
}

std::wstring BaseOf(const std::wstring& path) {
    const auto slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

FileStamp StampOf(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION info{};
    FileStamp stamp;
    if (!GetFileInformationByHandle(file, &info)) return stamp;
    stamp.device = info.dwVolumeSerialNumber;
    stamp.inode = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    stamp.size = static_cast<std::int64_t>((static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow);
    const std::uint64_t ticks =
        (static_cast<std::uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) | info.ftLastWriteTime.dwLowDateTime;
    stamp.changedNs = static_cast<std::int64_t>(ticks) * 100;
    return stamp;
}

// Opens an existing file, refusing what is not a file on a disk.
UniqueFile OpenExisting(const std::wstring& path, DWORD access) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) throw PlatformError(kNotRegular);
    UniqueFile file(CreateFileW(path.c_str(), access, kShareAll, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) Fail("", GetLastError());
    if (GetFileType(file.get()) != FILE_TYPE_DISK) throw PlatformError(kNotRegular);
    return file;
}

std::string ReadAll(HANDLE file) {
    std::string bytes;
    char buffer[1 << 16];
    while (true) {
        DWORD n = 0;
        if (!ReadFile(file, buffer, sizeof buffer, &n, nullptr)) Fail("read error", GetLastError());
        if (n == 0) break;
        bytes.append(buffer, n);
    }
    return bytes;
}

// Whether the rest of the file is expected, read a block at a time: the file is never held twice.
bool HoldsBytes(HANDLE file, std::string_view expected) {
    std::size_t at = 0;
    char buffer[1 << 16];
    while (true) {
        DWORD n = 0;
        if (!ReadFile(file, buffer, sizeof buffer, &n, nullptr)) Fail("read error", GetLastError());
        if (n == 0) break;
        if (expected.size() - at < n || expected.compare(at, n, std::string_view(buffer, n)) != 0) return false;
        at += n;
    }
    return at == expected.size();
}

// The file a path leads to, every link and junction on the way followed, as a system path.
std::wstring FinalPath(const std::wstring& path) {
    UniqueFile file(CreateFileW(path.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file) {
        const DWORD code = GetLastError();
        if (code != ERROR_FILE_NOT_FOUND && code != ERROR_PATH_NOT_FOUND) return path;  // the write itself says what is wrong
        // A file still to be made: the folder's links are followed.
        const std::wstring folder = FolderOf(path);
        return folder == path || folder.size() <= 7 ? path : FinalPath(folder) + L"\\" + BaseOf(path);
    }
    std::wstring final(MAX_PATH, L'\0');
    DWORD n = GetFinalPathNameByHandleW(file.get(), final.data(), static_cast<DWORD>(final.size()), FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (n >= final.size()) {
        final.resize(n + 1);
        n = GetFinalPathNameByHandleW(file.get(), final.data(), static_cast<DWORD>(final.size()), FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    }
    if (n == 0 || n >= final.size()) return path;
    final.resize(n);
    return final;
}

constexpr wchar_t kTempMark[] = L".quillmark-";

// Temporary files that runs killed before they could clean up left beside the file: their process
// is gone. A running writer's file is left alone.
void RemoveStaleTemps(const std::wstring& folder, const std::wstring& base) {
    const std::wstring prefix = L"." + base + kTempMark;
    WIN32_FIND_DATAW found{};
    UniqueFind find(FindFirstFileW((folder + L"\\" + prefix + L"*.tmp").c_str(), &found));
    if (!find) return;
    do {
        const std::wstring name = found.cFileName;
        if (name.size() <= prefix.size() + 4 || name.compare(0, prefix.size(), prefix) != 0) continue;
        const std::wstring digits = name.substr(prefix.size(), name.size() - prefix.size() - 4);
        if (digits.empty() || digits.size() > 9 || digits.find_first_not_of(L"0123456789") != std::wstring::npos) continue;
        const DWORD pid = static_cast<DWORD>(std::stoul(digits));
        HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
        if (process != nullptr) {
            const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
            CloseHandle(process);
            if (running) continue;
        } else if (GetLastError() != ERROR_INVALID_PARAMETER) {
            continue;  // a process of another user: not ours to judge
        }
        DeleteFileW((folder + L"\\" + name).c_str());
    } while (FindNextFileW(find.get(), &found));
}

void WriteAll(HANDLE file, std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
        DWORD n = 0;
        if (!WriteFile(file, bytes.data() + done, chunk, &n, nullptr)) Fail("cannot write a file beside it", GetLastError());
        done += n;
    }
}

// Makes the folder and the folders it is in.
void MakeFolders(const std::wstring& folder) {
    if (folder.empty() || CreateDirectoryW(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS) return;
    if (GetLastError() != ERROR_PATH_NOT_FOUND) return;  // the write itself says what is wrong
    const std::wstring parent = FolderOf(folder);
    if (parent == folder || parent.size() < 3) return;
    MakeFolders(parent);
    CreateDirectoryW(folder.c_str(), nullptr);
}

// The attributes a user or a tool sets on a file and that a replacement must keep.
constexpr DWORD kKeptAttributes =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

}  // namespace

std::string ResolveLinks(const std::string& path) { return Readable(FinalPath(SystemPath(path))); }

bool FileExists(const std::string& path) {
    try {
        return GetFileAttributesW(SystemPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
    } catch (const PlatformError&) {
        return false;
    }
}

std::string ReadWholeFile(const std::string& path, FileStamp* stamp) {
    const UniqueFile file = OpenExisting(SystemPath(path), GENERIC_READ);
    if (stamp != nullptr) *stamp = StampOf(file.get());
    return ReadAll(file.get());
}

void WriteFileAtomically(const std::string& path, std::string_view bytes, const AsRead* asRead) {
    WriteFileAtomically(path, FilePieces([bytes](const std::function<void(std::string_view)>& put) { put(bytes); }), asRead);
}

void WriteFileAtomically(const std::string& path, const FilePieces& pieces, const AsRead* asRead) {
    const std::wstring target = FinalPath(SystemPath(path));
    const DWORD attributes = GetFileAttributesW(target.c_str());
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (const DWORD code = GetLastError(); !exists && code != ERROR_FILE_NOT_FOUND && code != ERROR_PATH_NOT_FOUND) Fail("", code);
    if (exists) {
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) throw PlatformError(kNotRegular);
        if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) throw PlatformError(kReadOnly);
        // The replacement needs the right to remove the file: an editor that holds it without
        // sharing is found here, before anything is written.
        (void)OpenExisting(target, GENERIC_READ | DELETE);
    }
    const std::wstring folder = FolderOf(target);
    const std::wstring base = BaseOf(target);
    if (!exists) MakeFolders(folder);
    RemoveStaleTemps(folder, base);
    const std::wstring temp = folder + L"\\." + base + kTempMark + std::to_wstring(GetCurrentProcessId()) + L".tmp";
    DeleteFileW(temp.c_str());  // this process's own, from an earlier write that could not clean up
    struct Cleanup {
        const std::wstring& temp;
        bool done = false;
        ~Cleanup() {
            if (!done) DeleteFileW(temp.c_str());
        }
    } cleanup{temp};
    {
        UniqueFile out(CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!out) Fail("cannot create a file beside it", GetLastError());
        files::WritePieces(pieces, [&](std::string_view block) { WriteAll(out.get(), block); });
        if (!FlushFileBuffers(out.get())) Fail("cannot flush the new file to the disk", GetLastError());
    }
    if (asRead != nullptr) {
        // As late as can be: a save by an editor after this point and before the replacement is the
        // only one that can still be lost.
        FileStamp now;
        bool same = false;
        try {
            const UniqueFile file = OpenExisting(target, GENERIC_READ);
            now = StampOf(file.get());
            same = HoldsBytes(file.get(), asRead->bytes);
        } catch (const PlatformError&) {
            throw FileChangedError();
        }
        if (now != asRead->stamp || !same) throw FileChangedError();
    }
    if (exists) {
        if (ReplaceFileW(target.c_str(), temp.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
            cleanup.done = true;
            // Not every implementation carries the attributes over (Wine does not).
            const DWORD now = GetFileAttributesW(target.c_str());
            if (now != INVALID_FILE_ATTRIBUTES && (now & kKeptAttributes) != (attributes & kKeptAttributes)) {
                SetFileAttributesW(target.c_str(), (now & ~kKeptAttributes) | (attributes & kKeptAttributes));
            }
            return;
        }
        const DWORD code = GetLastError();
        if (code == ERROR_UNABLE_TO_MOVE_REPLACEMENT || code == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) {
            // The old file has been moved away and the new one could not take its name: the new bytes
            // exist only in the file beside it, which is moved into place, or kept when it cannot be.
            if (MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
                cleanup.done = true;
                SetFileAttributesW(target.c_str(), attributes & (kKeptAttributes | FILE_ATTRIBUTE_NORMAL));
                return;
            }
            const DWORD moveCode = GetLastError();
            cleanup.done = true;
            Fail("cannot replace the file; the new text is kept in " + Utf16ToUtf8(win32::FromWide(temp)), moveCode);
        }
        // Where the file system cannot replace (some network shares) or the call cannot take the path
        // (Wine's makes a name of its own, limited to MAX_PATH), a plain rename that reaches the disk
        // before it returns; on any other failure the old file stands as it was.
        if (code != ERROR_INVALID_PARAMETER && code != ERROR_NOT_SUPPORTED && code != ERROR_INVALID_FUNCTION &&
            code != ERROR_CALL_NOT_IMPLEMENTED && code != ERROR_INVALID_NAME && code != ERROR_FILENAME_EXCED_RANGE) {
            Fail("cannot replace the file", code);
        }
    }
    if (!MoveFileExW(temp.c_str(), target.c_str(), (exists ? MOVEFILE_REPLACE_EXISTING : 0) | MOVEFILE_WRITE_THROUGH)) {
        Fail("cannot replace the file", GetLastError());
    }
    cleanup.done = true;
    if (exists) SetFileAttributesW(target.c_str(), attributes & (kKeptAttributes | FILE_ATTRIBUTE_NORMAL));
}

namespace {

// Where the lock of a file lives: the user's own temporary folder, under a name made from the file's
// full path (letters folded, as the file system folds them), never beside the file.
std::wstring LockFileOf(const std::wstring& finalPath) {
    // One name whether or not the path came back in its long form (\\?\, \\?\UNC\).
    std::wstring path = finalPath;
    if (path.compare(0, 8, L"\\\\?\\UNC\\") == 0) {
        path.replace(0, 8, L"\\\\");
    } else if (path.compare(0, 4, L"\\\\?\\") == 0) {
        path.erase(0, 4);
    }
    std::uint64_t hash = 14695981039346656037ULL;  // FNV-1a over the UTF-16 units
    for (const wchar_t c : path) {
        hash ^= static_cast<std::uint16_t>(std::towlower(static_cast<std::wint_t>(c)));
        hash *= 1099511628211ULL;
    }
    wchar_t temp[MAX_PATH + 2] = {};
    const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
    if (length == 0 || length > MAX_PATH) throw PlatformError("no temporary folder");
    std::wstring folder = std::wstring(temp, length) + L"quillmark-locks";
    CreateDirectoryW(folder.c_str(), nullptr);  // there already, or the lock file fails below
    static constexpr wchar_t kHex[] = L"0123456789abcdef";
    std::wstring name = folder + L"\\";
    for (int shift = 60; shift >= 0; shift -= 4) name += kHex[(hash >> shift) & 0xF];
    return name + L".lock";
}

}  // namespace

FileLock::FileLock(const std::string& path) {
    std::wstring lockPath;
    try {
        lockPath = LockFileOf(FinalPath(SystemPath(path)));
    } catch (const PlatformError&) {
        return;
    }
    HANDLE file =
        CreateFileW(lockPath.c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    OVERLAPPED whole{};
    // Waits for the lock as long as another process holds it, as flock does.
    if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole)) {
        CloseHandle(file);
        return;
    }
    handle_ = reinterpret_cast<std::intptr_t>(file);
}

FileLock::~FileLock() {
    if (handle_ == kNone) return;
    const auto file = reinterpret_cast<HANDLE>(handle_);
    OVERLAPPED whole{};
    UnlockFileEx(file, 0, MAXDWORD, MAXDWORD, &whole);
    CloseHandle(file);
}

}  // namespace qm
