#pragma once
// The commands of quillmark as one table: names, one-line help, arguments, options and handlers. The
// parser and "quillmark help" are made from it; the manual page and the bash completion are checked
// against it.
#include <limits>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "cli/common.h"

namespace qm::cli {

// --line not given.
inline constexpr int kNoLine = std::numeric_limits<int>::min();

// Every argument and option of every command, as the command line gives them.
struct Arguments {
    CommonOptions common;
    std::vector<std::string> files;   // FILE...
    std::string file;                 // the one FILE of mark
    std::string from;                 // --from
    std::string to;                   // --to
    int line = kNoLine;               // --line
    bool all = false;                 // --all
    bool moduleHeader = false;        // --module-header
    bool publicOnly = false;          // --public-only
    bool write = false;               // --write
    bool diff = false;                // --diff
    bool withHouseHeaders = false;    // --with-house-headers
    bool staged = false;              // --staged
    std::string baseline;             // --baseline
    std::string writeBaseline;        // --write-baseline
    bool patch = false;               // --patch
    bool undated = false;             // --undated
    bool force = false;               // --force
    bool user = false;                // --user
    std::string format;               // --format; each command has its own default
    std::string output;               // --output
    std::string verb;                 // settings VERB
    std::vector<std::string> values;  // settings NAME|FILE and VALUE, as far as given
    std::string topic;                // help COMMAND
};

// The options that several commands share, by what they are for.
enum class OptionSet : unsigned {
    Store = 1,          // --settings
    Dates = 2,          // --now
    Encoding = 4,       // --encoding
    PersonalNames = 8,  // --author, --editor
    Verbosity = 16,     // -q/--quiet, -v/--verbose
};
constexpr unsigned operator|(OptionSet a, OptionSet b) { return static_cast<unsigned>(a) | static_cast<unsigned>(b); }
constexpr unsigned operator|(unsigned a, OptionSet b) { return a | static_cast<unsigned>(b); }

struct OptionEntry {
    const char* name;   // "--line"
    const char* value;  // what it takes ("N"), nullptr for a flag
    const char* help;
    const char* letter = nullptr;  // the short form ("-q"), if any
};

// An argument given by its place: field names where it goes (FieldOf); "values" appends.
struct PositionalEntry {
    const char* name;  // as help shows it: "FILE"
    const char* field;
    const char* help;
    bool required = false;
};

struct CommandEntry {
    const char* name;
    const char* help;
    std::vector<PositionalEntry> positionals;
    std::vector<OptionEntry> options;        // its own, in the order help shows them
    unsigned sets = 0;                       // OptionSet bits
    int (*run)(const Arguments&) = nullptr;  // nullptr: the parser answers it (help)
};

const std::vector<CommandEntry>& CommandTable();
const CommandEntry* FindCommand(std::string_view name);
// The options of a command: its own, then those of its sets.
std::vector<OptionEntry> AllOptions(const CommandEntry& command);

// Of the names, the one nearest to a mistyped word, letter case aside: the name it is the start of, or
// the one with the fewest letters added, dropped, changed or two swapped; the first of equals. Empty
// when there are no names.
std::string NearestName(std::string_view word, const std::vector<std::string>& names);

// Where the parser puts an option's or a positional argument's value.
using Field = std::variant<std::monostate, bool*, int*, std::string*, std::vector<std::string>*>;
Field FieldOf(Arguments& arguments, std::string_view name);

}  // namespace qm::cli
