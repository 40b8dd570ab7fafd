#pragma once
// The add-in's connect class: what the development environment creates and connects, the owner of
// the menus, the stamp buttons, their click events and the dialogs.
#include <array>
#include <memory>

#include "addin/settings/settings_store.h"
#include "addin/shell/addin_module.h"
#include "addin/shell/form3.h"
#include "addin/shell/form4.h"
#include "addin/wizard/form1.h"
#include "addin/wizard/form2.h"
#include "platform/ide/vbe.h"

namespace qm {

class AddInClass final : public ide::Extensibility, public std::enable_shared_from_this<AddInClass> {
public:
    explicit AddInClass(AddInServices services);
    ~AddInClass() override;
    AddInClass(const AddInClass&) = delete;
    AddInClass& operator=(const AddInClass&) = delete;

    // Public operations.
    void SetToolBar(std::int16_t intPos);
    void SetBottn();
    void 終了();

    // The add-in interface.
    void OnConnection(std::shared_ptr<ide::VBE> VBInst, std::int32_t ConnectMode, std::shared_ptr<ide::AddIn> AddInInst) override;
    void OnDisconnection(std::int32_t RemoveMode) override;
    void OnStartupComplete() override {}
    void OnAddInsUpdate() override {}

    // Command handlers, named after their event sources.
    using Control = ide::CommandBarControl;
    using Handler = void (AddInClass::*)(Control&, bool&, bool&);
    void MenuHandler1_Click(Control& CommandBarControl, bool& handled, bool& CancelDefault);
    void MenuHandler2_Click(Control& CommandBarControl, bool& handled, bool& CancelDefault);
    void ウィザード_Click_Click(Control& CommandBarControl, bool& handled, bool& CancelDefault);
    void 環境設定_Click_Click(Control& CommandBarControl, bool& handled, bool& CancelDefault);
    void ヘルプ_Click_Click(Control& CommandBarControl, bool& handled, bool& CancelDefault);
    void バージョン情報_Click_Click(Control& CommandBarControl, bool& handled, bool& CancelDefault);
    void 終了_Click_Click(Control& CommandBarControl, bool& handled, bool& CancelDefault);
    void B_ウィザード_Click_Click(Control& CommandBarControl, bool& handled, bool& CancelDefault);
    void B_環境設定_Click_Click(Control& CommandBarControl, bool& handled, bool& CancelDefault);
    void B_ヘルプ_Click_Click(Control& CommandBarControl, bool& handled, bool& CancelDefault);
    void B_バージョン情報_Click_Click(Control& CommandBarControl, bool& handled, bool& CancelDefault);
    void B_終了_Click_Click(Control& CommandBarControl, bool& handled, bool& CancelDefault);

    // What the environment and the dialogs see of the add-in while it runs.
    const AddInModule& Module() const { return module_; }
    SettingsStore& Store() { return store_; }
    Form1* GetForm1() { return form1_.get(); }
    std::shared_ptr<Form2> GetForm2() { return form2_; }
    Form3* GetForm3() { return form3_.get(); }
    Form4* GetForm4() { return form4_.get(); }
    const std::array<std::shared_ptr<ide::CommandBarControl>, 6>& MenuItems() const { return MenuItems_; }
    const std::array<std::shared_ptr<ide::CommandBarControl>, 8>& ToolItems() const { return ToolItems_; }

private:
    void PutFace(ide::CommandBarControl& control, int face);
    // Binds the control's click event source to a handler.
    void Bind(std::shared_ptr<ide::CommandBarEvents>& source, const std::shared_ptr<ide::CommandBarControl>& control, Handler handler);
    // Group line, caption and face of a control just made; each on its own.
    void Configure(const std::shared_ptr<ide::CommandBarControl>& item, bool group, const char16_t* caption, int face);
    // The host's bars, each found the way that host allows: by name in VB6; in the VBA editor the
    // Add-Ins menu by its Id, since its caption is localized, and the standard toolbar by its English name.
    std::shared_ptr<ide::CommandBarControls> AddInsMenuControls();
    std::shared_ptr<ide::CommandBarControls> StandardBarControls();
    // In the VBA editor each control gets a Tag of its own: Office raises a click at every control of
    // the same Id and Tag, and the add-in's controls all have Id 1.
    void TagControl(const std::shared_ptr<ide::CommandBarControl>& item, const char16_t* table, int index);
    void BuildToolbarMenu();
    void BuildAddInsMenu();
    void RemoveControls();
    void RunWizard();
    void RunSettings();
    void RunHelp();
    void RunVersion();
    // The window the add-in's dialogs belong to: the environment's main window, else the window that
    // was active when the command ran.
    ui::WindowHandle DialogOwner();
    // The format the stamps are made from: the one the wizard's last load read from the store with the
    // command's own loader (loaded when missing), never one rebuilt from the pages.
    FormatModel StampFormat();

    AddInServices services_;
    SettingsStore store_;
    AddInModule module_;

    std::shared_ptr<ide::VBE> VBI;
    std::shared_ptr<ide::AddIn> AII;
    ide::HostKind host_ = ide::HostKind::Vb6;
    std::array<std::shared_ptr<ide::CommandBarControl>, 6> MenuItems_;
    std::array<std::shared_ptr<ide::CommandBarControl>, 8> ToolItems_;
    std::shared_ptr<ide::CommandBar> OwnToolBar;

    std::shared_ptr<ide::CommandBarEvents> MenuHandler1, MenuHandler2;
    std::shared_ptr<ide::CommandBarEvents> ウィザード_Click, 環境設定_Click, ヘルプ_Click, バージョン情報_Click, 終了_Click;
    std::shared_ptr<ide::CommandBarEvents> B_ウィザード_Click, B_環境設定_Click, B_ヘルプ_Click, B_バージョン情報_Click, B_終了_Click;

    // Shared, so that a dialog shown modally outlives a disconnection that happens meanwhile.
    std::shared_ptr<Form1> form1_;
    std::shared_ptr<Form2> form2_;
    std::shared_ptr<Form3> form3_;
    std::shared_ptr<Form4> form4_;
};

}  // namespace qm
