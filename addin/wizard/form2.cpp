#include "addin/wizard/form2.h"

#include "addin/settings/format_rules.h"

#include "addin/shell/addin_module.h"
#include "addin/shell/help.h"
#include "addin/wizard/form1.h"
#include "addin/wizard/form_layout.h"
#include "platform/failure.h"
#include "platform/text.h"

namespace qm {
namespace {
constexpr std::int32_t kKinds[] = {kind::kNone,        kind::kFunctionName, kind::kArguments,
                                   kind::kReturnValue, kind::kCreationDate, kind::kAuthor};

using T = ControlType;
constexpr ControlPlace kLayout[] = {
    {T::Label, u"Label1", -1, nullptr, -1, 120, 180, 1320, 255, u"項目名(&N) :"},
    {T::TextBox, u"Text1", -1, nullptr, -1, 1440, 150, 1920, 300},
    {T::Frame, u"Frame1", -1, nullptr, -1, 120, 720, 3240, 975, u"属性"},
    {T::ComboBox, u"Combo1", -1, u"Frame1", -1, 240, 360, 2760, 300},
    {T::CommandButton, u"Command1", 0, nullptr, -1, 3540, 150, 1215, 375, u"OK", look::kDefault},
    {T::CommandButton, u"Command1", 1, nullptr, -1, 3540, 630, 1215, 375, u"ｷｬﾝｾﾙ", look::kCancel},
    {T::CommandButton, u"Command1", 2, nullptr, -1, 3540, 1110, 1215, 375, u"ﾍﾙﾌﾟ(&H)"},
};
}  // namespace

Form2::Form2(ui::Ui& ui, const Codepage& codepage) : ui::Form(ui, u"Form2"), codepage_(codepage) {
    caption = u"独自項目の追加";
    width = 4920;
    height = 2475;
    scaleHeight = 2055;
    LayOut(*this, kLayout, made_);
    for (std::size_t i = 0; i < Command1.size(); ++i) {
        Command1[i] = ControlOf<ui::CommandButton>(*this, u"Command1", static_cast<int>(i));
        Command1[i]->onClick = [this, i] { Command1_Click(static_cast<int>(i)); };
    }
    Text1.onChange = [this] { Text1_Change(); };
}

std::int32_t Form2::KindOfEntry(int index) { return index >= 0 && index < static_cast<int>(std::size(kKinds)) ? kKinds[index] : -1; }

int Form2::EntryOfKind(std::int32_t kind) {
    for (std::size_t i = 0; i < std::size(kKinds); ++i) {
        if (kKinds[i] == kind) return static_cast<int>(i);
    }
    return -1;
}

void Form2::Form_Load() {
    Centre();
    Combo1.Clear();
    for (const char16_t* entry : {u"(なし)", u"関数名", u"引数", u"戻り値", u"作成日", u"作成者"}) Combo1.AddItem(entry);
    Command1[0]->SetEnabled(!TrimBlanks(Text1.Text()).empty());
}

void Form2::Prepare(Mode mode, const std::u16string& name, std::int32_t kind) {
    Load();
    caption = mode == Mode::Add ? u"独自項目の追加" : u"独自項目の編集";
    Text1.SetText(name);
    Text1_Change();
    if (mode == Mode::Add) {
        Combo1.SetListIndex(0);
    } else if (const int entry = EntryOfKind(kind); entry >= 0) {
        Combo1.SetListIndex(entry);
    }
}

bool Form2::AddMode() const { return caption.size() >= 2 && caption.substr(caption.size() - 2) == u"追加"; }

void Form2::Text1_Change() { Command1[0]->SetEnabled(!TrimBlanks(Text1.Text()).empty()); }

void Form2::Fail(const std::u16string& text) {
    Attempt([&] { GetUi().ShowMessage(text, kProductTitle); });
    Attempt([&] { Text1.SetFocus(); });
}

void Form2::Command1_Click(int index) {
    if (index == 1) {
        Unload();
        return;
    }
    if (index == 2) {
        if (wizard != nullptr) Attempt([&] { OpenHelpTopic(GetUi(), wizard->HelpFile, 22); });
        return;
    }
    const std::u16string& name = Text1.Text();
    if (const auto refusal = CheckCustomItemName(name, codepage_)) {
        Fail(refusal->message);
        return;
    }
    if (wizard == nullptr) {
        Unload();
        return;
    }
    const std::u16string stored(TrimBlanks(name));
    const std::int32_t kind = KindOfEntry(Combo1.ListIndex());
    if (AddMode()) {
        // The item table has 31 rows: a further item is refused before anything changes.
        if (!wizard->AddCustomItem(stored, kind)) {
            Fail(kTooManyItems);
            return;
        }
    } else {
        wizard->EditCustomItem(stored, kind);
    }
    Unload();
}

}  // namespace qm
