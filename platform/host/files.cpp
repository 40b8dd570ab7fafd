#include "platform/files.h"

#include <filesystem>
#include <system_error>

#include "platform/host/files_shared.h"

namespace qm {

bool FileExists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(files::PathOf(path), ec);
}

}  // namespace qm
