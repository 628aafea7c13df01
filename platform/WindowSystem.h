#pragma once

#include <QList>
#include <QString>

#include <cstdint>

/// A native top-level window; 0 is the null handle.
using WindowHandle = std::uint32_t;

/// A window's area in screen coordinates, both corners inclusive.
struct WindowRect {
    int left = 0;
    int top = 0;
    int right = -1;
    int bottom = -1;

    bool isEmpty() const { return right < left || bottom < top; }
    bool operator==(const WindowRect&) const = default;
};

/// The windows of the desktop, as far as the program needs them: finding and inspecting a window and
/// handing it typed characters directly. Implementations are called from more than one thread.
class WindowSystem
{
public:
    virtual ~WindowSystem() = default;

    /// False when there is no desktop to talk to; every call then finds nothing and posts nothing.
    virtual bool isAvailable() const = 0;

    /// The window that has the user's attention, 0 when none can be told.
    virtual WindowHandle foregroundWindow() = 0;
    /// The first top-level window, from the top of the stack, whose caption equals the title; 0 if none.
    virtual WindowHandle findWindow(const QString& title) = 0;
    /// Hands one character (a Unicode code point) to the window without going through the focus, as the
    /// key of the keyboard layout in use that types it. Returns whether it was sent.
    virtual bool postChar(WindowHandle window, char32_t ch) = 0;

    virtual bool isValidWindow(WindowHandle window) = 0;
    /// The deepest visible window under a screen point, 0 if none.
    virtual WindowHandle windowAt(int x, int y) = 0;
    virtual QString windowCaption(WindowHandle window) = 0;
    virtual QString windowClassName(WindowHandle window) = 0;
    virtual WindowRect windowRect(WindowHandle window) = 0;

    /// The top-level window that holds the window, under a window manager its frame; the window itself
    /// when it is top-level or the backend knows no nesting. 0 when the window cannot be read.
    virtual WindowHandle topLevelWindow(WindowHandle window) { return window; }
    /// The application's top-level window that holds the window, the one that carries its title (under a
    /// window manager the window inside the frame); the window itself when it is one or the backend knows
    /// no nesting. 0 when the window cannot be read.
    virtual WindowHandle clientWindow(WindowHandle window) { return window; }
    /// The applications' top-level windows, from the bottom of the stack to the top as far as the window
    /// manager tells; empty when there are none or the backend cannot list them.
    virtual QList<WindowHandle> clientWindows() { return {}; }

    /// Outlines the window with a red frame laid over its rectangle, in place of any earlier outline. The
    /// frame takes no input and is never the window that windowAt finds. Without a desktop nothing is drawn.
    virtual void showHighlight(WindowHandle window) { (void)window; }
    /// Removes the outline, if one is shown.
    virtual void hideHighlight() {}
};
