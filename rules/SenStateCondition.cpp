#include "SenStateCondition.h"

#include "SenActionFactory.h"

#include <algorithm>
#include <cmath>

SenStateCondition::SenStateCondition(SenAction::ActionType type, QObject* parent)
    : QObject(parent), m_action(SenActionFactory::create(type, this)),
      m_threshold(defaultThreshold(m_action->triggerType()))
{
}

SenStateCondition::SenStateCondition(const SenStateCondition& other)
    : QObject(other.parent()), m_enabled(other.m_enabled), m_action(SenActionFactory::create(other.actionType(), this)),
      m_threshold(other.m_threshold), m_actionRule(other.m_actionRule.rule()), m_releaseLevel(other.m_releaseLevel),
      m_smoothingTime(other.m_smoothingTime)
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
    m_releaseLevel = other.m_releaseLevel;
    m_smoothingTime = other.m_smoothingTime;
    resetMemory();
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

bool SenStateCondition::evaluate(SenStateHandle state, StateTime time)
{
    if (!hasMemory()) {
        return isTriggered(state);
    }
    if (state == nullptr || m_action == nullptr) {
        resetMemory();
        return false;
    }
    double value = SenActionRule::toNumber(m_action->value(state));
    if (takesSmoothing()) {
        value = smoothed(value, time);
    }
    const double threshold = SenActionRule::toNumber(m_threshold);
    // A value that is not a number ends a holding condition, as it fails every comparison.
    if (std::isnan(value)) {
        m_holding = false;
    } else if (m_holding && m_releaseLevel && takesReleaseLevel()) {
        m_holding = !released(value, threshold);
    } else {
        m_holding = m_actionRule.compareNumbers(value, threshold);
    }
    return m_holding;
}

void SenStateCondition::resetMemory()
{
    m_holding = false;
    m_average = 0.0;
    m_lastSample.reset();
}

double SenStateCondition::smoothed(double value, StateTime time)
{
    if (!std::isfinite(value)) {
        // Not folded into the average, which it would spoil for good; the next number starts afresh.
        m_lastSample.reset();
        return value;
    }
    if (!m_lastSample) {
        m_average = value;
    } else {
        const double elapsedMs = std::max(0.0, std::chrono::duration<double, std::milli>(time - *m_lastSample).count());
        // The weight of a sample follows the time since the last one, so uneven arrival does not bias it.
        const double weight = 1.0 - std::exp(-elapsedMs / static_cast<double>(m_smoothingTime));
        m_average += weight * (value - m_average);
    }
    m_lastSample = time;
    return m_average;
}

bool SenStateCondition::released(double value, double threshold) const
{
    const double level = *m_releaseLevel;
    const bool greater = m_actionRule.rule() == SenActionRule::GreaterThan;
    // A level on the wrong side of the threshold (set by code, never read from a file) is no level.
    if (greater ? !(level <= threshold) : !(level >= threshold)) {
        return !m_actionRule.compareNumbers(value, threshold);
    }
    // The same tolerance as the comparison: a value at the release level still holds.
    if (std::fabs(value - level) < SenActionRule::kTolerance) {
        return false;
    }
    return greater ? value < level : value > level;
}

void SenStateCondition::setReleaseLevel(std::optional<double> level)
{
    m_releaseLevel = level;
    resetMemory();
}

void SenStateCondition::setSmoothingTime(uint milliseconds)
{
    m_smoothingTime = std::min(milliseconds, kMaxConditioningTime);
    resetMemory();
}

bool SenStateCondition::acceptsReleaseLevel(double level) const
{
    if (!takesReleaseLevel() || !std::isfinite(level)) {
        return false;
    }
    const double threshold = SenActionRule::toNumber(m_threshold);
    return m_actionRule.rule() == SenActionRule::GreaterThan ? level <= threshold : level >= threshold;
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
