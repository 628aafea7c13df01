#pragma once

#include "CharacterKeys.h"
#include "KeyboardLayout.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

/// Characters typed for backends that report keys instead of sending them: the keys a layout types each
/// character with, as set-1 scan codes, each reported with the character it belongs to. Thread-safe.
class CharacterScanCodes
{
public:
    using Report = std::function<void(std::uint16_t scanCode, bool down, char32_t ch)>;

    /// Without a layout, characters are typed in the US layout.
    explicit CharacterScanCodes(Report report, std::unique_ptr<KeyboardLayout> layout = nullptr);

    /// As InputInjector::pressChar and releaseChar.
    bool press(char32_t ch);
    void release(char32_t ch);

private:
    KeyboardLayout* layout();

    Report m_report;
    std::mutex m_mutex;
    std::unique_ptr<KeyboardLayout> m_layout;
    CharacterKeys m_keys;
    char32_t m_current = 0; ///< the character whose keys are being reported
};
