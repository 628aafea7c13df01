#pragma once

#include "InputInjector.h"
#include "KeyboardLayout.h"
#include "WindowSystem.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
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
    /// The layout characters are typed in by uinput and recorded in; unset: found (findKeyboardLayout).
    /// XTest always types in the X server's own keymap.
    std::optional<LayoutNames> layout;
    QString keyboardSettingsPath = QStringLiteral("/etc/default/keyboard");
};

/// The OS boundary the program runs on.
struct Platform {
    std::shared_ptr<InputInjector> injector;
    std::shared_ptr<WindowSystem> windowSystem;
    BackendKind injectorKind = BackendKind::Recording; ///< the injector actually in use
    /// Set when the recording backend is in use, as injector or as both.
    std::shared_ptr<RecordingBackend> recording;
    /// Why no real injector could be used (the user should be told once); empty otherwise.
    QString fallbackReason;
    /// The keyboard layout characters are typed in, and where it came from: "de (X server)".
    QString layoutDescription;
};

/// How many primitives the recording backend keeps when it stands in for an injector that failed.
inline constexpr std::size_t kFallbackRecordingCapacity = 1024;

/// The layout for a backend that types by key codes: the requested one, else the X server's (followed
/// when it switches), else the system keyboard setting, else US. description names it and its source.
std::unique_ptr<KeyboardLayout> findKeyboardLayout(const PlatformOptions& options, QString* description);

/// Chooses the backends at run time. Never fails: when nothing else works the recording backend injects
/// nothing, and the reason is written once to the log and returned in fallbackReason.
Platform createPlatform(const PlatformOptions& options = {});
