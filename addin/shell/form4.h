#pragma once
// "ﾊﾞｰｼﾞｮﾝ情報": product name and version.
#include <array>
#include <memory>

#include "addin/shell/addin_module.h"
#include "platform/ui/forms.h"

namespace qm {

class Form4 : public ui::Form {
public:
    Form4(ui::Ui& ui, const AddInModule& module);

    ui::Image Picture1;
    ui::Label Label1_0;
    ui::Label Label1_1;
    ui::Label Label1_2;
    ui::Line Line2;
    ui::Line Line1;
    ui::CommandButton Command1_0;
    ui::Label& Label1(int index) { return index == 0 ? Label1_0 : (index == 1 ? Label1_1 : Label1_2); }

    void Command1_Click(int index);

protected:
    void Form_Load() override;

private:
    const AddInModule& module_;
    // The layout as designed, fonts included, restored on every load so that scaling starts from it.
    void Layout();
};

}  // namespace qm
