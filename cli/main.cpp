// quillmark: the add-in's stamps and stored format, applied to VB6 source files and projects.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "platform/text.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>

#include "platform/win32/wide.h"
#endif

namespace qm::cli {
namespace {

constexpr const char* kVersion = "quillmark 1.0 (Wek Quillmark for VB6 Ver1.0)";
constexpr const char* kCommands[] = {"stamp", "mark", "check", "refresh", "settings", "preview"};

void AddCommon(CLI::App& command, CommonOptions& common, bool dates, bool files, bool personal) {
    command.add_option("--settings", common.settings,
                       "the settings store, a registry file (default: $QUILLMARK_SETTINGS, "
                       ".quillmark.reg here or above, else the user's own store)");
    if (dates) command.add_option("--now", common.now, "fixes the clock: \"YYYY-MM-DD HH:MM:SS\"");
    if (files) command.add_option("--encoding", common.encoding, "cp932 (as VB6 saves its files) or utf-8")->capture_default_str();
    if (personal) {
        command.add_option("--author", common.author, "the text of every author item ($QUILLMARK_AUTHOR)");
        command.add_option("--editor", common.editor, "the name in the edit-record stamp ($QUILLMARK_EDITOR)");
    }
}

// The command a usage error is about: the first argument that names one.
std::string CommandOf(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        for (const char* c : kCommands) {
            if (std::string(argv[i]) == c) return c;
        }
    }
    return {};
}

int Run(int argc, char** argv) {
    CLI::App app{"quillmark: the stamps of Wek Quillmark for VB6 on VB6 source files and projects.", "quillmark"};
    app.set_version_flag("--version", kVersion);
    app.require_subcommand(0, 1);
    app.set_help_all_flag("--help-all", "every command's options");

    StampOptions stamp;
    auto* s = app.add_subcommand("stamp", "the function-description stamp at a line, or on every procedure without one");
    s->add_option("FILE", stamp.files, "VB6 source files (.bas .cls .frm .ctl .pag .dob .dsr) and projects (.vbp)")->required();
    s->add_option("--line", stamp.line, "stamps what the button stamps with the caret on this line (one FILE)")->check(CLI::PositiveNumber);
    s->add_flag("--all", stamp.all, "stamps every procedure that has no stamp yet");
    s->add_flag("--module-header", stamp.moduleHeader, "with --all: also the module header when the module has none");
    s->add_flag("--write", stamp.write, "replaces the files");
    s->add_flag("--diff", stamp.diff, "shows what --write would change, and writes nothing");
    AddCommon(*s, stamp.common, true, true, true);

    MarkOptions mark;
    auto* m = app.add_subcommand("mark", "the edit-record stamp around a selection");
    m->add_option("FILE", mark.file, "a VB6 source file")->required();
    m->add_option("--from", mark.from, "L[:C]: where the selection starts")->required();
    m->add_option("--to", mark.to, "L[:C]: where it ends (the same place when left out)");
    m->add_flag("--write", mark.write, "replaces the file");
    m->add_flag("--diff", mark.diff, "shows what --write would change, and writes nothing");
    AddCommon(*m, mark.common, true, true, true);

    CheckOptions check;
    auto* c = app.add_subcommand("check", "lists procedures without a stamp or with one that no longer matches (status 1 when any)");
    c->add_option("FILE", check.files, "VB6 source files and projects (.vbp)")->required();
    c->add_flag("--module-header", check.moduleHeader, "also lists modules without a header");
    c->add_flag("--public-only", check.publicOnly, "only Public and Friend procedures, and those without a scope keyword");
    AddCommon(*c, check.common, false, true, false);

    RefreshOptions refresh;
    auto* r =
        app.add_subcommand("refresh", "makes the function-name and argument lines of existing stamps again, keeping what was written");
    r->add_option("FILE", refresh.files, "VB6 source files and projects (.vbp)")->required();
    r->add_flag("--write", refresh.write, "replaces the files");
    r->add_flag("--diff", refresh.diff, "shows what --write would change, and writes nothing");
    AddCommon(*r, refresh.common, true, true, true);

    SettingsOptions settings;
    auto* g =
        app.add_subcommand("settings", "the stored values: list | show | get NAME | set NAME VALUE | reset | export FILE | import FILE");
    g->add_option("VERB", settings.verb, "list, show, get, set, reset, export or import")->required();
    // Two plain values (a list would read "[...]" as several): NAME or FILE, and VALUE.
    std::string first;
    std::string second;
    auto* firstArgument = g->add_option("NAME", first, "NAME, or the FILE of export and import");
    auto* secondArgument = g->add_option("VALUE", second, "the VALUE of set; one that starts with \"-\" goes after \"--\"");
    g->add_flag("--force", settings.force, "set: stores a format value that the wizard would refuse");
    AddCommon(*g, settings.common, false, false, false);

    PreviewOptions preview;
    auto* p = app.add_subcommand("preview", "both stamps, with the stored format, on a sample procedure");
    AddCommon(*p, preview.common, true, false, true);

    std::string helpOn;
    auto* h = app.add_subcommand("help", "the options of a command");
    h->add_option("COMMAND", helpOn, "stamp, mark, check, refresh, settings or preview");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0) return app.exit(e);  // --help and --version, on standard output
        const std::string command = CommandOf(argc, argv);
        const std::string what = e.what();
        const bool extra = dynamic_cast<const CLI::ExtrasError*>(&e) != nullptr;
        const bool option = extra && what.find(": --") != std::string::npos;
        std::cerr << "quillmark" << (command.empty() ? "" : " " + command) << ": "
                  << (option ? "an option that does not apply here: " + what.substr(what.find(": --") + 2) : what) << '\n'
                  << (extra && !option ? "A value that starts with \"-\" goes after \"--\". " : "") << "Run \"quillmark help"
                  << (command.empty() ? "" : " " + command) << "\" for the options.\n";
        return 2;
    }
    if (*h) {
        if (helpOn.empty()) {
            std::cout << app.help();
            return 0;
        }
        CLI::App* target = nullptr;
        try {
            target = app.get_subcommand(helpOn);
        } catch (const CLI::OptionNotFound&) {
        }
        if (target == nullptr || target == h) {
            std::cerr << "quillmark help: no command \"" << helpOn << "\"\nRun \"quillmark --help\" for the commands.\n";
            return 2;
        }
        std::cout << target->help();
        return 0;
    }
    if (*s) return CommandStamp(stamp);
    if (*m) return CommandMark(mark);
    if (*c) return CommandCheck(check);
    if (*r) return CommandRefresh(refresh);
    if (*g) {
        if (firstArgument->count() > 0) settings.arguments.push_back(first);
        if (secondArgument->count() > 0) settings.arguments.push_back(second);
        return CommandSettings(settings);
    }
    if (*p) return CommandPreview(preview);
    std::cout << app.help();
    return 0;
}

}  // namespace
}  // namespace qm::cli

namespace {
int Main(int argc, char** argv) {
    const std::string command = qm::cli::CommandOf(argc, argv);
    try {
        return qm::cli::Run(argc, argv);
    } catch (const qm::cli::UsageError& e) {
        std::cerr << "quillmark" << (command.empty() ? "" : " " + command) << ": " << qm::cli::Printable(e.message) << '\n'
                  << "Run \"quillmark help" << (command.empty() ? "" : " " + command) << "\" for the options.\n";
        return 2;
    } catch (const qm::cli::Failure& e) {
        std::cerr << "quillmark: " << qm::cli::Printable(e.message) << '\n';
        return 1;
    } catch (const std::exception& e) {
        std::cerr << "quillmark: " << qm::cli::Printable(e.what()) << '\n';
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
    for (int i = 0; i < argc; ++i) args.push_back(qm::Utf16ToUtf8(qm::win32::FromWide(argv[i])));
    std::vector<char*> pointers;
    for (auto& a : args) pointers.push_back(a.data());
    pointers.push_back(nullptr);
    return Main(argc, pointers.data());
}
#else
int main(int argc, char** argv) { return Main(argc, argv); }
#endif
