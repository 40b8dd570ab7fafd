#include "cli/common.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "addin/settings/format_rules.h"
#include "platform/bytes.h"
#include "platform/failure.h"
#include "platform/files.h"
#include "platform/registry_memory.h"
#include "platform/text.h"

#ifdef _WIN32
#include <windows.h>

#include "platform/win32/registry_win32.h"
#endif

namespace qm::cli {

namespace fs = std::filesystem;

namespace {

constexpr const char* kTeamFileName = ".quillmark.reg";

// Paths are UTF-8 everywhere in the program.
fs::path PathOf(const std::string& utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }
std::string Utf8Of(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

bool IsSourceName(const std::string& path) {
    static const char* const kExtensions[] = {".bas", ".cls", ".frm", ".ctl", ".pag", ".dob", ".dsr"};
    std::string e = Utf8Of(PathOf(path).extension());
    for (char& c : e) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return std::any_of(std::begin(kExtensions), std::end(kExtensions), [&](const char* x) { return e == x; });
}

// A name from an option or the environment, refused (status 2) when it would break a stamp line.
std::u16string PersonalName(const std::string& utf8, const char* where) {
    const std::u16string text = Utf8ToUtf16(utf8);
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
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
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

LocalDateTime Now(const CommonOptions& options) {
    if (options.now.empty()) return SystemClock().Now();
    const auto parsed = ParseDateTime(options.now);
    if (!parsed) throw UsageError{"--now needs a date and time as \"YYYY-MM-DD HH:MM:SS\", not \"" + options.now + "\""};
    return *parsed;
}

Encoding FileEncoding(const CommonOptions& options) {
    std::string name;
    for (const char c : options.encoding) name.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    if (name == "cp932" || name == "shift_jis" || name == "sjis") return Encoding::Cp932;
    if (name == "utf-8" || name == "utf8") return Encoding::Utf8;
    throw UsageError{"--encoding must be cp932 or utf-8, not \"" + options.encoding + "\""};
}

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

std::vector<Source> ExpandSources(const std::vector<std::string>& arguments, std::vector<std::string>& problems) {
    static const char* const kMembers[] = {"Module", "Class", "Form", "UserControl", "PropertyPage", "UserDocument", "Designer"};
    const auto extension = [](const std::string& path) {
        std::string e = Utf8Of(PathOf(path).extension());
        for (char& c : e) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return e;
    };
    const auto breaks = [](const std::string& name) { return FindLineBreaker(Utf8ToUtf16(name)) != std::u16string::npos; };
    constexpr const char* kControl = ": a name with a control character is left alone (it would break a stamp line or an output line)";
    std::vector<Source> files;
    for (const std::string& argument : arguments) {
        if (argument == "-") throw UsageError{"\"-\" is not a file name: give the files themselves"};
        if (breaks(argument)) {
            problems.push_back(Printable(argument) + kControl);
            continue;
        }
        if (extension(argument) != ".vbp") {
            if (IsSourceName(argument)) {
                const fs::path p = PathOf(argument);
                files.push_back({argument, Utf8Of(p.parent_path()), Utf8Of(p.filename())});
            } else {
                problems.push_back(argument + ": not a VB6 source file (.bas .cls .frm .ctl .pag .dob .dsr); left alone");
            }
            continue;
        }
        std::string bytes;
        try {
            bytes = ReadWholeFile(argument);
        } catch (const PlatformError& e) {
            problems.push_back(argument + ": cannot read: " + e.what());
            continue;
        }
        auto codepage = MakeCp932Codepage();
        const fs::path folder = PathOf(argument).parent_path();
        std::size_t start = 0;
        while (start < bytes.size()) {
            auto end = bytes.find('\n', start);
            if (end == std::string::npos) end = bytes.size();
            std::string line = Utf16ToUtf8(codepage->FromAnsi(std::string_view(bytes).substr(start, end - start)));
            start = end + 1;
            if (!line.empty() && line.back() == '\r') line.pop_back();
            const auto equals = line.find('=');
            if (equals == std::string::npos) continue;
            const std::string key = line.substr(0, equals);
            if (std::find(std::begin(kMembers), std::end(kMembers), key) == std::end(kMembers)) continue;
            // "Module=Name; path" and "Class=Name; path" name the module first.
            std::string member = line.substr(equals + 1);
            if (const auto semicolon = member.find(';'); semicolon != std::string::npos) member = member.substr(semicolon + 1);
            while (!member.empty() && (member.front() == ' ' || member.front() == '\t')) member.erase(0, 1);
            while (!member.empty() && (member.back() == ' ' || member.back() == '\t')) member.pop_back();
            std::replace(member.begin(), member.end(), '\\', '/');
            if (member.empty()) continue;
            if (breaks(member)) {
                problems.push_back(argument + ": names " + Printable(member) + kControl);
                continue;
            }
            const std::string path = Utf8Of(folder / PathOf(member));
            if (!FileExists(path)) {
                problems.push_back(argument + ": names " + member + ", which does not exist");
            } else if (IsSourceName(path)) {
                files.push_back({path, Utf8Of(folder), member});
            }
        }
    }
    // A module that several projects share is one module.
    std::vector<Source> once;
    std::vector<fs::path> seen;
    for (const Source& file : files) {
        std::error_code ec;
        const fs::path canonical = fs::weakly_canonical(PathOf(file.path), ec);
        if (std::find(seen.begin(), seen.end(), canonical) != seen.end()) continue;
        seen.push_back(canonical);
        once.push_back(file);
    }
    return once;
}

namespace {

// inner lies in outer's tree; both without links.
bool Within(const fs::path& inner, const fs::path& outer) {
    const fs::path relative = inner.lexically_relative(outer);
    return !relative.empty() && *relative.begin() != "..";
}

// The work tree of git around a folder (without links), if there is one.
std::optional<fs::path> GitWorkTree(fs::path folder) {
    std::error_code ec;
    while (true) {
        if (fs::exists(folder / ".git", ec)) return folder;
        if (!folder.has_parent_path() || folder.parent_path() == folder) return std::nullopt;
        folder = folder.parent_path();
    }
}

// Whether a link (or a junction) is met on the way from the folder through the parts of relative.
bool LinkOnTheWay(const fs::path& folder, const fs::path& relative) {
    std::error_code ec;
    fs::path real = folder;
    for (const fs::path& part : relative) {
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            real = real.parent_path();
            continue;
        }
        const fs::path next = real / part;
        const fs::path resolved = fs::weakly_canonical(next, ec);
        if (ec || resolved != next) return true;
        real = resolved;
    }
    return false;
}

}  // namespace

std::optional<std::string> WriteRefusal(const Source& source) {
    std::error_code ec;
    const fs::path target = fs::weakly_canonical(PathOf(source.path), ec);
    if (ec) return std::nullopt;  // the write itself says what is wrong
    if (!IsSourceName(Utf8Of(target))) {
        return "it leads to " + Printable(Utf8Of(target)) + ", which is not a VB6 source file: not written";
    }
    const fs::path folder = fs::weakly_canonical(source.folder.empty() ? fs::current_path(ec) : PathOf(source.folder), ec);
    if (ec) return std::nullopt;
    if (!LinkOnTheWay(folder, PathOf(source.relative)) || Within(target, folder)) return std::nullopt;
    if (const auto tree = GitWorkTree(folder); tree && Within(target, *tree)) return std::nullopt;
    return "a link leads out of the project, to " + Printable(Utf8Of(target)) + ": not written";
}

Output OutputOf(bool write, bool diff, std::size_t files) {
    if (diff) return Output::Diff;
    if (write) return Output::Write;
    if (files > 1) throw UsageError{"the result of several files cannot be printed: give --write or --diff"};
    return Output::Print;
}

namespace {

volatile std::sig_atomic_t interrupted = 0;

#ifdef _WIN32
std::atomic<bool> passOver{false};

BOOL WINAPI OnConsoleEvent(DWORD event) {
    interrupted = 1;
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
        // The process ends when this returns: the write under way and the account come first (the
        // system waits five seconds at most).
        for (int i = 0; i < 450 && !passOver; ++i) Sleep(10);
    }
    return TRUE;
}
#else
struct sigaction previousInt {};
struct sigaction previousTerm {};

void OnSignal(int) { interrupted = 1; }
#endif

}  // namespace

Pass::Pass(Output output) : output_(output) {
    if (output_ != Output::Write) return;
    interrupted = 0;
#ifdef _WIN32
    passOver = false;
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
#else
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &previousInt);
    sigaction(SIGTERM, &action, &previousTerm);
#endif
}

Pass::~Pass() {
    if (output_ != Output::Write) return;
#ifdef _WIN32
    passOver = true;
    SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
#else
    sigaction(SIGINT, &previousInt, nullptr);
    sigaction(SIGTERM, &previousTerm, nullptr);
#endif
}

bool Pass::Interrupted() const { return output_ == Output::Write && interrupted != 0; }

void Pass::Emit(const Source& source, const std::string& before, const FileStamp& stamp, const SourceFile& file) {
    const std::string after = file.Render();
    switch (output_) {
        case Output::Print:
            std::fwrite(after.data(), 1, after.size(), stdout);
            std::fflush(stdout);
            return;
        case Output::Diff: {
            const std::string diff = UnifiedDiff(Printable(source.path), file.AsUtf8(before), file.AsUtf8(after));
            std::fwrite(diff.data(), 1, diff.size(), stdout);
            std::fflush(stdout);
            return;
        }
        case Output::Write: {
            if (after == before) return;
            if (const auto refusal = WriteRefusal(source)) throw Failure{source.path + ": " + *refusal};
            const AsRead asRead{stamp, before};
            try {
                WriteFileAtomically(source.path, after, &asRead);
            } catch (const FileChangedError& e) {
                throw Failure{source.path + ": " + e.what()};
            } catch (const PlatformError& e) {
                throw Failure{source.path + ": cannot write: " + e.what()};
            }
            ++changed_;
            return;
        }
    }
}

int Pass::Stopped(const std::vector<Source>& files, std::size_t next) const {
    std::cerr << "quillmark: interrupted: " << changed_ << (changed_ == 1 ? " file" : " files") << " changed, " << files.size() - next
              << " not reached" << (next < files.size() ? ":" : "") << '\n';
    for (std::size_t i = next; i < files.size(); ++i) std::cerr << "  " << Printable(files[i].path) << '\n';
    std::cerr.flush();
    return 130;
}

SourceFile LoadSource(const std::string& path, const CommonOptions& options, const Codepage& codepage, std::string* before,
                      FileStamp* stamp) {
    std::string bytes;
    try {
        bytes = ReadWholeFile(path, stamp);
    } catch (const PlatformError& e) {
        throw Failure{path + ": cannot read: " + e.what()};
    }
    if (before != nullptr) *before = bytes;
    try {
        return SourceFile(std::move(bytes), FileEncoding(options), codepage);
    } catch (const SourceError& e) {
        throw Failure{path + ": " + e.what() + " (use --encoding to read it otherwise)"};
    }
}

namespace {

std::vector<std::string> SplitKeepingEnds(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        auto end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        lines.push_back(text.substr(start, end - start));
        start = end;
    }
    return lines;
}

// The shortest edit script of Myers' algorithm, as a list of (kind, line): ' ' kept, '-' removed,
// '+' added. Work grows with the size of the change, not with the product of the lengths.
std::vector<std::pair<char, std::size_t>> EditScript(const std::vector<std::string>& a, const std::vector<std::string>& b) {
    const auto n = static_cast<long>(a.size());
    const auto m = static_cast<long>(b.size());
    const long max = n + m;
    std::vector<long> v(static_cast<std::size_t>(2 * max + 2), 0);
    std::vector<std::vector<long>> trace;
    const auto at = [&](long k) -> long& { return v[static_cast<std::size_t>(k + max + 1)]; };
    long d = 0;
    for (; d <= max; ++d) {
        // Only the diagonals -d-1 .. d+1 matter to the way back: a band, not the whole array, so that
        // memory grows with the size of the change.
        trace.emplace_back(v.begin() + (max + 1 - d - 1 < 0 ? 0 : max + 1 - d - 1),
                           v.begin() + std::min<long>(static_cast<long>(v.size()), max + 1 + d + 2));
        bool done = false;
        for (long k = -d; k <= d; k += 2) {
            long x = (k == -d || (k != d && at(k - 1) < at(k + 1))) ? at(k + 1) : at(k - 1) + 1;
            long y = x - k;
            while (x < n && y < m && a[static_cast<std::size_t>(x)] == b[static_cast<std::size_t>(y)]) {
                ++x;
                ++y;
            }
            at(k) = x;
            if (x >= n && y >= m) {
                done = true;
                break;
            }
        }
        if (done) break;
    }
    std::vector<std::pair<char, std::size_t>> script;
    long x = n;
    long y = m;
    for (long step = d; step > 0; --step) {
        // The furthest points as they stood before this round.
        const auto& w = trace[static_cast<std::size_t>(step)];
        const long base = std::max<long>(0, max + 1 - step - 1);  // where the band starts in the array
        const auto was = [&](long k) { return w[static_cast<std::size_t>(k + max + 1 - base)]; };
        const long k = x - y;
        const long previous = (k == -step || (k != step && was(k - 1) < was(k + 1))) ? k + 1 : k - 1;
        const long startX = was(previous);
        const long startY = startX - previous;
        while (x > startX && y > startY) {
            --x;
            --y;
            script.emplace_back(' ', static_cast<std::size_t>(x));
        }
        if (x == startX) {
            --y;
            script.emplace_back('+', static_cast<std::size_t>(y));
        } else {
            --x;
            script.emplace_back('-', static_cast<std::size_t>(x));
        }
    }
    while (x > 0 && y > 0) {
        --x;
        --y;
        script.emplace_back(' ', static_cast<std::size_t>(x));
    }
    std::reverse(script.begin(), script.end());
    return script;
}

}  // namespace

std::string UnifiedDiff(const std::string& path, const std::string& before, const std::string& after) {
    if (before == after) return {};
    const auto a = SplitKeepingEnds(before);
    const auto b = SplitKeepingEnds(after);
    const auto script = EditScript(a, b);
    std::string out = "--- " + path + "\n+++ " + path + "\n";
    constexpr std::size_t kContext = 3;
    std::size_t i = 0;
    while (i < script.size()) {
        if (script[i].first == ' ') {
            ++i;
            continue;
        }
        // A hunk: from kContext kept lines before the first change to kContext after the last one that
        // is not further than 2 * kContext kept lines from the next.
        std::size_t first = i >= kContext ? i - kContext : 0;
        while (first < i && script[first].first != ' ') ++first;
        std::size_t last = i;
        std::size_t kept = 0;
        for (std::size_t j = i; j < script.size(); ++j) {
            if (script[j].first == ' ') {
                if (++kept > 2 * kContext) break;
            } else {
                kept = 0;
                last = j;
            }
        }
        const std::size_t end = std::min(script.size(), last + 1 + kContext);
        std::size_t oldStart = 0, newStart = 0, oldCount = 0, newCount = 0;
        // Line numbers: count what comes before the hunk.
        for (std::size_t j = 0; j < first; ++j) {
            if (script[j].first != '+') ++oldStart;
            if (script[j].first != '-') ++newStart;
        }
        std::string body;
        for (std::size_t j = first; j < end; ++j) {
            const auto& [kind, line] = script[j];
            std::string text = kind == '+' ? b[line] : a[line];
            const bool noEol = text.empty() || text.back() != '\n';
            if (kind != '+') ++oldCount;
            if (kind != '-') ++newCount;
            body += std::string(1, kind) + text;
            if (noEol) body += "\n\\ No newline at end of file\n";
        }
        out += "@@ -" + std::to_string(oldCount == 0 ? oldStart : oldStart + 1) + "," + std::to_string(oldCount) + " +" +
               std::to_string(newCount == 0 ? newStart : newStart + 1) + "," + std::to_string(newCount) + " @@\n" + body;
        i = end;
    }
    return out;
}

std::string SettingText(const StoredSetting& setting, const Codepage& codepage) {
    if (setting.type == regtype::Dword && setting.data.size() == 4) {
        return std::to_string(static_cast<std::int32_t>(UnpackLe32(setting.data)));
    }
    std::string data = setting.data;
    if (const auto nul = data.find('\0'); nul != std::string::npos) data.resize(nul);
    return Utf16ToUtf8(codepage.FromAnsi(data));
}

std::string Printable(const std::string& utf8) {
    bool plain = true;
    for (const char c : utf8) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7f || b == 0xc2 || b == 0xe2) plain = false;  // the lead bytes of C1 and of U+2028/U+2029
    }
    return plain ? utf8 : Utf16ToUtf8(Escaped(Utf8ToUtf16(utf8)));
}

void ReportProblems(const std::vector<std::string>& problems) {
    for (const auto& p : problems) std::cerr << "quillmark: " << Printable(p) << '\n';
}

}  // namespace qm::cli
