#pragma once
// A form's controls as data: one row per control says which control it is, where it sits, how big it
// is and what it shows. One routine applies the rows, on a new form and again on every load.
#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <vector>

#include "platform/ui/forms.h"

namespace qm {

enum class ControlType : std::uint8_t {
    Label,
    TextBox,
    CheckBox,
    OptionButton,
    ListBox,
    ComboBox,
    CommandButton,
    Frame,
    PictureBox,
    Image,
    Line,
};

// How a control looks and acts, beyond its place.
namespace look {
inline constexpr std::uint8_t kDefault = 1;  // the button Enter presses
inline constexpr std::uint8_t kCancel = 2;   // the button Esc presses
inline constexpr std::uint8_t kPlain = 4;    // a label of the user's own text: "&" shown as it is
inline constexpr std::uint8_t kHidden = 8;
}  // namespace look

struct ControlPlace {
    constexpr ControlPlace(ControlType type_, const char16_t* name_, int index_, const char16_t* in_, int inIndex_, double left_,
                           double top_, double width_, double height_, const char16_t* caption_ = nullptr, std::uint8_t look_ = 0,
                           double fontSize_ = 0, const char16_t* fontName_ = nullptr)
        : type(type_),
          name(name_),
          index(index_),
          in(in_),
          inIndex(inIndex_),
          left(left_),
          top(top_),
          width(width_),
          height(height_),
          caption(caption_),
          look(look_),
          fontSize(fontSize_),
          fontName(fontName_) {}

    ControlType type;
    const char16_t* name;
    int index;           // -1 outside a control array
    const char16_t* in;  // the container, a control of the form or of the rows; none: the form itself
    int inIndex;
    // In twips. A line has end points instead: x1, y1, x2, y2.
    double left, top, width, height;
    const char16_t* caption;  // none: left as it is
    std::uint8_t look;
    double fontSize;           // 0: left as it is
    const char16_t* fontName;  // none: the form's
};

// Places the controls of the rows, in their order. A row that names a control the form does not hold
// yet (a member of a control array) makes it, owned by made; made controls take the tab order of
// the rows, after the form's own members. A row that does not fit the form (a control of another
// type, a container the form does not hold) is a mistake of the table and throws std::logic_error.
void LayOut(ui::Form& form, std::span<const ControlPlace> rows, std::vector<std::unique_ptr<ui::Control>>& made);
// The same for a form that holds every control of the rows as a member.
void LayOut(ui::Form& form, std::span<const ControlPlace> rows);

// The control of that name and index, of the type its row gave it.
template <class T>
T* ControlOf(const ui::Form& form, const char16_t* name, int index) {
    auto* control = dynamic_cast<T*>(form.Find(name, index));
    if (control == nullptr) throw std::logic_error("no control of that name, index and type");
    return control;
}

}  // namespace qm
