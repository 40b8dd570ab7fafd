// quillmark doc over a project of 500 stamped modules, 1,000,000 lines in all, beside check over the
// same project: the documentation may take at most five times what check takes.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

// A module of about `lines` lines whose procedures carry filled-in stamps and call each other.
void WriteModule(const fs::path& path, int module, std::int64_t lines) {
    std::ofstream out(path, std::ios::binary);
    out << "Attribute VB_Name = \"M" << module << "\"\r\n' @(h) M" << module
        << ".bas                     ver 1.0 ( '24.04.01 USERNAME )\r\n'\r\n' @(s)\r\n' 生成したモジュール\r\n'\r\nOption Explicit\r\n";
    std::int64_t written = 7;
    for (int p = 0; written < lines; ++p) {
        const std::string name = "P" + std::to_string(module) + "_" + std::to_string(p);
        out << "\r\n'" << std::string(78, '-') << "\r\n' @(f)\r\n'\r\n' 関数名　: " << name << "\r\n'\r\n' 機能　　: 金額に税を加える。"
            << (p > 0 ? "P" + std::to_string(module) + "_" + std::to_string(p - 1) + " を使う" : std::string()) << "\r\n'\r\n"
            << "' 引数　　: a - 金額\r\n' 　　　　  b - 税率\r\n'\r\n' 戻り値　: 税込みの金額\r\n'\r\n'" << std::string(78, '-') << "\r\n"
            << "Public Function " << name << "(ByVal a As Long, ByVal b As String) As Long\r\n";
        for (int i = 0; i < 3; ++i)
            out << "    " << name << " = a * " << i
                << (p > 0 ? " + P" + std::to_string(module) + "_" + std::to_string(p - 1) + "(a, b)" : "") << "\r\n";
        out << "End Function\r\n";
        written += 20;
    }
}

double Seconds(const std::string& command) {
    const auto start = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) == -1) return -1;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_DocProject(benchmark::State& state) {
    const fs::path dir = fs::temp_directory_path() / "qm-bench-doc";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const auto modules = state.range(0);
    {
        std::ofstream project(dir / "Big.vbp", std::ios::binary);
        for (std::int64_t m = 0; m < modules; ++m) {
            project << "Module=M" << m << "; M" << m << ".bas\r\n";
            WriteModule(dir / ("M" + std::to_string(m) + ".bas"), static_cast<int>(m), 1000000 / modules);
        }
        project << "Name=\"Big\"\r\n";
    }
    { std::ofstream(dir / "s.reg", std::ios::binary) << "REGEDIT4\r\n\r\n"; }
    const std::string common = " " + (dir / "Big.vbp").string() + " --settings " + (dir / "s.reg").string() + " --encoding utf-8";
    const std::string check = std::string(QUILLMARK_EXE) + " check" + common + " >/dev/null";
    const std::string doc = std::string(QUILLMARK_EXE) + " doc" + common + " --output " + (dir / "site").string() + " >/dev/null";
    double checkSeconds = 0;
    double docSeconds = 0;
    for (auto _ : state) {
        checkSeconds += Seconds(check);
        const double d = Seconds(doc);
        docSeconds += d;
        state.SetIterationTime(d);
    }
    state.counters["check_s"] = checkSeconds / static_cast<double>(state.iterations());
    state.counters["doc_s"] = docSeconds / static_cast<double>(state.iterations());
    state.counters["doc_per_check"] = docSeconds / checkSeconds;
    if (docSeconds > 5 * checkSeconds) {
        static std::string message;
        message = "doc took " + std::to_string(docSeconds / checkSeconds) + " times what check takes (goal: at most 5)";
        state.SkipWithError(message.c_str());
    }
    fs::remove_all(dir);
}
BENCHMARK(BM_DocProject)->Arg(500)->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime();

}  // namespace
