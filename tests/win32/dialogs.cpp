// Shows one dialog of the product as the user sees it, for screenshots:
//   dialogs wizard PAGE | custom | settings | version | setup | uninstall
// and opens the product's help as its Help buttons and help command do, in the viewer the system
// has, then waits for the user (SECONDS):
//   dialogs help HELPFILE CONTEXT SECONDS   (context 0: the help command)
#include <windows.h>

#include <string>

#include "addin/shell/form3.h"
#include "addin/shell/help.h"
#include "addin/shell/form4.h"
#include "addin/wizard/form1.h"
#include "addin/wizard/form2.h"
#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/sim/os_simulated.h"
#include "platform/sim/registry_memory.h"
#include "platform/sim/headless.h"
#include "platform/win32/ui_win32.h"
#include "platform/win32/wide.h"
#include "setup/setup_program.h"

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return 2;
    const std::wstring which = argv[1];
    const int page = argc > 2 ? _wtoi(argv[2]) : 0;
    const auto codepage = qm::MakeCp932Codepage();
    qm::MemoryRegistry registry;
    qm::SettingsStore store(registry, *codepage);
    qm::FixedClock clock({2026, 12, 7, 10, 11, 12});
    qm::Win32Ui ui(GetModuleHandleW(nullptr));
    qm::AddInModule module;
    if (which == L"help" && argc > 4) {
        const std::u16string file = qm::win32::FromWide(argv[2]);
        const int context = _wtoi(argv[3]);
        try {
            if (context == 0) {
                qm::OpenHelpContents(ui, file);
            } else {
                qm::OpenHelpTopic(ui, file, context);
            }
        } catch (const std::exception&) {
            return 3;  // the viewer refused: the product ignores this
        }
        const DWORD end = GetTickCount() + static_cast<DWORD>(_wtoi(argv[4])) * 1000;
        while (static_cast<LONG>(end - GetTickCount()) > 0) {
            ui.DoEvents();
            Sleep(20);
        }
        return 0;
    }
    if (which == L"wizard" || which == L"custom") {
        store.WriteSettingString(u"CustomFormList", u"");
        qm::Form1 wizard(ui, store, clock, *codepage);
        wizard.Load();
        // Walk to the page asked for, through the path of its stamp.
        if (page == 60) {
            qm::ui::user::Click(*wizard.Command1[3]);
            qm::ui::user::Click(*wizard.Option1[1]);
            qm::ui::user::Click(*wizard.Command1[3]);
        } else {
            const int order[] = {0, 1, 10, 11, 12, 13, 14, 100};
            for (int i = 0; order[i] != page && i < 7; ++i) qm::ui::user::Click(*wizard.Command1[3]);
        }
        if (which == L"custom") {
            qm::Form2 custom(ui, *codepage);
            custom.wizard = &wizard;
            custom.Prepare(qm::Form2::Mode::Add, u"確認者", -1);
            custom.Combo1.SetListIndex(5);
            custom.ShowModal();
            return 0;
        }
        if (page == 12) qm::ui::user::Select(wizard.List3, 2);
        wizard.ShowModal();
    } else if (which == L"settings") {
        qm::Form3 settings(ui, store);
        settings.ShowModal();
    } else if (which == L"version") {
        qm::Form4 version(ui, module);
        version.ShowModal();
    } else if (which == L"setup" || which == L"uninstall") {
        qm::SimulatedOs os;
        qm::frmMain form(qm::SetupServices{registry, *codepage, os, ui});
        form.Start(which == L"setup" ? u"" : u"/UNINST");
        form.ShowModal();
    }
    return 0;
}
