// Runs scenario files and reports what failed.
#include <iostream>

#include "tests/scenario/runner.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: qm_scenario FILE...\n";
        return 2;
    }
    int failed = 0;
    for (int i = 1; i < argc; ++i) {
        const auto failures = qm::scenario::RunScenarioFile(argv[i]);
        for (const auto& f : failures) std::cerr << f.file << ":" << f.line << ": " << f.message << "\n";
        if (!failures.empty()) ++failed;
        std::cout << (failures.empty() ? "passed " : "FAILED ") << argv[i] << "\n";
    }
    return failed == 0 ? 0 : 1;
}
