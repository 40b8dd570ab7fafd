#pragma once
// The dialog and runtime services of the user interface: forms made of plain controls, modal
// display, message boxes, the clipboard, timers, help and screen metrics.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/bitmap.h"

namespace qm::ui {

class Form;
class Timer;

// A top-level window of the user-interface thread (the environment's main window, a dialog); 0 is none.
using WindowHandle = std::uintptr_t;

struct ScreenMetrics {
    float twipsPerPixelX = 15;
    float twipsPerPixelY = 15;
    double widthTwips = 1024 * 15;
    double heightTwips = 768 * 15;
};

struct ClipboardContent {
    std::optional<std::u16string> text;
    std::optional<Bitmap> picture;
    // Every other format the system held, as it held it, so that it can be put back.
    std::vector<std::pair<std::uint32_t, std::string>> native;
    friend bool operator==(const ClipboardContent&, const ClipboardContent&) = default;
};

class Ui {
public:
    virtual ~Ui() = default;
    // Shows the form and returns once it is hidden or unloaded. As in the environment, the form is
    // modal to the whole thread: every other enabled top-level window of the thread is disabled while
    // it is open, and exactly those are enabled again when it closes. The form belongs to owner, or to
    // the dialog below it when one is open.
    virtual void ShowModal(Form& form, WindowHandle owner) = 0;
    // A message box with an OK button only, modal in the same way and owned by the open dialog.
    virtual void ShowMessage(const std::u16string& text, const std::u16string& title) = 0;
    // The thread's active top-level window (0: none), and whether a window takes the user's input.
    virtual WindowHandle ActiveWindow() = 0;
    virtual bool WindowEnabled(WindowHandle window) = 0;
    // Whether the user's actions reach the form now; a real system decides this itself.
    virtual bool TakesInput(const Form&) const { return true; }
    virtual ScreenMetrics Screen() = 0;

    virtual void ClipboardClear() = 0;
    virtual void ClipboardSetPicture(const Bitmap& picture) = 0;
    virtual void ClipboardSetText(const std::u16string& text) = 0;
    virtual ClipboardContent ClipboardGet() = 0;
    // Puts back what ClipboardGet returned.
    virtual void ClipboardRestore(const ClipboardContent& content) = 0;

    // Lets pending events run.
    virtual void DoEvents() = 0;
    // The Windows folder of the system (the one all users share), where its own programs lie.
    virtual std::u16string WindowsDirectory() = 0;
    // The system folder (SYSTEM32), which holds the rest of its programs.
    virtual std::u16string SystemDirectory() = 0;
    // Starts the program file, named by its full path (anything else is refused), with the arguments,
    // in a normal window with focus; throws when it cannot.
    virtual void StartProgram(const std::u16string& program, const std::u16string& arguments) = 0;
    // Opens the WinHelp file at a context number; throws when it cannot.
    virtual void ShowHelp(const std::u16string& helpFile, std::int32_t context) = 0;
    // Whether the system's WinHelp viewer shows help files (Windows 10 and later have none).
    virtual bool WinHelpAvailable() = 0;
    // Opens the HTML Help file at a context number, or at its default topic for 0; throws when it
    // cannot.
    virtual void ShowHtmlHelp(const std::u16string& helpFile, std::int32_t context) = 0;

    // Forms tell the backend when they are loaded, so that their timers can run.
    virtual void FormLoaded(Form& form) = 0;
    virtual void FormUnloaded(Form& form) = 0;
    virtual void TimerChanged(Timer& timer) = 0;
};

}  // namespace qm::ui
