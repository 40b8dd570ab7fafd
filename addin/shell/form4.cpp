#include "addin/shell/form4.h"

#include "addin/resources/button_faces.h"
#include "addin/wizard/form_layout.h"

namespace qm {
namespace {
using T = ControlType;
constexpr ControlPlace kLayout[] = {
    {T::Image, u"Picture1", -1, nullptr, -1, 120, 120, 1185, 2835, nullptr, 0, 9},
    {T::Label, u"Label1", 0, nullptr, -1, 1560, 240, 3855, 300, u"Wek Quillmark Ver1.0", 0, 12},
    {T::Label, u"Label1", 1, nullptr, -1, 1560, 660, 3855, 255, u"For Microsoft Visual Basic 6.0", 0, 9},
    {T::Label, u"Label1", 2, nullptr, -1, 1560, 1020, 3855, 255, u"ｺｰﾄﾞｳｲﾝﾄﾞｳにｺﾒﾝﾄｽﾀﾝﾌﾟを張り付けます", 0, 9},
    // A sunken rule: a grey line and a light one a pixel below.
    {T::Line, u"Line2", -1, nullptr, -1, 1560, 1800, 5400, 1800},
    {T::Line, u"Line1", -1, nullptr, -1, 1560, 1815, 5400, 1815},
    {T::CommandButton, u"Command1", 0, nullptr, -1, 4080, 2520, 1335, 435, u"OK", look::kDefault | look::kCancel, 9},
};
}  // namespace

Form4::Form4(ui::Ui& ui, const AddInModule& module)
    : ui::Form(ui, u"Form4"),
      Picture1(*this, u"Picture1", -1),
      Label1_0(*this, u"Label1", 0),
      Label1_1(*this, u"Label1", 1),
      Label1_2(*this, u"Label1", 2),
      Line2(*this, u"Line2", -1),
      Line1(*this, u"Line1", -1),
      Command1_0(*this, u"Command1", 0),
      module_(module) {
    caption = u"ﾊﾞｰｼﾞｮﾝ情報";
    Picture1.picture = ProductImage();
    Line2.borderColor = 0x808080;
    Line1.borderColor = -2147483643;  // the system's window background colour
    Command1_0.onClick = [this] { Command1_Click(0); };
    Layout();
}

// Every size again, fonts included: the scaling of the last load starts over.
void Form4::Layout() {
    width = 5640;
    height = 3525;
    scaleHeight = 3105;
    scaleMode = 1;
    LayOut(*this, kLayout);
}

void Form4::Form_Load() {
    Layout();
    ScaleFormToScreen(*this, module_);
    Centre();
}

void Form4::Command1_Click(int) { Unload(); }

}  // namespace qm
