#include "cli/paths.h"

namespace qm::cli {

std::optional<std::filesystem::path> SearchUpward(std::filesystem::path folder,
                                                  const std::function<bool(const std::filesystem::path&)>& found,
                                                  const std::filesystem::path& last) {
    const std::filesystem::path end = last.lexically_normal();
    while (true) {
        if (found(folder)) return folder;
        if (folder.empty() || folder == folder.parent_path()) return std::nullopt;
        if (!last.empty() && folder.lexically_normal() == end) return std::nullopt;
        folder = folder.parent_path();
    }
}

}  // namespace qm::cli
