#pragma once
// Scenarios on Windows: the real add-in library, registered and created by its ProgID, connected to
// the stand-in environment, showing its real dialogs and keeping its settings in the real registry.
// The user's steps are taken from a timer on the user-interface thread, so that they go on while
// the library shows a dialog modally; message boxes are read and closed as they appear.
#include <memory>
#include <string>

#include "platform/win32/registry_win32.h"
#include "platform/win32/ui_win32.h"
#include "tests/scenario/host.h"
#include "tests/win32/com_addin.h"

namespace qm::standin {

// Points one imported function of a loaded module at another.
bool PatchImport(HMODULE module, const char* dll, const char* function, void* replacement);

class Win32Host final : public scenario::Host {
public:
    // library: the built library, copied to where the scenario says it lies.
    explicit Win32Host(std::wstring library);
    ~Win32Host() override;

    Registry& Store() override { return *registry_; }
    Codepage& Cp() override { return *codepage_; }
    ide::SimulatedVbe& Vbe(const ide::SimulatedVbe::Options& options) override;
    bool VbeMade() const override { return vbe_ != nullptr; }
    void SetClock(const LocalDateTime& now) override;
    void SetScreen(float twipsPerPixelX, float twipsPerPixelY) override;
    void SetLibrary(const std::u16string& path) override;
    void SetHelpViewerMissing() override;
    void SetWindowsVersion(int major) override;
    void SetWindowsDirectory(const std::u16string& path) override;
    void PressAccessKey(char16_t key) override;
    std::shared_ptr<ide::Extensibility> AddIn() override;
    bool EnvironmentEnabled() override;
    void ClipboardSetText(const std::u16string& text) override;
    std::optional<std::u16string> ClipboardText() override;
    void Tick(int times) override;
    void Drive(const std::function<bool()>& step) override;

    std::vector<scenario::Message> Messages() override;
    std::vector<std::u16string> Started() override;
    std::vector<std::pair<std::u16string, std::int32_t>> HelpRequests() override;
    std::vector<std::pair<std::u16string, std::int32_t>> HtmlHelpRequests() override;
    bool PollerRunning() override;

    bool DialogOpen() override { return TopDialog() != nullptr; }
    std::u16string DialogName() override;
    std::u16string DialogCaption() override;
    Box DialogPlace() override;
    Box ScreenBox() override;
    std::optional<scenario::ControlState> Inspect(const std::u16string& name, int index) override;
    bool ForeColorIs(const std::u16string& name, int index, int colour) override;
    std::u16string Focus() override;
    void Act(const std::u16string& name, int index, scenario::UserAction action, const std::u16string& text, int number) override;
    void CloseDialog() override;
    double Tolerance() const override;

    // Called by the step timer.
    void OnStepTimer();

private:
    HWND TopDialog() const;
    HWND Dialog() const;
    HWND FindControl(const std::u16string& name, int index) const;
    // Lets the library's timers and windows run, without taking steps.
    void Pump(int milliseconds);
    bool CloseMessageBox();
    void LoadLibraryAsInstalled();

    std::wstring builtLibrary_;
    std::unique_ptr<Codepage> codepage_;
    std::unique_ptr<Registry> registry_;
    std::unique_ptr<Win32Ui> ui_;
    std::shared_ptr<ide::SimulatedVbe> vbe_;
    std::u16string libraryPath_ = u"C:\\WINDOWS\\SYSTEM32\\WekQM417.dll";
    HMODULE library_ = nullptr;
    std::weak_ptr<ComAddIn> addIn_;
    HWND mainWindow_ = nullptr;
    HWND answeredBox_ = nullptr;

    const std::function<bool()>* step_ = nullptr;
    bool stepsDone_ = false;
    int pumping_ = 0;
    struct StepScene {
        std::size_t dialogs;  // the library's dialogs on screen
        HWND top;             // the one the user works in
    };
    std::vector<StepScene> stepScenes_;  // as each running step began, innermost last
};

}  // namespace qm::standin
