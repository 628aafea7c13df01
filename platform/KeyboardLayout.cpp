#include "KeyboardLayout.h"

#include <QDebug>
#include <QFile>
#include <QRegularExpression>
#include <QStringList>

#include "ScanCodeTable.h"

#include <xcb/xcb.h>
// xkb.h names a field "explicit", which C++ reserves.
#if defined(__clang__)
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wkeyword-macro"
#endif
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit
#if defined(__clang__)
#pragma clang diagnostic pop
#endif
#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

#include <array>
#include <cstdarg>
#include <cstdio>

namespace {

constexpr std::uint32_t kKeycodeOffset = 8;
// The ISO key between the left Shift and Z; absent from ANSI keyboards.
constexpr std::uint32_t kIso102ndKey = 86 + kKeycodeOffset;
constexpr unsigned kCoreGroupShift = 13;

void logToDebug(xkb_context*, xkb_log_level, const char* format, va_list args)
{
    std::array<char, 512> line{};
    std::vsnprintf(line.data(), line.size(), format, args);
    qDebug().noquote() << "xkbcommon:" << QString::fromLocal8Bit(line.data()).trimmed();
}

xkb_context* newContext()
{
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    if (context) {
        xkb_context_set_log_fn(context, logToDebug);
        xkb_context_set_log_level(context, XKB_LOG_LEVEL_ERROR);
    }
    return context;
}

bool isKeypadSym(xkb_keysym_t sym)
{
    return sym >= XKB_KEY_KP_Space && sym <= XKB_KEY_KP_Equal;
}

// The key whose first level in the group gives sym and that has a scan code, 0 when none.
std::uint32_t keyWithSym(xkb_keymap* keymap, std::uint32_t group, xkb_keysym_t sym)
{
    for (xkb_keycode_t key = xkb_keymap_min_keycode(keymap); key <= xkb_keymap_max_keycode(keymap); ++key) {
        const xkb_keysym_t* syms = nullptr;
        if (key < kKeycodeOffset || scanCodeForLinuxKey(static_cast<int>(key - kKeycodeOffset)) == 0) {
            continue;
        }
        const int count = xkb_keymap_key_get_syms_by_level(keymap, key, group, 0, &syms);
        if (count == 1 && syms[0] == sym) {
            return key;
        }
    }
    return 0;
}

} // namespace

QString LayoutNames::displayName() const
{
    const QString first = layout.section(QLatin1Char(','), 0, 0).trimmed();
    const QString firstVariant = variant.section(QLatin1Char(','), 0, 0).trimmed();
    return firstVariant.isEmpty() ? first : QStringLiteral("%1(%2)").arg(first, firstVariant);
}

std::optional<LayoutNames> parseLayoutOption(const QString& text)
{
    // Names as in xkeyboard-config: letters, digits and a few punctuation marks, nothing that could reach
    // beyond its symbols folder.
    static const QRegularExpression name(QStringLiteral("^[A-Za-z0-9_-]+$"));
    const QStringList parts = text.split(QLatin1Char(':'));
    if (parts.size() > 2 || !name.match(parts.front()).hasMatch() ||
        (parts.size() == 2 && !name.match(parts.back()).hasMatch())) {
        return std::nullopt;
    }
    LayoutNames names;
    names.layout = parts.front();
    if (parts.size() == 2) {
        names.variant = parts.back();
    }
    return names;
}

std::optional<LayoutNames> layoutFromOption(const QString& text, QString* error)
{
    const std::optional<LayoutNames> names = parseLayoutOption(text);
    if (!names) {
        *error = QStringLiteral("bad layout '%1' (LAYOUT or LAYOUT:VARIANT, such as de or ch:fr)").arg(text);
        return std::nullopt;
    }
    if (!KeyboardLayout::fromNames(*names, error)) {
        return std::nullopt;
    }
    return names;
}

std::optional<LayoutNames> readKeyboardSettings(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return std::nullopt;
    }
    LayoutNames names;
    static const QRegularExpression assignment(QStringLiteral("^\\s*(XKB[A-Z]+)\\s*=\\s*\"?([^\"]*)\"?\\s*$"));
    while (!file.atEnd()) {
        const QRegularExpressionMatch match = assignment.match(QString::fromLocal8Bit(file.readLine(4096)));
        if (!match.hasMatch()) {
            continue;
        }
        const QString key = match.captured(1);
        const QString value = match.captured(2).trimmed();
        if (key == QLatin1String("XKBLAYOUT")) {
            names.layout = value;
        } else if (key == QLatin1String("XKBVARIANT")) {
            names.variant = value;
        } else if (key == QLatin1String("XKBOPTIONS")) {
            names.options = value;
        } else if (key == QLatin1String("XKBMODEL") && !value.isEmpty()) {
            names.model = value;
        }
    }
    if (names.layout.isEmpty()) {
        return std::nullopt;
    }
    return names;
}

KeyboardLayout::KeyboardLayout() = default;

KeyboardLayout::~KeyboardLayout()
{
    if (m_keymap) {
        xkb_keymap_unref(m_keymap);
    }
    if (m_context) {
        xkb_context_unref(m_context);
    }
    if (m_connection) {
        xcb_disconnect(m_connection);
    }
}

std::unique_ptr<KeyboardLayout> KeyboardLayout::fromNames(const LayoutNames& names, QString* error)
{
    std::unique_ptr<KeyboardLayout> layout(new KeyboardLayout);
    layout->m_context = newContext();
    const QByteArray model = names.model.toUtf8();
    const QByteArray layoutName = names.layout.toUtf8();
    const QByteArray variant = names.variant.toUtf8();
    const QByteArray options = names.options.toUtf8();
    const xkb_rule_names rules{"evdev", model.constData(), layoutName.constData(), variant.constData(),
                               options.constData()};
    if (layout->m_context) {
        layout->m_keymap = xkb_keymap_new_from_names(layout->m_context, &rules, XKB_KEYMAP_COMPILE_NO_FLAGS);
    }
    if (!layout->m_keymap) {
        if (error) {
            *error = QStringLiteral("no keyboard layout \"%1\"").arg(names.displayName());
        }
        return nullptr;
    }
    layout->m_names = names;
    layout->m_name = names.displayName();
    layout->buildTable();
    return layout;
}

std::unique_ptr<KeyboardLayout> KeyboardLayout::fromX11(const QByteArray& displayName, QString* error)
{
    auto fail = [error](const QString& reason) {
        if (error) {
            *error = reason;
        }
        return nullptr;
    };
    xcb_connection_t* connection = xcb_connect(displayName.isEmpty() ? nullptr : displayName.constData(), nullptr);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return fail(QStringLiteral("cannot open the X display"));
    }
    std::unique_ptr<KeyboardLayout> layout(new KeyboardLayout);
    layout->m_connection = connection;
    layout->m_context = newContext();
    if (!layout->m_context ||
        !xkb_x11_setup_xkb_extension(connection, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
                                     XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr,
                                     &layout->m_xkbEventBase, nullptr)) {
        return fail(QStringLiteral("the X server has no XKB extension"));
    }
    layout->m_deviceId = xkb_x11_get_core_keyboard_device_id(connection);
    if (layout->m_deviceId < 0) {
        return fail(QStringLiteral("the X server names no core keyboard"));
    }

    constexpr std::uint16_t events = XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY | XCB_XKB_EVENT_TYPE_MAP_NOTIFY |
                                     XCB_XKB_EVENT_TYPE_STATE_NOTIFY;
    constexpr std::uint16_t mapParts =
        XCB_XKB_MAP_PART_KEY_TYPES | XCB_XKB_MAP_PART_KEY_SYMS | XCB_XKB_MAP_PART_MODIFIER_MAP |
        XCB_XKB_MAP_PART_EXPLICIT_COMPONENTS | XCB_XKB_MAP_PART_KEY_ACTIONS | XCB_XKB_MAP_PART_VIRTUAL_MODS |
        XCB_XKB_MAP_PART_VIRTUAL_MOD_MAP;
    xcb_xkb_select_events_details_t details{};
    details.affectNewKeyboard = XCB_XKB_NKN_DETAIL_KEYCODES;
    details.newKeyboardDetails = XCB_XKB_NKN_DETAIL_KEYCODES;
    details.affectState = XCB_XKB_STATE_PART_GROUP_BASE | XCB_XKB_STATE_PART_GROUP_LATCH |
                          XCB_XKB_STATE_PART_GROUP_LOCK;
    details.stateDetails = details.affectState;
    xcb_xkb_select_events_aux(connection, static_cast<xcb_xkb_device_spec_t>(layout->m_deviceId), events, 0, 0,
                              mapParts, mapParts, &details);
    if (!layout->load()) {
        return fail(QStringLiteral("cannot read the keymap of the X server"));
    }
    return layout;
}

bool KeyboardLayout::load()
{
    xkb_keymap* keymap = xkb_x11_keymap_new_from_device(m_context, m_connection, m_deviceId, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (!keymap) {
        return false;
    }
    if (m_keymap) {
        xkb_keymap_unref(m_keymap);
    }
    m_keymap = keymap;
    if (xkb_state* state = xkb_x11_state_new_from_device(keymap, m_connection, m_deviceId)) {
        m_group = xkb_state_serialize_layout(state, XKB_STATE_LAYOUT_EFFECTIVE);
        xkb_state_unref(state);
    }
    readNames();
    buildTable();
    return true;
}

void KeyboardLayout::readNames()
{
    // The root window's _XKB_RULES_NAMES holds what setxkbmap was given: rules, model, layout, variant,
    // options, each ended by a null byte.
    const char atomName[] = "_XKB_RULES_NAMES";
    xcb_intern_atom_reply_t* atom =
        xcb_intern_atom_reply(m_connection, xcb_intern_atom(m_connection, 1, sizeof atomName - 1, atomName), nullptr);
    QStringList fields;
    if (atom && atom->atom != XCB_ATOM_NONE) {
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
        xcb_get_property_reply_t* property = xcb_get_property_reply(
            m_connection, xcb_get_property(m_connection, 0, root, atom->atom, XCB_ATOM_STRING, 0, 1024), nullptr);
        if (property) {
            const QByteArray value(static_cast<const char*>(xcb_get_property_value(property)),
                                   xcb_get_property_value_length(property));
            fields = QString::fromLatin1(value).split(QLatin1Char('\0'));
            free(property);
        }
    }
    free(atom);
    while (fields.size() < 5) {
        fields << QString();
    }
    m_names.model = fields[1];
    m_names.layout = fields[2];
    m_names.variant = fields[3];
    m_names.options = fields[4];
}

void KeyboardLayout::buildTable()
{
    m_strokes.clear();
    if (xkb_keymap_num_layouts(m_keymap) <= m_group) {
        m_group = 0;
    }
    // The name of the group in use, from the names the keymap was made from, else the keymap's own.
    const QString layoutName = m_names.layout.section(QLatin1Char(','), static_cast<int>(m_group), static_cast<int>(m_group)).trimmed();
    const QString variant = m_names.variant.section(QLatin1Char(','), static_cast<int>(m_group), static_cast<int>(m_group)).trimmed();
    if (!layoutName.isEmpty()) {
        m_name = variant.isEmpty() ? layoutName : QStringLiteral("%1(%2)").arg(layoutName, variant);
    } else if (const char* name = xkb_keymap_layout_get_name(m_keymap, m_group)) {
        m_name = QString::fromUtf8(name);
    }

    const std::uint32_t shift = keyWithSym(m_keymap, m_group, XKB_KEY_Shift_L);
    const std::uint32_t altGr = keyWithSym(m_keymap, m_group, XKB_KEY_ISO_Level3_Shift);
    std::vector<std::vector<std::uint32_t>> levels{{}};
    if (shift) {
        levels.push_back({shift});
    }
    if (altGr) {
        levels.push_back({altGr});
        if (shift) {
            levels.push_back({shift, altGr});
        }
    }

    std::map<char32_t, Candidate> best;
    for (std::size_t level = 0; level < levels.size(); ++level) {
        xkb_state* state = xkb_state_new(m_keymap);
        xkb_state_update_mask(state, 0, 0, 0, 0, 0, m_group);
        for (std::uint32_t modifier : levels[level]) {
            xkb_state_update_key(state, modifier, XKB_KEY_DOWN);
        }
        const unsigned coreState = coreStateFor(state);
        for (xkb_keycode_t key = xkb_keymap_min_keycode(m_keymap); key <= xkb_keymap_max_keycode(m_keymap); ++key) {
            if (key < kKeycodeOffset || scanCodeForLinuxKey(static_cast<int>(key - kKeycodeOffset)) == 0) {
                continue;
            }
            const char32_t ch = xkb_state_key_get_utf32(state, key);
            if (ch == 0) {
                continue;
            }
            const bool lastResort = key == kIso102ndKey || isKeypadSym(xkb_state_key_get_one_sym(state, key));
            const int rank = static_cast<int>(level) + (lastResort ? 100 : 0);
            auto found = best.find(ch);
            if (found == best.end() || rank < found->second.rank) {
                best[ch] = Candidate{KeyStroke{key, levels[level], coreState}, rank};
            }
        }
        xkb_state_unref(state);
    }
    for (auto& [ch, candidate] : best) {
        m_strokes.emplace(ch, std::move(candidate.stroke));
    }
}

unsigned KeyboardLayout::coreStateFor(xkb_state* state) const
{
    static constexpr std::array<const char*, 8> kCoreModifiers{
        XKB_MOD_NAME_SHIFT, XKB_MOD_NAME_CAPS, XKB_MOD_NAME_CTRL, "Mod1", "Mod2", "Mod3", "Mod4", "Mod5"};
    const xkb_mod_mask_t mods = xkb_state_serialize_mods(state, XKB_STATE_MODS_EFFECTIVE);
    unsigned core = m_group << kCoreGroupShift;
    for (unsigned bit = 0; bit < kCoreModifiers.size(); ++bit) {
        const xkb_mod_index_t index = xkb_keymap_mod_get_index(m_keymap, kCoreModifiers[bit]);
        if (index != XKB_MOD_INVALID && (mods & (1u << index))) {
            core |= 1u << bit;
        }
    }
    return core;
}

bool KeyboardLayout::refresh()
{
    if (!m_connection) {
        return false;
    }
    // A round trip, so that what other clients changed before this call has been announced.
    free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
    bool keymapChanged = false;
    bool groupChanged = false;
    takeEvents(&keymapChanged, &groupChanged);
    const QString before = m_name;
    if (keymapChanged) {
        if (!load()) {
            qDebug("The keymap of the X server could not be read again; the last one stays in use");
        }
    } else if (groupChanged) {
        buildTable();
    }
    if (m_name != before) {
        qInfo().noquote() << "Keyboard layout now" << m_name;
    }
    return keymapChanged || groupChanged;
}

void KeyboardLayout::takeEvents(bool* keymapChanged, bool* groupChanged)
{
    // The XKB events share one event code and tell their kind in the second byte.
    struct XkbEventHeader {
        std::uint8_t responseType;
        std::uint8_t xkbType;
    };
    while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection)) {
        if ((event->response_type & 0x7F) == m_xkbEventBase) {
            const auto* header = reinterpret_cast<const XkbEventHeader*>(event);
            if (header->xkbType == XCB_XKB_NEW_KEYBOARD_NOTIFY || header->xkbType == XCB_XKB_MAP_NOTIFY) {
                *keymapChanged = true;
            } else if (header->xkbType == XCB_XKB_STATE_NOTIFY) {
                const auto* state = reinterpret_cast<const xcb_xkb_state_notify_event_t*>(event);
                if (state->group != m_group) {
                    m_group = state->group;
                    *groupChanged = true;
                }
            }
        }
        free(event);
    }
}

std::optional<KeyStroke> KeyboardLayout::strokeFor(char32_t ch) const
{
    if (ch == U'\n') {
        ch = U'\r'; // what the Return key gives
    } else if (ch < 0x20 && ch != U'\t') {
        return std::nullopt;
    } else if (ch == 0x7F) {
        return std::nullopt;
    }
    const auto found = m_strokes.find(ch);
    if (found == m_strokes.end()) {
        return std::nullopt;
    }
    return found->second;
}

std::vector<std::uint32_t> KeyboardLayout::unusedKeycodes() const
{
    std::vector<std::uint32_t> keys;
    for (xkb_keycode_t key = xkb_keymap_min_keycode(m_keymap); key <= xkb_keymap_max_keycode(m_keymap); ++key) {
        if (xkb_keymap_num_layouts_for_key(m_keymap, key) == 0) {
            keys.push_back(key);
        }
    }
    return keys;
}

bool KeyboardLayout::keyTypes(std::uint32_t key, char32_t ch) const
{
    const xkb_keysym_t* syms = nullptr;
    const int count = xkb_keymap_key_get_syms_by_level(m_keymap, key, m_group, 0, &syms);
    return count == 1 && xkb_keysym_to_utf32(syms[0]) == ch;
}
