#pragma once
// A desktop of the test's own: an Xvfb server on a free display, optionally with openbox as its window
// manager, and small Tk windows of chosen WM_CLASS that write down every key they receive. Tests that
// move the focus use it, so that they never disturb the shared test display.

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>

#include <chrono>
#include <functional>
#include <list>
#include <memory>

#include "ChildProcess.h"

// Last: Xlib defines macros (Bool, Status) that clash with names in headers included before it.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace TestSupport {

inline bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 10000)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        if (condition()) {
            return true;
        }
        QThread::msleep(10);
    }
    return condition();
}

class PrivateDesktop
{
public:
    /// A window that prints "key KEYSYM" for each key press it receives.
    struct KeyWindow {
        QProcess process;
        unsigned long id = 0;
        QString keys; ///< the key syms received so far, in order, without separators
    };

    explicit PrivateDesktop(bool withWindowManager)
    {
        m_server.setProgram(QStringLiteral("Xvfb"));
        m_server.setArguments({QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                               QStringLiteral("0"), QStringLiteral("800x600x24"), QStringLiteral("-nolisten"),
                               QStringLiteral("tcp")});
        m_server.start();
        if (!m_server.waitForStarted(10000) || !waitUntil([this] { return readDisplayNumber(); }, 20000)) {
            return;
        }
        m_display = XOpenDisplay(m_displayName.constData());
        if (!m_display) {
            return;
        }
        // A held key must not repeat into the window the focus moves to.
        XAutoRepeatOff(m_display);
        XSync(m_display, False);
        if (withWindowManager) {
            m_windowManager.setProcessEnvironment(environment());
            m_windowManager.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
            m_windowManaged = m_windowManager.waitForStarted(10000) &&
                              waitUntil([this] { return hasRootProperty("_NET_SUPPORTING_WM_CHECK"); });
        }
    }

    ~PrivateDesktop()
    {
        m_windows.clear();
        killIfRunning(m_windowManager);
        if (m_display) {
            XCloseDisplay(m_display);
        }
        killIfRunning(m_server);
    }

    PrivateDesktop(const PrivateDesktop&) = delete;
    PrivateDesktop& operator=(const PrivateDesktop&) = delete;

    bool ok() const { return m_display != nullptr; }
    bool hasWindowManager() const { return m_windowManaged; }
    /// ":N"
    QByteArray displayName() const { return m_displayName; }
    Display* display() const { return m_display; }

    /// The system environment with this desktop's display, and no Wayland session.
    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(m_displayName));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        return env;
    }

    /// Opens a Tk window whose WM_CLASS is (instance, className); null when it does not appear.
    KeyWindow* openWindow(const QString& instance, const QString& className, const QString& title)
    {
        if (!m_script) {
            m_script = std::make_unique<QTemporaryDir>();
            QFile file(m_script->filePath(QStringLiteral("keys.tcl")));
            if (!file.open(QIODevice::WriteOnly)) {
                return nullptr;
            }
            file.write("lassign $argv instance class title\n"
                       "wm withdraw .\n"
                       "toplevel .$instance -class $class -width 240 -height 160\n"
                       "wm title .$instance $title\n"
                       "bind .$instance <KeyPress> {puts \"key %K\"; flush stdout}\n"
                       "update\n"
                       "puts \"window [winfo id .$instance]\"; flush stdout\n");
        }
        KeyWindow& window = m_windows.emplace_back();
        window.process.setProcessEnvironment(environment());
        window.process.start(QStringLiteral("wish"),
                             {m_script->filePath(QStringLiteral("keys.tcl")), instance, className, title});
        if (!waitUntil([&] {
                readKeys(window);
                return window.id != 0;
            })) {
            return nullptr;
        }
        return &window;
    }

    /// Gives the window the focus: through the window manager when there is one, else directly.
    bool focus(const KeyWindow& window)
    {
        QProcess xdotool;
        xdotool.setProcessEnvironment(environment());
        const QString how = hasWindowManager() ? QStringLiteral("windowactivate") : QStringLiteral("windowfocus");
        xdotool.start(QStringLiteral("xdotool"), {how, QStringLiteral("--sync"), QString::number(window.id)});
        return exitCodeWithin(xdotool) == 0;
    }

    /// Takes what the window has printed so far into its keys.
    void readKeys(KeyWindow& window)
    {
        window.process.waitForReadyRead(0);
        while (window.process.canReadLine()) {
            const QString line = QString::fromUtf8(window.process.readLine()).trimmed();
            if (line.startsWith(QLatin1String("key "))) {
                window.keys += line.mid(4);
            } else if (line.startsWith(QLatin1String("window "))) {
                window.id = wrapperOf(line.mid(7).toULong(nullptr, 0));
            }
        }
    }

private:
    // Tk keeps a toplevel's WM_CLASS and title on a wrapper window, the parent of the widget's own.
    unsigned long wrapperOf(unsigned long widget)
    {
        Window root = None, parent = None;
        Window* children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(m_display, widget, &root, &parent, &children, &count)) {
            return 0;
        }
        if (children) {
            XFree(children);
        }
        return parent;
    }

    bool readDisplayNumber()
    {
        m_server.waitForReadyRead(100);
        m_serverOutput += m_server.readAllStandardOutput();
        if (!m_serverOutput.endsWith('\n')) {
            return false;
        }
        m_displayName = ':' + m_serverOutput.trimmed();
        return true;
    }

    bool hasRootProperty(const char* name)
    {
        const Atom atom = XInternAtom(m_display, name, False);
        int count = 0;
        Atom* atoms = XListProperties(m_display, DefaultRootWindow(m_display), &count);
        bool found = false;
        for (int i = 0; i < count; ++i) {
            found = found || atoms[i] == atom;
        }
        if (atoms) {
            XFree(atoms);
        }
        return found;
    }

    QProcess m_server;
    QProcess m_windowManager;
    QByteArray m_serverOutput;
    QByteArray m_displayName;
    Display* m_display = nullptr;
    bool m_windowManaged = false;
    std::unique_ptr<QTemporaryDir> m_script;
    std::list<KeyWindow> m_windows;
};

} // namespace TestSupport
