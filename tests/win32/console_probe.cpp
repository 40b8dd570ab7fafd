// Runs a program in a console of its own and prints what that console shows: every row of the screen
// buffer as ReadConsoleOutputW reads it, as UTF-8, trailing blanks left out. The console's output code
// page is set first (437 unless given), so that text shows right only when written as UTF-16.
//   console_probe [--codepage N] PROGRAM [ARGUMENT...]
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string Utf8(const std::wstring& text) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), n, nullptr, nullptr);
    return bytes;
}

// An argument as the command line of a Windows program quotes it.
std::wstring Quoted(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) return argument;
    std::wstring out = L"\"";
    for (wchar_t c : argument) {
        if (c == L'"') out += L'\\';
        out += c;
    }
    return out + L"\"";
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    int first = 1;
    UINT codepage = 437;
    if (argc > 3 && std::wstring(argv[1]) == L"--codepage") {
        codepage = static_cast<UINT>(std::wcstoul(argv[2], nullptr, 10));
        first = 3;
    }
    if (first >= argc) {
        std::fputs("usage: console_probe [--codepage N] PROGRAM [ARGUMENT...]\n", stderr);
        return 2;
    }
    // What is read goes to the probe's own standard output, a pipe for the test.
    HANDLE report = GetStdHandle(STD_OUTPUT_HANDLE);
    FreeConsole();
    if (!AllocConsole()) {
        std::fprintf(stderr, "console_probe: no console (error %lu)\n", GetLastError());
        return 3;
    }
    SetConsoleOutputCP(codepage);
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE screen =
        CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
    HANDLE input =
        CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
    std::wstring line;
    for (int i = first; i < argc; ++i) line += (line.empty() ? L"" : L" ") + Quoted(argv[i]);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input;
    startup.hStdOutput = screen;
    startup.hStdError = screen;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
        std::fprintf(stderr, "console_probe: cannot start the program (error %lu)\n", GetLastError());
        return 3;
    }
    WaitForSingleObject(process.hProcess, 60000);
    DWORD status = 0;
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);

    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!GetConsoleScreenBufferInfo(screen, &info)) std::fprintf(stderr, "console_probe: no screen buffer (error %lu)\n", GetLastError());
    const SHORT width = info.dwSize.X;
    std::string shown;
    for (SHORT row = 0; row <= info.dwCursorPosition.Y; ++row) {
        std::vector<CHAR_INFO> cells(static_cast<std::size_t>(width));
        SMALL_RECT area{0, row, static_cast<SHORT>(width - 1), row};
        if (!ReadConsoleOutputW(screen, cells.data(), COORD{width, 1}, COORD{0, 0}, &area)) break;
        std::wstring text;
        for (const CHAR_INFO& cell : cells) {
            // A double-width character fills two cells: its second half is not a character of its own.
            if ((cell.Attributes & COMMON_LVB_TRAILING_BYTE) != 0) continue;
            text += cell.Char.UnicodeChar;
        }
        while (!text.empty() && (text.back() == L' ' || text.back() == L'\0')) text.pop_back();
        shown += Utf8(text) + "\n";
    }
    while (shown.size() > 1 && shown[shown.size() - 1] == '\n' && shown[shown.size() - 2] == '\n') shown.pop_back();
    shown += "exit " + std::to_string(status) + "\n";
    DWORD written = 0;
    WriteFile(report, shown.data(), static_cast<DWORD>(shown.size()), &written, nullptr);
    return 0;
}
