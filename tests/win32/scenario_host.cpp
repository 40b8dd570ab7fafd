#include "tests/win32/scenario_host.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "addin/settings/settings_store.h"
#include "platform/failure.h"
#include "platform/program_path.h"
#include "platform/text.h"
#include "platform/win32/wide.h"

namespace qm::standin {

// Points one imported function of a loaded module at another.
bool PatchImport(HMODULE module, const char* dll, const char* function, void* replacement) {
    auto* base = reinterpret_cast<BYTE*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.VirtualAddress == 0) return false;
    for (auto* entry = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); entry->Name != 0; ++entry) {
        if (lstrcmpiA(reinterpret_cast<const char*>(base + entry->Name), dll) != 0) continue;
        auto* names =
            reinterpret_cast<IMAGE_THUNK_DATA*>(base + (entry->OriginalFirstThunk != 0 ? entry->OriginalFirstThunk : entry->FirstThunk));
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) != 0) continue;
            DWORD old = 0;
            if (!VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &old)) return false;
            slots->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
            VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, old, &old);
            return true;
        }
    }
    return false;
}

namespace {

using scenario::StepError;

// --- What the library asks of the system, answered for the scenario.
// The library's imports of the clock, the screen resolution, program start and help are pointed
// at these, so that a scenario fixes today's date and the resolution, and sees what was started.

SYSTEMTIME g_now = {1999, 12, 3, 1, 9, 5, 7, 0};
int g_dpi = 0;  // 0: the screen's own
bool g_helpMissing = false;
std::vector<std::u16string> g_started;
std::vector<std::pair<std::u16string, std::int32_t>> g_help;
std::vector<std::pair<std::u16string, std::int32_t>> g_htmlHelp;
DWORD g_windowsMajor = 5;  // a system with WinHelp, unless the scenario says otherwise
std::u16string g_windowsDirectory = u"C:\\WINDOWS";
bool g_winHelpRunning = false;  // a WinHelp viewer was started (the stand-in starts nothing)
std::vector<scenario::Message> g_messages;
Win32Host* g_host = nullptr;

using win32::FromWide;
using win32::Wide;

void WINAPI FakeGetLocalTime(LPSYSTEMTIME now) { *now = g_now; }

int WINAPI FakeGetDeviceCaps(HDC dc, int index) {
    if (g_dpi != 0 && (index == LOGPIXELSX || index == LOGPIXELSY)) return g_dpi;
    return GetDeviceCaps(dc, index);
}

UINT WINAPI FakeGetSystemWindowsDirectoryW(LPWSTR buffer, UINT size) {
    const std::wstring folder = Wide(g_windowsDirectory);
    if (folder.size() >= size) return static_cast<UINT>(folder.size() + 1);
    std::copy(folder.begin(), folder.end(), buffer);
    buffer[folder.size()] = L'\0';
    return static_cast<UINT>(folder.size());
}

// Stricter than the system: a program is started only by its full path, given as the file to run,
// with the command line beginning with that path in quotes. Anything else is recorded as refused.
BOOL WINAPI FakeCreateProcessW(LPCWSTR application, LPWSTR commandLine, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL, DWORD, LPVOID,
                               LPCWSTR, LPSTARTUPINFOW, LPPROCESS_INFORMATION process) {
    const std::u16string line = FromWide(commandLine);
    const std::u16string program = FromWide(application);
    if (application == nullptr || !IsFullPath(program) || line.rfind(Quoted(program), 0) != 0) {
        g_started.push_back(u"(refused: not started by its full path) " + line);
        SetLastError(ERROR_BAD_PATHNAME);
        return FALSE;
    }
    const bool winHelp = EqualsIgnoreCase(program.substr(program.find_last_of(u'\\') + 1), u"WINHLP32.EXE");
    if (g_helpMissing && winHelp) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    g_winHelpRunning = g_winHelpRunning || winHelp;
    g_started.push_back(line);
    // Handles the caller can wait for and close, as it would those of a real process.
    process->hProcess = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    process->hThread = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    process->dwProcessId = 0;
    process->dwThreadId = 0;
    return TRUE;
}

// The WinHelp viewer's window is there once the library has started the viewer.
HWND WINAPI FakeFindWindowW(LPCWSTR windowClass, LPCWSTR title) {
    if (windowClass != nullptr && !IS_INTRESOURCE(windowClass) && lstrcmpiW(windowClass, L"MS_WINHELP") == 0) {
        return g_winHelpRunning ? GetDesktopWindow() : nullptr;
    }
    return FindWindowW(windowClass, title);
}

BOOL WINAPI FakeWinHelpW(HWND, LPCWSTR file, UINT command, ULONG_PTR data) {
    if (command == HELP_CONTEXT) g_help.emplace_back(FromWide(file), static_cast<std::int32_t>(data));
    return TRUE;
}

// The HTML Help viewer and the system's real version are found at run time, by name.
HWND WINAPI FakeHtmlHelpW(HWND, LPCWSTR file, UINT command, DWORD_PTR data) {
    if (g_helpMissing) return nullptr;
    if (command == 0x0000 || command == 0x000F) g_htmlHelp.emplace_back(FromWide(file), command == 0 ? 0 : static_cast<std::int32_t>(data));
    return GetDesktopWindow();
}

LONG WINAPI FakeRtlGetVersion(OSVERSIONINFOW* version) {
    version->dwMajorVersion = g_windowsMajor;
    version->dwMinorVersion = g_windowsMajor == 5 ? 1 : 0;
    version->dwBuildNumber = g_windowsMajor == 5 ? 2600 : 19045;
    return 0;
}

FARPROC WINAPI FakeGetProcAddress(HMODULE module, LPCSTR name) {
    if (reinterpret_cast<ULONG_PTR>(name) > 0xFFFF) {
        if (std::strcmp(name, "HtmlHelpW") == 0) return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&FakeHtmlHelpW));
        if (std::strcmp(name, "RtlGetVersion") == 0) return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&FakeRtlGetVersion));
    }
    return GetProcAddress(module, name);
}

// --- The library's dialogs, as a user and an accessibility aid see them.

const UINT kNameMessage = RegisterWindowMessageW(L"QuillmarkAutomationName");
const UINT kContainerMessage = RegisterWindowMessageW(L"QuillmarkAutomationContainer");

std::u16string ClassOf(HWND hwnd) {
    wchar_t name[64] = {};
    GetClassNameW(hwnd, name, 64);
    return FromWide(name);
}

std::u16string TextOf(HWND hwnd) {
    const int n = GetWindowTextLengthW(hwnd);
    std::wstring buffer(static_cast<std::size_t>(n) + 1, L'\0');
    GetWindowTextW(hwnd, buffer.data(), n + 1);
    buffer.resize(wcslen(buffer.c_str()));
    return FromWide(buffer.c_str());
}

std::u16string NameOf(HWND form, HWND control) {
    wchar_t name[128] = {};
    const LRESULT n = SendMessageW(form, kNameMessage, reinterpret_cast<WPARAM>(control), reinterpret_cast<LPARAM>(name));
    return n > 0 ? FromWide(name) : u"";
}

std::u16string Ref(const std::u16string& name, int index) { return index < 0 ? name : name + u"(" + DecimalText(index) + u")"; }

struct Windows {
    std::u16string cls;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectThreadWindows(HWND hwnd, LPARAM p) {
    auto* w = reinterpret_cast<Windows*>(p);
    if (IsWindowVisible(hwnd) && ClassOf(hwnd) == w->cls) w->found.push_back(hwnd);
    return TRUE;
}

std::vector<HWND> ThreadWindows(const std::u16string& cls) {
    Windows w{cls, {}};
    EnumThreadWindows(GetCurrentThreadId(), CollectThreadWindows, reinterpret_cast<LPARAM>(&w));
    return w.found;
}

BOOL CALLBACK CollectChildren(HWND hwnd, LPARAM p) {
    reinterpret_cast<std::vector<HWND>*>(p)->push_back(hwnd);
    return TRUE;
}

std::vector<HWND> Children(HWND parent) {
    std::vector<HWND> children;
    EnumChildWindows(parent, CollectChildren, reinterpret_cast<LPARAM>(&children));
    return children;
}

void CALLBACK StepTimer(HWND, UINT, UINT_PTR, DWORD) {
    if (g_host != nullptr) g_host->OnStepTimer();
}

LONG Style(HWND hwnd) { return GetWindowLongW(hwnd, GWL_STYLE); }

std::string KindOf(HWND hwnd) {
    const std::u16string cls = ClassOf(hwnd);
    const LONG style = Style(hwnd);
    if (lstrcmpiW(Wide(cls).c_str(), L"Edit") == 0) return "TextBox";
    if (lstrcmpiW(Wide(cls).c_str(), L"ListBox") == 0) return "ListBox";
    if (lstrcmpiW(Wide(cls).c_str(), L"ComboBox") == 0) return "ComboBox";
    if (lstrcmpiW(Wide(cls).c_str(), L"Button") == 0) {
        switch (style & BS_TYPEMASK) {
            case BS_GROUPBOX:
                return "Frame";
            case BS_3STATE:
            case BS_AUTO3STATE:
            case BS_CHECKBOX:
            case BS_AUTOCHECKBOX:
                return "CheckBox";
            case BS_RADIOBUTTON:
            case BS_AUTORADIOBUTTON:
                return "OptionButton";
            default:
                return "CommandButton";
        }
    }
    if ((style & SS_TYPEMASK) == SS_BITMAP) return "Image";
    if ((style & SS_TYPEMASK) == SS_ETCHEDHORZ) return "Line";
    return "Label";
}

std::u16string ListText(HWND list, bool combo, int row) {
    const LRESULT n = SendMessageW(list, combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN, static_cast<WPARAM>(row), 0);
    if (n < 0) return {};
    std::wstring buffer(static_cast<std::size_t>(n) + 1, L'\0');
    SendMessageW(list, combo ? CB_GETLBTEXT : LB_GETTEXT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(buffer.data()));
    buffer.resize(wcslen(buffer.c_str()));
    return FromWide(buffer.c_str());
}

}  // namespace

Win32Host::Win32Host(std::wstring library)
    : builtLibrary_(std::move(library)),
      codepage_(MakeCp932Codepage()),
      registry_(std::make_unique<Win32Registry>(*codepage_)),
      ui_(std::make_unique<Win32Ui>(GetModuleHandleW(nullptr))) {
    g_host = this;
    // Each scenario starts from an empty store and an empty clipboard.
    registry_->DeleteKey(Hive::CurrentUser, kSettingsKey);
    Attempt([&] { ui_->ClipboardClear(); });
}

Win32Host::~Win32Host() {
    if (vbe_) vbe_->Shutdown();
    vbe_.reset();
    if (mainWindow_ != nullptr) DestroyWindow(mainWindow_);
    if (g_host == this) g_host = nullptr;
}

ide::SimulatedVbe& Win32Host::Vbe(const ide::SimulatedVbe::Options& options) {
    if (!vbe_) {
        vbe_ = ide::SimulatedVbe::Create(*ui_, options);
        // The environment's main window: a real top-level window of this thread, which the add-in's
        // dialogs must own and disable.
        const wchar_t* caption = options.host == ide::HostKind::Vba ? L"Microsoft Visual Basic for Applications - Book1.xlsm"
                                                                    : L"Project1 - Microsoft Visual Basic [設計]";
        mainWindow_ = CreateWindowExW(0, L"STATIC", caption, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 640, 480, nullptr, nullptr,
                                      GetModuleHandleW(nullptr), nullptr);
        vbe_->SetMainWindow(reinterpret_cast<ui::WindowHandle>(mainWindow_));
    }
    return *vbe_;
}

void Win32Host::SetClock(const LocalDateTime& now) {
    g_now = {static_cast<WORD>(now.year),   static_cast<WORD>(now.month),  0, static_cast<WORD>(now.day), static_cast<WORD>(now.hour),
             static_cast<WORD>(now.minute), static_cast<WORD>(now.second), 0};
}

void Win32Host::SetScreen(float twipsPerPixelX, float) {
    g_dpi = static_cast<int>(std::lround(1440.0 / static_cast<double>(twipsPerPixelX)));
}

void Win32Host::SetLibrary(const std::u16string& path) {
    if (library_ != nullptr) throw StepError{"the library is already loaded"};
    libraryPath_ = path;
}

void Win32Host::SetHelpViewerMissing() { g_helpMissing = true; }
void Win32Host::SetWindowsVersion(int major) { g_windowsMajor = static_cast<DWORD>(major); }
void Win32Host::SetWindowsDirectory(const std::u16string& path) { g_windowsDirectory = path; }

std::shared_ptr<ide::Extensibility> Win32Host::AddIn() {
    if (auto alive = addIn_.lock()) return alive;
    if (library_ == nullptr) LoadLibraryAsInstalled();
    CLSID clsid{};
    if (FAILED(CLSIDFromProgID(L"WekQM417.AddInClass", &clsid))) throw StepError{"the ProgID is not registered"};
    IExtensibility* object = nullptr;
    const bool vba = vbe_ && vbe_->Host() == ide::HostKind::Vba;
    if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, vba ? kIidExtensibility2 : kIidExtensibility,
                                reinterpret_cast<void**>(&object))) ||
        object == nullptr) {
        throw StepError{"the add-in cannot be created by its ProgID"};
    }
    // The environment holds it from here; the host only watches it.
    auto addIn = std::make_shared<ComAddIn>(object);
    addIn_ = addIn;
    return addIn;
}

bool Win32Host::EnvironmentEnabled() { return mainWindow_ != nullptr && IsWindowEnabled(mainWindow_); }

void Win32Host::LoadLibraryAsInstalled() {
    // The library lies where the scenario says, registered there as its setup program would.
    const std::wstring target = Wide(libraryPath_);
    for (std::size_t slash = target.find(L'\\', 3); slash != std::wstring::npos; slash = target.find(L'\\', slash + 1)) {
        CreateDirectoryW(target.substr(0, slash).c_str(), nullptr);
    }
    if (!CopyFileW(builtLibrary_.c_str(), target.c_str(), FALSE))
        throw StepError{"the library cannot be copied to " + Utf16ToUtf8(libraryPath_)};
    // The help files go beside it, from the package folder of the build.
    const auto folderOf = [](const std::wstring& path) { return path.substr(0, path.find_last_of(L"\\/") + 1); };
    const std::wstring built = folderOf(builtLibrary_);
    const std::wstring package = folderOf(built.substr(0, built.size() - 1)) + L"package\\";
    for (const wchar_t* name : {L"Quillmark.hlp", L"Quillmark.cnt", L"Quillmark.chm"}) {
        CopyFileW((package + name).c_str(), (folderOf(target) + name).c_str(), FALSE);
    }
    library_ = LoadLibraryW(target.c_str());
    if (library_ == nullptr) throw StepError{"the library cannot be loaded"};
    using Register = HRESULT(STDAPICALLTYPE*)();
    auto registerServer = reinterpret_cast<Register>(reinterpret_cast<void*>(GetProcAddress(library_, "DllRegisterServer")));
    if (registerServer == nullptr || FAILED(registerServer())) throw StepError{"the library does not register itself"};
    const bool patched =
        PatchImport(library_, "KERNEL32.dll", "GetLocalTime", reinterpret_cast<void*>(&FakeGetLocalTime)) &&
        PatchImport(library_, "GDI32.dll", "GetDeviceCaps", reinterpret_cast<void*>(&FakeGetDeviceCaps)) &&
        PatchImport(library_, "KERNEL32.dll", "CreateProcessW", reinterpret_cast<void*>(&FakeCreateProcessW)) &&
        PatchImport(library_, "KERNEL32.dll", "GetSystemWindowsDirectoryW", reinterpret_cast<void*>(&FakeGetSystemWindowsDirectoryW)) &&
        PatchImport(library_, "USER32.dll", "WinHelpW", reinterpret_cast<void*>(&FakeWinHelpW)) &&
        PatchImport(library_, "USER32.dll", "FindWindowW", reinterpret_cast<void*>(&FakeFindWindowW)) &&
        PatchImport(library_, "KERNEL32.dll", "GetProcAddress", reinterpret_cast<void*>(&FakeGetProcAddress));
    if (!patched) throw StepError{"the library's imports are not the expected ones"};
}

void Win32Host::ClipboardSetText(const std::u16string& text) {
    ui_->ClipboardClear();
    ui_->ClipboardSetText(text);
}

std::optional<std::u16string> Win32Host::ClipboardText() { return ui_->ClipboardGet().text; }

void Win32Host::Pump(int milliseconds) {
    ++pumping_;
    const DWORD end = GetTickCount() + static_cast<DWORD>(milliseconds);
    MSG msg;
    while (static_cast<LONG>(end - GetTickCount()) > 0) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(msg.wParam));
                --pumping_;
                return;
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(2);
    }
    --pumping_;
}

void Win32Host::Tick(int times) {
    // The poller reads the active window each time it fires: wait until it has fired that many
    // times and once more, so the last one has finished, or a second when it does not run.
    const long start = ActiveWindowReads();
    const DWORD deadline = GetTickCount() + 1000;
    Pump(20);
    while (ActiveWindowReads() - start < times + 1 && static_cast<LONG>(deadline - GetTickCount()) > 0) Pump(10);
}

bool Win32Host::PollerRunning() {
    const long before = ActiveWindowReads();
    const DWORD deadline = GetTickCount() + 500;
    while (ActiveWindowReads() == before && static_cast<LONG>(deadline - GetTickCount()) > 0) Pump(10);
    return ActiveWindowReads() > before;
}

std::vector<scenario::Message> Win32Host::Messages() { return g_messages; }
std::vector<std::u16string> Win32Host::Started() { return g_started; }
std::vector<std::pair<std::u16string, std::int32_t>> Win32Host::HelpRequests() { return g_help; }
std::vector<std::pair<std::u16string, std::int32_t>> Win32Host::HtmlHelpRequests() { return g_htmlHelp; }

bool Win32Host::CloseMessageBox() {
    const auto boxes = ThreadWindows(u"#32770");
    if (boxes.empty()) return false;
    HWND box = boxes.front();
    // A box already answered may linger until its loop ends: it is read once.
    if (box == answeredBox_) return true;
    answeredBox_ = box;
    scenario::Message m;
    m.title = TextOf(box);
    // The message's text is in the box's control 0xFFFF, as the system lays message boxes out.
    HWND text = GetDlgItem(box, 0xFFFF);
    if (text != nullptr) m.text = TextOf(text);
    std::u16string plain;
    for (std::size_t i = 0; i < m.text.size(); ++i) {
        if (m.text[i] == u'\r' && i + 1 < m.text.size() && m.text[i + 1] == u'\n') ++i;
        plain += m.text[i] == u'\n' ? u'\r' : m.text[i];
    }
    m.text = plain;
    g_messages.push_back(m);
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    return true;
}

void Win32Host::OnStepTimer() {
    if (pumping_ > 0) return;
    if (CloseMessageBox()) return;
    const StepScene scene{ThreadWindows(u"QuillmarkForm").size(), TopDialog()};
    // A step still running takes the next only when it opened a dialog of its own, or put another
    // in the place of the one it began in.
    if (!stepScenes_.empty()) {
        const StepScene& began = stepScenes_.back();
        const bool opened = scene.dialogs > began.dialogs;
        const bool replaced = scene.dialogs == began.dialogs && scene.top != nullptr && scene.top != began.top;
        if (!opened && !replaced) return;
    }
    if (stepsDone_) {
        // The scenario ended with a dialog open: the user closes it.
        if (HWND top = TopDialog()) {
            PostMessageW(top, WM_CLOSE, 0, 0);
        } else if (stepScenes_.empty()) {
            PostQuitMessage(0);
        }
        return;
    }
    stepScenes_.push_back(scene);
    const bool more = (*step_)();
    stepScenes_.pop_back();
    if (!more) {
        stepsDone_ = true;
        if (stepScenes_.empty() && TopDialog() == nullptr) PostQuitMessage(0);
    }
}

void Win32Host::Drive(const std::function<bool()>& step) {
    step_ = &step;
    stepsDone_ = false;
    const UINT_PTR timer = SetTimer(nullptr, 0, 15, StepTimer);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    KillTimer(nullptr, timer);
    step_ = nullptr;
}

void Win32Host::PressAccessKey(char16_t key) {
    // The keys reach the window with the focus; the dialog's loop finds the control they name.
    HWND dialog = Dialog();
    HWND focus = GetFocus();
    HWND target = focus != nullptr && (focus == dialog || IsChild(dialog, focus)) ? focus : dialog;
    // Left to the dialog's own loop, which runs before the next step: the dialog manager there
    // finds the control the key names.
    PostMessageW(target, WM_SYSCHAR, static_cast<WPARAM>(key), static_cast<LPARAM>(1) << 29);
}

HWND Win32Host::TopDialog() const {
    for (HWND form : ThreadWindows(u"QuillmarkForm")) {
        if (IsWindowEnabled(form)) return form;
    }
    return nullptr;
}

HWND Win32Host::Dialog() const {
    HWND top = TopDialog();
    if (top == nullptr) throw StepError{"no dialog is open"};
    return top;
}

std::u16string Win32Host::DialogName() { return NameOf(Dialog(), nullptr); }
std::u16string Win32Host::DialogCaption() { return TextOf(Dialog()); }

double Win32Host::Tolerance() const {
    // One pixel, in twips.
    HDC dc = GetDC(nullptr);
    const int dpi = g_dpi != 0 ? g_dpi : GetDeviceCaps(dc, LOGPIXELSX);
    ReleaseDC(nullptr, dc);
    return 1440.0 / dpi;
}

scenario::Host::Box Win32Host::DialogPlace() {
    RECT r{};
    GetWindowRect(Dialog(), &r);
    const double tpp = Tolerance();
    return {r.left * tpp, r.top * tpp, (r.right - r.left) * tpp, (r.bottom - r.top) * tpp};
}

scenario::Host::Box Win32Host::ScreenBox() {
    const double tpp = Tolerance();
    return {0, 0, GetSystemMetrics(SM_CXSCREEN) * tpp, GetSystemMetrics(SM_CYSCREEN) * tpp};
}

HWND Win32Host::FindControl(const std::u16string& name, int index) const {
    HWND dialog = Dialog();
    const std::u16string wanted = Ref(name, index);
    for (HWND child : Children(dialog)) {
        if (NameOf(dialog, child) == wanted) return child;
    }
    return nullptr;
}

std::optional<scenario::ControlState> Win32Host::Inspect(const std::u16string& name, int index) {
    HWND dialog = Dialog();
    HWND hwnd = FindControl(name, index);
    if (hwnd == nullptr) return std::nullopt;
    scenario::ControlState s;
    s.kind = KindOf(hwnd);
    const bool combo = s.kind == "ComboBox";
    if (s.kind == "ListBox" || combo) {
        const auto count = static_cast<int>(SendMessageW(hwnd, combo ? CB_GETCOUNT : LB_GETCOUNT, 0, 0));
        for (int row = 0; row < count; ++row) {
            const auto tag =
                static_cast<std::int32_t>(SendMessageW(hwnd, combo ? CB_GETITEMDATA : LB_GETITEMDATA, static_cast<WPARAM>(row), 0));
            s.entries.push_back({ListText(hwnd, combo, row), tag});
        }
        s.value = static_cast<int>(SendMessageW(hwnd, combo ? CB_GETCURSEL : LB_GETCURSEL, 0, 0));
        s.text = *s.value < 0 ? u"" : ListText(hwnd, combo, *s.value);
    } else if (s.kind != "Image" && s.kind != "Line") {
        s.text = TextOf(hwnd);
        if (s.kind == "Label") {
            // Lines broken by a lone CR are shown with CR LF.
            std::u16string plain;
            for (std::size_t i = 0; i < s.text->size(); ++i) {
                plain += (*s.text)[i];
                if ((*s.text)[i] == u'\r' && i + 1 < s.text->size() && (*s.text)[i + 1] == u'\n') ++i;
            }
            s.text = plain;
        }
        if (s.kind == "CheckBox" || s.kind == "OptionButton") {
            const LRESULT state = SendMessageW(hwnd, BM_GETCHECK, 0, 0);
            s.value = state == BST_CHECKED ? 1 : state == BST_INDETERMINATE ? 2 : 0;
        }
    }
    // The place relative to the container, as the form states it.
    const double tpp = Tolerance();
    RECT r{};
    GetWindowRect(hwnd, &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    POINT origin{0, 0};
    if (HWND container = reinterpret_cast<HWND>(SendMessageW(dialog, kContainerMessage, reinterpret_cast<WPARAM>(hwnd), 0))) {
        RECT c{};
        GetWindowRect(container, &c);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&c), 2);
        origin = {c.left, c.top};
    }
    s.left = (r.left - origin.x) * tpp;
    s.top = (r.top - origin.y) * tpp;
    s.width = (r.right - r.left) * tpp;
    s.height = (r.bottom - r.top) * tpp;
    if (s.kind == "ComboBox") s.height = 0;
    if (HFONT font = reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0))) {
        LOGFONTW lf{};
        GetObjectW(font, sizeof lf, &lf);
        s.fontSize = std::round(std::abs(lf.lfHeight) * tpp / 20.0 * 2) / 2;
    }
    s.visible = IsWindowVisible(hwnd) != FALSE;
    s.usable = s.visible && IsWindowEnabled(hwnd) != FALSE;
    return s;
}

bool Win32Host::ForeColorIs(const std::u16string& name, int index, int colour) {
    HWND dialog = Dialog();
    HWND hwnd = FindControl(name, index);
    if (hwnd == nullptr) return false;
    // The colour the form paints the control's text in.
    HDC dc = CreateCompatibleDC(nullptr);
    const COLORREF unset = RGB(1, 2, 3);
    SetTextColor(dc, unset);
    const bool edit = KindOf(hwnd) == "TextBox" && IsWindowEnabled(hwnd);
    SendMessageW(dialog, edit ? WM_CTLCOLOREDIT : WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(hwnd));
    COLORREF shown = GetTextColor(dc);
    DeleteDC(dc);
    if (shown == unset) shown = GetSysColor(edit ? COLOR_WINDOWTEXT : COLOR_BTNTEXT);
    const COLORREF wanted = colour > 0 && colour < 31 ? GetSysColor(colour) : static_cast<COLORREF>(colour);
    return shown == wanted;
}

std::u16string Win32Host::Focus() {
    HWND dialog = Dialog();
    HWND focus = GetFocus();
    if (focus == nullptr || GetParent(focus) != dialog) return {};
    return NameOf(dialog, focus);
}

void Win32Host::Act(const std::u16string& name, int index, scenario::UserAction action, const std::u16string& text, int number) {
    HWND dialog = Dialog();
    HWND hwnd = FindControl(name, index);
    if (hwnd == nullptr) throw StepError{"the dialog has no control " + Utf16ToUtf8(Ref(name, index))};
    if (!IsWindowVisible(hwnd) || !IsWindowEnabled(hwnd)) throw StepError{"the user cannot reach " + Utf16ToUtf8(Ref(name, index))};
    const std::string kind = KindOf(hwnd);
    const auto notify = [&](WORD code) {
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(hwnd), code), reinterpret_cast<LPARAM>(hwnd));
    };
    const auto pick = [&](int row) {
        SetFocus(hwnd);
        if (kind == "ComboBox") {
            SendMessageW(hwnd, CB_SETCURSEL, static_cast<WPARAM>(row), 0);
            notify(CBN_SELCHANGE);
        } else {
            SendMessageW(hwnd, LB_SETCURSEL, static_cast<WPARAM>(row), 0);
            notify(LBN_SELCHANGE);
        }
    };
    switch (action) {
        case scenario::UserAction::Click:
            if (kind == "CommandButton" || kind == "CheckBox" || kind == "OptionButton") {
                SendMessageW(hwnd, BM_CLICK, 0, 0);
            } else {
                throw StepError{"the user cannot click a " + kind};
            }
            break;
        case scenario::UserAction::Type:
            if (kind != "TextBox") throw StepError{"the control is not a text box"};
            SetFocus(hwnd);
            SetWindowTextW(hwnd, Wide(text).c_str());
            break;
        case scenario::UserAction::Check:
            if (kind != "CheckBox") throw StepError{"the control is not a check box"};
            if (SendMessageW(hwnd, BM_GETCHECK, 0, 0) != number) SendMessageW(hwnd, BM_CLICK, 0, 0);
            if (SendMessageW(hwnd, BM_GETCHECK, 0, 0) != number) throw StepError{"the check box does not take that state"};
            break;
        case scenario::UserAction::Pick:
            if (kind != "ListBox" && kind != "ComboBox") throw StepError{"the control is not a list"};
            pick(number);
            break;
        case scenario::UserAction::DblClick:
            if (kind != "ListBox") throw StepError{"the user cannot double-click a " + kind};
            if (number >= 0) pick(number);
            notify(LBN_DBLCLK);
            break;
    }
}

void Win32Host::CloseDialog() { SendMessageW(Dialog(), WM_CLOSE, 0, 0); }

}  // namespace qm::standin
