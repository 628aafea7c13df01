#pragma once

#include <cstdint>

enum class MouseButton { Left, Middle, Right };

/// Sends synthetic key and button presses to whatever has the input focus.
/// Implementations are called from more than one thread and must be safe for that.
class InputInjector
{
public:
    virtual ~InputInjector() = default;

    /// False when the backend could not be set up; its calls then send nothing.
    virtual bool isAvailable() const = 0;

    /// Scan codes are set-1 make codes of a US keyboard, E0-prefixed keys with 0x80 added.
    /// A code that names no key presses nothing.
    virtual void pressKey(std::uint16_t scanCode) = 0;
    virtual void releaseKey(std::uint16_t scanCode) = 0;

    /// Presses the key that types ch (a Unicode code point) in the keyboard layout in use, after the Shift
    /// and AltGr its level needs. False, with nothing pressed, when the layout cannot type it.
    virtual bool pressChar(char32_t ch) = 0;
    /// Releases what pressChar(ch) pressed, the modifiers before the key, even when the layout changed
    /// since. A character that is not down is released as the layout would type it now.
    virtual void releaseChar(char32_t ch) = 0;

    /// Button presses happen wherever the pointer is; the pointer is not moved.
    virtual void pressButton(MouseButton button) = 0;
    virtual void releaseButton(MouseButton button) = 0;
};
