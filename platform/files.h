#pragma once
// Whole-file reads and crash-safe whole-file writes.
#include <string>
#include <string_view>

namespace qm {

// The file's bytes; throws PlatformError naming the problem when it cannot be read.
std::string ReadWholeFile(const std::string& path);
// Writes a temporary file beside the target and moves it over the target, so a crash leaves either
// the old or the new file, never half of one. Keeps the target's permissions. Throws PlatformError.
void WriteFileAtomically(const std::string& path, std::string_view bytes);
bool FileExists(const std::string& path);

}  // namespace qm
