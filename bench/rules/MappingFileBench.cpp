// The cost of reading mapping files that press on the file limits:
// - oneElement/N: the pre-check of a file whose one element carries N attributes (10 000 to 80 000),
//   which is refused; the time must not grow with N.
// - spreadOut/N: the pre-check of a valid file with N attributes in all, 19 to a rule (N / 19 rules);
//   the time must grow in proportion to N.
// - fullLoad/N: parsing a whole file of N rules of four conditions each into a model.

#include <benchmark/benchmark.h>

#include <QString>

#include "MappingFile.h"
#include "SenMappingModel.h"

namespace {

const QString kMappingAttributes = QStringLiteral(
    "enabled=\"1\" name=\"n\" keys=\"k\" sendOnce=\"1\" sendToFocus=\"1\" targetApp=\"\" sendHotKeys=\"0\" "
    "ctrlKey=\"0\" altKey=\"0\" shiftKey=\"0\" winKey=\"0\" enterKey=\"0\" hotKey=\"0\" holdKey=\"0\" "
    "holdTime=\"20\" triggerDelayTime=\"20\" player=\"0\" mouseclickset=\"0\" mousebutnum=\"-1\"");
const QString kCondition = QStringLiteral(
    "<SenStateCondition><enabled value=\"1\" /><action value=\"19\" /><threshold type=\"double\" value=\"0.5\" />"
    "<actionRule value=\"2\" /></SenStateCondition>");

QString model(const QString& body)
{
    return QStringLiteral("<SenMappingModel mappingName=\"m\" >\n%1</SenMappingModel>\n").arg(body);
}

QString rules(int count, int conditions)
{
    return model(QStringLiteral("<SenMapping %1>%2</SenMapping>\n")
                     .arg(kMappingAttributes, kCondition.repeated(conditions))
                     .repeated(count));
}

void oneElement(benchmark::State& state)
{
    QString attributes;
    for (int i = 0; i < state.range(0); ++i) {
        attributes += QStringLiteral(" a%1=\"%1\"").arg(i);
    }
    const QString text = model(QStringLiteral("<SenMapping%1/>\n").arg(attributes));
    for (auto _ : state) {
        benchmark::DoNotOptimize(mappingTextProblem(text));
    }
    state.counters["bytes"] = static_cast<double>(text.size());
}

void spreadOut(benchmark::State& state)
{
    const QString text = rules(static_cast<int>(state.range(0) / 19), 0);
    for (auto _ : state) {
        benchmark::DoNotOptimize(mappingTextProblem(text));
    }
    state.counters["bytes"] = static_cast<double>(text.size());
}

void fullLoad(benchmark::State& state)
{
    const QString text = rules(static_cast<int>(state.range(0)), 4);
    for (auto _ : state) {
        SenMappingModel loaded;
        benchmark::DoNotOptimize(parseModelXml(text, &loaded));
    }
    state.counters["bytes"] = static_cast<double>(text.size());
}

} // namespace

BENCHMARK(oneElement)->Arg(10000)->Arg(20000)->Arg(40000)->Arg(80000)->Unit(benchmark::kMillisecond);
BENCHMARK(spreadOut)->Arg(10000)->Arg(20000)->Arg(40000)->Arg(80000)->Unit(benchmark::kMillisecond);
BENCHMARK(fullLoad)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(1);
