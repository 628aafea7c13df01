#include "ResourcePath.h"

QString resourcePath(const QString& fileName)
{
    return QStringLiteral(":/./Resources/") + fileName;
}
