// Loading a mapping file into the desktop program's window, as Load and --load do: from reading the
// file until the table has been laid out and painted. Files of 1000 and 10000 rules of two conditions
// each, on the offscreen platform with the program's style sheet; wall time, since the work is all on
// the user-interface thread.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTableWidget>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include "SenKey.h"
#include "SenKeyOptions.h"

namespace {

QApplication& application()
{
    static int argc = 1;
    static char name[] = "LoadMappingBench";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QApplication(argc, argv);
    }();
    return *app;
}

QString writeMappings(const QString& folder, int count)
{
    QString text = QStringLiteral("<SenMappingModel mappingName=\"bench.skm\" >\n");
    for (int i = 0; i < count; ++i) {
        text += QStringLiteral(
                    "    <SenMapping enabled=\"1\" name=\"Rule %1\" keys=\"abc\" sendOnce=\"1\" sendToFocus=\"1\" "
                    "targetApp=\"\" sendHotKeys=\"0\" ctrlKey=\"0\" altKey=\"0\" shiftKey=\"0\" winKey=\"0\" "
                    "enterKey=\"0\" hotKey=\"0\" holdKey=\"0\" holdTime=\"20\" triggerDelayTime=\"20\" player=\"%2\" "
                    "mouseclickset=\"0\" mousebutnum=\"-1\">\n")
                    .arg(i)
                    .arg(i % 2);
        for (const char* action : {"0", "19"}) {
            text += QStringLiteral("        <SenStateCondition>\n            <enabled value=\"1\" />\n"
                                   "            <action value=\"%1\" />\n"
                                   "            <threshold type=\"double\" value=\"0.5\" />\n"
                                   "            <actionRule value=\"2\" />\n        </SenStateCondition>\n")
                        .arg(QLatin1String(action));
        }
        text += QStringLiteral("    </SenMapping>\n");
    }
    text += QStringLiteral("</SenMappingModel>\n");
    const QString path = folder + QStringLiteral("/bench-%1.skm").arg(count);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(text.toUtf8());
    }
    return path;
}

void BM_LoadIntoWindow(benchmark::State& bench)
{
    application();
    const int count = static_cast<int>(bench.range(0));
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    const QString file = writeMappings(home.path(), count);

    SenKeyOptions options;
    options.platform.kind = BackendKind::Recording;
    // Nothing listens there: the one connection attempt fails at once.
    options.controlPanel = {QStringLiteral("127.0.0.1"), 1};
    options.senComposer = {QStringLiteral("127.0.0.1"), 1};
    options.systemTray = false;
    SenKey window(options);
    window.show();
    QApplication::processEvents();
    auto* table = window.findChild<QTableWidget*>(QStringLiteral("mappingsTableWidget"));

    for (auto _ : bench) {
        if (!window.loadMappingFrom(file)) {
            bench.SkipWithError("the file did not load");
            break;
        }
        // Until the table is laid out and painted, as the user sees it.
        table->viewport()->repaint();
        QApplication::processEvents();
    }
    bench.counters["rules"] = count;
}

} // namespace

BENCHMARK(BM_LoadIntoWindow)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
