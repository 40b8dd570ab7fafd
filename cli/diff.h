#pragma once
// The difference between two texts, as --diff shows it.
#include <string>

namespace qm::cli {

// A unified diff of two texts (UTF-8), with three lines of context; empty when they are the same.
std::string UnifiedDiff(const std::string& path, const std::string& before, const std::string& after);

}  // namespace qm::cli
