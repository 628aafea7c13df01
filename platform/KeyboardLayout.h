#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <vector>

struct xkb_context;
struct xkb_keymap;
struct xkb_state;
struct xcb_connection_t;

/// The names a keymap is compiled from, as setxkbmap and /etc/default/keyboard give them.
struct LayoutNames {
    QString layout; ///< "de", or a list such as "us,de"
    QString variant;
    QString options;
    QString model = QStringLiteral("pc105");

    /// The first layout with its variant: "de", "ch(fr)".
    QString displayName() const;
};

/// LAYOUT[:VARIANT] as given on the command line ("de", "ch:fr"); nothing when it is malformed.
std::optional<LayoutNames> parseLayoutOption(const QString& text);

/// The --layout option of both programs: LAYOUT[:VARIANT] naming a layout that xkeyboard-config has.
/// Nothing, with a message naming the fault, for anything else.
std::optional<LayoutNames> layoutFromOption(const QString& text, QString* error);

/// The XKBLAYOUT, XKBVARIANT, XKBOPTIONS and XKBMODEL of a keyboard settings file in the format of
/// /etc/default/keyboard; nothing when the file cannot be read or names no layout.
std::optional<LayoutNames> readKeyboardSettings(const QString& path = QStringLiteral("/etc/default/keyboard"));

/// How one character is typed: the key, and the modifier keys held around it that select its level.
/// Key codes are XKB key codes (the Linux input key code + 8, which is also the X11 key code).
struct KeyStroke {
    std::uint32_t key = 0;
    std::vector<std::uint32_t> modifiers; ///< Shift and AltGr, in the order they are pressed
    unsigned coreState = 0;               ///< the same modifiers and the layout group as an X11 event state

    bool operator==(const KeyStroke& other) const = default;
};

/// One keyboard layout (an XKB keymap and the layout group in use), and the key strokes that type each
/// character in it. Not thread-safe: owners serialize calls.
class KeyboardLayout
{
public:
    /// Compiled from names; nullptr, with the reason in error, when the names give no keymap.
    static std::unique_ptr<KeyboardLayout> fromNames(const LayoutNames& names, QString* error = nullptr);
    /// The keymap of an X server's core keyboard, on a connection of its own, which refresh() keeps up with
    /// the layout switches of that server. nullptr, with the reason in error, when the server cannot be
    /// reached or has no XKB. An empty display name means $DISPLAY.
    static std::unique_ptr<KeyboardLayout> fromX11(const QByteArray& displayName, QString* error = nullptr);

    ~KeyboardLayout();
    KeyboardLayout(const KeyboardLayout&) = delete;
    KeyboardLayout& operator=(const KeyboardLayout&) = delete;

    /// The layout in use: "de", "ch(fr)".
    QString name() const { return m_name; }
    bool followsX11() const { return m_connection != nullptr; }

    /// Takes in the keymap and group changes the X server announced since the last call (a round trip);
    /// true when the keymap or the group changed. Does nothing for a keymap compiled from names.
    bool refresh();

    /// The keys that type ch in the layout group in use. Keys that need fewer modifiers win; the keypad
    /// and the ISO key beside the left Shift are taken only when no other key types ch. A line feed is the
    /// Return key. Nothing for characters no key types, and for control characters other than line feed
    /// and tab.
    std::optional<KeyStroke> strokeFor(char32_t ch) const;

    /// Key codes that have no symbol in any group, free for binding a character for a moment.
    std::vector<std::uint32_t> unusedKeycodes() const;
    /// Whether the key's first level in the group in use gives ch.
    bool keyTypes(std::uint32_t key, char32_t ch) const;

private:
    struct Candidate {
        KeyStroke stroke;
        int rank = 0;
    };

    KeyboardLayout();
    bool load();
    void readNames();
    void buildTable();
    unsigned coreStateFor(xkb_state* state) const;
    void takeEvents(bool* keymapChanged, bool* groupChanged);

    xkb_context* m_context = nullptr;
    xkb_keymap* m_keymap = nullptr;
    std::uint32_t m_group = 0;
    LayoutNames m_names;
    QString m_name;
    std::map<char32_t, KeyStroke> m_strokes; ///< of m_group

    // Only when following an X server.
    xcb_connection_t* m_connection = nullptr;
    std::int32_t m_deviceId = -1;
    std::uint8_t m_xkbEventBase = 0;
};
