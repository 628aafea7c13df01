#include "KeyboardEventSimulator.h"
#include "PlatformFactory.h"

#include <gtest/gtest.h>

#include "QtApplicationEnvironment.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>
#include <QWidget>

#include <X11/Xlib.h>

#include <functional>
#include <memory>

namespace {

const auto* const environment =
    TestSupport::addApplicationEnvironment<QApplication>({.needsDisplay = true, .platform = "xcb"});

bool waitFor(const std::function<bool()>& condition, int timeoutMs = 5000)
{
    for (int waited = 0; waited < timeoutMs; waited += 5) {
        QApplication::processEvents();
        if (condition()) {
            return true;
        }
        QThread::msleep(5);
    }
    QApplication::processEvents();
    return condition();
}

// A real text field and button in real X windows, typed into through XTest.
class SimulatorOnX11 : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!QApplication::instance()) {
            GTEST_SKIP() << "no X display";
        }
        display = XOpenDisplay(nullptr);
        ASSERT_NE(display, nullptr);
        PlatformOptions options;
        options.kind = BackendKind::X11;
        platform = createPlatform(options);
        ASSERT_EQ(platform.injectorKind, BackendKind::X11) << platform.fallbackReason.toStdString();
        simulator = std::make_unique<KeyboardEventSimulator>(*platform.injector, *platform.windowSystem);
        simulator->start();

        auto* layout = new QVBoxLayout(&window);
        field = new QLineEdit;
        button = new QPushButton("Press");
        layout->addWidget(field);
        layout->addWidget(button);
        window.setWindowTitle("SenKey typing target");
        window.setGeometry(100, 100, 300, 120);
        window.show();
        other.setWindowTitle("SenKey other target");
        other.setGeometry(500, 100, 300, 60);
        other.show();
        otherField = new QLineEdit(&other);
        otherField->show();
        otherField->setFocus();
        field->setFocus();
        window.activateWindow();
        ASSERT_TRUE(waitFor([&] { return window.isActiveWindow() && field->hasFocus(); }));
    }

    void TearDown() override
    {
        simulator.reset();
        if (display) {
            XCloseDisplay(display);
        }
    }

    bool nothingPressed()
    {
        char keys[32];
        XQueryKeymap(display, keys);
        for (char byte : keys) {
            if (byte != 0) {
                return false;
            }
        }
        Window root = 0, child = 0;
        int rx = 0, ry = 0, wx = 0, wy = 0;
        unsigned mask = 0;
        XQueryPointer(display, DefaultRootWindow(display), &root, &child, &rx, &ry, &wx, &wy, &mask);
        return (mask & (Button1Mask | Button2Mask | Button3Mask)) == 0;
    }

    Display* display = nullptr;
    Platform platform;
    std::unique_ptr<KeyboardEventSimulator> simulator;
    QWidget window;
    QWidget other;
    QLineEdit* field = nullptr;
    QPushButton* button = nullptr;
    QLineEdit* otherField = nullptr;
};

TEST_F(SimulatorOnX11, QueuedTextArrivesInTheFocusedField)
{
    int returns = 0;
    QObject::connect(field, &QLineEdit::returnPressed, [&returns] { ++returns; });
    const QString text = "Hello, World! 0189 ~`{x}?_+|\"<:>";
    simulator->queueKeys(text, false, true, 1, 1);
    EXPECT_TRUE(waitFor([&] { return returns == 1; }));
    EXPECT_EQ(field->text(), text);
    EXPECT_TRUE(otherField->text().isEmpty());
    EXPECT_TRUE(waitFor([&] { return nothingPressed(); }));
}

TEST_F(SimulatorOnX11, HotKeyReachesTheFieldAsSuch)
{
    simulator->queueKeys("abc", false, false, 1, 1);
    ASSERT_TRUE(waitFor([&] { return field->text() == "abc"; }));
    simulator->queueKeyCombo({Qt::Key_Control, Qt::Key_A}, 10);
    EXPECT_TRUE(waitFor([&] { return field->selectedText() == "abc"; }));
    EXPECT_EQ(field->text(), "abc");
}

TEST_F(SimulatorOnX11, CharactersPostedToAWindowWithoutFocusArriveThere)
{
    // The focus goes to a window of another client, as it would be when the user works elsewhere; Qt
    // hands key events to its own focus window when it has one.
    const Window elsewhere = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 300, 50, 50, 0, 0, 0);
    XMapRaised(display, elsewhere);
    XSync(display, False);
    ASSERT_TRUE(waitFor([&] {
        XSetInputFocus(display, elsewhere, RevertToParent, CurrentTime);
        XSync(display, False);
        return QApplication::activeWindow() == nullptr;
    }));

    const auto handle = static_cast<WindowHandle>(other.winId());
    simulator->sendKeysToWindow(handle, "Post 1!");
    EXPECT_TRUE(waitFor([&] { return otherField->text() == "Post 1!"; })) << otherField->text().toStdString();
    simulator->sendKeysToWindow(QString("SenKey other target"), "?");
    EXPECT_TRUE(waitFor([&] { return otherField->text() == "Post 1!?"; }));
    EXPECT_TRUE(field->text().isEmpty());
    EXPECT_EQ(QApplication::activeWindow(), nullptr);
    XDestroyWindow(display, elsewhere);
    XSync(display, False);
}

TEST_F(SimulatorOnX11, LeftClickLandsOnTheButtonUnderThePointer)
{
    int clicks = 0;
    QObject::connect(button, &QPushButton::clicked, [&clicks] { ++clicks; });
    const QPoint centre = button->mapToGlobal(button->rect().center());
    XWarpPointer(display, None, DefaultRootWindow(display), 0, 0, 0, 0, centre.x(), centre.y());
    XSync(display, False);

    simulator->queueMouse(0, false, 0);
    ASSERT_TRUE(waitFor([&] { return button->isDown(); }));
    simulator->releaseMouse(0);
    EXPECT_TRUE(waitFor([&] { return clicks == 1; }));
    EXPECT_TRUE(nothingPressed());
}

TEST_F(SimulatorOnX11, NothingStaysPressedAfterReleaseAllOrDestruction)
{
    for (bool byDestruction : {false, true}) {
        SCOPED_TRACE(byDestruction ? "destruction" : "releaseAll");
        simulator->queueKeys("A", true, false, 0, 0);
        simulator->queueMouse(4, false, 0);
        simulator->queueKeyCombo({Qt::Key_Control}, 0);
        ASSERT_TRUE(waitFor([&] { return simulator->queuedRequestCount() == 0 && !nothingPressed(); }));
        QThread::msleep(30);
        if (byDestruction) {
            simulator.reset();
        } else {
            simulator->releaseAll();
        }
        EXPECT_TRUE(nothingPressed());
    }
}

} // namespace
