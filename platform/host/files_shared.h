#pragma once
// What the two systems' halves of the file routines share.
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>

#include "platform/files.h"

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

// Hands the pieces of a file to write in blocks, so that a file made of many short pieces (its lines)
// costs one system call a block, and a large file is never held whole.
template <class WriteBlock>
void WritePieces(const FilePieces& pieces, WriteBlock&& writeBlock) {
    constexpr std::size_t kBlock = std::size_t{1} << 16;
    std::string block;
    block.reserve(kBlock);
    pieces([&](std::string_view piece) {
        if (block.size() + piece.size() > kBlock && !block.empty()) {
            writeBlock(std::string_view(block));
            block.clear();
        }
        if (piece.size() >= kBlock) {
            writeBlock(piece);
        } else {
            block += piece;
        }
    });
    if (!block.empty()) writeBlock(std::string_view(block));
}

}  // namespace qm::files
