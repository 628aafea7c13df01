#include "NoWindowSystem.h"

#include <QDebug>

bool NoWindowSystem::postChar(WindowHandle window, char32_t ch)
{
    qDebug("No display: character U+%04X for window 0x%x not posted", static_cast<unsigned>(ch), window);
    return false;
}
