#include "addin/shell/form3.h"

#include "addin/shell/addin_class.h"
#include "addin/wizard/form_layout.h"

namespace qm {
namespace {
using T = ControlType;
constexpr ControlPlace kLayout[] = {
    {T::Frame, u"Frame1", -1, nullptr, -1, 120, 120, 2775, 1155, u"ﾂｰﾙﾎﾞﾀﾝの配置場所"},
    {T::OptionButton, u"Option1", 0, u"Frame1", -1, 240, 360, 2415, 300, u"標準ﾂｰﾙﾊﾞｰ"},
    {T::OptionButton, u"Option1", 1, u"Frame1", -1, 240, 720, 2415, 300, u"専用ﾂｰﾙﾊﾞｰ"},
    {T::CommandButton, u"Command1", 0, nullptr, -1, 3060, 180, 1215, 375, u"OK", look::kDefault},
    {T::CommandButton, u"Command1", 1, nullptr, -1, 3060, 660, 1215, 375, u"ｷｬﾝｾﾙ", look::kCancel},
};
}  // namespace

Form3::Form3(ui::Ui& ui, SettingsStore& store)
    : ui::Form(ui, u"Form3"),
      Frame1(*this, u"Frame1", -1),
      Option1_0(*this, u"Option1", 0),
      Option1_1(*this, u"Option1", 1),
      Command1_0(*this, u"Command1", 0),
      Command1_1(*this, u"Command1", 1),
      store_(store) {
    caption = u"環境設定";
    width = 4500;
    height = 1845;
    scaleHeight = 1425;
    LayOut(*this, kLayout);
    Command1_0.onClick = [this] { Command1_Click(0); };
    Command1_1.onClick = [this] { Command1_Click(1); };
}

void Form3::Form_Load() {
    Centre();
    const std::int32_t position = store_.ReadSettingNumber(u"ToolBarPosition", 1);
    // A stored placement without an option of its own shows the add-in's own toolbar, which is
    // also what the add-in uses when nothing is stored.
    Option1(position == 0 ? 0 : 1).SetValue(true);
}

void Form3::Command1_Click(int index) {
    if (index == 0) {
        store_.WriteSettingNumber(u"ToolBarPosition", Option1_0.Value() ? 0 : 1);
        const auto position = static_cast<std::int16_t>(store_.ReadSettingNumber(u"ToolBarPosition", 1));
        if (addInClass != nullptr) addInClass->SetToolBar(position);
    }
    Unload();
}

}  // namespace qm
