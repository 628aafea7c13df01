#include "KeyNames.h"

#include <gtest/gtest.h>

#include <QStringList>
#include <QtGlobal>

#include <map>
#include <utility>

namespace {

QStringList capturedMessages;

void captureMessage(QtMsgType, const QMessageLogContext&, const QString& message)
{
    capturedMessages << message;
}

struct NamedCase {
    int keyCode;
    const char* name;
    int scanCode;
};

TEST(KeyNames, NamesAndScanCodesOfNamedAndPrintableKeys)
{
    const NamedCase cases[] = {
        {0x01000072, "Volumn Up", 0xB0},
        {0x01000070, "Volumn Down", 0xAE},
        {0x01000071, "Volumn Mute", 0xA0},
        {0x01000080, "Media Play/Pause", 0xA2},
        {0x01020001, "Break", 0xC5},
        {0x01000008, "Pause", 0xC5},
        {0x01000004, "Return", 0x1C},
        {0x01000005, "Enter", 0x1C},
        {0x0100000A, "Sys Req", 0xB7},
        {0x01000000, "Esc", 0x01},
        {0x01000016, "Page Up", 0xC9},
        {0x01000039, "F10", 0x44},
        {0x0100003A, "F11", 0x57},
        {0x01000090, "Home Page", 0xB2},
        {0x41, "A", 0x1E},
        {0x5A, "Z", 0x2C},
        {0x30, "0", 0x0B},
        {0x31, "1", 0x02},
        {0x20, "Space", 0x39},
        {0x5C, "\\", 0x2B},
        {0x27, "'", 0x28},
        {0xC0, "`", 0x29},
    };
    for (const NamedCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(keyName(c.keyCode), QString::fromLatin1(c.name));
        EXPECT_EQ(scanCodeForKey(c.keyCode), c.scanCode);
    }
}

TEST(KeyNames, CodesWithoutNames)
{
    // Lower case, the backtick's character code, shifted symbols, modifiers, Print, Backtab, F13.
    for (int code : {0x61, 0x60, 0x21, 0x2B, 0x01000020, 0x01000021, 0x01000009, 0x01000002, 0x0100003C, 0, -1}) {
        SCOPED_TRACE(code);
        EXPECT_TRUE(keyName(code).isEmpty());
    }
    // Modifiers are unnamed yet still press their keys inside a combination.
    EXPECT_EQ(scanCodeForKey(0x01000020), 0x2A);
    EXPECT_EQ(scanCodeForKey(0x01000021), 0x1D);
    EXPECT_EQ(scanCodeForKey(0x01000022), 0xDB);
    EXPECT_EQ(scanCodeForKey(0x01000023), 0x38);
    EXPECT_EQ(scanCodeForKey(0x61), 0);
    EXPECT_EQ(scanCodeForKey(0x60), 0);
    EXPECT_EQ(keyName(kLeftClickKeyCode), "Left Click");
    EXPECT_EQ(scanCodeForKey(kLeftClickKeyCode) & 0xFFFF, 0x040C);
}

TEST(KeyNames, CharactersOfAKeyString)
{
    struct CharCase {
        char ch;
        int scanCode;
        bool shift;
    };
    const CharCase cases[] = {
        {'A', 0x1E, true},   {'a', 0x1E, false}, {'?', 0x35, true},  {'/', 0x35, false}, {'\n', 0x1C, false},
        {'\t', 0x0F, false}, {'!', 0x02, true},  {'{', 0x1A, true},  {'~', 0x29, true},  {'`', 0x29, false},
        {'"', 0x28, true},   {'0', 0x0B, false}, {' ', 0x39, false}, {'Q', 0x10, true},  {'m', 0x32, false},
        {'_', 0x0C, true},   {'|', 0x2B, true},
    };
    for (const CharCase& c : cases) {
        SCOPED_TRACE(c.ch);
        bool shift = !c.shift;
        EXPECT_EQ(scanCodeForChar(c.ch, &shift), c.scanCode);
        EXPECT_EQ(shift, c.shift);
    }
    EXPECT_EQ(scanCodeForChar('x'), 0x2D); // the Shift output is optional
}

TEST(KeyNames, CharactersNoKeyTypesGiveNoScanCode)
{
    // Control characters would otherwise press whatever key shares their value (0x08 is the '7' key).
    for (char c : {'\0', '\x01', '\x08', '\r', '\x7F', static_cast<char>(0xE9), static_cast<char>(0xC0)}) {
        SCOPED_TRACE(static_cast<int>(static_cast<unsigned char>(c)));
        bool shift = true;
        EXPECT_EQ(scanCodeForChar(c, &shift), 0);
        EXPECT_FALSE(shift);
    }
}

TEST(KeyNames, EveryPrintableAsciiCharacterTypesItsOwnKeyStroke)
{
    std::map<std::pair<int, bool>, char> seen;
    for (int c = 0x20; c < 0x7F; ++c) {
        bool shift = false;
        const int code = scanCodeForChar(static_cast<char>(c), &shift);
        ASSERT_NE(code, 0) << static_cast<char>(c);
        const auto [it, inserted] = seen.emplace(std::pair{code, shift}, static_cast<char>(c));
        EXPECT_TRUE(inserted) << static_cast<char>(c) << " types the same as " << it->second;
    }
}

TEST(KeyNames, ReducingKeyStringCharactersToEightBits)
{
    EXPECT_EQ(keyStringChar(QChar('a')), 'a');
    EXPECT_EQ(static_cast<unsigned char>(keyStringChar(QChar(0xE9))), 0xE9);
    EXPECT_EQ(keyStringChar(QChar(0x20AC)), '\0'); // the euro sign has no Latin-1 value
}

TEST(KeyNames, HotKeyCapture)
{
    capturedMessages.clear();
    const QtMessageHandler previous = qInstallMessageHandler(captureMessage);
    const HotKeyCapture shift = captureHotKey(0x01000020);
    const HotKeyCapture ctrlA = captureHotKey(0x41); // Ctrl+A reports Key_A; modifiers are ignored
    const HotKeyCapture f13 = captureHotKey(0x0100003C);
    const HotKeyCapture f5 = captureHotKey(0x01000034);
    qInstallMessageHandler(previous);

    EXPECT_EQ(shift.keyCode, 0);
    EXPECT_EQ(shift.text, "[Unknown]");
    EXPECT_EQ(ctrlA.keyCode, 0x41);
    EXPECT_EQ(ctrlA.text, "A");
    EXPECT_EQ(f13.keyCode, 0);
    EXPECT_EQ(f5.keyCode, 0x01000034);
    EXPECT_EQ(f5.text, "F5");
    EXPECT_EQ(capturedMessages, (QStringList{"Unknown key [16777248] pressed", "Unknown key [16777276] pressed"}));
}

} // namespace
