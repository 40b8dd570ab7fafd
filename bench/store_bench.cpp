// The settings store at the size of a large team's file: reading it grows with the number of keys, and
// an import of many values is one write.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "addin/settings/format_model.h"
#include "addin/settings/settings_store.h"
#include "platform/sim/regfile.h"

namespace {

namespace fs = std::filesystem;

const std::string kAddinKey = "[HKEY_CURRENT_USER\\Software\\Microsoft\\Visual Basic\\6.0\\Addins\\WekQM417.AddInClass]\r\n";

// The add-in's key and `keys` other keys of one value each, as a team keeps its tools' settings in the
// same file (about 45 bytes a key: 20,000 keys make 900 KB).
std::string TeamFile(std::int64_t keys) {
    std::string file = "REGEDIT4\r\n\r\n" + kAddinKey + "\"EditStamp\"=\"1,1,1,1,1,x\"\r\n\"ToolBarPosition\"=dword:00000000\r\n\r\n";
    for (std::int64_t i = 0; i < keys; ++i) {
        file += "[HKEY_CURRENT_USER\\Software\\Team\\K" + std::to_string(i) + "]\r\n\"V\"=\"" + std::to_string(i) + "\"\r\n\r\n";
    }
    return file;
}

// What every command does with the store before its work: the file read, the format loaded, and
// (for settings list and export) every value of the add-in's key.
void BM_ReadStore(benchmark::State& state) {
    const fs::path dir = fs::temp_directory_path() / "qm-bench-store";
    fs::create_directories(dir);
    const std::string path = (dir / "team.reg").string();
    { std::ofstream(path, std::ios::binary) << TeamFile(state.range(0)); }
    const auto codepage = qm::MakeCp932Codepage();
    for (auto _ : state) {
        qm::RegFileRegistry registry(path, *codepage, true);
        qm::SettingsStore store(registry, *codepage);
        benchmark::DoNotOptimize(qm::LoadFormatModel(store).DisplayOrder.size());
        benchmark::DoNotOptimize(store.ListSettings().size());
    }
    state.SetComplexityN(state.range(0));
    fs::remove_all(dir);
}
BENCHMARK(BM_ReadStore)->RangeMultiplier(2)->Range(5000, 20000)->Complexity(benchmark::oN)->Unit(benchmark::kMillisecond);

// quillmark settings import of a file of 10,000 values into a store of 20,000 keys, as a user runs it.
void BM_CommandSettingsImport(benchmark::State& state) {
    const fs::path dir = fs::temp_directory_path() / "qm-bench-import";
    fs::create_directories(dir);
    const std::string store = (dir / "team.reg").string();
    const std::string import = (dir / "import.reg").string();
    const std::string team = TeamFile(20000);
    {
        std::ofstream out(import, std::ios::binary);
        out << "REGEDIT4\r\n\r\n" << kAddinKey;
        for (std::int64_t i = 0; i < state.range(0); ++i) out << "\"Value" << i << "\"=\"text " << i << "\"\r\n";
    }
    const std::string command = std::string(QUILLMARK_EXE) + " settings --settings '" + store + "' import '" + import + "'";
    for (auto _ : state) {
        state.PauseTiming();
        { std::ofstream(store, std::ios::binary) << team; }
        state.ResumeTiming();
        if (std::system(command.c_str()) != 0) state.SkipWithError("quillmark failed");
    }
    fs::remove_all(dir);
}
BENCHMARK(BM_CommandSettingsImport)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

}  // namespace
