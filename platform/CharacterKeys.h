#pragma once

#include "KeyboardLayout.h"

#include <cstdint>
#include <functional>
#include <map>

/// Types characters as the key strokes of a layout, and remembers what each character that is down
/// pressed, so that its release lets go of those keys even when the layout changed in between.
/// Not thread-safe: owners serialize calls.
class CharacterKeys
{
public:
    /// Sends one press or release of an XKB key code.
    using SendKey = std::function<void(std::uint32_t key, bool down)>;

    explicit CharacterKeys(SendKey send);

    /// Presses the stroke's modifiers in order, then its key.
    void press(char32_t ch, const KeyStroke& stroke);
    /// Releases what press(ch) pressed, the modifiers (last pressed first) before the key. False when ch
    /// is not down.
    bool release(char32_t ch);
    /// Releases a stroke that press() did not press, in the same order.
    void releaseStroke(const KeyStroke& stroke);
    /// The stroke ch is down with, nothing when it is not down.
    std::optional<KeyStroke> strokeDown(char32_t ch) const;

private:
    SendKey m_send;
    std::map<char32_t, KeyStroke> m_down;
};
