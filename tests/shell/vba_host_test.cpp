// The add-in in Office's VBA editor: the stand-in is as strict as the editor, and the add-in finds its
// bars, routes its clicks and rewrites its load behaviour there as the editor needs.
#include <gtest/gtest.h>

#include <algorithm>

#include "addin/shell/addin_class.h"
#include "platform/bytes.h"
#include "platform/failure.h"
#include "platform/sim/headless.h"
#include "platform/sim/simulated_vbe.h"
#include "tests/test_support.h"

namespace qm::test {
namespace {

std::shared_ptr<ide::SimulatedVbe> VbaEditor(ui::Ui& ui) {
    ide::SimulatedVbe::Options options;
    options.host = ide::HostKind::Vba;
    return ide::SimulatedVbe::Create(ui, options);
}

std::optional<std::int32_t> StoredNumber(MemoryRegistry& registry, const std::u16string& key, const std::u16string& name) {
    SettingsStore store(registry, Cp932(), key);
    const auto stored = store.PeekSetting(name);
    if (!stored || stored->data.size() != 4) return std::nullopt;
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(stored->data[static_cast<std::size_t>(i)]);
    return static_cast<std::int32_t>(v);
}

void PutNumber(MemoryRegistry& registry, const std::u16string& key, const std::u16string& name, std::int32_t value) {
    RegKey k = 0;
    ASSERT_EQ(registry.CreateKey(Hive::CurrentUser, key, &k), RegStatus::Success);
    const auto bytes = PackLe32(static_cast<std::uint32_t>(value));
    registry.SetValue(k, name, regtype::Dword, bytes.data(), 4);
    registry.CloseKey(k);
}

// What an add-in may and may not find in the editor's object model.
TEST(VbaEditor, OffersOnlyWhatTheEditorOffers) {
    ui::HeadlessUi ui;
    const auto vbe = VbaEditor(ui);
    const auto bars = vbe->GetCommandBars();
    EXPECT_EQ(vbe->Host(), ide::HostKind::Vba);
    // The VB6 environment's bar names are not the editor's: its Add-Ins menu is a popup of the menu
    // bar, and a built-in bar answers to its English name only.
    EXPECT_THROW(bars->Item(u"Add-Ins"), PlatformError);
    EXPECT_THROW(bars->Item(u"標準"), PlatformError);
    EXPECT_EQ(bars->Item(u"Standard")->Name(), u"Standard");
    const auto addIns = bars->FindControl(ide::ControlType::Popup, 30038);
    ASSERT_NE(addIns, nullptr);
    EXPECT_EQ(addIns->Controls()->Item(1)->Caption(), u"ｱﾄﾞｲﾝ ﾏﾈｰｼﾞｬ(&A)...");
    EXPECT_EQ(bars->FindControl(ide::ControlType::Button, 30038), nullptr);  // the type counts too
    // A module of an Office document has no file.
    auto& module = vbe->AddCodeWindow(u"Sheet1", {u"Option Explicit"}, u"C:\\Book1.xlsm");
    EXPECT_THROW(module.Parent().FileNames(1), PlatformError);

    ide::SimulatedVbe::Options without;
    without.host = ide::HostKind::Vba;
    without.addInsBar = false;
    without.standardBar = false;
    const auto bare = ide::SimulatedVbe::Create(ui, without);
    EXPECT_EQ(bare->GetCommandBars()->FindControl(ide::ControlType::Popup, 30038), nullptr);
    EXPECT_THROW(bare->GetCommandBars()->Item(u"Standard"), PlatformError);
}

// Office takes the controls of one Id and Tag for one command: a click reaches all of their sources.
// The VB6 environment raises it at the clicked control alone.
TEST(VbaEditor, RaisesAClickAtEveryControlOfTheSameIdAndTag) {
    struct Case {
        ide::HostKind host;
        const char16_t* tagA;
        const char16_t* tagB;
        int firedB;  // clicks that reach B's source when A is clicked
    };
    const Case cases[] = {
        {ide::HostKind::Vba, nullptr, nullptr, 1}, {ide::HostKind::Vba, u"x", u"x", 1},       {ide::HostKind::Vba, u"a", u"b", 0},
        {ide::HostKind::Vba, u"a", nullptr, 0},    {ide::HostKind::Vb6, nullptr, nullptr, 0},
    };
    for (const Case& c : cases) {
        ui::HeadlessUi ui;
        ide::SimulatedVbe::Options options;
        options.host = c.host;
        const auto vbe = ide::SimulatedVbe::Create(ui, options);
        const auto bar = vbe->GetCommandBars()->Add(u"Bar", 1);
        const auto a = bar->Controls()->Add(ide::ControlType::Button, std::nullopt);
        const auto b = bar->Controls()->Add(ide::ControlType::Button, std::nullopt);
        a->SetCaption(u"A");
        b->SetCaption(u"B");
        if (c.tagA != nullptr) a->SetTag(c.tagA);
        if (c.tagB != nullptr) b->SetTag(c.tagB);
        int firedA = 0;
        int firedB = 0;
        const auto sourceA = vbe->GetEvents()->GetCommandBarEvents(a);
        const auto sourceB = vbe->GetEvents()->GetCommandBarEvents(b);
        sourceA->OnClick([&](ide::CommandBarControl&, bool&, bool&) { ++firedA; });
        sourceB->OnClick([&](ide::CommandBarControl&, bool&, bool&) { ++firedB; });
        vbe->Click(u"A");
        EXPECT_EQ(firedA, 1);
        EXPECT_EQ(firedB, c.firedB) << (c.host == ide::HostKind::Vba ? "VBA " : "VB6 ") << (c.tagA ? "tagged" : "untagged");
    }
}

struct InVba {
    MemoryStore settings;
    FixedClock clock{{1999, 12, 1, 9, 5, 7}};
    ui::HeadlessUi ui;
    std::shared_ptr<ide::SimulatedVbe> vbe = VbaEditor(ui);
    explicit InVba(int bitness = 64) : bitness_(bitness) {}
    std::shared_ptr<AddInClass> Make() {
        AddInServices services{settings.registry, Cp932(), clock, ui, u"C:\\Q\\WekQM417.dll"};
        services.bitness = bitness_;
        return std::make_shared<AddInClass>(services);
    }
    ~InVba() { vbe->Shutdown(); }
    int bitness_;
};

// Both placements and the Add-Ins menu land where the editor has them, each control tagged apart.
TEST(VbaEditor, TheAddInFindsItsBarsWithoutLocalizedCaptions) {
    for (const std::int32_t placement : {0, 1}) {
        InVba c;
        c.settings.Put(u"CustomFormList", u"");  // the key exists
        PutNumber(c.settings.registry, kSettingsKey, u"ToolBarPosition", placement);
        c.vbe->ConnectAddIn(c.Make(), 1);
        const auto menu = c.vbe->FindControlsByPath(u"Menu Bar/ｱﾄﾞｲﾝ(&A)/Wek Quillmark for VB6 Ver1.0(&M)");
        ASSERT_EQ(menu.size(), 1U) << placement;
        EXPECT_EQ(menu.front().position, 2);
        const auto stamp = c.vbe->FindControls(u"LVｽﾀﾝﾌﾟ");
        ASSERT_EQ(stamp.size(), 1U) << placement;
        EXPECT_EQ(stamp.front().bar, placement == 0 ? u"Standard" : u"WekAddinToolBar");
        // No two of the add-in's controls share a tag.
        std::vector<std::u16string> tags;
        for (const auto& caption : {u"編集ｽﾀﾝﾌﾟ", u"LVｽﾀﾝﾌﾟ", u"ﾒﾆｭｰ", u"ﾌｫｰﾏｯﾄ ｳｨｻﾞｰﾄﾞ(&F)...", u"Wek Quillmark の終了(&X)"}) {
            for (const auto& found : c.vbe->FindControls(caption)) tags.push_back(found.control->Tag());
        }
        std::sort(tags.begin(), tags.end());
        EXPECT_EQ(std::adjacent_find(tags.begin(), tags.end()), tags.end()) << placement;
        EXPECT_EQ(std::count(tags.begin(), tags.end(), u""), 0) << placement;
    }
}

// The exit command rewrites the load behaviour in the key of the editor it runs in, chosen by the
// library's bitness; the VB6 registration and the format stay as they are, and a key the editor never
// had is not made.
TEST(VbaEditor, ExitRewritesTheLoadBehaviourOfItsOwnHost) {
    struct Case {
        int bitness;
        std::optional<std::int32_t> before;  // nothing: the editor's key does not exist
        std::optional<std::int32_t> after;
    };
    const Case cases[] = {{64, 3, 1}, {64, 2, 0}, {64, 1, 1}, {32, 3, 1}, {32, 2, 0}, {64, std::nullopt, std::nullopt}};
    for (const Case& c : cases) {
        InVba vba(c.bitness);
        const std::u16string own = VbaRegistrationKey(c.bitness);
        const std::u16string other = VbaRegistrationKey(c.bitness == 64 ? 32 : 64);
        PutNumber(vba.settings.registry, kSettingsKey, u"LoadBehavior", 3);
        PutNumber(vba.settings.registry, other, u"LoadBehavior", 3);
        if (c.before) PutNumber(vba.settings.registry, own, u"LoadBehavior", *c.before);
        vba.vbe->ConnectAddIn(vba.Make(), 1);
        vba.vbe->Click(u"Wek Quillmark の終了(&X)");
        EXPECT_FALSE(vba.vbe->AddInConnected());
        EXPECT_EQ(StoredNumber(vba.settings.registry, own, u"LoadBehavior"), c.after) << c.bitness;
        EXPECT_EQ(StoredNumber(vba.settings.registry, other, u"LoadBehavior"), 3) << c.bitness;
        EXPECT_EQ(StoredNumber(vba.settings.registry, kSettingsKey, u"LoadBehavior"), 3) << c.bitness;
        SettingsStore ownStore(vba.settings.registry, Cp932(), own);
        EXPECT_EQ(ownStore.KeyExists(), c.before.has_value());
    }
}


// One person with both editors open at once: VB6 and a 64-bit Office, each process with the add-in
// loaded, one registry between them. Each exit command rewrites only its own host's load behaviour;
// the format is one for both, and nothing either writes takes a value from the other.
TEST(BothEditors, ShareOneFormatAndExitEachOnItsOwn) {
    MemoryStore settings;
    FixedClock clock{{1999, 12, 1, 9, 5, 7}};
    settings.Put(u"EditStamp", u"1,1,1,1,1,山田");
    PutNumber(settings.registry, kSettingsKey, u"LoadBehavior", 3);
    PutNumber(settings.registry, kVbaKey64, u"LoadBehavior", 3);
    PutNumber(settings.registry, kVbaKey32, u"LoadBehavior", 3);  // an older 32-bit Office, not running

    ui::HeadlessUi vb6Ui;
    ui::HeadlessUi vbaUi;
    auto vb6 = ide::SimulatedVbe::Create(vb6Ui);
    auto vba = VbaEditor(vbaUi);
    const auto make = [&](ui::Ui& ui, int bitness) {
        AddInServices services{settings.registry, Cp932(), clock, ui, u"C:\\WINDOWS\\SYSTEM32\\WekQM417.dll"};
        services.bitness = bitness;
        return std::make_shared<AddInClass>(services);
    };
    vb6->ConnectAddIn(make(vb6Ui, 32), 1);
    vba->ConnectAddIn(make(vbaUi, 64), 1);
    const auto values = [&] {
        std::vector<std::pair<std::u16string, std::string>> out;
        for (const auto& v : SettingsStore(settings.registry, Cp932()).ListSettings()) out.emplace_back(v.name, v.data);
        return out;
    };
    const auto vb6Values = values();

    // The same edit record in both, from the one format.
    for (auto* editor : {vb6.get(), vba.get()}) {
        auto& module = editor->AddCodeWindow(u"Module1 (ｺｰﾄﾞ)", {u"Sub A()", u"End Sub"});
        editor->Activate(u"Module1 (ｺｰﾄﾞ)");
        editor->Pane(u"Module1 (ｺｰﾄﾞ)")->SetSelection({2, 1, 2, 1});
        (editor == vb6.get() ? vb6Ui : vbaUi).Tick();
        editor->Click(u"編集ｽﾀﾝﾌﾟ");
        ASSERT_GE(module.AllLines().size(), 3U);
        EXPECT_EQ(module.AllLines()[1], u"'------<山田 '99.12.01 09:05:07>------");
    }

    vba->Click(u"Wek Quillmark の終了(&X)");
    EXPECT_FALSE(vba->AddInConnected());
    EXPECT_TRUE(vb6->AddInConnected());
    EXPECT_EQ(StoredNumber(settings.registry, kVbaKey64, u"LoadBehavior"), 1);
    EXPECT_EQ(StoredNumber(settings.registry, kVbaKey32, u"LoadBehavior"), 3);
    EXPECT_EQ(values(), vb6Values);
    EXPECT_FALSE(vb6->FindControls(u"LVｽﾀﾝﾌﾟ").empty());

    vb6->Click(u"Wek Quillmark の終了(&X)");
    EXPECT_FALSE(vb6->AddInConnected());
    EXPECT_EQ(StoredNumber(settings.registry, kSettingsKey, u"LoadBehavior"), 1);
    EXPECT_EQ(StoredNumber(settings.registry, kVbaKey64, u"LoadBehavior"), 1);
    EXPECT_EQ(StoredNumber(settings.registry, kVbaKey32, u"LoadBehavior"), 3);
    EXPECT_TRUE(vb6Ui.messages.empty());
    EXPECT_TRUE(vbaUi.messages.empty());
    vb6->Shutdown();
    vba->Shutdown();
}

}  // namespace
}  // namespace qm::test
