#include "X11FocusTracker.h"

// Qt before X11: Xlib defines macros (Bool, Status) that clash with Qt's names.
#include <QDebug>

#include "X11ErrorTrap.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

// The active window, or nothing when the root has no such property (no window manager keeps it).
std::optional<Window> activeWindow(Display* display, Atom property)
{
    Atom type = None;
    int format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    std::optional<Window> result;
    if (XGetWindowProperty(display, DefaultRootWindow(display), property, 0, 1, False, XA_WINDOW, &type, &format,
                           &count, &remaining, &data) == Success) {
        if (type == XA_WINDOW && format == 32) {
            result = count == 1 ? *reinterpret_cast<unsigned long*>(data) : Window{None};
        }
        if (data) {
            XFree(data);
        }
    }
    return result;
}

} // namespace

X11FocusTracker::X11FocusTracker(const QByteArray& displayName)
    : m_display(XOpenDisplay(displayName.isEmpty() ? nullptr : displayName.constData()))
{
    if (!m_display) {
        return;
    }
    m_activeWindowAtom = XInternAtom(m_display, "_NET_ACTIVE_WINDOW", False);
    // Only the root's property changes are asked for; nothing else arrives on this connection.
    XSelectInput(m_display, DefaultRootWindow(m_display), PropertyChangeMask);
    XFlush(m_display);
    m_notifier = std::make_unique<QSocketNotifier>(ConnectionNumber(m_display), QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(), [this] { readEvents(); });
    m_pollTimer.setInterval(200);
    QObject::connect(&m_pollTimer, &QTimer::timeout, &m_pollTimer, [this] {
        if (update()) {
            notifyChanged();
        }
        readEvents();
    });
    update();
}

X11FocusTracker::~X11FocusTracker()
{
    m_notifier.reset();
    if (m_display) {
        XCloseDisplay(m_display);
    }
}

FocusedApplication X11FocusTracker::focusedApplication()
{
    if (!m_display) {
        return std::nullopt;
    }
    // Without the window manager's property no event tells of a focus move, so the focus is read now.
    if (!m_followsActiveWindow) {
        update();
    }
    return m_application;
}

void X11FocusTracker::readEvents()
{
    // Reading the property is a round trip, during which Xlib may take further events off the socket
    // into its own queue; the notifier would not see those, so the queue is drained until it stays empty.
    bool changed = false;
    for (;;) {
        bool activeWindowChanged = false;
        while (XPending(m_display) > 0) {
            XEvent event;
            XNextEvent(m_display, &event);
            activeWindowChanged =
                activeWindowChanged || (event.type == PropertyNotify && event.xproperty.atom == m_activeWindowAtom);
        }
        if (!activeWindowChanged) {
            break;
        }
        changed = update() || changed;
    }
    if (changed) {
        notifyChanged();
    }
}

bool X11FocusTracker::update()
{
    const std::optional<Window> active = activeWindow(m_display, m_activeWindowAtom);
    // A window manager may start (or stop) while the program runs.
    m_followsActiveWindow = active.has_value();
    if (m_followsActiveWindow) {
        m_pollTimer.stop();
    } else if (!m_pollTimer.isActive()) {
        m_pollTimer.start();
    }
    const WindowApplication application =
        active ? applicationOf(*active, false) : applicationOf(readInputFocusWindow(), true);
    if (application == m_application) {
        return false;
    }
    m_application = application;
    return true;
}

unsigned long X11FocusTracker::readInputFocusWindow()
{
    Window focus = None;
    int revert = 0;
    XGetInputFocus(m_display, &focus, &revert);
    // PointerRoot and None are no application.
    return focus == PointerRoot ? Window{None} : focus;
}

WindowApplication X11FocusTracker::applicationOf(unsigned long window, bool walkUp)
{
    X11ErrorTrap trap(m_display);
    const Window root = DefaultRootWindow(m_display);
    Window current = window;
    // Window trees are shallow, but a bound keeps a tree that changes under us from looping.
    for (int depth = 0; depth < 64 && current != None && current != root; ++depth) {
        XClassHint hint{};
        if (XGetClassHint(m_display, current, &hint)) {
            WindowApplication application{QString::fromLocal8Bit(hint.res_name),
                                          QString::fromLocal8Bit(hint.res_class)};
            XFree(hint.res_name);
            XFree(hint.res_class);
            return trap.ok() ? application : WindowApplication{};
        }
        if (!walkUp) {
            break;
        }
        Window parentRoot = None, parent = None;
        Window* children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(m_display, current, &parentRoot, &parent, &children, &count)) {
            break;
        }
        if (children) {
            XFree(children);
        }
        current = parent;
    }
    return {};
}
