// Starting a program on Windows: the program found in the absolute folders of PATH (never the
// current folder, which CreateProcess would search first), its standard output read through a pipe
// and its error output kept in a temporary file, so that neither can fill up and stall it.
#include <windows.h>

#include <string>

#include "platform/process.h"
#include "platform/text.h"
#include "platform/win32/handles.h"

namespace qm {
namespace {

std::wstring WideOf(const std::string& utf8) {
    const std::u16string text = Utf8ToUtf16(utf8);
    return std::wstring(text.begin(), text.end());
}

bool IsAbsoluteFolder(const std::wstring& folder) {
    return (folder.size() >= 3 && folder[1] == L':' && (folder[2] == L'\\' || folder[2] == L'/')) ||
           (folder.size() >= 2 && folder[0] == L'\\' && folder[1] == L'\\');
}

std::wstring FindInPath(const std::string& program) {
    const DWORD size = GetEnvironmentVariableW(L"PATH", nullptr, 0);
    std::wstring folders(size, L'\0');
    if (size > 0) folders.resize(GetEnvironmentVariableW(L"PATH", folders.data(), size));
    const std::wstring name = WideOf(program);
    for (const wchar_t* extension : {L".exe", L".com", L""}) {
        std::size_t start = 0;
        while (start <= folders.size()) {
            std::size_t end = folders.find(L';', start);
            if (end == std::wstring::npos) end = folders.size();
            std::wstring folder = folders.substr(start, end - start);
            start = end + 1;
            if (folder.size() >= 2 && folder.front() == L'"' && folder.back() == L'"') folder = folder.substr(1, folder.size() - 2);
            if (!IsAbsoluteFolder(folder)) continue;
            if (folder.back() != L'\\' && folder.back() != L'/') folder += L'\\';
            const std::wstring candidate = folder + name + extension;
            const DWORD attributes = GetFileAttributesW(candidate.c_str());
            if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return candidate;
        }
    }
    throw PlatformError(program + " was not found in the folders of PATH");
}

// One word of a command line as the C runtime splits it again.
std::wstring QuotedWord(const std::wstring& word) {
    if (!word.empty() && word.find_first_of(L" \t\n\v\"") == std::wstring::npos) return word;
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : word) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');
    return out + L"\"";
}

std::string Failed(const std::string& what) { return what + " (error " + std::to_string(GetLastError()) + ")"; }

}  // namespace

ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& arguments, const std::string& folder) {
    const std::wstring executable = FindInPath(program);
    std::wstring commandLine = QuotedWord(executable);
    for (const std::string& a : arguments) commandLine += L" " + QuotedWord(WideOf(a));

    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    win32::UniqueKernelHandle readOut;
    win32::UniqueKernelHandle writeOut;
    if (!CreatePipe(readOut.put(), writeOut.put(), &inherit, 0)) throw PlatformError(Failed("cannot make a pipe"));
    SetHandleInformation(readOut.get(), HANDLE_FLAG_INHERIT, 0);
    wchar_t tempFolder[MAX_PATH + 1] = {};
    wchar_t tempName[MAX_PATH + 1] = {};
    if (GetTempPathW(MAX_PATH + 1, tempFolder) == 0 || GetTempFileNameW(tempFolder, L"qm", 0, tempName) == 0) {
        throw PlatformError(Failed("cannot make a temporary file"));
    }
    win32::UniqueFile errFile(CreateFileW(tempName, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (!errFile) throw PlatformError(Failed("cannot make a temporary file"));
    win32::UniqueFile input(
        CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input.get();
    startup.hStdOutput = writeOut.get();
    startup.hStdError = errFile.get();
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(0);
    const std::wstring where = WideOf(folder);
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(executable.c_str(), line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                        folder.empty() ? nullptr : where.c_str(), &startup, &info)) {
        throw PlatformError(Failed("cannot start " + program));
    }
    const win32::ProcessHandles started(info);
    writeOut.reset();

    ProgramResult result;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(readOut.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) result.out.append(buffer, got);
    WaitForSingleObject(started.process.get(), INFINITE);
    DWORD code = 0;
    result.status = GetExitCodeProcess(started.process.get(), &code) ? static_cast<int>(code) : -1;
    SetFilePointer(errFile.get(), 0, nullptr, FILE_BEGIN);
    while (ReadFile(errFile.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) result.err.append(buffer, got);
    return result;
}

}  // namespace qm
