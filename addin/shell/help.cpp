#include "addin/shell/help.h"

#include "platform/failure.h"
#include "platform/program_path.h"
#include "platform/text.h"

namespace qm {

namespace {
constexpr char16_t kWinHelpViewer[] = u"WINHLP32.EXE";
}  // namespace

std::u16string HtmlHelpFileOf(const std::u16string& winHelpFile) {
    constexpr std::u16string_view kExtension = u".hlp";
    if (winHelpFile.size() >= kExtension.size() &&
        EqualsIgnoreCase(std::u16string_view(winHelpFile).substr(winHelpFile.size() - kExtension.size()), kExtension)) {
        return winHelpFile.substr(0, winHelpFile.size() - kExtension.size()) + u".chm";
    }
    return winHelpFile + u".chm";
}

void OpenHelpContents(ui::Ui& ui, const std::u16string& winHelpFile) {
    if (ui.WinHelpAvailable()) {
        // By its full path: by name alone, a program of that name in the current folder (the user's
        // project) would be started in its place. Windows keeps the viewer in its Windows folder,
        // Wine in the system folder.
        const std::u16string file = Quoted(winHelpFile);
        if (!Attempt([&] { ui.StartProgram(WithBackslash(ui.WindowsDirectory()) + kWinHelpViewer, file); })) {
            ui.StartProgram(WithBackslash(ui.SystemDirectory()) + kWinHelpViewer, file);
        }
    } else {
        ui.ShowHtmlHelp(HtmlHelpFileOf(winHelpFile), 0);
    }
}

void OpenHelpTopic(ui::Ui& ui, const std::u16string& winHelpFile, std::int32_t context) {
    if (ui.WinHelpAvailable()) {
        ui.ShowHelp(winHelpFile, context);
    } else {
        ui.ShowHtmlHelp(HtmlHelpFileOf(winHelpFile), context);
    }
}

}  // namespace qm
