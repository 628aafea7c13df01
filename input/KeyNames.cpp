#include "KeyNames.h"

#include <QDebug>

#include <array>

namespace {

struct NamedKey {
    int keyCode;
    const char* name; // nullptr: has a scan code but no name
    int scanCode;
};

// Keys other than the printable ones. The modifiers only enter a combination through the modifier
// flags, which is why they have no name.
constexpr std::array kNamedKeys{
    NamedKey{kLeftClickKeyCode, "Left Click", static_cast<int>(0x8200040CU)},
    NamedKey{0x01000000, "Esc", 0x01},
    NamedKey{0x01000001, "Tab", 0x0F},
    NamedKey{0x01000003, "Backspace", 0x0E},
    NamedKey{0x01000004, "Return", 0x1C},
    NamedKey{0x01000005, "Enter", 0x1C},
    NamedKey{0x01000006, "Insert", 0xD2},
    NamedKey{0x01000007, "Delete", 0xD3},
    NamedKey{0x01000008, "Pause", 0xC5},
    NamedKey{0x0100000A, "Sys Req", 0xB7},
    NamedKey{0x01000010, "Home", 0xC7},
    NamedKey{0x01000011, "End", 0xCF},
    NamedKey{0x01000012, "Left", 0xCB},
    NamedKey{0x01000013, "Up", 0xC8},
    NamedKey{0x01000014, "Right", 0xCD},
    NamedKey{0x01000015, "Down", 0xD0},
    NamedKey{0x01000016, "Page Up", 0xC9},
    NamedKey{0x01000017, "Page Down", 0xD1},
    NamedKey{0x01000020, nullptr, 0x2A},
    NamedKey{0x01000021, nullptr, 0x1D},
    NamedKey{0x01000022, nullptr, 0xDB},
    NamedKey{0x01000023, nullptr, 0x38},
    NamedKey{0x01000024, "Caps Lock", 0x3A},
    NamedKey{0x01000025, "Num Lock", 0x45},
    NamedKey{0x01000026, "Scroll Lock", 0x46},
    NamedKey{0x01000030, "F1", 0x3B},
    NamedKey{0x01000031, "F2", 0x3C},
    NamedKey{0x01000032, "F3", 0x3D},
    NamedKey{0x01000033, "F4", 0x3E},
    NamedKey{0x01000034, "F5", 0x3F},
    NamedKey{0x01000035, "F6", 0x40},
    NamedKey{0x01000036, "F7", 0x41},
    NamedKey{0x01000037, "F8", 0x42},
    NamedKey{0x01000038, "F9", 0x43},
    NamedKey{0x01000039, "F10", 0x44},
    NamedKey{0x0100003A, "F11", 0x57},
    NamedKey{0x0100003B, "F12", 0x58},
    NamedKey{0x01000055, "Menu", 0xDD},
    NamedKey{0x01000070, "Volumn Down", 0xAE},
    NamedKey{0x01000071, "Volumn Mute", 0xA0},
    NamedKey{0x01000072, "Volumn Up", 0xB0},
    NamedKey{0x01000080, "Media Play/Pause", 0xA2},
    NamedKey{0x01000081, "Media Stop", 0xA4},
    NamedKey{0x01000082, "Media Previous", 0x90},
    NamedKey{0x01000083, "Media Next", 0x99},
    NamedKey{0x01000090, "Home Page", 0xB2},
    NamedKey{0x01020001, "Break", 0xC5},
};

constexpr int kBacktickKeyCode = 0xC0;

const NamedKey* findNamedKey(int keyCode)
{
    for (const NamedKey& key : kNamedKeys) {
        if (key.keyCode == keyCode) {
            return &key;
        }
    }
    return nullptr;
}

// Make code of the unshifted US key that bears the character, 0 if none does.
int unshiftedScanCode(unsigned char c)
{
    if (c >= 'a' && c <= 'z') {
        // Letters follow the keyboard rows, not the alphabet.
        static constexpr std::array<unsigned char, 26> kLetters{0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17,
                                                                0x24, 0x25, 0x26, 0x32, 0x31, 0x18, 0x19, 0x10, 0x13,
                                                                0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, 0x15, 0x2C};
        return kLetters[c - 'a'];
    }
    if (c >= '1' && c <= '9') {
        return 0x02 + (c - '1');
    }
    switch (c) {
    case '0':
        return 0x0B;
    case ' ':
        return 0x39;
    case '\'':
        return 0x28;
    case ',':
        return 0x33;
    case '-':
        return 0x0C;
    case '.':
        return 0x34;
    case '/':
        return 0x35;
    case ';':
        return 0x27;
    case '=':
        return 0x0D;
    case '[':
        return 0x1A;
    case '\\':
        return 0x2B;
    case ']':
        return 0x1B;
    case '`':
        return 0x29;
    default:
        return 0;
    }
}

// Make code of the US key that gives the character together with Shift, 0 if none does.
int shiftedScanCode(unsigned char c)
{
    switch (c) {
    case '!':
        return 0x02;
    case '@':
        return 0x03;
    case '#':
        return 0x04;
    case '$':
        return 0x05;
    case '%':
        return 0x06;
    case '^':
        return 0x07;
    case '&':
        return 0x08;
    case '*':
        return 0x09;
    case '(':
        return 0x0A;
    case ')':
        return 0x0B;
    case '_':
        return 0x0C;
    case '+':
        return 0x0D;
    case ':':
        return 0x27;
    case '"':
        return 0x28;
    case '<':
        return 0x33;
    case '>':
        return 0x34;
    case '?':
        return 0x35;
    case '{':
        return 0x1A;
    case '}':
        return 0x1B;
    case '|':
        return 0x2B;
    case '~':
        return 0x29;
    default:
        return 0;
    }
}

bool isPrintableKeyCode(int keyCode)
{
    if (keyCode == kBacktickKeyCode) {
        return true;
    }
    if (keyCode < 0x20 || keyCode > 0x5D) {
        return false;
    }
    // Only upper-case letters and unshifted symbols are key codes; '`' lives under 0xC0.
    const auto c = static_cast<unsigned char>(keyCode);
    return (c >= 'A' && c <= 'Z') || (unshiftedScanCode(c) != 0 && c != '`');
}

} // namespace

QString keyName(int keyCode)
{
    if (const NamedKey* key = findNamedKey(keyCode)) {
        return key->name ? QString::fromLatin1(key->name) : QString();
    }
    if (!isPrintableKeyCode(keyCode)) {
        return {};
    }
    if (keyCode == ' ') {
        return QStringLiteral("Space");
    }
    if (keyCode == kBacktickKeyCode) {
        return QStringLiteral("`");
    }
    return QString(QChar(keyCode));
}

int scanCodeForKey(int keyCode)
{
    if (const NamedKey* key = findNamedKey(keyCode)) {
        return key->scanCode;
    }
    if (!isPrintableKeyCode(keyCode)) {
        return 0;
    }
    if (keyCode == kBacktickKeyCode) {
        return 0x29;
    }
    const auto c = static_cast<unsigned char>(keyCode);
    return unshiftedScanCode(c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c - 'A' + 'a') : c);
}

char32_t hotKeyChar(int keyCode)
{
    if (findNamedKey(keyCode) || !isPrintableKeyCode(keyCode)) {
        return 0;
    }
    if (keyCode == kBacktickKeyCode) {
        return U'`';
    }
    const auto c = static_cast<char32_t>(keyCode);
    return c >= U'A' && c <= U'Z' ? c - U'A' + U'a' : c;
}

int scanCodeForChar(char ch, bool* needsShift)
{
    const auto c = static_cast<unsigned char>(ch);
    bool shift = c >= 'A' && c <= 'Z';
    int scanCode = 0;
    if (c == '\n') {
        scanCode = 0x1C;
    } else if (c == '\t') {
        // Passing the character value through as a scan code would type '8' (0x09); a tab means the Tab key.
        scanCode = 0x0F;
    } else if (shift) {
        scanCode = unshiftedScanCode(static_cast<unsigned char>(c - 'A' + 'a'));
    } else if (int code = unshiftedScanCode(c)) {
        scanCode = code;
    } else if (int shifted = shiftedScanCode(c)) {
        scanCode = shifted;
        shift = true;
    }
    if (needsShift) {
        *needsShift = scanCode != 0 && shift;
    }
    return scanCode;
}

char keyStringChar(QChar ch)
{
    return static_cast<char>(ch.toLatin1());
}

HotKeyCapture captureHotKey(int pressedKeyCode)
{
    const QString name = keyName(pressedKeyCode);
    if (name.isEmpty()) {
        qDebug("Unknown key [%d] pressed", pressedKeyCode);
        return {0, QStringLiteral("[Unknown]")};
    }
    return {pressedKeyCode, name};
}
