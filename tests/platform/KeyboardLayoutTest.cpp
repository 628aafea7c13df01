#include "KeyboardLayout.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

#include <fstream>

namespace {

enum Level { Plain, Shift, AltGr, ShiftAltGr, None };

struct Case {
    const char* layout;
    char32_t ch;
    int key; ///< Linux input key code
    Level level;
};

std::vector<std::uint32_t> modifiersOf(Level level)
{
    switch (level) {
    case Shift:
        return {KEY_LEFTSHIFT + 8};
    case AltGr:
        return {KEY_RIGHTALT + 8};
    case ShiftAltGr:
        return {KEY_LEFTSHIFT + 8, KEY_RIGHTALT + 8};
    default:
        return {};
    }
}

// Each character, the key that types it and the modifiers held around it, as the layouts of
// xkeyboard-config give them.
const Case kCases[] = {
    {"us", U'a', KEY_A, Plain},
    {"us", U'A', KEY_A, Shift},
    {"us", U'z', KEY_Z, Plain},
    {"us", U'@', KEY_2, Shift},
    {"us", U'!', KEY_1, Shift},
    {"us", U'1', KEY_1, Plain},
    {"us", U' ', KEY_SPACE, Plain},
    {"us", U'\n', KEY_ENTER, Plain},
    {"us", U'\t', KEY_TAB, Plain},
    {"us", U'<', KEY_COMMA, Shift}, // not the ISO key, which US keyboards lack
    {"us", U'*', KEY_8, Shift},     // not the keypad
    {"us", U'/', KEY_SLASH, Plain},
    {"us", U'ä', 0, None},
    {"us", U'€', 0, None},
    {"us", U'\x01', 0, None},
    {"de", U'z', KEY_Y, Plain},
    {"de", U'y', KEY_Z, Plain},
    {"de", U'Z', KEY_Y, Shift},
    {"de", U'@', KEY_Q, AltGr},
    {"de", U'€', KEY_E, AltGr},
    {"de", U'ä', KEY_APOSTROPHE, Plain},
    {"de", U'Ä', KEY_APOSTROPHE, Shift},
    {"de", U'ß', KEY_MINUS, Plain},
    {"de", U'#', KEY_BACKSLASH, Plain},
    {"de", U'<', KEY_102ND, Plain},
    {"de", U'|', KEY_102ND, AltGr},
    {"de", U'!', KEY_1, Shift},
    {"de", U'\n', KEY_ENTER, Plain},
    {"de", U'é', 0, None}, // a dead key and a letter, not one key
    {"fr", U'a', KEY_Q, Plain},
    {"fr", U'q', KEY_A, Plain},
    {"fr", U'z', KEY_W, Plain},
    {"fr", U'w', KEY_Z, Plain},
    {"fr", U'm', KEY_SEMICOLON, Plain},
    {"fr", U'1', KEY_1, Shift},
    {"fr", U'é', KEY_2, Plain},
    {"fr", U'@', KEY_0, AltGr},
    {"fr", U'€', KEY_E, AltGr},
    {"fr", U'!', KEY_SLASH, Plain},
    {"fr", U'Q', KEY_A, Shift},
    {"fr", U'ä', 0, None},
};

TEST(KeyboardLayout, EachCharacterIsTypedByTheKeyAndLevelOfItsLayout)
{
    std::map<std::string, std::unique_ptr<KeyboardLayout>> layouts;
    for (const Case& c : kCases) {
        auto& layout = layouts[c.layout];
        if (!layout) {
            QString error;
            layout = KeyboardLayout::fromNames(*parseLayoutOption(QString::fromLatin1(c.layout)), &error);
            ASSERT_TRUE(layout) << error.toStdString();
            EXPECT_EQ(layout->name(), QString::fromLatin1(c.layout));
        }
        const std::optional<KeyStroke> stroke = layout->strokeFor(c.ch);
        const std::string what = std::string(c.layout) + " U+" + QString::number(c.ch, 16).toStdString();
        if (c.level == None) {
            EXPECT_FALSE(stroke) << what << " typed by key " << (stroke ? stroke->key - 8 : 0);
            continue;
        }
        ASSERT_TRUE(stroke) << what;
        EXPECT_EQ(stroke->key, static_cast<std::uint32_t>(c.key + 8)) << what;
        EXPECT_EQ(stroke->modifiers, modifiersOf(c.level)) << what;
    }
}

TEST(KeyboardLayout, TheStateOfALevelNamesItsCoreModifiers)
{
    auto de = KeyboardLayout::fromNames(*parseLayoutOption("de"));
    ASSERT_TRUE(de);
    constexpr unsigned kShiftMask = 1U << 0;
    constexpr unsigned kMod5Mask = 1U << 7;
    EXPECT_EQ(de->strokeFor(U'z')->coreState, 0U);
    EXPECT_EQ(de->strokeFor(U'Z')->coreState, kShiftMask);
    EXPECT_EQ(de->strokeFor(U'@')->coreState, kMod5Mask);
}

TEST(KeyboardLayout, VariantsAndUnknownNames)
{
    auto swissFrench = KeyboardLayout::fromNames(*parseLayoutOption("ch:fr"));
    ASSERT_TRUE(swissFrench);
    EXPECT_EQ(swissFrench->name(), "ch(fr)");
    EXPECT_EQ(swissFrench->strokeFor(U'z')->key, static_cast<std::uint32_t>(KEY_Y + 8));
    EXPECT_EQ(swissFrench->strokeFor(U'é')->key, static_cast<std::uint32_t>(KEY_SEMICOLON + 8));

    QString error;
    EXPECT_FALSE(KeyboardLayout::fromNames(*parseLayoutOption("nosuchlayout"), &error));
    EXPECT_EQ(error, "no keyboard layout \"nosuchlayout\"");
}

TEST(KeyboardLayout, LayoutOptionIsLayoutAndOptionalVariant)
{
    EXPECT_EQ(parseLayoutOption("de")->displayName(), "de");
    EXPECT_EQ(parseLayoutOption("ch:fr")->variant, "fr");
    EXPECT_EQ(parseLayoutOption("us:dvorak-intl")->displayName(), "us(dvorak-intl)");
    for (const char* bad : {"", ":", "de:", ":fr", "de:fr:x", "../de", "de fr", "de,us"}) {
        EXPECT_FALSE(parseLayoutOption(QString::fromLatin1(bad))) << bad;
    }
}

TEST(KeyboardLayout, SystemKeyboardSettingsAreRead)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("keyboard");
    std::ofstream(path.toStdString()) << "# KEYBOARD CONFIGURATION FILE\n"
                                         "XKBMODEL=\"pc105\"\nXKBLAYOUT=\"ch\"\nXKBVARIANT=\"fr\"\n"
                                         "XKBOPTIONS=\"\"\n\nBACKSPACE=\"guess\"\n";
    const std::optional<LayoutNames> names = readKeyboardSettings(path);
    ASSERT_TRUE(names);
    EXPECT_EQ(names->displayName(), "ch(fr)");
    EXPECT_EQ(names->model, "pc105");

    std::ofstream(path.toStdString()) << "XKBLAYOUT=\"\"\n";
    EXPECT_FALSE(readKeyboardSettings(path));
    EXPECT_FALSE(readKeyboardSettings(dir.filePath("missing")));
}

} // namespace
