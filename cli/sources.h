#pragma once
// The VB6 source files of a command line: files as given, projects as the modules they list, and
// where the command may write them.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/common.h"

namespace qm::cli {

// A VB6 source file to work on, and where it was reached from: the folder of the FILE argument or
// of the project that lists it, and the name given there. A link met on the way from that folder may
// not lead the command to write outside it (or, inside a git work tree, outside that tree).
struct Source {
    std::string path;
    std::string folder;    // "" for the current folder
    std::string relative;  // path, as seen from folder
};

// Whether a file's name has the extension of a VB6 source file (.bas .cls .frm .ctl .pag .dob .dsr),
// in any letter case.
bool IsSourceName(const std::string& path);

// The paths of the modules a project file (.vbp, code page 932) lists, as it writes them but with "/"
// for "\\": the Module, Class, Form, UserControl, PropertyPage, UserDocument and Designer lines.
std::vector<std::string> ProjectMembers(std::string_view bytes);

// Whether a file name matches a pattern of "*" (any run of characters) and "?" (one character), with
// upper and lower case alike, as the names of Windows are.
bool MatchesWildcard(std::u16string_view pattern, std::u16string_view name);

// The files a FILE argument with "*" or "?" in it names, as Windows tools expand them (there the
// command does it, not the shell): a pattern may stand for folders on the way and for the file, the
// paths keep the form of the argument (relative or absolute), in the order of their names. Nothing
// when nothing matches.
std::vector<std::string> ExpandWildcards(const std::string& pattern);

// The VB6 source files the arguments name: files as they are, projects (.vbp) as the modules they
// list. On Windows, "*" and "?" are expanded (a pattern that matches nothing is a problem that names
// it) and paths are given with "\\" and without "." and ".." steps. What cannot be taken is reported in problems, and the rest is still done. A name that holds
// a control character is refused: it would break a stamp line or an output line.
std::vector<Source> ExpandSources(const std::vector<std::string>& arguments, std::vector<std::string>& problems);

// Why the command may not write this file; nothing when it may: the file must be a VB6 source by its
// own name and by the name of what a link makes of it, and a link on the way from where it was
// reached must not lead out of that folder's tree (nor, inside a git work tree, out of the tree).
std::optional<std::string> WriteRefusal(const Source& source);

}  // namespace qm::cli
