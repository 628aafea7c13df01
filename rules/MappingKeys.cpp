#include "MappingKeys.h"

#include <QStringList>

#include "KeyNames.h"
#include "SenMapping.h"

QList<int> hotKeyCombo(const SenMapping& mapping)
{
    QList<int> combo;
    if (mapping.ctrlKey()) {
        combo.append(Qt::Key_Control);
    }
    if (mapping.altKey()) {
        combo.append(Qt::Key_Alt);
    }
    if (mapping.shiftKey()) {
        combo.append(Qt::Key_Shift);
    }
    if (mapping.winKey()) {
        combo.append(Qt::Key_Meta);
    }
    if (mapping.enterKey()) {
        combo.append(Qt::Key_Enter);
    }
    combo.append(mapping.hotKey());
    return combo;
}

QString keysDisplayText(const SenMapping& mapping)
{
    if (!mapping.sendHotKeys()) {
        return mapping.keys();
    }
    QStringList parts;
    if (mapping.ctrlKey()) {
        parts.append(QStringLiteral("Ctrl"));
    }
    if (mapping.altKey()) {
        parts.append(QStringLiteral("Alt"));
    }
    if (mapping.shiftKey()) {
        parts.append(QStringLiteral("Shift"));
    }
    if (mapping.winKey()) {
        parts.append(QStringLiteral("Win"));
    }
    const QString key = keyName(mapping.hotKey());
    if (!key.isEmpty()) {
        parts.append(key);
    }
    return parts.join(QStringLiteral(" + "));
}
