#include "platform/win32/ui_win32.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/failure.h"
#include "platform/fault.h"
#include "platform/program_path.h"
#include "platform/text.h"
#include "platform/win32/boundary.h"
#include "platform/win32/dll_search.h"
#include "platform/win32/handles.h"
#include "platform/win32/process.h"
#include "platform/win32/wide.h"

namespace qm {

using win32::FromWide;
using win32::Wide;

namespace {

constexpr wchar_t kFormClass[] = L"QuillmarkForm";
constexpr wchar_t kTimerClass[] = L"QuillmarkTimers";
constexpr int kFirstId = 1000;

// What a control is called on its form, for tools that drive the dialogs (accessibility aids, tests):
// sent to a form window with the control's window (or none, for the form) and a buffer of
// kAutomationNameSize characters; the answer is the length of the name written.
UINT AutomationNameMessage() {
    static const UINT message = RegisterWindowMessageW(L"QuillmarkAutomationName");
    return message;
}
// The same, answering the window of the control's container (a frame or a picture), or none.
UINT AutomationContainerMessage() {
    static const UINT message = RegisterWindowMessageW(L"QuillmarkAutomationContainer");
    return message;
}
constexpr std::size_t kAutomationNameSize = 128;

Win32Ui* g_ui = nullptr;

// Window procedures are called by the system: whatever a form's handler throws stops here, and the
// message is answered as if the form had not handled it.
LRESULT CALLBACK FormProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    const long long handled = win32::Guarded(-1LL, [&] { return g_ui != nullptr ? g_ui->Handle(hwnd, message, wParam, lParam) : -1LL; });
    if (handled != -1) return static_cast<LRESULT>(handled);
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK TimerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_TIMER) {
        win32::Guarded(0, [&] {
            if (g_ui != nullptr) g_ui->OnTimer(wParam);
            return 0;
        });
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// The enabled top-level windows of this thread, the given one left out.
BOOL CALLBACK CollectEnabled(HWND hwnd, LPARAM p) {
    auto* found = reinterpret_cast<std::pair<HWND, std::vector<HWND>>*>(p);
    if (hwnd != found->first && IsWindowEnabled(hwnd)) found->second.push_back(hwnd);
    return TRUE;
}

std::vector<HWND> DisableThreadWindows(HWND except) {
    std::pair<HWND, std::vector<HWND>> found{except, {}};
    EnumThreadWindows(GetCurrentThreadId(), CollectEnabled, reinterpret_cast<LPARAM>(&found));
    for (HWND hwnd : found.second) EnableWindow(hwnd, FALSE);
    return found.second;
}

void EnableWindows(const std::vector<HWND>& windows) {
    for (HWND hwnd : windows) {
        if (IsWindow(hwnd)) EnableWindow(hwnd, TRUE);
    }
}

// Message boxes that a dialog owns; they are closed when the dialog goes.
BOOL CALLBACK CollectOwnedBoxes(HWND hwnd, LPARAM p) {
    auto* found = reinterpret_cast<std::pair<HWND, std::vector<HWND>>*>(p);
    wchar_t cls[16] = {};
    GetClassNameW(hwnd, cls, 16);
    if (std::wstring(cls) == L"#32770" && GetWindow(hwnd, GW_OWNER) == found->first) found->second.push_back(hwnd);
    return TRUE;
}

// Lines separated by a lone CR show as lines on screen too.
std::wstring ScreenText(const std::u16string& text) {
    std::wstring out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        out.push_back(static_cast<wchar_t>(text[i]));
        if (text[i] == u'\r' && (i + 1 >= text.size() || text[i + 1] != u'\n')) out.push_back(L'\n');
    }
    return out;
}

std::u16string WindowText(HWND hwnd) {
    const int n = GetWindowTextLengthW(hwnd);
    std::wstring buffer(static_cast<std::size_t>(n) + 1, L'\0');
    GetWindowTextW(hwnd, buffer.data(), n + 1);
    buffer.resize(static_cast<std::size_t>(n));
    return FromWide(buffer);
}

std::string DibOf(const Bitmap& picture) {
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = picture.width;
    header.biHeight = picture.height;
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    std::string dib(reinterpret_cast<const char*>(&header), sizeof header);
    for (int y = picture.height - 1; y >= 0; --y) {
        for (int x = 0; x < picture.width; ++x) {
            const std::uint32_t c = picture.pixels[static_cast<std::size_t>(y * picture.width + x)];
            const char bgra[4] = {static_cast<char>(c & 0xFF), static_cast<char>((c >> 8) & 0xFF), static_cast<char>((c >> 16) & 0xFF), 0};
            dib.append(bgra, 4);
        }
    }
    return dib;
}

// A device-independent bitmap of 1 to 32 bits per pixel, without compression.
std::optional<Bitmap> BitmapOfDib(const std::string& dib) {
    if (dib.size() < sizeof(BITMAPINFOHEADER)) return std::nullopt;
    BITMAPINFOHEADER h;
    std::memcpy(&h, dib.data(), sizeof h);
    if (h.biCompression != BI_RGB && h.biCompression != BI_BITFIELDS) return std::nullopt;
    if (h.biWidth <= 0 || h.biWidth > 4096 || h.biHeight == 0 || std::abs(h.biHeight) > 4096) return std::nullopt;
    const int bits = h.biBitCount;
    const std::size_t colours = bits <= 8 ? (h.biClrUsed != 0 ? h.biClrUsed : (1u << bits)) : 0;
    std::size_t offset = h.biSize + colours * 4 + (h.biCompression == BI_BITFIELDS ? 12 : 0);
    const std::size_t row = ((static_cast<std::size_t>(h.biWidth) * static_cast<std::size_t>(bits) + 31) / 32) * 4;
    const int height = std::abs(h.biHeight);
    if (offset + row * static_cast<std::size_t>(height) > dib.size()) return std::nullopt;
    Bitmap out{h.biWidth, height, std::vector<std::uint32_t>(static_cast<std::size_t>(h.biWidth) * static_cast<std::size_t>(height))};
    for (int y = 0; y < height; ++y) {
        const int fromTop = h.biHeight > 0 ? height - 1 - y : y;
        const auto* p = reinterpret_cast<const unsigned char*>(dib.data() + offset + row * static_cast<std::size_t>(y));
        for (int x = 0; x < h.biWidth; ++x) {
            std::uint32_t colour = 0;
            if (bits >= 24) {
                const unsigned char* q = p + x * (bits / 8);
                colour = static_cast<std::uint32_t>(q[2]) << 16 | static_cast<std::uint32_t>(q[1]) << 8 | q[0];
            } else if (bits == 8 || bits == 4 || bits == 1) {
                const int perByte = 8 / bits;
                const int index = (p[x / perByte] >> ((perByte - 1 - x % perByte) * bits)) & ((1 << bits) - 1);
                const auto* entry = reinterpret_cast<const unsigned char*>(dib.data() + h.biSize + static_cast<std::size_t>(index) * 4);
                colour = static_cast<std::uint32_t>(entry[2]) << 16 | static_cast<std::uint32_t>(entry[1]) << 8 | entry[0];
            } else {
                return std::nullopt;
            }
            out.pixels[static_cast<std::size_t>(fromTop * h.biWidth + x)] = colour;
        }
    }
    return out;
}

bool PutGlobal(UINT format, const void* data, std::size_t size) {
    win32::UniqueGlobal memory(GlobalAlloc(GMEM_MOVEABLE, size == 0 ? 1 : size));
    if (!memory) return false;
    void* target = GlobalLock(memory.get());
    if (target == nullptr) return false;
    if (size > 0) std::memcpy(target, data, size);
    GlobalUnlock(memory.get());
    if (SetClipboardData(format, memory.get()) == nullptr) return false;
    memory.release();  // the clipboard owns it now
    return true;
}

// Formats whose data live in global memory and can be copied as bytes.
bool IsGlobalFormat(UINT format) {
    switch (format) {
        case CF_BITMAP:
        case CF_METAFILEPICT:
        case CF_PALETTE:
        case CF_ENHMETAFILE:
        case CF_OWNERDISPLAY:
        case CF_DSPBITMAP:
        case CF_DSPMETAFILEPICT:
        case CF_DSPENHMETAFILE:
        case CF_HDROP:
            return format == CF_HDROP;
        default:
            return format < CF_GDIOBJFIRST || format > CF_GDIOBJLAST;
    }
}

class ClipboardOpen {
public:
    ClipboardOpen() {
        for (int tries = 0; tries < 20 && !open_; ++tries) {
            open_ = OpenClipboard(nullptr) != FALSE;
            if (!open_) Sleep(10);
        }
        if (!open_) throw PlatformError("the clipboard cannot be opened");
    }
    ~ClipboardOpen() { CloseClipboard(); }
    ClipboardOpen(const ClipboardOpen&) = delete;
    ClipboardOpen& operator=(const ClipboardOpen&) = delete;

private:
    bool open_ = false;
};

}  // namespace

struct Win32Ui::View {
    ui::Form* form = nullptr;
    HWND hwnd = nullptr;
    std::vector<HWND> controls;  // by index in the form's control list
    std::vector<std::wstring> texts;
    std::vector<std::vector<ui::ListEntry>> lists;
    // A label or frame whose access key was pressed: the focus moves on from it.
    HWND accessFrom = nullptr;
    // Declared before the window, so that they outlive it: the controls use them until it is gone.
    std::vector<win32::UniqueFont> fonts;
    std::vector<win32::UniqueBitmap> bitmaps;
    win32::UniqueWindow window;
};

Win32Ui::Win32Ui(void* instance) : instance_(instance) {
    g_ui = this;
    WNDCLASSEXW form{};
    form.cbSize = sizeof form;
    form.lpfnWndProc = FormProc;
    form.hInstance = static_cast<HINSTANCE>(instance_);
    form.hCursor = LoadCursor(nullptr, IDC_ARROW);
    form.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    form.lpszClassName = kFormClass;
    RegisterClassExW(&form);
    WNDCLASSEXW timers{};
    timers.cbSize = sizeof timers;
    timers.lpfnWndProc = TimerProc;
    timers.hInstance = static_cast<HINSTANCE>(instance_);
    timers.lpszClassName = kTimerClass;
    RegisterClassExW(&timers);
    timerWindow_.reset(
        CreateWindowExW(0, kTimerClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, static_cast<HINSTANCE>(instance_), nullptr));
    font_.reset(CreateFontW(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                            DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"MS UI Gothic"));
}

Win32Ui::~Win32Ui() {
    for (auto& [id, entry] : timers_) KillTimer(TimerWindow(), id);
    timerWindow_.reset();
    font_.reset();
    UnregisterClassW(kFormClass, static_cast<HINSTANCE>(instance_));
    UnregisterClassW(kTimerClass, static_cast<HINSTANCE>(instance_));
    if (g_ui == this) g_ui = nullptr;
}

Win32Ui::View* Win32Ui::FindView(void* hwnd) {
    for (auto& view : views_) {
        if (view->hwnd == hwnd) return view.get();
    }
    return nullptr;
}

namespace {

double Tpp() {
    const win32::ScreenDc dc;
    const int dpi = GetDeviceCaps(dc.get(), LOGPIXELSX);
    return dpi > 0 ? 1440.0 / dpi : 15.0;
}

int Px(double twips, double tpp) { return static_cast<int>(std::lround(twips / tpp)); }

// The control's place on the form: its own position plus those of its containers.
POINT Origin(const ui::Control& control) {
    POINT p{0, 0};
    for (const ui::Control* c = control.Container(); c != nullptr; c = c->Container()) {
        if (c->Has(ui::Property::Left)) p.x += static_cast<LONG>(c->Get(ui::Property::Left));
        if (c->Has(ui::Property::Top)) p.y += static_cast<LONG>(c->Get(ui::Property::Top));
    }
    return p;
}

bool Shown(const ui::Control& control) {
    for (const ui::Control* c = &control; c != nullptr; c = c->Container()) {
        if (!c->Visible()) return false;
    }
    return true;
}

bool EnabledChain(const ui::Control& control) {
    for (const ui::Control* c = &control; c != nullptr; c = c->Container()) {
        if (!c->Enabled()) return false;
    }
    return true;
}

win32::UniqueBitmap MakeBitmap(const Bitmap& picture) {
    const std::string dib = DibOf(picture);
    const win32::ScreenDc dc;
    return win32::UniqueBitmap(CreateDIBitmap(dc.get(), reinterpret_cast<const BITMAPINFOHEADER*>(dib.data()), CBM_INIT,
                                              dib.data() + sizeof(BITMAPINFOHEADER), reinterpret_cast<const BITMAPINFO*>(dib.data()),
                                              DIB_RGB_COLORS));
}

}  // namespace

void Win32Ui::Build(View& view, HWND owner) {
    ui::Form& form = *view.form;
    const double tpp = Tpp();
    // The form's width and height are those of the whole window, frame and title included; the
    // window is never lower than its title and the client height the form asks for.
    const int clientHeight = Px(form.scaleMode == 1 ? form.scaleHeight : form.scaleHeight * tpp, tpp);
    RECT frame{0, 0, 0, clientHeight};
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    AdjustWindowRectEx(&frame, style, FALSE, WS_EX_DLGMODALFRAME);
    const int width = Px(form.width, tpp);
    const int height = std::max(Px(form.height, tpp), static_cast<int>(frame.bottom - frame.top));
    view.window.reset(CreateWindowExW(WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, kFormClass, Wide(form.caption).c_str(), style,
                                      Px(form.left, tpp), Px(form.top, tpp), width, height, owner, nullptr,
                                      static_cast<HINSTANCE>(instance_), nullptr));
    view.hwnd = view.window.get();
    if (view.hwnd == nullptr) throw PlatformError("the dialog window cannot be made");
    const auto& controls = form.Controls();
    view.controls.assign(controls.size(), nullptr);
    view.texts.assign(controls.size(), L"\x1");
    view.lists.assign(controls.size(), {});
    // Containers first, so that what they hold is drawn above them.
    std::vector<std::size_t> order(controls.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        const bool frameA = std::strcmp(controls[a]->Kind(), "Frame") == 0;
        const bool frameB = std::strcmp(controls[b]->Kind(), "Frame") == 0;
        return frameA && !frameB;
    });
    for (const std::size_t i : order) {
        ui::Control& c = *controls[i];
        const std::string kind = c.Kind();
        const wchar_t* cls = L"STATIC";
        DWORD s = WS_CHILD;
        if (kind == "Timer") continue;
        if (kind == "PictureBox") {
            // Pages and hidden pictures draw nothing themselves: an empty window marks where they
            // are and whether they are shown.
            s |= SS_LEFT;
        } else if (kind == "Label") {
            // The system underlines a label's access key and moves the focus on from it.
            s |= SS_LEFT | (static_cast<ui::Label&>(c).useMnemonic ? 0 : SS_NOPREFIX);
        } else if (kind == "TextBox") {
            cls = L"EDIT";
            s |= WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL;
        } else if (kind == "CheckBox") {
            cls = L"BUTTON";
            s |= BS_3STATE | WS_TABSTOP | BS_MULTILINE;
        } else if (kind == "OptionButton") {
            cls = L"BUTTON";
            s |= BS_RADIOBUTTON | WS_TABSTOP | BS_MULTILINE;
        } else if (kind == "CommandButton") {
            cls = L"BUTTON";
            s |= WS_TABSTOP | (static_cast<ui::CommandButton&>(c).isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
        } else if (kind == "Frame") {
            cls = L"BUTTON";
            s |= BS_GROUPBOX;
        } else if (kind == "ListBox") {
            cls = L"LISTBOX";
            s |= WS_BORDER | WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT;
        } else if (kind == "ComboBox") {
            cls = L"COMBOBOX";
            s |= WS_VSCROLL | WS_TABSTOP | CBS_DROPDOWNLIST;
        } else if (kind == "Image") {
            s |= SS_BITMAP;
        } else if (kind == "Line") {
            s |= SS_ETCHEDHORZ;
        }
        const POINT origin = Origin(c);
        int x = 0, y = 0, w = 0, h = 0;
        if (kind == "Line") {
            const auto& line = static_cast<ui::Line&>(c);
            x = Px(origin.x + line.x1, tpp);
            y = Px(origin.y + line.y1, tpp);
            w = Px(line.x2 - line.x1, tpp);
            h = 2;
        } else {
            x = Px(origin.x + c.Get(ui::Property::Left), tpp);
            y = Px(origin.y + c.Get(ui::Property::Top), tpp);
            w = Px(c.Get(ui::Property::Width), tpp);
            h = Px(c.Get(ui::Property::Height), tpp);
            if (kind == "ComboBox") h += 160;  // room for the drop-down
            if (kind == "PictureBox") w = h = 0;
        }
        HWND hwnd = CreateWindowExW(kind == "TextBox" ? WS_EX_CLIENTEDGE : 0, cls, L"", s, x, y, w, h, view.hwnd,
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstId + static_cast<int>(i))),
                                    static_cast<HINSTANCE>(instance_), nullptr);
        HFONT font = font_.get();
        const double points = c.Has(ui::Property::FontSize) ? c.Get(ui::Property::FontSize) : 9;
        if (!c.fontName.empty() || points != 9 || std::abs(tpp - 15) > 0.01) {
            // A control that asks for a font of its own (a fixed-pitch one for a sample, a larger title),
            // or any control on a screen of another resolution, whose points make other pixels.
            const int pixels = -static_cast<int>(std::lround(points * 1440.0 / 72.0 / tpp));
            view.fonts.emplace_back(CreateFontW(pixels, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS,
                                                CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                                c.fontName.empty() ? DEFAULT_PITCH : FIXED_PITCH | FF_MODERN,
                                                c.fontName.empty() ? L"MS UI Gothic" : Wide(c.fontName).c_str()));
            if (view.fonts.back()) font = view.fonts.back().get();
        }
        SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        if (kind == "Image") {
            // The control shows the bitmap but does not own it: the view does, until the window is gone.
            view.bitmaps.push_back(MakeBitmap(static_cast<ui::Image&>(c).picture));
            const auto previous = reinterpret_cast<HBITMAP>(
                SendMessageW(hwnd, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(view.bitmaps.back().get())));
            if (previous != nullptr && previous != view.bitmaps.back().get()) view.bitmaps.emplace_back(previous);
        }
        view.controls[i] = hwnd;
    }
    Sync(view);
}

void Win32Ui::Sync(View& view) {
    ui::Form& form = *view.form;
    if (!form.Loaded() || view.hwnd == nullptr) return;
    syncing_ = true;
    const std::u16string caption = WindowText(view.hwnd);
    if (caption != form.caption) SetWindowTextW(view.hwnd, Wide(form.caption).c_str());
    const auto& controls = form.Controls();
    for (std::size_t i = 0; i < controls.size() && i < view.controls.size(); ++i) {
        HWND hwnd = view.controls[i];
        if (hwnd == nullptr) continue;
        ui::Control& c = *controls[i];
        const bool shown = Shown(c);
        if ((IsWindowVisible(hwnd) != FALSE) != shown) ShowWindow(hwnd, shown ? SW_SHOWNA : SW_HIDE);
        const bool enabled = EnabledChain(c);
        if ((IsWindowEnabled(hwnd) != FALSE) != enabled) EnableWindow(hwnd, enabled);
        std::wstring text;
        bool hasText = true;
        if (auto* l = dynamic_cast<ui::Label*>(&c))
            text = ScreenText(l->caption);
        else if (auto* t = dynamic_cast<ui::TextBox*>(&c))
            text = Wide(t->Text());
        else if (auto* b = dynamic_cast<ui::CommandButton*>(&c))
            text = Wide(b->caption);
        else if (auto* f = dynamic_cast<ui::Frame*>(&c))
            text = Wide(f->caption);
        else if (auto* k = dynamic_cast<ui::CheckBox*>(&c))
            text = Wide(k->caption);
        else if (auto* o = dynamic_cast<ui::OptionButton*>(&c))
            text = Wide(o->caption);
        else
            hasText = false;
        if (hasText && text != view.texts[i]) {
            if (dynamic_cast<ui::TextBox*>(&c) == nullptr || Wide(WindowText(hwnd)) != text) SetWindowTextW(hwnd, text.c_str());
            view.texts[i] = text;
        }
        if (auto* k = dynamic_cast<ui::CheckBox*>(&c)) {
            const WPARAM state = k->Value() == 1 ? BST_CHECKED : k->Value() == 2 ? BST_INDETERMINATE : BST_UNCHECKED;
            if (static_cast<WPARAM>(SendMessageW(hwnd, BM_GETCHECK, 0, 0)) != state) SendMessageW(hwnd, BM_SETCHECK, state, 0);
        }
        if (auto* o = dynamic_cast<ui::OptionButton*>(&c)) {
            const WPARAM state = o->Value() ? BST_CHECKED : BST_UNCHECKED;
            if (static_cast<WPARAM>(SendMessageW(hwnd, BM_GETCHECK, 0, 0)) != state) SendMessageW(hwnd, BM_SETCHECK, state, 0);
        }
        if (auto* list = dynamic_cast<ui::ListBox*>(&c)) {
            const bool combo = dynamic_cast<ui::ComboBox*>(&c) != nullptr;
            const auto& entries = list->Entries();
            const bool same = entries.size() == view.lists[i].size() &&
                              std::equal(entries.begin(), entries.end(), view.lists[i].begin(),
                                         [](const ui::ListEntry& a, const ui::ListEntry& b) { return a.text == b.text && a.tag == b.tag; });
            if (!same) {
                SendMessageW(hwnd, combo ? CB_RESETCONTENT : LB_RESETCONTENT, 0, 0);
                for (const auto& e : entries) {
                    const LRESULT row =
                        SendMessageW(hwnd, combo ? CB_ADDSTRING : LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(e.text).c_str()));
                    if (row >= 0)
                        SendMessageW(hwnd, combo ? CB_SETITEMDATA : LB_SETITEMDATA, static_cast<WPARAM>(row), static_cast<LPARAM>(e.tag));
                }
                view.lists[i] = entries;
            }
            const LRESULT current = SendMessageW(hwnd, combo ? CB_GETCURSEL : LB_GETCURSEL, 0, 0);
            if (current != list->ListIndex())
                SendMessageW(hwnd, combo ? CB_SETCURSEL : LB_SETCURSEL, static_cast<WPARAM>(list->ListIndex()), 0);
        }
    }
    // A focus moved by the form (after a refused entry, or by the handler of a button) moves on
    // screen too, while the form is the active window.
    if (GetActiveWindow() == view.hwnd && form.ActiveControl() != nullptr) {
        for (std::size_t i = 0; i < controls.size() && i < view.controls.size(); ++i) {
            HWND want = view.controls[i];
            if (controls[i] == form.ActiveControl() && want != nullptr && GetFocus() != want && IsWindowVisible(want) &&
                IsWindowEnabled(want)) {
                ::SetFocus(want);
            }
        }
    }
    syncing_ = false;
}

void Win32Ui::SyncAll() {
    for (auto& view : views_) Sync(*view);
}

void Win32Ui::Command(View& view, int id, int code, void* control) {
    ui::Form& form = *view.form;
    const auto& controls = form.Controls();
    if (id == IDOK || id == IDCANCEL) {
        for (ui::Control* c : controls) {
            auto* button = dynamic_cast<ui::CommandButton*>(c);
            if (button != nullptr && (id == IDOK ? button->isDefault : button->isCancel) && button->Usable()) {
                Attempt([&] { ui::user::Click(*button); });
                return;
            }
        }
        if (id == IDCANCEL) Attempt([&] { form.UserClose(); });
        return;
    }
    const int index = id - kFirstId;
    if (index < 0 || static_cast<std::size_t>(index) >= controls.size()) return;
    ui::Control& c = *controls[static_cast<std::size_t>(index)];
    HWND hwnd = static_cast<HWND>(control);
    if (auto* text = dynamic_cast<ui::TextBox*>(&c)) {
        if (code == EN_CHANGE && !syncing_) {
            const std::u16string typed = WindowText(hwnd);
            view.texts[static_cast<std::size_t>(index)] = Wide(typed);
            Attempt([&] { text->SetText(typed); });
        }
        if (code == EN_SETFOCUS && !syncing_) {
            Attempt([&] { text->SetFocus(); });
        }
        return;
    }
    if (auto* list = dynamic_cast<ui::ListBox*>(&c)) {
        const bool combo = dynamic_cast<ui::ComboBox*>(&c) != nullptr;
        if (!syncing_ && (code == (combo ? CBN_SELCHANGE : LBN_SELCHANGE))) {
            const auto selected = static_cast<int>(SendMessageW(hwnd, combo ? CB_GETCURSEL : LB_GETCURSEL, 0, 0));
            Attempt([&] { ui::user::Select(*list, selected); });
        }
        if (!combo && code == LBN_DBLCLK) Attempt([&] { ui::user::DblClick(*list); });
        return;
    }
    if (code == BN_CLICKED && !syncing_) {
        Attempt([&] {
            FaultPoint("dialog");
            ui::user::Click(c);
        });
    }
}

long long Win32Ui::Handle(void* hwnd, unsigned message, unsigned long long wParam, long long lParam) {
    View* view = FindView(hwnd);
    if (view == nullptr) return -1;
    if (message == AutomationNameMessage() || message == AutomationContainerMessage()) {
        return Describe(*view, reinterpret_cast<void*>(wParam), message == AutomationContainerMessage(), reinterpret_cast<void*>(lParam));
    }
    switch (message) {
        case WM_COMMAND:
            Command(*view, LOWORD(wParam), HIWORD(wParam), reinterpret_cast<void*>(lParam));
            SyncAll();
            return 0;
        case WM_CLOSE:
            Attempt([&] { view->form->UserClose(); });
            SyncAll();
            return 0;
        case WM_NEXTDLGCTL: {
            // The dialog manager's request to move the focus, as a dialog's own window procedure
            // carries it out. A label's access key comes as two requests: to the label, then on to
            // the next control; a label never holds the focus, so the first is only remembered.
            HWND dialog = static_cast<HWND>(hwnd);
            HWND target = nullptr;
            if (LOWORD(lParam) != 0) {
                target = reinterpret_cast<HWND>(wParam);
                if (target != nullptr && (GetWindowLongW(target, GWL_STYLE) & WS_TABSTOP) == 0) {
                    view->accessFrom = target;
                    return 0;
                }
            } else {
                HWND from = view->accessFrom != nullptr && IsWindow(view->accessFrom) ? view->accessFrom : GetFocus();
                target = GetNextDlgTabItem(dialog, from, wParam != 0);
            }
            view->accessFrom = nullptr;
            if (target == nullptr) return 0;
            ::SetFocus(target);
            const auto& controls = view->form->Controls();
            for (std::size_t i = 0; i < controls.size() && i < view->controls.size(); ++i) {
                if (view->controls[i] == target) Attempt([&] { controls[i]->SetFocus(); });
            }
            SyncAll();
            return 0;
        }
        case WM_SETFOCUS: {
            // Back from a message box or another window: the focus returns to the form's active
            // control, as in a dialog, not to the form's own window.
            const auto& controls = view->form->Controls();
            for (std::size_t i = 0; i < controls.size() && i < view->controls.size(); ++i) {
                if (controls[i] == view->form->ActiveControl() && view->controls[i] != nullptr && IsWindowVisible(view->controls[i])) {
                    ::SetFocus(view->controls[i]);
                    return 0;
                }
            }
            return -1;
        }
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLOREDIT: {
            // Text boxes greyed by the form show the system colours it asks for. The colours are
            // answered here, with the brush, or the default handling would set its own.
            const int index = GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) - kFirstId;
            const auto& controls = view->form->Controls();
            if (index < 0 || static_cast<std::size_t>(index) >= controls.size()) return -1;
            const std::int32_t colour = controls[static_cast<std::size_t>(index)]->ForeColor();
            if (colour <= 0 || colour >= 31) return -1;
            HDC dc = reinterpret_cast<HDC>(wParam);
            const int background = message == WM_CTLCOLOREDIT ? COLOR_WINDOW : COLOR_BTNFACE;
            SetTextColor(dc, GetSysColor(colour));
            SetBkColor(dc, GetSysColor(background));
            return reinterpret_cast<long long>(GetSysColorBrush(background));
        }
        default:
            return -1;
    }
}

long long Win32Ui::Describe(View& view, void* control, bool container, void* buffer) {
    const ui::Control* found = nullptr;
    if (control != nullptr) {
        for (std::size_t i = 0; i < view.controls.size(); ++i) {
            if (view.controls[i] == control) found = view.form->Controls()[i];
        }
        if (found == nullptr) return 0;
    }
    if (container) {
        if (found == nullptr || found->Container() == nullptr) return 0;
        for (std::size_t i = 0; i < view.controls.size(); ++i) {
            if (view.form->Controls()[i] == found->Container()) return reinterpret_cast<long long>(view.controls[i]);
        }
        return 0;
    }
    if (buffer == nullptr) return 0;
    std::u16string name = found == nullptr ? view.form->Name() : found->Name();
    if (found != nullptr && found->Index() >= 0) name += u"(" + DecimalText(found->Index()) + u")";
    name = name.substr(0, kAutomationNameSize - 1);
    auto* out = static_cast<wchar_t*>(buffer);
    for (std::size_t i = 0; i < name.size(); ++i) out[i] = static_cast<wchar_t>(name[i]);
    out[name.size()] = 0;
    return static_cast<long long>(name.size());
}

void Win32Ui::ShowModal(ui::Form& form, ui::WindowHandle ownerHandle) {
    // A nested dialog belongs to the dialog below it; the first to the window the caller names.
    HWND owner = views_.empty() ? reinterpret_cast<HWND>(ownerHandle) : views_.back()->hwnd;
    if (owner != nullptr && !IsWindow(owner)) owner = nullptr;
    HWND focus = GetFocus();
    views_.push_back(std::make_unique<View>());
    View& view = *views_.back();
    view.form = &form;
    // Popped on every way out, the window destroyed after the windows it disabled are enabled
    // again, so that the system activates the owner rather than another program.
    std::vector<HWND> disabled;
    struct Pop {
        Win32Ui& ui;
        std::vector<HWND>& disabled;
        ~Pop() {
            EnableWindows(disabled);
            ui.views_.pop_back();
        }
    } pop{*this, disabled};
    Build(view, owner);
    disabled = DisableThreadWindows(view.hwnd);
    ShowWindow(view.hwnd, SW_SHOWNORMAL);
    UpdateWindow(view.hwnd);
    MSG msg;
    while (form.Loaded() && form.Visible()) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (got < 0) break;
        if (!IsDialogMessageW(view.hwnd, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    EnableWindows(disabled);
    disabled.clear();
    if (owner != nullptr) SetActiveWindow(owner);
    // Images a control made copies of are its own; they go with the window.
    for (std::size_t i = 0; i < view.controls.size(); ++i) {
        if (view.controls[i] == nullptr || std::strcmp(form.Controls()[i]->Kind(), "Image") != 0) continue;
        const auto shown = reinterpret_cast<HBITMAP>(SendMessageW(view.controls[i], STM_GETIMAGE, IMAGE_BITMAP, 0));
        const bool ours = std::any_of(view.bitmaps.begin(), view.bitmaps.end(), [&](const auto& b) { return b.get() == shown; });
        if (shown != nullptr && !ours) view.bitmaps.emplace_back(shown);
    }
    view.window.reset();
    if (focus != nullptr && IsWindow(focus) && IsWindowEnabled(focus)) ::SetFocus(focus);
}

void Win32Ui::ShowMessage(const std::u16string& text, const std::u16string& title) {
    HWND owner = views_.empty() ? GetActiveWindow() : views_.back()->hwnd;
    HWND focus = GetFocus();
    // Modal to the whole thread as the dialogs are: the box disables only its owner itself.
    const std::vector<HWND> disabled = DisableThreadWindows(nullptr);
    // In front of whatever window the work opened meanwhile (a folder window of the shell, say),
    // so that the user sees the message and the program does not seem to hang.
    if (owner != nullptr) SetForegroundWindow(owner);
    const int answer = MessageBoxW(owner, ScreenText(text).c_str(), Wide(title).c_str(), MB_OK | MB_SETFOREGROUND);
    EnableWindows(disabled);
    if (owner != nullptr && IsWindow(owner)) SetActiveWindow(owner);
    if (focus != nullptr && IsWindow(focus) && IsWindowEnabled(focus)) ::SetFocus(focus);
    if (answer == 0) throw PlatformError("the message box could not be shown");
}

ui::WindowHandle Win32Ui::ActiveWindow() { return reinterpret_cast<ui::WindowHandle>(GetActiveWindow()); }

bool Win32Ui::WindowEnabled(ui::WindowHandle window) {
    HWND hwnd = reinterpret_cast<HWND>(window);
    return hwnd != nullptr && IsWindow(hwnd) && IsWindowEnabled(hwnd);
}

ui::ScreenMetrics Win32Ui::Screen() {
    const double tpp = Tpp();
    ui::ScreenMetrics m;
    m.twipsPerPixelX = static_cast<float>(tpp);
    const win32::ScreenDc dc;
    const int dpiY = GetDeviceCaps(dc.get(), LOGPIXELSY);
    m.twipsPerPixelY = static_cast<float>(dpiY > 0 ? 1440.0 / dpiY : 15.0);
    m.widthTwips = GetSystemMetrics(SM_CXSCREEN) * tpp;
    m.heightTwips = GetSystemMetrics(SM_CYSCREEN) * static_cast<double>(m.twipsPerPixelY);
    return m;
}

void Win32Ui::ClipboardClear() {
    ClipboardOpen open;
    if (!EmptyClipboard()) throw PlatformError("the clipboard cannot be cleared");
}

void Win32Ui::ClipboardSetPicture(const Bitmap& picture) {
    ClipboardOpen open;
    const std::string dib = DibOf(picture);
    if (!PutGlobal(CF_DIB, dib.data(), dib.size())) throw PlatformError("the picture cannot be put on the clipboard");
}

void Win32Ui::ClipboardSetText(const std::u16string& text) {
    ClipboardOpen open;
    std::u16string withNul = text + u'\0';
    if (!PutGlobal(CF_UNICODETEXT, withNul.data(), withNul.size() * 2)) throw PlatformError("the text cannot be put on the clipboard");
}

ui::ClipboardContent Win32Ui::ClipboardGet() {
    ClipboardOpen open;
    ui::ClipboardContent content;
    for (UINT format = EnumClipboardFormats(0); format != 0; format = EnumClipboardFormats(format)) {
        if (!IsGlobalFormat(format)) continue;
        HANDLE data = GetClipboardData(format);
        if (data == nullptr) continue;
        const void* bytes = GlobalLock(data);
        if (bytes == nullptr) continue;
        const std::string copy(static_cast<const char*>(bytes), GlobalSize(data));
        GlobalUnlock(data);
        if (format == CF_UNICODETEXT) {
            content.text = FromWide(reinterpret_cast<const wchar_t*>(copy.c_str()));
        } else if (format == CF_DIB) {
            content.picture = BitmapOfDib(copy);
        }
        content.native.emplace_back(format, copy);
    }
    return content;
}

void Win32Ui::ClipboardRestore(const ui::ClipboardContent& content) {
    ClipboardOpen open;
    EmptyClipboard();
    if (content.native.empty()) {
        if (content.text) {
            std::u16string withNul = *content.text + u'\0';
            PutGlobal(CF_UNICODETEXT, withNul.data(), withNul.size() * 2);
        }
        if (content.picture) {
            const std::string dib = DibOf(*content.picture);
            PutGlobal(CF_DIB, dib.data(), dib.size());
        }
        return;
    }
    for (const auto& [format, bytes] : content.native) PutGlobal(format, bytes.data(), bytes.size());
}

void Win32Ui::DoEvents() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

std::u16string Win32Ui::WindowsDirectory() {
    // The system's folder, not GetWindowsDirectory's: on a terminal server that gives a program not
    // marked for terminal services (the development environment) a folder of the user's own.
    wchar_t buffer[MAX_PATH] = {};
    const UINT length = GetSystemWindowsDirectoryW(buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) throw PlatformError("the Windows folder is not known");
    return FromWide(buffer);
}

std::u16string Win32Ui::SystemDirectory() {
    wchar_t buffer[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) throw PlatformError("the system folder is not known");
    return FromWide(buffer);
}

void Win32Ui::StartProgram(const std::u16string& program, const std::u16string& arguments) {
    PROCESS_INFORMATION started{};
    if (!win32::StartProcess(program, arguments, SW_SHOWNORMAL, started)) throw PlatformError("the program cannot be started");
    const win32::ProcessHandles process(started);
}

namespace {

// A help file that is not there is not handed to a viewer: the viewer would complain in a message
// box of its own, and WinHelp would hold the caller until the user closed it.
void RequireHelpFile(const std::u16string& helpFile) {
    const DWORD attributes = GetFileAttributesW(Wide(helpFile).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        throw PlatformError("the help file is missing");
    }
}

}  // namespace

void Win32Ui::ShowHelp(const std::u16string& helpFile, std::int32_t context) {
    RequireHelpFile(helpFile);
    // WinHelp hands the request to the viewer that runs, and starts one by its name alone when none
    // does: a WINHLP32.EXE in the current folder (the user's project) would be the one. So the
    // system's viewer is started first, by its full path, waiting for instructions (-x).
    constexpr wchar_t kViewerClass[] = L"MS_WINHELP";
    if (FindWindowW(kViewerClass, nullptr) == nullptr) {
        bool running = false;
        for (const std::u16string& folder : {WindowsDirectory(), SystemDirectory()}) {
            PROCESS_INFORMATION started{};
            if (!win32::StartProcess(WithBackslash(folder) + u"WINHLP32.EXE", u"-x", SW_SHOWNORMAL, started)) continue;
            const win32::ProcessHandles process(started);
            WaitForInputIdle(process.process.get(), 10000);
            for (int waited = 0; waited < 5000 && !running; waited += 50) {
                running = FindWindowW(kViewerClass, nullptr) != nullptr;
                if (!running && WaitForSingleObject(process.process.get(), 50) == WAIT_OBJECT_0) break;  // it ended
            }
            break;
        }
        if (!running) throw PlatformError("the WinHelp viewer cannot be started");
    }
    HWND owner = views_.empty() ? nullptr : views_.back()->hwnd;
    if (!WinHelpW(owner, Wide(helpFile).c_str(), HELP_CONTEXT, static_cast<ULONG_PTR>(context))) {
        throw PlatformError("help cannot be shown");
    }
}

bool Win32Ui::WinHelpAvailable() {
    // The real version: GetVersionEx answers what the compatibility settings make it answer.
    // Microsoft ships no WinHelp viewer for Windows 10 and later.
    using RtlGetVersionProc = LONG(WINAPI*)(OSVERSIONINFOW*);
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    const auto getVersion =
        ntdll == nullptr ? nullptr : reinterpret_cast<RtlGetVersionProc>(reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")));
    if (getVersion == nullptr) return true;
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof(version);
    if (getVersion(&version) != 0) return true;
    return version.dwMajorVersion < 10;
}

void Win32Ui::ShowHtmlHelp(const std::u16string& helpFile, std::int32_t context) {
    // The viewer is loaded when it is first needed and stays: its windows live on this thread.
    using HtmlHelpProc = HWND(WINAPI*)(HWND, LPCWSTR, UINT, DWORD_PTR);
    static const HMODULE viewer = win32::LoadSystemLibrary(L"hhctrl.ocx");
    const auto htmlHelp =
        viewer == nullptr ? nullptr : reinterpret_cast<HtmlHelpProc>(reinterpret_cast<void*>(GetProcAddress(viewer, "HtmlHelpW")));
    if (htmlHelp == nullptr) throw PlatformError("the HTML Help viewer is missing");
    RequireHelpFile(helpFile);
    constexpr UINT kDisplayTopic = 0x0000, kHelpContext = 0x000F;  // HH_DISPLAY_TOPIC, HH_HELP_CONTEXT
    const std::wstring file = Wide(helpFile);
    const HWND window = context == 0 ? htmlHelp(nullptr, file.c_str(), kDisplayTopic, 0)
                                     : htmlHelp(nullptr, file.c_str(), kHelpContext, static_cast<DWORD_PTR>(context));
    if (window == nullptr) throw PlatformError("help cannot be shown");
}

void Win32Ui::FormLoaded(ui::Form& form) {
    if (std::find(loaded_.begin(), loaded_.end(), &form) == loaded_.end()) loaded_.push_back(&form);
}

void Win32Ui::FormUnloaded(ui::Form& form) {
    loaded_.erase(std::remove(loaded_.begin(), loaded_.end(), &form), loaded_.end());
    // A dialog on screen that is unloaded from elsewhere (a disconnection): the message boxes it owns
    // are answered, and its loop is woken to see that it has closed.
    for (const auto& view : views_) {
        if (view->form != &form || view->hwnd == nullptr) continue;
        std::pair<HWND, std::vector<HWND>> boxes{view->hwnd, {}};
        EnumThreadWindows(GetCurrentThreadId(), CollectOwnedBoxes, reinterpret_cast<LPARAM>(&boxes));
        for (HWND box : boxes.second) PostMessageW(box, WM_CLOSE, 0, 0);
        PostMessageW(view->hwnd, WM_NULL, 0, 0);
    }
    // The form may be going away: forget its timers without touching them.
    for (auto it = timers_.begin(); it != timers_.end();) {
        if (it->second.owner == &form) {
            KillTimer(TimerWindow(), it->first);
            it = timers_.erase(it);
        } else {
            ++it;
        }
    }
}

void Win32Ui::TimerChanged(ui::Timer& timer) {
    unsigned long long id = 0;
    for (auto& [key, entry] : timers_) {
        if (entry.timer == &timer) id = key;
    }
    const bool loaded = std::find(loaded_.begin(), loaded_.end(), &timer.Owner()) != loaded_.end();
    const bool run = loaded && timer.TimerEnabled() && timer.Interval() > 0;
    if (id == 0) {
        if (!run) return;
        id = nextTimer_++;
        timers_[id] = {&timer, &timer.Owner(), false};
    }
    TimerEntry& entry = timers_[id];
    if (run) {
        SetTimer(TimerWindow(), id, static_cast<UINT>(std::max(1, timer.Interval())), nullptr);
        entry.running = true;
    } else {
        KillTimer(TimerWindow(), id);
        timers_.erase(id);
    }
}

void Win32Ui::OnTimer(unsigned long long id) {
    const auto it = timers_.find(id);
    if (it == timers_.end()) {
        KillTimer(TimerWindow(), id);
        return;
    }
    ui::Timer* timer = it->second.timer;
    if (timer->onTimer) {
        Attempt([&] {
            FaultPoint("tick");
            timer->onTimer();
        });
    }
}

}  // namespace qm
