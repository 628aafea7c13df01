#include "SenStateCondition.h"

#include "SenActionFactory.h"

SenStateCondition::SenStateCondition(SenAction::ActionType type, QObject* parent)
    : QObject(parent), m_action(SenActionFactory::create(type, this)),
      m_threshold(defaultThreshold(m_action->triggerType()))
{
}

SenStateCondition::SenStateCondition(const SenStateCondition& other)
    : QObject(other.parent()), m_enabled(other.m_enabled), m_action(SenActionFactory::create(other.actionType(), this)),
      m_threshold(other.m_threshold), m_actionRule(other.m_actionRule.rule())
{
}

SenStateCondition& SenStateCondition::operator=(const SenStateCondition& other)
{
    if (this != &other) {
        copyFrom(other);
    }
    return *this;
}

void SenStateCondition::copyFrom(const SenStateCondition& other)
{
    m_enabled = other.m_enabled;
    setAction(other.actionType());
    m_actionRule = other.m_actionRule;
    m_threshold = other.m_threshold;
}

bool SenStateCondition::hasActionType(SenAction::ActionType type) const
{
    return m_action != nullptr && m_action->actionType() == type;
}

bool SenStateCondition::isTriggered(SenStateHandle state) const
{
    if (state == nullptr || m_action == nullptr) {
        return false;
    }
    return m_actionRule.compare(m_action->value(state), m_threshold);
}

void SenStateCondition::setAction(SenAction::ActionType type)
{
    // A view may still hold the old detection for the current event, so it goes later.
    if (m_action != nullptr) {
        m_action->deleteLater();
    }
    m_action = SenActionFactory::create(type, this);
}

SenAction::ActionType SenStateCondition::actionType() const
{
    return m_action != nullptr ? m_action->actionType() : SenAction::UnknownAction;
}

QVariant SenStateCondition::defaultThreshold(SenAction::TriggerType type)
{
    switch (type) {
    case SenAction::Binary:
        return QVariant(true);
    case SenAction::Range:
        return QVariant(0.2);
    default:
        return {};
    }
}
