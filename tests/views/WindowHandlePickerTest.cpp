#include "WindowHandlePicker.h"

#include "TargetApplicationConfigureDialog.h"
#include "X11WindowSystem.h"

#include <QApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include "QtApplicationEnvironment.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <memory>

namespace {

const auto* const kEnvironment = TestSupport::addApplicationEnvironment<QApplication>({.needsDisplay = true});

// Other programs' windows, made on a connection of the test's own, and one window of the program itself.
class Picker : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!qApp) {
            GTEST_SKIP() << "no X display";
        }
        display = XOpenDisplay(nullptr);
        ASSERT_NE(display, nullptr);
        windowA = createWindow("Target A", 100, 50, 400, 300);
        windowB = createWindow("Target B", 600, 50, 200, 100);

        ownWindow.setGeometry(100, 500, 200, 100);
        ownWindow.show();
        host.setGeometry(900, 600, 120, 80);
        host.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&ownWindow));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
        // Make sure the program's own window really is what the pointer finds there.
        ASSERT_EQ(windows.windowAt(200, 550), ownWindow.winId());
    }
    void TearDown() override
    {
        if (display) {
            XDestroyWindow(display, windowA);
            XDestroyWindow(display, windowB);
            XCloseDisplay(display);
        }
    }

    Window createWindow(const char* title, int x, int y, int width, int height)
    {
        const Window window =
            XCreateSimpleWindow(display, DefaultRootWindow(display), x, y, static_cast<unsigned>(width),
                                static_cast<unsigned>(height), 0, 0, WhitePixel(display, 0));
        XStoreName(display, window, title);
        XClassHint hint{const_cast<char*>("probe"), const_cast<char*>("SenKeyProbe")};
        XSetClassHint(display, window, &hint);
        XMapRaised(display, window);
        XSync(display, False);
        return window;
    }
    static void moveTo(WindowHandlePicker& picker, QPoint global)
    {
        QMouseEvent move(QEvent::MouseMove, QPointF(picker.mapFromGlobal(global)), QPointF(global), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&picker, &move);
    }
    static QRect frameGeometry(Display* display, WindowHandle frame)
    {
        XWindowAttributes attributes{};
        if (frame == 0 || !XGetWindowAttributes(display, frame, &attributes) || attributes.map_state != IsViewable) {
            return {};
        }
        return {attributes.x, attributes.y, attributes.width, attributes.height};
    }

    Display* display = nullptr;
    Window windowA = 0;
    Window windowB = 0;
    X11WindowSystem windows;
    QWidget ownWindow;
    QWidget host;
};

TEST_F(Picker, DragOutlinesAndReportsEachNewWindowAndReleaseKeepsTheLast)
{
    WindowHandlePicker picker(windows, &host);
    const QImage idle = picker.pixmap().toImage();
    EXPECT_EQ(picker.size(), picker.pixmap().size());
    QSignalSpy activated(&picker, &WindowHandlePicker::pickerActivated);
    QSignalSpy found(&picker, &WindowHandlePicker::foundWindow);
    QSignalSpy deactivated(&picker, &WindowHandlePicker::pickerDeactivated);

    QTest::mousePress(&picker, Qt::LeftButton, {}, picker.rect().center());
    EXPECT_EQ(activated.count(), 1);
    EXPECT_NE(picker.pixmap().toImage(), idle);

    moveTo(picker, {300, 200});
    ASSERT_EQ(found.count(), 1);
    const QList<QVariant> first = found.takeFirst();
    EXPECT_EQ(first.at(0).toUInt(), windowA);
    EXPECT_EQ(first.at(1).toString(), "Target A");
    EXPECT_EQ(first.at(2).toString(), "SenKeyProbe");
    EXPECT_EQ(first.at(3).toRect(), QRect(QPoint(100, 50), QPoint(499, 349)));
    EXPECT_EQ(frameGeometry(display, windows.highlightFrame()), QRect(100, 50, 400, 300));

    // Staying within one window, crossing the program's own windows and the picker itself report nothing.
    for (const QPoint point : {QPoint(110, 60), QPoint(498, 348), QPoint(200, 550), host.mapToGlobal(QPoint(5, 5))}) {
        moveTo(picker, point);
    }
    EXPECT_EQ(found.count(), 0);
    EXPECT_EQ(picker.highlightedWindow(), windowA);

    // A to B and back to A reports A again, and the outline follows.
    moveTo(picker, {700, 100});
    moveTo(picker, {300, 200});
    ASSERT_EQ(found.count(), 2);
    EXPECT_EQ(found.at(0).at(0).toUInt(), windowB);
    EXPECT_EQ(found.at(1).at(0).toUInt(), windowA);
    EXPECT_EQ(frameGeometry(display, windows.highlightFrame()), QRect(100, 50, 400, 300));

    const WindowHandle frame = windows.highlightFrame();
    QTest::mouseRelease(&picker, Qt::LeftButton, {}, picker.rect().center());
    EXPECT_EQ(deactivated.count(), 1);
    EXPECT_EQ(picker.highlightedWindow(), 0u);
    EXPECT_EQ(windows.highlightFrame(), 0u);
    EXPECT_FALSE(windows.isValidWindow(frame));
    EXPECT_EQ(picker.pixmap().toImage(), idle);

    // Outside a drag the pointer finds nothing.
    moveTo(picker, {700, 100});
    EXPECT_EQ(found.count(), 2);
}

TEST_F(Picker, FrameAndTitleBarAroundTheProgramsWindowAreSkippedToo)
{
    // What a reparenting window manager makes: a frame holding a title bar and the client window.
    const Window root = DefaultRootWindow(display);
    const Window frame = XCreateSimpleWindow(display, root, 90, 470, 220, 140, 0, 0, BlackPixel(display, 0));
    const Window titleBar = XCreateSimpleWindow(display, frame, 0, 0, 220, 20, 0, 0, BlackPixel(display, 0));
    XReparentWindow(display, static_cast<Window>(ownWindow.winId()), frame, 10, 30);
    XMapSubwindows(display, frame);
    XMapRaised(display, frame);
    XSync(display, False);
    ASSERT_EQ(windows.windowAt(150, 480), titleBar);
    ASSERT_EQ(windows.topLevelWindow(titleBar), frame);

    WindowHandlePicker picker(windows, &host);
    QSignalSpy found(&picker, &WindowHandlePicker::foundWindow);
    QTest::mousePress(&picker, Qt::LeftButton, {}, picker.rect().center());
    for (const QPoint point : {QPoint(150, 480), QPoint(95, 600), QPoint(200, 550), QPoint(300, 200)}) {
        moveTo(picker, point);
    }
    QTest::mouseRelease(&picker, Qt::LeftButton, {}, picker.rect().center());
    ASSERT_EQ(found.count(), 1);
    EXPECT_EQ(found.at(0).at(0).toUInt(), windowA);

    XReparentWindow(display, static_cast<Window>(ownWindow.winId()), root, 100, 500);
    XDestroyWindow(display, frame);
    XSync(display, False);
}

// An application's text area is an unnamed child of its window: the child is what the characters go
// to, and the application window, as the window manager marks it, gives the title and class.
TEST_F(Picker, AnUnnamedChildIsReportedWithItsApplicationWindowsTitle)
{
    const Atom wmState = XInternAtom(display, "WM_STATE", False);
    const long normalState[2] = {1, 0};
    XChangeProperty(display, windowA, wmState, wmState, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(normalState), 2);
    const Window textArea = XCreateSimpleWindow(display, windowA, 20, 20, 200, 100, 0, 0, BlackPixel(display, 0));
    XMapWindow(display, textArea);
    XSync(display, False);
    ASSERT_EQ(windows.windowAt(200, 150), textArea);
    EXPECT_EQ(windows.clientWindow(textArea), windowA);
    EXPECT_TRUE(windows.clientWindows().contains(static_cast<WindowHandle>(windowA)));

    WindowHandlePicker picker(windows, &host);
    QSignalSpy found(&picker, &WindowHandlePicker::foundWindow);
    QTest::mousePress(&picker, Qt::LeftButton, {}, picker.rect().center());
    moveTo(picker, {200, 150});
    QTest::mouseRelease(&picker, Qt::LeftButton, {}, picker.rect().center());
    ASSERT_EQ(found.count(), 1);
    EXPECT_EQ(found.at(0).at(0).toUInt(), textArea);
    EXPECT_EQ(found.at(0).at(1).toString(), "Target A");
    EXPECT_EQ(found.at(0).at(2).toString(), "SenKeyProbe");
    XDestroyWindow(display, textArea);
}

TEST_F(Picker, PickerGoingAwayMidDragTakesItsOutlineWithIt)
{
    {
        WindowHandlePicker picker(windows, &host);
        QTest::mousePress(&picker, Qt::LeftButton, {}, picker.rect().center());
        moveTo(picker, {700, 100});
        ASSERT_NE(windows.highlightFrame(), 0u);
    }
    EXPECT_EQ(windows.highlightFrame(), 0u);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(Picker, DialogShowsAndKeepsTheWindowPickedByDragging)
{
    TargetApplicationConfigureDialog dialog(windows, nullptr);
    dialog.setTargetWindow(true, 0, {}, {}, {});
    dialog.findChild<QRadioButton*>(QStringLiteral("selectAppWithTitle"))->click();
    dialog.move(300, 600);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));

    WindowHandlePicker& picker = *dialog.picker();
    QTest::mousePress(&picker, Qt::LeftButton, {}, picker.rect().center());
    moveTo(picker, dialog.mapToGlobal(QPoint(10, 10))); // the dialog itself
    moveTo(picker, {700, 100});
    QTest::mouseRelease(&picker, Qt::LeftButton, {}, picker.rect().center());

    const auto text = [&](const char* name) { return dialog.findChild<QLineEdit*>(QString::fromLatin1(name))->text(); };
    EXPECT_EQ(text("appHandleLineEdit"), QString::asprintf("0x%08X", static_cast<uint>(windowB)));
    EXPECT_EQ(text("appCaptionLineEdit"), "Target B");
    EXPECT_EQ(text("appClassLineEdit"), "SenKeyProbe");
    EXPECT_EQ(text("appRectLineEdit"), "{600,50}-{799,149}");

    bool sendToFocus = true;
    uint handle = 0;
    QString caption, className;
    QRect rect;
    dialog.getTargetWindow(sendToFocus, handle, caption, className, rect);
    EXPECT_FALSE(sendToFocus);
    EXPECT_EQ(handle, windowB);
    EXPECT_EQ(caption, "Target B");
    EXPECT_EQ(className, "SenKeyProbe");
    EXPECT_EQ(rect, QRect(600, 50, 200, 100));
}

} // namespace
