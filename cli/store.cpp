#include "cli/store.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "addin/settings/format_rules.h"
#include "cli/paths.h"
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

// The name the add-in's initial format writes into every edit-record stamp: a placeholder.
constexpr char16_t kPlaceholderName[] = u"名前";

// Something of that name is there: a file, a folder, even a link that leads nowhere (which is then
// reported when it is read, rather than passed over).
bool Present(const fs::path& path) {
    std::error_code ec;
    const auto type = fs::symlink_status(path, ec).type();
    return !ec && type != fs::file_type::not_found && type != fs::file_type::none;
}

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

namespace {
// The folder made absolute, without "." and ".." and a final "/"; empty when it cannot be.
fs::path AbsoluteFolder(const std::string& start) {
    std::error_code ec;
    fs::path folder = start.empty() ? fs::current_path(ec) : fs::absolute(PathOf(start), ec);
    if (ec) return {};
    folder = folder.lexically_normal();
    if (!folder.has_filename() && folder.has_parent_path() && folder.parent_path() != folder) folder = folder.parent_path();
    return folder;
}
}  // namespace

std::string GitWorkTreeOf(const std::string& start) {
    const fs::path folder = AbsoluteFolder(start);
    if (folder.empty()) return {};
    const auto top = SearchUpward(folder, [](const fs::path& f) { return Present(f / ".git"); });
    return top ? Utf8Of(*top) : std::string();
}

std::optional<std::string> LeavesWorkTree(const std::string& path) {
    std::error_code ec;
    const fs::path file = fs::absolute(PathOf(path), ec);
    if (ec) return std::nullopt;
    const std::string top = GitWorkTreeOf(Utf8Of(file.parent_path()));
    if (top.empty()) return std::nullopt;
    const fs::path target = fs::weakly_canonical(file, ec);
    if (ec) return "where its links lead cannot be told: not written";
    const fs::path tree = fs::weakly_canonical(PathOf(top), ec);
    const fs::path relative = target.lexically_relative(tree);
    if (!ec && !relative.empty() && *relative.begin() != "..") return std::nullopt;
    return "a link leads out of the repository, to " + Utf8Of(target) + ": not written";
}

std::string FindTeamFile(const std::string& start) {
    const fs::path folder = AbsoluteFolder(start);
    if (folder.empty()) return {};
    // The search ends at the top of a git work tree (a .git folder, or the .git file of a submodule
    // or worktree).
    const auto found = SearchUpward(folder, [](const fs::path& f) { return Present(f / kTeamFileName) || Present(f / ".git"); });
    if (!found || !Present(*found / kTeamFileName)) return {};
    return Utf8Of(*found / kTeamFileName);
}

Store::Store(const CommonOptions& options, Mode mode, const std::string& folder, Scope scope) {
    bool mustExist = false;
    if (scope == Scope::User) {
        path_ = UserStorePath();
    } else if (!options.settings.empty()) {
        path_ = options.settings;
        team_ = true;
        named_ = true;
        mustExist = true;
    } else if (!Env("QUILLMARK_SETTINGS").empty()) {
        path_ = Env("QUILLMARK_SETTINGS");
    } else if (const std::string team = FindTeamFile(folder); !team.empty()) {
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
    if (mustExist && !Present(PathOf(path_))) {
        throw Unusable{path_ +
                       ": no such settings file (a named or team settings file is never created here; make one with "
                       "\"quillmark settings init FILE\")"};
    }
    if (mode == Mode::Write && team_ && !named_) {
        if (const auto why = LeavesWorkTree(path_)) throw Unusable{path_ + ": " + *why};
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
        throw Unusable{path_ + ":" + std::to_string(e.Line()) + ": " + e.what() + " (the file is left as it is; nothing was written)"};
    } catch (const PlatformError& e) {
        throw Unusable{path_ + ": cannot be read as a settings file: " + e.what() + " (nothing was written)"};
    }
    store_.emplace(*registry_, *codepage_);
}

std::string Store::Description() const {
    if (named_) return "the settings file " + path_;
    if (team_) return "the team file " + path_;
    return "your own store " + path_;
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
    const bool authorGiven = author.has_value();
    const bool editorGiven = editor.has_value();
    bool ownAuthor = false;
    bool ownEditor = false;
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
                    if (!editor && store.PeekSetting(u"EditStamp")) {
                        editor = mine.EditorName;
                        ownEditor = true;
                    }
                    for (std::size_t r = 0; !author && r < mine.ItemList.size(); ++r) {
                        if (mine.ItemList[r].kind == kind::kAuthor && store.PeekSetting(u"SelectDatas")) {
                            author = mine.ItemAttributes[r].AttrText;
                            ownAuthor = true;
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
    // A name that came from the format rather than from the person: the team's, the add-in's
    // placeholder, or none at all. One the person stored or gave as it is counts as theirs.
    const auto notTheirs = [&](const std::u16string& name, bool own) {
        return (team_ && !own) || name.empty() || name == kPlaceholderName;
    };
    authorPlaceholder_.reset();
    editorPlaceholder_.reset();
    if (!editorGiven && notTheirs(model.EditorName, ownEditor)) editorPlaceholder_ = Utf16ToUtf8(model.EditorName);
    for (const int row : model.DisplayOrder) {
        const auto r = static_cast<std::size_t>(row);
        if (authorGiven || r >= model.ItemList.size() || model.ItemList[r].kind != kind::kAuthor) continue;
        if (notTheirs(model.ItemAttributes[r].AttrText, ownAuthor)) authorPlaceholder_ = Utf16ToUtf8(model.ItemAttributes[r].AttrText);
        break;
    }
    return model;
}

std::string NameHint(const std::string& what) {
    return "the stamps carry " + what +
           ", not a name of your own: give --author NAME and --editor NAME, or set QUILLMARK_AUTHOR and QUILLMARK_EDITOR in your "
           "shell's profile";
}

Stores::Entry& Stores::EntryOf(const std::string& path) {
    std::string folder = Utf8Of(PathOf(path).parent_path());
    if (const auto it = byFolder_.find(folder); it != byFolder_.end()) return *it->second;
    // One store for every file when it is named; otherwise the team file of the file's folder.
    std::string key;
    if (!options_.settings.empty()) {
        key = "--settings";
    } else if (!Env("QUILLMARK_SETTINGS").empty()) {
        key = "$QUILLMARK_SETTINGS";
    } else {
        key = FindTeamFile(folder);
    }
    auto found = byStore_.find(key);
    if (found == byStore_.end()) {
        Entry entry;
        entry.store = std::make_unique<Store>(options_, Store::Mode::Read, folder);
        entry.model = entry.store->Format(options_);
        std::string author = "no author item";
        for (const int row : entry.model.DisplayOrder) {
            const auto r = static_cast<std::size_t>(row);
            if (r < entry.model.ItemList.size() && entry.model.ItemList[r].kind == kind::kAuthor) {
                author = "author \"" + Utf16ToUtf8(entry.model.ItemAttributes[r].AttrText) + "\"";
                break;
            }
        }
        Detail(options_,
               "format of " + entry.store->Description() + ": " + author + ", editor \"" + Utf16ToUtf8(entry.model.EditorName) + "\"");
        found = byStore_.emplace(key, std::move(entry)).first;
    }
    byFolder_[folder] = &found->second;
    return found->second;
}

void Stores::Prepare(const std::vector<Source>& files, const std::vector<std::string>& problems) {
    try {
        for (const Source& source : files) {
            const Entry& entry = EntryOf(source.path);
            Detail(options_, source.path + ": " + entry.store->Description());
        }
    } catch (...) {
        ReportProblems(problems);
        throw;
    }
}

Store& Stores::Of(const std::string& path) { return *EntryOf(path).store; }

const FormatModel& Stores::FormatOf(const std::string& path) { return EntryOf(path).model; }

void Stores::NamePlaceholderMet(const std::string& path, bool author, bool editor) {
    if (hinted_) return;
    const Store& store = *EntryOf(path).store;
    if (author && store.AuthorPlaceholder()) {
        Note(options_, NameHint("the format's author \"" + *store.AuthorPlaceholder() + "\""));
        hinted_ = true;
    } else if (editor && store.EditorPlaceholder()) {
        Note(options_, NameHint("the format's editor \"" + *store.EditorPlaceholder() + "\""));
        hinted_ = true;
    }
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
