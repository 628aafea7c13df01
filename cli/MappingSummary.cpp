#include "MappingSummary.h"

#include "ApplicationFilter.h"
#include "MappingKeys.h"
#include "SenAction.h"
#include "SenActionRule.h"
#include "SenMapping.h"
#include "SenMappingModel.h"
#include "SenStateCondition.h"

namespace {

QString quoted(const QString& text)
{
    QString escaped = text;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    escaped.replace(QLatin1Char('"'), QLatin1String("\\\""));
    escaped.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    escaped.replace(QLatin1Char('\t'), QLatin1String("\\t"));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

QString describeCondition(const SenStateCondition& condition)
{
    const SenAction* action = condition.action();
    if (action == nullptr || action->actionType() == SenAction::UnknownAction) {
        return QStringLiteral("an unknown detection (never holds)");
    }
    const QStringList rules = SenActionRule::ruleNames(action);
    const int rule = static_cast<int>(condition.actionRule().rule());
    const QString ruleText =
        rule >= 0 && rule < rules.size() ? rules.at(rule) : QStringLiteral("has rule %1 (never holds)").arg(rule);
    QString text = action->name() + QLatin1Char(' ') + ruleText;
    const QVariant threshold = condition.threshold();
    if (action->triggerType() == SenAction::Range) {
        text += QLatin1Char(' ') + QString::number(threshold.toDouble(), 'g', 15);
    } else if (!threshold.toBool()) {
        text += QStringLiteral(" (threshold false)");
    }
    return text;
}

QString describeEmission(const SenMapping& mapping)
{
    QString what;
    if (mapping.sendToFocus() && mapping.sendHotKeys()) {
        what = QStringLiteral("presses the hot key %1").arg(keysDisplayText(mapping));
    } else if (mapping.mouseclickset()) {
        static const char* const buttons[] = {"a left click", "a middle click", "a right click", "a double click",
                                              "the held left button"};
        const int button = mapping.mousebutnum();
        what = button >= 0 && button < 5 ? QString::fromLatin1(buttons[button])
                                         : QStringLiteral("mouse button %1 (nothing)").arg(button);
        what = QStringLiteral("sends ") + what;
    } else {
        what = QStringLiteral("types %1").arg(quoted(mapping.keys()));
        if (mapping.enterKey()) {
            what += QStringLiteral(" then Enter");
        }
        if (mapping.holdKey() && mapping.sendToFocus()) {
            what += QStringLiteral(", holding a single key while the rule holds");
        }
    }
    const QString target = mapping.sendToFocus() ? QStringLiteral("the application in focus")
                                                 : QStringLiteral("the window %1").arg(quoted(mapping.appTitle()));
    return QStringLiteral("%1 to %2").arg(what, target);
}

} // namespace

QString describeMapping(int index, const SenMapping& mapping, bool focusKnown)
{
    QStringList flags;
    flags << QStringLiteral("player %1").arg(mapping.playerNum());
    flags << (mapping.enabled() ? QStringLiteral("enabled") : QStringLiteral("disabled"));
    flags << (mapping.sendOnce() ? QStringLiteral("once per activation") : QStringLiteral("on every state"));
    QString text = QStringLiteral("%1. %2 [%3]\n").arg(index + 1).arg(quoted(mapping.name()), flags.join(", "));

    int enabledConditions = 0;
    for (int i = 0; i < mapping.conditionCount(); ++i) {
        const SenStateCondition* condition = mapping.condition(i);
        const QString lead =
            enabledConditions == 0 || !condition->enabled() ? QStringLiteral("when") : QStringLiteral("and");
        if (condition->enabled()) {
            ++enabledConditions;
            text += QStringLiteral("   %1 %2\n").arg(lead, describeCondition(*condition));
        } else {
            text += QStringLiteral("   (disabled) %1\n").arg(describeCondition(*condition));
        }
    }
    if (enabledConditions == 0) {
        text += QStringLiteral("   no enabled condition: never fires\n");
    }
    if (mapping.hasApplicationFilter()) {
        text += QStringLiteral("   %1").arg(describeApplicationFilter(mapping.onlyInApps(), mapping.neverInApps()));
        if (!focusKnown) {
            text +=
                QStringLiteral(" (the application in focus cannot be known here: %1)").arg(focusUnknownEffect(mapping));
        }
        text += QLatin1Char('\n');
    }
    text += QStringLiteral("   -> %1\n").arg(describeEmission(mapping));
    return text;
}

QString describeMappings(const SenMappingModel& model, bool focusKnown)
{
    QString text;
    for (int i = 0; i < model.mappingCount(); ++i) {
        if (const SenMapping* mapping = model.mapping(i)) {
            text += describeMapping(i, *mapping, focusKnown);
        }
    }
    if (model.mappingCount() == 0) {
        text = QStringLiteral("no rules\n");
    }
    return text;
}
