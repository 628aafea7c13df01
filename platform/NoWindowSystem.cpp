#include "NoWindowSystem.h"

#include <QDebug>

bool NoWindowSystem::postChar(WindowHandle window, char ch)
{
    qDebug("No display: character 0x%x for window 0x%x not posted", static_cast<unsigned char>(ch), window);
    return false;
}
