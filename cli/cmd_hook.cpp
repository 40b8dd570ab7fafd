// quillmark hook install: the repository's pre-commit hook, which checks what is being committed.
#include <filesystem>
#include <iostream>

#include "cli/commands.h"
#include "cli/git.h"
#include "cli/policy.h"
#include "cli/paths.h"
#include "platform/files.h"

namespace qm::cli {
namespace {

namespace fs = std::filesystem;

// The line by which the command knows a hook as its own, and may write it again.
constexpr const char* kOwnMark = "# Written by \"quillmark hook install\"";

std::string HookText() {
    return std::string("#!/bin/sh\n") + kOwnMark +
           ": the staged VB6 sources are checked with the team's\n"
           "# check policy (.quillmark-check) before every commit. \"git commit --no-verify\" passes it by.\n"
           "if ! command -v quillmark >/dev/null 2>&1; then\n"
           "    echo \"pre-commit: quillmark is not installed (or not in PATH): the commit was stopped\" >&2\n"
           "    exit 1\n"
           "fi\n"
           "exec quillmark check --staged\n";
}

bool Within(const fs::path& inner, const fs::path& outer) {
    const fs::path relative = inner.lexically_relative(outer);
    return !relative.empty() && *relative.begin() != "..";
}

}  // namespace

int CommandHook(const HookOptions& options) {
    if (options.verb != "install") throw UsageError{"hook knows one verb: install, not \"" + options.verb + "\""};
    HookFolders folders;
    try {
        folders = ReadHookFolders();
    } catch (const GitError& e) {
        std::cerr << "quillmark hook: " << Printable(e.message) << '\n';
        return 2;
    }
    const fs::path hooks = PathOf(folders.hooks);
    // core.hooksPath may point anywhere: a hook goes only into this repository.
    if (!Within(hooks, PathOf(folders.top)) && !Within(hooks, PathOf(folders.common)) && hooks != PathOf(folders.common)) {
        std::cerr << "quillmark hook: git runs the hooks of " << Printable(folders.hooks)
                  << " (core.hooksPath), outside this repository: nothing was written. Put the line \"quillmark check --staged\" "
                     "into the pre-commit hook there yourself.\n";
        return 1;
    }
    const fs::path hook = hooks / "pre-commit";
    const std::string path = Utf8Of(hook);
    std::error_code ec;
    if (fs::exists(fs::symlink_status(hook, ec))) {
        std::string old;
        try {
            old = fs::is_symlink(fs::symlink_status(hook, ec)) ? std::string() : ReadWholeFile(path);
        } catch (const PlatformError&) {
        }
        if (old.find(kOwnMark) == std::string::npos) {
            std::cerr << "quillmark hook: " << Printable(path)
                      << " is a hook quillmark did not write: it was left as it is. Add the line \"quillmark check --staged\" "
                         "to it, or move it away and install again.\n";
            return 1;
        }
    }
    try {
        fs::create_directories(hooks);
        WriteFileAtomically(path, HookText());
        fs::permissions(hook, fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec, fs::perm_options::add);
    } catch (const PlatformError& e) {
        std::cerr << "quillmark hook: " << Printable(path) << ": cannot write: " << Printable(e.what()) << '\n';
        return 1;
    } catch (const fs::filesystem_error& e) {
        std::cerr << "quillmark hook: " << Printable(path) << ": cannot write: " << Printable(e.what()) << '\n';
        return 1;
    }
    std::cout << "quillmark hook: " << Printable(PathFrom("", path)) << " runs \"quillmark check --staged\" before every commit\n";
    return 0;
}

}  // namespace qm::cli
