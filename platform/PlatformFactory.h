#pragma once

#include "FocusTracker.h"
#include "InputInjector.h"
#include "WindowSystem.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>

class RecordingBackend;

/// Which injector to use. Auto takes uinput when its device is writable, else XTest when an X display
/// opens, else the recording backend.
enum class BackendKind { Auto, Uinput, X11, Recording };

/// "auto", "uinput", "x11" or "recording"; nothing for any other text.
std::optional<BackendKind> parseBackendKind(const QString& name);
QString backendKindName(BackendKind kind);

struct PlatformOptions {
    BackendKind kind = BackendKind::Auto;
    QString uinputPath = QStringLiteral("/dev/uinput");
    QByteArray displayName; ///< empty: $DISPLAY
};

/// The OS boundary the program runs on.
struct Platform {
    std::shared_ptr<InputInjector> injector;
    std::shared_ptr<WindowSystem> windowSystem;
    /// Which application has the focus; never null, unavailable where the focus cannot be known.
    std::shared_ptr<FocusTracker> focus;
    BackendKind injectorKind = BackendKind::Recording; ///< the injector actually in use
    /// Set when the recording backend is in use, as injector or as both.
    std::shared_ptr<RecordingBackend> recording;
    /// Why no real injector could be used (the user should be told once); empty otherwise.
    QString fallbackReason;
};

/// Chooses the backends at run time. Never fails: when nothing else works the recording backend injects
/// nothing, and the reason is written once to the log and returned in fallbackReason.
Platform createPlatform(const PlatformOptions& options = {});

/// Follows the focus of the X display, or cannot know it: without a display, and in a Wayland session,
/// whose own windows an X client never sees. Call on the thread with the event loop.
std::shared_ptr<FocusTracker> createFocusTracker(const QByteArray& displayName = {});
