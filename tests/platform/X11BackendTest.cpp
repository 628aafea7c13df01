#include "PlatformFactory.h"
#include "X11Injector.h"
#include "X11WindowSystem.h"

#include <gtest/gtest.h>

#include "XDisplayTest.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <linux/input-event-codes.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

namespace {

// A connection of the test's own, to look at what the backends did from the outside.
class X11Backends : public TestSupport::XDisplayTest
{
protected:
    bool keyDown(int linuxKey)
    {
        char keys[32];
        XQueryKeymap(display, keys);
        const int keycode = linuxKey + 8;
        return (keys[keycode / 8] >> (keycode % 8)) & 1;
    }
    unsigned buttonMask()
    {
        Window rootReturn = 0, child = 0;
        int rx = 0, ry = 0, wx = 0, wy = 0;
        unsigned mask = 0;
        XQueryPointer(display, root, &rootReturn, &child, &rx, &ry, &wx, &wy, &mask);
        return mask;
    }
    Window createWindow(const char* title, int x, int y, int width, int height)
    {
        const Window window = XCreateSimpleWindow(display, root, x, y, width, height, 0, 0, 0);
        XStoreName(display, window, title);
        XClassHint hint{const_cast<char*>("probe"), const_cast<char*>("SenKeyProbe")};
        XSetClassHint(display, window, &hint);
        XSelectInput(display, window, KeyPressMask | KeyReleaseMask | ExposureMask);
        XMapRaised(display, window);
        XSync(display, False);
        return window;
    }
};

TEST_F(X11Backends, XTestPressesAndReleasesTheMappedKeys)
{
    X11Injector injector;
    ASSERT_TRUE(injector.isAvailable()) << injector.errorString().toStdString();
    const struct {
        std::uint16_t scanCode;
        int key;
    } cases[] = {{0x1E, KEY_A}, {0x2A, KEY_LEFTSHIFT}, {0xC8, KEY_UP}, {0xD3, KEY_DELETE}, {0x3F, KEY_F5}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.scanCode);
        injector.pressKey(c.scanCode);
        EXPECT_TRUE(keyDown(c.key));
        injector.releaseKey(c.scanCode);
        EXPECT_FALSE(keyDown(c.key));
    }

    // Codes without a key ("Left Click" inside a combination leaves 0x040C) press nothing at all.
    for (std::uint16_t scanCode : {0x040C, 0x54, 0x00}) {
        injector.pressKey(scanCode);
        char keys[32];
        XQueryKeymap(display, keys);
        EXPECT_TRUE(std::all_of(std::begin(keys), std::end(keys), [](char byte) { return byte == 0; })) << scanCode;
        injector.releaseKey(scanCode);
    }
}

TEST_F(X11Backends, XTestPressesAndReleasesButtons)
{
    X11Injector injector;
    ASSERT_TRUE(injector.isAvailable());
    const struct {
        MouseButton button;
        unsigned mask;
    } cases[] = {
        {MouseButton::Left, Button1Mask}, {MouseButton::Middle, Button2Mask}, {MouseButton::Right, Button3Mask}};
    for (const auto& c : cases) {
        injector.pressButton(c.button);
        EXPECT_EQ(buttonMask() & (Button1Mask | Button2Mask | Button3Mask), c.mask);
        injector.releaseButton(c.button);
        EXPECT_EQ(buttonMask() & (Button1Mask | Button2Mask | Button3Mask), 0U);
    }
}

TEST_F(X11Backends, AutoChoosesXTestWhenUinputIsMissing)
{
    PlatformOptions options;
    options.uinputPath = QStringLiteral("/nonexistent/uinput");
    const Platform platform = createPlatform(options);
    EXPECT_EQ(platform.injectorKind, BackendKind::X11);
    EXPECT_TRUE(platform.fallbackReason.isEmpty());
    EXPECT_TRUE(platform.windowSystem->isAvailable());
}

TEST_F(X11Backends, FindsAndInspectsWindows)
{
    const Window window = createWindow("SenKey probe \xC3\xA9", 40, 50, 200, 100);
    const Atom netWmName = XInternAtom(display, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    const char* utf8Title = "SenKey probe \xC3\xA9 (UTF-8)";
    XChangeProperty(display, window, netWmName, utf8, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(utf8Title), static_cast<int>(std::strlen(utf8Title)));
    XSync(display, False);

    X11WindowSystem windows;
    ASSERT_TRUE(windows.isAvailable());
    const QString title = QString::fromUtf8(utf8Title);
    EXPECT_EQ(windows.findWindow(title), window);
    EXPECT_EQ(windows.findWindow("SenKey probe"), 0U);
    EXPECT_EQ(windows.windowCaption(window), title);
    EXPECT_EQ(windows.windowClassName(window), "SenKeyProbe");
    EXPECT_EQ(windows.windowRect(window), (WindowRect{40, 50, 239, 149}));
    EXPECT_EQ(windows.windowAt(45, 55), window);
    EXPECT_TRUE(windows.isValidWindow(window));

    // Without a window manager nothing is active until someone says so.
    const Atom active = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
    XChangeProperty(display, root, active, XA_WINDOW, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&window), 1);
    XSync(display, False);
    EXPECT_EQ(windows.foregroundWindow(), window);
    XDeleteProperty(display, root, active);

    XDestroyWindow(display, window);
    XSync(display, False);
    EXPECT_FALSE(windows.isValidWindow(window));
    EXPECT_FALSE(windows.isValidWindow(0));
    EXPECT_TRUE(windows.windowCaption(window).isEmpty());
    EXPECT_TRUE(windows.windowRect(window).isEmpty());
    EXPECT_FALSE(windows.postChar(window, 'a')); // a vanished window is an error, not a crash
    EXPECT_EQ(windows.foregroundWindow(), 0U);
}

TEST_F(X11Backends, PostedCharactersArriveAsSentKeyEventsWithTheirShiftState)
{
    const Window window = createWindow("SenKey post target", 0, 0, 50, 50);
    X11WindowSystem windows;
    const struct {
        char ch;
        KeySym keysym;
        bool shift;
    } cases[] = {{'a', XK_a, false}, {'A', XK_a, true},        {'?', XK_slash, true},
                 {'5', XK_5, false}, {'\n', XK_Return, false}, {'\t', XK_Tab, false}};
    for (const auto& c : cases) {
        ASSERT_TRUE(windows.postChar(window, c.ch));
    }
    EXPECT_FALSE(windows.postChar(window, static_cast<char>(0xE9)));
    EXPECT_FALSE(windows.postChar(window, '\x01'));
    EXPECT_FALSE(windows.postChar(0, 'a'));

    for (const auto& c : cases) {
        SCOPED_TRACE(c.ch);
        for (int type : {KeyPress, KeyRelease}) {
            XEvent event;
            do {
                XNextEvent(display, &event);
            } while (event.type != KeyPress && event.type != KeyRelease);
            EXPECT_EQ(event.type, type);
            EXPECT_TRUE(event.xkey.send_event);
            EXPECT_EQ(event.xkey.window, window);
            EXPECT_EQ(XLookupKeysym(&event.xkey, 0), c.keysym);
            EXPECT_EQ((event.xkey.state & ShiftMask) != 0, c.shift);
        }
    }
    XDestroyWindow(display, window);
}

} // namespace
