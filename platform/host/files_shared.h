#pragma once
// What the two systems' halves of the file routines share.
#include <filesystem>
#include <string>

namespace qm::files {

inline constexpr char kReadOnly[] =
    "the file is read-only: make it writable (chmod u+w, or check it out of source control) and run the command again";
inline constexpr char kHeldOpen[] =
    "another program holds the file open without sharing it (an editor?): nothing was written there; close it there and run the command "
    "again";
inline constexpr char kDiskFull[] = "the disk is full: the file is left as it was";
inline constexpr char kNotRegular[] = "not a regular file (a named pipe, a device or a folder): nothing is read or written there";

// Paths are UTF-8 everywhere in the program; the system's own encoding is the library's business.
inline std::filesystem::path PathOf(const std::string& utf8) { return std::filesystem::path(std::u8string(utf8.begin(), utf8.end())); }

}  // namespace qm::files
