#pragma once

#include <cstdint>
#include <vector>

/// The Linux input key code (KEY_*) that a set-1 scan code presses, 0 when the code names no key.
int linuxKeyForScanCode(std::uint16_t scanCode);

/// The set-1 scan code that presses a Linux input key code, 0 when no code of the table presses it.
std::uint16_t scanCodeForLinuxKey(int key);

/// Every Linux key code the table can produce, for declaring the keys of a virtual keyboard.
std::vector<int> allLinuxKeys();
