#include "cli/command_table.h"

#include <algorithm>

#include "cli/commands.h"

namespace qm::cli {
namespace {

const OptionEntry kSettings{"--settings", "PATH",
                            "the settings store, a registry file (default: $QUILLMARK_SETTINGS, .quillmark.reg here or above, else the "
                            "user's own store)"};
const OptionEntry kNow{"--now", "\"YYYY-MM-DD HH:MM:SS\"", "fixes the clock"};
const OptionEntry kEncoding{"--encoding", "cp932|utf-8", "how the files are encoded: cp932 (as VB6 saves them, the default) or utf-8"};
const OptionEntry kAuthor{"--author", "NAME", "the text of every author item ($QUILLMARK_AUTHOR)"};
const OptionEntry kEditor{"--editor", "NAME", "the name in the edit-record stamp ($QUILLMARK_EDITOR)"};

const OptionEntry kWrite{"--write", nullptr, "replaces the files"};
const OptionEntry kDiff{"--diff", nullptr, "shows what --write would change, and writes nothing"};
const OptionEntry kModuleHeader{"--module-header", nullptr,
                                "also the module header: stamped when missing (stamp --all), listed when missing (check)"};

constexpr const char* kSourcesHelp = "VB6 source files (.bas .cls .frm .ctl .pag .dob .dsr) and projects (.vbp)";

}  // namespace

const std::vector<CommandEntry>& CommandTable() {
    static const std::vector<CommandEntry> table = {
        {"stamp",
         "the function-description stamp at a line, or on every procedure without one",
         {{"FILE", "files", kSourcesHelp, true}},
         {{"--line", "N", "stamps what the button stamps with the caret on this line (one FILE)", true},
          {"--all", nullptr, "stamps every procedure that has no stamp yet"},
          kModuleHeader,
          kWrite,
          kDiff},
         OptionSet::Store | OptionSet::Dates | OptionSet::Encoding | OptionSet::PersonalNames,
         [](const Arguments& a) {
             return CommandStamp({a.common, a.files, a.line, a.all, a.moduleHeader, a.write, a.diff});
         }},
        {"mark",
         "the edit-record stamp around a selection",
         {{"FILE", "file", "a VB6 source file", true}},
         {{"--from", "L[:C]", "where the selection starts"},
          {"--to", "L[:C]", "where it ends (the same place when left out)"},
          kWrite,
          kDiff},
         OptionSet::Store | OptionSet::Dates | OptionSet::Encoding | OptionSet::PersonalNames,
         [](const Arguments& a) {
             return CommandMark({a.common, a.file, a.from, a.to, a.write, a.diff});
         }},
        {"check",
         "lists procedures without a stamp or with one that no longer matches (status 1 when any, 2 when a file cannot be read)",
         {{"FILE", "files", kSourcesHelp, true}},
         {kModuleHeader,
          {"--public-only", nullptr, "only Public and Friend procedures, and those without a scope keyword"},
          {"--format", "text|json|sarif", "how the findings are written: text (the default), json or sarif"}},
         OptionSet::Store | OptionSet::Encoding,
         [](const Arguments& a) {
             return CommandCheck({a.common, a.files, a.moduleHeader, a.publicOnly, a.format.empty() ? "text" : a.format});
         }},
        {"refresh",
         "makes the function-name and argument lines of existing stamps again, keeping what was written",
         {{"FILE", "files", kSourcesHelp, true}},
         {kWrite, kDiff},
         OptionSet::Store | OptionSet::Dates | OptionSet::Encoding | OptionSet::PersonalNames,
         [](const Arguments& a) {
             return CommandRefresh({a.common, a.files, a.write, a.diff});
         }},
        {"settings",
         "the stored values: list | show | get NAME | set NAME VALUE | reset | export FILE | import FILE",
         {{"VERB", "verb", "list, show, get, set, reset, export or import", true},
          {"NAME", "values", "NAME, or the FILE of export and import"},
          {"VALUE", "values", "the VALUE of set; one that starts with \"-\" goes after \"--\""}},
         {{"--force", nullptr, "set: stores a format value that the wizard would refuse"}},
         static_cast<unsigned>(OptionSet::Store),
         [](const Arguments& a) {
             return CommandSettings({a.common, a.verb, a.values, a.force});
         }},
        {"preview",
         "both stamps, with the stored format, on a sample procedure",
         {},
         {},
         OptionSet::Store | OptionSet::Dates | OptionSet::PersonalNames,
         [](const Arguments& a) { return CommandPreview({a.common}); }},
        {"doc",
         "a reference of the procedures and their stamps: a site to browse and search, JSON or Markdown",
         {{"FILE", "files", kSourcesHelp, true}},
         {{"--output", "DIR", "the folder it goes to; one that holds other files is refused unless --force"},
          {"--format", "html|json|markdown", "html (a site, the default), json (quillmark-doc.json) or markdown (a page per module)"},
          {"--public-only", nullptr, "leaves out Private procedures, and modules with nothing else"},
          {"--force", nullptr, "replaces an output folder that holds other files"}},
         OptionSet::Store | OptionSet::Dates | OptionSet::Encoding,
         [](const Arguments& a) {
             return CommandDoc({a.common, a.files, a.output, a.format.empty() ? "html" : a.format, a.publicOnly, a.force});
         }},
        {"help",
         "the options of a command",
         {{"COMMAND", "topic", "stamp, mark, check, refresh, settings, preview or doc"}},
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
    return all;
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
    if (name == "--force") return &a.force;
    if (name == "--format") return &a.format;
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
