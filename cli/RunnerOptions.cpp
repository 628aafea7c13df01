#include "RunnerOptions.h"

#include <QCommandLineParser>

#include <cmath>

namespace {

// Long enough for any real session, short enough that the millisecond timer cannot overflow.
constexpr double kMaxDurationSeconds = 24.0 * 3600.0 * 365.0;
// A minute without states is a lost headset by any measure.
constexpr uint kMaxStaleMs = 60000;

} // namespace

QString runnerUsage()
{
    return QStringLiteral("usage: senkey-run [--host H] [--port P] [--backend auto|x11|uinput|print]\n"
                          "                  [--duration SECONDS] [--timestamps since-start|monotonic]\n"
                          "                  [--stale-ms MS] MAPPINGS.skm\n"
                          "       senkey-run --check MAPPINGS.skm\n"
                          "       senkey-run --toggle-pause\n"
                          "       senkey-run --write-mappings OUT MAPPINGS.skm\n");
}

bool parseRunnerOptions(const QStringList& arguments, RunnerOptions& options, QString& error)
{
    options = RunnerOptions{};
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption host(QStringLiteral("host"), QString(), QStringLiteral("H"));
    const QCommandLineOption port(QStringLiteral("port"), QString(), QStringLiteral("P"));
    const QCommandLineOption backend(QStringLiteral("backend"), QString(), QStringLiteral("KIND"));
    const QCommandLineOption duration(QStringLiteral("duration"), QString(), QStringLiteral("SECONDS"));
    const QCommandLineOption timestamps(QStringLiteral("timestamps"), QString(), QStringLiteral("CLOCK"));
    const QCommandLineOption stale(QStringLiteral("stale-ms"), QString(), QStringLiteral("MS"));
    const QCommandLineOption check(QStringLiteral("check"));
    const QCommandLineOption togglePause(QStringLiteral("toggle-pause"));
    const QCommandLineOption write(QStringLiteral("write-mappings"), QString(), QStringLiteral("OUT"));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption verbose(QStringList{QStringLiteral("v"), QStringLiteral("verbose")});
    parser.addOptions({host, port, backend, duration, timestamps, stale, check, write, togglePause, help, verbose});

    // The parser wants the program name first.
    if (!parser.parse(QStringList{QStringLiteral("senkey-run")} + arguments)) {
        error = parser.errorText();
        return false;
    }
    options.verbose = parser.isSet(verbose);
    if (parser.isSet(help)) {
        options.mode = RunnerOptions::Mode::Help;
        return true;
    }
    for (const QCommandLineOption* option : {&host, &port, &backend, &duration, &timestamps, &stale, &write}) {
        if (parser.values(*option).size() > 1) {
            error = QStringLiteral("--%1 given more than once").arg(option->names().constFirst());
            return false;
        }
    }

    if (parser.isSet(togglePause)) {
        // It talks to the running instance, which has its own mappings and settings.
        if (parser.optionNames().size() != 1 + (options.verbose ? 1 : 0) || !parser.positionalArguments().isEmpty()) {
            error = QStringLiteral("--toggle-pause takes no other option or file");
            return false;
        }
        options.mode = RunnerOptions::Mode::TogglePause;
        return true;
    }
    if (parser.isSet(check) && parser.isSet(write)) {
        error = QStringLiteral("--check and --write-mappings exclude each other");
        return false;
    }
    if (parser.isSet(check) || parser.isSet(write)) {
        for (const QCommandLineOption* option : {&host, &port, &backend, &duration, &timestamps, &stale}) {
            if (parser.isSet(*option)) {
                error = QStringLiteral("--%1 has no meaning with --check or --write-mappings")
                            .arg(option->names().constFirst());
                return false;
            }
        }
        options.mode = parser.isSet(check) ? RunnerOptions::Mode::Check : RunnerOptions::Mode::WriteMappings;
        options.outputFile = parser.value(write);
        if (parser.isSet(write) && options.outputFile.isEmpty()) {
            error = QStringLiteral("--write-mappings needs an output file name");
            return false;
        }
    }

    const QStringList files = parser.positionalArguments();
    if (files.size() != 1 || files.constFirst().isEmpty()) {
        error = files.isEmpty() ? QStringLiteral("no mapping file given")
                                : QStringLiteral("exactly one mapping file is expected");
        return false;
    }
    options.mappingFile = files.constFirst();

    if (parser.isSet(host)) {
        options.host = parser.value(host);
        if (options.host.isEmpty()) {
            error = QStringLiteral("--host needs a host name or address");
            return false;
        }
    }
    if (parser.isSet(port)) {
        bool ok = false;
        const uint value = parser.value(port).toUInt(&ok, 10);
        if (!ok || value == 0 || value > 65535) {
            error = QStringLiteral("bad port '%1' (1 to 65535)").arg(parser.value(port));
            return false;
        }
        options.port = static_cast<quint16>(value);
    }
    if (parser.isSet(backend)) {
        options.backend = parser.value(backend);
        static const QStringList kinds{QStringLiteral("auto"), QStringLiteral("x11"), QStringLiteral("uinput"),
                                       QStringLiteral("print")};
        if (!kinds.contains(options.backend)) {
            error = QStringLiteral("unknown backend '%1' (auto, x11, uinput or print)").arg(options.backend);
            return false;
        }
    }
    if (parser.isSet(duration)) {
        bool ok = false;
        options.durationSeconds = parser.value(duration).toDouble(&ok);
        if (!ok || !std::isfinite(options.durationSeconds) || options.durationSeconds <= 0.0 ||
            options.durationSeconds > kMaxDurationSeconds) {
            error = QStringLiteral("bad duration '%1' (seconds, above 0)").arg(parser.value(duration));
            return false;
        }
    }
    if (parser.isSet(stale)) {
        bool ok = false;
        const uint value = parser.value(stale).toUInt(&ok, 10);
        if (!ok || value > kMaxStaleMs) {
            error = QStringLiteral("bad stale time '%1' (0 to %2 ms; 0 never)").arg(parser.value(stale)).arg(kMaxStaleMs);
            return false;
        }
        options.staleMs = value;
    }
    if (parser.isSet(timestamps)) {
        const QString clock = parser.value(timestamps);
        if (clock != QLatin1String("monotonic") && clock != QLatin1String("since-start")) {
            error = QStringLiteral("unknown time stamps '%1' (since-start or monotonic)").arg(clock);
            return false;
        }
        options.monotonicTimestamps = clock == QLatin1String("monotonic");
    }
    return true;
}
