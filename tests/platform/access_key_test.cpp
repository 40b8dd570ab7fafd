#include <gtest/gtest.h>

#include "platform/ui/forms.h"
#include "platform/failure.h"
#include "platform/sim/headless.h"

namespace qm::test {
namespace {

TEST(AccessKeys, CaptionsAsTheScreenShowsThem) {
    struct Case {
        const char16_t* caption;
        char16_t key;
        const char16_t* shown;
    };
    const Case cases[] = {
        {u"項目名(&N) :", u'N', u"項目名(N) :"},
        {u"ﾍﾙﾌﾟ(&H)", u'H', u"ﾍﾙﾌﾟ(H)"},
        {u"R&&D", 0, u"R&D"},
        {u"R&&&D", u'D', u"R&D"},
        {u"&", 0, u""},
        {u"end&", 0, u"end"},
        {u"", 0, u""},
        {u"&a&b", u'a', u"ab"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ui::AccessKeyOf(c.caption), c.key) << static_cast<int>(c.key);
        EXPECT_EQ(ui::ShownCaption(c.caption), c.shown);
    }
}

class KeyForm : public ui::Form {
public:
    explicit KeyForm(ui::Ui& ui) : ui::Form(ui, u"KeyForm") {
        Label1.caption = u"名前(&N) :";
        Sample.caption = u"R&D";
        Sample.useMnemonic = false;
        Button.caption = u"実行(&R)";
        Button.onClick = [this] { ++pressed; };
    }
    ui::Label Label1{*this, u"Label1", -1};
    ui::TextBox Text1{*this, u"Text1", -1};
    ui::Label Sample{*this, u"Sample", -1};
    ui::TextBox Text2{*this, u"Text2", -1};
    ui::CommandButton Button{*this, u"Button", -1};
    int pressed = 0;
};

TEST(AccessKeys, ALabelHandsTheFocusOnAndAButtonIsPressed) {
    ui::HeadlessUi ui;
    KeyForm form(ui);
    form.Load();
    ui::user::Focus(form.Text2);
    ui::user::PressAccessKey(form, u'n');
    EXPECT_EQ(form.ActiveControl(), &form.Text1);
    ui::user::PressAccessKey(form, u'R');
    EXPECT_EQ(form.pressed, 1);
    // A sample's "&" is text: "D" is nobody's key.
    EXPECT_THROW(ui::user::PressAccessKey(form, u'D'), PlatformError);
    // A disabled button is out of reach, its key with it.
    form.Button.SetEnabled(false);
    EXPECT_THROW(ui::user::PressAccessKey(form, u'R'), PlatformError);
}

}  // namespace
}  // namespace qm::test
