// quillmark settings: the stored values of the add-in's key, read and written as the add-in keeps
// them; format values are checked as the wizard checks them before they are stored.
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <system_error>

#include "addin/settings/format_rules.h"
#include "addin/stamps/edit_stamp.h"
#include "addin/stamps/function_stamp.h"
#include "addin/stamps/stamp_date.h"
#include "cli/commands.h"
#include "platform/failure.h"
#include "platform/files.h"
#include "platform/sim/registry_memory.h"
#include "platform/text.h"

namespace qm::cli {

int CommandPreview(const PreviewOptions& options);

namespace {

// The format values: those of the wizard, which a team shares.
const char16_t* const kFormatValues[] = {u"FixedFormList", u"CustomFormList", u"SelectDatas", u"ExtendValue", u"EditStamp"};

bool IsFormatValue(const std::u16string& name) {
    for (const char16_t* v : kFormatValues) {
        if (name == v) return true;
    }
    return false;
}

// Why a format value would not be stored by the wizard; nothing when it would.
std::optional<std::string> Refusal(const std::u16string& name, const std::u16string& value, SettingsStore& current,
                                   const Codepage& codepage) {
    const auto say = [](const FormatRefusal& r) { return Utf16ToUtf8(r.message); };
    // The format as stored, read from a copy: reading the store itself would store the defaults.
    MemoryRegistry copy;
    RegKey key = 0;
    copy.CreateKey(Hive::CurrentUser, kSettingsKey, &key);
    for (const StoredSetting& s : current.ListSettings()) {
        copy.SetValue(key, s.name, s.type, reinterpret_cast<const std::uint8_t*>(s.data.data()), static_cast<std::uint32_t>(s.data.size()));
    }
    copy.CloseKey(key);
    SettingsStore scratch(copy, codepage);
    const FormatModel model = LoadFormatModel(scratch);
    if (name == u"FixedFormList") {
        const auto chosen = ParseFixedFormList(value);
        if (ComposeFixedFormList(chosen) != value)
            return "not in the stored form: the numbers 0 to 7 of the fixed items, ascending, separated by \",\" (0,1,2,3)";
        return std::nullopt;
    }
    if (name == u"CustomFormList") {
        const auto items = ParseCustomFormList(value);
        for (const auto& item : items) {
            if (const auto r = CheckCustomItemName(item.name, codepage)) return say(*r) + " (" + Utf16ToUtf8(item.name) + ")";
            if (item.kind != kind::kNone &&
                (item.kind < kind::kFunctionName || item.kind > kind::kAuthor || item.kind == kind::kEmptyPanel)) {
                return "the kind of " + Utf16ToUtf8(item.name) + " must be -1, 0, 2, 3, 4 or 5";
            }
        }
        if (model.ChosenFixedItems.size() + items.size() > kMaxItemRows) return Utf16ToUtf8(u"項目は全部で31個までしか使用できません。");
        if (ComposeCustomFormList(items) != value)
            return "not in the stored form: [name,kind] for each custom item ([確認者,5][変更履歴,-1])";
        return std::nullopt;
    }
    if (name == u"SelectDatas") {
        FormatModel parsed = model;
        ParseSelectDatas(value, parsed);
        for (const int row : parsed.DisplayOrder) {
            if (parsed.ItemList[static_cast<std::size_t>(row)].kind != kind::kAuthor) continue;
            if (const auto r = CheckAuthorText(parsed.ItemAttributes[static_cast<std::size_t>(row)].AttrText)) return say(*r);
        }
        if (ComposeSelectDatas(parsed) != value) {
            return "not in the stored form, or a group names a row the items do not have (" + std::to_string(parsed.ItemList.size()) +
                   " rows): [row,a1,a2,a3,a4,text] for each shown item, rows counted from 0";
        }
        return std::nullopt;
    }
    if (name == u"ExtendValue") {
        FormatModel parsed;
        ParseExtendValue(value, parsed);
        if (const auto r = CheckAppearance(parsed.Indent, parsed.RulerOn == 1, parsed.RulerSymbol, parsed.RulerCount, codepage))
            return say(*r);
        if (ComposeExtendValue(parsed) != value)
            return "not in the stored form: indent,ruler on (0 or 1),ruler count,ruler symbol (1,1,78,-)";
        return std::nullopt;
    }
    if (name == u"EditStamp") {
        FormatModel parsed;
        ParseEditStamp(value, parsed);
        if (ComposeEditStamp(parsed) != value)
            return "not in the stored form: date,head mark,separator,year form,time,editor (1,1,1,1,1,名前)";
        return std::nullopt;
    }
    return std::nullopt;
}

const char* YesNo(std::int16_t v) { return v == 1 ? "yes" : "no"; }

// A code no form has, as settings show names it.
std::string NoneCode(std::int16_t code) {
    std::string words = "none (code ";
    words += std::to_string(code);
    words += ")";
    return words;
}

// The date codes in words, as the wizard's lists show them.
std::string HeadMarkWords(std::int16_t code) {
    if (code == 0) return "none";
    if (code == 1) return "\"'\"";
    return NoneCode(code);
}

std::string SeparatorWords(std::int16_t code) {
    static const char* const kSeparators[] = {"none", "\".\"", "\"/\"", "\"-\""};
    if (code >= 0 && code <= 3) return kSeparators[code];
    return NoneCode(code);
}

std::string YearWords(std::int16_t code, const LocalDateTime& now) {
    static const char* const kForms[] = {"four digits", "two digits", "era", "era, with a dot"};
    if (code < 0 || code > 3) return NoneCode(code);
    // Appended one by one: GCC's Release build takes "literal" + temporary for an overlapping copy.
    std::string words = "\"";
    words += Utf16ToUtf8(YearFormText(code, now));
    words += "\" (";
    words += kForms[code];
    words += ")";
    return words;
}

std::string DateWords(std::int16_t head, std::int16_t separator, std::int16_t year, std::int16_t time, const LocalDateTime& now) {
    std::string words = "head mark ";
    words += HeadMarkWords(head);
    words += ", separator ";
    words += SeparatorWords(separator);
    words += ", year form ";
    words += YearWords(year, now);
    words += ", time ";
    words += YesNo(time);
    return words;
}

// The format as a person reads it, then the stamps it makes.
void Show(Store& store, const CommonOptions& common) {
    const FormatModel model = store.Format(common);
    const LocalDateTime now = Now(common);
    std::cout << "settings: " << store.Path() << (store.TeamFile() ? " (team file)" : "") << "\n\n";
    std::cout << "function-description stamp, items in stamp order:\n";
    static const char* const kKinds[] = {"function name", "", "arguments", "return value", "creation date", "author"};
    for (const int row : model.DisplayOrder) {
        const auto& item = model.ItemList[static_cast<std::size_t>(row)];
        const auto& a = model.ItemAttributes[static_cast<std::size_t>(row)];
        std::cout << "  " << Utf16ToUtf8(item.name);
        switch (item.kind) {
            case kind::kFunctionName:
                std::cout << "  (" << kKinds[0] << (a.Attr1 == 1 ? ", with ()" : "") << ")";
                break;
            case kind::kArguments:
                std::cout << "  (" << kKinds[2] << (a.Attr1 == 1 ? ", as ARG1, ARG2 ..." : ", by name")
                          << (a.Attr2 == 1 ? ", なし when none" : "") << ")";
                break;
            case kind::kReturnValue:
                std::cout << "  (" << kKinds[3] << (a.Attr1 == 1 ? ", なし for a Sub" : "") << ")";
                break;
            case kind::kCreationDate:
                std::cout << "  (" << kKinds[4] << ": " << DateWords(a.Attr1, a.Attr2, a.Attr3, a.Attr4, now) << ")";
                break;
            case kind::kAuthor:
                std::cout << "  (" << kKinds[5] << ": " << Utf16ToUtf8(a.AttrText) << ")";
                break;
            default:
                std::cout << "  (filled in by hand)";
                break;
        }
        std::cout << '\n';
    }
    std::cout << "  indent " << Utf16ToUtf8(model.Indent) << ", ruler "
              << (model.RulerOn == 1 ? Utf16ToUtf8(model.RulerSymbol) + " x " + Utf16ToUtf8(model.RulerCount) : std::string("off"))
              << "\n\nedit-record stamp: date " << YesNo(model.ShowDate) << ", "
              << DateWords(model.HeadMark, model.DateSeparator, model.YearForm, model.ShowTime, now) << ", editor "
              << Utf16ToUtf8(model.EditorName) << "\n\n";
    std::cout.flush();
    PreviewOptions preview;
    preview.common = common;
    CommandPreview(preview);
}


int SettingsList(Store& store, SettingsStore& settings, const SettingsOptions& /*options*/) {
    for (const StoredSetting& s : settings.ListSettings()) {
        std::cout << Printable(Utf16ToUtf8(s.name)) << '\t' << (s.type == regtype::Dword ? "number" : "text") << '\t'
                  << Printable(SettingText(s, store.Cp())) << '\n';
    }
    return 0;
}

int SettingsShow(Store& store, SettingsStore& /*settings*/, const SettingsOptions& options) {
    Show(store, options.common);
    return 0;
}

int SettingsGet(Store& store, SettingsStore& settings, const SettingsOptions& options) {
    const std::u16string name = Utf8ToUtf16(options.arguments[0]);
    if (const auto stored = settings.PeekSetting(name)) {
        std::cout << Printable(SettingText(*stored, store.Cp())) << '\n';
        return 0;
    }
    const SettingInfo* info = FindSetting(name);
    if (info == nullptr) throw Failure{"no setting \"" + options.arguments[0] + "\" is stored"};
    // Not stored yet: what the add-in would read.
    std::cout << (info->kind == SettingKind::Number ? std::to_string(info->defaultNumber) : Utf16ToUtf8(info->defaultText)) << '\n';
    return 0;
}

int SettingsSet(Store& store, SettingsStore& settings, const SettingsOptions& options) {
    const std::u16string name = Utf8ToUtf16(options.arguments[0]);
    const SettingInfo* info = FindSetting(name);
    if (info == nullptr) throw Failure{"\"" + options.arguments[0] + "\" is not a setting of the add-in"};
    bool valid = true;
    const std::u16string value = Utf8ToUtf16(options.arguments[1], &valid);
    if (!valid) throw Failure{"the value is not valid UTF-8"};
    if (IsFormatValue(name)) {
        // Not even with --force: the value would put a line of its own into the code.
        if (const auto why = LineBreakerRefusal(u"the value", value)) throw Failure{options.arguments[0] + ": " + Utf16ToUtf8(*why)};
    }
    if (IsFormatValue(name) && !options.force) {
        if (const auto why = Refusal(name, value, settings, store.Cp())) {
            throw Failure{options.arguments[0] + ": " + *why + " (--force stores it all the same)"};
        }
    }
    // The first read of a missing key lays down the initial values; a write alone would not create it.
    if (!settings.KeyExists()) settings.ReadSettingString(info->name, info->defaultText);
    if (info->kind == SettingKind::Number) {
        const std::string& text = options.arguments[1];
        char* end = nullptr;
        const long long number = std::strtoll(text.c_str(), &end, 10);
        if (text.empty() || *end != '\0' || number < INT32_MIN || number > INT32_MAX) {
            throw Failure{Utf16ToUtf8(info->name) + " holds a whole number, not \"" + text + "\""};
        }
        settings.WriteSettingNumber(info->name, static_cast<std::int32_t>(number));
    } else {
        if (!store.Cp().CanEncode(value)) throw Failure{"the value holds characters that code page 932 cannot store"};
        settings.WriteSettingString(info->name, value);
    }
    store.MustBeWritten();
    const auto stored = settings.PeekSetting(info->name);
    if (!stored || SettingText(*stored, store.Cp()) != options.arguments[1])
        throw Failure{store.Path() + ": the value could not be written"};
    return 0;
}

int SettingsReset(Store& store, SettingsStore& settings, const SettingsOptions& /*options*/) {
    if (store.TeamFile()) {
        // A team's file: the format values only, the old file kept beside it; inside a git work tree
        // git keeps it, and the repository gets no file of the command's own.
        const std::u8string folder =
            std::filesystem::path(std::u8string(store.Path().begin(), store.Path().end())).parent_path().u8string();
        if (GitWorkTreeOf(std::string(folder.begin(), folder.end())).empty()) {
            try {
                const std::string backup = store.Path() + ".bak";
                WriteFileAtomically(backup, ReadWholeFile(store.Path()));
            } catch (const PlatformError& e) {
                throw Failure{store.Path() + ".bak: the backup could not be written: " + e.what() + " (nothing was reset)"};
            }
        }
        if (!settings.KeyExists()) settings.ReadSettingString(u"EditStamp", FindSetting(u"EditStamp")->defaultText);
        for (const char16_t* v : kFormatValues) {
            const SettingInfo* info = FindSetting(v);
            settings.WriteSettingString(v, info->initial ? info->initialText : info->defaultText);
        }
    } else {
        if (!settings.DeleteKey()) throw Failure{store.Path() + ": the stored settings could not be removed"};
        settings.ReadSettingString(u"EditStamp", FindSetting(u"EditStamp")->defaultText);
    }
    store.MustBeWritten();
    if (!settings.KeyExists()) throw Failure{store.Path() + ": the settings could not be written"};
    return 0;
}

int SettingsExport(Store& store, SettingsStore& settings, const SettingsOptions& options) {
    std::size_t unreadable = 0;
    const auto values = settings.ListSettings(&unreadable);
    if (!settings.KeyExists()) {
        throw Failure{store.Path() +
                      ": no settings are stored yet (\"quillmark settings init FILE\" writes a team file of the initial format)"};
    }
    std::vector<RegKeyContent> keys{{Hive::CurrentUser, kSettingsKey, {}}};
    for (const auto& s : values) keys.front().values.push_back({s.name, s.type, s.data});
    try {
        WriteFileAtomically(options.arguments[0], ExportRegFile(keys, store.Cp()));
    } catch (const PlatformError& e) {
        throw Failure{options.arguments[0] + ": cannot write: " + e.what()};
    }
    if (unreadable > 0) {
        throw Failure{store.Path() + ": " + std::to_string(unreadable) + " value(s) could not be read; " + options.arguments[0] +
                      " holds the other " + std::to_string(values.size())};
    }
    return 0;
}

int SettingsImport(Store& store, SettingsStore& settings, const SettingsOptions& options) {
    const std::string& source = options.arguments[0];
    MemoryRegistry scratch;
    try {
        ImportRegFile(ReadWholeFile(source), store.Cp(), scratch);
    } catch (const RegFileError& e) {
        throw Failure{source + ":" + std::to_string(e.Line()) + ": " + e.what()};
    } catch (const PlatformError& e) {
        throw Failure{source + ": cannot read: " + e.what()};
    }
    SettingsStore incoming(scratch, store.Cp());
    if (!incoming.KeyExists()) throw Failure{source + ": holds no key HKEY_CURRENT_USER\\" + Utf16ToUtf8(kSettingsKey)};
    // A settings file takes the values in a copy of itself, which then replaces it in one write:
    // whatever the number of values, one write, and when it fails the file is as it was.
    RegFileRegistry* file = store.File();
    std::optional<MemoryRegistry> copy;
    std::optional<SettingsStore> staged;
    if (file != nullptr) staged.emplace(copy.emplace(file->Keys()), store.Cp());
    SettingsStore& target = staged ? *staged : settings;
    if (!target.KeyExists()) target.ReadSettingString(u"EditStamp", FindSetting(u"EditStamp")->defaultText);
    const std::vector<StoredSetting> values = incoming.ListSettings();
    // A format value that would put a line of its own into the code is not taken, nor anything else.
    for (const StoredSetting& s : values) {
        if (!IsFormatValue(s.name) || (s.type != regtype::Sz && s.type != regtype::ExpandSz)) continue;
        if (const auto why = LineBreakerRefusal(u"the value", Utf8ToUtf16(SettingText(s, store.Cp())))) {
            throw Failure{source + ": " + Utf16ToUtf8(s.name) + ": " + Utf16ToUtf8(*why) + " (nothing was imported)"};
        }
    }
    for (const StoredSetting& s : values) {
        if (s.type == regtype::Dword && s.data.size() == 4) {
            target.WriteSettingNumber(s.name, std::stoi(SettingText(s, store.Cp())));
        } else if (s.type == regtype::Sz || s.type == regtype::ExpandSz) {
            target.WriteSettingString(s.name, Utf8ToUtf16(SettingText(s, store.Cp())));
        } else {
            std::cerr << "quillmark: " << source << ": " << Utf16ToUtf8(s.name) << " is neither text nor a number and was not imported\n";
        }
    }
    if (file != nullptr) file->ReplaceAll(copy->Keys());
    store.MustBeWritten();
    return 0;
}

// A new team file: the format values at the add-in's initial values, in the order the add-in first
// writes its values. An existing file is replaced only with --force.
int SettingsInit(const SettingsOptions& options) {
    const std::string path = options.arguments.empty() ? std::string(kTeamFileName) : options.arguments[0];
    const auto codepage = MakeCp932Codepage();
    std::vector<RegKeyContent> keys{{Hive::CurrentUser, kSettingsKey, {}}};
    std::string listing;
    for (const SettingInfo& info : SettingsTable()) {
        if (!IsFormatValue(info.name)) continue;
        const std::u16string value = info.initial ? info.initialText : info.defaultText;
        keys.front().values.push_back({info.name, regtype::Sz, codepage->ToAnsi(value)});
        listing += Utf16ToUtf8(info.name) + "\ttext\t" + Utf16ToUtf8(value) + "\n";
    }
    if (const auto why = LeavesWorkTree(path)) throw Failure{path + ": " + *why};
    const FileLock lock(path);
    std::error_code ec;
    const auto there = std::filesystem::symlink_status(std::filesystem::path(std::u8string(path.begin(), path.end())), ec).type();
    if (!ec && there != std::filesystem::file_type::not_found && !options.force) {
        throw Failure{path + ": exists already, and was left as it is (--force replaces it)"};
    }
    try {
        WriteFileAtomically(path, ExportRegFile(keys, *codepage));
    } catch (const PlatformError& e) {
        throw Failure{path + ": cannot write: " + e.what()};
    }
    if (!options.common.quiet) std::cout << listing;
    Note(options.common, "wrote the team file " + path + ": the format values at the add-in's initial values; commit it");
    return 0;
}

// The verbs of "quillmark settings": how many arguments each takes, whether it writes the store.
struct SettingsVerb {
    const char* name;
    std::size_t fewest;
    std::size_t most;
    bool writes;
    int (*run)(Store&, SettingsStore&, const SettingsOptions&);  // nullptr: init, which makes a file
};

const SettingsVerb kVerbs[] = {
    {"init", 0, 1, true, nullptr},           {"list", 0, 0, false, SettingsList},    {"show", 0, 0, false, SettingsShow},
    {"get", 1, 1, false, SettingsGet},       {"set", 2, 2, true, SettingsSet},       {"reset", 0, 0, true, SettingsReset},
    {"export", 1, 1, false, SettingsExport}, {"import", 1, 1, true, SettingsImport},
};

}  // namespace

std::vector<std::string> SettingsVerbNames() {
    std::vector<std::string> names;
    for (const SettingsVerb& v : kVerbs) names.emplace_back(v.name);
    return names;
}

int CommandSettings(const SettingsOptions& options) {
    const auto verb = std::find_if(std::begin(kVerbs), std::end(kVerbs), [&](const SettingsVerb& v) { return options.verb == v.name; });
    if (verb == std::end(kVerbs)) {
        std::string names;
        for (const SettingsVerb& v : kVerbs) names += (names.empty() ? "" : ", ") + std::string(v.name);
        throw UsageError{"unknown settings command \"" + options.verb + "\": " + names};
    }
    if (options.arguments.size() < verb->fewest || options.arguments.size() > verb->most) {
        throw UsageError{"settings " + options.verb + " takes " +
                         (verb->fewest == verb->most ? std::to_string(verb->fewest)
                                                     : std::to_string(verb->fewest) + " or " + std::to_string(verb->most)) +
                         " argument(s)"};
    }
    if (options.force && options.verb != "set" && options.verb != "init")
        throw UsageError{"--force goes with settings set and settings init"};
    if (options.user && !options.common.settings.empty()) throw UsageError{"--user and --settings name two stores: give one"};
    if (verb->run == nullptr) {
        if (options.user || !options.common.settings.empty()) throw UsageError{"settings init makes a team file: name it as FILE"};
        return SettingsInit(options);
    }
    Store store(options.common, verb->writes ? Store::Mode::Write : Store::Mode::Read, {}, options.user ? Scope::User : Scope::Found);
    Detail(options.common, "settings: " + store.Description());
    const int status = verb->run(store, store.Settings(), options);
    if (verb->writes) {
        Note(options.common, "settings " + options.verb + ": changed " + store.Description() +
                                 (store.FoundTeamFile() ? " (--user changes your own store instead)" : ""));
    }
    return status;
}

}  // namespace qm::cli
