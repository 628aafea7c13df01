#include "RecordingBackend.h"
#include "X11WindowSystem.h"

#include <gtest/gtest.h>

#include "XDisplayTest.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <array>
#include <utility>

namespace {

// Looks at the outline from a connection of the test's own, as another client on the desktop would.
class HighlightFrame : public TestSupport::XDisplayTest
{
protected:
    Window createWindow(int x, int y, int width, int height)
    {
        const Window window = XCreateSimpleWindow(display, root, x, y, static_cast<unsigned>(width),
                                                  static_cast<unsigned>(height), 0, 0, WhitePixel(display, 0));
        XMapRaised(display, window);
        XSync(display, False);
        return window;
    }
    bool exists(Window window)
    {
        XWindowAttributes attributes{};
        const XErrorHandler previous = XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
        const Status status = XGetWindowAttributes(display, window, &attributes);
        XSync(display, False);
        XSetErrorHandler(previous);
        return status != 0;
    }
    unsigned long pixelAt(int x, int y)
    {
        XSync(display, False);
        XImage* image = XGetImage(display, root, x, y, 1, 1, AllPlanes, ZPixmap);
        const unsigned long pixel = image ? XGetPixel(image, 0, 0) : 0;
        if (image) {
            XDestroyImage(image);
        }
        return pixel;
    }
};

TEST_F(HighlightFrame, LiesOverTheWindowInRedAndLetsThePointerThrough)
{
    X11WindowSystem windows;
    ASSERT_TRUE(windows.isAvailable());
    const Window target = createWindow(100, 50, 400, 300);

    windows.showHighlight(static_cast<WindowHandle>(target));
    const Window frame = windows.highlightFrame();
    ASSERT_NE(frame, 0u);
    XWindowAttributes attributes{};
    ASSERT_TRUE(XGetWindowAttributes(display, frame, &attributes));
    EXPECT_EQ(attributes.map_state, IsViewable);
    EXPECT_TRUE(attributes.override_redirect);
    EXPECT_EQ((std::array{attributes.x, attributes.y, attributes.width, attributes.height}),
              (std::array{100, 50, 400, 300}));

    // The frame is 8 pixels of (250, 0, 0) along each edge; the inside shows the window itself.
    if (DefaultDepth(display, 0) == 24) {
        for (const auto& [x, y] : {std::pair{100, 50}, {107, 200}, {499, 349}, {300, 342}}) {
            EXPECT_EQ(pixelAt(x, y), 0xFA0000u) << x << "," << y;
        }
        EXPECT_EQ(pixelAt(300, 200), WhitePixel(display, 0));
        EXPECT_EQ(pixelAt(108, 200), WhitePixel(display, 0));
    }
    // On the frame's own pixels the pointer still finds the window underneath.
    EXPECT_EQ(windows.windowAt(102, 52), target);
    EXPECT_EQ(windows.windowAt(300, 200), target);

    windows.hideHighlight();
    EXPECT_EQ(windows.highlightFrame(), 0u);
    EXPECT_FALSE(exists(frame));
    XDestroyWindow(display, target);
}

TEST_F(HighlightFrame, MovesToTheNextWindowAndLeavesNothingBehind)
{
    const Window first = createWindow(10, 10, 50, 40);
    const Window second = createWindow(200, 10, 6, 5); // thinner than the frame: all red, no hole
    Window lastFrame = 0;
    {
        X11WindowSystem windows;
        windows.showHighlight(static_cast<WindowHandle>(first));
        const Window firstFrame = windows.highlightFrame();
        windows.showHighlight(static_cast<WindowHandle>(second));
        lastFrame = windows.highlightFrame();
        EXPECT_NE(lastFrame, 0u);
        EXPECT_NE(lastFrame, firstFrame);
        EXPECT_FALSE(exists(firstFrame));

        // A window that is gone, or none at all, takes the outline away and draws nothing.
        XDestroyWindow(display, first);
        XSync(display, False);
        windows.showHighlight(static_cast<WindowHandle>(first));
        EXPECT_EQ(windows.highlightFrame(), 0u);
        EXPECT_FALSE(exists(lastFrame));
        windows.showHighlight(0);
        EXPECT_EQ(windows.highlightFrame(), 0u);

        windows.showHighlight(static_cast<WindowHandle>(second));
        lastFrame = windows.highlightFrame();
        EXPECT_TRUE(exists(lastFrame));
    }
    // Closing the window system with an outline still shown removes it.
    EXPECT_FALSE(exists(lastFrame));
    XDestroyWindow(display, second);
}

TEST(RecordingHighlight, KeepsTheOutlinedWindow)
{
    RecordingBackend recording;
    EXPECT_EQ(recording.highlightedWindow(), 0u);
    recording.showHighlight(7);
    EXPECT_EQ(recording.highlightedWindow(), 7u);
    recording.hideHighlight();
    EXPECT_EQ(recording.highlightedWindow(), 0u);
}

} // namespace
