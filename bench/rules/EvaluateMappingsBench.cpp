// One evaluation pass per iteration over models of 10, 1000 and 10000 mappings of three conditions each.
// Nothing reaches the simulator in the timed loop: mappings are inactive, or active with their send-once
// latch already closed. The conditioned runs give every mapping a dwell, cooldown and re-arm time and its
// two strength conditions a release level and smoothing, so every one of them is evaluated on every state.

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
SenMapping makeMapping(int index, float smileBelow, bool conditioned)
{
    SenMapping mapping(QStringLiteral("Rule %1").arg(index), nullptr);
    mapping.setKeys(QStringLiteral("a"));
    SenStateCondition push(SenAction::Push, nullptr);
    push.setActionRule(SenActionRule::GreaterThan);
    SenStateCondition smile(SenAction::Smile, nullptr);
    smile.setActionRule(SenActionRule::LessThan);
    smile.setThreshold(static_cast<double>(smileBelow));
    if (conditioned) {
        push.setReleaseLevel(0.1);
        push.setSmoothingTime(150);
        smile.setReleaseLevel(static_cast<double>(smileBelow) + 0.05);
        smile.setSmoothingTime(150);
        mapping.setDwellTime(100);
        mapping.setCooldownTime(1000);
        mapping.setRearmTime(200);
    }
    mapping.addCondition(SenStateCondition(SenAction::Blink, nullptr));
    mapping.addCondition(push);
    mapping.addCondition(smile);
    return mapping;
}

void runPasses(benchmark::State& bench, int activeEvery, bool conditioned = false)
{
    const int count = static_cast<int>(bench.range(0));
    RecordingBackend recording;
    KeyboardEventSimulator simulator(recording, recording);
    SenMappingModel model;
    for (int i = 0; i < count; ++i) {
        const bool active = activeEvery > 0 && i % activeEvery == 0;
        model.addMapping(makeMapping(i, active ? 0.9F : 0.1F, conditioned));
    }
    const State state = makeState(0.5F);
    // Closes the latches of the active mappings without sending anything, once their dwell is over.
    StateTime arrival = std::chrono::steady_clock::now();
    for (int i = 0; i < 10; ++i) {
        arrival += std::chrono::milliseconds(20);
        evaluateMappings(&model, 0, state.get(), arrival, nullptr, {});
    }

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

void conditionedAllInactive(benchmark::State& bench)
{
    runPasses(bench, 0, true);
}

void conditionedEveryTenthActive(benchmark::State& bench)
{
    runPasses(bench, 10, true);
}

} // namespace

BENCHMARK(allInactive)->Arg(10)->Arg(1000)->Arg(10000);
BENCHMARK(everyTenthActive)->Arg(10)->Arg(1000)->Arg(10000);
BENCHMARK(conditionedAllInactive)->Arg(10)->Arg(1000)->Arg(10000);
BENCHMARK(conditionedEveryTenthActive)->Arg(10)->Arg(1000)->Arg(10000);
