#pragma once
// The wizard's pages: what each one is called, which help topic it has, where Back and Next lead, and
// what is done every time it is shown. One table, read by the frame.
#include <cstdint>
#include <optional>

namespace qm {

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
    {0, u"はじめに", 13, 0, 0, 1, 1, ButtonState::Disable, ButtonState::Keep, ButtonState::Keep, false, false},
    {1, u"ｽﾀﾝﾌﾟ 種類の選択", 8, 0, 0, 10, 60, ButtonState::Enable, ButtonState::Keep, ButtonState::Keep, false, false},
    {10, u"定形項目の選択", 14, 1, 1, 11, 11, ButtonState::Keep, ButtonState::Keep, ButtonState::Keep, false, false},
    {11, u"独自項目の作成", 15, 10, 10, 12, 12, ButtonState::Keep, ButtonState::Keep, ButtonState::Keep, false, false},
    {12, u"属性詳細の設定", 16, 11, 11, 13, 13, ButtonState::Keep, ButtonState::Enable, ButtonState::Keep, true, false},
    // Page 13's Next follows its undecided list; the frame sets it after the page's own steps.
    {13, u"項目名の表示順設定", 17, 12, 12, 14, 14, ButtonState::Keep, ButtonState::Keep, ButtonState::Disable, false, true},
    {14, u"外観の拡張設定", 18, 13, 13, 100, 100, ButtonState::Keep, ButtonState::Enable, ButtonState::Enable, false, false},
    {60, u"編集記録ｽﾀﾝﾌﾟの設定", 19, 1, 1, 100, 100, ButtonState::Keep, ButtonState::Enable, ButtonState::Enable, false, false},
    {100, u"完了！", 20, 14, 60, 100, 100, ButtonState::Keep, ButtonState::Disable, ButtonState::Keep, false, false},
};

// The page of that number; none for a number that is no page.
inline const WizardPage* FindWizardPage(int number) {
    for (const WizardPage& page : kWizardPages) {
        if (page.number == number) return &page;
    }
    return nullptr;
}

}  // namespace qm
