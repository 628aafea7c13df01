#include "KeyNames.h"
#include "ScanCodeTable.h"

#include <gtest/gtest.h>

namespace {

// Every scan code the simulator can send must press a real key on Linux, or the key would silently vanish.
TEST(ScanCodeCoverage, EveryNamedKeyAndTypedCharacterHasALinuxKey)
{
    std::vector<int> keyCodes{0x01000020, 0x01000021, 0x01000022, 0x01000023};
    for (int code = 0x20; code <= 0xFF; ++code) {
        keyCodes.push_back(code);
    }
    for (int code = 0x01000000; code <= 0x010000FF; ++code) {
        keyCodes.push_back(code);
    }
    keyCodes.push_back(0x01020001);
    for (int keyCode : keyCodes) {
        if (keyName(keyCode).isEmpty() && scanCodeForKey(keyCode) == 0) {
            continue;
        }
        SCOPED_TRACE(testing::Message() << std::hex << keyCode << ' ' << keyName(keyCode).toStdString());
        EXPECT_NE(linuxKeyForScanCode(static_cast<std::uint16_t>(scanCodeForKey(keyCode))), 0);
    }
    for (int c = 0; c <= 0xFF; ++c) {
        const int scanCode = scanCodeForChar(static_cast<char>(c));
        if (scanCode != 0) {
            SCOPED_TRACE(c);
            EXPECT_NE(linuxKeyForScanCode(static_cast<std::uint16_t>(scanCode)), 0);
        }
    }
}

} // namespace
