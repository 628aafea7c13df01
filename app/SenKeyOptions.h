#pragma once

#include <QString>
#include <QStringList>

#include <optional>

#include "EngineTarget.h"
#include "PlatformFactory.h"

/// What the desktop program is started with. The defaults are the program's fixed behaviour; the
/// command line may only point it at another engine or backend, load a file, or start in the tray.
struct SenKeyOptions {
    PlatformOptions platform;
    EngineTarget controlPanel{QStringLiteral("127.0.0.1"), 3008};
    EngineTarget senComposer{QStringLiteral("127.0.0.1"), 1726};
    /// A mapping file to load at start; empty for none.
    QString mappingFile;
    /// Start in the tray instead of showing the window.
    bool startHidden = false;
    /// Whether a system tray shows the icon; unset: ask the desktop.
    std::optional<bool> systemTray;
};

/// The outcome of reading the command line: options, or a message and an exit status for main().
struct SenKeyCommandLine {
    SenKeyOptions options;
    bool ok = true;
    bool helpOnly = false;
    /// Only ask the running instance to pause or resume (--toggle-pause), then end.
    bool togglePause = false;
    QString message;
};

/// Reads `arguments` (the program name first). Unknown options, a bad backend name or a bad
/// HOST:PORT give ok = false with a message naming the fault.
SenKeyCommandLine parseSenKeyCommandLine(const QStringList& arguments);

/// "HOST:PORT" with a port of 1 to 65535; nothing for anything else.
std::optional<EngineTarget> parseEngineTarget(const QString& text);
