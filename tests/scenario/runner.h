#pragma once
// Scenario files: a user's work with the add-in, step by step, with the results expected.
#include <string>
#include <vector>

namespace qm::scenario {

struct Failure {
    std::string file;
    int line;
    std::string message;
};

// Runs one scenario against the add-in on a simulated development environment. Returns the
// failed expectations and the steps that could not be carried out; empty when the scenario passed.
std::vector<Failure> RunScenarioFile(const std::string& path);
std::vector<Failure> RunScenarioText(const std::string& name, const std::string& text);

}  // namespace qm::scenario
