#pragma once
// What the commands of quillmark share: their options, the settings store, the files and projects
// they are given, and how a changed file goes out (printed, written or shown as a difference).
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "addin/settings/format_model.h"
#include "addin/settings/settings_store.h"
#include "cli/source_file.h"
#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/regfile.h"

namespace qm::cli {

// Wrong usage: exit status 2.
struct UsageError {
    std::string message;
};
// A failure: exit status 1.
struct Failure {
    std::string message;
};

struct CommonOptions {
    std::string settings;  // --settings
    std::string now;       // --now
    std::string encoding = "cp932";
    std::string author;  // --author
    std::string editor;  // --editor
};

LocalDateTime Now(const CommonOptions& options);
Encoding FileEncoding(const CommonOptions& options);

// The settings store. Read: nothing is ever written, a value the store lacks reads as the add-in's
// default. Write: as the add-in keeps it (only the settings commands).
class Store {
public:
    enum class Mode { Read, Write };
    Store(const CommonOptions& options, Mode mode);
    ~Store();
    SettingsStore& Settings() { return *store_; }
    const Codepage& Cp() const { return *codepage_; }
    const std::string& Path() const { return path_; }
    // The store is a team's format file (named, or .quillmark.reg found above the current folder).
    bool TeamFile() const { return team_; }
    // Fails when a change did not reach the file; the file then holds what it held before.
    void MustBeWritten() const;
    // The format the stamps are made from: the store's, with the person's author and editor names
    // (--author, --editor; QUILLMARK_AUTHOR, QUILLMARK_EDITOR; else those of the user's own store when
    // a team file is used) in place of the team's.
    FormatModel Format(const CommonOptions& options);

private:
    std::string path_;
    bool team_ = false;
    std::unique_ptr<Codepage> codepage_ = MakeCp932Codepage();
    std::unique_ptr<Registry> registry_;
    RegFileRegistry* file_ = nullptr;
    std::optional<SettingsStore> store_;
};

// The VB6 source files the arguments name: files as they are, projects (.vbp) as the modules they
// list. What cannot be taken is reported in problems, and the rest is still done.
std::vector<std::string> ExpandSources(const std::vector<std::string>& arguments, std::vector<std::string>& problems);

// How a changed file goes out: printed whole (one file only), written, or shown as a unified diff.
enum class Output { Print, Write, Diff };
Output OutputOf(bool write, bool diff, std::size_t files);
void Emit(const std::string& path, const std::string& before, const SourceFile& file, Output output);

// The file read once and decoded; failures name the file. before, when given, receives the bytes as
// they were, for the difference shown or the write skipped.
SourceFile LoadSource(const std::string& path, const CommonOptions& options, const Codepage& codepage, std::string* before = nullptr);

// A unified diff of two texts (UTF-8), with three lines of context; empty when they are the same.
std::string UnifiedDiff(const std::string& path, const std::string& before, const std::string& after);

std::string SettingText(const StoredSetting& setting, const Codepage& codepage);

}  // namespace qm::cli
