#pragma once
// Scenario files: a user's work with the add-in, step by step, with the results expected.
#include <string>
#include <vector>

#include "tests/scenario/host.h"

namespace qm::scenario {

struct Failure {
    std::string file;
    int line;
    std::string message;
};

// Runs one scenario on the host. Returns the failed expectations and the steps that could not be
// carried out; empty when the scenario passed.
std::vector<Failure> RunScenarioFile(const std::string& path, Host& host);
std::vector<Failure> RunScenarioText(const std::string& name, const std::string& text, Host& host);
// The same, with the add-in's code on a simulated environment in memory.
std::vector<Failure> RunScenarioFile(const std::string& path);
std::vector<Failure> RunScenarioText(const std::string& name, const std::string& text);

}  // namespace qm::scenario
