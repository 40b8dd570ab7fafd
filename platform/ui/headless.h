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
};

class HeadlessUi final : public Ui {
public:
    // Runs while a form is shown modally; it acts on the form and should close it. A form still
    // open when it returns is closed as the user would close its window.
    using ModalHandler = std::function<void(Form& form)>;

    void ShowModal(Form& form) override;
    void ShowMessage(const std::u16string& text, const std::u16string& title) override;
    ScreenMetrics Screen() override { return screen; }
    void ClipboardClear() override { clipboard = {}; }
    void ClipboardSetPicture(const Bitmap& picture) override { clipboard.picture = picture; }
    void ClipboardSetText(const std::u16string& text) override { clipboard.text = text; }
    ClipboardContent ClipboardGet() override { return clipboard; }
    void ClipboardRestore(const ClipboardContent& content) override { clipboard = content; }
    void DoEvents() override { ++eventsProcessed; }
    void StartProgram(const std::u16string& commandLine) override;
    void ShowHelp(const std::u16string& helpFile, std::int32_t context) override;
    void FormLoaded(Form& form) override;
    void FormUnloaded(Form& form) override;
    void TimerChanged(Timer&) override {}

    // Fires every enabled timer of every loaded form once, as one tick of the clock.
    void Tick();
    const std::vector<Form*>& LoadedForms() const { return loaded_; }
    // The modal forms open now, innermost last.
    const std::vector<Form*>& ModalStack() const { return modal_; }

    ScreenMetrics screen;
    ClipboardContent clipboard;
    std::vector<ShownMessage> messages;
    std::vector<std::u16string> startedPrograms;
    std::vector<std::pair<std::u16string, std::int32_t>> helpRequests;
    std::vector<std::u16string> programsThatFail;  // command lines that cannot start
    int eventsProcessed = 0;
    ModalHandler onModal;
    // Runs for each message box as it is shown (the user reads it and presses OK).
    std::function<void(const ShownMessage&)> onMessage;

private:
    std::vector<Form*> loaded_;
    std::vector<Form*> modal_;
};

// The user's actions. Each fails (PlatformError) when the user could not do it: the control is
// hidden or disabled, or its form is not open.
namespace user {
void Click(Control& control);
void DblClick(Control& control);
void Type(TextBox& box, const std::u16string& text);
void Check(CheckBox& box, int value);
void Choose(OptionButton& option);
void Select(ListBox& list, int index);
void Focus(Control& control);
}  // namespace user

}  // namespace qm::ui
