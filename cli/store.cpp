#include "cli/store.h"

#include <cstdlib>
#include <filesystem>

#include "addin/settings/format_rules.h"
#include "platform/bytes.h"
#include "platform/failure.h"
#include "platform/files.h"
#include "platform/sim/registry_memory.h"
#include "platform/text.h"

#ifdef _WIN32
#include "platform/win32/registry_win32.h"
#include "platform/win32/wide.h"
#endif

namespace qm::cli {

namespace fs = std::filesystem;

namespace {

constexpr const char* kTeamFileName = ".quillmark.reg";

// A name from an option or the environment, refused (status 2) when it would break a stamp line.
std::u16string PersonalName(const std::string& utf8, const char* where) {
    std::u16string text = Utf8ToUtf16(utf8);
    if (const auto refusal = LineBreakerRefusal(Utf8ToUtf16(where), text)) throw UsageError{Utf16ToUtf8(*refusal)};
    return text;
}

// A stored format whose texts would put a line of their own into the code is not used (status 1).
void MustBeStampable(const FormatModel& model, const std::string& path) {
    const auto refusals = LineBreakersInFormat(model);
    if (refusals.empty()) return;
    throw Failure{path + ": " + Utf16ToUtf8(refusals.front()) +
                  " (the store is left as it is; mend the value with \"quillmark settings set\")"};
}

std::string Env(const char* name) {
#ifdef _WIN32
    // The environment of Windows is UTF-16; getenv would hand over the ANSI code page's bytes.
    const std::wstring wide(name, name + std::char_traits<char>::length(name));
    const wchar_t* value = _wgetenv(wide.c_str());
    return value == nullptr ? std::string() : Utf16ToUtf8(win32::FromWide(value));
#else
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
#endif
}

// .quillmark.reg in the current folder or the nearest folder above it.
std::string FindTeamFile() {
    std::error_code ec;
    fs::path folder = fs::current_path(ec);
    if (ec) return {};
    while (true) {
        const fs::path candidate = folder / kTeamFileName;
        if (fs::exists(candidate, ec)) return candidate.string();
        if (!folder.has_parent_path() || folder.parent_path() == folder) return {};
        folder = folder.parent_path();
    }
}

// The user's own store; empty on Windows, where it is the add-in's own registry key.
std::string UserStorePath() {
    if (std::string env = Env("QUILLMARK_SETTINGS"); !env.empty()) return env;
#ifdef _WIN32
    return {};
#else
    if (const std::string xdg = Env("XDG_CONFIG_HOME"); !xdg.empty()) return xdg + "/quillmark/settings.reg";
    if (const std::string home = Env("HOME"); !home.empty()) return home + "/.config/quillmark/settings.reg";
    throw Failure{"no settings store: give --settings PATH or set QUILLMARK_SETTINGS"};
#endif
}

#ifdef _WIN32
// A copy of the add-in's key of another registry, so that reading it writes nothing.
std::unique_ptr<MemoryRegistry> Snapshot(Registry& from) {
    auto copy = std::make_unique<MemoryRegistry>();
    RegKey key = 0;
    if (from.OpenKey(Hive::CurrentUser, kSettingsKey, &key) != RegStatus::Success) return copy;
    RegKey target = 0;
    copy->CreateKey(Hive::CurrentUser, kSettingsKey, &target);
    for (const RegValue& v : ReadAllValues(from, key)) {
        copy->SetValue(target, v.name, v.type, reinterpret_cast<const std::uint8_t*>(v.data.data()),
                       static_cast<std::uint32_t>(v.data.size()));
    }
    copy->CloseKey(target);
    from.CloseKey(key);
    return copy;
}
#endif

}  // namespace

Store::Store(const CommonOptions& options, Mode mode) {
    bool mustExist = false;
    if (!options.settings.empty()) {
        path_ = options.settings;
        team_ = true;
        mustExist = true;
    } else if (!Env("QUILLMARK_SETTINGS").empty()) {
        path_ = Env("QUILLMARK_SETTINGS");
    } else if (const std::string team = FindTeamFile(); !team.empty()) {
        path_ = team;
        team_ = true;
        mustExist = true;
    } else {
        path_ = UserStorePath();
    }
#ifdef _WIN32
    if (path_.empty()) {
        path_ = "HKEY_CURRENT_USER\\" + Utf16ToUtf8(kSettingsKey);
        auto system = std::make_unique<Win32Registry>(*codepage_);
        if (mode == Mode::Read) {
            registry_ = Snapshot(*system);
        } else {
            registry_ = std::move(system);
        }
        store_.emplace(*registry_, *codepage_);
        return;
    }
#endif
    if (mustExist && !FileExists(path_)) {
        throw Failure{path_ +
                      ": no such settings file (a named or team settings file is never created; make one with "
                      "\"quillmark settings export FILE\")"};
    }
    try {
        if (mode == Mode::Read && !FileExists(path_)) {
            registry_ = std::make_unique<MemoryRegistry>();
        } else {
            auto file = std::make_unique<RegFileRegistry>(path_, *codepage_, mode == Mode::Read);
            file_ = file.get();
            registry_ = std::move(file);
        }
    } catch (const RegFileError& e) {
        throw Failure{path_ + ":" + std::to_string(e.Line()) + ": " + e.what() + " (the file is left as it is)"};
    } catch (const PlatformError& e) {
        throw Failure{path_ + ": " + e.what()};
    }
    store_.emplace(*registry_, *codepage_);
}

Store::~Store() = default;

void Store::MustBeWritten() const {
    if (file_ != nullptr && !file_->WriteError().empty()) {
        throw Failure{path_ + ": the settings could not be written: " + file_->WriteError() + " (the file is left as it was)"};
    }
}

FormatModel Store::Format(const CommonOptions& options) {
    std::optional<std::u16string> author;
    std::optional<std::u16string> editor;
    if (!options.author.empty()) author = PersonalName(options.author, "--author");
    if (!options.editor.empty()) editor = PersonalName(options.editor, "--editor");
    if (!author && !Env("QUILLMARK_AUTHOR").empty()) author = PersonalName(Env("QUILLMARK_AUTHOR"), "QUILLMARK_AUTHOR");
    if (!editor && !Env("QUILLMARK_EDITOR").empty()) editor = PersonalName(Env("QUILLMARK_EDITOR"), "QUILLMARK_EDITOR");
    FormatModel model = LoadFormatModel(*store_);
    MustBeStampable(model, path_);
    if (team_ && (!author || !editor)) {
        // The person's own store, where it exists, holds their names.
        try {
            CommonOptions own;
            std::string ownPath;
            try {
                ownPath = UserStorePath();
            } catch (const Failure&) {
            }
            if (!ownPath.empty() && FileExists(ownPath) && ownPath != path_) {
                RegFileRegistry registry(ownPath, *codepage_, true);
                SettingsStore store(registry, *codepage_);
                if (store.KeyExists()) {
                    const FormatModel mine = LoadFormatModel(store);
                    MustBeStampable(mine, ownPath);
                    if (!editor && store.PeekSetting(u"EditStamp")) editor = mine.EditorName;
                    for (std::size_t r = 0; !author && r < mine.ItemList.size(); ++r) {
                        if (mine.ItemList[r].kind == kind::kAuthor && store.PeekSetting(u"SelectDatas")) {
                            author = mine.ItemAttributes[r].AttrText;
                        }
                    }
                }
            }
        } catch (const std::exception&) {
            // An unreadable personal store leaves the team's values.
        }
    }
    if (editor) model.EditorName = *editor;
    if (author) {
        for (std::size_t r = 0; r < model.ItemList.size() && r < kMaxItemRows; ++r) {
            if (model.ItemList[r].kind == kind::kAuthor) model.ItemAttributes[r].AttrText = *author;
        }
    }
    return model;
}

std::string SettingText(const StoredSetting& setting, const Codepage& codepage) {
    if (setting.type == regtype::Dword && setting.data.size() == 4) {
        return std::to_string(static_cast<std::int32_t>(UnpackLe32(setting.data)));
    }
    std::string data = setting.data;
    if (const auto nul = data.find('\0'); nul != std::string::npos) data.resize(nul);
    return Utf16ToUtf8(codepage.FromAnsi(data));
}

}  // namespace qm::cli
