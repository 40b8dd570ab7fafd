#pragma once
// A user interface without a screen: what would be shown is recorded, and a test (or a scenario)
// acts as the user while a form is shown modally.
#include <functional>
#include <string>
#include <vector>

#include "platform/ui/forms.h"

namespace qm::ui {

struct ShownMessage {
    std::u16string text;
    std::u16string title;
    WindowHandle owner = 0;
};

class HeadlessUi final : public Ui {
public:
    // Runs while a form is shown modally; it acts on the form and should close it. A form still
    // open when it returns is closed as the user would close its window.
    using ModalHandler = std::function<void(Form& form)>;

    void ShowModal(Form& form, WindowHandle owner) override;
    void ShowMessage(const std::u16string& text, const std::u16string& title) override;
    WindowHandle ActiveWindow() override { return active_; }
    bool WindowEnabled(WindowHandle window) override;
    ScreenMetrics Screen() override { return screen; }
    void ClipboardClear() override { clipboard = {}; }
    void ClipboardSetPicture(const Bitmap& picture) override { clipboard.picture = picture; }
    void ClipboardSetText(const std::u16string& text) override { clipboard.text = text; }
    ClipboardContent ClipboardGet() override { return clipboard; }
    void ClipboardRestore(const ClipboardContent& content) override { clipboard = content; }
    void DoEvents() override { ++eventsProcessed; }
    std::u16string WindowsDirectory() override { return windowsDirectory; }
    std::u16string SystemDirectory() override { return systemDirectory; }
    void StartProgram(const std::u16string& program, const std::u16string& arguments) override;
    void ShowHelp(const std::u16string& helpFile, std::int32_t context) override;
    bool WinHelpAvailable() override { return winHelp; }
    void ShowHtmlHelp(const std::u16string& helpFile, std::int32_t context) override;
    void FormLoaded(Form& form) override;
    void FormUnloaded(Form& form) override;
    void TimerChanged(Timer&) override {}

    // Fires every enabled timer of every loaded form once, as one tick of the clock.
    void Tick();
    const std::vector<Form*>& LoadedForms() const { return loaded_; }
    // The modal forms open now, innermost last.
    const std::vector<Form*>& ModalStack() const { return modal_; }
    // The window of a form on the modal stack (0: not shown), and the window that owns it.
    WindowHandle WindowOf(const Form& form) const;
    WindowHandle OwnerOf(const Form& form) const;
    // Whether the user can act on the form now: it is the innermost dialog and no message box covers it.
    bool TakesInput(const Form& form) const override;
    // A top-level window of the thread that is not a form (the environment's main window); it becomes
    // the active window.
    WindowHandle AddWindow();
    void RemoveWindow(WindowHandle window);
    void Activate(WindowHandle window) { active_ = window; }

    ScreenMetrics screen;
    ClipboardContent clipboard;
    std::vector<ShownMessage> messages;
    std::u16string windowsDirectory = u"C:\\WINDOWS";
    std::u16string systemDirectory = u"C:\\WINDOWS\\SYSTEM32";
    std::vector<std::u16string> startedPrograms;  // the command lines the programs were started with
    std::vector<std::pair<std::u16string, std::int32_t>> helpRequests;
    std::vector<std::u16string> programsThatFail;  // programs that cannot start: full paths or file names
    bool winHelp = true;                           // false: a system without WinHelp
    bool htmlHelpFails = false;                    // the HTML Help viewer is missing or broken
    std::vector<std::pair<std::u16string, std::int32_t>> htmlHelpRequests;
    int eventsProcessed = 0;
    ModalHandler onModal;
    // Runs for each message box as it is shown (the user reads it and presses OK).
    std::function<void(const ShownMessage&)> onMessage;

private:
    struct Shown {
        Form* form;
        WindowHandle window;
        WindowHandle owner;
    };
    // Disables every other enabled window; gives back those it disabled.
    std::vector<WindowHandle> DisableOthers(WindowHandle except);
    void Reenable(const std::vector<WindowHandle>& windows);

    std::vector<Form*> loaded_;
    std::vector<Form*> modal_;
    std::vector<Shown> shown_;
    std::vector<std::pair<WindowHandle, bool>> windows_;  // every top-level window and whether it is enabled
    WindowHandle active_ = 0;
    WindowHandle next_ = 0x100;
    int messageBoxes_ = 0;
};


}  // namespace qm::ui
