#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "addin/shell/form3.h"
#include "addin/shell/form4.h"
#include "addin/wizard/form1.h"
#include "addin/wizard/form2.h"
#include "addin/wizard/form_layout.h"
#include "platform/sim/headless.h"
#include "tests/test_support.h"

namespace qm::test {
namespace {

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

std::string NameOf(const ui::Control& control) {
    std::string name = Utf16ToUtf8(control.Name());
    if (control.Index() >= 0) name += "(" + std::to_string(control.Index()) + ")";
    return name;
}

template <class T>
void AddCaption(const ui::Control& control, std::string& row) {
    if (const auto* c = dynamic_cast<const T*>(&control); c != nullptr && !c->caption.empty()) {
        row += " \"" + Utf16ToUtf8(c->caption) + "\"";
    }
}

// One line per control, in the order the form holds them (the order of the tab key and of access
// keys): which control, where it sits and how big it is, and what it shows.
std::vector<std::string> Describe(const ui::Form& form) {
    std::vector<std::string> rows;
    rows.push_back(Utf16ToUtf8(form.Name()) + " " + Number(form.width) + "x" + Number(form.height) + " client " + Number(form.scaleHeight) +
                   " \"" + Utf16ToUtf8(form.caption) + "\"");
    for (const ui::Control* control : form.Controls()) {
        std::string row = NameOf(*control) + " " + control->Kind();
        if (control->Container() != nullptr) row += " in " + NameOf(*control->Container());
        if (const auto* line = dynamic_cast<const ui::Line*>(control)) {
            row += " " + Number(line->x1) + "," + Number(line->y1) + "-" + Number(line->x2) + "," + Number(line->y2) + " colour " +
                   std::to_string(line->borderColor);
        } else if (control->Has(ui::Property::Width)) {
            row += " " + Number(control->Get(ui::Property::Left)) + "," + Number(control->Get(ui::Property::Top)) + " " +
                   Number(control->Get(ui::Property::Width)) + "x" + Number(control->Get(ui::Property::Height));
        }
        AddCaption<ui::Label>(*control, row);
        AddCaption<ui::CheckBox>(*control, row);
        AddCaption<ui::OptionButton>(*control, row);
        AddCaption<ui::CommandButton>(*control, row);
        AddCaption<ui::Frame>(*control, row);
        if (control->Has(ui::Property::FontSize) && control->Get(ui::Property::FontSize) != 9) {
            row += " size " + Number(control->Get(ui::Property::FontSize));
        }
        if (!control->fontName.empty()) row += " font " + Utf16ToUtf8(control->fontName);
        if (const auto* label = dynamic_cast<const ui::Label*>(control); label != nullptr && !label->useMnemonic) row += " plain";
        if (const auto* button = dynamic_cast<const ui::CommandButton*>(control)) {
            if (button->isDefault) row += " default";
            if (button->isCancel) row += " cancel";
        }
        if (const auto* picture = dynamic_cast<const ui::PictureBox*>(control); picture != nullptr && picture->picture.width > 0) {
            row += " picture " + std::to_string(picture->picture.width) + "x" + std::to_string(picture->picture.height);
        }
        if (const auto* image = dynamic_cast<const ui::Image*>(control); image != nullptr && image->picture.width > 0) {
            row += " picture " + std::to_string(image->picture.width) + "x" + std::to_string(image->picture.height);
        }
        if (!control->Visible()) row += " hidden";
        rows.push_back(row);
    }
    return rows;
}

// The forms as they were drawn: the wizard's screenshots and the scenario files depend on every
// place, size, caption and on the order of the controls.
const char* const kForm1[] = {
    R"x(Form1 7815x5145 client 4725 "Wek Quillmark ﾌｫｰﾏｯﾄ ｳｨｻﾞｰﾄﾞ - ")x",
    R"x(Label1 Label in Picture3(0) 2040,120 5520x3300)x",
    R"x(Check1 CheckBox in Picture3(0) 2040,3600 5520x300 "次回からこの画面を表示しない(&S)")x",
    R"x(Label2 Label in Picture3(1) 2040,240 5520x300 "ﾌｫｰﾏｯﾄを作成する種類を選択してください。")x",
    R"x(Label3 Label in Picture3(10) 2040,120 5520x255 "下記の一覧は、ﾌｫｰﾏｯﾄで使用する可能性のある項目名です。")x",
    R"x(Label4 Label in Picture3(10) 2040,420 5520x480)x",
    R"x(Label5 Label in Picture3(10) 2040,3780 5520x255 "独自の項目名を追加するには、[次へ]をｸﾘｯｸしてください。")x",
    R"x(Label7 Label in Picture3(11) 2040,120 5520x735 "ﾌｫｰﾏｯﾄに独自の項目を追加します。ここで指定する項目は、前のｽﾃｯﾌﾟで選択した項目と重複してはいけません。")x",
    R"x(Label9 Label in Picture3(11) 2040,960 3240x255 "追加の項目名 :")x",
    R"x(List2 ListBox in Picture3(11) 2040,1230 3240x2640)x",
    R"x(Label10 Label in Picture3(12) 2040,960 1680x255 "項目名 :")x",
    R"x(List3 ListBox in Picture3(12) 2040,1230 1680x2460)x",
    R"x(Frame2 Frame in Picture3(12) 3840,900 3720x2820 "属性詳細情報")x",
    R"x(Check2 CheckBox in Picture8(2) 240,1740 3240x300 "(なし)と表示する")x",
    R"x(Check3 CheckBox in Picture8(3) 240,660 3240x300 "(なし)と表示する")x",
    R"x(Check4 CheckBox in Picture8(4) 1320,1770 1560x300 "表示する")x",
    R"x(Label21 Label in Picture8(4) 1320,2160 2100x255 "1999-11-10 18:30:25" plain)x",
    R"x(Text1 TextBox in Picture8(5) 240,660 3240x300)x",
    R"x(Label13 Label in Picture3(13) 2040,120 5520x255 "項目名を希望する表示順に置き換えます。")x",
    R"x(Frame3 Frame in Picture3(14) 2040,960 5520x2700 "拡張")x",
    R"x(Label15 Label in Frame3 120,360 3000x255 "ｺﾒﾝﾄの記号[']の後のｽﾍﾟｰｽの値 :")x",
    R"x(Text2 TextBox in Frame3 3240,330 720x300)x",
    R"x(Check5 CheckBox in Frame3 120,900 4800x300 "項目欄の最上位と最下位に記号文字ﾗｲﾝを挿入する")x",
    R"x(Label29 Label in Frame3 360,1380 600x255 "ﾗｲﾝ :")x",
    R"x(Label30 Label in Frame3 1020,1380 1080x255 "記号文字 :")x",
    R"x(Text3 TextBox in Frame3 2160,1350 720x300)x",
    R"x(Label31 Label in Frame3 3000,1380 1320x255 "× 表示倍数 :")x",
    R"x(Text4 TextBox in Frame3 4440,1350 720x300)x",
    R"x(Label26 Label in Picture3(14) 2040,120 5520x735 "全体の外観を拡張します。ｺﾒﾝﾄの記号[']の後のｽﾍﾟｰｽ設定や項目欄の最上位と最下位に記号文字などを使用したﾗｲﾝを拡張します。")x",
    R"x(Label32 Label in Picture3(60) 2040,600 1080x255 "名前 : ")x",
    R"x(Text5 TextBox in Picture3(60) 3240,570 2400x300)x",
    R"x(Label35 Label in Picture3(60) 2040,1080 1080x255 "日付 : ")x",
    R"x(Check6 CheckBox in Picture3(60) 3240,1050 1560x300 "表示する")x",
    R"x(Label38 Label in Picture3(60) 2040,2220 1080x255 "時間 : ")x",
    R"x(Check7 CheckBox in Picture3(60) 3240,2190 1560x300 "表示する")x",
    R"x(Label39 Label in Picture3(60) 2040,2760 1200x255 "表示ｻﾝﾌﾟﾙ : ")x",
    R"x(Label34 Label in Picture3(60) 2040,3060 5520x600 font ＭＳ ゴシック plain)x",
    R"x(Label33 Label in Picture3(60) 2040,120 5520x255 "ｺｰﾄﾞの編集作業を記録するｽﾀﾝﾌﾟのﾌｫｰﾏｯﾄを作成します。")x",
    R"x(Label36 Label in Picture3(100) 2040,240 5520x975)x",
    R"x(Label40 Label in Picture3(100) 2040,3600 5520x255 "処理を完了するときは [完了] をｸﾘｯｸしてください。")x",
    R"x(Timer1 Timer)x",
    R"x(Picture3(0) PictureBox 0,0 7815x4140)x",
    R"x(Image1(0) Image in Picture3(0) 120,120 1185x2835 picture 79x189)x",
    R"x(Picture3(1) PictureBox 0,0 7815x4140)x",
    R"x(Image1(1) Image in Picture3(1) 120,120 1185x2835 picture 79x189)x",
    R"x(Picture3(10) PictureBox 0,0 7815x4140)x",
    R"x(Image1(10) Image in Picture3(10) 120,120 1185x2835 picture 79x189)x",
    R"x(Picture3(11) PictureBox 0,0 7815x4140)x",
    R"x(Image1(11) Image in Picture3(11) 120,120 1185x2835 picture 79x189)x",
    R"x(Picture3(12) PictureBox 0,0 7815x4140)x",
    R"x(Image1(12) Image in Picture3(12) 120,120 1185x2835 picture 79x189)x",
    R"x(Picture3(13) PictureBox 0,0 7815x4140)x",
    R"x(Image1(13) Image in Picture3(13) 120,120 1185x2835 picture 79x189)x",
    R"x(Picture3(14) PictureBox 0,0 7815x4140)x",
    R"x(Image1(14) Image in Picture3(14) 120,120 1185x2835 picture 79x189)x",
    R"x(Picture3(60) PictureBox 0,0 7815x4140)x",
    R"x(Image1(60) Image in Picture3(60) 120,120 1185x2835 picture 79x189)x",
    R"x(Picture3(100) PictureBox 0,0 7815x4140)x",
    R"x(Image1(100) Image in Picture3(100) 120,120 1185x2835 picture 79x189)x",
    R"x(Command1(0) CommandButton 120,4260 1095x375 "ﾍﾙﾌﾟ(&H)")x",
    R"x(Command1(1) CommandButton 3000,4260 1095x375 "ｷｬﾝｾﾙ" cancel)x",
    R"x(Command1(2) CommandButton 4170,4260 1095x375 "< 戻る(&B)")x",
    R"x(Command1(3) CommandButton 5340,4260 1095x375 "次へ (&N)>" default)x",
    R"x(Command1(4) CommandButton 6510,4260 1095x375 "完了(&F)")x",
    R"x(Option1(0) OptionButton in Picture3(1) 2280,840 4800x300 "Lexivaneなどで使用する関数説明のﾌｫｰﾏｯﾄ作成")x",
    R"x(Option1(1) OptionButton in Picture3(1) 2280,1320 4800x300 "ｺｰﾄﾞの編集作業を記録するｽﾀﾝﾌﾟのﾌｫｰﾏｯﾄ作成")x",
    R"x(Label6(0) Label in Picture3(10) 2040,960 2040x255 "使用できる項目名 :")x",
    R"x(List1(0) ListBox in Picture3(10) 2040,1230 2040x2460)x",
    R"x(Label6(1) Label in Picture3(10) 5040,960 2040x255 "選択された項目名 :")x",
    R"x(List1(1) ListBox in Picture3(10) 5040,1230 2040x2460)x",
    R"x(Command2(0) CommandButton in Picture3(10) 4260,1380 600x375 ">")x",
    R"x(Command2(1) CommandButton in Picture3(10) 4260,1920 600x375 ">>")x",
    R"x(Command2(2) CommandButton in Picture3(10) 4260,2460 600x375 "<")x",
    R"x(Command2(3) CommandButton in Picture3(10) 4260,3000 600x375 "<<")x",
    R"x(Command3(0) CommandButton in Picture3(11) 5520,1230 1455x375 "追加(&W)...")x",
    R"x(Command3(1) CommandButton in Picture3(11) 5520,1710 1455x375 "編集(&E)...")x",
    R"x(Command3(2) CommandButton in Picture3(11) 5520,2190 1455x375 "削除(&D)")x",
    R"x(Label8(0) Label in Picture3(12) 2040,120 5520x255 "各項目の属性詳細を指定します。")x",
    R"x(Label8(1) Label in Picture3(12) 2040,390 5520x495 "変更する属性を持つ項目名を選択し、値を変更します。変更する項目ごとに繰り返してください。")x",
    R"x(Label8(2) Label in Picture3(12) 2040,3780 5520x255 "属性詳細の変更を完了する場合は、[次へ]をｸﾘｯｸしてください。")x",
    R"x(Picture8(0) PictureBox in Frame2 120,240 3480x2460)x",
    R"x(Label11(0) Label in Picture8(0) 0,0 3480x255 "属性 : 関数名")x",
    R"x(Picture8(1) PictureBox in Frame2 120,240 3480x2460)x",
    R"x(Label11(1) Label in Picture8(1) 0,0 3480x255 "属性 : なし")x",
    R"x(Picture8(2) PictureBox in Frame2 120,240 3480x2460)x",
    R"x(Label11(2) Label in Picture8(2) 0,0 3480x255 "属性 : 引数")x",
    R"x(Picture8(3) PictureBox in Frame2 120,240 3480x2460)x",
    R"x(Label11(3) Label in Picture8(3) 0,0 3480x255 "属性 : 戻り値")x",
    R"x(Picture8(4) PictureBox in Frame2 120,240 3480x2460)x",
    R"x(Label11(4) Label in Picture8(4) 0,0 3480x255 "属性 : 作成日")x",
    R"x(Picture8(5) PictureBox in Frame2 120,240 3480x2460)x",
    R"x(Label11(5) Label in Picture8(5) 0,0 3480x255 "属性 : 作成者")x",
    R"x(Label12(0) Label in Picture8(0) 0,360 2400x255 "表示形式 : ")x",
    R"x(Option2(0) OptionButton in Picture8(0) 240,660 3240x300 "関数名のみ表示")x",
    R"x(Option2(1) OptionButton in Picture8(0) 240,1020 3240x300 "関数名と後ろに( )を表示")x",
    R"x(Label12(1) Label in Picture8(2) 0,360 2400x255 "表示形式 : ")x",
    R"x(Option3(0) OptionButton in Picture8(2) 240,660 3240x300 "変数名を自動挿入")x",
    R"x(Option3(1) OptionButton in Picture8(2) 240,1020 3240x300 "ARG1...ARG5と続く表示を自動挿入")x",
    R"x(Label12(2) Label in Picture8(2) 0,1440 2400x255 "引数がない場合 : ")x",
    R"x(Label12(3) Label in Picture8(3) 0,360 2400x255 "戻り値がない場合 : ")x",
    R"x(Label12(4) Label in Picture8(4) 0,360 2400x255 "日付表示形式 : ")x",
    R"x(Label12(5) Label in Picture8(4) 120,660 1140x255 "頭記号")x",
    R"x(Combo1(0) ComboBox in Picture8(4) 1320,630 1560x300)x",
    R"x(Label12(6) Label in Picture8(4) 120,1020 1140x255 "区切り記号")x",
    R"x(Combo1(1) ComboBox in Picture8(4) 1320,990 1560x300)x",
    R"x(Label12(7) Label in Picture8(4) 120,1380 1140x255 "年表示形式")x",
    R"x(Combo1(2) ComboBox in Picture8(4) 1320,1350 1560x300)x",
    R"x(Label12(8) Label in Picture8(4) 0,1800 2400x255 "時間 : ")x",
    R"x(Label12(9) Label in Picture8(4) 0,2160 2400x255 "表示サンプル : ")x",
    R"x(Label12(10) Label in Picture8(5) 0,360 2400x255 "名前 : ")x",
    R"x(Label14(0) Label in Picture3(13) 2040,600 2760x255 "表示順が決まってない項目名 :")x",
    R"x(List4(0) ListBox in Picture3(13) 2040,870 2040x2820)x",
    R"x(Label14(1) Label in Picture3(13) 5040,600 2760x255 "表示順が決まった項目名 :")x",
    R"x(List4(1) ListBox in Picture3(13) 5040,870 2040x2820)x",
    R"x(Command4(0) CommandButton in Picture3(13) 4260,1620 600x375 ">")x",
    R"x(Command4(1) CommandButton in Picture3(13) 4260,2160 600x375 "<")x",
    R"x(Label37(0) Label in Picture3(60) 3240,1440 1200x255 "頭記号")x",
    R"x(Combo2(0) ComboBox in Picture3(60) 3240,1710 1200x300)x",
    R"x(Label37(1) Label in Picture3(60) 4500,1440 1200x255 "区切り記号")x",
    R"x(Combo2(1) ComboBox in Picture3(60) 4500,1710 1200x300)x",
    R"x(Label37(2) Label in Picture3(60) 5760,1440 1200x255 "年表示形式")x",
    R"x(Combo2(2) ComboBox in Picture3(60) 5760,1710 1200x300)x",
    R"x(Picture1(0) PictureBox 120,4680 240x240 picture 16x16 hidden)x",
    R"x(Picture1(1) PictureBox 375,4680 240x240 picture 16x16 hidden)x",
    R"x(Picture1(2) PictureBox 630,4680 240x240 picture 16x16 hidden)x",
    R"x(Picture1(3) PictureBox 885,4680 240x240 picture 16x16 hidden)x",
    R"x(Picture1(4) PictureBox 1140,4680 240x240 picture 16x16 hidden)x",
    R"x(Picture1(5) PictureBox 1395,4680 240x240 picture 16x16 hidden)x",
    R"x(Picture1(6) PictureBox 1650,4680 240x240 picture 16x16 hidden)x",
};
const char* const kForm2[] = {
    R"x(Form2 4920x2475 client 2055 "独自項目の追加")x",
    R"x(Label1 Label 120,180 1320x255 "項目名(&N) :")x",
    R"x(Text1 TextBox 1440,150 1920x300)x",
    R"x(Frame1 Frame 120,720 3240x975 "属性")x",
    R"x(Combo1 ComboBox in Frame1 240,360 2760x300)x",
    R"x(Command1(0) CommandButton 3540,150 1215x375 "OK" default)x",
    R"x(Command1(1) CommandButton 3540,630 1215x375 "ｷｬﾝｾﾙ" cancel)x",
    R"x(Command1(2) CommandButton 3540,1110 1215x375 "ﾍﾙﾌﾟ(&H)")x",
};
const char* const kForm3[] = {
    R"x(Form3 4500x1845 client 1425 "環境設定")x",
    R"x(Frame1 Frame 120,120 2775x1155 "ﾂｰﾙﾎﾞﾀﾝの配置場所")x",
    R"x(Option1(0) OptionButton in Frame1 240,360 2415x300 "標準ﾂｰﾙﾊﾞｰ")x",
    R"x(Option1(1) OptionButton in Frame1 240,720 2415x300 "専用ﾂｰﾙﾊﾞｰ")x",
    R"x(Command1(0) CommandButton 3060,180 1215x375 "OK" default)x",
    R"x(Command1(1) CommandButton 3060,660 1215x375 "ｷｬﾝｾﾙ" cancel)x",
};
const char* const kForm4[] = {
    R"x(Form4 5640x3525 client 3105 "ﾊﾞｰｼﾞｮﾝ情報")x",
    R"x(Picture1 Image 120,120 1185x2835 picture 79x189)x",
    R"x(Label1(0) Label 1560,240 3855x300 "Wek Quillmark Ver1.0" size 12)x",
    R"x(Label1(1) Label 1560,660 3855x255 "For Microsoft Visual Basic 6.0")x",
    R"x(Label1(2) Label 1560,1020 3855x255 "ｺｰﾄﾞｳｲﾝﾄﾞｳにｺﾒﾝﾄｽﾀﾝﾌﾟを張り付けます")x",
    R"x(Line2 Line 1560,1800-5400,1800 colour 8421504)x",
    R"x(Line1 Line 1560,1815-5400,1815 colour -2147483643)x",
    R"x(Command1(0) CommandButton 4080,2520 1335x435 "OK" default cancel)x",
};

void ExpectRows(const ui::Form& form, std::span<const char* const> expected) {
    const std::vector<std::string> rows = Describe(form);
    for (std::size_t i = 0; i < std::max(rows.size(), expected.size()); ++i) {
        EXPECT_EQ(i < rows.size() ? rows[i] : "(none)", i < expected.size() ? expected[i] : "(none)") << "row " << i;
    }
}

struct Forms {
    ui::HeadlessUi ui;
    MemoryStore store;
    FixedClock clock{{2024, 5, 6, 7, 8, 9}};
    AddInModule module;
    Form1 form1{ui, store.store, clock, Cp932()};
    Form2 form2{ui, Cp932()};
    Form3 form3{ui, store.store};
    Form4 form4{ui, module};
};

TEST(FormLayout, EveryControlWhereItWasDrawn) {
    Forms f;
    ExpectRows(f.form1, kForm1);
    ExpectRows(f.form2, kForm2);
    ExpectRows(f.form3, kForm3);
    ExpectRows(f.form4, kForm4);
}

// A load lays the version dialog out again before scaling it: at 15 twips a pixel it is as drawn
// (the form itself centred), and a second load on a finer screen does not scale twice.
TEST(FormLayout, TheVersionDialogIsLaidOutAgainOnEveryLoad) {
    Forms f;
    f.form4.Load();
    f.form4.left = f.form4.top = 0;
    ExpectRows(f.form4, kForm4);
    f.form4.Unload();
    f.module.ScreenTwipsX = f.module.ScreenTwipsY = 12;
    f.module.ScaleX = f.module.ScaleY = 0.8F;
    f.form4.Load();
    const std::vector<std::string> scaled = Describe(f.form4);
    EXPECT_EQ(f.form4.Label1(0).Get(ui::Property::Left), 1248);
    f.form4.Unload();
    f.form4.Load();
    EXPECT_EQ(Describe(f.form4), scaled);
}

// A row that does not fit its form is a mistake in the table, found when the form is made.
class Plain : public ui::Form {
public:
    explicit Plain(ui::Ui& ui) : ui::Form(ui, u"Plain") {}
    ui::Label Label1{*this, u"Label1", -1};
    std::vector<std::unique_ptr<ui::Control>> made;
};

TEST(FormLayout, ARowThatDoesNotFitItsFormIsRefused) {
    ui::HeadlessUi ui;
    struct Wrong {
        const char* what;
        ControlPlace row;
    };
    const Wrong wrongs[] = {
        {"a member of another type", {ControlType::TextBox, u"Label1", -1, nullptr, -1, 0, 0, 10, 10}},
        {"a container not on the form", {ControlType::Label, u"Label2", -1, u"Frame1", -1, 0, 0, 10, 10}},
        {"a caption on a text box", {ControlType::TextBox, u"Text1", -1, nullptr, -1, 0, 0, 10, 10, u"x"}},
        {"a label as the default button", {ControlType::Label, u"Label1", -1, nullptr, -1, 0, 0, 10, 10, nullptr, look::kDefault}},
    };
    for (const Wrong& w : wrongs) {
        Plain form(ui);
        EXPECT_THROW(LayOut(form, std::span(&w.row, 1), form.made), std::exception) << w.what;
    }
    // Laid out twice, a form keeps its controls: the second pass places what the first one made.
    Plain form(ui);
    const ControlPlace rows[] = {{ControlType::Frame, u"Frame1", -1, nullptr, -1, 10, 20, 300, 400, u"F"},
                                 {ControlType::OptionButton, u"Option1", 0, u"Frame1", -1, 1, 2, 3, 4, u"&A"},
                                 {ControlType::Line, u"Line1", -1, nullptr, -1, 5, 6, 7, 8}};
    LayOut(form, rows, form.made);
    LayOut(form, rows, form.made);
    EXPECT_EQ(form.made.size(), 3U);
    EXPECT_EQ(form.Controls().size(), 4U);
    EXPECT_EQ(ControlOf<ui::OptionButton>(form, u"Option1", 0)->Container(), form.Find(u"Frame1"));
    const auto* line = ControlOf<ui::Line>(form, u"Line1", -1);
    EXPECT_EQ(std::vector<double>({line->x1, line->y1, line->x2, line->y2}), std::vector<double>({5, 6, 7, 8}));
}

}  // namespace
}  // namespace qm::test
