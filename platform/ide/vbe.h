#pragma once
// The development environment's object model as the add-in uses it: the root object, command bars
// and their controls, click events, windows and the add-in object. Objects are shared handles; an
// operation on a deleted object, or one the environment refuses, throws PlatformError.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>
#include <string>

#include "platform/bitmap.h"
#include "platform/ide/code_window.h"

namespace qm::ide {

enum class ControlType : std::int32_t { Button = 1, Popup = 10 };

// Which Visual Basic editor the add-in runs in: the VB6 environment, or the VBA editor of Office.
// Their object models are the same where the add-in uses them; their command bars and registration
// keys differ.
enum class HostKind { Vb6, Vba };

class CommandBarControls;

class CommandBarControl {
public:
    virtual ~CommandBarControl() = default;
    virtual ControlType Type() = 0;
    virtual std::u16string Caption() = 0;
    virtual void SetCaption(const std::u16string& caption) = 0;
    virtual bool BeginGroup() = 0;
    virtual void SetBeginGroup(bool beginGroup) = 0;
    virtual bool Enabled() = 0;
    virtual void SetEnabled(bool enabled) = 0;
    // Takes the picture on the clipboard as the control's face.
    virtual void PasteFace() = 0;
    // What tells the control apart from others of the same Id (Office routes a click by Id and Tag).
    virtual void SetTag(const std::u16string& tag) = 0;
    virtual void Delete() = 0;
    // The controls of a popup; fails on a button.
    virtual std::shared_ptr<CommandBarControls> Controls() = 0;
};

class CommandBarControls {
public:
    virtual ~CommandBarControls() = default;
    virtual std::int32_t Count() = 0;
    // 1-based; before = nothing adds at the end.
    virtual std::shared_ptr<CommandBarControl> Item(std::int32_t index) = 0;
    virtual std::shared_ptr<CommandBarControl> Add(ControlType type, std::optional<std::int32_t> before) = 0;
};

class CommandBar {
public:
    virtual ~CommandBar() = default;
    virtual std::u16string Name() = 0;
    virtual std::shared_ptr<CommandBarControls> Controls() = 0;
    virtual bool Visible() = 0;
    virtual void SetVisible(bool visible) = 0;
    virtual void Delete() = 0;
};

class CommandBars {
public:
    virtual ~CommandBars() = default;
    virtual std::shared_ptr<CommandBar> Item(const std::u16string& name) = 0;
    // position 1: docked at the top.
    virtual std::shared_ptr<CommandBar> Add(const std::u16string& name, std::int32_t position) = 0;
    // The first control of that type and Id on any bar; nothing when there is none.
    virtual std::shared_ptr<CommandBarControl> FindControl(ControlType type, std::int32_t id) = 0;
};

// The click event source of one control. The handler runs while the source lives.
class CommandBarEvents {
public:
    using ClickHandler = std::function<void(CommandBarControl& control, bool& handled, bool& cancelDefault)>;
    virtual ~CommandBarEvents() = default;
    virtual void OnClick(ClickHandler handler) = 0;
};

class Events {
public:
    virtual ~Events() = default;
    virtual std::shared_ptr<CommandBarEvents> GetCommandBarEvents(const std::shared_ptr<CommandBarControl>& control) = 0;
};

class AddIn {
public:
    virtual ~AddIn() = default;
    virtual bool Connect() = 0;
    virtual void SetConnect(bool connect) = 0;
};

class VBE {
public:
    virtual ~VBE() = default;
    virtual std::shared_ptr<CommandBars> GetCommandBars() = 0;
    virtual std::shared_ptr<Events> GetEvents() = 0;
    // Nothing (a null pointer) when no window, or no code pane, is active.
    virtual std::shared_ptr<Window> ActiveWindow() = 0;
    virtual std::shared_ptr<CodePane> ActiveCodePane() = 0;
    // The window handle of the environment's main window (MainWindow.HWnd).
    virtual std::uintptr_t MainWindow() = 0;
    virtual HostKind Host() = 0;
};

}  // namespace qm::ide

namespace qm::ide {

// The add-in interface the environment calls.
// The environment holds the add-in by a shared reference and lets it go when it disconnects it.
class Extensibility {
public:
    virtual ~Extensibility() = default;
    virtual void OnConnection(std::shared_ptr<VBE> vbInst, std::int32_t connectMode, std::shared_ptr<AddIn> addInInst) = 0;
    virtual void OnDisconnection(std::int32_t removeMode) = 0;
    virtual void OnStartupComplete() = 0;
    virtual void OnAddInsUpdate() = 0;
};

}  // namespace qm::ide
