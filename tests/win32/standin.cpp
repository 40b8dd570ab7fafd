// A stand-in development environment: it offers the object model through IDispatch, creates the
// add-in by its ProgID as the environment does, and works with it as a user would: the stamp
// buttons, the toolbar placement, the wizard to its end, and the exit command. With "scenario" it
// runs scenario files against the library instead.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <deque>
#include <functional>
#include <set>
#include <string>

#include "addin/resources/button_faces.h"
#include "platform/failure.h"
#include "platform/sim/simulated_vbe.h"
#include "platform/text.h"
#include "platform/win32/ui_win32.h"
#include "tests/scenario/runner.h"
#include "tests/win32/com_addin.h"
#include "tests/win32/scenario_host.h"
#include "tests/win32/vbe_server.h"

namespace {

using qm::ide::SimulatedVbe;
using qm::standin::ComAddIn;
using qm::standin::IExtensibility;
using qm::standin::kIidExtensibility;

int g_passed = 0;
int g_failed = 0;

// The GDI objects the library makes and deletes, seen through its imports: the system's own count
// (GetGuiResources) is not kept by every Windows that runs these tests.
std::set<HGDIOBJ> g_gdiLive;
HFONT WINAPI CountCreateFontW(int h, int w, int e, int o, int wt, DWORD i, DWORD u, DWORD s, DWORD cs, DWORD op, DWORD cp, DWORD q,
                              DWORD pf, LPCWSTR face) {
    HFONT font = CreateFontW(h, w, e, o, wt, i, u, s, cs, op, cp, q, pf, face);
    if (font != nullptr) g_gdiLive.insert(font);
    return font;
}
HBITMAP WINAPI CountCreateDIBitmap(HDC dc, const BITMAPINFOHEADER* header, DWORD init, const void* bits, const BITMAPINFO* info,
                                   UINT usage) {
    HBITMAP bitmap = CreateDIBitmap(dc, header, init, bits, info, usage);
    if (bitmap != nullptr) g_gdiLive.insert(bitmap);
    return bitmap;
}
BOOL WINAPI CountDeleteObject(HGDIOBJ object) {
    g_gdiLive.erase(object);
    return DeleteObject(object);
}
BOOL WINAPI CountDeleteDC(HDC dc) {
    g_gdiLive.erase(dc);
    return DeleteDC(dc);
}
HDC WINAPI CountCreateCompatibleDC(HDC dc) {
    HDC made = CreateCompatibleDC(dc);
    if (made != nullptr) g_gdiLive.insert(made);
    return made;
}

// Every window of this thread, the children included.
BOOL CALLBACK CountChild(HWND, LPARAM p) {
    ++*reinterpret_cast<long*>(p);
    return TRUE;
}
BOOL CALLBACK CountTop(HWND hwnd, LPARAM p) {
    ++*reinterpret_cast<long*>(p);
    EnumChildWindows(hwnd, CountChild, p);
    return TRUE;
}
long ThreadWindowCount() {
    long count = 0;
    EnumThreadWindows(GetCurrentThreadId(), CountTop, reinterpret_cast<LPARAM>(&count));
    return count;
}

void Check(bool ok, const std::string& what) {
    (ok ? g_passed : g_failed)++;
    std::printf("%s %s\n", ok ? "ok  " : "FAIL", what.c_str());
    std::fflush(stdout);
}

// Lets the add-in's timers and windows run for a while.
void Pump(int milliseconds) {
    const DWORD end = GetTickCount() + static_cast<DWORD>(milliseconds);
    MSG msg;
    while (GetTickCount() < end) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(5);
    }
}

// --- A user acting on the add-in's dialogs while they are shown modally.

struct Search {
    std::wstring text;
    HWND found;
};

BOOL CALLBACK MatchTop(HWND h, LPARAM p) {
    auto* s = reinterpret_cast<Search*>(p);
    wchar_t text[512] = {};
    GetWindowTextW(h, text, 512);
    if (IsWindowVisible(h) && s->text == text) {
        s->found = h;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK MatchChild(HWND h, LPARAM p) { return MatchTop(h, p); }

BOOL CALLBACK CollectStatics(HWND h, LPARAM p) {
    wchar_t cls[32] = {};
    GetClassNameW(h, cls, 32);
    if (lstrcmpiW(cls, L"Static") == 0) {
        wchar_t t[1024] = {};
        GetWindowTextW(h, t, 1024);
        *reinterpret_cast<std::wstring*>(p) += t;
    }
    return TRUE;
}

HWND FindTop(const std::wstring& title) {
    Search s{title, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), MatchTop, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

HWND FindChild(HWND top, const std::wstring& text) {
    Search s{text, nullptr};
    EnumChildWindows(top, MatchChild, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

std::wstring StaticTexts(HWND top) {
    std::wstring all;
    EnumChildWindows(top, CollectStatics, reinterpret_cast<LPARAM>(&all));
    return all;
}

struct Action {
    std::wstring window;               // title of the window to wait for
    std::wstring button;               // caption of the button to press in it
    std::function<void(HWND)> before;  // what to look at first
};
std::deque<Action> g_actions;

void CALLBACK ActOnDialogs(HWND, UINT, UINT_PTR, DWORD) {
    if (g_actions.empty()) return;
    Action& next = g_actions.front();
    HWND top = FindTop(next.window);
    if (top == nullptr) return;
    HWND button = FindChild(top, next.button);
    if (button == nullptr || !IsWindowEnabled(button)) return;
    if (next.before) next.before(top);
    const Action done = next;
    g_actions.pop_front();
    // Posted, not sent: a dialog the click opens then runs its loop outside this timer's callback,
    // and the timer goes on firing inside it.
    PostMessageW(top, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

std::u16string U(const char* utf8) { return qm::Utf8ToUtf16(utf8); }
std::wstring W(const char* utf8) {
    const std::u16string u = U(utf8);
    return std::wstring(u.begin(), u.end());
}

std::u16string ReadSetting(const wchar_t* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Visual Basic\\6.0\\Addins\\WekQM417.AddInClass", 0, KEY_READ, &key) !=
        ERROR_SUCCESS) {
        return u"<no key>";
    }
    wchar_t data[1024] = {};
    DWORD size = sizeof data - sizeof(wchar_t);
    DWORD type = 0;
    const LONG rc = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) return u"<missing>";
    if (type == REG_DWORD) {
        DWORD number = 0;
        std::memcpy(&number, data, sizeof number);
        return qm::DecimalText(number);
    }
    return std::u16string(data, data + wcslen(data));
}

// Runs scenario files against the real library: standin scenario LIBRARY FILE..., or scenario-vba to
// run them in the VBA editor's personality.
int RunScenarios(int argc, wchar_t** argv) {
    const auto kind = std::wstring(argv[1]) == L"scenario-vba" ? qm::ide::HostKind::Vba : qm::ide::HostKind::Vb6;
    int failed = 0;
    for (int i = 3; i < argc; ++i) {
        const std::string file = qm::Utf16ToUtf8(std::u16string(argv[i], argv[i] + wcslen(argv[i])));
        std::vector<qm::scenario::Failure> failures;
        {
            qm::standin::Win32Host host(argv[2]);
            failures = qm::scenario::RunScenarioFile(file, host, kind);
        }
        for (const auto& f : failures) std::printf("%s:%d: %s\n", f.file.c_str(), f.line, f.message.c_str());
        std::printf("%s %s\n", failures.empty() ? "passed" : "FAILED", file.c_str());
        std::fflush(stdout);
        if (!failures.empty()) ++failed;
    }
    return failed == 0 ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    CoInitialize(nullptr);
    if (argc > 3 && (std::wstring(argv[1]) == L"scenario" || std::wstring(argv[1]) == L"scenario-vba")) return RunScenarios(argc, argv);
    if (argc > 1 && std::wstring(argv[1]) == L"unregistered") {
        // After the library was unregistered, the environment finds no such add-in, and nothing breaks.
        CLSID clsid{};
        Check(FAILED(CLSIDFromProgID(L"WekQM417.AddInClass", &clsid)), "an unregistered add-in has no class");
        const CLSID ours = {0x6f1e2b7c, 0x3d4a, 0x4e55, {0x9a, 0x21, 0x5c, 0x0d, 0x7b, 0x8e, 0x9f, 0x41}};
        IUnknown* object = nullptr;
        Check(CoCreateInstance(ours, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, reinterpret_cast<void**>(&object)) == REGDB_E_CLASSNOTREG,
              "  and cannot be created");
        std::printf("%d passed, %d failed\n", g_passed, g_failed);
        return g_failed == 0 ? 0 : 1;
    }
    qm::Win32Ui ui(GetModuleHandleW(nullptr));
    auto vbe = SimulatedVbe::Create(ui);
    auto& module = vbe->AddCodeWindow(
        u"Module1 (Code)",
        {u"Option Explicit", u"", u"Public Function AddTax(ByVal price As Long) As Long", u"    AddTax = price", u"End Function"},
        u"C:\\Project\\Module1.bas");
    vbe->AddWindow(U("イミディエイト"));

    // Created by its ProgID, as the environment creates add-ins.
    CLSID clsid{};
    Check(SUCCEEDED(CLSIDFromProgID(L"WekQM417.AddInClass", &clsid)), "the ProgID is registered");
    IExtensibility* object = nullptr;
    const HRESULT created = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, kIidExtensibility, reinterpret_cast<void**>(&object));
    Check(SUCCEEDED(created) && object != nullptr, "the add-in is created and answers IDTExtensibility");
    if (object == nullptr) {
        std::printf("%d passed, %d failed\n", g_passed, g_failed);
        return 1;
    }
    IUnknown* unknown = nullptr;
    Check(object->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&unknown)) == S_OK, "it answers IDispatch");
    if (unknown != nullptr) unknown->Release();
    IUnknown* nothing = nullptr;
    Check(object->QueryInterface(IID_IClassFactory, reinterpret_cast<void**>(&nothing)) == E_NOINTERFACE,
          "it refuses an interface it does not have");

    object->AddRef();  // kept for the calls through Invoke below
    {
        HMODULE library = GetModuleHandleW(L"WekQM417.dll");
        using qm::standin::PatchImport;
        // Functions the library does not import are fine: it then makes no such object.
        PatchImport(library, "GDI32.dll", "CreateFontW", reinterpret_cast<void*>(&CountCreateFontW));
        PatchImport(library, "GDI32.dll", "CreateDIBitmap", reinterpret_cast<void*>(&CountCreateDIBitmap));
        PatchImport(library, "GDI32.dll", "DeleteObject", reinterpret_cast<void*>(&CountDeleteObject));
        PatchImport(library, "GDI32.dll", "DeleteDC", reinterpret_cast<void*>(&CountDeleteDC));
        PatchImport(library, "GDI32.dll", "CreateCompatibleDC", reinterpret_cast<void*>(&CountCreateCompatibleDC));
    }
    auto addIn = std::make_shared<ComAddIn>(object);
    vbe->ConnectAddIn(addIn, 1);
    Check(addIn->connected, "the connection succeeds");
    auto bar = vbe->Bar(u"WekAddinToolBar");
    Check(bar != nullptr && bar->Items().size() == 3, "the own toolbar holds the two stamp buttons and the menu");
    const auto edit = vbe->FindControls(U("編集ｽﾀﾝﾌﾟ"));
    const auto lv = vbe->FindControls(U("LVｽﾀﾝﾌﾟ"));
    Check(edit.size() == 1 && lv.size() == 1, "each stamp button exists once");
    Check(!edit.empty() && edit[0].control->Face() != nullptr && *edit[0].control->Face() == qm::ButtonFace(0),
          "the edit-record button shows its face, through the clipboard");
    Check(vbe->FindControls(U("Wek Quillmark for VB6 Ver1.0(&M)")).size() == 1, "the Add-Ins menu is there");

    // The poller follows the active window.
    vbe->Activate(U("イミディエイト"));
    Pump(200);
    Check(!lv.empty() && !lv[0].control->Enabled(), "the buttons are disabled outside code windows");
    vbe->Activate(u"Module1 (Code)");
    Pump(200);
    Check(!lv.empty() && lv[0].control->Enabled(), "the buttons are enabled in a code window");
    // What the poller costs the environment: calls a tick, and the processor's time while nothing else
    // happens. Printed for the record; the count of calls is held to what one tick needs.
    for (const char16_t* window : {u"Module1 (Code)", u"イミディエイト"}) {
        vbe->Activate(window);
        Pump(100);
        const auto cpu = [] {
            FILETIME began{}, exited{}, kernel{}, user{};
            GetProcessTimes(GetCurrentProcess(), &began, &exited, &kernel, &user);
            return (static_cast<double>(kernel.dwLowDateTime) + static_cast<double>(kernel.dwHighDateTime) * 4294967296.0 +
                    static_cast<double>(user.dwLowDateTime) + static_cast<double>(user.dwHighDateTime) * 4294967296.0) /
                   1e7;
        };
        const long reads = qm::standin::ActiveWindowReads();
        const long calls = qm::standin::ServedCalls();
        const double before = cpu();
        const DWORD start = GetTickCount();
        Pump(1000);
        const double seconds = (GetTickCount() - start) / 1000.0;
        const long ticks = qm::standin::ActiveWindowReads() - reads;
        const double perTick = ticks > 0 ? static_cast<double>(qm::standin::ServedCalls() - calls) / static_cast<double>(ticks) : 0;
        std::printf("  poller in %s: %ld ticks in %.2f s, %.1f calls a tick, processor %.0f%%\n",
                    window == std::u16string(u"Module1 (Code)") ? "a code window" : "another window", ticks, seconds, perTick,
                    100.0 * (cpu() - before) / seconds);
        Check(ticks > 0 && perTick <= 10.5,
              "  a tick asks the environment only what it needs (member ids looked up once, buttons written on a change)");
    }
    vbe->Activate(u"Module1 (Code)");
    Pump(100);

    // Both stamps, clicked.
    vbe->Pane(u"Module1 (Code)")->SetSelection({4, 5, 4, 5});
    vbe->Click(U("LVｽﾀﾝﾌﾟ"));
    Check(module.CountOfLines() == 5 + 12 && module.Lines(4, 1) == u"' @(f)", "the function-description stamp is inserted");
    Check(module.Lines(6, 1) == U("' 関数名　: AddTax"), "  with the function's name");
    vbe->Pane(u"Module1 (Code)")->SetSelection({16, 5, 16, 5});
    vbe->Click(U("編集ｽﾀﾝﾌﾟ"));
    Check(module.CountOfLines() == 19 && module.Lines(16, 1).rfind(U("    '------<名前 '"), 0) == 0, "the edit-record stamp is inserted");

    // The clipboard survives the buttons.
    ui.ClipboardClear();
    ui.ClipboardSetText(U("利用者の文章"));
    const UINT_PTR user = SetTimer(nullptr, 0, 50, ActOnDialogs);

    // The settings dialog moves the buttons to the standard toolbar.
    g_actions.push_back({W("環境設定"), W("標準ﾂｰﾙﾊﾞｰ"), nullptr});
    g_actions.push_back({W("環境設定"), L"OK", nullptr});
    vbe->Click(U("環境設定(&K)..."));
    Check(ReadSetting(L"ToolBarPosition") == u"0", "the settings dialog stores placement 0");
    Check(vbe->Bar(u"WekAddinToolBar") == nullptr, "  the own toolbar is gone");
    const auto standard = vbe->Bar(U("標準"));
    Check(standard != nullptr && standard->Items().size() == 4 + 3 && standard->Items()[3]->Caption() == U("編集ｽﾀﾝﾌﾟ"),
          "  the buttons stand in front of the standard toolbar's last control");
    Check(ui.ClipboardGet().text == U("利用者の文章"), "  and the user's clipboard is kept");

    // The wizard, to the end of the edit-record path.
    std::wstring message;
    g_actions.push_back({W("Wek Quillmark ﾌｫｰﾏｯﾄ ｳｨｻﾞｰﾄﾞ - はじめに"), W("次へ (&N)>"), nullptr});
    g_actions.push_back({W("Wek Quillmark ﾌｫｰﾏｯﾄ ｳｨｻﾞｰﾄﾞ - ｽﾀﾝﾌﾟ 種類の選択"), W("ｺｰﾄﾞの編集作業を記録するｽﾀﾝﾌﾟのﾌｫｰﾏｯﾄ作成"), nullptr});
    g_actions.push_back({W("Wek Quillmark ﾌｫｰﾏｯﾄ ｳｨｻﾞｰﾄﾞ - ｽﾀﾝﾌﾟ 種類の選択"), W("次へ (&N)>"), nullptr});
    g_actions.push_back({W("Wek Quillmark ﾌｫｰﾏｯﾄ ｳｨｻﾞｰﾄﾞ - 編集記録ｽﾀﾝﾌﾟの設定"), W("表示する"), nullptr});
    g_actions.push_back({W("Wek Quillmark ﾌｫｰﾏｯﾄ ｳｨｻﾞｰﾄﾞ - 編集記録ｽﾀﾝﾌﾟの設定"), W("完了(&F)"), nullptr});
    g_actions.push_back({L"Wek Quillmark For VB6 Ver1.0", L"OK", [&](HWND top) { message = StaticTexts(top); }});
    vbe->Click(U("ﾌｫｰﾏｯﾄ ｳｨｻﾞｰﾄﾞ(&F)..."));
    Check(message == W("ﾌｫｰﾏｯﾄを作成を完了しました。"), "the wizard finishes with its message");
    Check(ReadSetting(L"EditStamp") == U("0,1,1,1,1,名前"), "  and stores the edit-record format");
    Check(g_actions.empty(), "  every dialog step was taken");
    vbe->Pane(u"Module1 (Code)")->SetSelection({2, 1, 2, 1});
    Pump(100);
    vbe->Click(U("編集ｽﾀﾝﾌﾟ"));
    Check(module.Lines(2, 1) == U("'------<名前>------"), "the next stamp uses the new format");

    // Every dialog opened and closed many times gives back every window, bitmap, font and brush: the
    // process's counts of both kinds of objects are where they were after the first round.
    const auto round = [&] {
        g_actions.push_back({W("環境設定"), W("ｷｬﾝｾﾙ"), nullptr});
        vbe->Click(U("環境設定(&K)..."));
        g_actions.push_back({W("ﾊﾞｰｼﾞｮﾝ情報"), L"OK", nullptr});
        vbe->Click(U("ﾊﾞｰｼﾞｮﾝ情報(&V)..."));
        g_actions.push_back({W("Wek Quillmark ﾌｫｰﾏｯﾄ ｳｨｻﾞｰﾄﾞ - はじめに"), W("次へ (&N)>"), nullptr});
        g_actions.push_back(
            {W("Wek Quillmark ﾌｫｰﾏｯﾄ ｳｨｻﾞｰﾄﾞ - ｽﾀﾝﾌﾟ 種類の選択"), W("Lexivaneなどで使用する関数説明のﾌｫｰﾏｯﾄ作成"), nullptr});
        g_actions.push_back({W("Wek Quillmark ﾌｫｰﾏｯﾄ ｳｨｻﾞｰﾄﾞ - ｽﾀﾝﾌﾟ 種類の選択"), W("次へ (&N)>"), nullptr});
        g_actions.push_back({W("Wek Quillmark ﾌｫｰﾏｯﾄ ｳｨｻﾞｰﾄﾞ - 定形項目の選択"), W("次へ (&N)>"), nullptr});
        g_actions.push_back({W("Wek Quillmark ﾌｫｰﾏｯﾄ ｳｨｻﾞｰﾄﾞ - 独自項目の作成"), W("追加(&W)..."), nullptr});
        g_actions.push_back({W("独自項目の追加"), W("ｷｬﾝｾﾙ"), nullptr});
        g_actions.push_back({W("Wek Quillmark ﾌｫｰﾏｯﾄ ｳｨｻﾞｰﾄﾞ - 独自項目の作成"), W("ｷｬﾝｾﾙ"), nullptr});
        vbe->Click(U("ﾌｫｰﾏｯﾄ ｳｨｻﾞｰﾄﾞ(&F)..."));
        Pump(50);
    };
    round();
    const DWORD gdiBefore = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    const DWORD userBefore = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    const std::size_t madeBefore = g_gdiLive.size();
    const long windowsBefore = ThreadWindowCount();
    for (int i = 0; i < 20; ++i) round();
    const DWORD gdiAfter = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    const DWORD userAfter = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    const std::size_t madeAfter = g_gdiLive.size();
    const long windowsAfter = ThreadWindowCount();
    std::printf(
        "over 20 rounds of every dialog: GetGuiResources GDI %lu -> %lu, USER %lu -> %lu; "
        "GDI objects the library made and kept %zu -> %zu; windows of the thread %ld -> %ld\n",
        static_cast<unsigned long>(gdiBefore), static_cast<unsigned long>(gdiAfter), static_cast<unsigned long>(userBefore),
        static_cast<unsigned long>(userAfter), madeBefore, madeAfter, windowsBefore, windowsAfter);
    Check(g_actions.empty(), "every dialog opened and closed 20 times");
    Check(gdiAfter <= gdiBefore && userAfter <= userBefore, "  the system's GDI and USER counts are back where they were");
    Check(madeAfter == madeBefore && windowsAfter == windowsBefore, "  every font, bitmap and window the dialogs made is gone");
    KillTimer(nullptr, user);

    // Exit: the load behaviour is rewritten and the add-in is disconnected.
    HKEY key = nullptr;
    RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Visual Basic\\6.0\\Addins\\WekQM417.AddInClass", 0, KEY_WRITE, &key);
    const DWORD three = 3;
    RegSetValueExW(key, L"LoadBehavior", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&three), 4);
    RegCloseKey(key);
    vbe->Click(U("Wek Quillmark の終了(&X)"));
    Check(!vbe->AddInConnected(), "exit disconnects the add-in");
    Check(ReadSetting(L"LoadBehavior") == u"1", "  and rewrites LoadBehavior 3 as 1");
    Check(vbe->FindControls(U("LVｽﾀﾝﾌﾟ")).empty() && vbe->FindControls(U("Wek Quillmark for VB6 Ver1.0(&M)")).empty(),
          "  and every control is gone");

    // A connection through IDispatch::Invoke, as an environment that calls late-bound would make it.
    IDispatch* v = qm::standin::ServeVbe(vbe);
    struct Dummy final : qm::ide::AddIn {
        bool Connect() override { return true; }
        void SetConnect(bool) override {}
    };
    IDispatch* a = qm::standin::ServeAddIn(std::make_shared<Dummy>());
    VARIANT args[4];
    for (auto& x : args) VariantInit(&x);
    args[3].vt = VT_DISPATCH;
    args[3].pdispVal = v;
    args[2].vt = VT_I4;
    args[2].lVal = 0;
    args[1].vt = VT_DISPATCH;
    args[1].pdispVal = a;
    args[0].vt = VT_ERROR;
    args[0].scode = DISP_E_PARAMNOTFOUND;
    DISPPARAMS params{args, nullptr, 4, 0};
    Check(SUCCEEDED(object->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr)), "OnConnection through Invoke");
    Check(vbe->FindControls(U("LVｽﾀﾝﾌﾟ")).size() == 1, "  builds the buttons once");
    VARIANT disconnect[2];
    for (auto& x : disconnect) VariantInit(&x);
    disconnect[1].vt = VT_I4;
    disconnect[1].lVal = 1;
    disconnect[0].vt = VT_ERROR;
    disconnect[0].scode = DISP_E_PARAMNOTFOUND;
    DISPPARAMS params2{disconnect, nullptr, 2, 0};
    Check(SUCCEEDED(object->Invoke(2, IID_NULL, 0, DISPATCH_METHOD, &params2, nullptr, nullptr, nullptr)),
          "OnDisconnection through Invoke");
    Check(vbe->FindControls(U("LVｽﾀﾝﾌﾟ")).empty(), "  removes them");
    v->Release();
    a->Release();
    addIn.reset();
    object->Release();

    // An environment without the command bars the add-in looks for: no buttons, no menu, no failure.
    {
        HKEY settings = nullptr;
        RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Visual Basic\\6.0\\Addins\\WekQM417.AddInClass", 0, KEY_WRITE, &settings);
        const DWORD onStandard = 0;
        RegSetValueExW(settings, L"ToolBarPosition", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&onStandard), 4);
        RegCloseKey(settings);
        auto bare = SimulatedVbe::Create(ui, {false, false, 0});
        IExtensibility* second = nullptr;
        CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, kIidExtensibility, reinterpret_cast<void**>(&second));
        if (second != nullptr) {
            auto bareAddIn = std::make_shared<ComAddIn>(second);
            bare->ConnectAddIn(bareAddIn, 0);
            Check(bareAddIn->connected, "an environment without the command bars connects the add-in");
            Check(bare->FindControls(U("LVｽﾀﾝﾌﾟ")).empty() && bare->BarNames().empty(), "  which makes no controls and no bar");
            Pump(100);
            bare->DisconnectAddIn(1);
            Check(!bare->AddInConnected(), "  and disconnects it");
        } else {
            Check(false, "a second add-in object can be created");
        }
    }

    std::printf("%d passed, %d failed\n", g_passed, g_failed);
    return g_failed == 0 ? 0 : 1;
}
