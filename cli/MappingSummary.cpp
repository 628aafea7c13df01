#include "MappingSummary.h"

#include "MappingKeys.h"
#include "MappingReadiness.h"
#include "SenAction.h"
#include "SenActionRule.h"
#include "SenMapping.h"
#include "SenMappingModel.h"
#include "SenStateCondition.h"

#include <optional>

namespace {

// Shown as is: printable characters and the plain space. Everything else (control characters, format
// characters such as the bidirectional overrides, other spaces and separators, unassigned and private
// code points) is escaped, so the text on the terminal is exactly what a rule types.
bool showsAsItself(char32_t c)
{
    if (c == U' ') {
        return true;
    }
    switch (QChar::category(c)) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Other_Surrogate:
    case QChar::Other_PrivateUse:
    case QChar::Other_NotAssigned:
    case QChar::Separator_Space:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return false;
    default:
        return true;
    }
}

QString quoted(const QString& text)
{
    QString out(QLatin1Char('"'));
    for (char32_t c : text.toUcs4()) {
        switch (c) {
        case U'\\':
            out += QLatin1String("\\\\");
            break;
        case U'"':
            out += QLatin1String("\\\"");
            break;
        case U'\n':
            out += QLatin1String("\\n");
            break;
        case U'\r':
            out += QLatin1String("\\r");
            break;
        case U'\t':
            out += QLatin1String("\\t");
            break;
        default:
            if (showsAsItself(c)) {
                out += QString::fromUcs4(&c, 1);
            } else if (c > 0xFFFF) {
                out += QStringLiteral("\\U%1").arg(static_cast<uint>(c), 8, 16, QLatin1Char('0'));
            } else {
                out += QStringLiteral("\\u%1").arg(static_cast<uint>(c), 4, 16, QLatin1Char('0'));
            }
        }
    }
    return out + QLatin1Char('"');
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
    if (const std::optional<double> release = condition.releaseLevel()) {
        const bool below = condition.actionRule().rule() == SenActionRule::GreaterThan;
        text += QStringLiteral(", release %1 %2")
                    .arg(below ? QStringLiteral("below") : QStringLiteral("above"))
                    .arg(QString::number(*release, 'g', 15));
    }
    if (condition.smoothingTime() != 0) {
        text += QStringLiteral(", smoothed over %1 ms").arg(condition.smoothingTime());
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

QString describeMapping(int index, const SenMapping& mapping)
{
    QStringList flags;
    flags << QStringLiteral("player %1").arg(mapping.playerNum());
    flags << (mapping.enabled() ? QStringLiteral("enabled") : QStringLiteral("disabled"));
    flags << (mapping.sendOnce() ? QStringLiteral("once per activation") : QStringLiteral("on every state"));
    if (mapping.dwellTime() != 0) {
        flags << QStringLiteral("dwell %1 ms").arg(mapping.dwellTime());
    }
    if (mapping.cooldownTime() != 0) {
        flags << QStringLiteral("cooldown %1 ms").arg(mapping.cooldownTime());
    }
    if (mapping.rearmTime() != 0) {
        flags << QStringLiteral("re-arm after %1 ms").arg(mapping.rearmTime());
    }
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
    for (const QString& reason : reasonsNotToFire(mapping)) {
        text += QStringLiteral("   %1: never fires\n").arg(reason);
    }
    text += QStringLiteral("   -> %1\n").arg(describeEmission(mapping));
    return text;
}

QString describeMappings(const SenMappingModel& model)
{
    QString text;
    for (int i = 0; i < model.mappingCount(); ++i) {
        if (const SenMapping* mapping = model.mapping(i)) {
            text += describeMapping(i, *mapping);
        }
    }
    if (model.mappingCount() == 0) {
        text = QStringLiteral("no rules\n");
    }
    return text;
}
