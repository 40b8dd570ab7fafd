#pragma once
// The custom item dialog: the name of a custom item and the attribute panel it uses.
#include <array>
#include <memory>

#include "addin/settings/format_model.h"
#include "platform/codepage.h"
#include "platform/ui/forms.h"

namespace qm {

class Form1;

class Form2 : public ui::Form {
public:
    enum class Mode { Add, Edit };

    Form2(ui::Ui& ui, const Codepage& codepage);

    // The wizard whose custom item list the dialog writes to; set by the opener.
    Form1* wizard = nullptr;
    // Caption, name and kind as the opener sets them before showing the dialog.
    void Prepare(Mode mode, const std::u16string& name, std::int32_t kind);

    ui::Label Label1{*this, u"Label1", -1};
    ui::TextBox Text1{*this, u"Text1", -1};
    ui::Frame Frame1{*this, u"Frame1", -1};
    ui::ComboBox Combo1{*this, u"Combo1", -1};
    std::array<ui::CommandButton*, 3> Command1{};  // OK, cancel, help

    void Command1_Click(int index);
    void Text1_Change();

    // The kind stored for a position of the kind list, and back (-1: no position).
    static std::int32_t KindOfEntry(int index);
    static int EntryOfKind(std::int32_t kind);

protected:
    void Form_Load() override;

private:
    bool AddMode() const;
    void Fail(const std::u16string& text);
    std::vector<std::unique_ptr<ui::Control>> made_;
    const Codepage& codepage_;
};

}  // namespace qm
