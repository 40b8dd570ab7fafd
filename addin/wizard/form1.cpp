#include "addin/wizard/form1.h"

#include <algorithm>

#include "addin/resources/button_faces.h"
#include "addin/shell/help.h"
#include "addin/shell/addin_class.h"
#include "addin/stamps/edit_stamp.h"
#include "addin/stamps/stamp_date.h"
#include "addin/settings/format_rules.h"
#include "addin/wizard/form2.h"
#include "addin/wizard/form_layout.h"
#include "addin/wizard/wizard_pages.h"
#include "platform/failure.h"
#include "platform/text.h"

namespace qm {
namespace {

constexpr int kPages[] = {page::kIntro, page::kStampChoice, page::kFixedItems, page::kCustomItems, page::kAttributes,
                          page::kOrder, page::kAppearance,  page::kEditRecord, page::kDone};
// The attribute panels, one per kind; the empty panel serves every kind without attributes.
constexpr int kPanels[] = {kind::kFunctionName, kind::kEmptyPanel,   kind::kArguments,
                           kind::kReturnValue,  kind::kCreationDate, kind::kAuthor};

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


using T = ControlType;
constexpr const char16_t* kP3 = u"Picture3";
constexpr const char16_t* kP8 = u"Picture8";
constexpr std::uint8_t kPlainText = look::kPlain;

// Every control of the form, in the order of the tab key: the members first, as the class declares
// them, then the members of control arrays as the rows make them.
constexpr ControlPlace kLayout[] = {
    // Page 0.
    {T::Label, u"Label1", -1, kP3, page::kIntro, kBodyLeft, 120, kBodyWidth, 3300},
    {T::CheckBox, u"Check1", -1, kP3, page::kIntro, kBodyLeft, 3600, kBodyWidth, 300, u"次回からこの画面を表示しない(&S)"},
    // Page 1.
    {T::Label, u"Label2", -1, kP3, page::kStampChoice, kBodyLeft, 240, kBodyWidth, 300, u"ﾌｫｰﾏｯﾄを作成する種類を選択してください。"},
    // Page 10.
    {T::Label, u"Label3", -1, kP3, page::kFixedItems, kBodyLeft, 120, kBodyWidth, 255,
     u"下記の一覧は、ﾌｫｰﾏｯﾄで使用する可能性のある項目名です。"},
    {T::Label, u"Label4", -1, kP3, page::kFixedItems, kBodyLeft, 420, kBodyWidth, 480},
    {T::Label, u"Label5", -1, kP3, page::kFixedItems, kBodyLeft, 3780, kBodyWidth, 255,
     u"独自の項目名を追加するには、[次へ]をｸﾘｯｸしてください。"},
    // Page 11.
    {T::Label, u"Label7", -1, kP3, page::kCustomItems, kBodyLeft, 120, kBodyWidth, 735,
     u"ﾌｫｰﾏｯﾄに独自の項目を追加します。ここで指定する項目は、前のｽﾃｯﾌﾟで選択した項目と重複してはいけません。"},
    {T::Label, u"Label9", -1, kP3, page::kCustomItems, kBodyLeft, 960, 3240, 255, u"追加の項目名 :"},
    {T::ListBox, u"List2", -1, kP3, page::kCustomItems, kBodyLeft, 1230, 3240, 2640},
    // Page 12.
    {T::Label, u"Label10", -1, kP3, page::kAttributes, kBodyLeft, 960, 1680, 255, u"項目名 :"},
    {T::ListBox, u"List3", -1, kP3, page::kAttributes, kBodyLeft, 1230, 1680, 2460},
    {T::Frame, u"Frame2", -1, kP3, page::kAttributes, kBodyLeft + 1800, 900, 3720, 2820, u"属性詳細情報"},
    {T::CheckBox, u"Check2", -1, kP8, kind::kArguments, 240, 1740, 3240, 300, u"(なし)と表示する"},
    {T::CheckBox, u"Check3", -1, kP8, kind::kReturnValue, 240, 660, 3240, 300, u"(なし)と表示する"},
    {T::CheckBox, u"Check4", -1, kP8, kind::kCreationDate, 1320, 1770, 1560, 300, u"表示する"},
    // A live sample: every character as it is.
    {T::Label, u"Label21", -1, kP8, kind::kCreationDate, 1320, 2160, 2100, 255, u"1999-11-10 18:30:25", kPlainText},
    {T::TextBox, u"Text1", -1, kP8, kind::kAuthor, 240, 660, 3240, 300},
    // Page 13.
    {T::Label, u"Label13", -1, kP3, page::kOrder, kBodyLeft, 120, kBodyWidth, 255, u"項目名を希望する表示順に置き換えます。"},
    // Page 14.
    {T::Frame, u"Frame3", -1, kP3, page::kAppearance, kBodyLeft, 960, kBodyWidth, 2700, u"拡張"},
    {T::Label, u"Label15", -1, u"Frame3", -1, 120, 360, 3000, 255, u"ｺﾒﾝﾄの記号[']の後のｽﾍﾟｰｽの値 :"},
    {T::TextBox, u"Text2", -1, u"Frame3", -1, 3240, 330, 720, 300},
    {T::CheckBox, u"Check5", -1, u"Frame3", -1, 120, 900, 4800, 300, u"項目欄の最上位と最下位に記号文字ﾗｲﾝを挿入する"},
    {T::Label, u"Label29", -1, u"Frame3", -1, 360, 1380, 600, 255, u"ﾗｲﾝ :"},
    {T::Label, u"Label30", -1, u"Frame3", -1, 1020, 1380, 1080, 255, u"記号文字 :"},
    {T::TextBox, u"Text3", -1, u"Frame3", -1, 2160, 1350, 720, 300},
    {T::Label, u"Label31", -1, u"Frame3", -1, 3000, 1380, 1320, 255, u"× 表示倍数 :"},
    {T::TextBox, u"Text4", -1, u"Frame3", -1, 4440, 1350, 720, 300},
    {T::Label, u"Label26", -1, kP3, page::kAppearance, kBodyLeft, 120, kBodyWidth, 735,
     u"全体の外観を拡張します。ｺﾒﾝﾄの記号[']の後のｽﾍﾟｰｽ設定や項目欄の最上位と最下位に記号文字などを使用したﾗｲﾝを拡張します。"},
    // Page 60.
    {T::Label, u"Label32", -1, kP3, page::kEditRecord, kBodyLeft, 600, 1080, 255, u"名前 : "},
    {T::TextBox, u"Text5", -1, kP3, page::kEditRecord, kBodyLeft + 1200, 570, 2400, 300},
    {T::Label, u"Label35", -1, kP3, page::kEditRecord, kBodyLeft, 1080, 1080, 255, u"日付 : "},
    {T::CheckBox, u"Check6", -1, kP3, page::kEditRecord, kBodyLeft + 1200, 1050, 1560, 300, u"表示する"},
    {T::Label, u"Label38", -1, kP3, page::kEditRecord, kBodyLeft, 2220, 1080, 255, u"時間 : "},
    {T::CheckBox, u"Check7", -1, kP3, page::kEditRecord, kBodyLeft + 1200, 2190, 1560, 300, u"表示する"},
    {T::Label, u"Label39", -1, kP3, page::kEditRecord, kBodyLeft, 2760, 1200, 255, u"表示ｻﾝﾌﾟﾙ : "},
    // A live sample, with the user's own name in it.
    {T::Label, u"Label34", -1, kP3, page::kEditRecord, kBodyLeft, 3060, kBodyWidth, 600, nullptr, kPlainText, 0, u"ＭＳ ゴシック"},
    {T::Label, u"Label33", -1, kP3, page::kEditRecord, kBodyLeft, 120, kBodyWidth, 255,
     u"ｺｰﾄﾞの編集作業を記録するｽﾀﾝﾌﾟのﾌｫｰﾏｯﾄを作成します。"},
    // Page 100.
    {T::Label, u"Label36", -1, kP3, page::kDone, kBodyLeft, 240, kBodyWidth, 975},
    {T::Label, u"Label40", -1, kP3, page::kDone, kBodyLeft, 3600, kBodyWidth, 255, u"処理を完了するときは [完了] をｸﾘｯｸしてください。"},

    // The pages, one on top of the other, each with its picture.
    {T::PictureBox, kP3, page::kIntro, nullptr, -1, 0, 0, 7815, 4140},
    {T::Image, u"Image1", page::kIntro, kP3, page::kIntro, 120, 120, 1185, 2835},
    {T::PictureBox, kP3, page::kStampChoice, nullptr, -1, 0, 0, 7815, 4140},
    {T::Image, u"Image1", page::kStampChoice, kP3, page::kStampChoice, 120, 120, 1185, 2835},
    {T::PictureBox, kP3, page::kFixedItems, nullptr, -1, 0, 0, 7815, 4140},
    {T::Image, u"Image1", page::kFixedItems, kP3, page::kFixedItems, 120, 120, 1185, 2835},
    {T::PictureBox, kP3, page::kCustomItems, nullptr, -1, 0, 0, 7815, 4140},
    {T::Image, u"Image1", page::kCustomItems, kP3, page::kCustomItems, 120, 120, 1185, 2835},
    {T::PictureBox, kP3, page::kAttributes, nullptr, -1, 0, 0, 7815, 4140},
    {T::Image, u"Image1", page::kAttributes, kP3, page::kAttributes, 120, 120, 1185, 2835},
    {T::PictureBox, kP3, page::kOrder, nullptr, -1, 0, 0, 7815, 4140},
    {T::Image, u"Image1", page::kOrder, kP3, page::kOrder, 120, 120, 1185, 2835},
    {T::PictureBox, kP3, page::kAppearance, nullptr, -1, 0, 0, 7815, 4140},
    {T::Image, u"Image1", page::kAppearance, kP3, page::kAppearance, 120, 120, 1185, 2835},
    {T::PictureBox, kP3, page::kEditRecord, nullptr, -1, 0, 0, 7815, 4140},
    {T::Image, u"Image1", page::kEditRecord, kP3, page::kEditRecord, 120, 120, 1185, 2835},
    {T::PictureBox, kP3, page::kDone, nullptr, -1, 0, 0, 7815, 4140},
    {T::Image, u"Image1", page::kDone, kP3, page::kDone, 120, 120, 1185, 2835},
    // The frame's buttons.
    {T::CommandButton, u"Command1", frame_button::kHelp, nullptr, -1, 120, 4260, 1095, 375, u"ﾍﾙﾌﾟ(&H)"},
    {T::CommandButton, u"Command1", frame_button::kCancel, nullptr, -1, 3000, 4260, 1095, 375, u"ｷｬﾝｾﾙ", look::kCancel},
    {T::CommandButton, u"Command1", frame_button::kBack, nullptr, -1, 4170, 4260, 1095, 375, u"< 戻る(&B)"},
    {T::CommandButton, u"Command1", frame_button::kNext, nullptr, -1, 5340, 4260, 1095, 375, u"次へ (&N)>", look::kDefault},
    {T::CommandButton, u"Command1", frame_button::kFinish, nullptr, -1, 6510, 4260, 1095, 375, u"完了(&F)"},
    // Page 1.
    {T::OptionButton, u"Option1", 0, kP3, page::kStampChoice, kBodyLeft + 240, 840, 4800, 300,
     u"Lexivaneなどで使用する関数説明のﾌｫｰﾏｯﾄ作成"},
    {T::OptionButton, u"Option1", 1, kP3, page::kStampChoice, kBodyLeft + 240, 1320, 4800, 300,
     u"ｺｰﾄﾞの編集作業を記録するｽﾀﾝﾌﾟのﾌｫｰﾏｯﾄ作成"},
    // Page 10.
    {T::Label, u"Label6", 0, kP3, page::kFixedItems, kBodyLeft, 960, 2040, 255, u"使用できる項目名 :"},
    {T::ListBox, u"List1", 0, kP3, page::kFixedItems, kBodyLeft, 1230, 2040, 2460},
    {T::Label, u"Label6", 1, kP3, page::kFixedItems, kBodyLeft + 3000, 960, 2040, 255, u"選択された項目名 :"},
    {T::ListBox, u"List1", 1, kP3, page::kFixedItems, kBodyLeft + 3000, 1230, 2040, 2460},
    {T::CommandButton, u"Command2", 0, kP3, page::kFixedItems, kBodyLeft + 2220, 1380, 600, 375, u">"},
    {T::CommandButton, u"Command2", 1, kP3, page::kFixedItems, kBodyLeft + 2220, 1920, 600, 375, u">>"},
    {T::CommandButton, u"Command2", 2, kP3, page::kFixedItems, kBodyLeft + 2220, 2460, 600, 375, u"<"},
    {T::CommandButton, u"Command2", 3, kP3, page::kFixedItems, kBodyLeft + 2220, 3000, 600, 375, u"<<"},
    // Page 11.
    {T::CommandButton, u"Command3", 0, kP3, page::kCustomItems, kBodyLeft + 3480, 1230, 1455, 375, u"追加(&W)..."},
    {T::CommandButton, u"Command3", 1, kP3, page::kCustomItems, kBodyLeft + 3480, 1710, 1455, 375, u"編集(&E)..."},
    {T::CommandButton, u"Command3", 2, kP3, page::kCustomItems, kBodyLeft + 3480, 2190, 1455, 375, u"削除(&D)"},
    // Page 12, and its attribute panels, one per kind, each titled; the empty panel serves every kind
    // without attributes.
    {T::Label, u"Label8", 0, kP3, page::kAttributes, kBodyLeft, 120, kBodyWidth, 255, u"各項目の属性詳細を指定します。"},
    {T::Label, u"Label8", 1, kP3, page::kAttributes, kBodyLeft, 390, kBodyWidth, 495,
     u"変更する属性を持つ項目名を選択し、値を変更します。変更する項目ごとに繰り返してください。"},
    {T::Label, u"Label8", 2, kP3, page::kAttributes, kBodyLeft, 3780, kBodyWidth, 255,
     u"属性詳細の変更を完了する場合は、[次へ]をｸﾘｯｸしてください。"},
    {T::PictureBox, kP8, kind::kFunctionName, u"Frame2", -1, 120, 240, 3480, 2460},
    {T::Label, u"Label11", kind::kFunctionName, kP8, kind::kFunctionName, 0, 0, 3480, 255, u"属性 : 関数名"},
    {T::PictureBox, kP8, kind::kEmptyPanel, u"Frame2", -1, 120, 240, 3480, 2460},
    {T::Label, u"Label11", kind::kEmptyPanel, kP8, kind::kEmptyPanel, 0, 0, 3480, 255, u"属性 : なし"},
    {T::PictureBox, kP8, kind::kArguments, u"Frame2", -1, 120, 240, 3480, 2460},
    {T::Label, u"Label11", kind::kArguments, kP8, kind::kArguments, 0, 0, 3480, 255, u"属性 : 引数"},
    {T::PictureBox, kP8, kind::kReturnValue, u"Frame2", -1, 120, 240, 3480, 2460},
    {T::Label, u"Label11", kind::kReturnValue, kP8, kind::kReturnValue, 0, 0, 3480, 255, u"属性 : 戻り値"},
    {T::PictureBox, kP8, kind::kCreationDate, u"Frame2", -1, 120, 240, 3480, 2460},
    {T::Label, u"Label11", kind::kCreationDate, kP8, kind::kCreationDate, 0, 0, 3480, 255, u"属性 : 作成日"},
    {T::PictureBox, kP8, kind::kAuthor, u"Frame2", -1, 120, 240, 3480, 2460},
    {T::Label, u"Label11", kind::kAuthor, kP8, kind::kAuthor, 0, 0, 3480, 255, u"属性 : 作成者"},
    {T::Label, u"Label12", 0, kP8, kind::kFunctionName, 0, 360, 2400, 255, u"表示形式 : "},
    {T::OptionButton, u"Option2", 0, kP8, kind::kFunctionName, 240, 660, 3240, 300, u"関数名のみ表示"},
    {T::OptionButton, u"Option2", 1, kP8, kind::kFunctionName, 240, 1020, 3240, 300, u"関数名と後ろに( )を表示"},
    {T::Label, u"Label12", 1, kP8, kind::kArguments, 0, 360, 2400, 255, u"表示形式 : "},
    {T::OptionButton, u"Option3", 0, kP8, kind::kArguments, 240, 660, 3240, 300, u"変数名を自動挿入"},
    {T::OptionButton, u"Option3", 1, kP8, kind::kArguments, 240, 1020, 3240, 300, u"ARG1...ARG5と続く表示を自動挿入"},
    {T::Label, u"Label12", 2, kP8, kind::kArguments, 0, 1440, 2400, 255, u"引数がない場合 : "},
    {T::Label, u"Label12", 3, kP8, kind::kReturnValue, 0, 360, 2400, 255, u"戻り値がない場合 : "},
    {T::Label, u"Label12", 4, kP8, kind::kCreationDate, 0, 360, 2400, 255, u"日付表示形式 : "},
    {T::Label, u"Label12", 5, kP8, kind::kCreationDate, 120, 660, 1140, 255, u"頭記号"},
    {T::ComboBox, u"Combo1", 0, kP8, kind::kCreationDate, 1320, 630, 1560, 300},
    {T::Label, u"Label12", 6, kP8, kind::kCreationDate, 120, 1020, 1140, 255, u"区切り記号"},
    {T::ComboBox, u"Combo1", 1, kP8, kind::kCreationDate, 1320, 990, 1560, 300},
    {T::Label, u"Label12", 7, kP8, kind::kCreationDate, 120, 1380, 1140, 255, u"年表示形式"},
    {T::ComboBox, u"Combo1", 2, kP8, kind::kCreationDate, 1320, 1350, 1560, 300},
    {T::Label, u"Label12", 8, kP8, kind::kCreationDate, 0, 1800, 2400, 255, u"時間 : "},
    {T::Label, u"Label12", 9, kP8, kind::kCreationDate, 0, 2160, 2400, 255, u"表示サンプル : "},
    {T::Label, u"Label12", 10, kP8, kind::kAuthor, 0, 360, 2400, 255, u"名前 : "},
    // Page 13.
    {T::Label, u"Label14", 0, kP3, page::kOrder, kBodyLeft, 600, 2760, 255, u"表示順が決まってない項目名 :"},
    {T::ListBox, u"List4", 0, kP3, page::kOrder, kBodyLeft, 870, 2040, 2820},
    {T::Label, u"Label14", 1, kP3, page::kOrder, kBodyLeft + 3000, 600, 2760, 255, u"表示順が決まった項目名 :"},
    {T::ListBox, u"List4", 1, kP3, page::kOrder, kBodyLeft + 3000, 870, 2040, 2820},
    {T::CommandButton, u"Command4", 0, kP3, page::kOrder, kBodyLeft + 2220, 1620, 600, 375, u">"},
    {T::CommandButton, u"Command4", 1, kP3, page::kOrder, kBodyLeft + 2220, 2160, 600, 375, u"<"},
    // Page 60.
    {T::Label, u"Label37", 0, kP3, page::kEditRecord, kBodyLeft + 1200, 1440, 1200, 255, u"頭記号"},
    {T::ComboBox, u"Combo2", 0, kP3, page::kEditRecord, kBodyLeft + 1200, 1710, 1200, 300},
    {T::Label, u"Label37", 1, kP3, page::kEditRecord, kBodyLeft + 2460, 1440, 1200, 255, u"区切り記号"},
    {T::ComboBox, u"Combo2", 1, kP3, page::kEditRecord, kBodyLeft + 2460, 1710, 1200, 300},
    {T::Label, u"Label37", 2, kP3, page::kEditRecord, kBodyLeft + 3720, 1440, 1200, 255, u"年表示形式"},
    {T::ComboBox, u"Combo2", 2, kP3, page::kEditRecord, kBodyLeft + 3720, 1710, 1200, 300},
    // The button faces, hidden below the frame's buttons while connected.
    {T::PictureBox, u"Picture1", 0, nullptr, -1, 120, 4680, 240, 240, nullptr, look::kHidden},
    {T::PictureBox, u"Picture1", 1, nullptr, -1, 375, 4680, 240, 240, nullptr, look::kHidden},
    {T::PictureBox, u"Picture1", 2, nullptr, -1, 630, 4680, 240, 240, nullptr, look::kHidden},
    {T::PictureBox, u"Picture1", 3, nullptr, -1, 885, 4680, 240, 240, nullptr, look::kHidden},
    {T::PictureBox, u"Picture1", 4, nullptr, -1, 1140, 4680, 240, 240, nullptr, look::kHidden},
    {T::PictureBox, u"Picture1", 5, nullptr, -1, 1395, 4680, 240, 240, nullptr, look::kHidden},
    {T::PictureBox, u"Picture1", 6, nullptr, -1, 1650, 4680, 240, 240, nullptr, look::kHidden},
};

// Points each slot of a control array at the control the layout made for it.
template <class C, std::size_t N>
void Bind(const ui::Form& form, const char16_t* name, std::array<C*, N>& slots) {
    for (std::size_t i = 0; i < N; ++i) slots[i] = ControlOf<C>(form, name, static_cast<int>(i));
}

template <class C, class Indices>
void Bind(const ui::Form& form, const char16_t* name, const Indices& indices, std::map<int, C*>& slots) {
    for (const int i : indices) slots[i] = ControlOf<C>(form, name, i);
}

// The panel of a kind: a kind without attributes of its own has the empty panel.
std::int16_t PanelKind(std::int32_t itemKind) {
    switch (itemKind) {
        case kind::kFunctionName:
        case kind::kArguments:
        case kind::kReturnValue:
        case kind::kCreationDate:
        case kind::kAuthor:
            return static_cast<std::int16_t>(itemKind);
        default:
            return kind::kEmptyPanel;
    }
}

// Fills a list and chooses an entry again: the one chosen before when it is still there (tags are
// unique in the lists drawn this way), else, where an entry was taken out, the one now at its place.
void ShowEntries(ui::ListBox& list, const std::vector<ui::ListEntry>& entries, int removedAt) {
    const std::optional<std::int32_t> chosen =
        list.ListIndex() >= 0 ? std::optional<std::int32_t>(list.Entry(list.ListIndex()).tag) : std::nullopt;
    list.Clear();
    for (const ui::ListEntry& e : entries) list.AddItem(e.text, e.tag);
    if (chosen) {
        for (int i = 0; i < list.ListCount(); ++i) {
            if (list.Entry(i).tag == *chosen) {
                list.SetListIndex(i);
                return;
            }
        }
    }
    if (removedAt >= 0 && list.ListCount() > 0) list.SetListIndex(std::min(removedAt, list.ListCount() - 1));
}


}  // namespace

Form1::Form1(ui::Ui& ui, SettingsStore& store, const Clock& clock, const Codepage& codepage)
    : ui::Form(ui, u"Form1"), store_(store), clock_(clock), codepage_(codepage) {
    caption = u"Wek Quillmark ﾌｫｰﾏｯﾄ ｳｨｻﾞｰﾄﾞ - ";
    width = 7815;
    height = 5145;
    scaleHeight = 4725;
    LayOut(*this, kLayout, made_);
    Bind(*this, kP3, kPages, Picture3);
    Bind(*this, u"Image1", kPages, PageImage);
    Bind(*this, u"Command1", Command1);
    Bind(*this, u"Option1", Option1);
    Bind(*this, u"Label6", Label6);
    Bind(*this, u"List1", List1);
    Bind(*this, u"Command2", Command2);
    Bind(*this, u"Command3", Command3);
    Bind(*this, u"Label8", Label8);
    Bind(*this, kP8, kPanels, Picture8);
    Bind(*this, u"Label11", kPanels, Label11);
    Bind(*this, u"Option2", Option2);
    Bind(*this, u"Option3", Option3);
    Bind(*this, u"Combo1", Combo1);
    Bind(*this, u"Label14", Label14);
    Bind(*this, u"List4", List4);
    Bind(*this, u"Command4", Command4);
    Bind(*this, u"Label37", Label37);
    Bind(*this, u"Combo2", Combo2);
    Bind(*this, u"Picture1", Picture1);
    for (auto& [page, image] : PageImage) image->picture = ProductImage();
    for (int i = 0; i < kButtonFaceCount; ++i) Picture1[static_cast<std::size_t>(i)]->picture = ButtonFace(i);

    const auto each = [](auto& controls, auto bind) {
        for (std::size_t i = 0; i < std::size(controls); ++i) bind(*controls[i], static_cast<int>(i));
    };
    each(Command1, [this](ui::Control& c, int i) { c.onClick = [this, i] { Command1_Click(i); }; });
    each(List1, [this](ui::Control& c, int i) { c.onDblClick = [this, i] { List1_DblClick(i); }; });
    each(Command2, [this](ui::Control& c, int i) { c.onClick = [this, i] { Command2_Click(i); }; });
    List2.onDblClick = [this] { List2_DblClick(); };
    each(Command3, [this](ui::Control& c, int i) { c.onClick = [this, i] { Command3_Click(i); }; });
    List3.onClick = [this] { List3_Click(); };
    each(Combo1, [this](ui::Control& c, int i) { c.onClick = [this, i] { Combo1_Click(i); }; });
    Check4.onClick = [this] { Check4_Click(); };
    each(List4, [this](ui::Control& c, int i) { c.onDblClick = [this, i] { List4_DblClick(i); }; });
    each(Command4, [this](ui::Control& c, int i) { c.onClick = [this, i] { Command4_Click(i); }; });
    for (ui::TextBox* box : {&Text2, &Text3, &Text4}) box->onChange = [this] { Appearance_Change(); };
    Check5.onClick = [this] { Check5_Click(); };
    Text5.onChange = [this] { Text5_Change(); };
    Check6.onClick = [this] { Check6_Click(); };
    Check7.onClick = [this] { Check7_Click(); };
    each(Combo2, [this](ui::Control& c, int i) { c.onClick = [this, i] { Combo2_Click(i); }; });
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
}

void Form1::FillDateLists(const std::array<ui::ComboBox*, 3>& lists) {
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
    // 3 to 5, 9, 11, 13: the stored format, read the way the command reads it.
    format_ = LoadFormatModel(store_);
    draft_ = FormatDraft(format_);
    Label4.caption = format_.SetSelectList != 0 ? u"あらかじめ選択されている項目名は、既に使用されている項目名です。"
                                                : u"あらかじめ選択されている項目名は、大部分のﾌｫｰﾏｯﾄで使用されている標準の項目名です。";
    ShowFixedLists(-1, -1);
    ShowCustomList(0);
    if (List2.ListCount() == 0) UpdateCustomButtons();
    // 6, 7: the date panel's lists, and its sample.
    FillDateLists(Combo1);
    for (auto& c : Combo1) c->SetListIndex(1);
    Label21.caption = PreviewCreationDate();
    // 8, 9: the item list with the stored records, and the stored display order.
    CurrentPage = page::kAttributes;
    ShowItemList();
    ShowPage();
    ShowOrderLists(-1, -1);
    // 10: the first row's stored values into its panel.
    CurrentKind = -1;
    if (List3.ListCount() > 0) List3_Click();
    // 11: the appearance. Only 1 draws the lines; any other stored number shows as unchecked.
    const FormatDraft loaded = draft_;
    Text2.SetText(loaded.Indent);
    Check5.SetValue(loaded.RulerOn == 1 ? 1 : 0);
    Check5_Click();
    Text4.SetText(loaded.RulerCount);
    Text3.SetText(loaded.RulerSymbol);
    TakeAppearance();
    // 12 to 14: the edit-record page and its sample.
    FillDateLists(Combo2);
    Check6.SetValue(loaded.ShowDate == 1 ? 1 : 0);
    Check6_Click();
    const std::int16_t choices[] = {loaded.HeadMark, loaded.DateSeparator, loaded.YearForm};
    for (std::size_t i = 0; i < 3; ++i) {
        // A position outside the list chooses nothing, which is also how the stamp reads it.
        const int index = choices[i] >= 0 && choices[i] < Combo2[i]->ListCount() ? choices[i] : -1;
        Combo2[i]->SetListIndex(index);
    }
    Check7.SetValue(loaded.ShowTime == 1 ? 1 : 0);
    Text5.SetText(loaded.EditorName);
    TakeEditRecord();
    Label34.caption = PreviewEditMarker();
    // 15 to 18.
    Picture3[page::kAttributes]->SetVisible(false);
    Check1.SetValue(store_.ReadSettingNumber(u"StartVisible", 0) == 0 ? 0 : 1);
    Command1[frame_button::kFinish]->SetEnabled(false);
    CurrentPage = Check1.Value() == 0 ? page::kIntro : page::kStampChoice;
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
    if (button == frame_button::kBack) {
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
        if (CurrentPage == page::kOrder) UpdateOrderNext();
        if (CurrentPage == page::kDone) {
            Label36.caption =
                u"Wek Quillmark ﾌｫｰﾏｯﾄ ｳｨｻﾞｰﾄﾞは、Visual Basic の ｺｰﾄﾞで Wek Quillmark "
                u"ﾌｫｰﾏｯﾄを作成するために必要な情報の収集を完了しました。";
        }
        apply(*Command1[frame_button::kBack], page->back);
        apply(*Command1[frame_button::kNext], page->next);
        apply(*Command1[frame_button::kFinish], page->finish);
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

void Form1::ShowFixedLists(int movedFrom, int removedAt) {
    for (int side = 0; side < 2; ++side) {
        std::vector<ui::ListEntry> entries;
        for (const int n : side == 0 ? draft_.AvailableFixed() : draft_.ChosenFixed()) {
            entries.push_back({FixedItems()[static_cast<std::size_t>(n)].name, n});
        }
        ShowEntries(*List1[static_cast<std::size_t>(side)], entries, side == movedFrom ? removedAt : -1);
    }
}

void Form1::ShowCustomList(int select) {
    List2.Clear();
    for (const FormatDraft::Custom& item : draft_.CustomItems()) List2.AddItem(item.name, item.kind);
    if (select >= 0 && List2.ListCount() > 0) List2.SetListIndex(std::min(select, List2.ListCount() - 1));
}

void Form1::ShowItemList() {
    List3.Clear();
    for (const FormatDraft::ItemId id : draft_.Rows()) List3.AddItem(draft_.Name(id), draft_.Kind(id));
    // The selection that follows stores no panel.
    CurrentKind = -1;
    if (List3.ListCount() > 0) {
        List3.SetListIndex(0);
        CurrentKind = PanelKind(List3.Entry(0).tag);
    } else {
        // No item at all: the empty panel.
        CurrentRow = 0;
        CurrentKind = kind::kEmptyPanel;
    }
    ShowPanel(CurrentKind);
}

void Form1::ShowOrderLists(int movedFrom, int removedAt) {
    const std::vector<FormatDraft::ItemId> lists[] = {draft_.Unplaced(), draft_.Placed()};
    for (int side = 0; side < 2; ++side) {
        std::vector<ui::ListEntry> entries;
        for (const FormatDraft::ItemId id : lists[side]) entries.push_back({draft_.Name(id), draft_.RowOf(id)});
        ShowEntries(*List4[static_cast<std::size_t>(side)], entries, side == movedFrom ? removedAt : -1);
    }
}

void Form1::RebuildItems() {
    RebuildItemList = false;
    draft_.ResetRecords();
    ShowItemList();
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
    draft_.ResetOrder();
    List4[0]->Clear();
    List4[1]->Clear();
    ShowOrderLists(-1, -1);
}

void Form1::UpdateOrderNext() { Command1[frame_button::kNext]->SetEnabled(List4[0]->ListCount() == 0); }

std::optional<FormatDraft::ItemId> Form1::ItemAt(int row) const {
    const std::vector<FormatDraft::ItemId> rows = draft_.Rows();
    if (row < 0 || static_cast<std::size_t>(row) >= rows.size()) return std::nullopt;
    return rows[static_cast<std::size_t>(row)];
}

void Form1::StoreAttributePanel() {
    if (CurrentPage != page::kAttributes) return;
    const std::optional<FormatDraft::ItemId> id = ItemAt(CurrentRow);
    if (!id) return;
    ItemAttribute record = draft_.Record(*id);
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
            return;
    }
    draft_.SetRecord(*id, record);
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
    if (CurrentKind == -1) CurrentKind = kind::kEmptyPanel;
    PreviousKind = CurrentKind;
    const int row = List3.ListIndex();
    const std::optional<FormatDraft::ItemId> id = ItemAt(row);
    if (!id) return;
    CurrentRow = static_cast<std::int16_t>(row);
    CurrentKind = PanelKind(List3.Entry(row).tag);
    const ItemAttribute record = draft_.Record(*id);
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
    if (CurrentPage == page::kAttributes && CurrentKind == kind::kAuthor) refusal = CheckAuthorText(Text1.Text());
    if (CurrentPage == page::kAppearance)
        refusal = CheckAppearance(Text2.Text(), Check5.Value() == 1, Text3.Text(), Text4.Text(), codepage_);
    if (CurrentPage == page::kEditRecord) refusal = CheckEditorName(Text5.Text());
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

void Form1::TakeAppearance() {
    draft_.Indent = Text2.Text();
    draft_.RulerOn = static_cast<std::int16_t>(Check5.Value());
    draft_.RulerCount = Text4.Text();
    draft_.RulerSymbol = Text3.Text();
}

void Form1::TakeEditRecord() {
    draft_.ShowDate = static_cast<std::int16_t>(Check6.Value());
    draft_.HeadMark = static_cast<std::int16_t>(Combo2[0]->ListIndex());
    draft_.DateSeparator = static_cast<std::int16_t>(Combo2[1]->ListIndex());
    draft_.YearForm = static_cast<std::int16_t>(Combo2[2]->ListIndex());
    draft_.ShowTime = static_cast<std::int16_t>(Check7.Value());
    draft_.EditorName = Text5.Text();
}

void Form1::SaveWizardFormat() {
    const FormatModel m = draft_.Compose();
    if (Option1[0]->Value()) {
        SaveFunctionFormat(m, store_);
    } else {
        SaveEditFormat(m, store_);
    }
    Message(u"ﾌｫｰﾏｯﾄを作成を完了しました。");
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
    const FormatModel m = draft_.Compose();
    return qm::PreviewEditMarker(StampContext{m, clock_.Now(), codepage_});
}

void Form1::Message(const std::u16string& text) {
    Attempt([&] { GetUi().ShowMessage(text, kProductTitle); });
}

void Form1::Close() { Unload(); }

void Form1::UserClose() { Close(); }

void Form1::Command1_Click(int index) {
    switch (index) {
        case frame_button::kHelp:
            StoreAttributePanel();
            ShowWizardPageHelp();
            break;
        case frame_button::kCancel:
            store_.WriteSettingNumber(u"StartVisible", Check1.Value() == 1 ? 1 : 0);
            Close();
            break;
        case frame_button::kBack:
        case frame_button::kNext:
            // Validated first: a text the check refuses never reaches a record.
            if (!ValidateWizardPage()) return;
            StoreAttributePanel();
            StepPage(index);
            ShowPage();
            break;
        case frame_button::kFinish:
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

void Form1::MoveFixed(int button) {
    RebuildItemList = true;
    RebuildOrderList = true;
    const bool choosing = button == 0 || button == 1;
    const bool all = button == 1 || button == 3;
    ui::ListBox& from = *List1[choosing ? 0 : 1];
    const int selected = from.ListIndex();
    if (!all && selected < 0) return;
    const int number = all ? -1 : from.Entry(selected).tag;
    bool fits = true;
    if (choosing) {
        fits = all ? draft_.ChooseAll() : draft_.Choose(number);
    } else if (all) {
        draft_.UnchooseAll();
    } else {
        draft_.Unchoose(number);
    }
    if (!fits) {
        Message(kTooManyItems);
        return;
    }
    ShowFixedLists(choosing ? 0 : 1, all ? -1 : selected);
}

void Form1::Command2_Click(int index) {
    if (index >= 0 && index < 4) MoveFixed(index);
}

void Form1::UpdateCustomButtons() {
    const bool any = List2.ListCount() > 0;
    Command3[1]->SetEnabled(any);
    Command3[2]->SetEnabled(any);
}

bool Form1::AddCustomItem(const std::u16string& name, std::int32_t kind) {
    if (!draft_.AddCustom(name, kind)) return false;
    RebuildItemList = true;
    RebuildOrderList = true;
    ShowCustomList(List2.ListIndex());
    return true;
}

void Form1::EditCustomItem(const std::u16string& name, std::int32_t kind) {
    RebuildItemList = true;
    RebuildOrderList = true;
    const int selected = List2.ListIndex();
    if (selected < 0 || static_cast<std::size_t>(selected) >= draft_.CustomItems().size()) return;
    draft_.EditCustom(draft_.CustomItems()[static_cast<std::size_t>(selected)].id, name, kind);
    ShowCustomList(selected);
}

void Form1::Command3_Click(int index) {
    // Held for the length of the dialog: a disconnection meanwhile releases the add-in's reference.
    const std::shared_ptr<Form2> dialog = addInClass != nullptr ? addInClass->GetForm2() : nullptr;
    const int selected = List2.ListIndex();
    switch (index) {
        case 0:
            if (dialog == nullptr) return;
            dialog->wizard = this;
            dialog->Prepare(Form2::Mode::Add, u"", kind::kNone);
            dialog->ShowModal();
            UpdateCustomButtons();
            break;
        case 1:
            if (dialog == nullptr || selected < 0) return;
            dialog->wizard = this;
            dialog->Prepare(Form2::Mode::Edit, List2.Entry(selected).text, List2.Entry(selected).tag);
            dialog->ShowModal();
            break;
        case 2:
            if (selected < 0 || static_cast<std::size_t>(selected) >= draft_.CustomItems().size()) return;
            RebuildItemList = true;
            RebuildOrderList = true;
            draft_.RemoveCustom(draft_.CustomItems()[static_cast<std::size_t>(selected)].id);
            ShowCustomList(selected);
            if (List2.ListCount() == 0) UpdateCustomButtons();
            break;
        default:
            break;
    }
}

void Form1::Command4_Click(int index) {
    const std::size_t side = index == 0 ? 0 : 1;
    const int selected = List4[side]->ListIndex();
    if ((index == 0 || index == 1) && selected >= 0) {
        const std::vector<FormatDraft::ItemId> from = side == 0 ? draft_.Unplaced() : draft_.Placed();
        if (static_cast<std::size_t>(selected) < from.size()) {
            const FormatDraft::ItemId id = from[static_cast<std::size_t>(selected)];
            if (side == 0) {
                draft_.Place(id);
            } else {
                draft_.Unplace(id);
            }
            ShowOrderLists(static_cast<int>(side), selected);
        }
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
    TakeAppearance();
}

void Form1::Appearance_Change() { TakeAppearance(); }

void Form1::Check6_Click() {
    const bool on = Check6.Value() == 1;
    for (auto& c : Combo2) c->SetEnabled(on);
    Check7.SetEnabled(on);
    TakeEditRecord();
    Label34.caption = PreviewEditMarker();
}

void Form1::Check7_Click() {
    TakeEditRecord();
    Label34.caption = PreviewEditMarker();
}
void Form1::Combo2_Click(int) {
    TakeEditRecord();
    Label34.caption = PreviewEditMarker();
}
void Form1::Text5_Change() {
    TakeEditRecord();
    Label34.caption = PreviewEditMarker();
}

}  // namespace qm
