#include "PlatformFactory.h"

#include "NoWindowSystem.h"
#include "RecordingBackend.h"
#include "UinputInjector.h"
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

std::unique_ptr<KeyboardLayout> findKeyboardLayout(const PlatformOptions& options, QString* description)
{
    QString error;
    if (options.layout) {
        if (auto layout = KeyboardLayout::fromNames(*options.layout, &error)) {
            *description = QStringLiteral("%1 (--layout)").arg(layout->name());
            return layout;
        }
        qWarning().noquote() << "Keyboard layout:" << error;
    }
    if (auto layout = KeyboardLayout::fromX11(options.displayName, &error)) {
        *description = QStringLiteral("%1 (X server)").arg(layout->name());
        return layout;
    }
    if (const std::optional<LayoutNames> names = readKeyboardSettings(options.keyboardSettingsPath)) {
        if (auto layout = KeyboardLayout::fromNames(*names, &error)) {
            *description = QStringLiteral("%1 (%2)").arg(layout->name(), options.keyboardSettingsPath);
            return layout;
        }
        qWarning().noquote() << "Keyboard layout of" << options.keyboardSettingsPath << ":" << error;
    }
    LayoutNames us;
    us.layout = QStringLiteral("us");
    auto layout = KeyboardLayout::fromNames(us, &error);
    *description = layout ? QStringLiteral("us (default)") : QStringLiteral("none (%1)").arg(error);
    return layout;
}

namespace {

void logLayout(const Platform& platform)
{
    qInfo().noquote() << "Keyboard layout:" << platform.layoutDescription;
}

} // namespace

Platform createPlatform(const PlatformOptions& options)
{
    Platform platform;
    if (options.kind == BackendKind::Recording) {
        auto layout = findKeyboardLayout(options, &platform.layoutDescription);
        platform.recording = std::make_shared<RecordingBackend>(std::move(layout));
        platform.injector = platform.recording;
        platform.windowSystem = platform.recording;
        logLayout(platform);
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
        QString description;
        auto uinput = std::make_shared<UinputInjector>(options.uinputPath, findKeyboardLayout(options, &description));
        if (uinput->isAvailable()) {
            platform.injector = uinput;
            platform.injectorKind = BackendKind::Uinput;
            platform.layoutDescription = description;
            logLayout(platform);
            return platform;
        }
        reasons << QStringLiteral("uinput: %1").arg(uinput->errorString());
    }
    if (options.kind == BackendKind::Auto || options.kind == BackendKind::X11) {
        auto x11 = std::make_shared<X11Injector>(options.displayName);
        if (x11->isAvailable()) {
            platform.injector = x11;
            platform.injectorKind = BackendKind::X11;
            platform.layoutDescription = QStringLiteral("%1 (X server)").arg(x11->layoutName());
            if (options.layout) {
                qInfo().noquote() << "--layout" << options.layout->displayName()
                                  << "is not used: XTest types in the X server's own layout";
            }
            logLayout(platform);
            return platform;
        }
        reasons << QStringLiteral("X11: %1").arg(x11->errorString());
    }

    // Nothing reads what the fallback records, and it may run for days: it keeps only the latest few.
    platform.recording = std::make_shared<RecordingBackend>(findKeyboardLayout(options, &platform.layoutDescription),
                                                            kFallbackRecordingCapacity);
    platform.injector = platform.recording;
    platform.injectorKind = BackendKind::Recording;
    platform.fallbackReason =
        QStringLiteral("No keystrokes or clicks can be sent (%1)").arg(reasons.join(QStringLiteral("; ")));
    qWarning().noquote() << platform.fallbackReason;
    logLayout(platform);
    return platform;
}
