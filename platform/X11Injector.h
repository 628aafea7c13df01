#pragma once

#include "CharacterKeys.h"
#include "InputInjector.h"
#include "KeyboardLayout.h"

#include <QByteArray>
#include <QString>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

struct _XDisplay;

/// Injects through the XTest extension of an X server, on a connection of its own. Characters are typed
/// in the server's current keymap, followed when it changes; one that no key types is bound for the moment
/// to a key code without symbols, and the keymap is restored once the character has been released and
/// the clients have had time to read it.
class X11Injector : public InputInjector
{
public:
    /// How long a bound key code keeps its character after its release: clients look the keymap up
    /// when they handle the key event, which may be a while after it was sent.
    static constexpr std::chrono::milliseconds kRestoreDelay{1000};

    /// An empty display name means $DISPLAY.
    explicit X11Injector(const QByteArray& displayName = {});
    /// Restores every key code it bound.
    ~X11Injector() override;
    X11Injector(const X11Injector&) = delete;
    X11Injector& operator=(const X11Injector&) = delete;

    bool isAvailable() const override { return display_ != nullptr; }
    /// Why the injector cannot be used; empty when it can.
    QString errorString() const { return error_; }
    /// The layout characters are typed in now.
    QString layoutName();

    void pressKey(std::uint16_t scanCode) override;
    void releaseKey(std::uint16_t scanCode) override;
    bool pressChar(char32_t ch) override;
    void releaseChar(char32_t ch) override;
    void pressButton(MouseButton button) override;
    void releaseButton(MouseButton button) override;

    /// Key codes bound to a character now, for tests.
    std::vector<std::uint32_t> boundKeycodes();

private:
    struct Binding {
        std::uint32_t key = 0;
        char32_t ch = 0;
        bool down = false;
        std::chrono::steady_clock::time_point released{};
    };

    void sendKey(std::uint16_t scanCode, bool down);
    void sendButton(MouseButton button, bool down);
    void sendKeycode(std::uint32_t keycode, bool down);
    std::optional<KeyStroke> bindSpareKey(char32_t ch);
    void keyReleased(std::uint32_t keycode);
    void restoreBindings(bool all);
    void restoreLoop();

    _XDisplay* display_ = nullptr;
    std::mutex mutex_; ///< guards the display connection, the layout, m_chars and m_bindings
    QString error_;

    std::unique_ptr<KeyboardLayout> m_layout;
    CharacterKeys m_chars;
    std::vector<Binding> m_bindings;
    std::condition_variable m_restoreWake;
    bool m_stopping = false;
    std::thread m_restorer;
};
