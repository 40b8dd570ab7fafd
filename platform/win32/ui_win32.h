#pragma once
// The user interface on Windows: forms rendered as real windows with the system's controls, message
// boxes, the clipboard, timers on a hidden window, help.
#include <map>
#include <memory>
#include <vector>

#include "platform/ui/forms.h"
#include "platform/win32/handles.h"

namespace qm {

class Win32Ui final : public ui::Ui {
public:
    // instance: the module whose window classes are registered (the library or the program).
    explicit Win32Ui(void* instance);
    ~Win32Ui() override;

    void ShowModal(ui::Form& form, ui::WindowHandle owner) override;
    void ShowMessage(const std::u16string& text, const std::u16string& title) override;
    ui::WindowHandle ActiveWindow() override;
    bool WindowEnabled(ui::WindowHandle window) override;
    ui::ScreenMetrics Screen() override;
    void ClipboardClear() override;
    void ClipboardSetPicture(const Bitmap& picture) override;
    void ClipboardSetText(const std::u16string& text) override;
    ui::ClipboardContent ClipboardGet() override;
    void ClipboardRestore(const ui::ClipboardContent& content) override;
    void DoEvents() override;
    std::u16string WindowsDirectory() override;
    std::u16string SystemDirectory() override;
    void StartProgram(const std::u16string& program, const std::u16string& arguments) override;
    void ShowHelp(const std::u16string& helpFile, std::int32_t context) override;
    bool WinHelpAvailable() override;
    void ShowHtmlHelp(const std::u16string& helpFile, std::int32_t context) override;
    void FormLoaded(ui::Form& form) override;
    void FormUnloaded(ui::Form& form) override;
    void TimerChanged(ui::Timer& timer) override;

    struct View;
    // Called by the window procedures.
    long long Handle(void* hwnd, unsigned message, unsigned long long wParam, long long lParam);
    void OnTimer(unsigned long long id);

private:
    void Build(View& view, HWND owner);
    HWND TimerWindow() const { return timerWindow_.get(); }
    void Sync(View& view);
    void SyncAll();
    void Command(View& view, int id, int code, void* control);
    long long Describe(View& view, void* control, bool container, void* buffer);
    View* FindView(void* hwnd);

    void* instance_;
    win32::UniqueWindow timerWindow_;
    win32::UniqueFont font_;
    std::vector<std::unique_ptr<View>> views_;  // the modal forms on screen, innermost last
    struct TimerEntry {
        ui::Timer* timer;
        ui::Form* owner;
        bool running;
    };
    std::map<unsigned long long, TimerEntry> timers_;
    unsigned long long nextTimer_ = 1;
    std::vector<ui::Form*> loaded_;
    bool syncing_ = false;
};

}  // namespace qm
