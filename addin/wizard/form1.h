#pragma once
// The format wizard's form. While the add-in is connected it stays loaded, hidden: its state is the
// format model the stamp buttons read, its timer polls the button state, and its pictures hold the
// button faces.
#include <array>
#include <functional>
#include <memory>

#include "addin/settings/format_model.h"
#include "addin/shell/addin_module.h"
#include "platform/ide/vbe.h"
#include "platform/ui/forms.h"

namespace qm {

class AddInClass;

class Form1 : public ui::Form {
public:
    Form1(ui::Ui& ui, SettingsStore& store);

    // Handed over at connection.
    std::shared_ptr<ide::VBE> VBInstance;
    AddInClass* addInClass = nullptr;
    // The help file of its common dialog.
    std::u16string HelpFile;

    ui::Timer Timer1;
    std::array<std::unique_ptr<ui::PictureBox>, 7> Picture1;

    // The loaded state: the format both stamps are made from.
    const FormatModel& Model() const { return model_; }
    std::int32_t StartVisible() const { return startVisible_; }

protected:
    void Form_Load() override;

private:
    SettingsStore& store_;
    FormatModel model_;
    std::int32_t startVisible_ = 0;
};

}  // namespace qm
