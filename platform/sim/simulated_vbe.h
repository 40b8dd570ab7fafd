#pragma once
// A development environment in memory that behaves as the real one does where the add-in can see
// it: command bars with their controls, click events, windows, code panes and the add-in object.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/sim/text_code_module.h"
#include "platform/ide/vbe.h"
#include "platform/ui/ui.h"

namespace qm::ide {

class SimControl;
class SimBar;
class SimWindow;

class SimulatedVbe final : public VBE, public std::enable_shared_from_this<SimulatedVbe> {
public:
    struct Options {
        bool addInsBar = true;
        bool standardBar = true;
        int standardControls = 4;
        bool tellsMainWindow = true;  // false: MainWindow fails, though the window is there
        // The VBA editor of Office: its bars are "Menu Bar" (the Add-Ins menu is a popup of Id 30038
        // there) and "Standard"; a click reaches every control of the same Id and Tag; a module has
        // no file.
        HostKind host = HostKind::Vb6;
    };
    // The clipboard is the one PasteFace reads.
    static std::shared_ptr<SimulatedVbe> Create(ui::Ui& ui, Options options);
    static std::shared_ptr<SimulatedVbe> Create(ui::Ui& ui) { return Create(ui, Options{}); }

    std::shared_ptr<CommandBars> GetCommandBars() override;
    std::shared_ptr<Events> GetEvents() override;
    std::shared_ptr<Window> ActiveWindow() override;
    std::shared_ptr<CodePane> ActiveCodePane() override;
    // Fails while the environment has no main window.
    std::uintptr_t MainWindow() override;
    HostKind Host() override { return options_.host; }
    // The environment's main window, a top-level window of the user interface: while a dialog has
    // disabled it, the environment takes no clicks. 0: none.
    void SetMainWindow(ui::WindowHandle window) { mainWindow_ = window; }
    bool TakesInput();

    // Windows of the environment.
    TextCodeModule& AddCodeWindow(const std::u16string& caption, const std::vector<std::u16string>& lines, std::u16string path = {});
    void AddWindow(const std::u16string& caption);
    // Makes the window active; fails when there is none of that caption.
    void Activate(const std::u16string& caption);
    void CloseWindow(const std::u16string& caption);
    TextCodeModule* Module(const std::u16string& caption);
    TextCodePane* Pane(const std::u16string& caption);

    // The add-in, as the add-in manager loads and unloads it. The environment holds it while it is
    // connected and releases it when it disconnects it, inside that call, as the real one may.
    void ConnectAddIn(const std::shared_ptr<Extensibility>& addIn, std::int32_t connectMode);
    void DisconnectAddIn(std::int32_t removeMode);
    // The environment closes: the add-in is disconnected (mode 0) and released.
    void Shutdown();
    bool AddInConnected() const;

    // Finding and clicking controls as the user does.
    struct Found {
        std::shared_ptr<SimControl> control;
        std::u16string bar;
        int position = 0;  // 1-based, in its bar or popup
    };
    std::vector<Found> FindControls(const std::u16string& caption) const;
    // Clicks the control: its events fire when it and the environment are enabled. Fails when no such
    // control exists. Where two controls share a caption, "BAR/POPUP/CAPTION" or "POPUP/CAPTION" names one.
    void Click(const std::u16string& caption);
    std::vector<Found> FindControlsByPath(const std::u16string& path) const;
    std::shared_ptr<SimBar> Bar(const std::u16string& name) const;
    std::vector<std::u16string> BarNames() const;
    // The controls of a bar by the name the VB6 environment gives it: in the VBA editor "Add-Ins" is
    // the Add-Ins popup of the menu bar and "標準" the bar "Standard". Null when there is none.
    std::vector<std::shared_ptr<SimControl>>* BarItems(const std::u16string& name) const;
    // The first live control of that type and Id, depth first through the bars.
    std::shared_ptr<SimControl> FindById(ControlType type, std::int32_t id) const;

    ui::Ui& GetUi() { return ui_; }

private:
    SimulatedVbe(ui::Ui& ui, Options options) : ui_(ui), options_(options) {}
    void ForEachControl(const std::function<void(const std::shared_ptr<SimControl>&)>& visit) const;
    friend class SimBars;
    friend class SimEvents;
    friend class SimAddIn;

    ui::Ui& ui_;
    Options options_;
    std::vector<std::shared_ptr<SimBar>> bars_;
    std::vector<std::shared_ptr<SimWindow>> windows_;
    std::shared_ptr<SimWindow> active_;
    std::shared_ptr<SimWindow> lastCode_;
    std::shared_ptr<Extensibility> addIn_;
    ui::WindowHandle mainWindow_ = 0;
    std::shared_ptr<AddIn> addInObject_;
};

// What a simulated control is and shows, for tests to read.
class SimControl final : public CommandBarControl, public std::enable_shared_from_this<SimControl> {
public:
    // Controls that the add-in makes have Id 1, as custom controls do in Office.
    SimControl(SimulatedVbe& vbe, ControlType type, std::u16string caption = {}, std::int32_t id = 1)
        : vbe_(vbe), type_(type), caption_(std::move(caption)), id_(id) {}
    ControlType Type() override;
    std::u16string Caption() override;
    void SetCaption(const std::u16string& caption) override;
    bool BeginGroup() override;
    void SetBeginGroup(bool beginGroup) override;
    bool Enabled() override;
    void SetEnabled(bool enabled) override;
    void PasteFace() override;
    void SetTag(const std::u16string& tag) override;
    void Delete() override;
    std::shared_ptr<CommandBarControls> Controls() override;

    bool Deleted() const { return deleted_; }
    std::int32_t Id() const { return id_; }
    const std::u16string& Tag() const { return tag_; }
    const Bitmap* Face() const { return hasFace_ ? &face_ : nullptr; }
    std::vector<std::shared_ptr<SimControl>>& Children() { return children_; }
    // The event sources bound to this control that are still alive.
    std::vector<std::weak_ptr<class SimEvents>>& Sources() { return sources_; }
    void SetOwnerList(std::vector<std::shared_ptr<SimControl>>* list) { ownerList_ = list; }
    int EnabledWrites() const { return enabledWrites_; }

private:
    void Alive() const;
    SimulatedVbe& vbe_;
    ControlType type_;
    std::u16string caption_;
    std::int32_t id_;
    std::u16string tag_;
    bool beginGroup_ = false;
    bool enabled_ = true;
    bool deleted_ = false;
    bool hasFace_ = false;
    int enabledWrites_ = 0;
    Bitmap face_;
    std::vector<std::shared_ptr<SimControl>> children_;
    std::vector<std::shared_ptr<SimControl>>* ownerList_ = nullptr;
    std::vector<std::weak_ptr<SimEvents>> sources_;
};

class SimBar final : public CommandBar {
public:
    SimBar(SimulatedVbe& vbe, std::u16string name, bool builtIn) : vbe_(vbe), name_(std::move(name)), builtIn_(builtIn) {}
    std::u16string Name() override;
    std::shared_ptr<CommandBarControls> Controls() override;
    bool Visible() override;
    void SetVisible(bool visible) override;
    void Delete() override;

    bool Deleted() const { return deleted_; }
    bool BuiltIn() const { return builtIn_; }
    std::vector<std::shared_ptr<SimControl>>& Items() { return items_; }
    std::int32_t position = 0;

private:
    friend class SimulatedVbe;
    void Alive() const;
    SimulatedVbe& vbe_;
    std::u16string name_;
    bool builtIn_;
    bool visible_ = true;
    bool deleted_ = false;
    std::vector<std::shared_ptr<SimControl>> items_;
};

class SimEvents final : public CommandBarEvents {
public:
    void OnClick(ClickHandler handler) override { handler_ = std::move(handler); }
    void Fire(CommandBarControl& control);

private:
    ClickHandler handler_;
};

}  // namespace qm::ide
