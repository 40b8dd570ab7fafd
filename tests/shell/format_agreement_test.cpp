// One road from the store: the wizard's loaded format, the format the stamp buttons use and the
// command's loader agree, and so do the add-in's stamps and `quillmark stamp` and `quillmark mark`,
// damaged stores included.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "addin/shell/addin_class.h"
#include "platform/files.h"
#include "platform/sim/simulated_vbe.h"
#include "platform/sim/headless.h"
#include "tests/test_support.h"

namespace qm::test {
namespace {

namespace fs = std::filesystem;

struct Stored {
    const char* name;
    const char16_t* value;
};

struct Case {
    const char* what;
    std::vector<Stored> values;
};

std::u16string Many(const std::u16string& group, int n) {
    std::u16string out;
    for (int i = 0; i < n; ++i) out += group;
    return out;
}

// Everything of the function-description format that a stamp reads.
void ExpectSame(const FormatModel& a, const FormatModel& b, const std::string& what) {
    EXPECT_EQ(ComposeFixedFormList(a.ChosenFixedItems), ComposeFixedFormList(b.ChosenFixedItems)) << what;
    EXPECT_EQ(ComposeCustomFormList(a.CustomItems), ComposeCustomFormList(b.CustomItems)) << what;
    ASSERT_EQ(a.ItemList.size(), b.ItemList.size()) << what;
    for (std::size_t r = 0; r < a.ItemList.size(); ++r) {
        EXPECT_EQ(a.ItemList[r].name, b.ItemList[r].name) << what << " row " << r;
        EXPECT_EQ(a.ItemList[r].kind, b.ItemList[r].kind) << what << " row " << r;
        EXPECT_EQ(a.ItemAttributes[r].PadText, b.ItemAttributes[r].PadText) << what << " row " << r;
    }
    EXPECT_EQ(a.DisplayOrder, b.DisplayOrder) << what;
    EXPECT_EQ(ComposeSelectDatas(a), ComposeSelectDatas(b)) << what;
    EXPECT_EQ(a.PadAll, b.PadAll) << what;
    EXPECT_EQ(a.Indent, b.Indent) << what;
    EXPECT_EQ(a.RulerCount, b.RulerCount) << what;
    EXPECT_EQ(a.RulerSymbol, b.RulerSymbol) << what;
}

const std::vector<std::u16string> kModule = {u"Public Function AddTax(ByVal price As Long, rate) As Long", u"    AddTax = price",
                                             u"End Function"};

// A click on a stamp button with a selection, and the command that does the same.
struct Action {
    const char16_t* button;
    ide::Selection selection;
    std::string verb;     // of the command
    std::string options;  // after the file
};

const Action kDescribe{u"LVｽﾀﾝﾌﾟ", {2, 1, 2, 1}, "stamp", "--line 2"};

// The module after the action in the add-in.
std::string AddInStamp(const std::vector<Stored>& values, const Action& action, FormatModel& buttons, FormatModel& wizardDraft) {
    MemoryStore settings;
    for (const Stored& v : values) settings.Put(U(v.name), v.value);
    FixedClock clock{{1999, 12, 1, 9, 5, 7}};
    ui::HeadlessUi ui;
    const std::shared_ptr<ide::SimulatedVbe> vbe = ide::SimulatedVbe::Create(ui);
    auto addIn = std::make_shared<AddInClass>(AddInServices{settings.registry, Cp932(), clock, ui, u"C:\\Q\\WekQM417.dll"});
    vbe->ConnectAddIn(addIn, 1);
    buttons = addIn->GetForm1()->Format();
    wizardDraft = addIn->GetForm1()->Draft().Compose();
    ide::TextCodeModule& module = vbe->AddCodeWindow(u"Module1", kModule);
    vbe->Activate(u"Module1");
    vbe->Pane(u"Module1")->SetSelection(action.selection);
    vbe->Click(action.button);
    std::u16string text;
    for (const std::u16string& line : module.AllLines()) {
        text += line;
        text += u"\r\n";
    }
    vbe->Shutdown();
    return Cp932().ToAnsi(text);
}

std::string AddInStamp(const std::vector<Stored>& values, const Action& action) {
    FormatModel buttons;
    FormatModel draft;
    return AddInStamp(values, action, buttons, draft);
}

// The module as the command prints it after the action, with no editor or author of the tester's own.
std::string CommandStamp(const std::vector<Stored>& values, const Action& action) {
    // A folder of the test's own and the process's: the tests of this file run side by side, and
    // so may two builds' runs.
    const fs::path dir =
        fs::temp_directory_path() /
        (std::string("qm-agreement-") + ::testing::UnitTest::GetInstance()->current_test_info()->name() + "-" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::u16string reg = u"REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\" + std::u16string(kSettingsKey) + u"]\r\n";
    for (const Stored& v : values) reg += u"\"" + U(v.name) + u"\"=\"" + v.value + u"\"\r\n";
    std::ofstream(dir / "settings.reg", std::ios::binary) << Cp932().ToAnsi(reg);
    std::u16string source;
    for (const std::u16string& line : kModule) source += line + u"\r\n";
    std::ofstream(dir / "Module1.bas", std::ios::binary) << Cp932().ToAnsi(source);
    const std::string command = std::string("env -u QUILLMARK_AUTHOR -u QUILLMARK_EDITOR '") + QUILLMARK_EXE + "' " + action.verb + " '" +
                                (dir / "Module1.bas").string() + "' " + action.options + " --settings '" + (dir / "settings.reg").string() +
                                "' --now '1999-12-01 09:05:07' >'" + (dir / "out").string() + "' 2>/dev/null";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    std::string out = ReadWholeFile((dir / "out").string());
    fs::remove_all(dir);
    return out;
}

TEST(OneRoadFromTheStore, TheWizardTheButtonsAndTheCommandAgree) {
    const std::u16string forty = Many(u"[項目,-1]", 40);
    const Case cases[] = {
        {"nothing stored", {}},
        {"a kind above 16 bits", {{"CustomFormList", u"[確認者,65538]"}, {"SelectDatas", u"[0,0,0,0,0,][4,1,1,0,0,x]"}}},
        {"a kind below 16 bits", {{"CustomFormList", u"[確認者,-32769]"}, {"SelectDatas", u"[4,1,0,0,0,][2,0,1,0,0,]"}}},
        {"more than 31 rows", {{"CustomFormList", forty.c_str()}, {"SelectDatas", u"[35,0,0,0,0,][30,0,0,0,0,][0,1,0,0,0,][31,0,0,0,0,]"}}},
        {"groups naming missing rows", {{"SelectDatas", u"[9,0,0,0,0,][-1,1,0,0,0,][2,1,0,0,0,][2,0,0,0,0,][0,1,0,0,0,]"}}},
        {"empty and negative numbers",
         {{"FixedFormList", u"0,2,3,4"}, {"SelectDatas", u"[0,,,,,][1,-1,-5,,,][3,-2,-1,-9,,][2,,,,,]"}, {"ExtendValue", u",1,-3,-"}}},
        {"an indent of 31", {{"ExtendValue", u"31,1,78,-"}}},
        {"a ruler of 1001 bytes", {{"ExtendValue", u"1,1,1001,-"}}},
        {"an author and a date", {{"FixedFormList", u"0,4,5"}, {"SelectDatas", u"[2,0,0,0,0,企画部, 第二課][1,1,2,2,1,][0,1,0,0,0,]"}}},
    };
    for (const Case& c : cases) {
        FormatModel buttons;
        FormatModel draft;
        const std::string addInBytes = AddInStamp(c.values, kDescribe, buttons, draft);
        MemoryStore settings;
        for (const Stored& v : c.values) settings.Put(U(v.name), v.value);
        const FormatModel loaded = LoadFormatModel(settings.store);
        ExpectSame(buttons, loaded, c.what);
        ExpectSame(draft, loaded, c.what);
        EXPECT_EQ(addInBytes, CommandStamp(c.values, kDescribe)) << c.what;
    }
}

// The edit-record button and `quillmark mark`, at the caret and around lines, over stored edit-record
// formats as the wizard writes them and as a hand or an older version might have left them.
TEST(OneRoadFromTheStore, TheEditButtonAndTheCommandAgree) {
    const Action actions[] = {
        {u"編集ｽﾀﾝﾌﾟ", {2, 1, 2, 1}, "mark", "--from 2:1"},
        {u"編集ｽﾀﾝﾌﾟ", {1, 5, 2, 9}, "mark", "--from 1:5 --to 2:9"},
    };
    const std::u16string longName = u"1,1,2,2,1," + Many(u"山", 300);
    const Case cases[] = {
        {"nothing stored", {}},
        {"as the wizard writes it", {{"EditStamp", u"1,1,2,2,1,山田"}}},
        {"no date, a time", {{"EditStamp", u"0,1,3,1,1,Yamada"}}},
        {"numbers out of range", {{"EditStamp", u"5,9,-3,70000,2,山田"}}},
        {"numbers beyond 32 bits", {{"EditStamp", u"99999999999,-99999999999,1,4,1,x"}}},
        {"negative numbers", {{"EditStamp", u"-1,-1,-1,-1,-1,名前"}}},
        {"words for numbers", {{"EditStamp", u"yes,one,-,/,no,名前"}}},
        {"every field empty", {{"EditStamp", u",,,,,"}}},
        {"an empty value", {{"EditStamp", u""}}},
        {"no editor name", {{"EditStamp", u"1,1,1,1,1"}}},
        {"an empty editor name", {{"EditStamp", u"1,1,1,1,1,"}}},
        {"only the date flag", {{"EditStamp", u"1"}}},
        {"commas in the editor name", {{"EditStamp", u"1,0,0,0,0,企画部, 第二課"}}},
        {"a name longer than the wizard takes", {{"EditStamp", longName.c_str()}}},
        {"the function format damaged beside it", {{"ExtendValue", u"31,1,1001,-"}, {"EditStamp", u"1,1,1,3,1,山田"}}},
    };
    for (const Case& c : cases) {
        for (const Action& action : actions) {
            EXPECT_EQ(AddInStamp(c.values, action), CommandStamp(c.values, action)) << c.what << ", " << action.options;
        }
    }
}

}  // namespace
}  // namespace qm::test
