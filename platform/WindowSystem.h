#pragma once

#include <QString>

#include <cstdint>
#include <vector>

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

/// The application a top-level window belongs to: the two parts of its WM_CLASS. Both are empty for
/// "no window has the focus" (the desktop, or a window without a class).
struct WindowApplication {
    QString instance;
    QString className;

    bool operator==(const WindowApplication&) const = default;
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
    /// Hands one character to the window without going through the focus. Returns whether it was sent.
    virtual bool postChar(WindowHandle window, char ch) = 0;

    virtual bool isValidWindow(WindowHandle window) = 0;
    /// The deepest visible window under a screen point, 0 if none.
    virtual WindowHandle windowAt(int x, int y) = 0;
    virtual QString windowCaption(WindowHandle window) = 0;
    virtual QString windowClassName(WindowHandle window) = 0;
    virtual WindowRect windowRect(WindowHandle window) = 0;

    /// The top-level window that holds the window, under a window manager its frame; the window itself
    /// when it is top-level or the backend knows no nesting. 0 when the window cannot be read.
    virtual WindowHandle topLevelWindow(WindowHandle window) { return window; }

    /// The application windows of the desktop, from the bottom of the stack; empty when none can be listed.
    virtual std::vector<WindowHandle> topLevelWindows() { return {}; }
    /// The WM_CLASS of the window; empty when it has none or cannot be read.
    virtual WindowApplication windowApplication(WindowHandle window)
    {
        (void)window;
        return {};
    }

    /// Outlines the window with a red frame laid over its rectangle, in place of any earlier outline. The
    /// frame takes no input and is never the window that windowAt finds. Without a desktop nothing is drawn.
    virtual void showHighlight(WindowHandle window) { (void)window; }
    /// Removes the outline, if one is shown.
    virtual void hideHighlight() {}
};
