#include "cli/output.h"

#include <atomic>
#include <csignal>
#include <cstdio>
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

Output OutputOf(bool write, bool diff, std::size_t files) {
    if (diff) return Output::Diff;
    if (write) return Output::Write;
    if (files > 1) throw UsageError{"the result of several files cannot be printed: give --write or --diff"};
    return Output::Print;
}

namespace {

// A file printed whole goes to a file or pipe byte for byte, to be saved as it is; a Windows console
// shows it as text.
void PrintFileBytes(const std::string& bytes, const SourceFile& file) {
#ifdef _WIN32
    if (win32::StdoutIsConsole()) {
        std::cout << file.AsUtf8(bytes) << std::flush;
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

Pass::Pass(Output output) : output_(output) {
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
    const std::string after = file.Render();
    switch (output_) {
        case Output::Print:
            PrintFileBytes(after, file);
            return;
        case Output::Diff: {
            const std::string diff = UnifiedDiff(Printable(source.path), file.AsUtf8(before), file.AsUtf8(after));
            std::cout << diff << std::flush;
            return;
        }
        case Output::Write: {
            if (after == before) return;
            if (const auto refusal = WriteRefusal(source)) throw Failure{source.path + ": " + *refusal};
            const AsRead asRead{stamp, before};
            try {
                WriteFileAtomically(source.path, after, &asRead);
            } catch (const FileChangedError& e) {
                throw Failure{source.path + ": " + e.what()};
            } catch (const PlatformError& e) {
                throw Failure{source.path + ": cannot write: " + e.what()};
            }
            ++changed_;
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

SourceFile LoadSource(const std::string& path, const CommonOptions& options, const Codepage& codepage, std::string* before,
                      FileStamp* stamp) {
    std::string bytes;
    try {
        bytes = ReadWholeFile(path, stamp);
    } catch (const PlatformError& e) {
        throw Failure{path + ": cannot read: " + e.what()};
    }
    if (before != nullptr) *before = bytes;
    try {
        return SourceFile(std::move(bytes), FileEncoding(options), codepage);
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
    return problems.empty() ? 0 : 1;
}

}  // namespace qm::cli
