// The file layer's shared cases (the Windows build runs the same ones under Wine).
#include <gtest/gtest.h>
#include <unistd.h>

#include "tests/platform/file_layer_cases.h"

namespace qm {
namespace {

TEST(FileLayer, KeepsItsPromises) {
    const auto root = std::filesystem::temp_directory_path() / ("qm-file-layer-" + std::to_string(getpid()));
    file_layer::RunAll(root, [](const std::string& name, const std::vector<std::string>& failures) {
        for (const std::string& failure : failures) ADD_FAILURE() << name << ": " << failure;
    });
    std::filesystem::remove_all(root);
}

}  // namespace
}  // namespace qm
