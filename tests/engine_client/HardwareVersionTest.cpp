#include "HardwareVersion.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

struct Case {
    const char* text;
    std::uint32_t expected;
};

TEST(HardwareVersion, ReadsDongleAndHeadsetPairs)
{
    const Case cases[] = {
        {"dongleVersion:5,headsetVersion:1", 0x10005},
        {"headsetVersion 3", 0x30000},
        {"  dongleVersion : 2 ,\theadsetVersion:\n7  ", 0x70002},
        {"firmware:9,dongleVersion:4", 0x4},           // unknown keys are skipped
        {"dongleVersion:1,dongleVersion:6", 0x6},      // the later pair wins
        {"dongleVersion:12abc,headsetVersion:x", 0xC}, // leading digits only, none gives 0
        {"dongleVersion:70000", 0x1170},               // truncated to 16 bits
        {"dongleVersion:-1", 0xFFFF},
        {"dongleVersion:99999999999999999999999999", 0xFFFF}, // no overflow on absurd lengths
        {"DongleVersion:5", 0},                               // keys are case-sensitive
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Velmor::parseHardwareVersion(c.text), c.expected) << c.text;
    }
}

TEST(HardwareVersion, EmptyOrOddTokenCountGivesZero)
{
    for (const char* text : {"", " :, ,", "dongleVersion:2,headsetVersion", "headsetVersion"}) {
        EXPECT_EQ(Velmor::parseHardwareVersion(text), 0u) << text;
    }
}

} // namespace
