#include <gtest/gtest.h>

#include "addin/resources/button_faces.h"
#include "addin/shell/addin_class.h"
#include "platform/sim/simulated_vbe.h"
#include "platform/sim/headless.h"
#include "tests/test_support.h"

namespace qm::test {
namespace {

class ScaledForm : public ui::Form {
public:
    explicit ScaledForm(ui::Ui& ui) : ui::Form(ui, u"Scaled"), label(*this, u"Label1", -1), line(*this, u"Line1", -1) {
        left = 1000;
        top = 2000;
        width = 3000;
        height = 2000;
        label.Move(1000, 500, 1000, 300);
        label.Set(ui::Property::FontSize, 9);
        line.x1 = 100;
        line.x2 = 900;
    }
    ui::Label label;
    ui::Line line;
};

TEST(ScaleFormToScreen, ScalesControlsRoundedAndTheFormUnrounded) {
    ui::HeadlessUi ui;
    AddInModule module;
    module.ScreenTwipsX = module.ScreenTwipsY = 12;
    module.ScaleX = module.ScaleY = static_cast<float>(12 * (100.0 / 15) / 100);

    ScaledForm twips(ui);
    twips.scaleMode = 1;
    twips.scaleHeight = 1600;  // 400 twips of title bar and borders
    ScaleFormToScreen(twips, module);
    EXPECT_EQ(twips.label.Get(ui::Property::Width), 800);
    EXPECT_EQ(twips.label.Get(ui::Property::Left), 800);
    EXPECT_EQ(twips.label.Get(ui::Property::FontSize), 7);
    EXPECT_NEAR(twips.width, 2400, 0.01);
    EXPECT_NEAR(twips.height, 400 + 1600 * 0.8, 0.01);
    EXPECT_EQ(twips.line.x2, 900);  // a line has no width or font and keeps its coordinates

    // A form measured in pixels takes its client height in twips first.
    ScaledForm pixels(ui);
    pixels.scaleMode = 3;
    pixels.scaleHeight = 100;  // 1200 twips at 12 twips per pixel
    ScaleFormToScreen(pixels, module);
    EXPECT_NEAR(pixels.height, 800 + 1200 * 0.8, 0.01);

    // Only the horizontal value decides.
    ScaledForm unscaled(ui);
    module.ScreenTwipsX = 15;
    ScaleFormToScreen(unscaled, module);
    EXPECT_EQ(unscaled.width, 3000);
    EXPECT_EQ(unscaled.label.Get(ui::Property::FontSize), 9);
}

TEST(DirectoryOf, AlwaysEndsInABackslash) {
    EXPECT_EQ(DirectoryOf(u"C:\\WINDOWS\\SYSTEM\\WekQM417.dll"), u"C:\\WINDOWS\\SYSTEM\\");
    EXPECT_EQ(DirectoryOf(u"C:\\WekQM417.dll"), u"C:\\");
    EXPECT_EQ(DirectoryOf(u"WekQM417.dll"), u"\\");
}

struct Connected {
    MemoryStore settings;
    FixedClock clock{{1999, 12, 1, 9, 5, 7}};
    ui::HeadlessUi ui;
    std::shared_ptr<ide::SimulatedVbe> vbe = ide::SimulatedVbe::Create(ui);
    std::shared_ptr<AddInClass> addIn =
        std::make_shared<AddInClass>(AddInServices{settings.registry, Cp932(), clock, ui, u"C:\\Q\\WekQM417.dll"});
    // The environment closes at the end, as it does: the add-in and it hold each other until then.
    ~Connected() { vbe->Shutdown(); }
};

TEST(AddInClass, ConnectionSetsUpTheModuleState) {
    Connected c;
    c.ui.screen.twipsPerPixelX = 12;
    c.ui.screen.twipsPerPixelY = 15;
    c.vbe->ConnectAddIn(c.addIn, 0);
    EXPECT_FLOAT_EQ(c.addIn->Module().ScaleX, 0.8f);
    EXPECT_FLOAT_EQ(c.addIn->Module().ScaleY, 1.0f);
    EXPECT_EQ(c.addIn->Module().AppPath, u"C:\\Q\\");
    ASSERT_NE(c.addIn->GetForm1(), nullptr);
    EXPECT_TRUE(c.addIn->GetForm1()->Loaded());
    EXPECT_FALSE(c.addIn->GetForm1()->Visible());
    EXPECT_EQ(c.addIn->GetForm1()->HelpFile, u"C:\\Q\\Quillmark.hlp");
    EXPECT_EQ(c.addIn->GetForm1()->Timer1.Interval(), 1);
    EXPECT_FALSE(c.addIn->GetForm3()->Loaded());  // created, not shown
    c.vbe->DisconnectAddIn(1);
    EXPECT_EQ(c.addIn->GetForm1(), nullptr);
    EXPECT_TRUE(c.ui.LoadedForms().empty());
}

TEST(AddInClass, TheClipboardSurvivesEveryBuild) {
    Connected c;
    const Bitmap picture{2, 1, {0x123456, 0xABCDEF}};
    c.ui.ClipboardSetPicture(picture);
    c.ui.ClipboardSetText(u"テキスト");
    const ui::ClipboardContent before = c.ui.ClipboardGet();
    c.vbe->ConnectAddIn(c.addIn, 1);
    EXPECT_EQ(c.ui.ClipboardGet(), before);
    for (std::int16_t placement : {0, 1, 0, 7}) {
        c.addIn->SetToolBar(placement);
        EXPECT_EQ(c.ui.ClipboardGet(), before) << placement;
    }
}

TEST(AddInClass, SetBottnTurnsEveryFailureIntoDisabledButtons) {
    Connected c;
    c.vbe->AddCodeWindow(u"Module1", {u"Option Explicit"});
    c.vbe->ConnectAddIn(c.addIn, 1);
    const auto& items = c.addIn->ToolItems();
    c.vbe->Activate(u"Module1");
    c.addIn->SetBottn();
    EXPECT_TRUE(items[0]->Enabled());
    EXPECT_TRUE(items[1]->Enabled());
    c.vbe->CloseWindow(u"Module1");  // no active window, no code pane
    c.addIn->SetBottn();
    EXPECT_FALSE(items[0]->Enabled());
    EXPECT_FALSE(items[1]->Enabled());
    // A tick writes a button only when its state changes; one changed behind the add-in's back is
    // put right at the next tick.
    auto* sim = dynamic_cast<ide::SimControl*>(items[0].get());
    const int writes = sim->EnabledWrites();
    c.ui.Tick();
    c.ui.Tick();
    EXPECT_EQ(sim->EnabledWrites(), writes);
    items[0]->SetEnabled(true);
    c.ui.Tick();
    EXPECT_FALSE(items[0]->Enabled());
    EXPECT_EQ(sim->EnabledWrites(), writes + 2);
    c.vbe->AddCodeWindow(u"Module2", {u"Option Explicit"});
    c.vbe->Activate(u"Module2");
    c.ui.Tick();
    c.ui.Tick();
    EXPECT_TRUE(items[0]->Enabled());
    EXPECT_EQ(sim->EnabledWrites(), writes + 3);
    // With no buttons at all the poller is harmless.
    c.addIn->SetToolBar(5);
    c.addIn->SetBottn();
    c.ui.Tick();
}

// The dialogs belong to the environment's main window; where it cannot be had, to the window that was
// active when the command ran. Either way the environment takes no clicks while one is open.
TEST(AddInClass, DialogsBelongToTheEnvironmentsMainWindow) {
    for (const bool tells : {true, false}) {
        ui::HeadlessUi ui;
        MemoryStore settings;
        FixedClock clock{{1999, 12, 1, 9, 5, 7}};
        ide::SimulatedVbe::Options options;
        options.tellsMainWindow = tells;
        auto vbe = ide::SimulatedVbe::Create(ui, options);
        const ui::WindowHandle main = ui.AddWindow();
        vbe->SetMainWindow(main);
        const ui::WindowHandle active = ui.AddWindow();  // say, a tool window of the environment
        vbe->ConnectAddIn(std::make_shared<AddInClass>(AddInServices{settings.registry, Cp932(), clock, ui, u"C:\\Q\\WekQM417.dll"}), 1);
        int shown = 0;
        ui.onModal = [&](ui::Form& form) {
            ++shown;
            EXPECT_EQ(ui.OwnerOf(form), tells ? main : active) << tells;
            EXPECT_FALSE(vbe->TakesInput());
            vbe->Click(u"ﾊﾞｰｼﾞｮﾝ情報(&V)...");  // refused: no second dialog
            form.Unload();
        };
        vbe->Click(u"ﾊﾞｰｼﾞｮﾝ情報(&V)...");
        EXPECT_EQ(shown, 1);
        EXPECT_TRUE(vbe->TakesInput());
        vbe->Shutdown();
    }
}

// The exit command disconnects, and the environment releases the add-in inside that call: the
// handler that is still running is kept alive until it returns.
TEST(AddInClass, ExitReleasesTheAddInInsideTheCall) {
    ui::HeadlessUi ui;
    MemoryStore settings;
    FixedClock clock{{1999, 12, 1, 9, 5, 7}};
    auto vbe = ide::SimulatedVbe::Create(ui);
    auto addIn = std::make_shared<AddInClass>(AddInServices{settings.registry, Cp932(), clock, ui, u"C:\\Q\\WekQM417.dll"});
    const std::weak_ptr<AddInClass> watch = addIn;
    vbe->ConnectAddIn(std::move(addIn), 1);
    ASSERT_FALSE(watch.expired());
    vbe->Click(u"Wek Quillmark の終了(&X)");
    EXPECT_FALSE(vbe->AddInConnected());
    EXPECT_TRUE(watch.expired());
    EXPECT_TRUE(vbe->FindControls(u"LVｽﾀﾝﾌﾟ").empty());
}

TEST(ButtonFaces, SevenDistinctSixteenColourFaces) {
    for (int i = 0; i < kButtonFaceCount; ++i) {
        const Bitmap& face = ButtonFace(i);
        EXPECT_EQ(face.width, 16);
        EXPECT_EQ(face.height, 16);
        ASSERT_EQ(face.pixels.size(), 256u);
        for (const auto p : face.pixels) {
            EXPECT_NE(std::find(FacePalette().begin(), FacePalette().end(), p), FacePalette().end());
        }
        for (int j = 0; j < i; ++j) EXPECT_NE(face, ButtonFace(j)) << i << " " << j;
    }
    const std::string bmp = EncodeBmp16(ButtonFace(0), FacePalette());
    EXPECT_EQ(bmp.substr(0, 2), "BM");
    EXPECT_EQ(bmp.size(), 14u + 40 + 64 + 16 * 8);
    EXPECT_EQ(ProductImage().width, 79);
    EXPECT_EQ(ProductImage().height, 189);
}

}  // namespace
}  // namespace qm::test
