// The setup program's entry: the command line chooses installation or removal.
#include <windows.h>

#include "platform/codepage.h"
#include "platform/win32/boundary.h"
#include "platform/win32/dll_search.h"
#include "platform/win32/os_win32.h"
#include "platform/win32/registry_win32.h"
#include "platform/win32/ui_win32.h"
#include "platform/win32/wide.h"
#include "setup/setup_program.h"

namespace {

// The command line without the program's own name.
std::u16string Arguments() {
    const std::u16string line = qm::win32::FromWide(GetCommandLineW());
    std::size_t i = 0;
    if (!line.empty() && line[0] == u'"') {
        i = line.find(u'"', 1);
        i = i == std::u16string::npos ? line.size() : i + 1;
    } else {
        while (i < line.size() && line[i] != u' ' && line[i] != u'\t') ++i;
    }
    while (i < line.size() && (line[i] == u' ' || line[i] == u'\t')) ++i;
    return line.substr(i);
}

}  // namespace

// The C runtime's entry for a program with wWinMain; it ends the process when wWinMain returns.
extern "C" int WinMainCRTStartup();

// The program's entry (setup/CMakeLists.txt names it to the linker): the library search is narrowed
// before the C runtime and any constructor run, and before the shell and COM are loaded.
extern "C" __attribute__((force_align_arg_pointer)) int SetupEntry() {
    qm::win32::RestrictDllSearch();
    return WinMainCRTStartup();
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    return qm::win32::Guarded(1, [&] {
        const auto codepage = qm::MakeCp932Codepage();
        qm::Win32Registry registry(*codepage);
        qm::Win32Os os;
        qm::Win32Ui ui(instance);
        qm::RunSetup(qm::SetupServices{registry, *codepage, os, ui}, Arguments());
        return 0;
    });
}
