#pragma once
// The HTML Help project (.hhp with its pages, contents and index) that chmcmd compiles into the
// product's .chm, made from the help source with the same topics and context numbers.
#include <map>
#include <string>
#include <string_view>

#include "help/compiler/help_source.h"
#include "platform/codepage.h"

namespace qm::help {

// The page file of a topic: its ID in lower case, ".htm".
std::string PageName(const Topic& topic);

// File name to bytes, all text in Shift_JIS: the project file projectName + ".hhp", which compiles
// into chmName, the contents (.hhc), the index (.hhk), the style sheet and a page per topic.
std::map<std::string, std::string> WriteHtmlHelpProject(const HelpSource& source, const Codepage& codepage, std::string_view projectName,
                                                        std::string_view chmName);

}  // namespace qm::help
