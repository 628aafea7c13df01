#include "UinputEventWriter.h"

#include "ScanCodeTable.h"

#include <gtest/gtest.h>

#include <linux/input.h>
#include <unistd.h>

#include <array>

namespace {

struct Pipe {
    int fds[2] = {-1, -1};
    Pipe() { EXPECT_EQ(::pipe(fds), 0); }
    ~Pipe()
    {
        for (int fd : fds) {
            if (fd >= 0) {
                ::close(fd);
            }
        }
    }
};

TEST(UinputEventWriter, KeyChangeIsOneEventAndASynReport)
{
    Pipe pipe;
    UinputEventWriter writer(pipe.fds[1]);
    ASSERT_TRUE(writer.writeKey(KEY_A, true));
    ASSERT_TRUE(writer.writeKey(BTN_LEFT, false));

    std::array<input_event, 4> events{};
    ASSERT_EQ(::read(pipe.fds[0], events.data(), sizeof events), static_cast<ssize_t>(sizeof events));
    const struct {
        int type, code, value;
    } expected[] = {{EV_KEY, KEY_A, 1}, {EV_SYN, SYN_REPORT, 0}, {EV_KEY, BTN_LEFT, 0}, {EV_SYN, SYN_REPORT, 0}};
    for (std::size_t i = 0; i < events.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(events[i].type, expected[i].type);
        EXPECT_EQ(events[i].code, expected[i].code);
        EXPECT_EQ(events[i].value, expected[i].value);
    }
}

TEST(UinputEventWriter, FailedWriteIsReported)
{
    Pipe pipe;
    EXPECT_FALSE(UinputEventWriter(pipe.fds[0]).writeKey(KEY_A, true)); // the read end takes no writes
    EXPECT_FALSE(UinputEventWriter(-1).writeKey(KEY_A, true));
}

TEST(ScanCodeTable, PlainAndExtendedCodes)
{
    const struct {
        std::uint16_t scanCode;
        int key;
    } cases[] = {
        {0x01, KEY_ESC},
        {0x1E, KEY_A},
        {0x2A, KEY_LEFTSHIFT},
        {0x29, KEY_GRAVE},
        {0x39, KEY_SPACE},
        {0x57, KEY_F11},
        {0x58, KEY_F12},
        {0x0F, KEY_TAB},
        {0x1C, KEY_ENTER},
        {0xC8, KEY_UP},
        {0xCB, KEY_LEFT},
        {0xD2, KEY_INSERT},
        {0xD3, KEY_DELETE},
        {0xC5, KEY_PAUSE},
        {0xB7, KEY_SYSRQ},
        {0xDB, KEY_LEFTMETA},
        {0xDD, KEY_COMPOSE},
        {0xB0, KEY_VOLUMEUP},
        {0xA0, KEY_MUTE},
        {0xA2, KEY_PLAYPAUSE},
        {0x90, KEY_PREVIOUSSONG},
        {0xB2, KEY_HOMEPAGE},
        {0x00, 0},
        {0x54, 0},
        {0x59, 0},
        {0x80, 0},
        {0x040C, 0},
        {0xFFFF, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.scanCode);
        EXPECT_EQ(linuxKeyForScanCode(c.scanCode), c.key);
    }
}

} // namespace
