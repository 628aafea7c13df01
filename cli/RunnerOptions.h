#pragma once
// Command line of senkey-run.

#include <QString>
#include <QStringList>

struct RunnerOptions {
    enum class Mode { Run, Check, WriteMappings, TogglePause, Help };

    Mode mode = Mode::Run;
    QString host = QStringLiteral("127.0.0.1");
    quint16 port = 3008;
    QString backend = QStringLiteral("auto"); ///< auto, x11, uinput or print
    double durationSeconds = 0.0;             ///< 0: run until a signal or the end of the connection
    bool monotonicTimestamps = false;         ///< print backend: CLOCK_MONOTONIC instead of time since start
    bool verbose = false;                     ///< show the program's debug output
    unsigned staleMs = 500;                   ///< release a player's held input after this long without states; 0 never
    QString mappingFile;
    QString outputFile; ///< --write-mappings
};

/// Reads the arguments after the program name. On bad usage returns false with a one-line reason.
bool parseRunnerOptions(const QStringList& arguments, RunnerOptions& options, QString& error);

QString runnerUsage();
