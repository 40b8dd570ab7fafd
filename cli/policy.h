#pragma once
// The team's check policy: one small file in the repository that check reads wherever it runs (by
// hand, in the pre-commit hook, in CI), found from each checked file's folder upward.
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qm::cli {

inline constexpr const char* kPolicyFileName = ".quillmark-check";

// What the policy decides. Without a policy file every field keeps its default.
struct CheckPolicy {
    std::string path;                     // the file it was read from; "" without one
    std::string folder;                   // its folder, which the exclusion patterns start from
    bool publicOnly = false;              // procedures = public
    bool moduleHeader = false;            // module-header = required
    bool houseHeadersNeedStamp = false;   // house-headers = need-stamp
    std::vector<std::string> ignored;     // ignore = RULE
    std::vector<std::u16string> exclude;  // exclude = PATTERN
    std::string baseline;                 // baseline = FILE, from folder

    bool Ignores(std::string_view rule) const;
    // relative: the file's path from the policy's folder, "/" between folders.
    bool Excludes(std::string_view relative) const;
};

// A policy file that cannot be taken: the message names the file and the line. Status 2.
struct PolicyError {
    std::string message;
};

// The policy a file holds (UTF-8, one "key = value" a line, "#" starts a comment line). Throws
// PolicyError for a line it does not know, naming path and the line.
CheckPolicy ParsePolicy(std::string_view bytes, const std::string& path);

// The policy file of a source file: kPolicyFileName in the file's folder or the nearest folder above
// it, as exists says. file is absolute, or relative to a root that exists is asked about last. The
// search ends at top when one is given (the top of the git work tree, as for the team file).
std::optional<std::string> PolicyFileOf(const std::string& file, const std::function<bool(const std::string&)>& exists,
                                        const std::string& top = {});

// A pattern of the exclude key against a path ("/" between folders), case ignored for ASCII: "*" and
// "?" stay within a folder's name, "**" crosses folders; a pattern without "/" is matched against the
// file's name, one with "/" against the whole path (a leading "/" only anchors it), and one that ends
// in "/" takes everything below that folder.
bool PathMatches(std::u16string_view pattern, std::u16string_view path);

// The path of file (as given, from the current folder) as seen from folder ("" for the current
// folder), "/" between folders.
std::string PathFrom(const std::string& folder, const std::string& file);

}  // namespace qm::cli
