#pragma once
// The settings store a command works with, and the names in it: a team's file, the user's own store
// or, on Windows, the add-in's key; the person's names in place of the team's.
#include <memory>
#include <optional>
#include <string>

#include "addin/settings/format_model.h"
#include "addin/settings/settings_store.h"
#include "cli/common.h"
#include "platform/codepage.h"
#include "platform/sim/regfile.h"

namespace qm::cli {

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

std::string SettingText(const StoredSetting& setting, const Codepage& codepage);

}  // namespace qm::cli
