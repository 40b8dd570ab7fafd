#pragma once
// Scenarios in memory: the add-in's own code on a simulated environment, a headless user interface
// and a registry in memory.
#include <memory>

#include "addin/shell/addin_class.h"
#include "platform/sim/registry_memory.h"
#include "platform/sim/headless.h"
#include "tests/scenario/host.h"

namespace qm::scenario {

class HeadlessHost final : public Host {
public:
    HeadlessHost();
    ~HeadlessHost() override;

    Registry& Store() override { return registry_; }
    Codepage& Cp() override { return *codepage_; }
    ide::SimulatedVbe& Vbe(const ide::SimulatedVbe::Options& options) override;
    bool VbeMade() const override { return vbe_ != nullptr; }
    void SetClock(const LocalDateTime& now) override { clock_.Set(now); }
    void SetScreen(float twipsPerPixelX, float twipsPerPixelY) override;
    void SetLibrary(const std::u16string& path) override { libraryPath_ = path; }
    void SetHelpViewerMissing() override {
        helpMissing_ = true;
        ui_.htmlHelpFails = true;
    }
    void SetWindowsVersion(int major) override { ui_.winHelp = major < 10; }
    void SetWindowsDirectory(const std::u16string& path) override { ui_.windowsDirectory = path; }
    std::shared_ptr<ide::Extensibility> AddIn() override;
    bool EnvironmentEnabled() override;
    void ClipboardSetText(const std::u16string& text) override;
    std::optional<std::u16string> ClipboardText() override { return ui_.ClipboardGet().text; }
    void Tick(int times) override;
    void Drive(const std::function<bool()>& step) override;

    std::vector<Message> Messages() override;
    std::vector<std::u16string> Started() override { return ui_.startedPrograms; }
    std::vector<std::pair<std::u16string, std::int32_t>> HelpRequests() override { return ui_.helpRequests; }
    std::vector<std::pair<std::u16string, std::int32_t>> HtmlHelpRequests() override { return ui_.htmlHelpRequests; }
    bool PollerRunning() override;

    bool DialogOpen() override { return !ui_.ModalStack().empty(); }
    void PressAccessKey(char16_t key) override;
    std::u16string DialogName() override { return Dialog().Name(); }
    std::u16string DialogCaption() override { return Dialog().caption; }
    Box DialogPlace() override;
    Box ScreenBox() override;
    std::optional<ControlState> Inspect(const std::u16string& name, int index) override;
    bool ForeColorIs(const std::u16string& name, int index, int colour) override;
    std::u16string Focus() override;
    void Act(const std::u16string& name, int index, UserAction action, const std::u16string& text, int number) override;
    void CloseDialog() override { Dialog().UserClose(); }

private:
    ui::Form& Dialog();
    ui::Control& ControlOf(const std::u16string& name, int index);

    std::unique_ptr<Codepage> codepage_ = MakeCp932Codepage();
    MemoryRegistry registry_;
    FixedClock clock_{{1999, 12, 1, 9, 5, 7}};
    ui::HeadlessUi ui_;
    std::u16string libraryPath_ = u"C:\\WINDOWS\\SYSTEM32\\WekQM417.dll";
    bool helpMissing_ = false;
    std::shared_ptr<ide::SimulatedVbe> vbe_;
    std::weak_ptr<AddInClass> addIn_;
};

}  // namespace qm::scenario
