#pragma once
// How a command's files are read and go out: printed whole, written or shown as a difference; one
// driver over the files; messages and output lines that no name can break.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/common.h"
#include "cli/source_file.h"
#include "cli/sources.h"
#include "platform/codepage.h"
#include "platform/files.h"

namespace qm::cli {

// How a changed file goes out: printed whole (one file only), written, shown as a unified diff in
// UTF-8 for reading, or as a patch in the file's own bytes for git apply and patch -p1.
enum class Output { Print, Write, Diff, Patch };
Output OutputOf(bool write, bool diff, std::size_t files, bool patch = false);

// The name of a file in the header lines of a patch: "a/" or "b/" and its path from the top of its
// git work tree, or else from the current folder, or else as given.
std::string PatchPath(const std::string& path, char side);

// The files of one command, one after the other. With --write, Ctrl-C and SIGTERM (and closing the
// console on Windows) let the file being written end old or new and stop the pass before the next
// one; the pass then says what it changed and what it did not reach, and the command ends with 130.
// What a pass says besides its errors: with --write one line at its end, the files changed and the
// stamps counted ("3 files changed, 12 stamps added"); with --verbose every file written.
struct PassReport {
    bool quiet = false;
    bool verbose = false;
    const char* unit = "stamp";  // what Count counts
    const char* done = "added";
};

class Pass {
public:
    explicit Pass(Output output, PassReport report = {});
    ~Pass();
    Pass(const Pass&) = delete;
    Pass& operator=(const Pass&) = delete;
    bool Interrupted() const;
    // Prints, shows or writes the file; a write checks first that the file is still the one read.
    void Emit(const Source& source, const std::string& before, const FileStamp& stamp, const SourceFile& file);
    // The account of an interrupted pass, on standard error, from files[next] on; the exit status.
    int Stopped(const std::vector<Source>& files, std::size_t next) const;
    // Stamps made in the file that is emitted next; they count once it is written.
    void Count(int made) { pending_ += made; }
    // The line that ends a --write.
    void Summary() const;

private:
    Output output_;
    PassReport report_;
    int changed_ = 0;
    int pending_ = 0;
    int counted_ = 0;
};

// Refuses bytes that are no VB6 source file as the options read them: NUL bytes anywhere, or text
// that is valid UTF-8 beyond ASCII while code page 932 was not asked for by name.
void RefuseNonSource(const std::string& path, std::string_view bytes, const CommonOptions& options);

// The file read once and decoded; failures name the file. before and stamp, when given, receive the
// bytes and the state of the file as they were, for the difference shown or the write checked; the
// file reads its lines from *before, which must stay as it is while the file lives.
SourceFile LoadSource(const std::string& path, const CommonOptions& options, const Codepage& codepage, std::string* before = nullptr,
                      FileStamp* stamp = nullptr);


// Runs body on each file, one after the other, the one way every command does: a Failure or a
// PlatformError of one file is a problem of that file and the rest are done; with --write an
// interrupt ends the pass before the next file. The problems are reported; the status is 0, 1 when
// a problem was met, 130 when the pass was interrupted.
int RunOverFiles(const std::vector<Source>& files, Pass& pass, std::vector<std::string>& problems,
                 const std::function<void(const Source&)>& body);

}  // namespace qm::cli
