#pragma once
// A baseline: the findings a team accepted on the day it started checking, so that only new ones
// count. A finding is known by its rule, its file (from the baseline's folder) and its procedure,
// never by its line, so that lines moving above it do not make an old finding new.
#include <map>
#include <string>
#include <tuple>
#include <string_view>
#include <vector>

#include "cli/findings.h"

namespace qm::cli {

struct BaselineEntry {
    std::string rule;
    std::string file;  // "/" between folders, from the baseline file's folder
    std::string procedure;
    friend bool operator==(const BaselineEntry&, const BaselineEntry&) = default;
};

// A baseline file that cannot be taken: the message names the file and the line. Status 2.
struct BaselineError {
    std::string message;
};

// "# quillmark check baseline 1", then one finding a line: rule, file and procedure with a tab
// between; a backslash, a tab and every other control character are escaped (\\, \t, \xHH).
std::string ComposeBaseline(const std::vector<BaselineEntry>& entries);
// Throws BaselineError for a file that is not one ComposeBaseline could have written (comment lines
// and blank lines aside).
std::vector<BaselineEntry> ParseBaseline(std::string_view bytes, const std::string& path);

// The findings a baseline accepts: each entry accounts for one finding of its key, whatever its line.
class AcceptedFindings {
public:
    // folder: the baseline file's folder, from which its file names are read.
    AcceptedFindings(const std::vector<BaselineEntry>& entries, std::string folder);
    // Whether the baseline accepts the finding; an entry that did is used up.
    bool Take(const Finding& finding);

private:
    std::map<std::tuple<std::string, std::string, std::string>, int> left_;
    std::string folder_;
};

}  // namespace qm::cli
