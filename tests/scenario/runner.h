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
// kind: the editor the scenario starts in (its "environment vba" step chooses Office's as well).
std::vector<Failure> RunScenarioFile(const std::string& path, Host& host, ide::HostKind kind = ide::HostKind::Vb6);
std::vector<Failure> RunScenarioText(const std::string& name, const std::string& text, Host& host, ide::HostKind kind = ide::HostKind::Vb6);
// The same, with the add-in's code on a simulated environment in memory.
std::vector<Failure> RunScenarioFile(const std::string& path, ide::HostKind kind = ide::HostKind::Vb6);
std::vector<Failure> RunScenarioText(const std::string& name, const std::string& text, ide::HostKind kind = ide::HostKind::Vb6);

}  // namespace qm::scenario
