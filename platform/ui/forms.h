#pragma once
// Forms and their plain controls. A form is a class holding its controls as members; a view (a
// real dialog, or a test acting as the user) renders them and forwards the user's actions.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/bitmap.h"
#include "platform/ui/ui.h"

namespace qm::ui {

class Form;

// System colours, by their index, as a form sets the colour of a control's text.
inline constexpr std::int32_t kColorWindowText = 8;
inline constexpr std::int32_t kColorGrayText = 17;

enum class Property { Left, Top, Width, Height, FontSize };

class Control {
public:
    Control(Form& form, std::u16string name, int index);
    virtual ~Control() = default;
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    const std::u16string& Name() const { return name_; }
    int Index() const { return index_; }  // -1 outside a control array
    Form& Owner() const { return form_; }
    virtual const char* Kind() const = 0;

    // Coordinates in twips. A control without the property throws PlatformError.
    double Get(Property property) const;
    void Set(Property property, double value);
    virtual bool Has(Property property) const;
    void Move(double left, double top, double width, double height);

    bool Visible() const { return visible_; }
    void SetVisible(bool visible) { visible_ = visible; }
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled) { enabled_ = enabled; }
    // The system colour index or RGB of the text, as the form sets it.
    std::int32_t ForeColor() const { return foreColor_; }
    void SetForeColor(std::int32_t colour) { foreColor_ = colour; }
    bool TabStop() const { return tabStop_; }
    // A font of its own (empty: the form's).
    std::u16string fontName;
    // The control the user could act on: visible and enabled, and so is its container chain.
    bool Usable() const;
    Control* Container() const { return container_; }
    void SetContainer(Control* container) { container_ = container; }

    void SetFocus();

    std::function<void()> onClick;
    std::function<void()> onDblClick;
    std::function<void()> onChange;
    std::function<void()> onLostFocus;

protected:
    bool tabStop_ = true;

private:
    Form& form_;
    std::u16string name_;
    int index_;
    double left_ = 0, top_ = 0, width_ = 0, height_ = 0, fontSize_ = 9;
    bool visible_ = true;
    bool enabled_ = true;
    std::int32_t foreColor_ = 0;
    Control* container_ = nullptr;
};

// A label never takes the focus; its access key (the character after "&") moves the focus to the
// next control that does. "&&" shows one "&". A label that shows the user's own text (a sample)
// clears useMnemonic and shows every "&" as it is.
class Label : public Control {
public:
    Label(Form& form, std::u16string name, int index);
    const char* Kind() const override { return "Label"; }
    std::u16string caption;
    bool useMnemonic = true;
};

class TextBox : public Control {
public:
    using Control::Control;
    const char* Kind() const override { return "TextBox"; }
    const std::u16string& Text() const { return text_; }
    // Setting the text runs the change handling, as typing does.
    void SetText(const std::u16string& text);
    std::int32_t maxLength = 0;

private:
    std::u16string text_;
};

class CheckBox : public Control {
public:
    using Control::Control;
    const char* Kind() const override { return "CheckBox"; }
    std::u16string caption;
    // 0 unchecked, 1 checked, 2 grey. Setting it runs the click handling, as in the environment.
    int Value() const { return value_; }
    void SetValue(int value);

private:
    int value_ = 0;
};

class OptionButton : public Control {
public:
    using Control::Control;
    const char* Kind() const override { return "OptionButton"; }
    std::u16string caption;
    bool Value() const { return value_; }
    // Selecting one clears the others of the same container and runs the click handling.
    void SetValue(bool value);

private:
    bool value_ = false;
};

struct ListEntry {
    std::u16string text;
    std::int32_t tag = 0;
};

class ListBox : public Control {
public:
    using Control::Control;
    const char* Kind() const override { return "ListBox"; }
    void AddItem(const std::u16string& text, std::int32_t tag = 0);
    void InsertItem(int index, const std::u16string& text, std::int32_t tag = 0);
    void RemoveItem(int index);
    void Clear();
    int ListCount() const { return static_cast<int>(entries_.size()); }
    const ListEntry& Entry(int index) const;
    void SetEntry(int index, const ListEntry& entry);
    const std::vector<ListEntry>& Entries() const { return entries_; }
    // -1 when nothing is chosen. Choosing runs the click handling.
    int ListIndex() const { return listIndex_; }
    void SetListIndex(int index);

private:
    std::vector<ListEntry> entries_;
    int listIndex_ = -1;
};

// A drop-down list: the user picks one of its entries.
class ComboBox : public ListBox {
public:
    using ListBox::ListBox;
    const char* Kind() const override { return "ComboBox"; }
};

class CommandButton : public Control {
public:
    using Control::Control;
    const char* Kind() const override { return "CommandButton"; }
    std::u16string caption;
    bool isDefault = false;
    bool isCancel = false;
};

class Frame : public Control {
public:
    Frame(Form& form, std::u16string name, int index);
    const char* Kind() const override { return "Frame"; }
    std::u16string caption;
};

class PictureBox : public Control {
public:
    using Control::Control;
    const char* Kind() const override { return "PictureBox"; }
    Bitmap picture;
    int zOrder = 0;  // larger is in front
    void ZOrderFront();
};

class Image : public Control {
public:
    using Control::Control;
    const char* Kind() const override { return "Image"; }
    Bitmap picture;
};

// A separator line: it has end points, no width, height or font.
class Line : public Control {
public:
    using Control::Control;
    const char* Kind() const override { return "Line"; }
    bool Has(Property property) const override;
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    std::int32_t borderColor = 0;
};

class Timer : public Control {
public:
    Timer(Form& form, std::u16string name, int index);
    const char* Kind() const override { return "Timer"; }
    bool Has(Property property) const override;
    std::int32_t Interval() const { return interval_; }
    void SetInterval(std::int32_t interval);
    bool TimerEnabled() const { return enabled_; }
    void SetTimerEnabled(bool enabled);
    std::function<void()> onTimer;

private:
    std::int32_t interval_ = 0;
    bool enabled_ = false;
};

// Forms are held by shared pointers where they can go away while shown (a disconnection): showing one
// keeps it alive until its loop has returned.
class Form : public std::enable_shared_from_this<Form> {
public:
    Form(Ui& ui, std::u16string name);
    virtual ~Form();
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    const std::u16string& Name() const { return name_; }
    Ui& GetUi() const { return ui_; }
    std::u16string caption;
    double left = 0, top = 0, width = 0, height = 0;
    // 1 twips, 3 pixels; the client height in those units.
    int scaleMode = 1;
    double scaleHeight = 0;

    const std::vector<Control*>& Controls() const { return controls_; }
    Control* Find(const std::u16string& name, int index = -1) const;
    Control* ActiveControl() const { return activeControl_; }

    bool Loaded() const { return loaded_; }
    bool Visible() const { return visible_; }
    void Load();
    void Unload();
    void Hide();
    // Loads the form if needed and shows it modally, owned by owner (or the dialog below it); returns
    // when it is hidden or unloaded.
    void ShowModal(WindowHandle owner = 0);
    // The user closes the window (the title bar's close button).
    virtual void UserClose() { Unload(); }

    // Centres the form on the screen.
    void Centre();

protected:
    virtual void Form_Load() {}
    virtual void Form_Unload() {}

private:
    friend class Control;
    Ui& ui_;
    std::u16string name_;
    std::vector<Control*> controls_;
    Control* activeControl_ = nullptr;
    bool loaded_ = false;
    bool visible_ = false;
};

// The user's actions. Each fails (PlatformError) when the user could not do it: the control is
// hidden or disabled, its form is not open, or another window is in front of it.
// The access key of a caption: the character after a single "&" (0: none; "&&" is "&" itself).
char16_t AccessKeyOf(std::u16string_view caption);
// A caption as the screen shows it: "&&" as "&", a single "&" left out.
std::u16string ShownCaption(std::u16string_view caption);

namespace user {
// Alt and a key: the control whose caption has that access key (letters in either case) acts as on
// a click; a label or a frame moves the focus to the next control after it that takes the focus.
void PressAccessKey(Form& form, char16_t key);
void Click(Control& control);
void DblClick(Control& control);
void Type(TextBox& box, const std::u16string& text);
void Check(CheckBox& box, int value);
void Choose(OptionButton& option);
void Select(ListBox& list, int index);
void Focus(Control& control);
}  // namespace user

}  // namespace qm::ui
