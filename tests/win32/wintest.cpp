// Acts on the windows of another program as a user would, for the tests under Wine:
//   wintest click TITLE BUTTON [SECONDS]   waits for a window, prints its texts, presses the button
//   wintest wait-gone TITLE [SECONDS]      waits until no window has that title
//   wintest link FILE                      prints the target of a shortcut
//   wintest start COMMAND_LINE             starts a command line as the system's list of installed
//                                          programs does (no program named apart from it)
//   wintest front TITLE OWNER [SECONDS]    waits for a window; succeeds when it is the foreground
//                                          window and belongs to the window titled OWNER
#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Search {
    std::wstring title;
    HWND found = nullptr;
};

BOOL CALLBACK FindTop(HWND hwnd, LPARAM data) {
    auto* search = reinterpret_cast<Search*>(data);
    wchar_t text[512] = {};
    GetWindowTextW(hwnd, text, 512);
    if (IsWindowVisible(hwnd) && search->title == text) {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

HWND WaitFor(const std::wstring& title, int seconds) {
    for (int i = 0; i < seconds * 10; ++i) {
        Search search{title};
        EnumWindows(FindTop, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr) return search.found;
        Sleep(100);
    }
    return nullptr;
}

void Print(const std::wstring& text) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    std::fwrite(out.data(), 1, out.size(), stdout);
}

struct Children {
    std::vector<HWND> all;
};

BOOL CALLBACK Collect(HWND hwnd, LPARAM data) {
    reinterpret_cast<Children*>(data)->all.push_back(hwnd);
    return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) return 2;
    const std::wstring command = argv[1];
    const std::wstring title = argv[2];
    if (command == L"link") {
        if (FAILED(CoInitialize(nullptr))) return 1;
        IShellLinkW* link = nullptr;
        IPersistFile* file = nullptr;
        wchar_t target[MAX_PATH] = {};
        const bool read =
            SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, reinterpret_cast<void**>(&link))) &&
            SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
            SUCCEEDED(file->Load(title.c_str(), STGM_READ)) && SUCCEEDED(link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH));
        if (file != nullptr) file->Release();
        if (link != nullptr) link->Release();
        CoUninitialize();
        if (!read) return 1;
        Print(std::wstring(target) + L"\n");
        return 0;
    }
    if (command == L"start") {
        std::vector<wchar_t> line(title.begin(), title.end());
        line.push_back(0);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) return 1;
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        return 0;
    }
    if (command == L"front" && argc > 3) {
        HWND window = WaitFor(title, argc > 4 ? _wtoi(argv[4]) : 20);
        if (window == nullptr) return 1;
        Sleep(1000);  // whatever else was opening has opened
        wchar_t owner[512] = {};
        GetWindowTextW(GetWindow(window, GW_OWNER), owner, 512);
        Print(std::wstring(L"foreground: ") + (GetForegroundWindow() == window ? L"yes" : L"no") + L", owner: " + owner + L"\n");
        return GetForegroundWindow() == window && std::wstring(argv[3]) == owner ? 0 : 1;
    }
    if (command == L"wait-gone") {
        const int seconds = argc > 3 ? _wtoi(argv[3]) : 20;
        for (int i = 0; i < seconds * 10; ++i) {
            Search search{title};
            EnumWindows(FindTop, reinterpret_cast<LPARAM>(&search));
            if (search.found == nullptr) return 0;
            Sleep(100);
        }
        return 1;
    }
    if (command != L"click" || argc < 4) return 2;
    const std::wstring button = argv[3];
    const int seconds = argc > 4 ? _wtoi(argv[4]) : 20;
    HWND window = WaitFor(title, seconds);
    if (window == nullptr) {
        std::fprintf(stderr, "no window\n");
        return 1;
    }
    Sleep(300);  // let it finish drawing
    Children children;
    EnumChildWindows(window, Collect, reinterpret_cast<LPARAM>(&children));
    HWND target = nullptr;
    for (HWND child : children.all) {
        wchar_t cls[64] = {};
        GetClassNameW(child, cls, 64);
        wchar_t text[2048] = {};
        GetWindowTextW(child, text, 2048);
        if (lstrcmpiW(cls, L"Static") == 0 && text[0] != 0) {
            Print(std::wstring(L"text: ") + text + L"\n");
        }
        if (lstrcmpiW(cls, L"Button") == 0 && button == text) target = child;
    }
    if (target == nullptr) {
        std::fprintf(stderr, "no button\n");
        return 1;
    }
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(target), BN_CLICKED), reinterpret_cast<LPARAM>(target));
    return 0;
}
