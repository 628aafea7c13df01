#include "KeyboardEventSimulator.h"
#include "KeyboardLayout.h"
#include "NoWindowSystem.h"
#include "X11Injector.h"

#include "QtApplicationEnvironment.h"

#include <QCoreApplication>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

// Last: Xlib defines macros (Bool, Status) that clash with Qt's names.
#include "XServerView.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <chrono>
#include <clocale>
#include <memory>
#include <string>

namespace {

// The simulator's thread runs an event loop, which needs an application object.
const auto* const environment = TestSupport::addApplicationEnvironment<QCoreApplication>();

const QString kKeyString = QString::fromUtf8("yz@#äéß€ Q1!");

struct Typed {
    std::string text; ///< UTF-8, as the client read it
    std::vector<std::pair<KeySym, unsigned>> presses;
};

// A plain Xlib window with the input focus that reads its key presses with Xutf8LookupString, as
// programs that take text do.
class TextClient
{
public:
    TextClient()
    {
        std::setlocale(LC_CTYPE, "C.UTF-8");
        XSetLocaleModifiers("@im=none");
        m_display = XOpenDisplay(nullptr);
        if (!m_display) {
            return;
        }
        m_window = XCreateSimpleWindow(m_display, DefaultRootWindow(m_display), 10, 10, 200, 100, 0, 0, 0);
        XSelectInput(m_display, m_window, KeyPressMask | KeyReleaseMask | StructureNotifyMask);
        XMapRaised(m_display, m_window);
        XSync(m_display, False);
        m_im = XOpenIM(m_display, nullptr, nullptr, nullptr);
        if (m_im) {
            m_ic = XCreateIC(m_im, XNInputStyle, XIMPreeditNothing | XIMStatusNothing, XNClientWindow, m_window,
                             XNFocusWindow, m_window, nullptr);
        }
    }
    ~TextClient()
    {
        if (m_ic) {
            XDestroyIC(m_ic);
        }
        if (m_im) {
            XCloseIM(m_im);
        }
        if (m_display) {
            XCloseDisplay(m_display);
        }
    }

    bool ready() const { return m_display && m_ic; }

    void focus()
    {
        XSetInputFocus(m_display, m_window, RevertToPointerRoot, CurrentTime);
        XSync(m_display, False);
        drain();
    }

    /// Reads key presses until the text has `characters` code points or nothing came for a while.
    Typed read(std::size_t characters, std::size_t presses, int timeoutMs = 10000)
    {
        Typed typed;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (std::chrono::steady_clock::now() < deadline &&
               (QString::fromStdString(typed.text).toUcs4().size() < static_cast<qsizetype>(characters) ||
                typed.presses.size() < presses)) {
            if (!XPending(m_display)) {
                QThread::msleep(2);
                continue;
            }
            XEvent event;
            XNextEvent(m_display, &event);
            if (event.type == MappingNotify) {
                XRefreshKeyboardMapping(&event.xmapping);
            }
            if (event.type != KeyPress || XFilterEvent(&event, None)) {
                continue;
            }
            char buffer[32];
            KeySym keysym = NoSymbol;
            Status status = 0;
            const int length = Xutf8LookupString(m_ic, &event.xkey, buffer, sizeof buffer, &keysym, &status);
            typed.presses.emplace_back(keysym, event.xkey.state);
            if ((status == XLookupChars || status == XLookupBoth) && length > 0 &&
                !(event.xkey.state & ControlMask)) {
                typed.text.append(buffer, static_cast<std::size_t>(length));
            }
        }
        return typed;
    }

    void drain()
    {
        while (XPending(m_display)) {
            XEvent event;
            XNextEvent(m_display, &event);
            if (event.type == MappingNotify) {
                XRefreshKeyboardMapping(&event.xmapping);
            }
        }
    }

private:
    Display* m_display = nullptr;
    Window m_window = 0;
    XIM m_im = nullptr;
    XIC m_ic = nullptr;
};

// The simulator lets go of the last key after the client saw its press.
bool waitUntilNothingPressed(TestSupport::XServerView& server)
{
    for (int waited = 0; waited < 3000 && !server.nothingPressed(); waited += 10) {
        QThread::msleep(10);
    }
    return server.nothingPressed();
}

void setLayout(const QString& layout, const QString& variant = {})
{
    QStringList arguments{layout};
    if (!variant.isEmpty()) {
        arguments << QStringLiteral("-variant") << variant;
    }
    ASSERT_EQ(QProcess::execute(QStringLiteral("setxkbmap"), arguments), 0) << layout.toStdString();
}

class LayoutTypingOnX11 : public TestSupport::XServerTest
{
protected:
    void SetUp() override
    {
        XServerTest::SetUp();
        if (IsSkipped()) {
            return;
        }
        setLayout("us");
        injector = std::make_unique<X11Injector>();
        ASSERT_TRUE(injector->isAvailable()) << injector->errorString().toStdString();
        simulator = std::make_unique<KeyboardEventSimulator>(*injector, windows);
        simulator->start();
        ASSERT_TRUE(client.ready());
        client.focus();
    }

    void TearDown() override
    {
        simulator.reset();
        injector.reset();
        if (!IsSkipped()) {
            setLayout("us");
        }
    }

    TextClient client;
    NoWindowSystem windows;
    std::unique_ptr<X11Injector> injector;
    std::unique_ptr<KeyboardEventSimulator> simulator;
};

TEST_F(LayoutTypingOnX11, KeyStringsAndHotKeysArriveInEveryLayoutItIsSwitchedTo)
{
    // The injector is made under "us"; every switch below happens while it runs.
    const std::pair<const char*, const char*> layouts[] = {{"us", ""}, {"de", ""}, {"fr", ""}, {"ch", "fr"}};
    for (const auto& [layout, variant] : layouts) {
        SCOPED_TRACE(std::string(layout) + " " + variant);
        setLayout(layout, variant);
        client.drain();

        simulator->queueKeys(kKeyString, false, false, 5, 5);
        const Typed typed = client.read(static_cast<std::size_t>(kKeyString.toUcs4().size()), 0);
        EXPECT_EQ(typed.text, kKeyString.toStdString());
        EXPECT_EQ(injector->layoutName(), variant[0] ? QStringLiteral("%1(%2)").arg(layout, variant) : layout);

        simulator->queueKeyCombo({Qt::Key_Control, Qt::Key_Z}, 20);
        const Typed hotKey = client.read(0, 2);
        ASSERT_EQ(hotKey.presses.size(), 2U);
        EXPECT_EQ(hotKey.presses[1].first, static_cast<KeySym>(XK_z));
        EXPECT_TRUE(hotKey.presses[1].second & ControlMask);

        EXPECT_TRUE(waitUntilNothingPressed(server)) << server.pressed();
    }
}

TEST_F(LayoutTypingOnX11, ABoundKeyIsRestoredAfterItsRelease)
{
    const std::vector<std::uint32_t> unusedBefore = KeyboardLayout::fromX11({})->unusedKeycodes();
    simulator->queueKeys(QString::fromUtf8("€"), false, false, 5, 5);
    EXPECT_EQ(client.read(1, 0).text, "€");
    ASSERT_EQ(injector->boundKeycodes().size(), 1U);

    const auto deadline = std::chrono::steady_clock::now() + X11Injector::kRestoreDelay * 3;
    while (!injector->boundKeycodes().empty() && std::chrono::steady_clock::now() < deadline) {
        QThread::msleep(20);
    }
    EXPECT_TRUE(injector->boundKeycodes().empty());
    EXPECT_EQ(KeyboardLayout::fromX11({})->unusedKeycodes(), unusedBefore);
    EXPECT_TRUE(waitUntilNothingPressed(server)) << server.pressed();
}

TEST_F(LayoutTypingOnX11, AHeldCharacterIsReleasedAsPressedAfterASwitch)
{
    simulator->queueKeys("z", true, false, 20, 20);
    const Typed typed = client.read(1, 0);
    EXPECT_EQ(typed.text, "z");
    setLayout("de");
    simulator->releaseKey(U'z');
    EXPECT_TRUE(waitUntilNothingPressed(server)) << server.pressed();
}

TEST_F(LayoutTypingOnX11, TheLayoutGroupInUseIsFollowed)
{
    setLayout("us,de");
    Display* display = XOpenDisplay(nullptr);
    ASSERT_TRUE(display);
    XkbLockGroup(display, XkbUseCoreKbd, 1);
    XSync(display, False);
    client.drain();

    simulator->queueKeys(QString::fromUtf8("zä@"), false, false, 5, 5);
    EXPECT_EQ(client.read(3, 0).text, "zä@");
    EXPECT_EQ(injector->layoutName(), "de");

    XkbLockGroup(display, XkbUseCoreKbd, 0);
    XCloseDisplay(display);
    EXPECT_TRUE(waitUntilNothingPressed(server)) << server.pressed();
}

} // namespace
