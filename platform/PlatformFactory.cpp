#include "PlatformFactory.h"

#include "NoWindowSystem.h"
#include "RecordingBackend.h"
#include "UinputInjector.h"
#include "X11FocusTracker.h"
#include "X11Injector.h"
#include "X11WindowSystem.h"

#include <QDebug>
#include <QStringList>

std::optional<BackendKind> parseBackendKind(const QString& name)
{
    for (BackendKind kind : {BackendKind::Auto, BackendKind::Uinput, BackendKind::X11, BackendKind::Recording}) {
        if (name == backendKindName(kind)) {
            return kind;
        }
    }
    return std::nullopt;
}

QString backendKindName(BackendKind kind)
{
    switch (kind) {
    case BackendKind::Auto:
        return QStringLiteral("auto");
    case BackendKind::Uinput:
        return QStringLiteral("uinput");
    case BackendKind::X11:
        return QStringLiteral("x11");
    case BackendKind::Recording:
        return QStringLiteral("recording");
    }
    return {};
}

std::shared_ptr<FocusTracker> createFocusTracker(const QByteArray& displayName)
{
    if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        return std::make_shared<NoFocusTracker>();
    }
    auto tracker = std::make_shared<X11FocusTracker>(displayName);
    if (tracker->isAvailable()) {
        return tracker;
    }
    return std::make_shared<NoFocusTracker>();
}

Platform createPlatform(const PlatformOptions& options)
{
    Platform platform;
    platform.focus = createFocusTracker(options.displayName);
    if (options.kind == BackendKind::Recording) {
        platform.recording = std::make_shared<RecordingBackend>();
        platform.injector = platform.recording;
        platform.windowSystem = platform.recording;
        return platform;
    }

    auto windows = std::make_shared<X11WindowSystem>(options.displayName);
    if (windows->isAvailable()) {
        platform.windowSystem = windows;
    } else {
        platform.windowSystem = std::make_shared<NoWindowSystem>();
    }

    QStringList reasons;
    if (options.kind == BackendKind::Auto || options.kind == BackendKind::Uinput) {
        auto uinput = std::make_shared<UinputInjector>(options.uinputPath);
        if (uinput->isAvailable()) {
            platform.injector = uinput;
            platform.injectorKind = BackendKind::Uinput;
            return platform;
        }
        reasons << QStringLiteral("uinput: %1").arg(uinput->errorString());
    }
    if (options.kind == BackendKind::Auto || options.kind == BackendKind::X11) {
        auto x11 = std::make_shared<X11Injector>(options.displayName);
        if (x11->isAvailable()) {
            platform.injector = x11;
            platform.injectorKind = BackendKind::X11;
            return platform;
        }
        reasons << QStringLiteral("X11: %1").arg(x11->errorString());
    }

    platform.recording = std::make_shared<RecordingBackend>();
    platform.injector = platform.recording;
    platform.injectorKind = BackendKind::Recording;
    platform.fallbackReason =
        QStringLiteral("No keystrokes or clicks can be sent (%1)").arg(reasons.join(QStringLiteral("; ")));
    qWarning().noquote() << platform.fallbackReason;
    return platform;
}
