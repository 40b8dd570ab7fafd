#include "platform/sim/simulated_vbe.h"

#include <algorithm>

#include "platform/failure.h"

namespace qm::ide {

class SimWindow final : public Window {
public:
    SimWindow(std::u16string caption, bool code) : caption_(std::move(caption)), code_(code) {}
    std::u16string Caption() override {
        if (closed_) throw PlatformError("the window is closed");
        return caption_;
    }
    const std::u16string& Name() const { return caption_; }
    bool Code() const { return code_; }
    bool closed_ = false;
    std::unique_ptr<TextCodeModule> module;
    std::shared_ptr<CodePane> pane;

private:
    std::u16string caption_;
    bool code_;
};

namespace {

// A code pane that knows its window.
class SimPane final : public CodePane {
public:
    SimPane(TextCodeModule& module, std::weak_ptr<SimWindow> window) : pane_(module), window_(std::move(window)) {}
    Selection GetSelection() override { return pane_.GetSelection(); }
    void SetSelection(const Selection& s) override { pane_.SetSelection(s); }
    void SetTopLine(std::int32_t line) override { pane_.SetTopLine(line); }
    CodeModule& GetCodeModule() override { return pane_.GetCodeModule(); }
    std::shared_ptr<Window> GetWindow() override {
        auto window = window_.lock();
        if (!window || window->closed_) throw PlatformError("the pane's window is closed");
        return window;
    }
    TextCodePane& Inner() { return pane_; }

private:
    TextCodePane pane_;
    std::weak_ptr<SimWindow> window_;
};

class SimControlList final : public CommandBarControls {
public:
    SimControlList(SimulatedVbe& vbe, std::vector<std::shared_ptr<SimControl>>& items, std::function<void()> alive)
        : vbe_(vbe), items_(items), alive_(std::move(alive)) {}
    std::int32_t Count() override {
        alive_();
        return static_cast<std::int32_t>(items_.size());
    }
    std::shared_ptr<CommandBarControl> Item(std::int32_t index) override {
        alive_();
        if (index < 1 || index > Count()) throw PlatformError("no such control");
        return items_[static_cast<std::size_t>(index - 1)];
    }
    std::shared_ptr<CommandBarControl> Add(ControlType type, std::optional<std::int32_t> before) override {
        alive_();
        const auto count = static_cast<std::int32_t>(items_.size());
        const std::int32_t at = before.value_or(count + 1);
        if (at < 1 || at > count + 1) throw PlatformError("Before is outside the bar");
        auto control = std::make_shared<SimControl>(vbe_, type);
        control->SetOwnerList(&items_);
        items_.insert(items_.begin() + (at - 1), control);
        return control;
    }

private:
    SimulatedVbe& vbe_;
    std::vector<std::shared_ptr<SimControl>>& items_;
    std::function<void()> alive_;
};

}  // namespace

class SimBars final : public CommandBars {
public:
    explicit SimBars(SimulatedVbe& vbe) : vbe_(vbe) {}
    std::shared_ptr<CommandBar> Item(const std::u16string& name) override {
        for (auto& bar : vbe_.bars_) {
            if (!bar->Deleted() && bar->Name() == name) return bar;
        }
        throw PlatformError("no command bar of that name");
    }
    std::shared_ptr<CommandBar> Add(const std::u16string& name, std::int32_t position) override {
        for (auto& bar : vbe_.bars_) {
            if (!bar->Deleted() && bar->Name() == name) throw PlatformError("a command bar of that name exists");
        }
        auto bar = std::make_shared<SimBar>(vbe_, name, false);
        bar->position = position;
        bar->SetVisible(false);
        vbe_.bars_.push_back(bar);
        return bar;
    }
    std::shared_ptr<CommandBarControl> FindControl(ControlType type, std::int32_t id) override { return vbe_.FindById(type, id); }

private:
    SimulatedVbe& vbe_;
};

class SimEventsFactory final : public Events {
public:
    std::shared_ptr<CommandBarEvents> GetCommandBarEvents(const std::shared_ptr<CommandBarControl>& control) override {
        auto sim = std::dynamic_pointer_cast<SimControl>(control);
        if (!sim || sim->Deleted()) throw PlatformError("not a control of this environment");
        auto source = std::make_shared<SimEvents>();
        sim->Sources().push_back(source);
        return source;
    }
};

class SimAddIn final : public AddIn {
public:
    explicit SimAddIn(SimulatedVbe& vbe) : vbe_(vbe) {}
    bool Connect() override { return vbe_.AddInConnected(); }
    void SetConnect(bool connect) override {
        if (!connect && vbe_.AddInConnected()) vbe_.DisconnectAddIn(1);
    }

private:
    SimulatedVbe& vbe_;
};

void SimEvents::Fire(CommandBarControl& control) {
    if (!handler_) return;
    bool handled = false;
    bool cancel = false;
    handler_(control, handled, cancel);
}

// --- controls ---

void SimControl::Alive() const {
    if (deleted_) throw PlatformError("the control was deleted");
}
ControlType SimControl::Type() {
    Alive();
    return type_;
}
std::u16string SimControl::Caption() {
    Alive();
    return caption_;
}
void SimControl::SetCaption(const std::u16string& caption) {
    Alive();
    caption_ = caption;
}
bool SimControl::BeginGroup() {
    Alive();
    return beginGroup_;
}
void SimControl::SetBeginGroup(bool beginGroup) {
    Alive();
    beginGroup_ = beginGroup;
}
bool SimControl::Enabled() {
    Alive();
    return enabled_;
}
void SimControl::SetEnabled(bool enabled) {
    Alive();
    enabled_ = enabled;
    ++enabledWrites_;
}
void SimControl::PasteFace() {
    Alive();
    if (type_ != ControlType::Button) throw PlatformError("a popup takes no face");
    const ui::ClipboardContent content = vbe_.GetUi().ClipboardGet();
    if (!content.picture) throw PlatformError("no picture on the clipboard");
    face_ = *content.picture;
    hasFace_ = true;
}
void SimControl::SetTag(const std::u16string& tag) {
    Alive();
    tag_ = tag;
}
void SimControl::Delete() {
    Alive();
    const auto self = shared_from_this();  // the owner list may hold the last reference
    deleted_ = true;
    for (auto& child : children_) child->deleted_ = true;
    if (ownerList_ != nullptr) {
        auto& list = *ownerList_;
        list.erase(std::remove_if(list.begin(), list.end(), [&](const auto& c) { return c.get() == this; }), list.end());
    }
}
std::shared_ptr<CommandBarControls> SimControl::Controls() {
    Alive();
    if (type_ != ControlType::Popup) throw PlatformError("a button has no controls");
    auto self = shared_from_this();
    return std::make_shared<SimControlList>(vbe_, children_, [self] {
        if (self->Deleted()) throw PlatformError("the control was deleted");
    });
}

// --- bars ---

void SimBar::Alive() const {
    if (deleted_) throw PlatformError("the command bar was deleted");
}
std::u16string SimBar::Name() {
    Alive();
    return name_;
}
std::shared_ptr<CommandBarControls> SimBar::Controls() {
    Alive();
    const SimBar* self = this;
    return std::make_shared<SimControlList>(vbe_, items_, [self] { self->Alive(); });
}
bool SimBar::Visible() {
    Alive();
    return visible_;
}
void SimBar::SetVisible(bool visible) {
    Alive();
    visible_ = visible;
}
void SimBar::Delete() {
    Alive();
    if (builtIn_) throw PlatformError("a built-in command bar cannot be deleted");
    deleted_ = true;
    const auto items = std::move(items_);
    items_.clear();
    for (const auto& item : items) {
        item->SetOwnerList(nullptr);
        item->Delete();
    }
}

// --- the environment ---

std::shared_ptr<SimulatedVbe> SimulatedVbe::Create(ui::Ui& ui, Options options) {
    std::shared_ptr<SimulatedVbe> vbe(new SimulatedVbe(ui, options));
    const auto add = [&](const std::u16string& name, const std::vector<std::u16string>& captions) {
        auto bar = std::make_shared<SimBar>(*vbe, name, true);
        for (const auto& caption : captions) {
            auto control = std::make_shared<SimControl>(*vbe, ControlType::Button, caption, 0);
            control->SetOwnerList(&bar->Items());
            bar->Items().push_back(control);
        }
        vbe->bars_.push_back(bar);
        return bar;
    };
    const std::vector<std::u16string> standard = {u"ﾌﾟﾛｼﾞｪｸﾄの追加", u"ﾌｫｰﾑの追加", u"ﾌﾟﾛｼﾞｪｸﾄを開く", u"ﾌﾟﾛｼﾞｪｸﾄの上書き保存",
                                                  u"切り取り",       u"ｺﾋﾟｰ",       u"貼り付け",       u"検索",
                                                  u"元に戻す",       u"ﾂｰﾙﾎﾞｯｸｽ"};
    const auto standardControls =
        std::vector<std::u16string>(standard.begin(), standard.begin() + std::clamp(options.standardControls, 0, 10));
    if (options.host == HostKind::Vba) {
        // The editor's menus are popups of its menu bar, each with its Office Id; the Japanese
        // captions are what a user sees, not what the add-in may look for.
        auto menu = add(u"Menu Bar", {});
        const struct {
            const char16_t* caption;
            std::int32_t id;
        } menus[] = {{u"ﾌｧｲﾙ(&F)", 30002}, {u"編集(&E)", 30003},  {u"表示(&V)", 30004},   {u"挿入(&I)", 30005},
                     {u"ﾂｰﾙ(&T)", 30007},  {u"ｱﾄﾞｲﾝ(&A)", 30038}, {u"ｳｨﾝﾄﾞｳ(&W)", 30009}, {u"ﾍﾙﾌﾟ(&H)", 30010}};
        for (const auto& m : menus) {
            if (m.id == 30038 && !options.addInsBar) continue;
            auto popup = std::make_shared<SimControl>(*vbe, ControlType::Popup, m.caption, m.id);
            popup->SetOwnerList(&menu->Items());
            menu->Items().push_back(popup);
            if (m.id == 30038) {
                auto manager = std::make_shared<SimControl>(*vbe, ControlType::Button, u"ｱﾄﾞｲﾝ ﾏﾈｰｼﾞｬ(&A)...", 0);
                manager->SetOwnerList(&popup->Children());
                popup->Children().push_back(manager);
            }
        }
        // A built-in bar's Name is its English name in every language; "標準" is only its NameLocal.
        if (options.standardBar) add(u"Standard", standardControls);
        return vbe;
    }
    if (options.addInsBar) add(u"Add-Ins", {u"ｱﾄﾞｲﾝ ﾏﾈｰｼﾞｬ(&A)..."});
    if (options.standardBar) add(u"標準", standardControls);
    return vbe;
}

std::shared_ptr<CommandBars> SimulatedVbe::GetCommandBars() { return std::make_shared<SimBars>(*this); }
std::shared_ptr<Events> SimulatedVbe::GetEvents() { return std::make_shared<SimEventsFactory>(); }

std::shared_ptr<Window> SimulatedVbe::ActiveWindow() {
    if (!active_ || active_->closed_) return nullptr;
    return active_;
}

std::shared_ptr<CodePane> SimulatedVbe::ActiveCodePane() {
    if (!lastCode_ || lastCode_->closed_) return nullptr;
    return lastCode_->pane;
}

TextCodeModule& SimulatedVbe::AddCodeWindow(const std::u16string& caption, const std::vector<std::u16string>& lines, std::u16string path) {
    auto window = std::make_shared<SimWindow>(caption, true);
    window->module = std::make_unique<TextCodeModule>(lines, std::move(path));
    // A component of an Office document has no file of its own: VBComponent has no FileNames there.
    if (options_.host == HostKind::Vba) window->module->Component().SetFailing(true);
    window->pane = std::make_shared<SimPane>(*window->module, window);
    windows_.push_back(window);
    return *window->module;
}

void SimulatedVbe::AddWindow(const std::u16string& caption) { windows_.push_back(std::make_shared<SimWindow>(caption, false)); }

void SimulatedVbe::Activate(const std::u16string& caption) {
    for (auto& window : windows_) {
        if (!window->closed_ && window->Name() == caption) {
            active_ = window;
            if (window->Code()) lastCode_ = window;
            return;
        }
    }
    throw PlatformError("no window of that caption");
}

void SimulatedVbe::CloseWindow(const std::u16string& caption) {
    for (auto& window : windows_) {
        if (!window->closed_ && window->Name() == caption) {
            window->closed_ = true;
            if (active_ == window) active_.reset();
            if (lastCode_ == window) lastCode_.reset();
        }
    }
}

TextCodeModule* SimulatedVbe::Module(const std::u16string& caption) {
    for (auto& window : windows_) {
        if (window->Code() && window->Name() == caption) return window->module.get();
    }
    return nullptr;
}

TextCodePane* SimulatedVbe::Pane(const std::u16string& caption) {
    for (auto& window : windows_) {
        if (window->Code() && window->Name() == caption) return &static_cast<SimPane&>(*window->pane).Inner();
    }
    return nullptr;
}

void SimulatedVbe::ConnectAddIn(const std::shared_ptr<Extensibility>& addIn, std::int32_t connectMode) {
    if (addIn_ != nullptr) DisconnectAddIn(1);
    if (!addIn) return;
    addIn_ = addIn;
    addInObject_ = std::make_shared<SimAddIn>(*this);
    addIn->OnConnection(shared_from_this(), connectMode, addInObject_);
    addIn->OnStartupComplete();
}

void SimulatedVbe::DisconnectAddIn(std::int32_t removeMode) {
    std::shared_ptr<Extensibility> addIn = std::move(addIn_);
    addIn_.reset();
    if (addIn == nullptr) return;
    addIn->OnDisconnection(removeMode);
    // The environment's reference goes here; the add-in may be destroyed inside this call.
    addIn.reset();
}

void SimulatedVbe::Shutdown() { DisconnectAddIn(0); }

std::uintptr_t SimulatedVbe::MainWindow() {
    if (mainWindow_ == 0 || !options_.tellsMainWindow) throw PlatformError("the environment has no main window");
    return mainWindow_;
}

bool SimulatedVbe::TakesInput() { return mainWindow_ == 0 || ui_.WindowEnabled(mainWindow_); }

bool SimulatedVbe::AddInConnected() const { return addIn_ != nullptr; }

std::vector<SimulatedVbe::Found> SimulatedVbe::FindControls(const std::u16string& caption) const {
    std::vector<Found> found;
    std::function<void(const std::u16string&, std::vector<std::shared_ptr<SimControl>>&)> walk =
        [&](const std::u16string& where, std::vector<std::shared_ptr<SimControl>>& items) {
            for (std::size_t i = 0; i < items.size(); ++i) {
                if (items[i]->Deleted()) continue;
                if (items[i]->Caption() == caption) found.push_back({items[i], where, static_cast<int>(i) + 1});
                if (items[i]->Type() == ControlType::Popup) walk(where + u"/" + items[i]->Caption(), items[i]->Children());
            }
        };
    for (const auto& bar : bars_) {
        if (!bar->Deleted()) walk(bar->name_, bar->Items());
    }
    return found;
}

std::vector<SimulatedVbe::Found> SimulatedVbe::FindControlsByPath(const std::u16string& given) const {
    // The VB6 names of the bars stand for their places in the VBA editor, as BarItems takes them.
    std::u16string path = given;
    if (options_.host == HostKind::Vba) {
        const auto rename = [&](const std::u16string& from, const std::u16string& to) {
            if (path.rfind(from + u"/", 0) == 0) path = to + path.substr(from.size());
        };
        if (const auto menu = FindById(ControlType::Popup, 30038)) rename(u"Add-Ins", u"Menu Bar/" + menu->Caption());
        rename(u"標準", u"Standard");
    }
    auto found = FindControls(path);
    const auto slash = path.rfind(u'/');
    if (!found.empty() || slash == std::u16string::npos) return found;
    const std::u16string where = path.substr(0, slash);
    for (auto& f : FindControls(path.substr(slash + 1))) {
        const bool whole = f.bar == where;
        const bool tail = f.bar.size() > where.size() && f.bar.compare(f.bar.size() - where.size(), where.size(), where) == 0 &&
                          f.bar[f.bar.size() - where.size() - 1] == u'/';
        if (whole || tail) found.push_back(f);
    }
    return found;
}

void SimulatedVbe::Click(const std::u16string& caption) {
    const auto found = FindControlsByPath(caption);
    if (found.empty()) throw PlatformError("no control of that caption");
    SimControl& control = *found.front().control;
    // A disabled control does not react, nor does any while a dialog has disabled the environment.
    if (!control.Enabled() || !TakesInput()) return;
    // Handlers may delete controls and sources: fire from a copy. Office takes the controls of one
    // Id and Tag for one command and raises the click at the sources of every one of them.
    std::vector<std::shared_ptr<SimControl>> targets{found.front().control};
    if (options_.host == HostKind::Vba) {
        targets.clear();
        ForEachControl([&](const std::shared_ptr<SimControl>& c) {
            if (c->Id() == control.Id() && c->Tag() == control.Tag()) targets.push_back(c);
        });
    }
    std::vector<std::shared_ptr<SimEvents>> live;
    for (const auto& target : targets) {
        for (auto& weak : target->Sources()) {
            if (auto source = weak.lock()) live.push_back(source);
        }
    }
    auto keep = found.front().control;
    for (auto& source : live) source->Fire(control);
}

std::shared_ptr<SimBar> SimulatedVbe::Bar(const std::u16string& name) const {
    for (const auto& bar : bars_) {
        if (!bar->Deleted() && bar->name_ == name) return bar;
    }
    return nullptr;
}

void SimulatedVbe::ForEachControl(const std::function<void(const std::shared_ptr<SimControl>&)>& visit) const {
    std::function<void(const std::vector<std::shared_ptr<SimControl>>&)> walk = [&](const std::vector<std::shared_ptr<SimControl>>& items) {
        for (const auto& item : items) {
            if (item->Deleted()) continue;
            visit(item);
            if (item->Type() == ControlType::Popup) walk(item->Children());
        }
    };
    for (const auto& bar : bars_) {
        if (!bar->Deleted()) walk(bar->Items());
    }
}

std::shared_ptr<SimControl> SimulatedVbe::FindById(ControlType type, std::int32_t id) const {
    std::shared_ptr<SimControl> found;
    ForEachControl([&](const std::shared_ptr<SimControl>& c) {
        if (!found && c->Type() == type && c->Id() == id) found = c;
    });
    return found;
}

std::vector<std::shared_ptr<SimControl>>* SimulatedVbe::BarItems(const std::u16string& name) const {
    if (options_.host == HostKind::Vba && name == u"Add-Ins") {
        const auto menu = FindById(ControlType::Popup, 30038);
        return menu ? &menu->Children() : nullptr;
    }
    const auto bar = Bar(options_.host == HostKind::Vba && name == u"標準" ? u"Standard" : name);
    return bar ? &bar->Items() : nullptr;
}

std::vector<std::u16string> SimulatedVbe::BarNames() const {
    std::vector<std::u16string> names;
    for (const auto& bar : bars_) {
        if (!bar->Deleted()) names.push_back(bar->name_);
    }
    return names;
}

}  // namespace qm::ide
