#include "addin/wizard/form_layout.h"

#include <stdexcept>
#include <string_view>

namespace qm {
namespace {

template <class T>
std::unique_ptr<ui::Control> Make(ui::Form& form, const ControlPlace& row) {
    return std::make_unique<T>(form, row.name, row.index);
}

struct TypeEntry {
    std::string_view kind;  // as the control names its kind
    std::unique_ptr<ui::Control> (*make)(ui::Form&, const ControlPlace&);
};

// By ControlType.
constexpr TypeEntry kTypes[] = {
    {"Label", Make<ui::Label>},
    {"TextBox", Make<ui::TextBox>},
    {"CheckBox", Make<ui::CheckBox>},
    {"OptionButton", Make<ui::OptionButton>},
    {"ListBox", Make<ui::ListBox>},
    {"ComboBox", Make<ui::ComboBox>},
    {"CommandButton", Make<ui::CommandButton>},
    {"Frame", Make<ui::Frame>},
    {"PictureBox", Make<ui::PictureBox>},
    {"Image", Make<ui::Image>},
    {"Line", Make<ui::Line>},
};

std::u16string* CaptionOf(ui::Control& control) {
    if (auto* c = dynamic_cast<ui::Label*>(&control)) return &c->caption;
    if (auto* c = dynamic_cast<ui::CheckBox*>(&control)) return &c->caption;
    if (auto* c = dynamic_cast<ui::OptionButton*>(&control)) return &c->caption;
    if (auto* c = dynamic_cast<ui::CommandButton*>(&control)) return &c->caption;
    if (auto* c = dynamic_cast<ui::Frame*>(&control)) return &c->caption;
    return nullptr;
}

// The control a row names, made when the form does not hold it yet.
ui::Control& Take(ui::Form& form, const ControlPlace& row, std::vector<std::unique_ptr<ui::Control>>& made) {
    const auto type = static_cast<std::size_t>(row.type);
    if (type >= std::size(kTypes)) throw std::logic_error("a layout row of no control type");
    ui::Control* control = form.Find(row.name, row.index);
    if (control == nullptr) {
        made.push_back(kTypes[type].make(form, row));
        control = made.back().get();
    }
    if (kTypes[type].kind != control->Kind()) throw std::logic_error("a layout row of another control type than its control");
    return *control;
}

void Place(ui::Control& control, const ControlPlace& row) {
    if (auto* line = dynamic_cast<ui::Line*>(&control)) {
        line->x1 = row.left;
        line->y1 = row.top;
        line->x2 = row.width;
        line->y2 = row.height;
    } else {
        control.Move(row.left, row.top, row.width, row.height);
    }
}

void Dress(ui::Control& control, const ControlPlace& row) {
    if (row.caption != nullptr) {
        std::u16string* caption = CaptionOf(control);
        if (caption == nullptr) throw std::logic_error("a caption for a control without one");
        *caption = row.caption;
    }
    if ((row.look & (look::kDefault | look::kCancel)) != 0) {
        auto& button = dynamic_cast<ui::CommandButton&>(control);
        button.isDefault = (row.look & look::kDefault) != 0;
        button.isCancel = (row.look & look::kCancel) != 0;
    }
    if ((row.look & look::kPlain) != 0) dynamic_cast<ui::Label&>(control).useMnemonic = false;
    if ((row.look & look::kHidden) != 0) control.SetVisible(false);
    if (row.fontSize > 0) control.Set(ui::Property::FontSize, row.fontSize);
    if (row.fontName != nullptr) control.fontName = row.fontName;
}

}  // namespace

void LayOut(ui::Form& form, std::span<const ControlPlace> rows, std::vector<std::unique_ptr<ui::Control>>& made) {
    // Every control first, so that a row may name a container that a later row makes.
    std::vector<ui::Control*> controls;
    controls.reserve(rows.size());
    for (const ControlPlace& row : rows) controls.push_back(&Take(form, row, made));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const ControlPlace& row = rows[i];
        ui::Control* container = nullptr;
        if (row.in != nullptr) {
            container = form.Find(row.in, row.inIndex);
            if (container == nullptr) throw std::logic_error("a layout row in a container the form does not hold");
        }
        controls[i]->SetContainer(container);
        Place(*controls[i], row);
        Dress(*controls[i], row);
    }
}

void LayOut(ui::Form& form, std::span<const ControlPlace> rows) {
    for (const ControlPlace& row : rows) {
        if (form.Find(row.name, row.index) == nullptr) throw std::logic_error("a layout row of a control the form does not hold");
    }
    std::vector<std::unique_ptr<ui::Control>> none;
    LayOut(form, rows, none);
}

}  // namespace qm
