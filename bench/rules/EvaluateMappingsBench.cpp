// One evaluation pass per iteration over models of 10, 1000 and 10000 mappings of three conditions each.
// Nothing reaches the simulator in the timed loop: mappings are inactive, or active with their send-once
// latch already closed.

#include <memory>

#include <benchmark/benchmark.h>

#include "KeyboardEventSimulator.h"
#include "MappingEvaluation.h"
#include "RecordingBackend.h"
#include "SenMappingModel.h"
#include "SenStateRecord.h"

namespace {

using namespace Velmor::StateLayout;

struct StateFree {
    void operator()(void* state) const { nxlStateFree(state); }
};
using State = std::unique_ptr<void, StateFree>;

// Both eyes closed, Push at 0.5, Smile at the given power.
State makeState(float smilePower)
{
    State state(nxlStateCreate());
    writeFloat(state.get(), kLeftEyeClosure, 1.0F);
    writeFloat(state.get(), kRightEyeClosure, 1.0F);
    writeU32(state.get(), kMentrixAction, 2);
    writeFloat(state.get(), kMentrixPower, 0.5F);
    writeU32(state.get(), kLowerFaceBits, 1U << 7U);
    writeFloat(state.get(), kLowerFacePower, smilePower);
    return state;
}

// Blink occurs, Push above 0.2, Smile below `smileBelow`: the third condition decides.
SenMapping makeMapping(int index, float smileBelow)
{
    SenMapping mapping(QStringLiteral("Rule %1").arg(index), nullptr);
    mapping.setKeys(QStringLiteral("a"));
    mapping.addCondition(SenStateCondition(SenAction::Blink, nullptr));
    SenStateCondition push(SenAction::Push, nullptr);
    push.setActionRule(SenActionRule::GreaterThan);
    mapping.addCondition(push);
    SenStateCondition smile(SenAction::Smile, nullptr);
    smile.setActionRule(SenActionRule::LessThan);
    smile.setThreshold(static_cast<double>(smileBelow));
    mapping.addCondition(smile);
    return mapping;
}

void runPasses(benchmark::State& bench, int activeEvery)
{
    const int count = static_cast<int>(bench.range(0));
    RecordingBackend recording;
    KeyboardEventSimulator simulator(recording, recording);
    SenMappingModel model;
    for (int i = 0; i < count; ++i) {
        const bool active = activeEvery > 0 && i % activeEvery == 0;
        model.addMapping(makeMapping(i, active ? 0.9F : 0.1F));
    }
    const State state = makeState(0.5F);
    // Closes the latches of the active mappings without sending anything.
    StateTime arrival = std::chrono::steady_clock::now();
    evaluateMappings(&model, 0, state.get(), arrival, nullptr, {});

    int reportedActive = 0;
    const MappingActivityReport table = [&reportedActive](int, bool activated) { reportedActive += activated; };
    for (auto _ : bench) {
        arrival += std::chrono::milliseconds(20);
        evaluateMappings(&model, 0, state.get(), arrival, &simulator, table);
        benchmark::ClobberMemory();
    }
    benchmark::DoNotOptimize(reportedActive);
    if (simulator.queuedRequestCount() != 0 || !recording.events().empty()) {
        bench.SkipWithError("the pass sent input");
    }
    bench.SetItemsProcessed(bench.iterations() * count);
}

void allInactive(benchmark::State& bench)
{
    runPasses(bench, 0);
}

void everyTenthActive(benchmark::State& bench)
{
    runPasses(bench, 10);
}

} // namespace

BENCHMARK(allInactive)->Arg(10)->Arg(1000)->Arg(10000);
BENCHMARK(everyTenthActive)->Arg(10)->Arg(1000)->Arg(10000);
