#pragma once
// "環境設定": where the stamp buttons are placed.
#include <array>

#include "addin/settings/settings_store.h"
#include "platform/ui/forms.h"

namespace qm {

class AddInClass;

class Form3 : public ui::Form {
public:
    Form3(ui::Ui& ui, SettingsStore& store);

    AddInClass* addInClass = nullptr;

    ui::Frame Frame1;
    ui::OptionButton Option1_0;
    ui::OptionButton Option1_1;
    ui::CommandButton Command1_0;
    ui::CommandButton Command1_1;
    ui::OptionButton& Option1(int index) { return index == 0 ? Option1_0 : Option1_1; }
    ui::CommandButton& Command1(int index) { return index == 0 ? Command1_0 : Command1_1; }

    void Command1_Click(int index);

protected:
    void Form_Load() override;

private:
    SettingsStore& store_;
};

}  // namespace qm
