#pragma once
// The wizard's pages: what each one is called, which help topic it has, where Back and Next lead, and
// what is done every time it is shown. One table, read by the frame.
#include <cstdint>
#include <optional>

namespace qm {

// The pages by number; the numbers between them are never used.
namespace page {
inline constexpr std::int16_t kIntro = 0;
inline constexpr std::int16_t kStampChoice = 1;
inline constexpr std::int16_t kFixedItems = 10;
inline constexpr std::int16_t kCustomItems = 11;
inline constexpr std::int16_t kAttributes = 12;
inline constexpr std::int16_t kOrder = 13;
inline constexpr std::int16_t kAppearance = 14;
inline constexpr std::int16_t kEditRecord = 60;
inline constexpr std::int16_t kDone = 100;
}  // namespace page

// The frame's buttons, by index of Command1.
namespace frame_button {
inline constexpr int kHelp = 0;
inline constexpr int kCancel = 1;
inline constexpr int kBack = 2;
inline constexpr int kNext = 3;
inline constexpr int kFinish = 4;
}  // namespace frame_button

enum class ButtonState : std::uint8_t { Keep, Enable, Disable };

struct WizardPage {
    std::int16_t number;
    const char16_t* title;  // after "Wek Quillmark ﾌｫｰﾏｯﾄ ｳｨｻﾞｰﾄﾞ - "
    std::int32_t helpContext;
    // Where Back and Next lead, for the function-description stamp and for the edit-record stamp.
    std::int16_t backFunction, backEdit;
    std::int16_t nextFunction, nextEdit;
    // Each time the page is shown: the Back, Next and Finish buttons, and the lists rebuilt when due.
    ButtonState back, next, finish;
    bool rebuildItems;  // the item list, when RebuildItemList is set
    bool rebuildOrder;  // the order lists, when RebuildOrderList is set
};

inline constexpr char16_t kWizardTitleHead[] = u"Wek Quillmark ﾌｫｰﾏｯﾄ ｳｨｻﾞｰﾄﾞ - ";

inline constexpr WizardPage kWizardPages[] = {
    {page::kIntro, u"はじめに", 13, page::kIntro, page::kIntro, page::kStampChoice, page::kStampChoice, ButtonState::Disable,
     ButtonState::Keep, ButtonState::Keep, false, false},
    {page::kStampChoice, u"ｽﾀﾝﾌﾟ 種類の選択", 8, page::kIntro, page::kIntro, page::kFixedItems, page::kEditRecord, ButtonState::Enable,
     ButtonState::Keep, ButtonState::Keep, false, false},
    {page::kFixedItems, u"定形項目の選択", 14, page::kStampChoice, page::kStampChoice, page::kCustomItems, page::kCustomItems,
     ButtonState::Keep, ButtonState::Keep, ButtonState::Keep, false, false},
    {page::kCustomItems, u"独自項目の作成", 15, page::kFixedItems, page::kFixedItems, page::kAttributes, page::kAttributes,
     ButtonState::Keep, ButtonState::Keep, ButtonState::Keep, false, false},
    {page::kAttributes, u"属性詳細の設定", 16, page::kCustomItems, page::kCustomItems, page::kOrder, page::kOrder, ButtonState::Keep,
     ButtonState::Enable, ButtonState::Keep, true, false},
    // Page 13's Next follows its undecided list; the frame sets it after the page's own steps.
    {page::kOrder, u"項目名の表示順設定", 17, page::kAttributes, page::kAttributes, page::kAppearance, page::kAppearance, ButtonState::Keep,
     ButtonState::Keep, ButtonState::Disable, false, true},
    {page::kAppearance, u"外観の拡張設定", 18, page::kOrder, page::kOrder, page::kDone, page::kDone, ButtonState::Keep, ButtonState::Enable,
     ButtonState::Enable, false, false},
    {page::kEditRecord, u"編集記録ｽﾀﾝﾌﾟの設定", 19, page::kStampChoice, page::kStampChoice, page::kDone, page::kDone, ButtonState::Keep,
     ButtonState::Enable, ButtonState::Enable, false, false},
    {page::kDone, u"完了！", 20, page::kAppearance, page::kEditRecord, page::kDone, page::kDone, ButtonState::Keep, ButtonState::Disable,
     ButtonState::Keep, false, false},
};

// The page of that number; none for a number that is no page.
inline const WizardPage* FindWizardPage(int number) {
    for (const WizardPage& page : kWizardPages) {
        if (page.number == number) return &page;
    }
    return nullptr;
}

}  // namespace qm
