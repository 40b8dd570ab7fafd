#include "addin/shell/addin_class.h"

#include "addin/resources/button_faces.h"
#include "addin/shell/help.h"
#include "addin/stamps/edit_stamp.h"
#include "addin/stamps/function_stamp.h"
#include "platform/failure.h"

namespace qm {
namespace {

// A missing object is a failure of the step that needs it.
template <class Pointer>
auto& Live(const Pointer& object) {
    if (!object) throw PlatformError("the object does not exist");
    return *object;
}

// Pasting faces goes through the clipboard; what the user had there is put back afterwards.
class ClipboardKeeper {
public:
    explicit ClipboardKeeper(ui::Ui& ui) : ui_(ui), saved_(Attempt([&] { return ui.ClipboardGet(); })) {}
    ~ClipboardKeeper() {
        if (!saved_) return;
        Attempt([&] { ui_.ClipboardRestore(*saved_); });
    }
    ClipboardKeeper(const ClipboardKeeper&) = delete;
    ClipboardKeeper& operator=(const ClipboardKeeper&) = delete;

private:
    ui::Ui& ui_;
    std::optional<ui::ClipboardContent> saved_;
};

struct Entry {
    ide::ControlType type;
    const char16_t* caption;
    int face;  // -1: none
    bool group;
    AddInClass::Handler handler;
};

// The Add-Ins menu of the VBA editor's menu bar.
constexpr std::int32_t kVbaAddInsMenuId = 30038;

constexpr char16_t kWizard[] = u"ﾌｫｰﾏｯﾄ ｳｨｻﾞｰﾄﾞ(&F)...";
constexpr char16_t kSettings[] = u"環境設定(&K)...";
constexpr char16_t kHelp[] = u"ﾍﾙﾌﾟ(&H)...";
constexpr char16_t kVersion[] = u"ﾊﾞｰｼﾞｮﾝ情報(&V)...";
constexpr char16_t kExit[] = u"Wek Quillmark の終了(&X)";

const Entry kMenuItems[6] = {
    {ide::ControlType::Popup, u"Wek Quillmark for VB6 Ver1.0(&M)", -1, false, nullptr},
    {ide::ControlType::Button, kWizard, 2, false, &AddInClass::ウィザード_Click_Click},
    {ide::ControlType::Button, kSettings, 3, false, &AddInClass::環境設定_Click_Click},
    {ide::ControlType::Button, kHelp, 5, true, &AddInClass::ヘルプ_Click_Click},
    {ide::ControlType::Button, kVersion, -1, false, &AddInClass::バージョン情報_Click_Click},
    {ide::ControlType::Button, kExit, -1, false, &AddInClass::終了_Click_Click},
};

const Entry kToolItems[8] = {
    {ide::ControlType::Button, u"編集ｽﾀﾝﾌﾟ", 0, true, &AddInClass::MenuHandler1_Click},
    {ide::ControlType::Button, u"LVｽﾀﾝﾌﾟ", 1, false, &AddInClass::MenuHandler2_Click},
    {ide::ControlType::Popup, u"ﾒﾆｭｰ", 6, false, nullptr},
    {ide::ControlType::Button, kWizard, 2, false, &AddInClass::B_ウィザード_Click_Click},
    {ide::ControlType::Button, kSettings, 3, false, &AddInClass::B_環境設定_Click_Click},
    {ide::ControlType::Button, kHelp, 5, true, &AddInClass::B_ヘルプ_Click_Click},
    {ide::ControlType::Button, kVersion, -1, false, &AddInClass::B_バージョン情報_Click_Click},
    {ide::ControlType::Button, kExit, -1, false, &AddInClass::B_終了_Click_Click},
};

}  // namespace

AddInClass::AddInClass(AddInServices services) : services_(std::move(services)), store_(services_.registry, services_.codepage) {}

AddInClass::~AddInClass() = default;

void AddInClass::PutFace(ide::CommandBarControl& control, int face) {
    ui::Ui& ui = services_.ui;
    Attempt([&] { ui.ClipboardClear(); });
    Attempt([&] { ui.ClipboardSetPicture(Live(Live(form1_).Picture1.at(static_cast<std::size_t>(face))).picture); });
    Attempt([&] { control.PasteFace(); });
}

void AddInClass::Bind(std::shared_ptr<ide::CommandBarEvents>& source, const std::shared_ptr<ide::CommandBarControl>& control,
                      Handler handler) {
    Attempt([&] {
        source = Live(Live(VBI).GetEvents()).GetCommandBarEvents(control);
        // The environment may disconnect and release the add-in inside a command (the exit command
        // does): the add-in and what owns its services stay alive until the handler has returned.
        const std::weak_ptr<AddInClass> weak = weak_from_this();
        const bool shared = !weak.expired();
        AddInClass* const self = this;
        Live(source).OnClick([weak, shared, self, handler](ide::CommandBarControl& c, bool& h, bool& cd) {
            const std::shared_ptr<AddInClass> hold = weak.lock();
            if (shared && !hold) return;  // released already
            const std::shared_ptr<void> owner = self->services_.owner.lock();
            (self->*handler)(c, h, cd);
        });
    });
}

void AddInClass::Configure(const std::shared_ptr<ide::CommandBarControl>& item, bool group, const char16_t* caption, int face) {
    if (group) Attempt([&] { Live(item).SetBeginGroup(true); });
    Attempt([&] { Live(item).SetCaption(caption); });
    if (face >= 0) Attempt([&] { PutFace(Live(item), face); });
}

std::shared_ptr<ide::CommandBarControls> AddInClass::AddInsMenuControls() {
    const auto bars = Live(VBI).GetCommandBars();
    if (host_ == ide::HostKind::Vba) return Live(Live(bars).FindControl(ide::ControlType::Popup, kVbaAddInsMenuId)).Controls();
    return Live(Live(bars).Item(u"Add-Ins")).Controls();
}

std::shared_ptr<ide::CommandBarControls> AddInClass::StandardBarControls() {
    return Live(Live(Live(VBI).GetCommandBars()).Item(host_ == ide::HostKind::Vba ? u"Standard" : u"標準")).Controls();
}

void AddInClass::TagControl(const std::shared_ptr<ide::CommandBarControl>& item, const char16_t* table, int index) {
    if (host_ != ide::HostKind::Vba) return;
    const char16_t digit[] = {static_cast<char16_t>(u'0' + index), 0};
    Attempt([&] { Live(item).SetTag(std::u16string(u"WekQM417.") + table + digit); });
}

void AddInClass::SetToolBar(std::int16_t intPos) {
    ClipboardKeeper keeper(services_.ui);
    Attempt([&] { Live(form1_).Timer1.SetTimerEnabled(false); });
    for (auto& item : ToolItems_) {
        Attempt([&] { Live(item).Delete(); });
        item.reset();
    }
    Attempt([&] { Live(OwnToolBar).Delete(); });

    const auto bind = [&](int index, std::shared_ptr<ide::CommandBarEvents>& source) {
        Bind(source, ToolItems_[static_cast<std::size_t>(index)], kToolItems[index].handler);
    };

    std::shared_ptr<ide::CommandBarControls> controls;
    if (intPos == 0) {
        Attempt([&] { controls = StandardBarControls(); });
        for (int i = 0; i < 3; ++i) {
            auto& item = ToolItems_[static_cast<std::size_t>(i)];
            // Each lands just before the toolbar's last control.
            Attempt([&] { item = Live(controls).Add(kToolItems[i].type, Live(controls).Count()); });
            TagControl(item, u"Tool", i);
            Configure(item, kToolItems[i].group, kToolItems[i].caption, kToolItems[i].face);
            if (i == 0) bind(0, MenuHandler1);
            if (i == 1) bind(1, MenuHandler2);
        }
        BuildToolbarMenu();
    } else if (intPos == 1) {
        Attempt([&] { OwnToolBar = Live(Live(VBI).GetCommandBars()).Add(u"WekAddinToolBar", 1); });
        Attempt([&] { Live(OwnToolBar).SetVisible(true); });
        Attempt([&] { controls = Live(OwnToolBar).Controls(); });
        for (int i = 0; i < 2; ++i) {
            Attempt([&] { ToolItems_[static_cast<std::size_t>(i)] = Live(controls).Add(kToolItems[i].type, Live(controls).Count() + 1); });
            TagControl(ToolItems_[static_cast<std::size_t>(i)], u"Tool", i);
        }
        Configure(ToolItems_[0], kToolItems[0].group, kToolItems[0].caption, kToolItems[0].face);
        bind(0, MenuHandler1);
        Configure(ToolItems_[1], kToolItems[1].group, kToolItems[1].caption, kToolItems[1].face);
        bind(1, MenuHandler2);
        Attempt([&] { ToolItems_[2] = Live(controls).Add(kToolItems[2].type, Live(controls).Count() + 1); });
        TagControl(ToolItems_[2], u"Tool", 2);
        Configure(ToolItems_[2], kToolItems[2].group, kToolItems[2].caption, kToolItems[2].face);
        BuildToolbarMenu();
    }
    Attempt([&] { Live(form1_).Timer1.SetTimerEnabled(true); });
}

void AddInClass::BuildToolbarMenu() {
    std::shared_ptr<ide::CommandBarControls> controls;
    Attempt([&] { controls = Live(ToolItems_[2]).Controls(); });
    for (int i = 3; i < 8; ++i) {
        auto& item = ToolItems_[static_cast<std::size_t>(i)];
        Attempt([&] { item = Live(controls).Add(kToolItems[i].type, Live(controls).Count() + 1); });
        TagControl(item, u"Tool", i);
        Configure(item, kToolItems[i].group, kToolItems[i].caption, kToolItems[i].face);
    }
    std::shared_ptr<ide::CommandBarEvents>* sources[] = {&B_ウィザード_Click, &B_環境設定_Click, &B_ヘルプ_Click, &B_バージョン情報_Click,
                                                         &B_終了_Click};
    for (int i = 3; i < 8; ++i) Bind(*sources[i - 3], ToolItems_[static_cast<std::size_t>(i)], kToolItems[i].handler);
}

void AddInClass::BuildAddInsMenu() {
    ClipboardKeeper keeper(services_.ui);
    // A connection that was never taken down leaves its menu behind: one menu is enough.
    for (int i : {1, 2, 3, 4, 5, 0}) {
        Attempt([&] { Live(MenuItems_[static_cast<std::size_t>(i)]).Delete(); });
        MenuItems_[static_cast<std::size_t>(i)].reset();
    }
    std::shared_ptr<ide::CommandBarControls> bar;
    Attempt([&] { bar = AddInsMenuControls(); });
    Attempt([&] { MenuItems_[0] = Live(bar).Add(kMenuItems[0].type, Live(bar).Count() + 1); });
    TagControl(MenuItems_[0], u"Menu", 0);
    Attempt([&] { Live(MenuItems_[0]).SetCaption(kMenuItems[0].caption); });
    std::shared_ptr<ide::CommandBarControls> controls;
    Attempt([&] { controls = Live(MenuItems_[0]).Controls(); });
    for (int i = 1; i < 6; ++i) {
        auto& item = MenuItems_[static_cast<std::size_t>(i)];
        Attempt([&] { item = Live(controls).Add(kMenuItems[i].type, Live(controls).Count() + 1); });
        TagControl(item, u"Menu", i);
        Configure(item, kMenuItems[i].group, kMenuItems[i].caption, kMenuItems[i].face);
    }
    std::shared_ptr<ide::CommandBarEvents>* sources[] = {&ウィザード_Click, &環境設定_Click, &ヘルプ_Click, &バージョン情報_Click,
                                                         &終了_Click};
    for (int i = 1; i < 6; ++i) Bind(*sources[i - 1], MenuItems_[static_cast<std::size_t>(i)], kMenuItems[i].handler);
}

void AddInClass::RemoveControls() {
    for (int i : {1, 2, 3, 4, 5, 0}) {
        Attempt([&] { Live(MenuItems_[static_cast<std::size_t>(i)]).Delete(); });
        MenuItems_[static_cast<std::size_t>(i)].reset();
    }
    for (auto& item : ToolItems_) {
        Attempt([&] { Live(item).Delete(); });
        item.reset();
    }
    Attempt([&] { Live(OwnToolBar).Delete(); });
}

void AddInClass::SetBottn() {
    bool codeWindow = false;
    Attempt([&] {
        // No active window or code pane is an answer (the buttons go off), not a failure.
        const auto active = Live(VBI).ActiveWindow();
        if (!active) return;
        const auto pane = Live(VBI).ActiveCodePane();
        if (!pane) return;
        const auto paneWindow = pane->GetWindow();
        codeWindow = paneWindow && active->Caption() == paneWindow->Caption();
    });
    // Written only when it differs from what the button shows: a write redraws the toolbar, and this
    // runs every millisecond. A button that cannot be read is written.
    for (std::size_t i = 0; i < 2; ++i) {
        const auto& item = ToolItems_[i];
        if (!item) continue;
        if (Attempt([&] { return item->Enabled(); }) == std::optional<bool>(codeWindow)) continue;
        Attempt([&] { item->SetEnabled(codeWindow); });
    }
}

void AddInClass::終了() {
    // The load behaviour is the host's own: the VBA editor's under its key. That key is the editor's
    // registration of the add-in and is never made here.
    SettingsStore vba(services_.registry, services_.codepage, VbaRegistrationKey(services_.bitness));
    SettingsStore& registration = host_ == ide::HostKind::Vba ? vba : store_;
    if (host_ == ide::HostKind::Vb6 || vba.KeyExists()) {
        const std::int32_t behavior = registration.ReadSettingNumber(u"LoadBehavior", 0);
        if (behavior == 2) registration.WriteSettingNumber(u"LoadBehavior", 0);
        if (behavior == 3) registration.WriteSettingNumber(u"LoadBehavior", 1);
    }
    Attempt([&] { Live(AII).SetConnect(false); });
}

void AddInClass::OnConnection(std::shared_ptr<ide::VBE> VBInst, std::int32_t, std::shared_ptr<ide::AddIn> AddInInst) {
    Attempt([&] {
        const ui::ScreenMetrics screen = services_.ui.Screen();
        module_.ScreenTwipsX = screen.twipsPerPixelX;
        module_.ScreenTwipsY = screen.twipsPerPixelY;
        module_.ScaleX = static_cast<float>(static_cast<double>(module_.ScreenTwipsX) * (100.0 / 15) / 100);
        module_.ScaleY = static_cast<float>(static_cast<double>(module_.ScreenTwipsY) * (100.0 / 15) / 100);
    });
    Attempt([&] { module_.AppPath = DirectoryOf(services_.libraryPath); });
    VBI = std::move(VBInst);
    AII = std::move(AddInInst);
    host_ = Attempt([&] { return Live(VBI).Host(); }).value_or(ide::HostKind::Vb6);
    Attempt([&] {
        form1_ = std::make_shared<Form1>(services_.ui, store_, services_.clock, services_.codepage);
        form2_ = std::make_shared<Form2>(services_.ui, services_.codepage);
        form3_ = std::make_shared<Form3>(services_.ui, store_);
        form4_ = std::make_shared<Form4>(services_.ui, module_);
    });
    Attempt([&] {
        Live(form1_).VBInstance = VBI;
        form1_->addInClass = this;
        Live(form3_).addInClass = this;
    });
    Attempt([&] { Live(form1_).Load(); });
    Attempt([&] { Live(form1_).HelpFile = module_.AppPath + u"Quillmark.hlp"; });
    Attempt([&] { SetToolBar(static_cast<std::int16_t>(store_.ReadSettingNumber(u"ToolBarPosition", 1))); });
    Attempt([&] { BuildAddInsMenu(); });
}

void AddInClass::OnDisconnection(std::int32_t) {
    // An open dialog closes without saving, the innermost first: the custom item dialog before the
    // wizard it belongs to. Each stays alive until its own loop has returned.
    if (form2_ && form2_->Visible()) Attempt([&] { form2_->Unload(); });
    Attempt([&] { Live(form1_).Unload(); });
    Attempt([&] { Live(form2_).Unload(); });
    Attempt([&] { Live(form3_).Unload(); });
    Attempt([&] { Live(form4_).Unload(); });
    form1_.reset();
    form2_.reset();
    form3_.reset();
    form4_.reset();
    RemoveControls();
}

FormatModel AddInClass::StampFormat() {
    Form1& form = Live(form1_);
    if (!form.Loaded()) form.Load();
    return form.Format();
}

void AddInClass::MenuHandler1_Click(Control&, bool&, bool&) {
    std::shared_ptr<ide::CodePane> pane;
    if (!Attempt([&] { pane = Live(VBI).ActiveCodePane(); }) || !pane) return;
    Attempt([&] {
        const FormatModel model = StampFormat();
        RunEditStamp(*pane, StampContext{model, services_.clock.Now(), services_.codepage});
    });
}

void AddInClass::MenuHandler2_Click(Control&, bool&, bool&) {
    std::shared_ptr<ide::CodePane> pane;
    if (!Attempt([&] { pane = Live(VBI).ActiveCodePane(); }) || !pane) return;
    Attempt([&] {
        const FormatModel model = StampFormat();
        RunFunctionStamp(*pane, StampContext{model, services_.clock.Now(), services_.codepage});
    });
}

ui::WindowHandle AddInClass::DialogOwner() {
    if (const auto main = Attempt([&] { return static_cast<ui::WindowHandle>(Live(VBI).MainWindow()); })) return *main;
    return Attempt([&] { return services_.ui.ActiveWindow(); }).value_or(0);
}

void AddInClass::RunWizard() {
    const std::shared_ptr<Form1> form = form1_;
    Attempt([&] { Live(form).ShowModal(DialogOwner()); });
    Attempt([&] { services_.ui.DoEvents(); });
    // Enabling the timer loads the wizard's form again, which builds its state from the store.
    if (form && form == form1_) {
        Attempt([&] {
            form->Load();
            form->Timer1.SetTimerEnabled(true);
        });
    }
}

void AddInClass::RunSettings() {
    const std::shared_ptr<Form3> form = form3_;
    Attempt([&] { Live(form).ShowModal(DialogOwner()); });
}

void AddInClass::RunVersion() {
    const std::shared_ptr<Form4> form = form4_;
    Attempt([&] { Live(form).ShowModal(DialogOwner()); });
}

void AddInClass::RunHelp() {
    Attempt([&] { OpenHelpContents(services_.ui, module_.AppPath + u"Quillmark.hlp"); });
}

void AddInClass::ウィザード_Click_Click(Control&, bool&, bool&) { RunWizard(); }
void AddInClass::環境設定_Click_Click(Control&, bool&, bool&) { RunSettings(); }
void AddInClass::ヘルプ_Click_Click(Control&, bool&, bool&) { RunHelp(); }
void AddInClass::バージョン情報_Click_Click(Control&, bool&, bool&) { RunVersion(); }
void AddInClass::終了_Click_Click(Control&, bool&, bool&) { 終了(); }
void AddInClass::B_ウィザード_Click_Click(Control&, bool&, bool&) { RunWizard(); }
void AddInClass::B_環境設定_Click_Click(Control&, bool&, bool&) { RunSettings(); }
void AddInClass::B_ヘルプ_Click_Click(Control&, bool&, bool&) { RunHelp(); }
void AddInClass::B_バージョン情報_Click_Click(Control&, bool&, bool&) { RunVersion(); }
void AddInClass::B_終了_Click_Click(Control&, bool&, bool&) { 終了(); }

}  // namespace qm
