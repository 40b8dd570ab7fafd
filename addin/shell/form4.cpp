#include "addin/shell/form4.h"

#include "addin/resources/button_faces.h"

namespace qm {

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
    Label1_0.caption = u"Wek Quillmark Ver1.0";
    Label1_1.caption = u"For Microsoft Visual Basic 6.0";
    Label1_2.caption = u"ｺｰﾄﾞｳｲﾝﾄﾞｳにｺﾒﾝﾄｽﾀﾝﾌﾟを張り付けます";
    Line2.borderColor = 0x808080;
    Line1.borderColor = -2147483643;  // the system's window background colour
    Command1_0.caption = u"OK";
    Command1_0.isDefault = true;
    Command1_0.isCancel = true;
    Command1_0.onClick = [this] { Command1_Click(0); };
    Layout();
}

void Form4::Layout() {
    width = 5640;
    height = 3525;
    scaleHeight = 3105;
    scaleMode = 1;
    Picture1.Move(120, 120, 1185, 2835);
    Label1_0.Move(1560, 240, 3855, 300);
    Label1_0.Set(ui::Property::FontSize, 12);
    Label1_1.Move(1560, 660, 3855, 255);
    Label1_1.Set(ui::Property::FontSize, 9);
    Label1_2.Move(1560, 1020, 3855, 255);
    Label1_2.Set(ui::Property::FontSize, 9);
    Line2.x1 = 1560;
    Line2.y1 = 1800;
    Line2.x2 = 5400;
    Line2.y2 = 1800;
    Line1.x1 = 1560;
    Line1.y1 = 1815;
    Line1.x2 = 5400;
    Line1.y2 = 1815;
    Command1_0.Move(4080, 2520, 1335, 435);
}

void Form4::Form_Load() {
    Layout();
    ScaleFormToScreen(*this, module_);
    Centre();
}

void Form4::Command1_Click(int) { Unload(); }

}  // namespace qm
