#include "cli/command_table.h"

#include <algorithm>
#include <optional>

#include "cli/commands.h"
#include "cli/lsp_server.h"

namespace qm::cli {
namespace {

const OptionEntry kSettings{"--settings", "PATH",
                            "the settings store, a registry file (default: $QUILLMARK_SETTINGS, .quillmark.reg here or above, else the "
                            "user's own store)"};
const OptionEntry kNow{"--now", "\"YYYY-MM-DD HH:MM:SS\"", "fixes the clock"};
const OptionEntry kEncoding{"--encoding", "cp932|utf-8", "how the files are encoded: cp932 (as VB6 saves them, the default) or utf-8"};
const OptionEntry kAuthor{"--author", "NAME", "the text of every author item ($QUILLMARK_AUTHOR)"};
const OptionEntry kEditor{"--editor", "NAME", "the name in the edit-record stamp ($QUILLMARK_EDITOR)"};

const OptionEntry kQuiet{"--quiet", nullptr, "errors only (check: nothing but the exit status)", "-q"};
const OptionEntry kVerbose{"--verbose", nullptr, "also the store and the names used for each file, and every file written", "-v"};

const OptionEntry kWrite{"--write", nullptr, "replaces the files"};
const OptionEntry kDiff{"--diff", nullptr, "shows what --write would change, in UTF-8 for reading, and writes nothing"};
const OptionEntry kPatch{"--patch", nullptr,
                         "prints what --write would change as a patch in the files' own bytes, for git apply or patch -p1 from the "
                         "repository's top, and writes nothing"};
const OptionEntry kModuleHeader{"--module-header", nullptr,
                                "also the module header: stamped when missing (stamp --all), listed when missing (check)"};

constexpr const char* kSourcesHelp = "VB6 source files (.bas .cls .frm .ctl .pag .dob .dsr) and projects (.vbp)";

}  // namespace

const std::vector<CommandEntry>& CommandTable() {
    static const std::vector<CommandEntry> table = {
        {"stamp",
         "the function-description stamp at a line, or on every procedure without one",
         {{"FILE", "files", kSourcesHelp, true}},
         {{"--line", "N", "stamps what the button stamps with the caret on this line (one FILE)"},
          {"--all", nullptr, "stamps every procedure that has no stamp yet"},
          kModuleHeader,
          {"--with-house-headers", nullptr,
           "--all also stamps procedures whose comment header of the project's own is directly above them"},
          {"--undated", nullptr, "leaves the creation-date and author items empty (code written before, by others)"},
          kWrite,
          kDiff,
          kPatch},
         OptionSet::Store | OptionSet::Dates | OptionSet::Encoding | OptionSet::PersonalNames | OptionSet::Verbosity,
         [](const Arguments& a) {
             return CommandStamp({a.common, a.files, a.line == kNoLine ? std::nullopt : std::optional<int>(a.line), a.all, a.moduleHeader,
                                  a.withHouseHeaders, a.undated, a.write, a.diff, a.patch});
         }},
        {"mark",
         "the edit-record stamp around a selection",
         {{"FILE", "file", "a VB6 source file", true}},
         {{"--from", "L[:C]", "where the selection starts"},
          {"--to", "L[:C]", "where it ends (the same place when left out)"},
          kWrite,
          kDiff,
          kPatch},
         OptionSet::Store | OptionSet::Dates | OptionSet::Encoding | OptionSet::PersonalNames | OptionSet::Verbosity,
         [](const Arguments& a) {
             return CommandMark({a.common, a.file, a.from, a.to, a.write, a.diff, a.patch});
         }},
        {"check",
         "lists procedures without a stamp or with one that no longer matches (status 1 when any, 2 when a file cannot be read)",
         {{"FILE", "files", kSourcesHelp}},
         {kModuleHeader,
          {"--public-only", nullptr, "only Public and Friend procedures, and those without a scope keyword"},
          {"--format", "text|json|sarif", "how the findings are written: text (the default), json or sarif"},
          {"--staged", nullptr, "checks what the next commit holds: the staged VB6 sources, as the index has them"},
          {"--baseline", "FILE", "only findings that FILE does not hold count"},
          {"--write-baseline", "FILE", "writes the findings to FILE, to be given to --baseline later"}},
         OptionSet::Store | OptionSet::Encoding | OptionSet::Verbosity,
         [](const Arguments& a) {
             return CommandCheck({a.common, a.files, a.moduleHeader, a.publicOnly, a.format.empty() ? "text" : a.format, a.staged,
                                  a.baseline, a.writeBaseline});
         }},
        {"refresh",
         "makes the function-name, argument and return-value lines of existing stamps again, keeping what was written",
         {{"FILE", "files", kSourcesHelp, true}},
         {kWrite, kDiff, kPatch},
         OptionSet::Store | OptionSet::Dates | OptionSet::Encoding | OptionSet::PersonalNames | OptionSet::Verbosity,
         [](const Arguments& a) {
             return CommandRefresh({a.common, a.files, a.write, a.diff, a.patch});
         }},
        {"settings",
         "the stored values: init [FILE] | list | show | get NAME | set NAME VALUE | reset | export FILE | import FILE",
         {{"VERB", "verb", "init, list, show, get, set, reset, export or import", true},
          {"NAME", "values", "NAME, or the FILE of init, export and import"},
          {"VALUE", "values", "the VALUE of set; one that starts with \"-\" goes after \"--\""}},
         {{"--force", nullptr, "set: stores a format value that the wizard would refuse; init: replaces an existing file"},
          {"--user", nullptr, "your own store, wherever the command runs (not the team file)"}},
         OptionSet::Store | OptionSet::Dates | OptionSet::Verbosity,
         [](const Arguments& a) {
             return CommandSettings({a.common, a.verb, a.values, a.force, a.user});
         }},
        {"hook",
         "install: writes the repository's pre-commit hook, which runs \"check --staged\"",
         {{"VERB", "verb", "install", true}},
         {},
         0,
         [](const Arguments& a) { return CommandHook({a.verb}); }},
        {"preview",
         "both stamps, with the stored format, on a sample procedure",
         {},
         {},
         OptionSet::Store | OptionSet::Dates | OptionSet::PersonalNames | OptionSet::Verbosity,
         [](const Arguments& a) { return CommandPreview({a.common}); }},
        {"doc",
         "a reference of the procedures and their stamps: a site to browse and search, JSON or Markdown",
         {{"FILE", "files", kSourcesHelp, true}},
         {{"--output", "DIR", "the folder it goes to; one that holds other files is refused unless --force"},
          {"--format", "html|json|markdown", "html (a site, the default), json (quillmark-doc.json) or markdown (a page per module)"},
          {"--public-only", nullptr, "leaves out Private procedures, and modules with nothing else"},
          {"--force", nullptr, "replaces an output folder that holds other files"}},
         OptionSet::Store | OptionSet::Dates | OptionSet::Encoding | OptionSet::Verbosity,
         [](const Arguments& a) {
             return CommandDoc({a.common, a.files, a.output, a.format.empty() ? "html" : a.format, a.publicOnly, a.force});
         }},
        {"lsp",
         "the language server: stamps, edit-record stamps, refreshes and check in an editor, over standard input and output",
         {},
         {},
         0,
         [](const Arguments&) { return RunLanguageServer(); }},
        {"help",
         "the options of a command",
         {{"COMMAND", "topic", "stamp, mark, check, refresh, settings, hook, preview, doc or lsp"}},
         {},
         0,
         nullptr},
    };
    return table;
}

const CommandEntry* FindCommand(std::string_view name) {
    const auto& table = CommandTable();
    const auto it = std::find_if(table.begin(), table.end(), [&](const CommandEntry& c) { return name == c.name; });
    return it == table.end() ? nullptr : &*it;
}

std::vector<OptionEntry> AllOptions(const CommandEntry& command) {
    std::vector<OptionEntry> all = command.options;
    const auto has = [&](OptionSet set) { return (command.sets & static_cast<unsigned>(set)) != 0; };
    if (has(OptionSet::Store)) all.push_back(kSettings);
    if (has(OptionSet::Dates)) all.push_back(kNow);
    if (has(OptionSet::Encoding)) all.push_back(kEncoding);
    if (has(OptionSet::PersonalNames)) {
        all.push_back(kAuthor);
        all.push_back(kEditor);
    }
    if (has(OptionSet::Verbosity)) {
        all.push_back(kQuiet);
        all.push_back(kVerbose);
    }
    return all;
}

std::string NearestName(std::string_view typed, const std::vector<std::string>& names) {
    const auto folded = [](std::string_view text) {
        std::string out(text);
        for (char& c : out) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        return out;
    };
    const std::string word = folded(typed);
    std::string best;
    std::size_t bestScore = 0;
    for (const std::string& original : names) {
        const std::string name = folded(original);
        // Optimal string alignment distance over three rows.
        const std::size_t n = word.size();
        const std::size_t m = name.size();
        std::vector<std::size_t> before(m + 1);
        std::vector<std::size_t> previous(m + 1);
        std::vector<std::size_t> current(m + 1);
        for (std::size_t j = 0; j <= m; ++j) previous[j] = j;
        for (std::size_t i = 1; i <= n; ++i) {
            current[0] = i;
            for (std::size_t j = 1; j <= m; ++j) {
                const std::size_t change = word[i - 1] == name[j - 1] ? 0 : 1;
                current[j] = std::min({previous[j] + 1, current[j - 1] + 1, previous[j - 1] + change});
                if (i > 1 && j > 1 && word[i - 1] == name[j - 2] && word[i - 2] == name[j - 1]) {
                    current[j] = std::min(current[j], before[j - 2] + 1);
                }
            }
            before.swap(previous);
            previous.swap(current);
        }
        // The start of a name (an abbreviation) comes right after the name itself.
        const bool start = !word.empty() && name.compare(0, word.size(), word) == 0 && name != word;
        const std::size_t score = start ? 1 : 2 * previous[m];
        if (best.empty() || score < bestScore) {
            best = original;
            bestScore = score;
        }
    }
    return best;
}

Field FieldOf(Arguments& a, std::string_view name) {
    if (name == "--settings") return &a.common.settings;
    if (name == "--now") return &a.common.now;
    if (name == "--encoding") return &a.common.encoding;
    if (name == "--author") return &a.common.author;
    if (name == "--editor") return &a.common.editor;
    if (name == "--line") return &a.line;
    if (name == "--all") return &a.all;
    if (name == "--module-header") return &a.moduleHeader;
    if (name == "--public-only") return &a.publicOnly;
    if (name == "--write") return &a.write;
    if (name == "--diff") return &a.diff;
    if (name == "--patch") return &a.patch;
    if (name == "--undated") return &a.undated;
    if (name == "--force") return &a.force;
    if (name == "--user") return &a.user;
    if (name == "--quiet") return &a.common.quiet;
    if (name == "--verbose") return &a.common.verbose;
    if (name == "--format") return &a.format;
    if (name == "--with-house-headers") return &a.withHouseHeaders;
    if (name == "--staged") return &a.staged;
    if (name == "--baseline") return &a.baseline;
    if (name == "--write-baseline") return &a.writeBaseline;
    if (name == "--output") return &a.output;
    if (name == "--from") return &a.from;
    if (name == "--to") return &a.to;
    if (name == "files") return &a.files;
    if (name == "file") return &a.file;
    if (name == "verb") return &a.verb;
    if (name == "values") return &a.values;
    if (name == "topic") return &a.topic;
    return {};
}

}  // namespace qm::cli
