#include "X11Injector.h"

// Qt before X11: Xlib defines macros (Bool, Status) that clash with Qt's names.
#include <QDebug>

#include "ScanCodeTable.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace {

// X servers with the evdev keymap number their keys as the Linux key code plus 8.
constexpr int kX11KeycodeOffset = 8;

unsigned buttonNumber(MouseButton button)
{
    switch (button) {
    case MouseButton::Left:
        return Button1;
    case MouseButton::Middle:
        return Button2;
    case MouseButton::Right:
        return Button3;
    }
    return Button1;
}

} // namespace

X11Injector::X11Injector(const QByteArray& displayName)
{
    Display* display = XOpenDisplay(displayName.isEmpty() ? nullptr : displayName.constData());
    if (!display) {
        const QByteArray name = displayName.isEmpty() ? qgetenv("DISPLAY") : displayName;
        error_ = name.isEmpty() ? QStringLiteral("no X display is set")
                                : QStringLiteral("cannot open the X display \"%1\"").arg(QString::fromLocal8Bit(name));
        return;
    }
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(display, &eventBase, &errorBase, &major, &minor)) {
        error_ = QStringLiteral("the X server has no XTest extension");
        XCloseDisplay(display);
        return;
    }
    display_ = display;
}

X11Injector::~X11Injector()
{
    if (display_) {
        XCloseDisplay(display_);
    }
}

void X11Injector::pressKey(std::uint16_t scanCode)
{
    sendKey(scanCode, true);
}

void X11Injector::releaseKey(std::uint16_t scanCode)
{
    sendKey(scanCode, false);
}

void X11Injector::pressButton(MouseButton button)
{
    sendButton(button, true);
}

void X11Injector::releaseButton(MouseButton button)
{
    sendButton(button, false);
}

void X11Injector::sendKey(std::uint16_t scanCode, bool down)
{
    if (!display_) {
        return;
    }
    const int key = linuxKeyForScanCode(scanCode);
    if (key == 0) {
        qDebug("Scan code 0x%x names no key; nothing pressed", scanCode);
        return;
    }
    std::lock_guard lock(mutex_);
    XTestFakeKeyEvent(display_, static_cast<unsigned>(key + kX11KeycodeOffset), down ? True : False, CurrentTime);
    // Wait for the server, so that the event has happened when the call returns and stays in order with
    // the requests of other connections (sent characters, queries).
    XSync(display_, False);
}

void X11Injector::sendButton(MouseButton button, bool down)
{
    if (!display_) {
        return;
    }
    std::lock_guard lock(mutex_);
    XTestFakeButtonEvent(display_, buttonNumber(button), down ? True : False, CurrentTime);
    // Wait for the server, so that the event has happened when the call returns and stays in order with
    // the requests of other connections (sent characters, queries).
    XSync(display_, False);
}
