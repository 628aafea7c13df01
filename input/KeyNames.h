#pragma once

#include <QString>

/// Key codes are Qt::Key values, plus the program's own code 1 ("Left Click"); 0 means no key.
/// Scan codes are set-1 make codes of a US keyboard, with 0x80 added for E0-prefixed keys.

inline constexpr int kLeftClickKeyCode = 1;

/// Display name of a key code; empty for every code that has no name.
QString keyName(int keyCode);

/// Scan code pressed for a key code inside a key combination; 0 for codes without one.
int scanCodeForKey(int keyCode);

/// Scan code typed for one 8-bit character of a key string, and whether Shift must be held around it.
/// Returns 0 for characters that no key of a US keyboard types (control characters other than line
/// feed and tab, and everything beyond ASCII).
int scanCodeForChar(char ch, bool* needsShift = nullptr);

/// The character a key code of a key combination names (letters in lower case, digits, punctuation and
/// space), typed as the key of the keyboard layout that gives it; 0 for keys that are not characters.
char32_t hotKeyChar(int keyCode);

/// Reduces a character of a key string to the 8 bits that are looked up and sent: its Latin-1 value,
/// or 0 when Latin-1 cannot hold it.
char keyStringChar(QChar ch);

/// What a key press in the hot-key field becomes.
struct HotKeyCapture {
    int keyCode = 0; ///< the captured key code, 0 when the key has no name
    QString text;    ///< what the field shows
};

/// Turns the key code of a press in the hot-key field into the captured key and its text. Unnamed keys
/// (modifiers alone, Print Screen, keys above F12, ...) capture as 0 and show "[Unknown]".
HotKeyCapture captureHotKey(int pressedKeyCode);
