// Inputs no user writes but a damaged file or store may hold: each must finish well under a second.
#include <benchmark/benchmark.h>

#include <string>

#include "addin/settings/format_model.h"
#include "addin/settings/settings_store.h"
#include "addin/stamps/function_stamp.h"
#include "platform/sim/text_code_module.h"
#include "platform/sim/regfile.h"
#include "platform/sim/registry_memory.h"
#include "platform/text.h"

namespace {

struct Engine {
    std::unique_ptr<qm::Codepage> codepage = qm::MakeCp932Codepage();
    qm::MemoryRegistry registry;
    qm::SettingsStore store{registry, *codepage};
};

void Stamp(benchmark::State& state, const std::vector<std::u16string>& lines, std::int32_t caret, const qm::FormatModel& model,
           const qm::Codepage& codepage) {
    for (auto _ : state) {
        state.PauseTiming();
        qm::ide::TextCodeModule module(lines);
        qm::ide::TextCodePane pane(module);
        pane.SetSelection({caret, 1, caret, 1});
        state.ResumeTiming();
        qm::RunFunctionStamp(pane, qm::StampContext{model, {2026, 12, 7, 10, 0, 0}, codepage});
        benchmark::DoNotOptimize(module.CountOfLines());
    }
}

// A declaration over 100,000 continuation lines, stamped with the caret in its body.
void BM_ContinuationLines(benchmark::State& state) {
    Engine engine;
    std::vector<std::u16string> lines = {u"Option Explicit", u"Public Sub Long( _"};
    for (std::int64_t i = 0; i < state.range(0); ++i) lines.push_back(u"    ByVal a" + qm::DecimalText(i) + u" As Long, _");
    lines.push_back(u"    ByVal z As Long)");
    lines.push_back(u"    z = 1");
    lines.push_back(u"End Sub");
    const auto caret = static_cast<std::int32_t>(lines.size() - 1);
    Stamp(state, std::move(lines), caret, qm::LoadFormatModel(engine.store), *engine.codepage);
}
BENCHMARK(BM_ContinuationLines)->Arg(100000)->Unit(benchmark::kMillisecond);

// One line of 10 MB: a declaration with a very long parameter list.
void BM_TenMegabyteLine(benchmark::State& state) {
    Engine engine;
    std::u16string line = u"Public Sub Wide(";
    while (line.size() < static_cast<std::size_t>(state.range(0))) line += u"ByVal abcdefgh As Long, ";
    line += u"ByVal z As Long)";
    Stamp(state, {u"Option Explicit", line, u"    z = 1", u"End Sub"}, 3, qm::LoadFormatModel(engine.store), *engine.codepage);
}
BENCHMARK(BM_TenMegabyteLine)->Arg(10 << 20)->Unit(benchmark::kMillisecond);

// Stored values of 1 MB: nested brackets for the custom items, groups without an end for the
// display order, and a ruler count far beyond what the wizard lets through; loaded and stamped.
void BM_MegabyteStoredValues(benchmark::State& state) {
    Engine engine;
    const auto size = static_cast<std::size_t>(state.range(0));
    engine.store.ReadSettingString(u"EditStamp", u"");  // lays down the initial values
    engine.store.WriteSettingString(u"CustomFormList", std::u16string(size, u'[') + u"a,5]");
    std::u16string groups;
    while (groups.size() < size) groups += u"[0,0,0,0,0,[1,1";
    engine.store.WriteSettingString(u"SelectDatas", groups);
    engine.store.WriteSettingString(u"ExtendValue", u"1,1,99999999999,-");
    for (auto _ : state) {
        const qm::FormatModel model = qm::LoadFormatModel(engine.store);
        qm::ide::TextCodeModule module({u"Option Explicit", u"Public Sub A()", u"End Sub"});
        qm::ide::TextCodePane pane(module);
        pane.SetSelection({3, 1, 3, 1});
        qm::RunFunctionStamp(pane, qm::StampContext{model, {2026, 12, 7, 10, 0, 0}, *engine.codepage});
        benchmark::DoNotOptimize(module.CountOfLines());
    }
}
BENCHMARK(BM_MegabyteStoredValues)->Arg(1 << 20)->Unit(benchmark::kMillisecond);

// A registry file whose one value runs over 100,000 continuation lines.
void BM_RegistryFileContinuations(benchmark::State& state) {
    auto codepage = qm::MakeCp932Codepage();
    std::string file = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Q]\r\n\"V\"=hex:00";
    for (std::int64_t i = 0; i < state.range(0); ++i) file += ",\\\r\n  41,42";
    file += "\r\n";
    for (auto _ : state) {
        qm::MemoryRegistry registry;
        qm::ImportRegFile(file, *codepage, registry);
        benchmark::DoNotOptimize(registry.Keys().size());
    }
}
BENCHMARK(BM_RegistryFileContinuations)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
