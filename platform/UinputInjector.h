#pragma once

#include "CharacterKeys.h"
#include "InputInjector.h"
#include "KeyboardLayout.h"

#include <QString>

#include <memory>
#include <mutex>

struct libevdev_uinput;

/// Injects through the kernel's uinput device: one virtual keyboard and one virtual mouse, made when the
/// injector is built and removed when it is destroyed (the kernel then lifts every key still down).
/// Works under X11, Wayland and on the console.
class UinputInjector : public InputInjector
{
public:
    /// Characters are typed in the given layout; without one they are skipped.
    explicit UinputInjector(const QString& devicePath = QStringLiteral("/dev/uinput"),
                            std::unique_ptr<KeyboardLayout> layout = nullptr);
    ~UinputInjector() override;
    UinputInjector(const UinputInjector&) = delete;
    UinputInjector& operator=(const UinputInjector&) = delete;

    bool isAvailable() const override { return keyboard_ && mouse_; }
    /// Why the devices could not be made; empty when they were.
    QString errorString() const { return error_; }

    void pressKey(std::uint16_t scanCode) override;
    void releaseKey(std::uint16_t scanCode) override;
    bool pressChar(char32_t ch) override;
    void releaseChar(char32_t ch) override;
    void pressButton(MouseButton button) override;
    void releaseButton(MouseButton button) override;

private:
    void sendKey(std::uint16_t scanCode, bool down);
    void sendLinuxKey(int key, bool down);
    void sendButton(MouseButton button, bool down);

    libevdev_uinput* keyboard_ = nullptr;
    libevdev_uinput* mouse_ = nullptr;
    int keyboardFd_ = -1;
    int mouseFd_ = -1;
    QString error_;

    std::mutex m_charMutex; ///< guards the layout and m_chars
    std::unique_ptr<KeyboardLayout> m_layout;
    CharacterKeys m_chars;
};
