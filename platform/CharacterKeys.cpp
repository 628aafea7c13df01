#include "CharacterKeys.h"

#include <utility>

CharacterKeys::CharacterKeys(SendKey send) : m_send(std::move(send)) {}

void CharacterKeys::press(char32_t ch, const KeyStroke& stroke)
{
    for (std::uint32_t modifier : stroke.modifiers) {
        m_send(modifier, true);
    }
    m_send(stroke.key, true);
    m_down[ch] = stroke;
}

bool CharacterKeys::release(char32_t ch)
{
    const auto found = m_down.find(ch);
    if (found == m_down.end()) {
        return false;
    }
    const KeyStroke stroke = found->second;
    m_down.erase(found);
    releaseStroke(stroke);
    return true;
}

void CharacterKeys::releaseStroke(const KeyStroke& stroke)
{
    for (auto it = stroke.modifiers.crbegin(); it != stroke.modifiers.crend(); ++it) {
        m_send(*it, false);
    }
    m_send(stroke.key, false);
}

std::optional<KeyStroke> CharacterKeys::strokeDown(char32_t ch) const
{
    const auto found = m_down.find(ch);
    if (found == m_down.end()) {
        return std::nullopt;
    }
    return found->second;
}
