// quillmark: the add-in's stamps and stored format, applied to VB6 source files and projects.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <iostream>
#include <string>
#include <vector>

#include "cli/command_table.h"
#include "cli/commands.h"
#include "platform/text.h"

#ifdef _WIN32
#include "platform/win32/console.h"
#include "platform/win32/dll_search.h"
#include "platform/win32/wide.h"
#endif

namespace qm::cli {
namespace {

constexpr const char* kVersion = "quillmark 1.0 (Wek Quillmark for VB6 Ver1.0)";

// The command a usage error is about: the first argument that names one.
std::string CommandOf(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (const CommandEntry* c = FindCommand(argv[i]); c != nullptr) return c->name;
    }
    return {};
}

// The long names of an option: "-q,--quiet" gives "--quiet".
std::vector<std::string> LongNames(const OptionEntry& option) {
    std::vector<std::string> names;
    std::string_view all = option.name;
    while (!all.empty()) {
        const auto comma = all.find(',');
        const std::string_view one = all.substr(0, comma);
        if (one.size() > 2 && one.substr(0, 2) == "--") names.emplace_back(one);
        all = comma == std::string_view::npos ? std::string_view() : all.substr(comma + 1);
    }
    return names;
}

bool TakesValue(const std::vector<OptionEntry>& options, std::string_view name) {
    return std::any_of(options.begin(), options.end(), [&](const OptionEntry& o) {
        const auto names = LongNames(o);
        return o.value != nullptr && std::find(names.begin(), names.end(), name) != names.end();
    });
}

// A word that is no command, or an option that no command has, is answered with the nearest name;
// an option of another command is left to the parser, which says that it does not apply.
void CheckNames(int argc, char** argv) {
    std::vector<std::string> commandNames;
    std::vector<std::string> everyOption = {"--help", "--version", "--help-all"};
    for (const CommandEntry& c : CommandTable()) {
        commandNames.emplace_back(c.name);
        for (const OptionEntry& o : AllOptions(c)) {
            for (auto& n : LongNames(o)) everyOption.push_back(std::move(n));
        }
    }
    const auto among = [](const std::vector<std::string>& names, std::string_view name) {
        return std::find(names.begin(), names.end(), name) != names.end();
    };
    const CommandEntry* command = nullptr;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--") return;
        const std::string_view name = arg.substr(0, arg.find('='));
        if (command == nullptr) {
            if (arg.empty() || arg.front() == '-') {
                if (arg.size() > 2 && arg.substr(0, 2) == "--" && !among(everyOption, name)) {
                    throw UsageError{"no option " + std::string(name) + "; the nearest is " +
                                     NearestName(name, {"--help", "--version", "--help-all"})};
                }
                continue;
            }
            command = FindCommand(arg);
            if (command == nullptr) {
                throw UsageError{"no command \"" + std::string(arg) + "\"; the nearest is \"" + NearestName(arg, commandNames) + "\""};
            }
            continue;
        }
        if (arg.size() <= 2 || arg.substr(0, 2) != "--") continue;
        const std::vector<OptionEntry> options = AllOptions(*command);
        std::vector<std::string> own = {"--help"};
        for (const OptionEntry& o : options) {
            for (auto& n : LongNames(o)) own.push_back(std::move(n));
        }
        if (among(own, name)) {
            if (name.size() == arg.size() && TakesValue(options, name)) ++i;
            continue;
        }
        if (among(everyOption, name)) continue;
        throw UsageError{"no option " + std::string(name) + "; the nearest is " + NearestName(name, own)};
    }
}

int Run(int argc, char** argv) {
    CheckNames(argc, argv);
    CLI::App app{"quillmark: the stamps of Wek Quillmark for VB6 on VB6 source files and projects.", "quillmark"};
    app.set_version_flag("--version", kVersion);
    app.require_subcommand(0, 1);
    app.set_help_all_flag("--help-all", "every command's options");

    Arguments arguments;
    std::deque<std::string> values;  // settings NAME and VALUE: two plain values (a list would read "[...]" as several)
    std::vector<std::pair<const CommandEntry*, CLI::App*>> commands;
    std::vector<std::pair<CLI::Option*, std::string*>> valueOptions;
    for (const CommandEntry& entry : CommandTable()) {
        CLI::App* command = app.add_subcommand(entry.name, entry.help);
        for (const PositionalEntry& p : entry.positionals) {
            CLI::Option* option = nullptr;
            const Field field = FieldOf(arguments, p.field);
            if (std::holds_alternative<std::vector<std::string>*>(field) &&
                std::get<std::vector<std::string>*>(field) == &arguments.values) {
                std::string& value = values.emplace_back();
                option = command->add_option(p.name, value, p.help);
                valueOptions.emplace_back(option, &value);
            } else if (std::holds_alternative<std::vector<std::string>*>(field)) {
                option = command->add_option(p.name, *std::get<std::vector<std::string>*>(field), p.help);
            } else {
                option = command->add_option(p.name, *std::get<std::string*>(field), p.help);
            }
            if (p.required) option->required();
        }
        for (const OptionEntry& o : AllOptions(entry)) {
            const Field field = FieldOf(arguments, o.name);
            const std::string names = o.letter == nullptr ? std::string(o.name) : std::string(o.letter) + "," + o.name;
            if (std::holds_alternative<bool*>(field)) {
                command->add_flag(names, *std::get<bool*>(field), o.help);
            } else if (std::holds_alternative<int*>(field)) {
                command->add_option(names, *std::get<int*>(field), o.help);
            } else {
                command->add_option(names, *std::get<std::string*>(field), o.help);
            }
        }
        commands.emplace_back(&entry, command);
    }

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0) return app.exit(e);  // --help and --version, on standard output
        const std::string command = CommandOf(argc, argv);
        const std::string what = Printable(e.what());
        const bool extra = dynamic_cast<const CLI::ExtrasError*>(&e) != nullptr;
        const bool option = extra && what.find(": --") != std::string::npos;
        std::cerr << "quillmark" << (command.empty() ? "" : " " + command) << ": "
                  << (option ? "an option that does not apply here: " + what.substr(what.find(": --") + 2) : what) << '\n'
                  << (extra && !option ? "A value that starts with \"-\" goes after \"--\". " : "") << "Run \"quillmark help"
                  << (command.empty() ? "" : " " + command) << "\" for the options.\n";
        return 2;
    }
    for (const auto& [option, value] : valueOptions) {
        if (option->count() > 0) arguments.values.push_back(*value);
    }
    for (const auto& [entry, command] : commands) {
        if (!*command) continue;
        if (entry->run != nullptr) return entry->run(arguments);
        // help [COMMAND]
        if (arguments.topic.empty()) {
            // The whole command's help: app.help() would show the help of "help" itself.
            std::cout << app.get_formatter()->make_help(&app, "quillmark", CLI::AppFormatMode::Normal);
            return 0;
        }
        const CommandEntry* target = FindCommand(arguments.topic);
        if (target == nullptr || target->run == nullptr) {
            std::vector<std::string> names;
            for (const CommandEntry& c : CommandTable()) {
                if (c.run != nullptr) names.emplace_back(c.name);
            }
            std::cerr << "quillmark help: no command \"" << Printable(arguments.topic) << "\"; the nearest is \""
                      << NearestName(arguments.topic, names) << "\"\nRun \"quillmark --help\" for the commands.\n";
            return 2;
        }
        for (const auto& [other, otherCommand] : commands) {
            if (other == target) std::cout << otherCommand->help();
        }
        return 0;
    }
    // No command: the overall help, as a usage error.
    std::cerr << app.get_formatter()->make_help(&app, "quillmark", CLI::AppFormatMode::Normal);
    return 2;
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
    } catch (const qm::cli::Unusable& e) {
        std::cerr << "quillmark: " << qm::cli::Printable(e.message) << '\n';
        return 2;
    } catch (const std::exception& e) {
        std::cerr << "quillmark: " << qm::cli::Printable(e.what()) << '\n';
        return 1;
    }
}
}  // namespace

#ifdef _WIN32
// The arguments arrive as UTF-16 and are handed on as UTF-8, like everywhere else.
int wmain(int argc, wchar_t** argv) {
    // The command is run from wherever it was copied to, in the user's project folders: libraries
    // that the system loads by name come from the system folder only.
    qm::win32::RestrictDllSearch();
    // Text reaches a console as UTF-16 and files and pipes as UTF-8 (or code page 932 when asked).
    std::string warning;
    qm::win32::UseTextStreams(qm::win32::PipeTextFromEnvironment(&warning));
    if (!warning.empty()) std::cerr << "quillmark: " << warning << '\n';
    std::vector<std::string> args;
    for (int i = 0; i < argc; ++i) args.push_back(qm::Utf16ToUtf8(qm::win32::FromWide(argv[i])));
    std::vector<char*> pointers;
    for (auto& a : args) pointers.push_back(a.data());
    pointers.push_back(nullptr);
    const int status = Main(argc, pointers.data());
    std::cout.flush();
    std::cerr.flush();
    return status;
}
#else
int main(int argc, char** argv) { return Main(argc, argv); }
#endif
