#pragma once

#include <QObject>
#include <QTimer>

#include <cstdio>
#include <memory>

#include "PlatformFactory.h"
#include "RunnerOptions.h"

class PauseControlServer;
class PrintBackend;
class SenKeyCore;

/// One headless session: the mapping file and the input backend over the core the desktop program uses,
/// with no window of its own (so the focus guard never holds). Status lines go to `err`.
class Runner : public QObject
{
    Q_OBJECT

public:
    explicit Runner(RunnerOptions options, std::FILE* out = stdout, std::FILE* err = stderr, QObject* parent = nullptr);
    ~Runner() override;

    /// Loads the mappings and sets up the backend. ExitOk when ready to start, else the exit status.
    int prepare();
    /// Starts the connection thread and the duration timer; the session ends with finished().
    void start();

public slots:
    /// Ends the session with `status`: the connection is closed and everything held is released first.
    void finish(int status);

signals:
    void finished(int status);

private slots:
    void onEngineConnected();
    void onEngineDisconnected();
    void onEngineCannotBeConnected();
    void onHeadsetTypeChanged(const QString& type);
    void onKeystrokesEnabledChanged(bool enabled);

private:
    void status(const QString& line);
    QString address() const;

    RunnerOptions options;
    std::FILE* err;
    std::unique_ptr<PrintBackend> printBackend;
    Platform platform;
    InputInjector* injector = nullptr;
    WindowSystem* windowSystem = nullptr;
    std::unique_ptr<SenKeyCore> core;
    std::unique_ptr<PauseControlServer> pauseControl;
    QTimer durationTimer;
    bool everConnected = false;
    bool done = false;
};
