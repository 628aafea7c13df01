#include "KeyEventRequest.h"

KeyEventRequest::KeyEventRequest(const QString& keys_, bool holdKey_, bool enterKey_, uint holdTime_,
                                 uint triggerDelayTime_)
    : kind(KeyString), holdKey(holdKey_), enterKey(enterKey_), holdTime(holdTime_), triggerDelayTime(triggerDelayTime_),
      keys(keys_)
{
    if (enterKey) {
        keys.append(QLatin1Char('\n'));
    }
}

KeyEventRequest::KeyEventRequest(const QList<int>& keyCombo_, uint holdTime_)
    : kind(KeyCombination), holdTime(holdTime_), triggerDelayTime(20), keyCombo(keyCombo_)
{
}

KeyEventRequest::KeyEventRequest(int mouseButNum_, bool holdKey_, uint holdTime_)
    : kind(MouseClick), holdKey(holdKey_), holdTime(holdTime_), mouseButNum(mouseButNum_)
{
}
