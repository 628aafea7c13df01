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

KeySym keysymForChar(char ch)
{
    const auto c = static_cast<unsigned char>(ch);
    if (c == '\n' || c == '\r') {
        return XK_Return;
    }
    if (c == '\t') {
        return XK_Tab;
    }
    // Printable ASCII keysyms have the character's own value.
    if (c >= 0x20 && c < 0x7F) {
        return c;
    }
    return NoSymbol;
}

} // namespace

X11WindowSystem::X11WindowSystem(const QByteArray& displayName)
    : display_(XOpenDisplay(displayName.isEmpty() ? nullptr : displayName.constData()))
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

bool X11WindowSystem::postChar(WindowHandle window, char ch)
{
    if (!display_ || window == 0) {
        return false;
    }
    const KeySym keysym = keysymForChar(ch);
    std::lock_guard lock(mutex_);
    const KeyCode keycode = keysym == NoSymbol ? 0 : XKeysymToKeycode(display_, keysym);
    if (keycode == 0) {
        qDebug("No key of the current layout types character 0x%x; nothing posted", static_cast<unsigned char>(ch));
        return false;
    }
    // The state selects the level of the key that gives the keysym: Shift, and the third-level modifier
    // (AltGr, Mod5 in the usual modifier map) for the symbols of other layouts.
    static constexpr unsigned kLevelState[] = {0, ShiftMask, Mod5Mask, ShiftMask | Mod5Mask};
    unsigned state = ShiftMask;
    for (unsigned level = 0; level < 4; ++level) {
        if (XkbKeycodeToKeysym(display_, keycode, 0, static_cast<int>(level)) == keysym) {
            state = kLevelState[level];
            break;
        }
    }

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

std::vector<WindowHandle> X11WindowSystem::topLevelWindows()
{
    std::vector<WindowHandle> windows;
    if (!display_) {
        return windows;
    }
    std::lock_guard lock(mutex_);
    X11ErrorTrap trap(display_);
    const Window root = DefaultRootWindow(display_);
    // The window manager's list holds exactly the application windows; without one, the mapped
    // children of the root that carry a class.
    Atom type = None;
    int format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display_, root, XInternAtom(display_, "_NET_CLIENT_LIST", False), 0, 4096, False, XA_WINDOW,
                           &type, &format, &count, &remaining, &data) == Success &&
        data && format == 32) {
        const auto* list = reinterpret_cast<const unsigned long*>(data);
        windows.assign(list, list + count);
    }
    if (data) {
        XFree(data);
    }
    if (!windows.empty()) {
        return windows;
    }
    Window rootOfTree = None, parent = None;
    Window* children = nullptr;
    unsigned childCount = 0;
    if (!XQueryTree(display_, root, &rootOfTree, &parent, &children, &childCount)) {
        return windows;
    }
    for (unsigned i = 0; i < childCount; ++i) {
        XWindowAttributes attributes{};
        XClassHint hint{};
        if (XGetWindowAttributes(display_, children[i], &attributes) && attributes.map_state == IsViewable &&
            !attributes.override_redirect && XGetClassHint(display_, children[i], &hint)) {
            XFree(hint.res_name);
            XFree(hint.res_class);
            windows.push_back(static_cast<WindowHandle>(children[i]));
        }
    }
    if (children) {
        XFree(children);
    }
    return trap.ok() ? windows : std::vector<WindowHandle>{};
}

WindowApplication X11WindowSystem::windowApplication(WindowHandle window)
{
    if (!display_ || window == 0) {
        return {};
    }
    std::lock_guard lock(mutex_);
    X11ErrorTrap trap(display_);
    XClassHint hint{};
    WindowApplication application;
    if (XGetClassHint(display_, window, &hint)) {
        application = {QString::fromLocal8Bit(hint.res_name), QString::fromLocal8Bit(hint.res_class)};
        XFree(hint.res_name);
        XFree(hint.res_class);
    }
    return trap.ok() ? application : WindowApplication{};
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
