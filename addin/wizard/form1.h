#pragma once
// The format wizard. While the add-in is connected its form stays loaded, hidden: its pages hold the
// format both stamps are made from, its timer polls the button state, and its pictures hold the
// button faces. Shown, it walks the user through nine pages and saves one stamp's format.
#include <array>
#include <functional>
#include <map>
#include <memory>

#include "addin/settings/format_model.h"
#include "addin/shell/addin_module.h"
#include "addin/wizard/format_draft.h"
#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/ide/vbe.h"
#include "platform/ui/forms.h"

namespace qm {

class AddInClass;

inline constexpr char16_t kTooManyItems[] = u"項目は全部で31個までしか使用できません。";

class Form1 : public ui::Form {
public:
    Form1(ui::Ui& ui, SettingsStore& store, const Clock& clock, const Codepage& codepage);

    // Handed over at connection.
    std::shared_ptr<ide::VBE> VBInstance;
    AddInClass* addInClass = nullptr;
    std::u16string HelpFile;  // of its common dialog

    // The format both stamps are made from, as the last load read it from the store.
    const FormatModel& Format() const { return format_; }
    // The format as the pages edit it, until Finish stores it or the wizard closes.
    const FormatDraft& Draft() const { return draft_; }
    // The custom item dialog's OK: false, and nothing changes, when the item table is full.
    bool AddCustomItem(const std::u16string& name, std::int32_t kind);
    void EditCustomItem(const std::u16string& name, std::int32_t kind);
    void UserClose() override;

    // Wizard variables.
    std::int16_t CurrentPage = 0;
    std::int16_t PreviousPage = 0;
    bool RebuildItemList = false;
    bool RebuildOrderList = false;
    std::int16_t CurrentRow = 0;
    std::int16_t CurrentKind = -1;
    std::int16_t PreviousKind = -1;
    bool SuppressRowEvent = false;

    // The operations of the pages.
    void StepPage(int button);
    void ShowPage();
    void StoreAttributePanel();
    bool ValidateWizardPage();
    void SaveWizardFormat();
    void ShowWizardPageHelp();
    std::u16string PreviewCreationDate() const;
    std::u16string PreviewEditMarker() const;
    // The window title of a page.
    static std::u16string PageTitle(int page);

    // Handlers.
    void Command1_Click(int index);
    void Command2_Click(int index);
    void Command3_Click(int index);
    void Command4_Click(int index);
    void List1_DblClick(int index);
    void List2_DblClick();
    void List3_Click();
    void List4_DblClick(int index);
    void Check4_Click();
    void Check5_Click();
    void Check6_Click();
    void Check7_Click();
    void Combo1_Click(int index);
    void Combo2_Click(int index);
    void Text5_Change();
    void Appearance_Change();

    // The frame.
    std::array<ui::CommandButton*, 5> Command1{};  // help, cancel, back, next, finish
    std::map<int, ui::PictureBox*> Picture3;       // the pages, by number
    std::map<int, ui::Image*> PageImage;           // the picture at each page's left

    // Page 0.
    ui::Label Label1{*this, u"Label1", -1};
    ui::CheckBox Check1{*this, u"Check1", -1};
    // Page 1.
    ui::Label Label2{*this, u"Label2", -1};
    std::array<ui::OptionButton*, 2> Option1{};
    // Page 10.
    ui::Label Label3{*this, u"Label3", -1};
    ui::Label Label4{*this, u"Label4", -1};
    ui::Label Label5{*this, u"Label5", -1};
    std::array<ui::Label*, 2> Label6{};
    std::array<ui::ListBox*, 2> List1{};
    std::array<ui::CommandButton*, 4> Command2{};
    // Page 11.
    ui::Label Label7{*this, u"Label7", -1};
    ui::Label Label9{*this, u"Label9", -1};
    ui::ListBox List2{*this, u"List2", -1};
    std::array<ui::CommandButton*, 3> Command3{};
    // Page 12.
    std::array<ui::Label*, 3> Label8{};
    ui::Label Label10{*this, u"Label10", -1};
    ui::ListBox List3{*this, u"List3", -1};
    ui::Frame Frame2{*this, u"Frame2", -1};
    std::map<int, ui::PictureBox*> Picture8;  // attribute panels, by kind 0 to 5
    std::map<int, ui::Label*> Label11;        // panel titles
    std::array<ui::OptionButton*, 2> Option2{};
    std::array<ui::OptionButton*, 2> Option3{};
    ui::CheckBox Check2{*this, u"Check2", -1};
    ui::CheckBox Check3{*this, u"Check3", -1};
    std::array<ui::ComboBox*, 3> Combo1{};
    ui::CheckBox Check4{*this, u"Check4", -1};
    ui::Label Label21{*this, u"Label21", -1};
    ui::TextBox Text1{*this, u"Text1", -1};
    // Page 13.
    ui::Label Label13{*this, u"Label13", -1};
    std::array<ui::Label*, 2> Label14{};
    std::array<ui::ListBox*, 2> List4{};
    std::array<ui::CommandButton*, 2> Command4{};
    // Page 14.
    ui::Frame Frame3{*this, u"Frame3", -1};
    ui::Label Label15{*this, u"Label15", -1};
    ui::TextBox Text2{*this, u"Text2", -1};
    ui::CheckBox Check5{*this, u"Check5", -1};
    ui::Label Label29{*this, u"Label29", -1};
    ui::Label Label30{*this, u"Label30", -1};
    ui::TextBox Text3{*this, u"Text3", -1};
    ui::Label Label31{*this, u"Label31", -1};
    ui::TextBox Text4{*this, u"Text4", -1};
    ui::Label Label26{*this, u"Label26", -1};
    // Page 60.
    ui::Label Label32{*this, u"Label32", -1};
    ui::TextBox Text5{*this, u"Text5", -1};
    ui::Label Label35{*this, u"Label35", -1};
    ui::CheckBox Check6{*this, u"Check6", -1};
    std::array<ui::Label*, 3> Label37{};
    std::array<ui::ComboBox*, 3> Combo2{};
    ui::Label Label38{*this, u"Label38", -1};
    ui::CheckBox Check7{*this, u"Check7", -1};
    ui::Label Label39{*this, u"Label39", -1};
    ui::Label Label34{*this, u"Label34", -1};
    ui::Label Label33{*this, u"Label33", -1};
    // Page 100.
    ui::Label Label36{*this, u"Label36", -1};
    ui::Label Label40{*this, u"Label40", -1};

    // Hidden, while connected.
    ui::Timer Timer1{*this, u"Timer1", -1};
    std::array<ui::PictureBox*, 7> Picture1{};

protected:
    void Form_Load() override;

private:
    void Design();
    void FillDateLists(const std::array<ui::ComboBox*, 3>& lists);
    // The lists of the pages, drawn from the draft.
    void ShowFixedLists(int movedFrom, int removedAt);
    void ShowCustomList(int select);
    void ShowItemList();
    void ShowOrderLists(int movedFrom, int removedAt);
    void RebuildItems();
    void RebuildOrder();
    // What pages 14 and 60 show, into the draft.
    void TakeAppearance();
    void TakeEditRecord();
    void MoveFixed(int button);
    void UpdateCustomButtons();
    void UpdateOrderNext();
    void ShowPanel(int kind);
    // The item behind a row of the item list; none past its end.
    std::optional<FormatDraft::ItemId> ItemAt(int row) const;
    void Message(const std::u16string& text);
    void Close();

    // The members of control arrays, made by the layout.
    std::vector<std::unique_ptr<ui::Control>> made_;
    SettingsStore& store_;
    const Clock& clock_;
    const Codepage& codepage_;
    LocalDateTime loadedAt_;
    FormatModel format_;
    FormatDraft draft_;
};

}  // namespace qm
