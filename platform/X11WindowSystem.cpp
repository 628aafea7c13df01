#include "X11WindowSystem.h"

// Qt before X11: Xlib defines macros (Bool, Status) that clash with Qt's names.
#include <QDebug>

#include "X11ErrorTrap.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/shape.h>
#include <X11/keysym.h>

#include <algorithm>
#include <deque>

namespace {

// Reads a property of 32-bit items (XIDs) and returns the first, 0 when absent.
unsigned long firstWindowProperty(Display* display, Window window, Atom property)
{
    Atom type = None;
    int format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    unsigned long result = 0;
    if (XGetWindowProperty(display, window, property, 0, 1, False, XA_WINDOW, &type, &format, &count, &remaining,
                           &data) == Success &&
        data) {
        if (format == 32 && count == 1) {
            result = *reinterpret_cast<unsigned long*>(data);
        }
        XFree(data);
    }
    return result;
}

// The first atom of an atom-list property, 0 when absent.
unsigned long firstAtomProperty(Display* display, Window window, Atom property)
{
    Atom type = None;
    int format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    unsigned long result = 0;
    if (XGetWindowProperty(display, window, property, 0, 1, False, XA_ATOM, &type, &format, &count, &remaining,
                           &data) == Success &&
        data) {
        if (format == 32 && count >= 1) {
            result = *reinterpret_cast<unsigned long*>(data);
        }
        XFree(data);
    }
    return result;
}

} // namespace

X11WindowSystem::X11WindowSystem(const QByteArray& displayName)
    : display_(XOpenDisplay(displayName.isEmpty() ? nullptr : displayName.constData())), m_displayName(displayName)
{
}

X11WindowSystem::~X11WindowSystem()
{
    if (display_) {
        std::lock_guard lock(mutex_);
        destroyHighlightLocked();
        XCloseDisplay(display_);
    }
}

WindowHandle X11WindowSystem::foregroundWindow()
{
    if (!display_) {
        return 0;
    }
    std::lock_guard lock(mutex_);
    const Atom active = XInternAtom(display_, "_NET_ACTIVE_WINDOW", False);
    return static_cast<WindowHandle>(firstWindowProperty(display_, DefaultRootWindow(display_), active));
}

WindowHandle X11WindowSystem::findWindow(const QString& title)
{
    if (!display_) {
        return 0;
    }
    std::lock_guard lock(mutex_);
    X11ErrorTrap trap(display_);
    // Top-level windows are the root's children, or under a window manager the children of its frames;
    // search both levels, the top of the stack first.
    std::deque<std::pair<Window, int>> pending{{DefaultRootWindow(display_), 0}};
    while (!pending.empty()) {
        const auto [parent, depth] = pending.front();
        pending.pop_front();
        Window root = 0, parentOfParent = 0;
        Window* children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(display_, parent, &root, &parentOfParent, &children, &count)) {
            continue;
        }
        for (unsigned i = count; i-- > 0;) {
            if (captionLocked(children[i]) == title) {
                const Window found = children[i];
                XFree(children);
                return static_cast<WindowHandle>(found);
            }
            if (depth < 1) {
                pending.emplace_back(children[i], depth + 1);
            }
        }
        if (children) {
            XFree(children);
        }
    }
    return 0;
}

bool X11WindowSystem::postChar(WindowHandle window, char32_t ch)
{
    if (!display_ || window == 0) {
        return false;
    }
    std::lock_guard lock(mutex_);
    if (!m_layoutTried) {
        m_layoutTried = true;
        QString error;
        m_layout = KeyboardLayout::fromX11(m_displayName, &error);
        if (!m_layout) {
            qWarning().noquote() << "Characters cannot be posted:" << error;
        }
    }
    if (!m_layout) {
        return false;
    }
    m_layout->refresh();
    const std::optional<KeyStroke> stroke = m_layout->strokeFor(ch);
    if (!stroke) {
        qDebug().noquote() << QStringLiteral("No key of the layout %1 types U+%2; nothing posted")
                                  .arg(m_layout->name())
                                  .arg(static_cast<unsigned>(ch), 4, 16, QLatin1Char('0'));
        return false;
    }
    // The state selects the level of the key, as Shift and AltGr would, and the layout group.
    const unsigned state = stroke->coreState;
    const auto keycode = static_cast<KeyCode>(stroke->key);

    X11ErrorTrap trap(display_);
    XKeyEvent event{};
    event.display = display_;
    event.window = window;
    event.root = DefaultRootWindow(display_);
    event.subwindow = None;
    event.time = CurrentTime;
    event.x = event.y = event.x_root = event.y_root = 1;
    event.same_screen = True;
    event.state = state;
    event.keycode = keycode;
    for (int type : {KeyPress, KeyRelease}) {
        event.type = type;
        XSendEvent(display_, window, True, type == KeyPress ? KeyPressMask : KeyReleaseMask,
                   reinterpret_cast<XEvent*>(&event));
    }
    return trap.ok();
}

bool X11WindowSystem::isValidWindow(WindowHandle window)
{
    if (!display_ || window == 0) {
        return false;
    }
    std::lock_guard lock(mutex_);
    X11ErrorTrap trap(display_);
    XWindowAttributes attributes;
    const Status status = XGetWindowAttributes(display_, window, &attributes);
    return trap.ok() && status != 0;
}

WindowHandle X11WindowSystem::windowAt(int x, int y)
{
    if (!display_) {
        return 0;
    }
    std::lock_guard lock(mutex_);
    X11ErrorTrap trap(display_);
    const Window root = DefaultRootWindow(display_);
    Window current = root;
    Window child = None;
    int childX = 0, childY = 0;
    // XTranslateCoordinates reports the mapped child under the point; follow it down to the leaf.
    while (XTranslateCoordinates(display_, root, current, x, y, &childX, &childY, &child) && child != None) {
        current = child;
    }
    if (!trap.ok() || current == root) {
        return 0;
    }
    return static_cast<WindowHandle>(current);
}

QString X11WindowSystem::windowCaption(WindowHandle window)
{
    if (!display_ || window == 0) {
        return {};
    }
    std::lock_guard lock(mutex_);
    X11ErrorTrap trap(display_);
    QString caption = captionLocked(window);
    return trap.ok() ? caption : QString();
}

QString X11WindowSystem::captionLocked(unsigned long window)
{
    const Atom netWmName = XInternAtom(display_, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(display_, "UTF8_STRING", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display_, window, netWmName, 0, 1024, False, utf8, &type, &format, &count, &remaining,
                           &data) == Success &&
        data) {
        QString caption;
        if (type == utf8 && format == 8) {
            caption = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(count));
        }
        XFree(data);
        if (!caption.isEmpty()) {
            return caption;
        }
    }
    XTextProperty property{};
    if (!XGetWMName(display_, window, &property) || !property.value) {
        return {};
    }
    QString caption;
    char** list = nullptr;
    int items = 0;
    if (Xutf8TextPropertyToTextList(display_, &property, &list, &items) >= Success && list) {
        if (items > 0) {
            caption = QString::fromUtf8(list[0]);
        }
        XFreeStringList(list);
    }
    XFree(property.value);
    return caption;
}

QString X11WindowSystem::windowClassName(WindowHandle window)
{
    if (!display_ || window == 0) {
        return {};
    }
    std::lock_guard lock(mutex_);
    X11ErrorTrap trap(display_);
    XClassHint hint{};
    QString className;
    if (XGetClassHint(display_, window, &hint)) {
        className = QString::fromLocal8Bit(hint.res_class);
        XFree(hint.res_name);
        XFree(hint.res_class);
    }
    return trap.ok() ? className : QString();
}

WindowRect X11WindowSystem::windowRect(WindowHandle window)
{
    if (!display_ || window == 0) {
        return {};
    }
    std::lock_guard lock(mutex_);
    X11ErrorTrap trap(display_);
    XWindowAttributes attributes{};
    int left = 0, top = 0;
    Window child = None;
    if (!XGetWindowAttributes(display_, window, &attributes) ||
        !XTranslateCoordinates(display_, window, DefaultRootWindow(display_), 0, 0, &left, &top, &child) ||
        !trap.ok()) {
        return {};
    }
    return {left, top, left + attributes.width - 1, top + attributes.height - 1};
}

WindowHandle X11WindowSystem::topLevelWindow(WindowHandle window)
{
    if (!display_ || window == 0) {
        return 0;
    }
    std::lock_guard lock(mutex_);
    X11ErrorTrap trap(display_);
    Window current = window;
    // Window trees are shallow, but a bound keeps a tree that changes under us from looping.
    for (int depth = 0; depth < 64; ++depth) {
        Window root = None, parent = None;
        Window* children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(display_, current, &root, &parent, &children, &count)) {
            return 0;
        }
        if (children) {
            XFree(children);
        }
        if (parent == None || parent == root) {
            return trap.ok() ? static_cast<WindowHandle>(current) : 0;
        }
        current = parent;
    }
    return 0;
}

bool X11WindowSystem::hasWmStateLocked(unsigned long window)
{
    // The window manager puts WM_STATE on the application windows it manages, and on nothing else.
    const Atom wmState = XInternAtom(display_, "WM_STATE", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    const bool found = XGetWindowProperty(display_, window, wmState, 0, 0, False, AnyPropertyType, &type, &format,
                                          &count, &remaining, &data) == Success &&
                       type != None;
    if (data) {
        XFree(data);
    }
    return found;
}

WindowHandle X11WindowSystem::clientWindow(WindowHandle window)
{
    if (!display_ || window == 0) {
        return 0;
    }
    std::lock_guard lock(mutex_);
    X11ErrorTrap trap(display_);
    Window current = window;
    Window topLevel = window;
    for (int depth = 0; depth < 64; ++depth) {
        if (hasWmStateLocked(current)) {
            return trap.ok() ? static_cast<WindowHandle>(current) : 0;
        }
        Window root = None, parent = None;
        Window* children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(display_, current, &root, &parent, &children, &count)) {
            return 0;
        }
        if (children) {
            XFree(children);
        }
        topLevel = current;
        if (parent == None || parent == root) {
            break;
        }
        current = parent;
    }
    // Without a window manager the root's child is the application's window.
    return trap.ok() ? static_cast<WindowHandle>(topLevel) : 0;
}

QList<WindowHandle> X11WindowSystem::clientWindows()
{
    QList<WindowHandle> windows;
    if (!display_) {
        return windows;
    }
    std::lock_guard lock(mutex_);
    X11ErrorTrap trap(display_);
    const Window root = DefaultRootWindow(display_);
    const Atom clientList = XInternAtom(display_, "_NET_CLIENT_LIST_STACKING", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display_, root, clientList, 0, 4096, False, XA_WINDOW, &type, &format, &count, &remaining,
                           &data) == Success &&
        data) {
        if (format == 32) {
            const auto* ids = reinterpret_cast<const unsigned long*>(data);
            // Panels, trays and the desktop itself are in the list too, but are nobody's target.
            const Atom windowType = XInternAtom(display_, "_NET_WM_WINDOW_TYPE", False);
            const Atom dock = XInternAtom(display_, "_NET_WM_WINDOW_TYPE_DOCK", False);
            const Atom desktop = XInternAtom(display_, "_NET_WM_WINDOW_TYPE_DESKTOP", False);
            for (unsigned long i = 0; i < count; ++i) {
                const unsigned long kind = firstAtomProperty(display_, ids[i], windowType);
                if (kind != dock && kind != desktop) {
                    windows.append(static_cast<WindowHandle>(ids[i]));
                }
            }
        }
        XFree(data);
    }
    if (!windows.isEmpty()) {
        return windows;
    }
    // No window manager that keeps the list: the mapped children of the root, and of their children.
    std::deque<std::pair<Window, int>> pending{{root, 0}};
    while (!pending.empty()) {
        const auto [parent, depth] = pending.front();
        pending.pop_front();
        Window rootOfTree = 0, parentOfParent = 0;
        Window* children = nullptr;
        unsigned childCount = 0;
        if (!XQueryTree(display_, parent, &rootOfTree, &parentOfParent, &children, &childCount)) {
            continue;
        }
        for (unsigned i = 0; i < childCount; ++i) {
            XWindowAttributes attributes{};
            if (!XGetWindowAttributes(display_, children[i], &attributes) || attributes.map_state != IsViewable) {
                continue;
            }
            if (hasWmStateLocked(children[i]) || (depth == 0 && !attributes.override_redirect &&
                                                 !captionLocked(children[i]).isEmpty())) {
                windows.append(static_cast<WindowHandle>(children[i]));
            } else if (depth < 1) {
                pending.emplace_back(children[i], depth + 1);
            }
        }
        if (children) {
            XFree(children);
        }
    }
    return trap.ok() ? windows : QList<WindowHandle>{};
}

void X11WindowSystem::showHighlight(WindowHandle window)
{
    if (!display_) {
        return;
    }
    std::lock_guard lock(mutex_);
    X11ErrorTrap trap(display_);
    destroyHighlightLocked();
    int shapeEvent = 0, shapeError = 0, shapeMajor = 0, shapeMinor = 0;
    // Without a shape the frame would paint over the whole window; an input shape needs SHAPE 1.1.
    if (window == 0 || !XShapeQueryExtension(display_, &shapeEvent, &shapeError) ||
        !XShapeQueryVersion(display_, &shapeMajor, &shapeMinor) || (shapeMajor == 1 && shapeMinor < 1)) {
        return;
    }
    const Window root = DefaultRootWindow(display_);
    XWindowAttributes attributes{};
    int left = 0, top = 0;
    Window child = None;
    if (!XGetWindowAttributes(display_, window, &attributes) ||
        !XTranslateCoordinates(display_, window, root, 0, 0, &left, &top, &child) || !trap.ok()) {
        return;
    }
    const int width = std::max(attributes.width, 1);
    const int height = std::max(attributes.height, 1);

    XSetWindowAttributes frameAttributes{};
    frameAttributes.override_redirect = True;
    frameAttributes.background_pixel = highlightPixelLocked();
    const Window frame =
        XCreateWindow(display_, root, left, top, static_cast<unsigned>(width), static_cast<unsigned>(height), 0,
                      CopyFromParent, InputOutput, CopyFromParent, CWOverrideRedirect | CWBackPixel, &frameAttributes);
    constexpr int kThickness = 8;
    const auto w = static_cast<unsigned short>(std::min(width, 0xFFFF));
    const auto h = static_cast<unsigned short>(std::min(height, 0xFFFF));
    const auto tx = static_cast<unsigned short>(std::min(kThickness, width));
    const auto ty = static_cast<unsigned short>(std::min(kThickness, height));
    XRectangle ring[] = {
        {0, 0, w, ty},
        {0, static_cast<short>(std::max(height - kThickness, 0)), w, ty},
        {0, 0, tx, h},
        {static_cast<short>(std::max(width - kThickness, 0)), 0, tx, h},
    };
    XShapeCombineRectangles(display_, frame, ShapeBounding, 0, 0, ring, 4, ShapeSet, Unsorted);
    // An empty input shape lets every click and every pointer query pass through to the window below.
    XShapeCombineRectangles(display_, frame, ShapeInput, 0, 0, nullptr, 0, ShapeSet, Unsorted);
    XClassHint hint{};
    char name[] = "senkey-highlight";
    hint.res_name = name;
    hint.res_class = name;
    XSetClassHint(display_, frame, &hint);
    XMapRaised(display_, frame);
    if (trap.ok()) {
        highlight_ = frame;
    } else {
        XDestroyWindow(display_, frame);
        XFlush(display_);
    }
}

void X11WindowSystem::hideHighlight()
{
    if (!display_) {
        return;
    }
    std::lock_guard lock(mutex_);
    X11ErrorTrap trap(display_);
    destroyHighlightLocked();
}

WindowHandle X11WindowSystem::highlightFrame()
{
    std::lock_guard lock(mutex_);
    return static_cast<WindowHandle>(highlight_);
}

void X11WindowSystem::destroyHighlightLocked()
{
    if (highlight_ != 0) {
        XDestroyWindow(display_, highlight_);
        XFlush(display_);
        highlight_ = 0;
    }
}

unsigned long X11WindowSystem::highlightPixelLocked()
{
    if (!highlightPixelKnown_) {
        XColor colour{};
        colour.red = 250 * 257;
        colour.green = 0;
        colour.blue = 0;
        colour.flags = DoRed | DoGreen | DoBlue;
        const int screen = DefaultScreen(display_);
        highlightPixel_ = XAllocColor(display_, DefaultColormap(display_, screen), &colour)
                              ? colour.pixel
                              : BlackPixel(display_, screen);
        highlightPixelKnown_ = true;
    }
    return highlightPixel_;
}
