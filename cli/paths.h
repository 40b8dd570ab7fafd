#pragma once
// Paths in the command: UTF-8 text everywhere, whatever the system's own code page.
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace qm::cli {

inline std::filesystem::path PathOf(const std::string& utf8) { return std::filesystem::path(std::u8string(utf8.begin(), utf8.end())); }

// The path as the system writes it (back slashes on Windows).
inline std::string Utf8Of(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

// The path with forward slashes on every system, as reports and git write it.
inline std::string GenericUtf8Of(const std::filesystem::path& path) {
    const std::u8string text = path.generic_u8string();
    return std::string(text.begin(), text.end());
}

// The first folder, from `folder` upward, for which `found` holds. The search ends after the root,
// after the empty folder a relative path ends in, or after `last` where one is given.
std::optional<std::filesystem::path> SearchUpward(std::filesystem::path folder,
                                                  const std::function<bool(const std::filesystem::path&)>& found,
                                                  const std::filesystem::path& last = {});

}  // namespace qm::cli
