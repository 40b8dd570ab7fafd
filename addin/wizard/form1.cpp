#include "addin/wizard/form1.h"

#include "addin/resources/button_faces.h"
#include "addin/shell/addin_class.h"

namespace qm {

Form1::Form1(ui::Ui& ui, SettingsStore& store) : ui::Form(ui, u"Form1"), Timer1(*this, u"Timer1", -1), store_(store) {
    caption = u"ﾌｫｰﾏｯﾄ ｳｨｻﾞｰﾄﾞ";
    width = 7215;
    height = 5430;
    scaleHeight = 5010;
    for (int i = 0; i < kButtonFaceCount; ++i) {
        auto& picture = Picture1[static_cast<std::size_t>(i)];
        picture = std::make_unique<ui::PictureBox>(*this, u"Picture1", i);
        picture->picture = ButtonFace(i);
        picture->Move(120.0 + 255 * i, 4500, 240, 240);
        picture->SetVisible(false);
    }
    Timer1.onTimer = [this] {
        if (addInClass != nullptr) addInClass->SetBottn();
    };
}

void Form1::Form_Load() {
    Timer1.SetInterval(1);
    Timer1.SetTimerEnabled(false);
    model_ = LoadFormatModel(store_);
    startVisible_ = store_.ReadSettingNumber(u"StartVisible", 0);
    Centre();
}

}  // namespace qm
