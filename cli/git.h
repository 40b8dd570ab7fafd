#pragma once
// What the command asks git: the staged VB6 sources and their bytes in the index, and the folder of
// the repository's hooks. git runs without a shell and with the settings that would let a
// repository's configuration start programs switched off.
#include <map>
#include <string>
#include <vector>

namespace qm::cli {

// git could not answer (not installed, not a repository): the message says why. Status 2.
struct GitError {
    std::string message;
};

// git's standard output for the arguments, run in folder; GitError when git fails.
std::string Git(const std::vector<std::string>& arguments, const std::string& folder = "");

// The index of the work tree around the current folder.
struct StagedIndex {
    std::string top;                          // the work tree's root, as git names it
    std::vector<std::string> staged;          // the VB6 sources the next commit adds or changes, from top
    std::map<std::string, std::string> blob;  // every regular file of the index, from top: its blob
};
StagedIndex ReadStagedIndex();
// The bytes of a blob of the index.
std::string BlobBytes(const std::string& top, const std::string& blob);

// The work tree's root, the folder git keeps the repository in (shared by all worktrees), and the
// folder of the hooks git runs (core.hooksPath when set); absolute.
struct HookFolders {
    std::string top;
    std::string common;
    std::string hooks;
};
HookFolders ReadHookFolders();

}  // namespace qm::cli
