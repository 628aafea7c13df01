// One evaluation pass over 100 mappings of three conditions, each limited to applications (three "only
// in" names and one "never in" name), against the same 100 mappings without lists; and the work a focus
// move costs (every limited mapping that may no longer fire lets go). Nothing reaches the simulator in the
// timed loop: active mappings have their send-once latch closed.

#include <memory>

#include <benchmark/benchmark.h>

#include "KeyboardEventSimulator.h"
#include "MappingEvaluation.h"
#include "RecordingBackend.h"
#include "SenMappingModel.h"
#include "SenStateRecord.h"

namespace {

using namespace Velmor::StateLayout;

constexpr int kMappings = 100;

struct StateFree {
    void operator()(void* state) const { nxlStateFree(state); }
};
using State = std::unique_ptr<void, StateFree>;

// Both eyes closed, Push at 0.5, Smile at 0.5.
State makeState()
{
    State state(nxlStateCreate());
    writeFloat(state.get(), kLeftEyeClosure, 1.0F);
    writeFloat(state.get(), kRightEyeClosure, 1.0F);
    writeU32(state.get(), kMentrixAction, 2);
    writeFloat(state.get(), kMentrixPower, 0.5F);
    writeU32(state.get(), kLowerFaceBits, 1U << 7U);
    writeFloat(state.get(), kLowerFacePower, 0.5F);
    return state;
}

// Blink, Push above 0.2, Smile below 0.9: all hold.
SenMapping makeMapping(int index, bool limited)
{
    SenMapping mapping(QStringLiteral("Rule %1").arg(index), nullptr);
    mapping.setKeys(QStringLiteral("a"));
    mapping.addCondition(SenStateCondition(SenAction::Blink, nullptr));
    SenStateCondition push(SenAction::Push, nullptr);
    push.setActionRule(SenActionRule::GreaterThan);
    mapping.addCondition(push);
    SenStateCondition smile(SenAction::Smile, nullptr);
    smile.setActionRule(SenActionRule::LessThan);
    smile.setThreshold(0.9);
    mapping.addCondition(smile);
    if (limited) {
        mapping.setOnlyInApps({QStringLiteral("evince"), QStringLiteral("okular"), QStringLiteral("firefox")});
        mapping.setNeverInApps({QStringLiteral("keepassxc")});
    }
    return mapping;
}

const WindowApplication kListed{QStringLiteral("Navigator"), QStringLiteral("firefox")};
const WindowApplication kOther{QStringLiteral("xterm"), QStringLiteral("XTerm")};

/// `limited`: the mappings have lists; `focus`: the application that has the focus.
void runPasses(benchmark::State& bench, bool limited, const WindowApplication& focus)
{
    RecordingBackend recording;
    KeyboardEventSimulator simulator(recording, recording);
    SenMappingModel model;
    for (int i = 0; i < kMappings; ++i) {
        model.addMapping(makeMapping(i, limited));
    }
    const State state = makeState();
    const FocusedApplication focused = focus;
    // Closes the latches of the active mappings without sending anything.
    evaluateMappings(&model, 0, state.get(), nullptr, {}, {}, focused);

    int reportedActive = 0;
    const MappingActivityReport table = [&reportedActive](int, bool activated) { reportedActive += activated; };
    for (auto _ : bench) {
        evaluateMappings(&model, 0, state.get(), &simulator, table, {}, focused);
        benchmark::ClobberMemory();
    }
    benchmark::DoNotOptimize(reportedActive);
    if (simulator.queuedRequestCount() != 0 || !recording.events().empty()) {
        bench.SkipWithError("the pass sent input");
    }
    bench.SetItemsProcessed(bench.iterations() * kMappings);
}

void withoutLists(benchmark::State& bench)
{
    runPasses(bench, false, kListed);
}

void limitedFocusListed(benchmark::State& bench)
{
    runPasses(bench, true, kListed);
}

void limitedFocusElsewhere(benchmark::State& bench)
{
    runPasses(bench, true, kOther);
}

// A focus move away from the listed application and back: both times every mapping is looked at.
void focusMove(benchmark::State& bench)
{
    RecordingBackend recording;
    KeyboardEventSimulator simulator(recording, recording);
    SenMappingModel model;
    for (int i = 0; i < kMappings; ++i) {
        model.addMapping(makeMapping(i, true));
    }
    const FocusedApplication listed = kListed;
    const FocusedApplication other = kOther;
    int reports = 0;
    const MappingActivityReport table = [&reports](int, bool) { ++reports; };
    for (auto _ : bench) {
        releaseOutOfFocus(&model, other, &simulator, table);
        releaseOutOfFocus(&model, listed, &simulator, table);
        benchmark::ClobberMemory();
    }
    benchmark::DoNotOptimize(reports);
    if (simulator.queuedRequestCount() != 0 || !recording.events().empty()) {
        bench.SkipWithError("the move sent input");
    }
    bench.SetItemsProcessed(bench.iterations() * 2);
}

} // namespace

BENCHMARK(withoutLists);
BENCHMARK(limitedFocusListed);
BENCHMARK(limitedFocusElsewhere);
BENCHMARK(focusMove);
