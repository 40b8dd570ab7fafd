// What reviewing a change costs against making it: stamp --all on a large form with --write, --diff
// and --patch; and the peak memory of stamp, check and refresh against the size of the file they
// hold. QM_BENCH_EXE names another build of the command to compare with.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

std::string Exe() {
    const char* other = std::getenv("QM_BENCH_EXE");
    return other != nullptr && *other != '\0' ? other : QUILLMARK_EXE;
}

// A form as VB6 saves it, code page 932 and CR LF: the designer's part, then procedures of about
// forty lines with Japanese comments, none stamped; about `lines` lines in all.
std::string Form(std::int64_t lines) {
    std::string out =
        "VERSION 5.00\r\nBegin VB.Form Form1\r\n   Caption         =   \"Form1\"\r\n   ClientHeight    =   3195\r\n"
        "   Begin VB.CommandButton Command1\r\n      Caption         =   \"OK\"\r\n   End\r\nEnd\r\n"
        "Attribute VB_Name = \"Form1\"\r\nAttribute VB_GlobalNameSpace = False\r\nOption Explicit\r\n";
    std::int64_t count = 11;
    for (int p = 0; count < lines; ++p) {
        const std::string name = "Proc" + std::to_string(p);
        out.append("\r\nPrivate Function ").append(name).append("(ByVal a As Long, ByVal b As String) As Long\r\n");
        out += "    ' \x8f\x88\x97\x9d\x82\xf0\x8d\x73\x82\xa4\r\n";  // 処理を行う
        for (int i = 0; i < 36; ++i)
            out.append("    ").append(name).append(" = ").append(name).append(" + a * ").append(std::to_string(i)).append("\r\n");
        out += "End Function\r\n";
        count += 40;
    }
    return out;
}

// A module of about `lines` short lines, in procedures of six statements, none stamped.
std::string Module(std::int64_t lines) {
    std::string out = "Attribute VB_Name = \"Big\"\r\nOption Explicit\r\n";
    std::int64_t count = 2;
    for (int p = 0; count < lines; ++p) {
        const std::string name = "P" + std::to_string(p);
        out.append("\r\nSub ").append(name).append("(a As Long)\r\n");
        for (int i = 0; i < 6; ++i) out.append("    x = a + ").append(std::to_string(i)).append("\r\n");
        out += "End Sub\r\n";
        count += 9;
    }
    return out;
}

struct Run {
    bool ok = false;
    long peakKilobytes = 0;
};

// The command with its arguments, standard output to /dev/null; its own peak resident size.
// A process that this one starts would count this one's own peak as its own (the child shares or
// copies this process's memory until it runs the command, and Linux keeps the larger peak across
// that), so GNU time, a small process, starts the command and tells its peak.
Run Spawn(const std::vector<std::string>& arguments) {
    Run run;
    static const char* const kTime = "/usr/bin/time";
    if (access(kTime, X_OK) != 0) return run;
    const fs::path report = fs::temp_directory_path() / ("qm-bench-peak-" + std::to_string(getpid()) + ".txt");
    std::vector<std::string> words = {kTime, "-f", "%M", "-o", report.string()};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        if (waitpid(pid, &status, 0) == pid) {
            run.ok = WIFEXITED(status) && WEXITSTATUS(status) <= 1;
            std::ifstream in(report);
            std::string line;
            // A command that ended with a status other than 0 has a line about it first.
            while (std::getline(in, line)) {
                if (!line.empty() && line.find_first_not_of("0123456789") == std::string::npos) run.peakKilobytes = std::stol(line);
            }
            run.ok = run.ok && run.peakKilobytes > 0;
        }
    }
    posix_spawn_file_actions_destroy(&actions);
    fs::remove(report);
    return run;
}

void Prepare(const fs::path& dir, const std::string& name, const std::string& bytes) {
    fs::create_directories(dir);
    std::ofstream(dir / name, std::ios::binary | std::ios::trunc) << bytes;
    std::ofstream(dir / "s.reg", std::ios::binary | std::ios::trunc) << "REGEDIT4\r\n\r\n";
}

// stamp --all on a 12,000-line form: range(0) 0 --write, 1 --diff, 2 --patch.
void BM_ReviewForm(benchmark::State& state) {
    static const char* const kModes[] = {"--write", "--diff", "--patch"};
    const char* mode = kModes[state.range(0)];
    state.SetLabel(mode);
    const fs::path dir = fs::temp_directory_path() / ("qm-bench-review-" + std::to_string(getpid()));
    const std::string form = Form(12000);
    Prepare(dir, "Form1.frm", form);
    const std::vector<std::string> command = {
        Exe(), "stamp", "--settings", (dir / "s.reg").string(), "--all", mode, (dir / "Form1.frm").string()};
    long peak = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::ofstream(dir / "Form1.frm", std::ios::binary | std::ios::trunc) << form;
        state.ResumeTiming();
        const Run run = Spawn(command);
        if (!run.ok) state.SkipWithError("quillmark failed, or /usr/bin/time (GNU time) is missing");
        peak = std::max(peak, run.peakKilobytes);
    }
    state.counters["peak_MB"] = static_cast<double>(peak) / 1024.0;
    fs::remove_all(dir);
}
BENCHMARK(BM_ReviewForm)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

// Peak memory against the file on a 1,000,000-line module: range(0) 0 stamp --all --write, 1 check,
// 2 refresh --write; 3 check and 4 refresh --write on that module once every procedure is stamped;
// 5 check --format sarif (111,111 findings of about 400 bytes each, written as they are found: the
// peak is that of 1). peak_per_file is the peak resident size over the file's size as read;
// peak_per_held over the larger of the file read and the file written (stamp --all makes it grow).
void BM_PeakMemory(benchmark::State& state) {
    static const char* const kCommands[] = {"stamp", "check", "refresh", "check", "refresh", "check"};
    const std::string command = kCommands[state.range(0)];
    const bool stamped = state.range(0) == 3 || state.range(0) == 4;
    const bool sarif = state.range(0) == 5;
    state.SetLabel(stamped ? command + " (stamped)" : sarif ? command + " --format sarif" : command);
    const fs::path dir = fs::temp_directory_path() / ("qm-bench-peak-" + std::to_string(getpid()));
    const fs::path file = dir / "Big.bas";
    const fs::path original = dir / "Big.original";
    Prepare(dir, "Big.original", Module(1000000));
    if (stamped) {
        fs::copy_file(original, file, fs::copy_options::overwrite_existing);
        const Run run = Spawn({Exe(), "stamp", "--settings", (dir / "s.reg").string(), "--all", "--write", file.string()});
        if (!run.ok) state.SkipWithError("quillmark failed, or /usr/bin/time (GNU time) is missing");
        fs::copy_file(file, original, fs::copy_options::overwrite_existing);
    }
    std::vector<std::string> arguments = {Exe(), command, "--settings", (dir / "s.reg").string(), file.string()};
    if (command == "stamp") arguments.emplace_back("--all");
    if (command != "check") arguments.emplace_back("--write");
    if (sarif) arguments.insert(arguments.end(), {"--format", "sarif"});
    long peak = 0;
    std::uintmax_t written = 0;
    for (auto _ : state) {
        // The module is copied from a file, never held here: what this process holds is no part of
        // what is measured, but it is kept small all the same.
        state.PauseTiming();
        fs::copy_file(original, file, fs::copy_options::overwrite_existing);
        state.ResumeTiming();
        const Run run = Spawn(arguments);
        if (!run.ok) state.SkipWithError("quillmark failed, or /usr/bin/time (GNU time) is missing");
        peak = std::max(peak, run.peakKilobytes);
        state.PauseTiming();
        written = fs::file_size(file);
        state.ResumeTiming();
    }
    const auto read = static_cast<double>(fs::file_size(original));
    const double held = std::max(read, static_cast<double>(written));
    state.counters["file_MB"] = read / 1048576.0;
    state.counters["peak_per_held"] = static_cast<double>(peak) * 1024.0 / held;
    state.counters["peak_MB"] = static_cast<double>(peak) / 1024.0;
    state.counters["peak_per_file"] = static_cast<double>(peak) * 1024.0 / read;
    fs::remove_all(dir);
}
BENCHMARK(BM_PeakMemory)->DenseRange(0, 5)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

}  // namespace
