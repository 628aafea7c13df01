#pragma once

#include "FocusTracker.h"

#include <QByteArray>
#include <QSocketNotifier>
#include <QTimer>

#include <memory>

struct _XDisplay;

/// The focus of an X display, on a connection of its own. Under a window manager that keeps
/// _NET_ACTIVE_WINDOW, the root's property changes bring each focus move as one event; without one,
/// the input focus and its top-level window are read when asked and every 200 ms.
class X11FocusTracker : public FocusTracker
{
public:
    /// An empty display name means $DISPLAY.
    explicit X11FocusTracker(const QByteArray& displayName = {});
    ~X11FocusTracker() override;
    X11FocusTracker(const X11FocusTracker&) = delete;
    X11FocusTracker& operator=(const X11FocusTracker&) = delete;

    bool isAvailable() const override { return m_display != nullptr; }
    FocusedApplication focusedApplication() override;

    /// Whether the window manager's active window is followed (else the input focus is read).
    bool followsActiveWindow() const { return m_followsActiveWindow; }

private:
    void readEvents();
    /// Reads the focus again; true when the application changed.
    bool update();
    unsigned long readInputFocusWindow();
    /// The WM_CLASS of the window, or with `walkUp` of the nearest ancestor that has one.
    WindowApplication applicationOf(unsigned long window, bool walkUp);

    _XDisplay* m_display = nullptr;
    unsigned long m_activeWindowAtom = 0;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QTimer m_pollTimer;
    bool m_followsActiveWindow = false;
    WindowApplication m_application;
};
