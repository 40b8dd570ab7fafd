// quillmark: the add-in's stamps and stored format, applied to VB6 source files.
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "addin/settings/format_model.h"
#include "addin/settings/settings_store.h"
#include "addin/stamps/edit_stamp.h"
#include "addin/stamps/function_stamp.h"
#include "addin/stamps/stamp_date.h"
#include "cli/source_file.h"
#include "platform/bytes.h"
#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/failure.h"
#include "platform/files.h"
#include "platform/regfile.h"
#include "platform/text.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>

#include "platform/win32/registry_win32.h"
#include "platform/win32/wide.h"
#endif

namespace qm::cli {
namespace {

constexpr const char* kUsage =
    "usage: quillmark stamp FILE --line N [--write]\n"
    "       quillmark mark FILE --from L[:C] [--to L[:C]] [--write]\n"
    "       quillmark settings list | get NAME | set NAME VALUE | reset | export FILE | import FILE\n"
    "       quillmark preview\n"
    "options: --settings PATH   the settings store (a .reg file)\n"
    "         --now \"YYYY-MM-DD HH:MM:SS\"   fixes the clock\n"
    "         --encoding cp932|utf-8   encoding of source files (default cp932)\n";

// Wrong usage: exit status 2.
struct UsageError {
    std::string message;
};
// Everything else: exit status 1.
struct Failure {
    std::string message;
};

struct Options {
    std::vector<std::string> args;
    std::map<std::string, std::string> values;
    bool write = false;
};

Options ParseOptions(int argc, char** argv) {
    Options options;
    static const char* withValue[] = {"--settings", "--now", "--encoding", "--line", "--from", "--to"};
    bool onlyArguments = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        // After "--" everything is an argument, a value that starts with "-" too.
        if (onlyArguments) {
            options.args.push_back(arg);
            continue;
        }
        if (arg == "--") {
            onlyArguments = true;
            continue;
        }
        if (arg == "--write") {
            options.write = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") throw UsageError{""};
        bool known = false;
        for (const char* name : withValue) {
            if (arg == name) {
                if (i + 1 >= argc) throw UsageError{arg + " needs a value"};
                options.values[arg] = argv[++i];
                known = true;
            } else if (arg.rfind(std::string(name) + "=", 0) == 0) {
                options.values[name] = arg.substr(std::string(name).size() + 1);
                known = true;
            }
        }
        if (known) continue;
        // A negative number is a value, not an option.
        const bool negativeNumber = arg.size() > 1 && arg[0] == '-' && arg[1] >= '0' && arg[1] <= '9';
        if (arg.size() > 1 && arg[0] == '-' && arg != "-" && !negativeNumber) {
            throw UsageError{"unknown option " + arg + " (a value that starts with \"-\" goes after \"--\")"};
        }
        options.args.push_back(arg);
    }
    return options;
}

// The settings store that was asked for; empty on Windows when the add-in's own key is meant.
std::string SettingsPath(const Options& options) {
    if (const auto it = options.values.find("--settings"); it != options.values.end()) return it->second;
    if (const char* env = std::getenv("QUILLMARK_SETTINGS"); env != nullptr && *env != '\0') return env;
#ifdef _WIN32
    return {};
#endif
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && *xdg != '\0') {
        return std::string(xdg) + "/quillmark/settings.reg";
    }
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
        return std::string(home) + "/.config/quillmark/settings.reg";
    }
    throw Failure{"no settings store: give --settings PATH or set QUILLMARK_SETTINGS"};
}

LocalDateTime Now(const Options& options) {
    if (const auto it = options.values.find("--now"); it != options.values.end()) {
        const auto parsed = ParseDateTime(it->second);
        if (!parsed) throw UsageError{"--now needs a date and time as \"YYYY-MM-DD HH:MM:SS\", not \"" + it->second + "\""};
        return *parsed;
    }
    return SystemClock().Now();
}

Encoding FileEncoding(const Options& options) {
    const auto it = options.values.find("--encoding");
    if (it == options.values.end()) return Encoding::Cp932;
    std::string name;
    for (const char c : it->second) name.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    if (name == "cp932" || name == "shift_jis" || name == "sjis") return Encoding::Cp932;
    if (name == "utf-8" || name == "utf8") return Encoding::Utf8;
    throw UsageError{"--encoding must be cp932 or utf-8, not \"" + it->second + "\""};
}

std::int32_t PositiveNumber(const std::string& text, const std::string& what) {
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) {
        throw UsageError{what + " must be a positive whole number, not \"" + text + "\""};
    }
    const int value = std::stoi(text);
    if (value < 1) throw UsageError{what + " must be a positive whole number, not \"" + text + "\""};
    return value;
}

struct Position {
    std::int32_t line;
    std::int32_t column;
};

Position ParsePosition(const std::string& text, const std::string& what) {
    const auto colon = text.find(':');
    if (colon == std::string::npos) return {PositiveNumber(text, what + " line"), 1};
    return {PositiveNumber(text.substr(0, colon), what + " line"), PositiveNumber(text.substr(colon + 1), what + " column")};
}

// The settings store of the command: a registry file, loaded once.
class Store {
public:
    explicit Store(const Options& options) : path_(SettingsPath(options)) {
#ifdef _WIN32
        if (path_.empty()) {
            path_ = "HKEY_CURRENT_USER\\" + Utf16ToUtf8(kSettingsKey);
            system_ = std::make_unique<Win32Registry>(*codepage_);
            store_.emplace(*system_, *codepage_);
            return;
        }
#endif
        try {
            registry_.emplace(path_, *codepage_);
        } catch (const RegFileError& e) {
            throw Failure{path_ + ":" + std::to_string(e.Line()) + ": " + e.what() + " (the file is left as it is)"};
        } catch (const PlatformError& e) {
            throw Failure{path_ + ": " + e.what()};
        }
        store_.emplace(*registry_, *codepage_);
    }
    SettingsStore& Settings() { return *store_; }
    const Codepage& Cp() const { return *codepage_; }
    const std::string& Path() const { return path_; }
    // Fails when a change did not reach the file; the file then holds what it held before.
    void MustBeWritten() const {
        if (registry_ && !registry_->WriteError().empty()) {
            throw Failure{path_ + ": the settings could not be written: " + registry_->WriteError() + " (the file is left as it was)"};
        }
    }
    // The values a stamp reads are stored as the add-in stores them; where that cannot be done, the
    // stamp is still made and the user is told.
    void WarnIfNotWritten() const {
        if (registry_ && !registry_->WriteError().empty()) {
            std::cerr << "quillmark: " << path_ << ": the values read for the first time could not be stored: "
                      << registry_->WriteError() << '\n';
        }
    }

private:
    std::string path_;
    std::unique_ptr<Codepage> codepage_ = MakeCp932Codepage();
    std::optional<RegFileRegistry> registry_;
    std::unique_ptr<Registry> system_;
    std::optional<SettingsStore> store_;
};

void WriteOut(const std::string& bytes) {
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    std::fflush(stdout);
}

std::string ReadSource(const std::string& path) {
    try {
        return ReadWholeFile(path);
    } catch (const PlatformError& e) {
        throw Failure{path + ": cannot read: " + e.what()};
    }
}

void Finish(const std::string& path, const SourceFile& file, bool write) {
    const std::string bytes = file.Render();
    if (!write) {
        WriteOut(bytes);
        return;
    }
    try {
        WriteFileAtomically(path, bytes);
    } catch (const PlatformError& e) {
        throw Failure{path + ": cannot write: " + e.what()};
    }
}

SourceFile LoadSource(const std::string& path, const Options& options, const Codepage& codepage) {
    try {
        return SourceFile(ReadSource(path), FileEncoding(options), codepage);
    } catch (const SourceError& e) {
        throw Failure{path + ": " + e.what() + " (use --encoding to read it otherwise)"};
    }
}

std::size_t CheckLine(const std::string& path, const SourceFile& file, std::int32_t line) {
    const std::size_t count = std::max<std::size_t>(file.FileLineCount(), 1);
    if (static_cast<std::size_t>(line) > count) {
        throw Failure{path + ": line " + std::to_string(line) + " is outside the file (" +
                      std::to_string(file.FileLineCount()) + " lines)"};
    }
    return static_cast<std::size_t>(line);
}

int CommandStamp(const Options& options) {
    if (options.args.size() != 2) throw UsageError{"stamp needs one FILE"};
    const auto line = options.values.find("--line");
    if (line == options.values.end()) throw UsageError{"stamp needs --line N"};
    const std::int32_t caret = PositiveNumber(line->second, "--line");
    const LocalDateTime now = Now(options);
    const std::string& path = options.args[1];
    Store store(options);
    SourceFile file = LoadSource(path, options, store.Cp());
    CheckLine(path, file, caret);
    const FormatModel model = LoadFormatModel(store.Settings());
    SourceCodeModule module(file, Utf8ToUtf16(path));
    ide::TextCodePane pane(module);
    const StampContext context{model, now, store.Cp()};
    const auto moduleLine = file.ModuleLineOf(static_cast<std::size_t>(caret));
    if (!moduleLine) {
        // The hidden header counts as the declarations section.
        ProcedureOutcome outcome;
        outcome.target = StampTarget::ModuleHeader;
        ApplyFunctionStamp(pane, outcome, context);
    } else {
        Attempt([&] { pane.SetSelection({*moduleLine, 1, *moduleLine, 1}); });
        RunFunctionStamp(pane, context);
    }
    Finish(path, file, options.write);
    store.WarnIfNotWritten();
    return 0;
}

int CommandMark(const Options& options) {
    if (options.args.size() != 2) throw UsageError{"mark needs one FILE"};
    const auto from = options.values.find("--from");
    if (from == options.values.end()) throw UsageError{"mark needs --from L[:C]"};
    const Position start = ParsePosition(from->second, "--from");
    const auto to = options.values.find("--to");
    const Position end = to == options.values.end() ? start : ParsePosition(to->second, "--to");
    if (end.line < start.line || (end.line == start.line && end.column < start.column)) {
        throw UsageError{"--to must not come before --from"};
    }
    const LocalDateTime now = Now(options);
    const std::string& path = options.args[1];
    Store store(options);
    SourceFile file = LoadSource(path, options, store.Cp());
    CheckLine(path, file, start.line);
    CheckLine(path, file, end.line);
    const auto first = file.ModuleLineOf(static_cast<std::size_t>(start.line));
    const auto last = file.ModuleLineOf(static_cast<std::size_t>(end.line));
    if (!first || !last) {
        throw Failure{path + ": the selection reaches into the file's hidden header, which the code window does not show"};
    }
    const FormatModel model = LoadFormatModel(store.Settings());
    SourceCodeModule module(file, Utf8ToUtf16(path));
    ide::TextCodePane pane(module);
    if (!Attempt([&] { pane.SetSelection({*first, start.column, *last, end.column}); })) {
        throw Failure{path + ": the file has no code to mark"};
    }
    RunEditStamp(pane, StampContext{model, now, store.Cp()});
    Finish(path, file, options.write);
    store.WarnIfNotWritten();
    return 0;
}

std::string SettingText(const StoredSetting& setting, const Codepage& codepage) {
    if (setting.type == regtype::Dword && setting.data.size() == 4) {
        return std::to_string(static_cast<std::int32_t>(UnpackLe32(setting.data)));
    }
    std::string data = setting.data;
    if (const auto nul = data.find('\0'); nul != std::string::npos) data.resize(nul);
    return Utf16ToUtf8(codepage.FromAnsi(data));
}

int CommandSettings(const Options& options) {
    if (options.args.size() < 2) throw UsageError{"settings needs list, get, set, reset, export or import"};
    const std::string& verb = options.args[1];
    const auto need = [&](std::size_t count) {
        if (options.args.size() != count + 2) throw UsageError{"settings " + verb + " takes " + std::to_string(count) + " argument(s)"};
    };
    Store store(options);
    SettingsStore& settings = store.Settings();
    if (verb == "list") {
        need(0);
        for (const StoredSetting& s : settings.ListSettings()) {
            std::cout << Utf16ToUtf8(s.name) << '\t' << (s.type == regtype::Dword ? "number" : "text") << '\t'
                      << SettingText(s, store.Cp()) << '\n';
        }
        return 0;
    }
    if (verb == "get") {
        need(1);
        const std::u16string name = Utf8ToUtf16(options.args[2]);
        if (const auto stored = settings.PeekSetting(name)) {
            std::cout << SettingText(*stored, store.Cp()) << '\n';
            return 0;
        }
        const SettingInfo* info = FindSetting(name);
        if (info == nullptr) throw Failure{"no setting \"" + options.args[2] + "\" is stored"};
        // Not stored yet: what the add-in would read.
        std::cout << (info->kind == SettingKind::Number ? std::to_string(info->defaultNumber) : Utf16ToUtf8(info->defaultText))
                  << '\n';
        return 0;
    }
    if (verb == "set") {
        need(2);
        const std::u16string name = Utf8ToUtf16(options.args[2]);
        const SettingInfo* info = FindSetting(name);
        if (info == nullptr) throw Failure{"\"" + options.args[2] + "\" is not a setting of the add-in"};
        bool valid = true;
        const std::u16string value = Utf8ToUtf16(options.args[3], &valid);
        if (!valid) throw Failure{"the value is not valid UTF-8"};
        // The first read of a missing key lays down the initial values; a write alone would not create it.
        if (!settings.KeyExists()) settings.ReadSettingString(info->name, info->defaultText);
        if (info->kind == SettingKind::Number) {
            const std::string& text = options.args[3];
            char* end = nullptr;
            const long long number = std::strtoll(text.c_str(), &end, 10);
            if (text.empty() || *end != '\0' || number < INT32_MIN || number > INT32_MAX) {
                throw Failure{std::string(Utf16ToUtf8(info->name)) + " holds a whole number, not \"" + text + "\""};
            }
            settings.WriteSettingNumber(info->name, static_cast<std::int32_t>(number));
        } else {
            if (!store.Cp().CanEncode(value)) {
                throw Failure{"the value holds characters that code page 932 cannot store"};
            }
            settings.WriteSettingString(info->name, value);
        }
        store.MustBeWritten();
        const auto stored = settings.PeekSetting(info->name);
        if (!stored || SettingText(*stored, store.Cp()) != options.args[3]) {
            throw Failure{store.Path() + ": the value could not be written"};
        }
        return 0;
    }
    if (verb == "reset") {
        need(0);
        if (!settings.DeleteKey()) throw Failure{store.Path() + ": the stored settings could not be removed"};
        settings.ReadSettingString(u"EditStamp", FindSetting(u"EditStamp")->defaultText);
        store.MustBeWritten();
        if (!settings.KeyExists()) throw Failure{store.Path() + ": the settings could not be written"};
        return 0;
    }
    if (verb == "export") {
        need(1);
        const auto values = settings.ListSettings();
        if (!settings.KeyExists()) throw Failure{store.Path() + ": no settings are stored yet"};
        std::vector<RegKeyContent> keys{{Hive::CurrentUser, kSettingsKey, {}}};
        for (const auto& s : values) keys.front().values.push_back({s.name, s.type, s.data});
        try {
            WriteFileAtomically(options.args[2], ExportRegFile(keys, store.Cp()));
        } catch (const PlatformError& e) {
            throw Failure{options.args[2] + ": cannot write: " + e.what()};
        }
        return 0;
    }
    if (verb == "import") {
        need(1);
        const std::string& source = options.args[2];
        MemoryRegistry scratch;
        try {
            ImportRegFile(ReadSource(source), store.Cp(), scratch);
        } catch (const RegFileError& e) {
            throw Failure{source + ":" + std::to_string(e.Line()) + ": " + e.what()};
        }
        SettingsStore incoming(scratch, store.Cp());
        if (!incoming.KeyExists()) {
            throw Failure{source + ": holds no key HKEY_CURRENT_USER\\" + Utf16ToUtf8(kSettingsKey)};
        }
        if (!settings.KeyExists()) settings.ReadSettingString(u"EditStamp", FindSetting(u"EditStamp")->defaultText);
        for (const StoredSetting& s : incoming.ListSettings()) {
            if (s.type == regtype::Dword && s.data.size() == 4) {
                settings.WriteSettingNumber(s.name, std::stoi(SettingText(s, store.Cp())));
            } else if (s.type == regtype::Sz || s.type == regtype::ExpandSz) {
                settings.WriteSettingString(s.name, Utf8ToUtf16(SettingText(s, store.Cp())));
            } else {
                std::cerr << "quillmark: " << source << ": " << Utf16ToUtf8(s.name)
                          << " is neither text nor a number and was not imported\n";
            }
        }
        store.MustBeWritten();
        return 0;
    }
    throw UsageError{"unknown settings command \"" + verb + "\""};
}

int CommandPreview(const Options& options) {
    if (options.args.size() != 1) throw UsageError{"preview takes no arguments"};
    const LocalDateTime now = Now(options);
    Store store(options);
    const FormatModel model = LoadFormatModel(store.Settings());
    const StampContext context{model, now, store.Cp()};
    ide::TextCodeModule module({u"Option Explicit", u"", u"Public Function AddTax(ByVal price As Long, ByVal rate As Double) As Long",
                                u"    AddTax = price * (1 + rate)", u"End Function"},
                               u"Module1.bas");
    ide::TextCodePane pane(module);
    pane.SetSelection({4, 5, 4, 5});
    RunEditStamp(pane, context);
    pane.SetSelection({3, 1, 3, 1});
    RunFunctionStamp(pane, context);
    std::string out;
    for (const auto& line : module.AllLines()) out += Utf16ToUtf8(line) + "\n";
    // The wizard's two live samples: the edit-record stamp, and the creation date of each date item.
    const std::u16string marker = PreviewEditMarker(context);
    const auto cr = marker.find(u'\r');
    out += "\n表示ｻﾝﾌﾟﾙ (編集記録ｽﾀﾝﾌﾟ) :\n" + Utf16ToUtf8(marker.substr(0, cr)) + "\n" +
           Utf16ToUtf8(marker.substr(marker.find_last_of(u'\r') + 1)) + "\n";
    for (std::size_t row = 0; row < model.ItemList.size(); ++row) {
        if (model.ItemList[row].kind != kind::kCreationDate) continue;
        out += "表示サンプル (" + Utf16ToUtf8(model.ItemList[row].name) + ") : " +
               Utf16ToUtf8(FormatCreationDate(model, static_cast<int>(row), now)) + "\n";
    }
    WriteOut(out);
    store.WarnIfNotWritten();
    return 0;
}

int Run(int argc, char** argv) {
    const Options options = ParseOptions(argc, argv);
    if (options.args.empty()) throw UsageError{""};
    const std::string& command = options.args[0];
    if (command == "stamp") return CommandStamp(options);
    if (command == "mark") return CommandMark(options);
    if (command == "settings") return CommandSettings(options);
    if (command == "preview") return CommandPreview(options);
    throw UsageError{"unknown command \"" + command + "\""};
}

}  // namespace
}  // namespace qm::cli

namespace {
int Main(int argc, char** argv) {
    try {
        return qm::cli::Run(argc, argv);
    } catch (const qm::cli::UsageError& e) {
        if (!e.message.empty()) std::cerr << "quillmark: " << e.message << '\n';
        std::cerr << qm::cli::kUsage;
        return 2;
    } catch (const qm::cli::Failure& e) {
        std::cerr << "quillmark: " << e.message << '\n';
        return 1;
    } catch (const std::exception& e) {
        std::cerr << "quillmark: " << e.what() << '\n';
        return 1;
    }
}
}  // namespace

#ifdef _WIN32
// The arguments arrive as UTF-16 and are handed on as UTF-8, like everywhere else.
int wmain(int argc, wchar_t** argv) {
    // The file goes out byte for byte.
    _setmode(_fileno(stdout), _O_BINARY);
    std::vector<std::string> args;
    for (int i = 0; i < argc; ++i) {
        args.push_back(qm::Utf16ToUtf8(qm::win32::FromWide(argv[i])));
    }
    std::vector<char*> pointers;
    for (auto& a : args) pointers.push_back(a.data());
    pointers.push_back(nullptr);
    return Main(argc, pointers.data());
}
#else
int main(int argc, char** argv) { return Main(argc, argv); }
#endif
