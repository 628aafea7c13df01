// senkey-run: turns an engine's detections into key presses and clicks without a window.

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <unistd.h>

#include "MappingCommands.h"
#include "PauseControl.h"
#include "Runner.h"
#include "RunnerOptions.h"

namespace {

int signalPipe[2] = {-1, -1};

void onStopSignal(int)
{
    const char byte = 1;
    // Only async-signal-safe work here; the event loop does the rest.
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
}

bool showDebug = false;

void messageHandler(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtDebugMsg && !showDebug) {
        return;
    }
    std::fprintf(stderr, "%s\n", qUtf8Printable(message));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    qInstallMessageHandler(messageHandler);

    RunnerOptions options;
    QString error;
    if (!parseRunnerOptions(app.arguments().mid(1), options, error)) {
        std::fprintf(stderr, "senkey-run: %s\n%s", qUtf8Printable(error), qUtf8Printable(runnerUsage()));
        return ExitUsage;
    }
    showDebug = options.verbose;
    switch (options.mode) {
    case RunnerOptions::Mode::Help:
        std::fputs(qUtf8Printable(runnerUsage()), stdout);
        return ExitOk;
    case RunnerOptions::Mode::Check:
        return checkMappings(options.mappingFile);
    case RunnerOptions::Mode::WriteMappings:
        return writeMappings(options.mappingFile, options.outputFile);
    case RunnerOptions::Mode::TogglePause: {
        QString reply;
        const bool ok = requestTogglePause(QStringLiteral("senkey-run"), reply);
        std::fprintf(ok ? stdout : stderr, "%s%s\n", ok ? "" : "senkey-run: ", qUtf8Printable(reply));
        return ok ? ExitOk : ExitFailure;
    }
    case RunnerOptions::Mode::Run:
        break;
    }

    Runner runner(options);
    const int ready = runner.prepare();
    if (ready != ExitOk) {
        return ready;
    }

    if (::pipe(signalPipe) != 0) {
        std::perror("senkey-run: pipe");
        return ExitFailure;
    }
    QSocketNotifier stopNotifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&stopNotifier, &QSocketNotifier::activated, &runner, [&runner] { runner.finish(ExitOk); });
    struct sigaction action {
    };
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    QObject::connect(
        &runner, &Runner::finished, &app, [](int status) { QCoreApplication::exit(status); }, Qt::QueuedConnection);
    runner.start();
    return app.exec();
}
