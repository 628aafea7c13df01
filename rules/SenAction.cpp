#include "SenAction.h"

#include "SenActionFactory.h"

SenAction::SenAction(QObject* parent) : QObject(parent) {}

SenAction::SenAction(ActionType action, TriggerType trigger, QObject* parent)
    : QObject(parent), m_actionType(action), m_triggerType(trigger)
{
}

QVariant SenAction::value(SenStateHandle) const
{
    return {};
}

QString SenAction::name() const
{
    return SenActionFactory::actionName(m_actionType);
}
