#pragma once
// The setup program: one confirmation dialog that installs the add-in, or removes it when started
// with "/UNINST".
#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "platform/os.h"
#include "platform/registry.h"
#include "platform/ui/forms.h"

namespace qm {

inline constexpr char16_t kSetupTitle[] = u"WekQM417_Setup";
inline constexpr char16_t kDisplayName[] = u"Wek Quillmark for VB6 Ver1.0";
inline constexpr char16_t kUninstallKey[] = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Wek Quillmark for VB6 Ver1.0";

struct SetupServices {
    Registry& registry;
    const Codepage& codepage;
    Os& os;
    ui::Ui& ui;
};

class frmMain : public ui::Form {
public:
    enum class Mode { Install, Uninstall };

    explicit frmMain(SetupServices services);

    // Decides the job from the command line; false: the program ends without a window.
    bool Start(const std::u16string& commandLine);
    Mode GetMode() const { return mode_; }
    // The three directories, each ending in "\".
    const std::u16string& ProgramDirectory() const { return programDirectory_; }
    const std::u16string& SystemDirectory() const { return systemDirectory_; }
    const std::u16string& WindowsDirectory() const { return windowsDirectory_; }

    ui::Frame Frame1{*this, u"Frame1", -1};
    ui::Label Label1{*this, u"Label1", -1};
    std::array<std::unique_ptr<ui::CommandButton>, 2> Command1;

    void Command1_Click(int index);

    void Install();
    void Uninstall();

private:
    void Message(const std::u16string& text);
    void Finish();
    // Sets a value unless keepExisting and it is already there; false when the key cannot be reached or written.
    bool WriteValue(Hive hive, const std::u16string& path, const std::u16string& name, std::uint32_t type, const std::string& data,
                    bool keepExisting);
    bool MakeFolders(const std::u16string& path);
    // The VBA editors of the Office on this machine, by bitness (32 and 64), from their libraries.
    std::vector<int> VbaEditorsFound();
    // The first junction or symbolic link on the way to the program group's shortcuts; nothing when
    // there is none. The program runs elevated there, in a folder that the user's own programs can change.
    std::optional<std::u16string> LinkInGroup(const std::u16string& group);

    SetupServices services_;
    Mode mode_ = Mode::Install;
    std::u16string programDirectory_;
    std::u16string systemDirectory_;
    std::u16string windowsDirectory_;
};

// Runs the setup program: starts it from the command line and shows its dialog.
void RunSetup(SetupServices services, const std::u16string& commandLine);

}  // namespace qm
