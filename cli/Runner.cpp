#include "Runner.h"

#include "MappingCommands.h"
#include "MappingFile.h"
#include "PauseControl.h"
#include "PrintBackend.h"
#include "SenKeyCore.h"
#include "SenMapping.h"
#include "SenMappingModel.h"

#include <QFileInfo>

#include <cmath>

Runner::Runner(RunnerOptions runnerOptions, std::FILE* out, std::FILE* errors, QObject* parent)
    : QObject(parent), options(std::move(runnerOptions)), err(errors)
{
    if (options.backend == QLatin1String("print")) {
        printBackend = std::make_unique<PrintBackend>(
            out, options.monotonicTimestamps ? PrintBackend::Clock::Monotonic : PrintBackend::Clock::SinceStart);
    }
    durationTimer.setSingleShot(true);
    connect(&durationTimer, &QTimer::timeout, this, [this] { finish(ExitOk); });
}

Runner::~Runner()
{
    finish(ExitOk);
}

void Runner::status(const QString& line)
{
    std::fprintf(err, "%s\n", qUtf8Printable(line));
    std::fflush(err);
}

QString Runner::address() const
{
    return QStringLiteral("%1:%2").arg(options.host).arg(options.port);
}

int Runner::prepare()
{
    SenMappingModel loaded;
    const QFileInfo info(options.mappingFile);
    if (!info.isFile() || !info.isReadable()) {
        status(QStringLiteral("senkey-run: %1: %2")
                   .arg(options.mappingFile,
                        info.exists() ? QStringLiteral("cannot be read") : QStringLiteral("no such file")));
        return ExitUsage;
    }
    if (!loadMappingFile(options.mappingFile, &loaded)) {
        status(QStringLiteral("senkey-run: %1 is not a mapping file").arg(options.mappingFile));
        return ExitUsage;
    }

    if (printBackend) {
        injector = printBackend.get();
        windowSystem = printBackend.get();
    } else {
        PlatformOptions platformOptions;
        platformOptions.kind = parseBackendKind(options.backend).value_or(BackendKind::Auto);
        platform = createPlatform(platformOptions);
        if (platformOptions.kind != BackendKind::Auto && platform.injectorKind != platformOptions.kind) {
            status(QStringLiteral("senkey-run: the %1 backend cannot be used: %2")
                       .arg(options.backend, platform.fallbackReason));
            return ExitFailure;
        }
        if (!platform.fallbackReason.isEmpty()) {
            status(QStringLiteral("senkey-run: no input can be sent: %1").arg(platform.fallbackReason));
        }
        injector = platform.injector.get();
        windowSystem = platform.windowSystem.get();
    }

    core = std::make_unique<SenKeyCore>(*injector, *windowSystem);
    core->setEngineAddress(options.host, options.port);
    core->setStaleTime(options.staleMs);
    SenMappingModel* model = core->mappingModel();
    for (int i = 0; i < loaded.mappingCount(); ++i) {
        model->addMapping(*loaded.mapping(i));
    }

    // Window handles are not stored in mapping files; a chosen window is found again by its title.
    for (int i = 0; i < model->mappingCount(); ++i) {
        SenMapping* mapping = model->mapping(i);
        if (mapping->sendToFocus() || mapping->appTitle().isEmpty()) {
            continue;
        }
        mapping->setWindowHandle(windowSystem->findWindow(mapping->appTitle()));
        if (mapping->windowHandle() == 0) {
            status(QStringLiteral("senkey-run: rule \"%1\": no window titled \"%2\"")
                       .arg(mapping->name(), mapping->appTitle()));
        }
    }

    connect(core.get(), &SenKeyCore::engineConnected, this, &Runner::onEngineConnected);
    connect(core.get(), &SenKeyCore::engineDisconnected, this, &Runner::onEngineDisconnected);
    connect(core.get(), &SenKeyCore::engineCannotBeConnected, this, &Runner::onEngineCannotBeConnected);
    connect(core.get(), &SenKeyCore::headsetTypeChanged, this, &Runner::onHeadsetTypeChanged);
    pauseControl = std::make_unique<PauseControlServer>(*core, QStringLiteral("senkey-run"));
    QString controlError;
    if (!pauseControl->listen(controlError)) {
        // A debug line: most sessions (scripts, tests, no login session) never use the keyboard stop.
        qDebug("No keyboard stop (--toggle-pause): %s", qUtf8Printable(controlError));
    }
    connect(core.get(), &SenKeyCore::keystrokesEnabledChanged, this, &Runner::onKeystrokesEnabledChanged);
    connect(core.get(), &SenKeyCore::headsetSilent, this,
            [this](uint userId, uint staleTime) { status(SenKeyCore::silentHeadsetMessage(userId, staleTime)); });
    connect(core.get(), &SenKeyCore::headsetStatesBack, this,
            [this](uint userId) { status(SenKeyCore::headsetBackMessage(userId)); });
    return ExitOk;
}

void Runner::start()
{
    core->start();
    if (options.durationSeconds > 0.0) {
        durationTimer.start(static_cast<int>(std::min(std::ceil(options.durationSeconds * 1000.0), 2147483647.0)));
    }
}

void Runner::finish(int exitStatus)
{
    if (done) {
        return;
    }
    done = true;
    durationTimer.stop();
    pauseControl.reset();
    if (core) {
        core->shutdown();
    }
    emit finished(exitStatus);
}

void Runner::onEngineConnected()
{
    if (done) {
        return;
    }
    everConnected = true;
    status(QStringLiteral("connected %1").arg(address()));
}

void Runner::onEngineDisconnected()
{
    status(QStringLiteral("disconnected"));
}

void Runner::onEngineCannotBeConnected()
{
    if (done) {
        return;
    }
    if (everConnected) {
        finish(ExitConnectionLost);
    } else {
        status(QStringLiteral("cannot connect to %1").arg(address()));
        finish(ExitNoEngine);
    }
}

void Runner::onHeadsetTypeChanged(const QString& type)
{
    if (!done) {
        status(QStringLiteral("headset %1").arg(type));
    }
}

void Runner::onKeystrokesEnabledChanged(bool enabled)
{
    if (!done) {
        status(enabled ? QStringLiteral("resumed") : QStringLiteral("paused"));
    }
}
