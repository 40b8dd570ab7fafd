#include "cli/output.h"

#include <atomic>
#include <cstdint>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>

#include "addin/settings/format_rules.h"
#include "cli/diff.h"
#include "platform/failure.h"
#include "platform/text.h"

#ifdef _WIN32
#include <windows.h>

#include "platform/win32/console.h"
#endif

namespace qm::cli {

Output OutputOf(bool write, bool diff, std::size_t files, bool patch) {
    if (write && (diff || patch)) {
        throw UsageError{std::string("--write and ") + (diff ? "--diff" : "--patch") +
                         " go one at a time: " + (diff ? "--diff" : "--patch") + " shows what --write would do"};
    }
    if (diff && patch) throw UsageError{"--diff and --patch go one at a time: --diff is for reading, --patch for git apply or patch -p1"};
    if (diff) return Output::Diff;
    if (patch) return Output::Patch;
    if (write) return Output::Write;
    if (files > 1) throw UsageError{"the result of several files cannot be printed: give --write, --diff or --patch"};
    return Output::Print;
}

namespace {

// A file printed whole goes to a file or pipe byte for byte, to be saved as it is; a Windows console
// shows it as text.
void PrintFileBytes(const std::string& bytes, const SourceFile& file) {
#ifdef _WIN32
    if (win32::StdoutIsConsole()) {
        std::string text;
        file.AppendUtf8(bytes, text);
        std::cout << text << std::flush;
    } else {
        win32::WriteStdoutBytes(bytes);
    }
#else
    (void)file;
    std::cout.flush();
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    std::fflush(stdout);
#endif
}

// The file's new text printed whole; to a file or pipe a line at a time, never held whole.
void PrintFile(const SourceFile& file) {
#ifdef _WIN32
    PrintFileBytes(file.Render(), file);
#else
    std::cout.flush();
    file.RenderTo([](std::string_view piece) { std::fwrite(piece.data(), 1, piece.size(), stdout); });
    std::fflush(stdout);
#endif
}

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

Pass::Pass(Output output, PassReport report) : output_(output), report_(report) {
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
    const int made = pending_;
    pending_ = 0;
    // Nothing to write is known without making the text again.
    if (output_ == Output::Write && file.Unchanged()) return;
    switch (output_) {
        case Output::Print:
            PrintFile(file);
            return;
        case Output::Diff: {
            const std::string shown = Printable(source.path);
            const std::string diff = UnifiedDiff(shown, shown, before, file.Render(), file.LinesAfter(),
                                                 [&](std::string_view line, std::string& out) { file.AppendUtf8(line, out); });
            std::cout << diff << std::flush;
            return;
        }
        case Output::Patch: {
            // The file's own bytes: to a file or pipe as they are, to a console as text.
            const std::string diff = UnifiedDiff(PatchPath(source.path, 'a'), PatchPath(source.path, 'b'), before, file.Render(),
                                                 file.LinesAfter(), [](std::string_view line, std::string& out) { out += line; });
            PrintFileBytes(diff, file);
            return;
        }
        case Output::Write: {
            if (file.RendersAs(before)) return;
            if (const auto refusal = WriteRefusal(source)) throw Failure{source.path + ": " + *refusal};
            const AsRead asRead{stamp, before};
            try {
                // Line by line from what the file is made of: the new text is never held whole.
                WriteFileAtomically(source.path, FilePieces([&](const std::function<void(std::string_view)>& put) { file.RenderTo(put); }),
                                    &asRead);
            } catch (const FileChangedError& e) {
                throw Failure{source.path + ": " + e.what()};
            } catch (const PlatformError& e) {
                throw Failure{source.path + ": cannot write: " + e.what()};
            }
            ++changed_;
            counted_ += made;
            if (report_.verbose && !report_.quiet) std::cerr << "quillmark: wrote " << Printable(source.path) << '\n';
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

void Pass::Summary() const {
    if (output_ != Output::Write || report_.quiet) return;
    std::cerr << "quillmark: " << changed_ << (changed_ == 1 ? " file" : " files") << " changed, " << counted_ << ' ' << report_.unit
              << (counted_ == 1 ? " " : "s ") << report_.done << '\n';
}

namespace {

// The line (from 1) of a byte of the file.
std::size_t LineOfByte(std::string_view bytes, std::size_t at) {
    std::size_t line = 1;
    for (std::size_t i = 0; i < at; ++i) line += bytes[i] == '\n' ? 1 : 0;
    return line;
}

// Bytes that hold characters beyond ASCII and are valid UTF-8 throughout.
bool IsUtf8BeyondAscii(std::string_view bytes) {
    bool beyond = false;
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t length = DecodeUtf8(bytes, i).length;
        if (length == 0) return false;
        beyond = beyond || length > 1;
        i += length;
    }
    return beyond;
}

}  // namespace

std::string PatchPath(const std::string& path, char side) {
    namespace fs = std::filesystem;
    std::error_code ec;
    // Paths are UTF-8 in the program, whatever the system's own code page.
    const fs::path given(std::u8string(path.begin(), path.end()));
    const fs::path absolute = fs::absolute(given, ec).lexically_normal();
    fs::path name = given;
    if (!ec) {
        // The work tree of git around the file, found without following links, as git apply sees it.
        for (fs::path folder = absolute.parent_path();; folder = folder.parent_path()) {
            if (fs::exists(folder / ".git", ec)) {
                name = absolute.lexically_relative(folder);
                break;
            }
            if (!folder.has_parent_path() || folder.parent_path() == folder) {
                const fs::path here = fs::current_path(ec);
                const fs::path relative = ec ? fs::path() : absolute.lexically_relative(here);
                if (!relative.empty() && *relative.begin() != "..") name = relative;
                break;
            }
        }
    }
    const std::u8string text = name.generic_u8string();
    return PatchName(std::string(1, side) + "/" + std::string(text.begin(), text.end()));
}

void RefuseNonSource(const std::string& path, std::string_view bytes, const CommonOptions& options) {
    // A form's binary part or any other file that is not text: stamping it would damage it.
    if (const auto nul = bytes.find('\0'); nul != std::string_view::npos) {
        throw Failure{path + ": not a VB6 source file: it holds NUL bytes (line " + std::to_string(LineOfByte(bytes, nul)) +
                      "); nothing was written"};
    }
    // Code page 932 text is hardly ever valid UTF-8 too; a file that is most likely is UTF-8, and
    // reading it as code page 932 would leave a file of two encodings.
    if (FileEncoding(options) == Encoding::Cp932 && !EncodingGiven(options) && IsUtf8BeyondAscii(bytes)) {
        throw Failure{path +
                      ": the file reads as UTF-8: give --encoding utf-8 if it is, or --encoding cp932 if it is code page 932 "
                      "after all; nothing was written"};
    }
}

SourceFile LoadSource(const std::string& path, const CommonOptions& options, const Codepage& codepage, std::string* before,
                      FileStamp* stamp) {
    // The bytes as read are held once: the lines are read from the caller's copy, which the write's
    // check and the difference use too.
    std::string local;
    std::string& bytes = before != nullptr ? *before : local;
    try {
        bytes = ReadWholeFile(path, stamp);
    } catch (const PlatformError& e) {
        throw Failure{path + ": cannot read: " + e.what()};
    }
    RefuseNonSource(path, bytes, options);
    try {
        return before != nullptr ? SourceFile::Over(bytes, FileEncoding(options), codepage)
                                 : SourceFile(bytes, FileEncoding(options), codepage);
    } catch (const SourceError& e) {
        throw Failure{path + ": " + e.what() + " (use --encoding to read it otherwise)"};
    }
}

int RunOverFiles(const std::vector<Source>& files, Pass& pass, std::vector<std::string>& problems,
                 const std::function<void(const Source&)>& body) {
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (pass.Interrupted()) {
            ReportProblems(problems);
            return pass.Stopped(files, i);
        }
        try {
            body(files[i]);
        } catch (const Failure& e) {
            problems.push_back(e.message);
        } catch (const PlatformError& e) {
            problems.push_back(files[i].path + ": " + e.what());
        }
    }
    ReportProblems(problems);
    pass.Summary();
    return problems.empty() ? 0 : 1;
}

}  // namespace qm::cli
