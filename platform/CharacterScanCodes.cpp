#include "CharacterScanCodes.h"

#include "ScanCodeTable.h"

#include <QDebug>

#include <utility>

CharacterScanCodes::CharacterScanCodes(Report report, std::unique_ptr<KeyboardLayout> layout)
    : m_report(std::move(report)), m_layout(std::move(layout)),
      m_keys([this](std::uint32_t key, bool down) {
          m_report(scanCodeForLinuxKey(static_cast<int>(key) - 8), down, m_current);
      })
{
}

KeyboardLayout* CharacterScanCodes::layout()
{
    if (m_layout) {
        return m_layout.get();
    }
    // One US keymap for every backend given none: a keymap compiled from names is only read, never changed.
    static const std::unique_ptr<KeyboardLayout> us = [] {
        LayoutNames names;
        names.layout = QStringLiteral("us");
        QString error;
        auto layout = KeyboardLayout::fromNames(names, &error);
        if (!layout) {
            qWarning().noquote() << "Characters cannot be typed:" << error;
        }
        return layout;
    }();
    return us.get();
}

bool CharacterScanCodes::press(char32_t ch)
{
    std::lock_guard lock(m_mutex);
    KeyboardLayout* keyboard = layout();
    const std::optional<KeyStroke> stroke = keyboard ? keyboard->strokeFor(ch) : std::nullopt;
    if (!stroke) {
        return false;
    }
    m_current = ch;
    m_keys.press(ch, *stroke);
    return true;
}

void CharacterScanCodes::release(char32_t ch)
{
    std::lock_guard lock(m_mutex);
    m_current = ch;
    if (m_keys.release(ch)) {
        return;
    }
    KeyboardLayout* keyboard = layout();
    if (const std::optional<KeyStroke> stroke = keyboard ? keyboard->strokeFor(ch) : std::nullopt) {
        m_keys.releaseStroke(*stroke);
    }
}
