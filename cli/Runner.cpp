#include "Runner.h"

#include "KeepAliveThread.h"
#include "KeyboardEventSimulator.h"
#include "MappingCommands.h"
#include "MappingEvaluation.h"
#include "MappingFile.h"
#include "PrintBackend.h"
#include "SenActionFactory.h"
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
    model = std::make_unique<SenMappingModel>();
    const QFileInfo info(options.mappingFile);
    if (!info.isFile() || !info.isReadable()) {
        status(QStringLiteral("senkey-run: %1: %2")
                   .arg(options.mappingFile,
                        info.exists() ? QStringLiteral("cannot be read") : QStringLiteral("no such file")));
        return ExitUsage;
    }
    if (!loadMappingFile(options.mappingFile, model.get())) {
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

    simulator = std::make_unique<KeyboardEventSimulator>(*injector, *windowSystem);
    keepAlive = std::make_unique<KeepAliveThread>();
    keepAlive->setEngineAddress(options.host, options.port);
    connect(keepAlive.get(), &KeepAliveThread::engineConnected, this, &Runner::onEngineConnected);
    connect(keepAlive.get(), &KeepAliveThread::engineDisconnected, this, &Runner::onEngineDisconnected);
    connect(keepAlive.get(), &KeepAliveThread::engineCannotBeConnected, this, &Runner::onEngineCannotBeConnected);
    connect(keepAlive.get(), &KeepAliveThread::SenStateChanged, this, &Runner::onSenStateChanged);
    connect(keepAlive.get(), &KeepAliveThread::SendModeApp, this, &Runner::getModeApp);
    connect(keepAlive.get(), &KeepAliveThread::headsetDisconnected, this, &Runner::onHeadsetDisconnected);
    return ExitOk;
}

void Runner::start()
{
    simulator->start();
    keepAlive->start();
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
    // No state may arrive once the keys are released, so the connection goes first.
    keepAlive.reset();
    if (simulator) {
        simulator->releaseAll();
        simulator->stop();
        simulator.reset();
    }
    emit finished(exitStatus);
}

void Runner::onHeadsetDisconnected(uint userId)
{
    if (!done && simulator) {
        releasePlayer(*model, userId & 0xFFFU, *simulator);
    }
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
    if (simulator) {
        simulator->releaseAll();
    }
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

void Runner::onSenStateChanged(uint userId, const SenStateSnapshot& state)
{
    if (done || state.isNull()) {
        return;
    }
    evaluateMappings(model.get(), userId, state.handle(), std::chrono::steady_clock::now(), simulator.get(), {},
                     [] { return false; });
}

void Runner::getModeApp(const QString& stringMode)
{
    if (done) {
        return;
    }
    const QString type = stringMode == QLatin1String("ORVA") ? QStringLiteral("ORVA") : QStringLiteral("TESSARA");
    SenActionFactory::setHeadsetType(type);
    status(QStringLiteral("headset %1").arg(type));
}
