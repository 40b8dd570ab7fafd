#pragma once
// What the commands of quillmark share: their options and failures. The settings store and the
// names in it (store.h), the files and projects they are given (sources.h), how a changed file goes
// out (output.h) and the difference shown (diff.h) have headers of their own.
#include <string>
#include <string_view>
#include <vector>

#include "cli/source_file.h"
#include "platform/clock.h"
#include "platform/codepage.h"

namespace qm::cli {

// Wrong usage: exit status 2.
struct UsageError {
    std::string message;
};
// A failure: exit status 1.
struct Failure {
    std::string message;
};
// Input the command cannot use at all (a settings store that cannot be read): exit status 2, and
// nothing is written.
struct Unusable {
    std::string message;
};

inline constexpr const char* kQuillmarkVersion = "1.0";

struct CommonOptions {
    std::string settings;  // --settings
    std::string now;       // --now
    std::string encoding;  // --encoding; empty: code page 932, not confirmed
    std::string author;    // --author
    std::string editor;    // --editor
    bool quiet = false;    // -q: errors only
    bool verbose = false;  // -v: the stores and names used, every file written
};

LocalDateTime Now(const CommonOptions& options);
Encoding FileEncoding(const CommonOptions& options);
// --encoding was given: a file read as code page 932 is then taken as it is.
inline bool EncodingGiven(const CommonOptions& options) { return !options.encoding.empty(); }

// A name or message as it may stand in one output line: control characters shown as escapes.
std::string Printable(const std::string& utf8);
// The lines of a text file, each without its "\n" or "\r\n"; a last line without one counts too.
std::vector<std::string_view> SplitLines(std::string_view bytes);
// Every problem, one line each on standard error.
void ReportProblems(const std::vector<std::string>& problems);
// A line on standard error that is not an error: left out with --quiet.
void Note(const CommonOptions& options, const std::string& line);
// A line on standard error for --verbose only.
void Detail(const CommonOptions& options, const std::string& line);

}  // namespace qm::cli
