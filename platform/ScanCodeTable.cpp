#include "ScanCodeTable.h"

#include <linux/input-event-codes.h>

#include <array>
#include <utility>

namespace {

// Keys sent with the E0 prefix, under their make byte plus 0x80. Pause really sends an E1 sequence, but
// the DirectInput convention files it under 0xC5 as well.
constexpr std::array<std::pair<std::uint16_t, int>, 29> kExtendedKeys{{
    {0x90, KEY_PREVIOUSSONG}, {0x99, KEY_NEXTSONG}, {0x9C, KEY_KPENTER},    {0x9D, KEY_RIGHTCTRL}, {0xA0, KEY_MUTE},
    {0xA2, KEY_PLAYPAUSE},    {0xA4, KEY_STOPCD},   {0xAE, KEY_VOLUMEDOWN}, {0xB0, KEY_VOLUMEUP},  {0xB2, KEY_HOMEPAGE},
    {0xB5, KEY_KPSLASH},      {0xB7, KEY_SYSRQ},    {0xB8, KEY_RIGHTALT},   {0xC5, KEY_PAUSE},     {0xC7, KEY_HOME},
    {0xC8, KEY_UP},           {0xC9, KEY_PAGEUP},   {0xCB, KEY_LEFT},       {0xCD, KEY_RIGHT},     {0xCF, KEY_END},
    {0xD0, KEY_DOWN},         {0xD1, KEY_PAGEDOWN}, {0xD2, KEY_INSERT},     {0xD3, KEY_DELETE},    {0xDB, KEY_LEFTMETA},
    {0xDC, KEY_RIGHTMETA},    {0xDD, KEY_COMPOSE},  {0xDE, KEY_POWER},      {0xDF, KEY_SLEEP},
}};

} // namespace

int linuxKeyForScanCode(std::uint16_t scanCode)
{
    // The plain set-1 codes of the main block, the keypad and F11/F12 have the same numbers as the Linux
    // key codes (KEY_ESC is 1, KEY_F12 is 0x58); 0x54 and 0x55 are not keys of a US keyboard.
    if ((scanCode >= 0x01 && scanCode <= 0x53) || (scanCode >= 0x56 && scanCode <= 0x58)) {
        return scanCode;
    }
    for (const auto& [code, key] : kExtendedKeys) {
        if (code == scanCode) {
            return key;
        }
    }
    return 0;
}

std::uint16_t scanCodeForLinuxKey(int key)
{
    if ((key >= 0x01 && key <= 0x53) || (key >= 0x56 && key <= 0x58)) {
        return static_cast<std::uint16_t>(key);
    }
    for (const auto& [code, extendedKey] : kExtendedKeys) {
        if (extendedKey == key) {
            return code;
        }
    }
    return 0;
}

std::vector<int> allLinuxKeys()
{
    std::vector<int> keys;
    for (int code = 0; code <= 0xFF; ++code) {
        if (int key = linuxKeyForScanCode(static_cast<std::uint16_t>(code))) {
            keys.push_back(key);
        }
    }
    return keys;
}
