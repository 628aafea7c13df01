#pragma once

#include <gtest/gtest.h>

#include <X11/Xlib.h>

namespace TestSupport {

/// A connection of the test's own to the display, to look at what the program did from the outside as
/// another client would; the test is skipped without a display.
class XDisplayTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        display = XOpenDisplay(nullptr);
        if (!display) {
            GTEST_SKIP() << "no X display";
        }
        root = DefaultRootWindow(display);
    }
    void TearDown() override
    {
        if (display) {
            XCloseDisplay(display);
        }
    }

    Display* display = nullptr;
    Window root = 0;
};

} // namespace TestSupport
