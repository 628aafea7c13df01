// The activity light's share of one evaluation pass: a pass over 10, 100 and 1000 mappings that reports
// to the mapping table, either with every light changing on every state (states alternate between
// active and inactive) or with the lights steady. The pass without a table is the baseline.

#include <QApplication>
#include <QTableWidget>
#include <chrono>

#include <memory>

#include <benchmark/benchmark.h>

#include "MappingEvaluation.h"
#include "RecordingBackend.h"
#include "SenMappingModel.h"
#include "SenMappingView.h"
#include "SenStateRecord.h"

namespace {

struct StateFree {
    void operator()(void* state) const { nxlStateFree(state); }
};
using State = std::unique_ptr<void, StateFree>;

State makeState(bool eyesClosed)
{
    State state(nxlStateCreate());
    const float closure = eyesClosed ? 1.0F : 0.0F;
    Velmor::StateLayout::writeFloat(state.get(), Velmor::StateLayout::kLeftEyeClosure, closure);
    Velmor::StateLayout::writeFloat(state.get(), Velmor::StateLayout::kRightEyeClosure, closure);
    return state;
}

QApplication& application()
{
    static int argc = 1;
    static char name[] = "MappingTableBench";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QApplication(argc, argv);
    }();
    return *app;
}

enum class Report { None, Steady, Toggling };

void runPasses(benchmark::State& bench, Report report)
{
    application();
    const int count = static_cast<int>(bench.range(0));
    RecordingBackend windows;
    SenMappingModel model;
    QTableWidget table;
    SenMappingView view(&table, &model, windows);
    for (int i = 0; i < count; ++i) {
        SenMapping mapping(QStringLiteral("Rule %1").arg(i));
        mapping.addCondition(SenStateCondition(SenAction::Blink));
        // Disabled mappings are reported but emit nothing, so no simulator is needed.
        mapping.setEnabled(false);
        model.addMapping(mapping);
    }
    const State closed = makeState(true);
    const State open = makeState(false);
    const MappingActivityReport toTable = report == Report::None ? MappingActivityReport{} : view.activityReport();

    bool active = false;
    for (auto _ : bench) {
        if (report == Report::Toggling) {
            active = !active;
        }
        evaluateMappings(&model, 0, active ? closed.get() : open.get(), std::chrono::steady_clock::now(), nullptr,
                         toTable);
    }
    bench.SetItemsProcessed(bench.iterations() * count);
}

void BM_PassWithoutTable(benchmark::State& bench)
{
    runPasses(bench, Report::None);
}
void BM_PassLightsSteady(benchmark::State& bench)
{
    runPasses(bench, Report::Steady);
}
void BM_PassLightsToggling(benchmark::State& bench)
{
    runPasses(bench, Report::Toggling);
}

BENCHMARK(BM_PassWithoutTable)->Arg(10)->Arg(100)->Arg(1000);
BENCHMARK(BM_PassLightsSteady)->Arg(10)->Arg(100)->Arg(1000);
BENCHMARK(BM_PassLightsToggling)->Arg(10)->Arg(100)->Arg(1000);

} // namespace
