#pragma once
// What quillmark doc documents: the projects and files of the command line, their modules and
// procedures with the stamps read by their layout, and who calls whom inside each project. The site,
// the JSON and the Markdown pages are all written from this one model.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "addin/stamps/stamp_reader.h"
#include "cli/common.h"

namespace qm::cli::doc {

// A procedure of a project: its module and its place in the module.
struct ProcedureRef {
    std::size_t module = 0;
    std::size_t procedure = 0;
    friend bool operator==(const ProcedureRef&, const ProcedureRef&) = default;
};

// A stamp as read, packed into one string: a project holds tens of thousands of them, and the parts
// of a read stamp, each on its own, would take several times the room of their text.
class PackedStamp {
public:
    PackedStamp() = default;
    explicit PackedStamp(const ReadStamp& stamp);
    ReadStamp Unpack() const;

private:
    std::u16string packed_;
};

struct Procedure {
    std::u16string name;
    std::string kind;   // "Sub", "Function", "Property Get", "Property Let", "Property Set"
    std::string scope;  // "Public", "Private", "Friend"; empty when the declaration has no scope keyword
    int line = 0;       // the declaration's line in the file
    std::u16string declaration;
    std::string anchor;  // the name, and for a property "-get", "-let" or "-set"
    bool hasStamp = false;
    PackedStamp stamp;
    std::vector<ProcedureRef> calls;
    std::vector<ProcedureRef> calledBy;
    // The words of its lines (folded, once each, in order of appearance) that may name another
    // procedure; emptied once the calls are found.
    std::vector<std::u16string> words;
};

// Where a module stands: its project in the set and its place in the project.
struct Listing {
    std::size_t project = 0;
    std::size_t module = 0;
};

struct Edit {
    std::u16string editor;
    std::u16string date;
    int firstLine = 0;  // the file's lines between the markers
    int lastLine = 0;   // 0 when the marker is never closed
};

struct Module {
    std::string file;     // as given, or as the project names it, beside the project
    std::string shown;    // as given, or as the project names it
    std::u16string name;  // its VB_Name, else the file's name without extension
    std::string kind;     // as the project window names it: "標準モジュール", "クラス モジュール", ...
    std::string page;     // file name of its page, without folder and extension
    // A file that more than one project lists has one page, written with its first listing; the
    // later listings point to it (listedBefore) and the first knows them (alsoIn), so that its page
    // shows the calls and callers of every project.
    bool listedBefore = false;
    std::vector<Listing> alsoIn;  // each later listing
    std::string identity;         // the file's full path, the same for every listing of it
    std::string problem;          // why it could not be read; empty when it was
    ModuleHeaderRead header;
    std::vector<Edit> edits;
    std::vector<Procedure> procedures;
};

struct Project {
    std::u16string name;  // the project's Name=, else the file's name; "Files" for files given alone
    std::string file;     // the .vbp; empty for files given alone
    std::string page;
    std::vector<Module> modules;
    std::vector<std::string> problems;  // members that could not be taken
};

struct DocSet {
    std::vector<Project> projects;
    std::string date;  // of the run, "YYYY-MM-DD HH:MM"
    bool publicOnly = false;
};

// What the stores say of a file: its code page, and the names under which its format lists arguments.
struct FileFormat {
    const Codepage* codepage = nullptr;
    std::vector<std::u16string> argumentItems;
};
using FormatOfFile = std::function<FileFormat(const std::string& path)>;

// Reads the arguments, each a project or a file (files given alone make one project together). A
// module that cannot be read is kept with its problem; formatOf tells each file's store (and that of
// a project file).
DocSet ReadDocSet(const std::vector<std::string>& arguments, const CommonOptions& options, const FormatOfFile& formatOf, bool publicOnly);

// The names of a module page and of a procedure's anchor as they may stand in a file name and a URL
// fragment (made unique by the caller).
std::string PageName(const std::string& file);

// Fills calls and calledBy from the procedures' words: the module's own procedure of a name comes
// first, else the Public and Friend ones of the other modules.
void FindCalls(Project& project);

}  // namespace qm::cli::doc
