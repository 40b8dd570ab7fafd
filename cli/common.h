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
#include "platform/files.h"
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
    // The registry file the store lives in; nothing where it is the system's registry.
    RegFileRegistry* File() { return file_; }
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

// A VB6 source file to work on, and where it was reached from: the folder of the FILE argument or
// of the project that lists it, and the name given there. A link met on the way from that folder may
// not lead the command to write outside it (or, inside a git work tree, outside that tree).
struct Source {
    std::string path;
    std::string folder;    // "" for the current folder
    std::string relative;  // path, as seen from folder
};

// The VB6 source files the arguments name: files as they are, projects (.vbp) as the modules they
// list. What cannot be taken is reported in problems, and the rest is still done. A name that holds
// a control character is refused: it would break a stamp line or an output line.
std::vector<Source> ExpandSources(const std::vector<std::string>& arguments, std::vector<std::string>& problems);

// Why the command may not write this file; nothing when it may: the file must be a VB6 source by its
// own name and by the name of what a link makes of it, and a link on the way from where it was
// reached must not lead out of that folder's tree (nor, inside a git work tree, out of the tree).
std::optional<std::string> WriteRefusal(const Source& source);

// How a changed file goes out: printed whole (one file only), written, or shown as a unified diff.
enum class Output { Print, Write, Diff };
Output OutputOf(bool write, bool diff, std::size_t files);

// The files of one command, one after the other. With --write, Ctrl-C and SIGTERM (and closing the
// console on Windows) let the file being written end old or new and stop the pass before the next
// one; the pass then says what it changed and what it did not reach, and the command ends with 130.
class Pass {
public:
    explicit Pass(Output output);
    ~Pass();
    Pass(const Pass&) = delete;
    Pass& operator=(const Pass&) = delete;
    bool Interrupted() const;
    // Prints, shows or writes the file; a write checks first that the file is still the one read.
    void Emit(const Source& source, const std::string& before, const FileStamp& stamp, const SourceFile& file);
    // The account of an interrupted pass, on standard error, from files[next] on; the exit status.
    int Stopped(const std::vector<Source>& files, std::size_t next) const;

private:
    Output output_;
    int changed_ = 0;
};

// The file read once and decoded; failures name the file. before and stamp, when given, receive the
// bytes and the state of the file as they were, for the difference shown or the write checked.
SourceFile LoadSource(const std::string& path, const CommonOptions& options, const Codepage& codepage, std::string* before = nullptr,
                      FileStamp* stamp = nullptr);

// A name or message as it may stand in one output line: control characters shown as escapes.
std::string Printable(const std::string& utf8);
// Every problem, one line each on standard error.
void ReportProblems(const std::vector<std::string>& problems);

// A unified diff of two texts (UTF-8), with three lines of context; empty when they are the same.
std::string UnifiedDiff(const std::string& path, const std::string& before, const std::string& after);

std::string SettingText(const StoredSetting& setting, const Codepage& codepage);

}  // namespace qm::cli
