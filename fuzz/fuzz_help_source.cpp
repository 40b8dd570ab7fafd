// The help source: any bytes are read or refused with a line number, and a source that is read
// makes both help files or is refused for a reason of its own (a text without an ANSI form, a topic
// too long for one topic block); a WinHelp file made from it has its header and its size.
#include <cstddef>
#include <cstdint>
#include <string>

#include "help/compiler/help_source.h"
#include "help/compiler/html_help.h"
#include "help/compiler/winhelp_file.h"
#include "platform/bytes.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const auto codepage = qm::MakeCp932Codepage();
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    qm::help::HelpSource source;
    try {
        source = qm::help::ParseHelpSource(bytes);
    } catch (const qm::help::HelpSourceError&) {
        return 0;
    }
    if (source.topics.empty() || source.title.empty()) __builtin_trap();
    try {
        const std::string hlp = qm::help::WriteWinHelpFile(source, *codepage, u"fuzz.cnt");
        if (hlp.size() < 16 || qm::UnpackLe32(hlp) != 0x00035F3F || qm::UnpackLe32(hlp.substr(12, 4)) != hlp.size()) __builtin_trap();
        qm::help::WriteContentsFile(source, *codepage, u"fuzz.hlp");
        const auto project = qm::help::WriteHtmlHelpProject(source, *codepage, "fuzz", "fuzz.chm");
        if (project.size() != source.topics.size() + 4) __builtin_trap();
    } catch (const qm::help::HelpSourceError&) {
    }
    return 0;
}
