#include "SenActionRule.h"

#include <cmath>

#include "SenAction.h"

// The evaluation pass compares every condition of every mapping on every state: doubles and bools,
// the only types detections and stored thresholds hold, skip the general variant conversion.
double SenActionRule::toNumber(const QVariant& variant)
{
    switch (variant.typeId()) {
    case QMetaType::Double:
        return *static_cast<const double*>(variant.constData());
    case QMetaType::Bool:
        return *static_cast<const bool*>(variant.constData()) ? 1.0 : 0.0;
    case QMetaType::UnknownType:
        return 0.0;
    default:
        return variant.toDouble();
    }
}

SenActionRule::SenActionRule(Rule rule, QObject* parent) : QObject(parent), m_rule(rule) {}

SenActionRule::SenActionRule(const SenActionRule& other) : QObject(other.parent()), m_rule(other.m_rule) {}

SenActionRule& SenActionRule::operator=(const SenActionRule& other)
{
    m_rule = other.m_rule;
    return *this;
}

bool SenActionRule::compare(const QVariant& value, const QVariant& threshold) const
{
    return compareNumbers(toNumber(value), toNumber(threshold));
}

bool SenActionRule::compareNumbers(double a, double b) const
{
    const bool equal = std::fabs(a - b) < kTolerance;
    switch (m_rule) {
    case Equal:
        return equal;
    case NotEqual:
        return !equal;
    case GreaterThan:
        return !equal && a > b;
    case LessThan:
        return !equal && a < b;
    }
    return false;
}

QStringList SenActionRule::ruleNames(const SenAction* action)
{
    if (action == nullptr) {
        return {};
    }
    switch (action->triggerType()) {
    case SenAction::Binary:
        return {QStringLiteral("occurs"), QStringLiteral("does not occur")};
    case SenAction::Range:
        return {QStringLiteral("is equal to"), QStringLiteral("is not equal to"), QStringLiteral("is greater than"),
                QStringLiteral("is less than")};
    default:
        return {};
    }
}
