#pragma once

#include <QList>
#include <QString>

/// One request waiting in the keyboard event simulator's queue.
struct KeyEventRequest {
    enum Kind { KeyString = 0, KeyCombination = 1, MouseClick = 2 };

    int kind = KeyString;
    bool holdKey = false;
    bool enterKey = false;
    uint holdTime = 0;         ///< ms between press and release
    uint triggerDelayTime = 0; ///< ms of pause after each character of a key string
    int mouseButNum = 0;
    QString keys;
    QList<int> keyCombo;

    /// A key string; with enterKey a line feed is appended now, so Enter is typed as the last character.
    KeyEventRequest(const QString& keys, bool holdKey, bool enterKey, uint holdTime, uint triggerDelayTime);
    /// A key combination, pressed in order and released in reverse.
    KeyEventRequest(const QList<int>& keyCombo, uint holdTime);
    /// A mouse button press; holdKey and holdTime are carried but the release comes from the caller.
    KeyEventRequest(int mouseButNum, bool holdKey, uint holdTime);
};
