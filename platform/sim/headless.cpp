#include "platform/sim/headless.h"

#include <algorithm>

#include "platform/failure.h"
#include "platform/program_path.h"
#include "platform/text.h"

namespace qm::ui {

std::vector<WindowHandle> HeadlessUi::DisableOthers(WindowHandle except) {
    std::vector<WindowHandle> disabled;
    for (auto& [window, enabled] : windows_) {
        if (window != except && enabled) {
            enabled = false;
            disabled.push_back(window);
        }
    }
    return disabled;
}

void HeadlessUi::Reenable(const std::vector<WindowHandle>& windows) {
    for (auto& [window, enabled] : windows_) {
        if (std::find(windows.begin(), windows.end(), window) != windows.end()) enabled = true;
    }
}

WindowHandle HeadlessUi::AddWindow() {
    const WindowHandle window = next_++;
    windows_.emplace_back(window, true);
    active_ = window;
    return window;
}

void HeadlessUi::RemoveWindow(WindowHandle window) {
    windows_.erase(std::remove_if(windows_.begin(), windows_.end(), [&](const auto& w) { return w.first == window; }), windows_.end());
    if (active_ == window) active_ = 0;
}

bool HeadlessUi::WindowEnabled(WindowHandle window) {
    for (const auto& [w, enabled] : windows_) {
        if (w == window) return enabled;
    }
    return false;
}

WindowHandle HeadlessUi::WindowOf(const Form& form) const {
    for (const Shown& s : shown_) {
        if (s.form == &form) return s.window;
    }
    return 0;
}

WindowHandle HeadlessUi::OwnerOf(const Form& form) const {
    for (const Shown& s : shown_) {
        if (s.form == &form) return s.owner;
    }
    return 0;
}

bool HeadlessUi::TakesInput(const Form& form) const {
    if (messageBoxes_ > 0) return false;
    return modal_.empty() || modal_.back() == &form;
}

void HeadlessUi::ShowModal(Form& form, WindowHandle owner) {
    const WindowHandle window = next_++;
    if (!shown_.empty()) owner = shown_.back().window;
    const WindowHandle previous = active_;
    const std::vector<WindowHandle> disabled = DisableOthers(0);
    windows_.emplace_back(window, true);
    shown_.push_back({&form, window, owner});
    modal_.push_back(&form);
    active_ = window;
    // The handler may set another one for the dialogs it opens: run a copy.
    if (const ModalHandler handler = onModal) handler(form);
    if (form.Loaded() && form.Visible()) form.UserClose();
    if (form.Loaded() && form.Visible()) form.Hide();
    modal_.erase(std::find(modal_.begin(), modal_.end(), &form));
    shown_.erase(std::find_if(shown_.begin(), shown_.end(), [&](const Shown& s) { return s.form == &form; }));
    RemoveWindow(window);
    Reenable(disabled);
    active_ = previous;
}

void HeadlessUi::ShowMessage(const std::u16string& text, const std::u16string& title) {
    messages.push_back({text, title, shown_.empty() ? active_ : shown_.back().window});
    const std::vector<WindowHandle> disabled = DisableOthers(0);
    ++messageBoxes_;
    if (const auto handler = onMessage) handler(messages.back());
    --messageBoxes_;
    Reenable(disabled);
}

void HeadlessUi::StartProgram(const std::u16string& program, const std::u16string& arguments) {
    if (!IsFullPath(program)) throw PlatformError("a program is started by its full path");
    const std::u16string fileName = program.substr(program.find_last_of(u'\\') + 1);
    for (const auto& failing : programsThatFail) {
        if (EqualsIgnoreCase(failing, program) || EqualsIgnoreCase(failing, fileName)) throw PlatformError("the program cannot be started");
    }
    startedPrograms.push_back(CommandLineOf(program, arguments));
}

void HeadlessUi::ShowHelp(const std::u16string& helpFile, std::int32_t context) { helpRequests.emplace_back(helpFile, context); }

void HeadlessUi::ShowHtmlHelp(const std::u16string& helpFile, std::int32_t context) {
    if (htmlHelpFails) throw PlatformError("help cannot be shown");
    htmlHelpRequests.emplace_back(helpFile, context);
}

void HeadlessUi::FormLoaded(Form& form) {
    if (std::find(loaded_.begin(), loaded_.end(), &form) == loaded_.end()) loaded_.push_back(&form);
}

void HeadlessUi::FormUnloaded(Form& form) { loaded_.erase(std::remove(loaded_.begin(), loaded_.end(), &form), loaded_.end()); }

void HeadlessUi::Tick() {
    // Timers may load or unload forms; take the list as it stands.
    const std::vector<Form*> forms = loaded_;
    for (Form* form : forms) {
        if (std::find(loaded_.begin(), loaded_.end(), form) == loaded_.end()) continue;
        for (Control* c : form->Controls()) {
            auto* timer = dynamic_cast<Timer*>(c);
            if (timer != nullptr && timer->TimerEnabled() && timer->onTimer) timer->onTimer();
        }
    }
}

}  // namespace qm::ui
