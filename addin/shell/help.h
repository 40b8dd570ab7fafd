#pragma once
// The product's help, in the viewer that works on the system: WinHelp where the system has it,
// else the HTML Help file of the same name beside the WinHelp file, at the same topic.
#include <cstdint>
#include <string>

#include "platform/ui/ui.h"

namespace qm {

// The HTML Help file that goes with a WinHelp file: its extension ".hlp" (any case) becomes ".chm".
std::u16string HtmlHelpFileOf(const std::u16string& winHelpFile);

// The help command: starts WINHLP32.EXE of the Windows folder (or of the system folder) on the
// file, or opens the HTML Help file at its first topic. Throws when the viewer cannot be started.
void OpenHelpContents(ui::Ui& ui, const std::u16string& winHelpFile);

// A help button: the topic of the context number. Throws when the viewer cannot show it.
void OpenHelpTopic(ui::Ui& ui, const std::u16string& winHelpFile, std::int32_t context);

}  // namespace qm
