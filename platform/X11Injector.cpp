#include "X11Injector.h"

// Qt before X11: Xlib defines macros (Bool, Status) that clash with Qt's names.
#include <QDebug>

#include "ScanCodeTable.h"
#include "X11ErrorTrap.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>

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
    : m_chars([this](std::uint32_t key, bool down) {
          sendKeycode(key, down);
          if (!down) {
              keyReleased(key);
          }
      })
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
    QString layoutError;
    m_layout = KeyboardLayout::fromX11(displayName, &layoutError);
    if (!m_layout) {
        qWarning().noquote() << "Characters cannot be typed through XTest:" << layoutError;
    }
    m_restorer = std::thread(&X11Injector::restoreLoop, this);
}

X11Injector::~X11Injector()
{
    if (m_restorer.joinable()) {
        {
            std::lock_guard lock(mutex_);
            m_stopping = true;
        }
        m_restoreWake.notify_all();
        m_restorer.join();
        std::lock_guard lock(mutex_);
        restoreBindings(true);
    }
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

QString X11Injector::layoutName()
{
    std::lock_guard lock(mutex_);
    return m_layout ? m_layout->name() : QString();
}

bool X11Injector::pressChar(char32_t ch)
{
    std::lock_guard lock(mutex_);
    if (!display_ || !m_layout) {
        return false;
    }
    m_layout->refresh();
    std::optional<KeyStroke> stroke = m_layout->strokeFor(ch);
    if (!stroke) {
        stroke = bindSpareKey(ch);
    }
    if (!stroke) {
        return false;
    }
    for (Binding& binding : m_bindings) {
        binding.down = binding.down || binding.key == stroke->key;
    }
    m_chars.press(ch, *stroke);
    return true;
}

void X11Injector::releaseChar(char32_t ch)
{
    std::lock_guard lock(mutex_);
    if (!display_ || !m_layout || m_chars.release(ch)) {
        return;
    }
    m_layout->refresh();
    if (const std::optional<KeyStroke> stroke = m_layout->strokeFor(ch)) {
        m_chars.releaseStroke(*stroke);
    }
}

std::vector<std::uint32_t> X11Injector::boundKeycodes()
{
    std::lock_guard lock(mutex_);
    std::vector<std::uint32_t> keys;
    for (const Binding& binding : m_bindings) {
        keys.push_back(binding.key);
    }
    return keys;
}

std::optional<KeyStroke> X11Injector::bindSpareKey(char32_t ch)
{
    KeySym keysym = xkb_utf32_to_keysym(ch);
    if (keysym == NoSymbol || ch < 0x20) {
        return std::nullopt;
    }
    const auto bound = std::find_if(m_bindings.begin(), m_bindings.end(), [&](const Binding& b) { return b.ch == ch; });
    if (bound != m_bindings.end() && m_layout->keyTypes(bound->key, ch)) {
        return KeyStroke{bound->key, {}, 0};
    }
    if (bound != m_bindings.end()) {
        m_bindings.erase(bound); // the keymap was replaced since
    }

    std::vector<std::uint32_t> spare = m_layout->unusedKeycodes();
    std::erase_if(spare, [this](std::uint32_t key) {
        return std::any_of(m_bindings.cbegin(), m_bindings.cend(), [key](const Binding& b) { return b.key == key; });
    });
    std::uint32_t key = 0;
    if (!spare.empty()) {
        key = spare.back(); // the highest codes are the least likely to come from a real keyboard
    } else {
        // Every spare code holds a character: take the one released longest ago.
        auto oldest = m_bindings.end();
        for (auto it = m_bindings.begin(); it != m_bindings.end(); ++it) {
            if (!it->down && (oldest == m_bindings.end() || it->released < oldest->released)) {
                oldest = it;
            }
        }
        if (oldest == m_bindings.end()) {
            return std::nullopt;
        }
        key = oldest->key;
        m_bindings.erase(oldest);
    }

    X11ErrorTrap trap(display_);
    XChangeKeyboardMapping(display_, static_cast<int>(key), 1, &keysym, 1);
    if (!trap.ok()) {
        return std::nullopt;
    }
    m_bindings.push_back(Binding{key, ch, false, {}});
    return KeyStroke{key, {}, 0};
}

void X11Injector::keyReleased(std::uint32_t keycode)
{
    for (Binding& binding : m_bindings) {
        if (binding.key == keycode && binding.down) {
            binding.down = false;
            binding.released = std::chrono::steady_clock::now();
            m_restoreWake.notify_all();
        }
    }
}

void X11Injector::restoreBindings(bool all)
{
    if (m_bindings.empty()) {
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    m_layout->refresh();
    std::erase_if(m_bindings, [&](const Binding& binding) {
        if (!all && (binding.down || now - binding.released < kRestoreDelay)) {
            return false;
        }
        // A keymap loaded since (another layout) has replaced the binding already.
        if (m_layout->keyTypes(binding.key, binding.ch)) {
            KeySym none = NoSymbol;
            X11ErrorTrap trap(display_);
            XChangeKeyboardMapping(display_, static_cast<int>(binding.key), 1, &none, 1);
            trap.ok();
        }
        return true;
    });
}

void X11Injector::restoreLoop()
{
    std::unique_lock lock(mutex_);
    while (!m_stopping) {
        auto next = std::chrono::steady_clock::time_point::max();
        for (const Binding& binding : m_bindings) {
            if (!binding.down) {
                next = std::min(next, binding.released + kRestoreDelay);
            }
        }
        if (next == std::chrono::steady_clock::time_point::max()) {
            m_restoreWake.wait(lock);
        } else {
            m_restoreWake.wait_until(lock, next);
        }
        if (!m_stopping) {
            restoreBindings(false);
        }
    }
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
    sendKeycode(static_cast<std::uint32_t>(key + kX11KeycodeOffset), down);
}

void X11Injector::sendKeycode(std::uint32_t keycode, bool down)
{
    XTestFakeKeyEvent(display_, keycode, down ? True : False, CurrentTime);
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
