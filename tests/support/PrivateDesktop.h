#pragma once
// A desktop of the test's own: a private Xvfb server with the openbox window manager and, when asked
// for, the trayer system tray, so that tests of the real desktop program see what a user's session
// gives it and may run beside each other. Driven with xdotool, as a user's keyboard and mouse would.

#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QThread>

#include <chrono>
#include <functional>
#include <memory>
#include <vector>

#include "ChildProcess.h"

// Last: Xlib defines macros (Bool, Status) that clash with names in headers included before it.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>

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
    explicit PrivateDesktop(bool withTray)
    {
        server.setProgram(QStringLiteral("Xvfb"));
        // -displayfd 1: the server picks a free display and writes its number to standard output.
        server.setArguments({QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                             QStringLiteral("0"), QStringLiteral("1024x768x24"), QStringLiteral("-nolisten"),
                             QStringLiteral("tcp")});
        server.setProcessChannelMode(QProcess::SeparateChannels);
        server.setStandardErrorFile(QProcess::nullDevice());
        server.start();
        if (!server.waitForStarted(5000)) {
            return;
        }
        QByteArray number;
        waitUntil([&] {
            server.waitForReadyRead(100);
            number += server.readAllStandardOutput();
            return number.contains('\n');
        });
        if (!number.contains('\n')) {
            return;
        }
        name = QStringLiteral(":") + QString::fromLatin1(number.trimmed());
        display = XOpenDisplay(name.toLatin1().constData());
        if (display == nullptr) {
            return;
        }
        start(QStringLiteral("openbox"), {});
        const Atom wmCheck = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False);
        waitUntil([&] { return hasProperty(DefaultRootWindow(display), wmCheck); });
        if (withTray) {
            start(QStringLiteral("trayer"), {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"),
                                             QStringLiteral("right"), QStringLiteral("--widthtype"),
                                             QStringLiteral("pixel"), QStringLiteral("--width"),
                                             QStringLiteral("64"), QStringLiteral("--height"), QStringLiteral("24")});
            const Atom tray = XInternAtom(display, "_NET_SYSTEM_TRAY_S0", False);
            waitUntil([&] { return XGetSelectionOwner(display, tray) != None; });
        }
        ready = true;
    }

    ~PrivateDesktop()
    {
        for (auto it = helpers.rbegin(); it != helpers.rend(); ++it) {
            killIfRunning(**it);
        }
        if (display) {
            XCloseDisplay(display);
        }
        killIfRunning(server);
    }
    PrivateDesktop(const PrivateDesktop&) = delete;
    PrivateDesktop& operator=(const PrivateDesktop&) = delete;

    bool isReady() const { return ready; }

    /// The environment of a program on this desktop, with `home` as its home folder.
    QProcessEnvironment environment(const QString& home = {}) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), name);
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        if (!home.isEmpty()) {
            env.insert(QStringLiteral("HOME"), home);
        }
        return env;
    }

    /// Runs xdotool on this desktop and returns what it printed.
    QString xdotool(const QStringList& arguments) const
    {
        QProcess tool;
        tool.setProcessEnvironment(environment());
        tool.start(QStringLiteral("xdotool"), arguments);
        tool.waitForFinished(10000);
        return QString::fromLocal8Bit(tool.readAllStandardOutput()).trimmed();
    }

    /// The visible windows whose title matches the regular expression `title`.
    QStringList windowsNamed(const QString& title) const
    {
        const QString found = xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                       QStringLiteral("--name"), title});
        return found.isEmpty() ? QStringList{} : found.split(QLatin1Char('\n'));
    }

    /// Gives the keyboard to the first visible window titled `title`; false when there is none.
    bool activate(const QString& title) const
    {
        const QStringList found = windowsNamed(title);
        if (found.isEmpty()) {
            return false;
        }
        xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), found.front()});
        return waitUntil([&] { return xdotool({QStringLiteral("getactivewindow")}) == found.front(); }, 3000);
    }

    /// Presses and releases the keys, given as xdotool names separated by blanks, one after the other.
    void key(const QString& keys) const
    {
        xdotool(QStringList{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("50")} +
                keys.split(QLatin1Char(' '), Qt::SkipEmptyParts));
    }

    /// Every key and button that is down on this desktop, as text; empty when nothing is.
    std::string pressed() const
    {
        char keys[32] = {};
        XQueryKeymap(display, keys);
        std::string text;
        for (int keycode = 0; keycode < 256; ++keycode) {
            if (keys[keycode / 8] & (1 << (keycode % 8))) {
                text += "key " + std::to_string(keycode) + " ";
            }
        }
        Window root = 0, child = 0;
        int rootX = 0, rootY = 0, x = 0, y = 0;
        unsigned mask = 0;
        XQueryPointer(display, DefaultRootWindow(display), &root, &child, &rootX, &rootY, &x, &y, &mask);
        if (const unsigned buttons = mask & (Button1Mask | Button2Mask | Button3Mask | Button4Mask | Button5Mask)) {
            text += "buttons " + std::to_string(buttons >> 8);
        }
        return text;
    }

    /// Starts counting the key presses of `keycode` that reach the server, from any client, XTest
    /// included: what a program typed, wherever the focus was.
    bool watchKey(int keycode)
    {
        int opcode = 0, event = 0, error = 0;
        if (!XQueryExtension(display, "XInputExtension", &opcode, &event, &error)) {
            return false;
        }
        int major = 2, minor = 0;
        if (XIQueryVersion(display, &major, &minor) != Success) {
            return false;
        }
        xiOpcode = opcode;
        watchedKeycode = keycode;
        unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
        XISetMask(bits, XI_RawKeyPress);
        XIEventMask mask{XIAllMasterDevices, static_cast<int>(sizeof bits), bits};
        XISelectEvents(display, DefaultRootWindow(display), &mask, 1);
        XFlush(display);
        return true;
    }

    /// The presses of the watched key since the last call.
    int keyPressesSinceLastAsked()
    {
        XSync(display, False);
        int presses = 0;
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.xcookie.type == GenericEvent && event.xcookie.extension == xiOpcode &&
                XGetEventData(display, &event.xcookie)) {
                const auto* raw = static_cast<const XIRawEvent*>(event.xcookie.data);
                if (event.xcookie.evtype == XI_RawKeyPress && raw->detail == watchedKeycode) {
                    ++presses;
                }
                XFreeEventData(display, &event.xcookie);
            }
        }
        return presses;
    }

    QString name;
    Display* display = nullptr;

private:
    void start(const QString& program, const QStringList& arguments)
    {
        auto process = std::make_unique<QProcess>();
        process->setProcessEnvironment(environment());
        process->setStandardOutputFile(QProcess::nullDevice());
        process->setStandardErrorFile(QProcess::nullDevice());
        process->start(program, arguments);
        process->waitForStarted(5000);
        helpers.push_back(std::move(process));
    }

    bool hasProperty(Window window, Atom property) const
    {
        Atom type = None;
        int format = 0;
        unsigned long count = 0, remaining = 0;
        unsigned char* data = nullptr;
        const bool found = XGetWindowProperty(display, window, property, 0, 1, False, AnyPropertyType, &type, &format,
                                              &count, &remaining, &data) == Success &&
                           type != None;
        if (data) {
            XFree(data);
        }
        return found;
    }

    QProcess server;
    std::vector<std::unique_ptr<QProcess>> helpers;
    bool ready = false;
    int xiOpcode = 0;
    int watchedKeycode = 0;
};

} // namespace TestSupport
