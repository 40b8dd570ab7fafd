#include "addin/wizard/form1.h"

#include <algorithm>

#include "addin/resources/button_faces.h"
#include "addin/shell/help.h"
#include "addin/shell/addin_class.h"
#include "addin/stamps/edit_stamp.h"
#include "addin/stamps/stamp_date.h"
#include "addin/settings/format_rules.h"
#include "addin/wizard/form2.h"
#include "addin/wizard/wizard_pages.h"
#include "platform/failure.h"
#include "platform/text.h"

namespace qm {
namespace {

constexpr int kPages[] = {0, 1, 10, 11, 12, 13, 14, 60, 100};
constexpr int kPanels[] = {0, 1, 2, 3, 4, 5};

// Page body and button row, in twips.
constexpr double kBodyLeft = 2040;
constexpr double kBodyWidth = 5520;

std::u16string IntroText() {
    const char16_t* lines[] = {u"Wek Quillmark ﾌｫｰﾏｯﾄ ｳｨｻﾞｰﾄﾞ は、Visual Basic の ｺｰﾄﾞ",
                               u"で Wek Quillmark ﾌｫｰﾏｯﾄを作成するための次のような作業",
                               u"を支援します。",
                               u"",
                               u"- ｺｰﾄﾞの編集作業を記録するｽﾀﾝﾌﾟのﾌｫｰﾏｯﾄ作成",
                               u"",
                               u"- Lexivaneなどで使用する関数説明のﾌｫｰﾏｯﾄ作成",
                               u"",
                               u"",
                               u"",
                               u"",
                               u"",
                               u"",
                               u"",
                               u"",
                               u"[戻る]をｸﾘｯｸすることにより、選択内容をいつでも変更でき",
                               u"ます。開始するには[次へ]をｸﾘｯｸしてください。"};
    std::u16string text;
    for (std::size_t i = 0; i < std::size(lines); ++i) {
        if (i > 0) text += u"\r";
        text += lines[i];
    }
    return text;
}


template <class T>
std::unique_ptr<T> Make(ui::Form& form, const char16_t* name, int index, ui::Control* container, double l, double t, double w, double h) {
    auto control = std::make_unique<T>(form, name, index);
    control->SetContainer(container);
    control->Move(l, t, w, h);
    return control;
}

// A kind shown by a panel: -1 has the empty panel 1.
std::int16_t PanelKind(std::int32_t itemKind) { return itemKind == kind::kNone ? kind::kEmptyPanel : static_cast<std::int16_t>(itemKind); }


}  // namespace

Form1::Form1(ui::Ui& ui, SettingsStore& store, const Clock& clock, const Codepage& codepage)
    : ui::Form(ui, u"Form1"), store_(store), clock_(clock), codepage_(codepage) {
    caption = u"Wek Quillmark ﾌｫｰﾏｯﾄ ｳｨｻﾞｰﾄﾞ - ";
    width = 7815;
    height = 5145;
    scaleHeight = 4725;

    // The pages, one on top of the other, each with its picture.
    for (const int page : kPages) {
        Picture3[page] = Make<ui::PictureBox>(*this, u"Picture3", page, nullptr, 0, 0, 7815, 4140);
        PageImage[page] = Make<ui::Image>(*this, u"Image1", page, Picture3[page].get(), 120, 120, 1185, 2835);
        PageImage[page]->picture = ProductImage();
    }
    const char16_t* buttons[] = {u"ﾍﾙﾌﾟ(&H)", u"ｷｬﾝｾﾙ", u"< 戻る(&B)", u"次へ (&N)>", u"完了(&F)"};
    const double buttonLeft[] = {120, 3000, 4170, 5340, 6510};
    for (int i = 0; i < 5; ++i) {
        Command1[static_cast<std::size_t>(i)] = Make<ui::CommandButton>(*this, u"Command1", i, nullptr, buttonLeft[i], 4260, 1095, 375);
        Command1[static_cast<std::size_t>(i)]->caption = buttons[i];
        Command1[static_cast<std::size_t>(i)]->onClick = [this, i] { Command1_Click(i); };
    }
    Command1[1]->isCancel = true;
    Command1[3]->isDefault = true;

    ui::Control* p0 = Picture3[0].get();
    Label1.SetContainer(p0);
    Label1.Move(kBodyLeft, 120, kBodyWidth, 3300);
    Check1.SetContainer(p0);
    Check1.caption = u"次回からこの画面を表示しない(&S)";
    Check1.Move(kBodyLeft, 3600, kBodyWidth, 300);

    ui::Control* p1 = Picture3[1].get();
    Label2.SetContainer(p1);
    Label2.caption = u"ﾌｫｰﾏｯﾄを作成する種類を選択してください。";
    Label2.Move(kBodyLeft, 240, kBodyWidth, 300);
    Option1[0] = Make<ui::OptionButton>(*this, u"Option1", 0, p1, kBodyLeft + 240, 840, 4800, 300);
    Option1[0]->caption = u"Lexivaneなどで使用する関数説明のﾌｫｰﾏｯﾄ作成";
    Option1[1] = Make<ui::OptionButton>(*this, u"Option1", 1, p1, kBodyLeft + 240, 1320, 4800, 300);
    Option1[1]->caption = u"ｺｰﾄﾞの編集作業を記録するｽﾀﾝﾌﾟのﾌｫｰﾏｯﾄ作成";

    ui::Control* p10 = Picture3[10].get();
    Label3.SetContainer(p10);
    Label3.caption = u"下記の一覧は、ﾌｫｰﾏｯﾄで使用する可能性のある項目名です。";
    Label3.Move(kBodyLeft, 120, kBodyWidth, 255);
    Label4.SetContainer(p10);
    Label4.Move(kBodyLeft, 420, kBodyWidth, 480);
    Label5.SetContainer(p10);
    Label5.caption = u"独自の項目名を追加するには、[次へ]をｸﾘｯｸしてください。";
    Label5.Move(kBodyLeft, 3780, kBodyWidth, 255);
    const char16_t* listLabels10[] = {u"使用できる項目名 :", u"選択された項目名 :"};
    for (int i = 0; i < 2; ++i) {
        const double x = i == 0 ? kBodyLeft : kBodyLeft + 3000;
        Label6[static_cast<std::size_t>(i)] = Make<ui::Label>(*this, u"Label6", i, p10, x, 960, 2040, 255);
        Label6[static_cast<std::size_t>(i)]->caption = listLabels10[i];
        List1[static_cast<std::size_t>(i)] = Make<ui::ListBox>(*this, u"List1", i, p10, x, 1230, 2040, 2460);
        List1[static_cast<std::size_t>(i)]->onDblClick = [this, i] { List1_DblClick(i); };
    }
    const char16_t* moves10[] = {u">", u">>", u"<", u"<<"};
    for (int i = 0; i < 4; ++i) {
        Command2[static_cast<std::size_t>(i)] =
            Make<ui::CommandButton>(*this, u"Command2", i, p10, kBodyLeft + 2220, 1380.0 + 540 * i, 600, 375);
        Command2[static_cast<std::size_t>(i)]->caption = moves10[i];
        Command2[static_cast<std::size_t>(i)]->onClick = [this, i] { Command2_Click(i); };
    }

    ui::Control* p11 = Picture3[11].get();
    Label7.SetContainer(p11);
    Label7.caption = u"ﾌｫｰﾏｯﾄに独自の項目を追加します。ここで指定する項目は、前のｽﾃｯﾌﾟで選択した項目と重複してはいけません。";
    Label7.Move(kBodyLeft, 120, kBodyWidth, 735);
    Label9.SetContainer(p11);
    Label9.caption = u"追加の項目名 :";
    Label9.Move(kBodyLeft, 960, 3240, 255);
    List2.SetContainer(p11);
    List2.Move(kBodyLeft, 1230, 3240, 2640);
    List2.onDblClick = [this] { List2_DblClick(); };
    const char16_t* customButtons[] = {u"追加(&W)...", u"編集(&E)...", u"削除(&D)"};
    for (int i = 0; i < 3; ++i) {
        Command3[static_cast<std::size_t>(i)] =
            Make<ui::CommandButton>(*this, u"Command3", i, p11, kBodyLeft + 3480, 1230.0 + 480 * i, 1455, 375);
        Command3[static_cast<std::size_t>(i)]->caption = customButtons[i];
        Command3[static_cast<std::size_t>(i)]->onClick = [this, i] { Command3_Click(i); };
    }

    ui::Control* p12 = Picture3[12].get();
    const char16_t* texts12[] = {u"各項目の属性詳細を指定します。",
                                 u"変更する属性を持つ項目名を選択し、値を変更します。変更する項目ごとに繰り返してください。",
                                 u"属性詳細の変更を完了する場合は、[次へ]をｸﾘｯｸしてください。"};
    const double top12[] = {120, 390, 3780};
    const double height12[] = {255, 495, 255};
    for (int i = 0; i < 3; ++i) {
        Label8[static_cast<std::size_t>(i)] = Make<ui::Label>(*this, u"Label8", i, p12, kBodyLeft, top12[i], kBodyWidth, height12[i]);
        Label8[static_cast<std::size_t>(i)]->caption = texts12[i];
    }
    Label10.SetContainer(p12);
    Label10.caption = u"項目名 :";
    Label10.Move(kBodyLeft, 960, 1680, 255);
    List3.SetContainer(p12);
    List3.Move(kBodyLeft, 1230, 1680, 2460);
    List3.onClick = [this] { List3_Click(); };
    Frame2.SetContainer(p12);
    Frame2.caption = u"属性詳細情報";
    Frame2.Move(kBodyLeft + 1800, 900, 3720, 2820);
    const char16_t* panelTitles[] = {u"属性 : 関数名", u"属性 : なし",   u"属性 : 引数",
                                     u"属性 : 戻り値", u"属性 : 作成日", u"属性 : 作成者"};
    for (const int kind : kPanels) {
        Picture8[kind] = Make<ui::PictureBox>(*this, u"Picture8", kind, &Frame2, 120, 240, 3480, 2460);
        Label11[kind] = Make<ui::Label>(*this, u"Label11", kind, Picture8[kind].get(), 0, 0, 3480, 255);
        Label11[kind]->caption = panelTitles[kind];
    }
    const auto panelLabel = [&](int kind, const char16_t* text, double y) {
        panelLabels.push_back(
            Make<ui::Label>(*this, u"Label12", static_cast<int>(panelLabels.size()), Picture8[kind].get(), 0, y, 2400, 255));
        panelLabels.back()->caption = text;
    };
    panelLabel(0, u"表示形式 : ", 360);
    Option2[0] = Make<ui::OptionButton>(*this, u"Option2", 0, Picture8[0].get(), 240, 660, 3240, 300);
    Option2[0]->caption = u"関数名のみ表示";
    Option2[1] = Make<ui::OptionButton>(*this, u"Option2", 1, Picture8[0].get(), 240, 1020, 3240, 300);
    Option2[1]->caption = u"関数名と後ろに( )を表示";
    panelLabel(2, u"表示形式 : ", 360);
    Option3[0] = Make<ui::OptionButton>(*this, u"Option3", 0, Picture8[2].get(), 240, 660, 3240, 300);
    Option3[0]->caption = u"変数名を自動挿入";
    Option3[1] = Make<ui::OptionButton>(*this, u"Option3", 1, Picture8[2].get(), 240, 1020, 3240, 300);
    Option3[1]->caption = u"ARG1...ARG5と続く表示を自動挿入";
    panelLabel(2, u"引数がない場合 : ", 1440);
    Check2.SetContainer(Picture8[2].get());
    Check2.caption = u"(なし)と表示する";
    Check2.Move(240, 1740, 3240, 300);
    panelLabel(3, u"戻り値がない場合 : ", 360);
    Check3.SetContainer(Picture8[3].get());
    Check3.caption = u"(なし)と表示する";
    Check3.Move(240, 660, 3240, 300);
    panelLabel(4, u"日付表示形式 : ", 360);
    const char16_t* dateLists[] = {u"頭記号", u"区切り記号", u"年表示形式"};
    for (int i = 0; i < 3; ++i) {
        panelLabels.push_back(
            Make<ui::Label>(*this, u"Label12", static_cast<int>(panelLabels.size()), Picture8[4].get(), 120, 660.0 + 360 * i, 1140, 255));
        panelLabels.back()->caption = dateLists[i];
        Combo1[static_cast<std::size_t>(i)] = Make<ui::ComboBox>(*this, u"Combo1", i, Picture8[4].get(), 1320, 630.0 + 360 * i, 1560, 300);
        Combo1[static_cast<std::size_t>(i)]->onClick = [this, i] { Combo1_Click(i); };
    }
    panelLabel(4, u"時間 : ", 1800);
    Check4.SetContainer(Picture8[4].get());
    Check4.caption = u"表示する";
    Check4.Move(1320, 1770, 1560, 300);
    Check4.onClick = [this] { Check4_Click(); };
    panelLabel(4, u"表示サンプル : ", 2160);
    Label21.SetContainer(Picture8[4].get());
    Label21.caption = u"1999-11-10 18:30:25";
    Label21.Move(1320, 2160, 2100, 255);
    Label21.useMnemonic = false;  // a live sample: every character as it is
    panelLabel(5, u"名前 : ", 360);
    Text1.SetContainer(Picture8[5].get());
    Text1.Move(240, 660, 3240, 300);

    ui::Control* p13 = Picture3[13].get();
    Label13.SetContainer(p13);
    Label13.caption = u"項目名を希望する表示順に置き換えます。";
    Label13.Move(kBodyLeft, 120, kBodyWidth, 255);
    const char16_t* listLabels13[] = {u"表示順が決まってない項目名 :", u"表示順が決まった項目名 :"};
    for (int i = 0; i < 2; ++i) {
        const double x = i == 0 ? kBodyLeft : kBodyLeft + 3000;
        Label14[static_cast<std::size_t>(i)] = Make<ui::Label>(*this, u"Label14", i, p13, x, 600, 2760, 255);
        Label14[static_cast<std::size_t>(i)]->caption = listLabels13[i];
        List4[static_cast<std::size_t>(i)] = Make<ui::ListBox>(*this, u"List4", i, p13, x, 870, 2040, 2820);
        List4[static_cast<std::size_t>(i)]->onDblClick = [this, i] { List4_DblClick(i); };
    }
    const char16_t* moves13[] = {u">", u"<"};
    for (int i = 0; i < 2; ++i) {
        Command4[static_cast<std::size_t>(i)] =
            Make<ui::CommandButton>(*this, u"Command4", i, p13, kBodyLeft + 2220, 1620.0 + 540 * i, 600, 375);
        Command4[static_cast<std::size_t>(i)]->caption = moves13[i];
        Command4[static_cast<std::size_t>(i)]->onClick = [this, i] { Command4_Click(i); };
    }

    ui::Control* p14 = Picture3[14].get();
    Label26.SetContainer(p14);
    Label26.caption =
        u"全体の外観を拡張します。ｺﾒﾝﾄの記号[']の後のｽﾍﾟｰｽ設定や項目欄の最上位と最下位に記号文字などを使用したﾗｲﾝを拡張します。";
    Label26.Move(kBodyLeft, 120, kBodyWidth, 735);
    Frame3.SetContainer(p14);
    Frame3.caption = u"拡張";
    Frame3.Move(kBodyLeft, 960, kBodyWidth, 2700);
    Label15.SetContainer(&Frame3);
    Label15.caption = u"ｺﾒﾝﾄの記号[']の後のｽﾍﾟｰｽの値 :";
    Label15.Move(120, 360, 3000, 255);
    Text2.SetContainer(&Frame3);
    Text2.Move(3240, 330, 720, 300);
    Check5.SetContainer(&Frame3);
    Check5.caption = u"項目欄の最上位と最下位に記号文字ﾗｲﾝを挿入する";
    Check5.Move(120, 900, 4800, 300);
    Check5.onClick = [this] { Check5_Click(); };
    Label29.SetContainer(&Frame3);
    Label29.caption = u"ﾗｲﾝ :";
    Label29.Move(360, 1380, 600, 255);
    Label30.SetContainer(&Frame3);
    Label30.caption = u"記号文字 :";
    Label30.Move(1020, 1380, 1080, 255);
    Text3.SetContainer(&Frame3);
    Text3.Move(2160, 1350, 720, 300);
    Label31.SetContainer(&Frame3);
    Label31.caption = u"× 表示倍数 :";
    Label31.Move(3000, 1380, 1320, 255);
    Text4.SetContainer(&Frame3);
    Text4.Move(4440, 1350, 720, 300);

    ui::Control* p60 = Picture3[60].get();
    Label33.SetContainer(p60);
    Label33.caption = u"ｺｰﾄﾞの編集作業を記録するｽﾀﾝﾌﾟのﾌｫｰﾏｯﾄを作成します。";
    Label33.Move(kBodyLeft, 120, kBodyWidth, 255);
    Label32.SetContainer(p60);
    Label32.caption = u"名前 : ";
    Label32.Move(kBodyLeft, 600, 1080, 255);
    Text5.SetContainer(p60);
    Text5.Move(kBodyLeft + 1200, 570, 2400, 300);
    Text5.onChange = [this] { Text5_Change(); };
    Label35.SetContainer(p60);
    Label35.caption = u"日付 : ";
    Label35.Move(kBodyLeft, 1080, 1080, 255);
    Check6.SetContainer(p60);
    Check6.caption = u"表示する";
    Check6.Move(kBodyLeft + 1200, 1050, 1560, 300);
    Check6.onClick = [this] { Check6_Click(); };
    for (int i = 0; i < 3; ++i) {
        Label37[static_cast<std::size_t>(i)] = Make<ui::Label>(*this, u"Label37", i, p60, kBodyLeft + 1200 + 1260.0 * i, 1440, 1200, 255);
        Label37[static_cast<std::size_t>(i)]->caption = dateLists[i];
        Combo2[static_cast<std::size_t>(i)] = Make<ui::ComboBox>(*this, u"Combo2", i, p60, kBodyLeft + 1200 + 1260.0 * i, 1710, 1200, 300);
        Combo2[static_cast<std::size_t>(i)]->onClick = [this, i] { Combo2_Click(i); };
    }
    Label38.SetContainer(p60);
    Label38.caption = u"時間 : ";
    Label38.Move(kBodyLeft, 2220, 1080, 255);
    Check7.SetContainer(p60);
    Check7.caption = u"表示する";
    Check7.Move(kBodyLeft + 1200, 2190, 1560, 300);
    Check7.onClick = [this] { Check7_Click(); };
    Label39.SetContainer(p60);
    Label39.caption = u"表示ｻﾝﾌﾟﾙ : ";
    Label39.Move(kBodyLeft, 2760, 1200, 255);
    Label34.SetContainer(p60);
    Label34.Move(kBodyLeft, 3060, kBodyWidth, 600);
    Label34.useMnemonic = false;  // a live sample, with the user's own name in it
    Label34.fontName = u"ＭＳ ゴシック";

    ui::Control* p100 = Picture3[100].get();
    Label36.SetContainer(p100);
    Label36.Move(kBodyLeft, 240, kBodyWidth, 975);
    Label40.SetContainer(p100);
    Label40.caption = u"処理を完了するときは [完了] をｸﾘｯｸしてください。";
    Label40.Move(kBodyLeft, 3600, kBodyWidth, 255);

    for (int i = 0; i < kButtonFaceCount; ++i) {
        auto& picture = Picture1[static_cast<std::size_t>(i)];
        picture = std::make_unique<ui::PictureBox>(*this, u"Picture1", i);
        picture->picture = ButtonFace(i);
        picture->Move(120.0 + 255 * i, 4680, 240, 240);
        picture->SetVisible(false);
    }
    Timer1.onTimer = [this] {
        if (addInClass != nullptr) addInClass->SetBottn();
    };
}

// Every control as designed: a load always starts from scratch.
void Form1::Design() {
    caption = u"Wek Quillmark ﾌｫｰﾏｯﾄ ｳｨｻﾞｰﾄﾞ - ";
    CurrentPage = 0;
    PreviousPage = 0;
    RebuildItemList = false;
    RebuildOrderList = false;
    CurrentRow = 0;
    CurrentKind = -1;
    PreviousKind = -1;
    SuppressRowEvent = false;
    for (auto& [page, box] : Picture3) box->SetVisible(false);
    for (auto& [kind, panel] : Picture8) panel->SetVisible(false);
    for (auto& b : Command1) b->SetEnabled(true);
    Check1.SetValue(0);
    Option1[0]->SetValue(true);
    for (auto& l : List1) l->Clear();
    List2.Clear();
    customIds_.clear();
    rowIds_.clear();
    orderIds_.clear();
    List3.Clear();
    for (auto& l : List4) l->Clear();
    for (auto& b : Command3) b->SetEnabled(true);
    for (auto& c : Combo1) c->Clear();
    for (auto& c : Combo2) c->Clear();
    Option2[0]->SetValue(true);
    Option3[0]->SetValue(true);
    Check2.SetValue(0);
    Check3.SetValue(0);
    Check4.SetValue(0);
    Label21.caption = u"1999-11-10 18:30:25";
    Text1.SetText(u"");
    Text2.SetText(u"1");
    Text3.SetText(u"-");
    Text4.SetText(u"1");
    for (ui::Control* c : {static_cast<ui::Control*>(&Label30), static_cast<ui::Control*>(&Text3), static_cast<ui::Control*>(&Label31),
                           static_cast<ui::Control*>(&Text4)}) {
        c->SetEnabled(true);
    }
    Text5.SetText(u"");
    Label34.caption.clear();
    Label36.caption.clear();
    Timer1.SetInterval(1);
    Timer1.SetTimerEnabled(false);
    for (auto& item : ItemAttributes) item = ItemAttribute{};
    PadAll.clear();
}

void Form1::FillDateLists(std::array<std::unique_ptr<ui::ComboBox>, 3>& lists) {
    lists[0]->Clear();
    lists[0]->AddItem(u"(なし)");
    lists[0]->AddItem(u"'");
    lists[1]->Clear();
    for (const char16_t* s : {u"(なし)", u".", u"/", u"-"}) lists[1]->AddItem(s);
    lists[2]->Clear();
    for (std::int16_t form = 0; form < 4; ++form) lists[2]->AddItem(YearFormText(form, loadedAt_));
}

void Form1::Form_Load() {
    loadedAt_ = clock_.Now();
    Design();
    // 1, 2: centred, with its introduction.
    Centre();
    Label1.caption = IntroText();
    // 3: the hint of the fixed item page.
    Label4.caption = store_.ReadSettingNumber(u"SetSelectList", 0) != 0
                         ? u"あらかじめ選択されている項目名は、既に使用されている項目名です。"
                         : u"あらかじめ選択されている項目名は、大部分のﾌｫｰﾏｯﾄで使用されている標準の項目名です。";
    // 4: the fixed items.
    const auto defaultText = [](const char16_t* name) { return FindSetting(name)->defaultText; };
    const std::vector<int> chosen = ParseFixedFormList(store_.ReadSettingString(u"FixedFormList", defaultText(u"FixedFormList")));
    for (int n = 0; n < kFixedItemCount; ++n) {
        const bool isChosen = std::find(chosen.begin(), chosen.end(), n) != chosen.end();
        List1[isChosen ? 1 : 0]->AddItem(FixedItems()[static_cast<std::size_t>(n)].name, n);
    }
    // 5: the custom items.
    const auto custom = ParseCustomFormList(store_.ReadSettingString(u"CustomFormList", defaultText(u"CustomFormList")));
    for (const CustomItem& item : custom) List2.AddItem(item.name, item.kind);
    SyncCustomIds();
    if (List2.ListCount() == 0) {
        Command3[1]->SetEnabled(false);
        Command3[2]->SetEnabled(false);
    } else {
        List2.SetListIndex(0);
    }
    // 6, 7: the date panel's lists, and its sample.
    FillDateLists(Combo1);
    for (auto& c : Combo1) c->SetListIndex(1);
    Label21.caption = PreviewCreationDate();
    // 8: the item list and its records at their defaults.
    CurrentPage = 12;
    RebuildItemList = true;
    ShowPage();
    // 9: the stored display order and attributes, through the stamps' own parser.
    {
        FormatModel parsed;
        for (int r = 0; r < List3.ListCount(); ++r) {
            parsed.ItemList.push_back({List3.Entry(r).text, static_cast<AttributeKind>(List3.Entry(r).tag)});
        }
        parsed.ItemAttributes = ItemAttributes;
        ParseSelectDatas(store_.ReadSettingString(u"SelectDatas", defaultText(u"SelectDatas")), parsed);
        for (const int row : parsed.DisplayOrder) List4[1]->AddItem(List3.Entry(row).text, row);
        orderIds_ = rowIds_;
        for (std::size_t r = 0; r < kMaxItemRows; ++r) {
            ItemAttributes[r].Attr1 = parsed.ItemAttributes[r].Attr1;
            ItemAttributes[r].Attr2 = parsed.ItemAttributes[r].Attr2;
            ItemAttributes[r].Attr3 = parsed.ItemAttributes[r].Attr3;
            ItemAttributes[r].Attr4 = parsed.ItemAttributes[r].Attr4;
            ItemAttributes[r].AttrText = parsed.ItemAttributes[r].AttrText;
        }
    }
    // 10: the first row's stored values into its panel.
    CurrentKind = -1;
    if (List3.ListCount() > 0) List3_Click();
    // 11: the appearance, then the padding.
    {
        FormatModel parsed;
        ParseExtendValue(store_.ReadSettingString(u"ExtendValue", defaultText(u"ExtendValue")), parsed);
        Text2.SetText(parsed.Indent);
        // Only 1 draws the lines; any other stored number shows as unchecked.
        Check5.SetValue(parsed.RulerOn == 1 ? 1 : 0);
        Check5_Click();
        Text4.SetText(parsed.RulerCount);
        Text3.SetText(parsed.RulerSymbol);
        ComputeItemPadding();
    }
    // 12 to 14: the edit-record page and its sample.
    FillDateLists(Combo2);
    {
        FormatModel parsed;
        ParseEditStamp(store_.ReadSettingString(u"EditStamp", defaultText(u"EditStamp")), parsed);
        Check6.SetValue(parsed.ShowDate == 1 ? 1 : 0);
        Check6_Click();
        const std::int16_t choices[] = {parsed.HeadMark, parsed.DateSeparator, parsed.YearForm};
        for (std::size_t i = 0; i < 3; ++i) {
            // A position outside the list chooses nothing, which is also how the stamp reads it.
            const int index = choices[i] >= 0 && choices[i] < Combo2[i]->ListCount() ? choices[i] : -1;
            Combo2[i]->SetListIndex(index);
        }
        Check7.SetValue(parsed.ShowTime == 1 ? 1 : 0);
        Text5.SetText(parsed.EditorName);
        Label34.caption = PreviewEditMarker();
    }
    // 15 to 18.
    Picture3[12]->SetVisible(false);
    Check1.SetValue(store_.ReadSettingNumber(u"StartVisible", 0) == 0 ? 0 : 1);
    Command1[4]->SetEnabled(false);
    CurrentPage = Check1.Value() == 0 ? 0 : 1;
    ShowPage();
}

std::u16string Form1::PageTitle(int page) {
    const WizardPage* found = FindWizardPage(page);
    return std::u16string(kWizardTitleHead) + (found != nullptr ? found->title : u"");
}

void Form1::StepPage(int button) {
    PreviousPage = CurrentPage;
    const WizardPage* page = FindWizardPage(CurrentPage);
    if (page == nullptr) return;
    const bool functionStamp = Option1[0]->Value();
    if (button == 2) {
        CurrentPage = functionStamp ? page->backFunction : page->backEdit;
    } else {
        CurrentPage = functionStamp ? page->nextFunction : page->nextEdit;
    }
}

void Form1::ShowPage() {
    caption = PageTitle(CurrentPage);
    if (const WizardPage* page = FindWizardPage(CurrentPage)) {
        const auto apply = [](ui::CommandButton& button, ButtonState state) {
            if (state != ButtonState::Keep) button.SetEnabled(state == ButtonState::Enable);
        };
        if (page->rebuildItems && RebuildItemList) RebuildItems();
        if (page->rebuildOrder && RebuildOrderList) RebuildOrder();
        if (CurrentPage == 13) UpdateOrderNext();
        if (CurrentPage == 100) {
            Label36.caption =
                u"Wek Quillmark ﾌｫｰﾏｯﾄ ｳｨｻﾞｰﾄﾞは、Visual Basic の ｺｰﾄﾞで Wek Quillmark "
                u"ﾌｫｰﾏｯﾄを作成するために必要な情報の収集を完了しました。";
        }
        apply(*Command1[2], page->back);
        apply(*Command1[3], page->next);
        apply(*Command1[4], page->finish);
    }
    const auto current = Picture3.find(CurrentPage);
    if (current != Picture3.end()) {
        current->second->SetVisible(true);
        current->second->ZOrderFront();
    }
    if (PreviousPage != CurrentPage) {
        const auto previous = Picture3.find(PreviousPage);
        if (previous != Picture3.end()) previous->second->SetVisible(false);
    }
}

void Form1::RebuildItems() {
    RebuildItemList = false;
    for (auto& item : ItemAttributes) item = ItemAttribute{};
    List3.Clear();
    rowIds_.clear();
    const auto append = [&](const std::u16string& text, std::int32_t kind, std::uint32_t id) {
        // The table has 31 rows; more items were refused where they were added.
        if (List3.ListCount() >= static_cast<int>(kMaxItemRows)) return;
        List3.AddItem(text, kind);
        rowIds_.push_back(id);
        ItemAttributes[static_cast<std::size_t>(List3.ListCount() - 1)] = DefaultAttributes(static_cast<AttributeKind>(kind));
    };
    for (const auto& entry : List1[1]->Entries()) {
        append(entry.text, FixedItems()[static_cast<std::size_t>(entry.tag)].kind, static_cast<std::uint32_t>(entry.tag));
    }
    SyncCustomIds();
    for (int i = 0; i < List2.ListCount(); ++i) append(List2.Entry(i).text, List2.Entry(i).tag, customIds_[static_cast<std::size_t>(i)]);
    CurrentKind = -1;
    if (List3.ListCount() > 0) {
        List3.SetListIndex(0);
        CurrentKind = PanelKind(List3.Entry(0).tag);
    } else {
        // No item at all: the empty panel.
        CurrentRow = 0;
        CurrentKind = 1;
    }
    ShowPanel(CurrentKind);
}

void Form1::ShowPanel(int kind) {
    for (auto& [k, panel] : Picture8) {
        if (k == kind) {
            panel->SetVisible(true);
            panel->ZOrderFront();
        } else {
            panel->SetVisible(false);
        }
    }
}

void Form1::RebuildOrder() {
    RebuildOrderList = false;
    List4[0]->Clear();
    List4[1]->Clear();
    for (int r = 0; r < List3.ListCount(); ++r) List4[0]->AddItem(List3.Entry(r).text, r);
    orderIds_ = rowIds_;
}

void Form1::UpdateOrderNext() { Command1[3]->SetEnabled(List4[0]->ListCount() == 0); }

void Form1::StoreAttributePanel() {
    if (CurrentPage != 12) return;
    if (CurrentRow < 0 || static_cast<std::size_t>(CurrentRow) >= kMaxItemRows) return;
    ItemAttribute& record = ItemAttributes[static_cast<std::size_t>(CurrentRow)];
    switch (CurrentKind) {
        case kind::kFunctionName:
            record.Attr1 = Option2[0]->Value() ? 0 : 1;
            break;
        case kind::kArguments:
            record.Attr1 = Option3[0]->Value() ? 0 : 1;
            record.Attr2 = static_cast<std::int16_t>(Check2.Value());
            break;
        case kind::kReturnValue:
            record.Attr1 = static_cast<std::int16_t>(Check3.Value());
            break;
        case kind::kCreationDate:
            record.Attr1 = static_cast<std::int16_t>(Combo1[0]->ListIndex());
            record.Attr2 = static_cast<std::int16_t>(Combo1[1]->ListIndex());
            record.Attr3 = static_cast<std::int16_t>(Combo1[2]->ListIndex());
            record.Attr4 = static_cast<std::int16_t>(Check4.Value());
            break;
        case kind::kAuthor:
            // A text the page's check refuses never reaches the record, whoever stores the panel.
            if (!CheckAuthorText(Text1.Text())) record.AttrText = Text1.Text();
            break;
        default:
            break;
    }
}

void Form1::List3_Click() {
    if (SuppressRowEvent) return;
    if (!ValidateWizardPage()) {
        SuppressRowEvent = true;
        Attempt([&] { List3.SetListIndex(CurrentRow); });
        SuppressRowEvent = false;
        return;
    }
    StoreAttributePanel();
    if (CurrentKind == -1) CurrentKind = 1;
    PreviousKind = CurrentKind;
    const int row = List3.ListIndex();
    if (row < 0) return;
    CurrentRow = static_cast<std::int16_t>(row);
    CurrentKind = PanelKind(List3.Entry(row).tag);
    const ItemAttribute& record = ItemAttributes[static_cast<std::size_t>(std::min<int>(row, kMaxItemRows - 1))];
    const auto listIndex = [](const ui::ComboBox& combo, std::int16_t value) {
        return value >= 0 && value < combo.ListCount() ? value : -1;
    };
    switch (CurrentKind) {
        // Only 1 asks for the second form; any other stored number shows the first.
        case kind::kFunctionName:
            Option2[record.Attr1 == 1 ? 1 : 0]->SetValue(true);
            break;
        case kind::kArguments:
            Option3[record.Attr1 == 1 ? 1 : 0]->SetValue(true);
            Check2.SetValue(record.Attr2 == 1 ? 1 : 0);
            break;
        case kind::kReturnValue:
            Check3.SetValue(record.Attr1 == 1 ? 1 : 0);
            break;
        case kind::kCreationDate:
            Combo1[0]->SetListIndex(listIndex(*Combo1[0], record.Attr1));
            Combo1[1]->SetListIndex(listIndex(*Combo1[1], record.Attr2));
            Combo1[2]->SetListIndex(listIndex(*Combo1[2], record.Attr3));
            Check4.SetValue(record.Attr4 == 1 ? 1 : 0);
            Label21.caption = PreviewCreationDate();
            break;
        case kind::kAuthor:
            Text1.SetText(record.AttrText);
            break;
        default:
            break;
    }
    if (CurrentKind != PreviousKind) ShowPanel(CurrentKind);
}

bool Form1::ValidateWizardPage() {
    std::optional<FormatRefusal> refusal;
    if (CurrentPage == 12 && CurrentKind == kind::kAuthor) refusal = CheckAuthorText(Text1.Text());
    if (CurrentPage == 14) refusal = CheckAppearance(Text2.Text(), Check5.Value() == 1, Text3.Text(), Text4.Text(), codepage_);
    if (CurrentPage == 60) refusal = CheckEditorName(Text5.Text());
    if (!refusal) return true;
    Message(refusal->message);
    ui::TextBox* field = &Text2;
    switch (refusal->field) {
        case FormatField::AuthorText:
            field = &Text1;
            break;
        case FormatField::RulerSymbol:
            field = &Text3;
            break;
        case FormatField::RulerCount:
            field = &Text4;
            break;
        case FormatField::EditorName:
            field = &Text5;
            break;
        default:
            break;
    }
    Attempt([&] { field->SetFocus(); });
    return false;
}

FormatModel Form1::Model() const {
    FormatModel m;
    for (const auto& e : List1[1]->Entries()) m.ChosenFixedItems.push_back(e.tag);
    for (const auto& e : List2.Entries()) m.CustomItems.push_back({e.text, e.tag});
    for (const auto& e : List3.Entries()) m.ItemList.push_back({e.text, static_cast<AttributeKind>(e.tag)});
    m.ItemAttributes = ItemAttributes;
    for (const auto& e : List4[1]->Entries()) m.DisplayOrder.push_back(e.tag);
    m.PadAll = PadAll;
    m.Indent = Text2.Text();
    m.RulerOn = static_cast<std::int16_t>(Check5.Value());
    m.RulerCount = Text4.Text();
    m.RulerSymbol = Text3.Text();
    m.ShowDate = static_cast<std::int16_t>(Check6.Value());
    m.HeadMark = static_cast<std::int16_t>(Combo2[0]->ListIndex());
    m.DateSeparator = static_cast<std::int16_t>(Combo2[1]->ListIndex());
    m.YearForm = static_cast<std::int16_t>(Combo2[2]->ListIndex());
    m.ShowTime = static_cast<std::int16_t>(Check7.Value());
    m.EditorName = Text5.Text();
    return m;
}

FormatModel Form1::ModelToSave() const {
    FormatModel shown = Model();
    if (!RebuildItemList && !RebuildOrderList) return shown;
    // The fixed or custom items changed after the display order was decided (a Back from the last
    // page, then Finish): the order keeps the items that still exist, in their order, under their new
    // rows and with their records; a removed item leaves it, a new one is not in it.
    FormatModel fresh = shown;
    BuildItemList(fresh);
    std::vector<std::uint32_t> freshIds;
    for (const int n : fresh.ChosenFixedItems) freshIds.push_back(static_cast<std::uint32_t>(n));
    for (std::size_t i = 0; i < customIds_.size(); ++i) freshIds.push_back(customIds_[i]);
    freshIds.resize(std::min(freshIds.size(), fresh.ItemList.size()));
    // The decided order names rows of the item list as it was when the order lists were made; the
    // records belong to the rows of the item list as it is now.
    fresh.DisplayOrder.clear();
    for (const int row : shown.DisplayOrder) {
        if (row < 0 || static_cast<std::size_t>(row) >= orderIds_.size()) continue;
        const std::uint32_t id = orderIds_[static_cast<std::size_t>(row)];
        const auto found = std::find(freshIds.begin(), freshIds.end(), id);
        if (found == freshIds.end()) continue;
        const auto r = static_cast<std::size_t>(found - freshIds.begin());
        const auto current = std::find(rowIds_.begin(), rowIds_.end(), id);
        const auto c = static_cast<std::size_t>(current - rowIds_.begin());
        // A record belongs to a kind: an item whose kind was changed starts from its kind's defaults.
        if (current != rowIds_.end() && c < shown.ItemList.size() && fresh.ItemList[r].kind == shown.ItemList[c].kind) {
            fresh.ItemAttributes[r] = shown.ItemAttributes[c];
        }
        fresh.DisplayOrder.push_back(static_cast<int>(r));
    }
    qm::ComputeItemPadding(fresh);
    return fresh;
}

void Form1::SyncCustomIds() {
    // The custom item dialog adds at the end; anything else is a removal that went another way.
    while (customIds_.size() < static_cast<std::size_t>(List2.ListCount())) customIds_.push_back(nextCustomId_++);
    customIds_.resize(static_cast<std::size_t>(List2.ListCount()));
}

void Form1::SaveWizardFormat() {
    const FormatModel m = ModelToSave();
    if (Option1[0]->Value()) {
        SaveFunctionFormat(m, store_);
    } else {
        SaveEditFormat(m, store_);
    }
    Message(u"ﾌｫｰﾏｯﾄを作成を完了しました。");
}

void Form1::ComputeItemPadding() {
    // The padding rule of the stored format itself, over the item list as shown.
    FormatModel shown;
    for (const auto& entry : List3.Entries()) shown.ItemList.push_back({entry.text, static_cast<AttributeKind>(entry.tag)});
    shown.ItemAttributes = ItemAttributes;
    qm::ComputeItemPadding(shown);
    for (std::size_t r = 0; r < kMaxItemRows; ++r) {
        ItemAttributes[r].PadText = shown.ItemAttributes[r].PadText;
        ItemAttributes[r].NameLength = shown.ItemAttributes[r].NameLength;
    }
    PadAll = shown.PadAll;
}

void Form1::ShowWizardPageHelp() {
    const WizardPage* page = FindWizardPage(CurrentPage);
    if (page == nullptr) return;
    Attempt([&] { OpenHelpTopic(GetUi(), HelpFile, page->helpContext); });
}

std::u16string Form1::PreviewCreationDate() const {
    return CreationDateText(static_cast<std::int16_t>(Combo1[0]->ListIndex()), static_cast<std::int16_t>(Combo1[1]->ListIndex()),
                            static_cast<std::int16_t>(Combo1[2]->ListIndex()), static_cast<std::int16_t>(Check4.Value()), clock_.Now());
}

std::u16string Form1::PreviewEditMarker() const {
    const FormatModel m = Model();
    return qm::PreviewEditMarker(StampContext{m, clock_.Now(), codepage_});
}

void Form1::Message(const std::u16string& text) {
    Attempt([&] { GetUi().ShowMessage(text, kProductTitle); });
}

void Form1::Close() { Unload(); }

void Form1::UserClose() { Close(); }

void Form1::Command1_Click(int index) {
    switch (index) {
        case 0:
            StoreAttributePanel();
            ShowWizardPageHelp();
            break;
        case 1:
            store_.WriteSettingNumber(u"StartVisible", Check1.Value() == 1 ? 1 : 0);
            Close();
            break;
        case 2:
        case 3:
            // Validated first: a text the check refuses never reaches a record.
            if (!ValidateWizardPage()) return;
            StoreAttributePanel();
            StepPage(index);
            ShowPage();
            break;
        case 4:
            // What is saved is what the user sees: the panel shown, once the check accepts it.
            if (!ValidateWizardPage()) return;
            StoreAttributePanel();
            SaveWizardFormat();
            store_.WriteSettingNumber(u"StartVisible", Check1.Value() == 1 ? 1 : 0);
            Close();
            break;
        default:
            break;
    }
}

int Form1::ItemCount() const { return List1[1]->ListCount() + List2.ListCount(); }

void Form1::InsertByTag(ui::ListBox& list, const ui::ListEntry& entry) {
    for (int i = 0; i < list.ListCount(); ++i) {
        if (list.Entry(i).tag > entry.tag) {
            list.InsertItem(i, entry.text, entry.tag);
            return;
        }
    }
    list.AddItem(entry.text, entry.tag);
}

void Form1::SelectAfterRemoval(ui::ListBox& list, int removed) {
    if (list.ListCount() == 0) return;
    list.SetListIndex(std::min(removed, list.ListCount() - 1));
}

void Form1::MoveFixed(ui::ListBox& from, ui::ListBox& to, bool all) {
    RebuildItemList = true;
    RebuildOrderList = true;
    const bool choosing = &to == List1[1].get();
    if (all) {
        if (choosing && ItemCount() + from.ListCount() > static_cast<int>(kMaxItemRows)) {
            Message(kTooManyItems);
            return;
        }
        for (const auto& entry : from.Entries()) InsertByTag(to, entry);
        from.Clear();
        return;
    }
    const int selected = from.ListIndex();
    if (selected < 0) return;
    if (choosing && ItemCount() + 1 > static_cast<int>(kMaxItemRows)) {
        Message(kTooManyItems);
        return;
    }
    InsertByTag(to, from.Entry(selected));
    from.RemoveItem(selected);
    SelectAfterRemoval(from, selected);
}

void Form1::Command2_Click(int index) {
    switch (index) {
        case 0:
            MoveFixed(*List1[0], *List1[1], false);
            break;
        case 1:
            MoveFixed(*List1[0], *List1[1], true);
            break;
        case 2:
            MoveFixed(*List1[1], *List1[0], false);
            break;
        case 3:
            MoveFixed(*List1[1], *List1[0], true);
            break;
        default:
            break;
    }
}

void Form1::UpdateCustomButtons() {
    const bool any = List2.ListCount() > 0;
    Command3[1]->SetEnabled(any);
    Command3[2]->SetEnabled(any);
}

void Form1::Command3_Click(int index) {
    // Held for the length of the dialog: a disconnection meanwhile releases the add-in's reference.
    const std::shared_ptr<Form2> dialog = addInClass != nullptr ? addInClass->GetForm2() : nullptr;
    switch (index) {
        case 0:
            if (dialog == nullptr) return;
            dialog->wizard = this;
            dialog->Prepare(Form2::Mode::Add, u"", -1);
            dialog->ShowModal();
            SyncCustomIds();
            UpdateCustomButtons();
            break;
        case 1: {
            const int selected = List2.ListIndex();
            if (dialog == nullptr || selected < 0) return;
            dialog->wizard = this;
            dialog->Prepare(Form2::Mode::Edit, List2.Entry(selected).text, List2.Entry(selected).tag);
            dialog->ShowModal();
            break;
        }
        case 2: {
            const int selected = List2.ListIndex();
            if (selected < 0) return;
            RebuildItemList = true;
            RebuildOrderList = true;
            List2.RemoveItem(selected);
            if (static_cast<std::size_t>(selected) < customIds_.size()) customIds_.erase(customIds_.begin() + selected);
            if (List2.ListCount() == 0) {
                UpdateCustomButtons();
            } else {
                SelectAfterRemoval(List2, selected);
            }
            break;
        }
        default:
            break;
    }
}

void Form1::Command4_Click(int index) {
    ui::ListBox& undecided = *List4[0];
    ui::ListBox& decided = *List4[1];
    if (index == 0 && undecided.ListIndex() >= 0) {
        const int selected = undecided.ListIndex();
        decided.AddItem(undecided.Entry(selected).text, undecided.Entry(selected).tag);
        undecided.RemoveItem(selected);
        SelectAfterRemoval(undecided, selected);
    } else if (index == 1 && decided.ListIndex() >= 0) {
        const int selected = decided.ListIndex();
        InsertByTag(undecided, decided.Entry(selected));
        decided.RemoveItem(selected);
        SelectAfterRemoval(decided, selected);
    }
    UpdateOrderNext();
}

void Form1::List1_DblClick(int index) { Command2_Click(index == 0 ? 0 : 2); }
void Form1::List2_DblClick() { Command3_Click(1); }
void Form1::List4_DblClick(int index) { Command4_Click(index == 0 ? 0 : 1); }

void Form1::Check4_Click() { Label21.caption = PreviewCreationDate(); }
void Form1::Combo1_Click(int) { Label21.caption = PreviewCreationDate(); }

void Form1::Check5_Click() {
    const bool on = Check5.Value() == 1;
    for (ui::Control* c : {static_cast<ui::Control*>(&Label30), static_cast<ui::Control*>(&Text3), static_cast<ui::Control*>(&Label31),
                           static_cast<ui::Control*>(&Text4)}) {
        c->SetEnabled(on);
    }
    // System colours: window text on window, or grey text on the inactive border colour.
    for (ui::TextBox* box : {&Text3, &Text4}) box->SetForeColor(on ? ui::kColorWindowText : ui::kColorGrayText);
}

void Form1::Check6_Click() {
    const bool on = Check6.Value() == 1;
    for (auto& c : Combo2) c->SetEnabled(on);
    Check7.SetEnabled(on);
    Label34.caption = PreviewEditMarker();
}

void Form1::Check7_Click() { Label34.caption = PreviewEditMarker(); }
void Form1::Combo2_Click(int) { Label34.caption = PreviewEditMarker(); }
void Form1::Text5_Change() { Label34.caption = PreviewEditMarker(); }

}  // namespace qm
