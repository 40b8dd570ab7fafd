#include <gtest/gtest.h>

#include "platform/failure.h"
#include "platform/sim/headless.h"

namespace qm::test {
namespace {

class Dialog : public ui::Form {
public:
    explicit Dialog(ui::Ui& ui, const char16_t* name = u"Dialog") : ui::Form(ui, name), OK(*this, u"OK", -1) {}
    ui::CommandButton OK;
};

// A dialog is modal to the whole thread: every other window that took input is disabled while it is
// open, and exactly those are enabled again afterwards.
TEST(Modality, DisablesTheThreadsWindowsAndGivesBackExactlyThose) {
    ui::HeadlessUi ui;
    const ui::WindowHandle main = ui.AddWindow();
    const ui::WindowHandle tool = ui.AddWindow();
    ui.Activate(main);
    auto dialog = std::make_shared<Dialog>(ui);
    bool seen = false;
    {
        auto other = std::make_shared<Dialog>(ui, u"Other");
        ui.onModal = [&](ui::Form& outer) {
            EXPECT_FALSE(ui.WindowEnabled(main));
            EXPECT_FALSE(ui.WindowEnabled(tool));
            EXPECT_TRUE(ui.WindowEnabled(ui.WindowOf(outer)));
            EXPECT_EQ(ui.OwnerOf(outer), main);
            EXPECT_EQ(ui.ActiveWindow(), ui.WindowOf(outer));
            ui.onModal = [&](ui::Form& form) {
                seen = true;
                EXPECT_FALSE(ui.WindowEnabled(main));
                EXPECT_FALSE(ui.WindowEnabled(ui.WindowOf(outer)));
                EXPECT_EQ(ui.OwnerOf(form), ui.WindowOf(outer));  // a nested dialog belongs to the one below
                EXPECT_FALSE(ui.TakesInput(outer));
                EXPECT_TRUE(ui.TakesInput(form));
                EXPECT_THROW(ui::user::Click(static_cast<Dialog&>(outer).OK), PlatformError);
                form.Unload();
            };
            dialog->ShowModal(main);
            EXPECT_TRUE(ui.TakesInput(outer));
            EXPECT_TRUE(ui.WindowEnabled(ui.WindowOf(outer)));
            outer.Unload();
        };
        other->ShowModal(main);
    }
    EXPECT_TRUE(seen);
    EXPECT_TRUE(ui.WindowEnabled(main));
    EXPECT_TRUE(ui.WindowEnabled(tool));
    EXPECT_EQ(ui.ActiveWindow(), main);  // the focus returns to the window that had it
}

TEST(Modality, AMessageBoxDisablesEverythingAndBelongsToTheDialog) {
    ui::HeadlessUi ui;
    const ui::WindowHandle main = ui.AddWindow();
    auto dialog = std::make_shared<Dialog>(ui);
    ui.onMessage = [&](const ui::ShownMessage& m) {
        EXPECT_EQ(m.owner, ui.WindowOf(*dialog));
        EXPECT_FALSE(ui.WindowEnabled(main));
        EXPECT_FALSE(ui.WindowEnabled(ui.WindowOf(*dialog)));
        EXPECT_FALSE(ui.TakesInput(*dialog));
    };
    ui.onModal = [&](ui::Form& form) {
        ui.ShowMessage(u"確認", u"Wek Quillmark For VB6 Ver1.0");
        EXPECT_TRUE(ui.WindowEnabled(ui.WindowOf(form)));
        EXPECT_FALSE(ui.WindowEnabled(main));
        form.Unload();
    };
    dialog->ShowModal(main);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_TRUE(ui.WindowEnabled(main));
}

// Unloaded from elsewhere while shown (a disconnection): the loop returns, the form is still alive
// for as long as its loop runs, and the windows come back.
TEST(Modality, AFormReleasedWhileShownLivesUntilItsLoopReturns) {
    ui::HeadlessUi ui;
    const ui::WindowHandle main = ui.AddWindow();
    auto dialog = std::make_shared<Dialog>(ui);
    std::weak_ptr<Dialog> watch = dialog;
    ui.onModal = [&](ui::Form& form) {
        form.Unload();
        dialog.reset();  // the owner lets it go while it is on the stack
        EXPECT_FALSE(watch.expired());
    };
    std::shared_ptr<Dialog> caller = watch.lock();
    Dialog* raw = caller.get();
    caller.reset();
    raw->ShowModal(main);
    EXPECT_TRUE(watch.expired());
    EXPECT_TRUE(ui.WindowEnabled(main));
}

}  // namespace
}  // namespace qm::test
