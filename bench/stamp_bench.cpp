// How stamping and marking grow with the size of the module, and what the command costs on a large file.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "addin/stamps/edit_stamp.h"
#include "addin/stamps/function_stamp.h"
#include "platform/sim/text_code_module.h"
#include "platform/sim/registry_memory.h"
#include "platform/text.h"

namespace {

// A module of about `lines` lines: declarations, then procedures of ten lines each.
std::vector<std::u16string> Module(std::int64_t lines) {
    std::vector<std::u16string> out = {u"Option Explicit", u"Private total As Long"};
    for (int p = 0; static_cast<std::int64_t>(out.size()) < lines; ++p) {
        const std::u16string name = u"Proc" + qm::DecimalText(p);
        out.push_back(u"");
        out.push_back(u"' " + name);
        out.push_back(u"Public Function " + name + u"(ByVal a As Long, _");
        out.push_back(u"        Optional ByVal b As String = \"x, y\") As Long");
        for (int i = 0; i < 4; ++i) out.push_back(u"    total = total + a * " + qm::DecimalText(i));
        out.push_back(u"End Function");
    }
    return out;
}

struct Engine {
    std::unique_ptr<qm::Codepage> codepage = qm::MakeCp932Codepage();
    qm::MemoryRegistry registry;
    qm::SettingsStore store{registry, *codepage};
    qm::FormatModel model = qm::LoadFormatModel(store);
};

// Runs a button's command on a fresh module of the benchmark's size, timing the command alone.
template <class Command>
void StampInModule(benchmark::State& state, qm::ide::Selection (*selection)(std::int32_t middle), Command command) {
    Engine engine;
    const auto lines = Module(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        qm::ide::TextCodeModule module(lines);
        qm::ide::TextCodePane pane(module);
        pane.SetSelection(selection(static_cast<std::int32_t>(lines.size() / 2)));
        state.ResumeTiming();
        command(pane, qm::StampContext{engine.model, {2026, 12, 7, 10, 0, 0}, *engine.codepage});
        benchmark::DoNotOptimize(module.CountOfLines());
    }
    state.SetComplexityN(state.range(0));
}

void BM_FunctionStamp(benchmark::State& state) {
    StampInModule(
        state,
        [](std::int32_t middle) {
            return qm::ide::Selection{middle, 1, middle, 1};
        },
        qm::RunFunctionStamp);
}
BENCHMARK(BM_FunctionStamp)->RangeMultiplier(10)->Range(1000, 100000)->Complexity(benchmark::oN)->Unit(benchmark::kMillisecond);

void BM_EditStamp(benchmark::State& state) {
    StampInModule(
        state,
        [](std::int32_t middle) {
            return qm::ide::Selection{middle, 5, middle + 20, 1};
        },
        qm::RunEditStamp);
}
BENCHMARK(BM_EditStamp)->RangeMultiplier(10)->Range(1000, 100000)->Complexity(benchmark::oN)->Unit(benchmark::kMillisecond);

// The whole command, as a user runs it, on a generated file.
void BM_CommandStamp(benchmark::State& state) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / "qm-bench";
    fs::create_directories(dir);
    const std::string file = (dir / ("Module" + std::to_string(state.range(0)) + ".bas")).string();
    {
        std::ofstream out(file, std::ios::binary);
        out << "Attribute VB_Name = \"Big\"\r\n";
        for (const auto& line : Module(state.range(0))) out << qm::Utf16ToUtf8(line) << "\r\n";
    }
    { std::ofstream(dir / "s.reg", std::ios::binary) << "REGEDIT4\r\n\r\n"; }
    const std::string command = std::string(QUILLMARK_EXE) + " stamp " + file + " --line " + std::to_string(state.range(0) / 2) +
                                " --settings " + (dir / "s.reg").string() + " >/dev/null";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) state.SkipWithError("quillmark failed");
    }
    state.SetComplexityN(state.range(0));
    fs::remove(file);
}
BENCHMARK(BM_CommandStamp)
    ->Arg(100000)
    ->Arg(300000)
    ->Arg(1000000)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();

// check over a project of 500 modules, 1,000,000 lines in all, as a CI job runs it.
void BM_CommandCheckProject(benchmark::State& state) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / "qm-bench-project";
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::ofstream project(dir / "Big.vbp", std::ios::binary);
    const auto modules = state.range(0);
    const auto lines = Module(1000000 / modules);
    for (std::int64_t m = 0; m < modules; ++m) {
        const std::string name = "Module" + std::to_string(m) + ".bas";
        project << "Module=M" << m << "; " << name << "\r\n";
        std::ofstream out(dir / name, std::ios::binary);
        out << "Attribute VB_Name = \"M" << m << "\"\r\n";
        for (const auto& line : lines) out << qm::Utf16ToUtf8(line) << "\r\n";
    }
    project.close();
    { std::ofstream(dir / "s.reg", std::ios::binary) << "REGEDIT4\r\n\r\n"; }
    const std::string command =
        std::string(QUILLMARK_EXE) + " check " + (dir / "Big.vbp").string() + " --settings " + (dir / "s.reg").string() + " >/dev/null";
    for (auto _ : state) {
        // Status 1: every procedure lacks a stamp, which is what is measured.
        if (std::system(command.c_str()) == -1) state.SkipWithError("quillmark failed");
    }
    fs::remove_all(dir);
}
BENCHMARK(BM_CommandCheckProject)->Arg(500)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
