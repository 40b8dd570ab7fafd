#include "platform/ui/headless.h"

#include <algorithm>

#include "platform/failure.h"

namespace qm::ui {

void HeadlessUi::ShowModal(Form& form) {
    modal_.push_back(&form);
    if (onModal) onModal(form);
    if (form.Loaded() && form.Visible()) form.UserClose();
    if (form.Loaded() && form.Visible()) form.Hide();
    modal_.pop_back();
}

void HeadlessUi::ShowMessage(const std::u16string& text, const std::u16string& title) {
    messages.push_back({text, title});
    if (onMessage) onMessage(messages.back());
}

void HeadlessUi::StartProgram(const std::u16string& commandLine) {
    if (std::find(programsThatFail.begin(), programsThatFail.end(), commandLine) != programsThatFail.end()) {
        throw PlatformError("the program cannot be started");
    }
    startedPrograms.push_back(commandLine);
}

void HeadlessUi::ShowHelp(const std::u16string& helpFile, std::int32_t context) {
    helpRequests.emplace_back(helpFile, context);
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

namespace user {
namespace {
void Reachable(Control& control) {
    if (!control.Owner().Loaded() || !control.Usable()) {
        throw PlatformError("the user cannot reach " + std::string(control.Kind()));
    }
}
}  // namespace

void Click(Control& control) {
    Reachable(control);
    if (auto* check = dynamic_cast<CheckBox*>(&control)) {
        check->SetValue(check->Value() == 1 ? 0 : 1);
        return;
    }
    if (auto* option = dynamic_cast<OptionButton*>(&control)) {
        if (!option->Value()) {
            option->SetValue(true);
        } else if (option->onClick) {
            option->onClick();
        }
        return;
    }
    if (control.TabStop()) control.SetFocus();
    if (control.onClick) control.onClick();
}

void DblClick(Control& control) {
    Reachable(control);
    if (control.onDblClick) control.onDblClick();
}

void Type(TextBox& box, const std::u16string& text) {
    Reachable(box);
    box.SetFocus();
    box.SetText(text);
}

void Check(CheckBox& box, int value) {
    Reachable(box);
    box.SetValue(value);
}

void Choose(OptionButton& option) { Click(option); }

void Select(ListBox& list, int index) {
    Reachable(list);
    list.SetFocus();
    if (index == list.ListIndex()) {
        if (list.onClick) list.onClick();
        return;
    }
    list.SetListIndex(index);
}

void Focus(Control& control) {
    Reachable(control);
    control.SetFocus();
}

}  // namespace user
}  // namespace qm::ui
