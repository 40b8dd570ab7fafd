#pragma once
// The commands of quillmark, one source file each. Each returns the exit status (0 success, 1
// findings or failure); wrong usage throws UsageError, a failure Failure.
#include <optional>
#include <string>
#include <vector>

#include "cli/common.h"
#include "cli/diff.h"
#include "cli/output.h"
#include "cli/sources.h"
#include "cli/store.h"

namespace qm::cli {

struct StampOptions {
    CommonOptions common;
    std::vector<std::string> files;
    std::optional<int> line;  // --line
    bool all = false;
    bool moduleHeader = false;
    bool withHouseHeaders = false;  // also procedures under a header of the project's own
    bool undated = false;           // the creation-date and author items left empty
    bool write = false;
    bool diff = false;
    bool patch = false;
};
int CommandStamp(const StampOptions& options);

struct MarkOptions {
    CommonOptions common;
    std::string file;
    std::string from;
    std::string to;
    bool write = false;
    bool diff = false;
    bool patch = false;
};
int CommandMark(const MarkOptions& options);

struct CheckOptions {
    CommonOptions common;
    std::vector<std::string> files;
    bool moduleHeader = false;
    bool publicOnly = false;
    std::string format = "text";  // text, json or sarif
    bool staged = false;          // the index's staged sources in place of files
    std::string baseline;         // --baseline FILE
    std::string writeBaseline;    // --write-baseline FILE
};
// Status 0 when nothing was found, 1 when something was, 2 when a file or member could not be read
// or the store not used (2 wins over 1).
int CommandCheck(const CheckOptions& options);

struct RefreshOptions {
    CommonOptions common;
    std::vector<std::string> files;
    bool write = false;
    bool diff = false;
    bool patch = false;
};
int CommandRefresh(const RefreshOptions& options);

struct SettingsOptions {
    CommonOptions common;
    std::string verb;
    std::vector<std::string> arguments;
    bool force = false;
    bool user = false;  // --user: the user's own store, whatever team file there is
};
int CommandSettings(const SettingsOptions& options);
// The verbs of settings, in the order help lists them.
std::vector<std::string> SettingsVerbNames();

struct HookOptions {
    std::string verb;  // install
};
// Writes the repository's pre-commit hook that runs check --staged.
int CommandHook(const HookOptions& options);

struct PreviewOptions {
    CommonOptions common;
};
int CommandPreview(const PreviewOptions& options);

struct DocOptions {
    CommonOptions common;
    std::vector<std::string> files;
    std::string output;
    std::string format = "html";  // html, json or markdown
    bool publicOnly = false;
    bool force = false;
};
// Status 0, or 1 when a file or member could not be read (the rest is documented) or nothing could
// be written.
int CommandDoc(const DocOptions& options);

}  // namespace qm::cli
