#pragma once
// Where a scenario runs: the add-in, the environment it is connected to, the user interface it shows
// and the store it keeps its settings in. The runner reads the steps and checks the results; a
// host carries the steps out, in memory or with the real library under Windows.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/sim/simulated_vbe.h"
#include "platform/registry.h"
#include "platform/ui/forms.h"

namespace qm::scenario {

// A step that cannot be carried out, or an expectation that is not met: the scenario goes on.
struct StepError {
    std::string message;
};

struct Message {
    std::u16string text;
    std::u16string title;
};

// A control of the open dialog as the user sees it. Places are in twips, relative to the control's
// container.
struct ControlState {
    std::string kind;  // Label, TextBox, CheckBox, OptionButton, CommandButton, Frame, ListBox, ...
    std::optional<std::u16string> text;
    std::optional<int> value;  // a check box's state, an option's 0 or 1, a list's selected row
    std::vector<ui::ListEntry> entries;
    double left = 0, top = 0, width = 0, height = 0;
    double fontSize = 0;
    bool visible = false;  // shown, as far as its containers are
    bool usable = false;   // shown and enabled
};

enum class UserAction { Click, Type, Check, Pick, DblClick };

class Host {
public:
    virtual ~Host() = default;

    // The scene.
    virtual Registry& Store() = 0;
    virtual Codepage& Cp() = 0;
    // The environment, made with these options on first use.
    virtual ide::SimulatedVbe& Vbe(const ide::SimulatedVbe::Options& options) = 0;
    virtual bool VbeMade() const = 0;
    virtual void SetClock(const LocalDateTime& now) = 0;
    virtual void SetScreen(float twipsPerPixelX, float twipsPerPixelY) = 0;
    virtual void SetLibrary(const std::u16string& path) = 0;
    virtual void SetHelpViewerMissing() = 0;
    // The major version of Windows the add-in runs on (10 and later have no WinHelp).
    virtual void SetWindowsVersion(int major) = 0;
    // The system's Windows folder (C:\WINDOWS unless a scenario says otherwise).
    virtual void SetWindowsDirectory(const std::u16string& path) = 0;
    // The add-in, created anew when the environment has released the last one. The host keeps no
    // reference of its own: the environment holds it while it is connected.
    virtual std::shared_ptr<ide::Extensibility> AddIn() = 0;
    // The environment's main window: whether it takes input (no dialog of the add-in has disabled it).
    virtual bool EnvironmentEnabled() = 0;
    virtual void ClipboardSetText(const std::u16string& text) = 0;
    virtual std::optional<std::u16string> ClipboardText() = 0;
    // The add-in's timers fire (about) that many times.
    virtual void Tick(int times) = 0;

    // Runs the steps: step() carries out the next one and says whether there was one. A step that
    // opens a dialog returns only when the dialog has closed, so the steps after it run inside.
    virtual void Drive(const std::function<bool()>& step) = 0;

    // What the user saw and what was started.
    virtual std::vector<Message> Messages() = 0;
    virtual std::vector<std::u16string> Started() = 0;
    virtual std::vector<std::pair<std::u16string, std::int32_t>> HelpRequests() = 0;
    virtual std::vector<std::pair<std::u16string, std::int32_t>> HtmlHelpRequests() = 0;
    virtual bool PollerRunning() = 0;

    // The innermost dialog on screen; the functions below fail with StepError when none is open.
    virtual bool DialogOpen() = 0;
    // Alt and the key on the innermost dialog.
    virtual void PressAccessKey(char16_t key) = 0;
    virtual std::u16string DialogName() = 0;
    virtual std::u16string DialogCaption() = 0;
    // The dialog's size and place, and the screen's size, in twips.
    struct Box {
        double left = 0, top = 0, width = 0, height = 0;
    };
    virtual Box DialogPlace() = 0;
    virtual Box ScreenBox() = 0;
    virtual std::optional<ControlState> Inspect(const std::u16string& name, int index) = 0;
    virtual bool ForeColorIs(const std::u16string& name, int index, int colour) = 0;
    // The control with the focus, as NAME or NAME(index); empty when none has it.
    virtual std::u16string Focus() = 0;
    virtual void Act(const std::u16string& name, int index, UserAction action, const std::u16string& text, int number) = 0;
    virtual void CloseDialog() = 0;

    // The bitness of the add-in library (and of the editor that loads it).
    virtual int Bitness() const { return static_cast<int>(sizeof(void*) * 8); }

    // How far a place or size may stray from the form's own figure when it is read from the screen.
    virtual double Tolerance() const { return 0; }
};

}  // namespace qm::scenario
