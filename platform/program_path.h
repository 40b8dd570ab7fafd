#pragma once
// Programs are started by their full path, and a path in a command line is quoted: a bare name is
// looked for in the current folder (the user's project, a downloads folder) before the system's, and
// an unquoted path with a blank is read as a shorter path ("C:\Program" for "C:\Program Files\...").
#include <string>

namespace qm {

// Whether path names a file from a drive's root ("C:\...") or a share ("\\server\share\..."), and
// can stand in quotes (no '"', no control character).
bool IsFullPath(const std::u16string& path);

// A path as one word of a command line.
std::u16string Quoted(const std::u16string& path);

// The command line that starts program with arguments: the program's path quoted, then the arguments.
std::u16string CommandLineOf(const std::u16string& program, const std::u16string& arguments);

// The folder's path with one "\" at its end.
std::u16string WithBackslash(std::u16string folder);

}  // namespace qm
