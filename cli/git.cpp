#include "cli/git.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "cli/common.h"
#include "platform/process.h"

namespace qm::cli {
namespace {

namespace fs = std::filesystem;

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool IsSourceName(const std::string& path) {
    const auto dot = path.find_last_of('.');
    if (dot == std::string::npos || path.find('/', dot) != std::string::npos) return false;
    static const char* const kExtensions[] = {".bas", ".cls", ".frm", ".ctl", ".pag", ".dob", ".dsr"};
    const std::string e = Lower(path.substr(dot));
    return std::any_of(std::begin(kExtensions), std::end(kExtensions), [&](const char* x) { return e == x; });
}

std::vector<std::string> SplitNul(const std::string& text) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\0', start);
        if (end == std::string::npos) end = text.size();
        parts.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

std::string Chomped(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

std::string Absolute(const std::string& path, const std::string& from = "") {
    std::error_code ec;
    fs::path p(std::u8string(path.begin(), path.end()));
    if (p.is_relative() && !from.empty()) p = fs::path(std::u8string(from.begin(), from.end())) / p;
    const std::u8string text = fs::weakly_canonical(fs::absolute(p, ec), ec).u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace

std::string Git(const std::vector<std::string>& arguments, const std::string& folder) {
    // No pager, no optional locks, and none of the configuration that starts a program for the
    // commands below: the file system monitor, external diff drivers and text conversions.
    std::vector<std::string> words{"--no-pager", "--no-optional-locks", "-c", "core.fsmonitor=false",
                                   "-c",         "diff.external=",      "-c", "core.untrackedCache=false"};
    words.insert(words.end(), arguments.begin(), arguments.end());
    ProgramResult result;
    try {
        result = RunProgram("git", words, folder);
    } catch (const PlatformError& e) {
        throw GitError{std::string("git cannot be run: ") + e.what()};
    }
    if (result.status != 0) {
        std::string said = Chomped(result.err);
        if (const auto nl = said.find('\n'); nl != std::string::npos) said.resize(nl);
        throw GitError{"git " + arguments.front() + " failed" + (said.empty() ? "" : ": " + Printable(said))};
    }
    return result.out;
}

StagedIndex ReadStagedIndex() {
    StagedIndex index;
    try {
        index.top = Chomped(Git({"rev-parse", "--show-toplevel"}));
    } catch (const GitError& e) {
        throw GitError{"--staged works inside a git work tree (" + e.message + ")"};
    }
    if (index.top.empty()) throw GitError{"--staged works inside a git work tree, not in the repository's own folder"};
    // Names NUL-separated and unquoted, whatever characters they hold; deleted files have nothing to check.
    for (const std::string& name :
         SplitNul(Git({"diff", "--cached", "--name-only", "-z", "--no-renames", "--no-ext-diff", "--no-textconv", "--diff-filter=d", "--"},
                      index.top))) {
        if (IsSourceName(name)) index.staged.push_back(name);
    }
    for (const std::string& entry : SplitNul(Git({"ls-files", "-z", "--stage", "--full-name"}, index.top))) {
        // "MODE BLOB STAGE\tPATH": regular files (not links, not submodules) that are not in conflict.
        const auto tab = entry.find('\t');
        if (tab == std::string::npos || tab < 10) continue;
        const std::string head = entry.substr(0, tab);
        if ((head.rfind("100644 ", 0) != 0 && head.rfind("100755 ", 0) != 0) || head.substr(head.size() - 2) != " 0") continue;
        index.blob[entry.substr(tab + 1)] = head.substr(7, head.size() - 9);
    }
    // A staged name the index does not hold as a regular file (a link, a conflict) has no bytes to check.
    std::erase_if(index.staged, [&](const std::string& name) { return !index.blob.contains(name); });
    return index;
}

std::string BlobBytes(const std::string& top, const std::string& blob) { return Git({"cat-file", "blob", blob}, top); }

HookFolders ReadHookFolders() {
    HookFolders folders;
    try {
        folders.top = Chomped(Git({"rev-parse", "--show-toplevel"}));
    } catch (const GitError& e) {
        throw GitError{"the hook goes into a git work tree (" + e.message + ")"};
    }
    if (folders.top.empty()) throw GitError{"the hook goes into a git work tree, not the repository's own folder"};
    folders.top = Absolute(folders.top);
    folders.common = Absolute(Chomped(Git({"rev-parse", "--git-common-dir"})));
    folders.hooks = Absolute(Chomped(Git({"rev-parse", "--git-path", "hooks"})));
    return folders;
}

}  // namespace qm::cli
