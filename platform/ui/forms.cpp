#include "platform/ui/forms.h"

#include <algorithm>

#include "platform/failure.h"

namespace qm::ui {

Control::Control(Form& form, std::u16string name, int index) : form_(form), name_(std::move(name)), index_(index) {
    form_.controls_.push_back(this);
}

bool Control::Has(Property) const { return true; }

double Control::Get(Property property) const {
    if (!Has(property)) throw PlatformError("the control has no such property");
    switch (property) {
        case Property::Left:
            return left_;
        case Property::Top:
            return top_;
        case Property::Width:
            return width_;
        case Property::Height:
            return height_;
        case Property::FontSize:
            return fontSize_;
    }
    return 0;
}

void Control::Set(Property property, double value) {
    if (!Has(property)) throw PlatformError("the control has no such property");
    switch (property) {
        case Property::Left:
            left_ = value;
            break;
        case Property::Top:
            top_ = value;
            break;
        case Property::Width:
            width_ = value;
            break;
        case Property::Height:
            height_ = value;
            break;
        case Property::FontSize:
            fontSize_ = value;
            break;
    }
}

void Control::Move(double left, double top, double width, double height) {
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
}

bool Control::Usable() const {
    for (const Control* c = this; c != nullptr; c = c->container_) {
        if (!c->visible_ || !c->enabled_) return false;
    }
    return true;
}

void Control::SetFocus() {
    if (!form_.loaded_ || !Usable()) throw PlatformError("the control cannot take the focus");
    Control* previous = form_.activeControl_;
    form_.activeControl_ = this;
    if (previous != nullptr && previous != this && previous->onLostFocus) previous->onLostFocus();
}

void TextBox::SetText(const std::u16string& text) {
    std::u16string value = text;
    if (maxLength > 0 && value.size() > static_cast<std::size_t>(maxLength)) value.resize(static_cast<std::size_t>(maxLength));
    if (value == text_) return;
    text_ = value;
    if (onChange) onChange();
}

void CheckBox::SetValue(int value) {
    if (value < 0 || value > 2) throw PlatformError("a check box holds 0, 1 or 2");
    if (value == value_) return;
    value_ = value;
    if (onClick) onClick();
}

void OptionButton::SetValue(bool value) {
    if (value == value_) return;
    value_ = value;
    if (!value) return;
    for (Control* other : Owner().Controls()) {
        auto* option = dynamic_cast<OptionButton*>(other);
        if (option != nullptr && option != this && option->Container() == Container()) option->value_ = false;
    }
    if (onClick) onClick();
}

void ListBox::AddItem(const std::u16string& text, std::int32_t tag) { entries_.push_back({text, tag}); }

void ListBox::InsertItem(int index, const std::u16string& text, std::int32_t tag) {
    if (index < 0 || index > ListCount()) throw PlatformError("no such list position");
    entries_.insert(entries_.begin() + index, {text, tag});
    if (listIndex_ >= index) ++listIndex_;
}

void ListBox::RemoveItem(int index) {
    if (index < 0 || index >= ListCount()) throw PlatformError("no such list entry");
    entries_.erase(entries_.begin() + index);
    if (listIndex_ == index) {
        listIndex_ = -1;
    } else if (listIndex_ > index) {
        --listIndex_;
    }
}

void ListBox::Clear() {
    entries_.clear();
    listIndex_ = -1;
}

const ListEntry& ListBox::Entry(int index) const {
    if (index < 0 || index >= ListCount()) throw PlatformError("no such list entry");
    return entries_[static_cast<std::size_t>(index)];
}

void ListBox::SetEntry(int index, const ListEntry& entry) {
    if (index < 0 || index >= ListCount()) throw PlatformError("no such list entry");
    entries_[static_cast<std::size_t>(index)] = entry;
}

void ListBox::SetListIndex(int index) {
    if (index < -1 || index >= ListCount()) throw PlatformError("no such list entry");
    const bool changed = index != listIndex_;
    listIndex_ = index;
    if (changed && onClick) onClick();
}

void PictureBox::ZOrderFront() {
    int top = 0;
    for (Control* c : Owner().Controls()) {
        if (auto* p = dynamic_cast<PictureBox*>(c)) top = std::max(top, p->zOrder);
    }
    zOrder = top + 1;
}

bool Line::Has(Property) const { return false; }

Timer::Timer(Form& form, std::u16string name, int index) : Control(form, std::move(name), index) { tabStop_ = false; }
Label::Label(Form& form, std::u16string name, int index) : Control(form, std::move(name), index) { tabStop_ = false; }
Frame::Frame(Form& form, std::u16string name, int index) : Control(form, std::move(name), index) { tabStop_ = false; }

char16_t AccessKeyOf(std::u16string_view caption) {
    for (std::size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != u'&') continue;
        if (caption[i + 1] != u'&') return caption[i + 1];
        ++i;  // "&&"
    }
    return 0;
}

std::u16string ShownCaption(std::u16string_view caption) {
    std::u16string shown;
    for (std::size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == u'&' && i + 1 < caption.size())
            ++i;
        else if (caption[i] == u'&')
            continue;
        shown.push_back(caption[i]);
    }
    return shown;
}

bool Timer::Has(Property property) const { return property == Property::Left || property == Property::Top; }

void Timer::SetInterval(std::int32_t interval) {
    interval_ = interval;
    Owner().GetUi().TimerChanged(*this);
}

void Timer::SetTimerEnabled(bool enabled) {
    enabled_ = enabled;
    Owner().GetUi().TimerChanged(*this);
}

Form::Form(Ui& ui, std::u16string name) : ui_(ui), name_(std::move(name)) {}

Form::~Form() {
    if (loaded_) ui_.FormUnloaded(*this);
}

Control* Form::Find(const std::u16string& name, int index) const {
    for (Control* c : controls_) {
        if (c->Name() == name && c->Index() == index) return c;
    }
    return nullptr;
}

void Form::Load() {
    if (loaded_) return;
    loaded_ = true;
    activeControl_ = nullptr;
    ui_.FormLoaded(*this);
    Form_Load();
}

void Form::Unload() {
    if (!loaded_) return;
    Form_Unload();
    for (Control* c : controls_) {
        if (auto* timer = dynamic_cast<Timer*>(c)) timer->SetTimerEnabled(false);
    }
    loaded_ = false;
    visible_ = false;
    ui_.FormUnloaded(*this);
}

void Form::Hide() { visible_ = false; }

void Form::ShowModal(WindowHandle owner) {
    const std::shared_ptr<Form> keep = weak_from_this().lock();
    Load();
    if (!loaded_) return;
    visible_ = true;
    ui_.ShowModal(*this, owner);
    visible_ = false;
}

void Form::Centre() {
    const ScreenMetrics screen = ui_.Screen();
    left = (screen.widthTwips - width) / 2;
    top = (screen.heightTwips - height) / 2;
}

namespace user {
namespace {
void Reachable(Control& control) {
    if (!control.Owner().Loaded() || !control.Usable()) {
        throw PlatformError("the user cannot reach " + std::string(control.Kind()));
    }
    // A dialog under another dialog, or under a message box, is disabled.
    if (!control.Owner().GetUi().TakesInput(control.Owner())) {
        throw PlatformError("the user cannot reach " + std::string(control.Kind()) + ": another window is in front");
    }
}
}  // namespace

void PressAccessKey(Form& form, char16_t key) {
    const auto fold = [](char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c; };
    const auto& controls = form.Controls();
    for (std::size_t i = 0; i < controls.size(); ++i) {
        Control& control = *controls[i];
        std::u16string caption;
        bool movesOn = false;
        if (auto* label = dynamic_cast<Label*>(&control)) {
            if (!label->useMnemonic) continue;
            caption = label->caption;
            movesOn = true;
        } else if (auto* frame = dynamic_cast<Frame*>(&control)) {
            caption = frame->caption;
            movesOn = true;
        } else if (auto* button = dynamic_cast<CommandButton*>(&control)) {
            caption = button->caption;
        } else if (auto* check = dynamic_cast<CheckBox*>(&control)) {
            caption = check->caption;
        } else if (auto* option = dynamic_cast<OptionButton*>(&control)) {
            caption = option->caption;
        }
        const char16_t own = AccessKeyOf(caption);
        if (own == 0 || fold(own) != fold(key) || !control.Usable()) continue;
        if (!movesOn) return Click(control);
        for (std::size_t next = i + 1; next < controls.size(); ++next) {
            if (controls[next]->TabStop() && controls[next]->Usable()) return Focus(*controls[next]);
        }
        return;
    }
    throw PlatformError("no control of the form has that access key");
}

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
