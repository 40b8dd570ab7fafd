// Runs scenario files and reports what failed.
#include <iostream>

#include "tests/scenario/runner.h"

#include <string>

int main(int argc, char** argv) {
    // --vba: every file runs in Office's VBA editor, as if it began with "environment vba".
    int first = 1;
    auto kind = qm::ide::HostKind::Vb6;
    if (argc > 1 && std::string(argv[1]) == "--vba") {
        kind = qm::ide::HostKind::Vba;
        first = 2;
    }
    if (argc <= first) {
        std::cerr << "usage: qm_scenario [--vba] FILE...\n";
        return 2;
    }
    int failed = 0;
    for (int i = first; i < argc; ++i) {
        const auto failures = qm::scenario::RunScenarioFile(argv[i], kind);
        for (const auto& f : failures) std::cerr << f.file << ":" << f.line << ": " << f.message << "\n";
        if (!failures.empty()) ++failed;
        std::cout << (failures.empty() ? "passed " : "FAILED ") << argv[i] << "\n";
    }
    return failed == 0 ? 0 : 1;
}
