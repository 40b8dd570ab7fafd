#pragma once
// Starting another program and collecting what it prints: the command asks git about a repository
// this way. No shell is involved: the arguments reach the program exactly as given.
#include <string>
#include <vector>

#include "platform/failure.h"

namespace qm {

struct ProgramResult {
    int status = -1;  // the exit status; -1 when the program ended otherwise (a signal)
    std::string out;
    std::string err;
};

// Runs program with the arguments (without argv[0]) in folder (the current folder when empty), with
// nothing on its standard input, and waits for it. The program is looked up only in the absolute
// folders of PATH, never in the current folder, so that a repository cannot slip in one of its own.
// Throws PlatformError when it cannot be found or started.
ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& arguments, const std::string& folder = "");

}  // namespace qm
