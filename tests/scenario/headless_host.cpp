#include "tests/scenario/headless_host.h"

#include "addin/shell/addin_module.h"
#include "platform/text.h"

namespace qm::scenario {

HeadlessHost::HeadlessHost() = default;

HeadlessHost::~HeadlessHost() {
    // The environment closes as it does at the end of a session: it disconnects and releases the
    // add-in (which holds the environment's objects), then goes itself.
    if (vbe_) vbe_->Shutdown();
    vbe_.reset();
}

ide::SimulatedVbe& HeadlessHost::Vbe(const ide::SimulatedVbe::Options& options) {
    if (!vbe_) {
        vbe_ = ide::SimulatedVbe::Create(ui_, options);
        vbe_->SetMainWindow(ui_.AddWindow());
    }
    return *vbe_;
}

void HeadlessHost::SetScreen(float twipsPerPixelX, float twipsPerPixelY) {
    ui_.screen.twipsPerPixelX = twipsPerPixelX;
    ui_.screen.twipsPerPixelY = twipsPerPixelY;
}

std::shared_ptr<ide::Extensibility> HeadlessHost::AddIn() {
    if (helpMissing_) ui_.programsThatFail.push_back(u"WINHLP32.EXE");
    std::shared_ptr<AddInClass> addIn = addIn_.lock();
    if (!addIn) {
        addIn = std::make_shared<AddInClass>(AddInServices{registry_, *codepage_, clock_, ui_, libraryPath_});
        addIn_ = addIn;
    }
    return addIn;
}

bool HeadlessHost::EnvironmentEnabled() { return vbe_ != nullptr && vbe_->TakesInput(); }

void HeadlessHost::ClipboardSetText(const std::u16string& text) {
    ui_.ClipboardClear();
    ui_.ClipboardSetText(text);
}

void HeadlessHost::Tick(int times) {
    for (int i = 0; i < times; ++i) ui_.Tick();
}

void HeadlessHost::Drive(const std::function<bool()>& step) {
    ui_.onModal = [&step](ui::Form& form) {
        while (form.Loaded() && form.Visible() && step()) {
        }
    };
    while (step()) {
    }
    ui_.onModal = nullptr;
}

std::vector<Message> HeadlessHost::Messages() {
    std::vector<Message> out;
    for (const auto& m : ui_.messages) out.push_back({m.text, m.title});
    return out;
}

bool HeadlessHost::PollerRunning() {
    const std::shared_ptr<AddInClass> addIn = addIn_.lock();
    Form1* form = addIn ? addIn->GetForm1() : nullptr;
    return form != nullptr && form->Loaded() && form->Timer1.TimerEnabled();
}

ui::Form& HeadlessHost::Dialog() {
    if (ui_.ModalStack().empty()) throw StepError{"no dialog is open"};
    return *ui_.ModalStack().back();
}

void HeadlessHost::PressAccessKey(char16_t key) { ui::user::PressAccessKey(Dialog(), key); }

ui::Control& HeadlessHost::ControlOf(const std::u16string& name, int index) {
    ui::Control* c = Dialog().Find(name, index);
    if (c == nullptr) throw StepError{"the dialog has no such control"};
    return *c;
}

Host::Box HeadlessHost::DialogPlace() {
    const ui::Form& d = Dialog();
    return {d.left, d.top, d.width, d.height};
}

Host::Box HeadlessHost::ScreenBox() { return {0, 0, ui_.screen.widthTwips, ui_.screen.heightTwips}; }

std::optional<ControlState> HeadlessHost::Inspect(const std::u16string& name, int index) {
    ui::Control* c = Dialog().Find(name, index);
    if (c == nullptr) return std::nullopt;
    ControlState s;
    s.kind = c->Kind();
    if (auto* l = dynamic_cast<ui::Label*>(c)) s.text = l->caption;
    if (auto* t = dynamic_cast<ui::TextBox*>(c)) s.text = t->Text();
    if (auto* b = dynamic_cast<ui::CommandButton*>(c)) s.text = b->caption;
    if (auto* f = dynamic_cast<ui::Frame*>(c)) s.text = f->caption;
    if (auto* k = dynamic_cast<ui::CheckBox*>(c)) {
        s.text = k->caption;
        s.value = k->Value();
    }
    if (auto* o = dynamic_cast<ui::OptionButton*>(c)) {
        s.text = o->caption;
        s.value = o->Value() ? 1 : 0;
    }
    if (auto* l = dynamic_cast<ui::ListBox*>(c)) {
        s.entries = l->Entries();
        s.value = l->ListIndex();
        s.text = l->ListIndex() < 0 ? u"" : l->Entry(l->ListIndex()).text;
    }
    if (c->Has(ui::Property::Left)) {
        s.left = c->Get(ui::Property::Left);
        s.top = c->Get(ui::Property::Top);
        s.width = c->Get(ui::Property::Width);
        s.height = c->Get(ui::Property::Height);
    }
    if (c->Has(ui::Property::FontSize)) s.fontSize = c->Get(ui::Property::FontSize);
    s.visible = true;
    for (const ui::Control* k = c; k != nullptr; k = k->Container()) s.visible = s.visible && k->Visible();
    s.usable = c->Usable();
    return s;
}

bool HeadlessHost::ForeColorIs(const std::u16string& name, int index, int colour) { return ControlOf(name, index).ForeColor() == colour; }

std::u16string HeadlessHost::Focus() {
    ui::Control* active = Dialog().ActiveControl();
    if (active == nullptr) return {};
    return active->Name() + (active->Index() >= 0 ? u"(" + DecimalText(active->Index()) + u")" : u"");
}

void HeadlessHost::Act(const std::u16string& name, int index, UserAction action, const std::u16string& text, int number) {
    ui::Control& c = ControlOf(name, index);
    const auto as = [&c]<class T>(T*) -> T& {
        auto* typed = dynamic_cast<T*>(&c);
        if (typed == nullptr) throw StepError{"the control is not of that kind"};
        return *typed;
    };
    switch (action) {
        case UserAction::Click:
            ui::user::Click(c);
            break;
        case UserAction::Type:
            ui::user::Type(as(static_cast<ui::TextBox*>(nullptr)), text);
            break;
        case UserAction::Check:
            ui::user::Check(as(static_cast<ui::CheckBox*>(nullptr)), number);
            break;
        case UserAction::Pick:
            ui::user::Select(as(static_cast<ui::ListBox*>(nullptr)), number);
            break;
        case UserAction::DblClick:
            if (number >= 0) ui::user::Select(as(static_cast<ui::ListBox*>(nullptr)), number);
            ui::user::DblClick(c);
            break;
    }
}

}  // namespace qm::scenario
