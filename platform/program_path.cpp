#include "platform/program_path.h"

namespace qm {

namespace {
bool IsLetter(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }
}  // namespace

bool IsFullPath(const std::u16string& path) {
    for (const char16_t c : path) {
        if (c == u'"' || c < 0x20) return false;
    }
    if (path.size() >= 3 && IsLetter(path[0]) && path[1] == u':' && path[2] == u'\\') return path.size() > 3;
    // \\server\share\name: a server and a share before the name.
    if (path.compare(0, 2, u"\\\\") != 0) return false;
    const auto share = path.find(u'\\', 2);
    if (share == std::u16string::npos || share == 2) return false;
    const auto name = path.find(u'\\', share + 1);
    return name != std::u16string::npos && name > share + 1 && name + 1 < path.size();
}

std::u16string Quoted(const std::u16string& path) { return u"\"" + path + u"\""; }

std::u16string CommandLineOf(const std::u16string& program, const std::u16string& arguments) {
    return arguments.empty() ? Quoted(program) : Quoted(program) + u" " + arguments;
}

std::u16string WithBackslash(std::u16string folder) {
    if (folder.empty() || folder.back() != u'\\') folder += u"\\";
    return folder;
}

}  // namespace qm
