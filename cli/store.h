#pragma once
// The settings store a command works with, and the names in it: a team's file, the user's own store
// or, on Windows, the add-in's key; the person's names in place of the team's.
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "addin/settings/format_model.h"
#include "addin/settings/settings_store.h"
#include "cli/common.h"
#include "cli/sources.h"
#include "platform/codepage.h"
#include "platform/sim/regfile.h"

namespace qm::cli {

// The name of a team's format file, looked for beside a source file and above it.
inline constexpr const char* kTeamFileName = ".quillmark.reg";

// The team file of the files in a folder: .quillmark.reg in that folder or the nearest one above it,
// as far as the top of the git work tree the folder lies in (a repository never takes the format of
// a folder around it), or the file system's root outside one. Empty when there is none.
std::string FindTeamFile(const std::string& folder);

// The top folder of the git work tree around a folder (its own .git, or the nearest above); empty
// outside one.
std::string GitWorkTreeOf(const std::string& folder);

// Why a file in a git work tree may not be written: a link on its way leads out of the tree (a
// repository's own files must not make the command change anything outside it). Nothing when it
// may, and outside a work tree.
std::optional<std::string> LeavesWorkTree(const std::string& path);

// Which store a command works with: the one found (--settings, $QUILLMARK_SETTINGS, the team file,
// else the user's own), or the user's own store whatever team file there is (settings --user).
enum class Scope { Found, User };

// The settings store. Read: nothing is ever written, a value the store lacks reads as the add-in's
// default. Write: as the add-in keeps it (only the settings commands). Unusable when the store cannot
// be read (a damaged file, a folder, a named file that does not exist).
class Store {
public:
    enum class Mode { Read, Write };
    // folder: where the team file is looked for (the current folder when empty).
    Store(const CommonOptions& options, Mode mode, const std::string& folder = {}, Scope scope = Scope::Found);
    ~Store();
    SettingsStore& Settings() { return *store_; }
    const Codepage& Cp() const { return *codepage_; }
    const std::string& Path() const { return path_; }
    // The store is a team's format file (named, or .quillmark.reg found above the current folder).
    bool TeamFile() const { return team_; }
    // The team file found from the folder, not one named by --settings.
    bool FoundTeamFile() const { return team_ && !named_; }
    // "the team file PATH", "your own store PATH": for the line that names the store a command changed.
    std::string Description() const;
    // The registry file the store lives in; nothing where it is the system's registry.
    RegFileRegistry* File() { return file_; }
    // Fails when a change did not reach the file; the file then holds what it held before.
    void MustBeWritten() const;
    // The format the stamps are made from: the store's, with the person's author and editor names
    // (--author, --editor; QUILLMARK_AUTHOR, QUILLMARK_EDITOR; else those of the user's own store when
    // a team file is used) in place of the team's.
    FormatModel Format(const CommonOptions& options);
    // After Format: the stamps would carry a name that is not the person's own (the team's, or the
    // add-in's placeholder "名前"), and what to say about it once.
    std::optional<std::string> AuthorPlaceholder() const { return authorPlaceholder_; }
    std::optional<std::string> EditorPlaceholder() const { return editorPlaceholder_; }

private:
    std::string path_;
    bool team_ = false;
    bool named_ = false;
    std::optional<std::string> authorPlaceholder_;
    std::optional<std::string> editorPlaceholder_;
    std::unique_ptr<Codepage> codepage_ = MakeCp932Codepage();
    std::unique_ptr<Registry> registry_;
    RegFileRegistry* file_ = nullptr;
    std::optional<SettingsStore> store_;
};

// The stores of one run's files, each read once: with --settings or $QUILLMARK_SETTINGS one for every
// file, otherwise the team file found from each file's folder, or the user's own store.
class Stores {
public:
    explicit Stores(const CommonOptions& options) : options_(options) {}
    // Reads the store and the format of every file before any file is touched: a store that cannot
    // be used ends the run (Unusable or Failure), with nothing written; the problems met so far are
    // reported first.
    void Prepare(const std::vector<Source>& files, const std::vector<std::string>& problems);
    Store& Of(const std::string& path);
    const FormatModel& FormatOf(const std::string& path);
    // Says once, when a stamp was made that carries a name that is not the person's, how to set one.
    void NamePlaceholderMet(const std::string& path, bool author, bool editor);

private:
    struct Entry {
        std::unique_ptr<Store> store;
        FormatModel model;
    };
    Entry& EntryOf(const std::string& path);
    const CommonOptions& options_;
    std::map<std::string, Entry> byStore_;    // by the store's path
    std::map<std::string, Entry*> byFolder_;  // by the folder of a file
    bool hinted_ = false;
};

// The one line that says how a person sets their own names.
std::string NameHint(const std::string& what);

std::string SettingText(const StoredSetting& setting, const Codepage& codepage);

}  // namespace qm::cli
