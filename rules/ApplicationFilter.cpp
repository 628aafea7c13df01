#include "ApplicationFilter.h"

#include "SenMapping.h"
#include "SenMappingModel.h"

#include <algorithm>

namespace {

bool anyMatches(const QStringList& names, const WindowApplication& application)
{
    return std::any_of(names.cbegin(), names.cend(),
                       [&application](const QString& name) { return applicationMatches(name, application); });
}

} // namespace

QStringList parseApplicationNames(const QString& text)
{
    QStringList names;
    for (const QString& part : text.split(QLatin1Char(';'))) {
        const QString name = part.trimmed();
        if (!name.isEmpty()) {
            names.append(name);
        }
    }
    return names;
}

QString joinApplicationNames(const QStringList& names)
{
    return names.join(QLatin1Char(';'));
}

bool isValidApplicationName(const QString& name)
{
    if (name.isEmpty() || name.size() > kMaxApplicationNameLength) {
        return false;
    }
    return std::all_of(name.cbegin(), name.cend(), [](QChar c) { return c.unicode() >= 0x20 && c.unicode() < 0x7F; });
}

bool applicationMatches(const QString& name, const WindowApplication& application)
{
    // An empty name never stands for "no application".
    return !name.isEmpty() && (name.compare(application.instance, Qt::CaseInsensitive) == 0 ||
                               name.compare(application.className, Qt::CaseInsensitive) == 0);
}

bool applicationFilterAllows(const QStringList& onlyIn, const QStringList& neverIn, const FocusedApplication& focus)
{
    if (!focus) {
        return onlyIn.isEmpty();
    }
    return (onlyIn.isEmpty() || anyMatches(onlyIn, *focus)) && !anyMatches(neverIn, *focus);
}

QString describeApplicationFilter(const QStringList& onlyIn, const QStringList& neverIn)
{
    QStringList parts;
    if (!onlyIn.isEmpty()) {
        parts << QStringLiteral("only in ") + onlyIn.join(QStringLiteral(", "));
    }
    if (!neverIn.isEmpty()) {
        parts << QStringLiteral("never in ") + neverIn.join(QStringLiteral(", "));
    }
    return parts.join(QStringLiteral("; "));
}

QString applicationFilterMark(const QStringList& onlyIn, const QStringList& neverIn)
{
    QStringList parts;
    if (!onlyIn.isEmpty()) {
        parts << QStringLiteral("only: ") + onlyIn.join(QStringLiteral(", "));
    }
    if (!neverIn.isEmpty()) {
        parts << QStringLiteral("never: ") + neverIn.join(QStringLiteral(", "));
    }
    return parts.join(QStringLiteral("; "));
}

QString applicationDisplayName(const WindowApplication& application)
{
    if (!application.instance.isEmpty()) {
        return application.instance;
    }
    return application.className.isEmpty() ? QStringLiteral("no application") : application.className;
}

QString focusUnknownEffect(const SenMapping& mapping)
{
    if (!mapping.onlyInApps().isEmpty()) {
        return QStringLiteral("never fires");
    }
    return mapping.neverInApps().isEmpty() ? QString() : QStringLiteral("fires in every application");
}

QString focusUnknownNotice(const SenMappingModel& model)
{
    QStringList never;
    QStringList everywhere;
    for (int i = 0; i < model.mappingCount(); ++i) {
        const SenMapping* mapping = model.mapping(i);
        if (mapping == nullptr || !mapping->hasApplicationFilter()) {
            continue;
        }
        const QString name = QLatin1Char('"') + mapping->name() + QLatin1Char('"');
        (mapping->onlyInApps().isEmpty() ? everywhere : never).append(name);
    }
    if (never.isEmpty() && everywhere.isEmpty()) {
        return {};
    }
    QStringList parts;
    if (!never.isEmpty()) {
        parts
            << QStringLiteral("rules only for some applications never fire (%1)").arg(never.join(QStringLiteral(", ")));
    }
    if (!everywhere.isEmpty()) {
        parts << QStringLiteral("rules kept out of some applications fire in all of them (%1)")
                     .arg(everywhere.join(QStringLiteral(", ")));
    }
    return QStringLiteral("The application in focus cannot be known here: %1").arg(parts.join(QStringLiteral("; ")));
}
