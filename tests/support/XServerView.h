#pragma once
// What the X server says is down, asked directly (XQueryKeymap, the pointer's button mask): a key a
// program forgot is still down there after the program is gone.

#include <gtest/gtest.h>

#include <QtGlobal>

#include <string>

// Last: Xlib defines macros (Bool, Status) that clash with names in headers included before it.
#include <X11/Xlib.h>

namespace TestSupport {

// Linux key codes plus 8, as the X server numbers them.
constexpr int kKeycodeW = 17 + 8;
constexpr int kKeycodeLeftCtrl = 29 + 8;

class XServerView
{
public:
    XServerView() : display_(XOpenDisplay(nullptr)) {}
    ~XServerView()
    {
        if (display_) {
            XCloseDisplay(display_);
        }
    }
    XServerView(const XServerView&) = delete;
    XServerView& operator=(const XServerView&) = delete;

    bool open() const { return display_ != nullptr; }

    bool keyDown(int keycode)
    {
        char keys[32] = {};
        XQueryKeymap(display_, keys);
        return (keys[keycode / 8] & (1 << (keycode % 8))) != 0;
    }

    unsigned buttonMask()
    {
        Window root = 0, child = 0;
        int rootX = 0, rootY = 0, x = 0, y = 0;
        unsigned mask = 0;
        XQueryPointer(display_, DefaultRootWindow(display_), &root, &child, &rootX, &rootY, &x, &y, &mask);
        return mask & (Button1Mask | Button2Mask | Button3Mask | Button4Mask | Button5Mask);
    }

    /// Every key and button that is down, as text; empty when nothing is.
    std::string pressed()
    {
        char keys[32] = {};
        XQueryKeymap(display_, keys);
        std::string text;
        for (int keycode = 0; keycode < 256; ++keycode) {
            if (keys[keycode / 8] & (1 << (keycode % 8))) {
                text += "key " + std::to_string(keycode) + " ";
            }
        }
        if (const unsigned mask = buttonMask()) {
            text += "buttons " + std::to_string(mask >> 8);
        }
        return text;
    }

    bool nothingPressed() { return pressed().empty(); }

private:
    Display* display_;
};

/// Tests that press keys on the display: skipped without one, and only started when nothing is down,
/// so that what a test leaves down is its own.
class XServerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY") || !server.open()) {
            GTEST_SKIP() << "no X display";
        }
        ASSERT_TRUE(server.nothingPressed()) << "down before the test: " << server.pressed();
    }

    XServerView server;
};

} // namespace TestSupport
