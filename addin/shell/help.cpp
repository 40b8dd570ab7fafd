#include "addin/shell/help.h"

#include "platform/text.h"

namespace qm {

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
        ui.StartProgram(u"WINHLP32.EXE " + winHelpFile);
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
