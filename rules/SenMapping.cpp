#include "SenMapping.h"

SenMapping::SenMapping(const QString& name, QObject* parent) : QObject(parent), m_name(name) {}

SenMapping::SenMapping(const SenMapping& other) : QObject(other.parent())
{
    copyFields(other);
}

SenMapping& SenMapping::operator=(const SenMapping& other)
{
    if (this != &other) {
        copyFields(other);
    }
    return *this;
}

SenMapping::~SenMapping() = default;

void SenMapping::copyFields(const SenMapping& other)
{
    m_enabled = other.m_enabled;
    m_playerNum = other.m_playerNum;
    m_sendOnce = other.m_sendOnce;
    m_sendToFocus = other.m_sendToFocus;
    m_sendHotKeys = other.m_sendHotKeys;
    m_ctrlKey = other.m_ctrlKey;
    m_altKey = other.m_altKey;
    m_shiftKey = other.m_shiftKey;
    m_winKey = other.m_winKey;
    m_mouseclickset = other.m_mouseclickset;
    m_mousebutnum = other.m_mousebutnum;
    m_hotKey = other.m_hotKey;
    m_holdKey = other.m_holdKey;
    m_enterKey = other.m_enterKey;
    m_holdTime = other.m_holdTime;
    m_triggerDelayTime = other.m_triggerDelayTime;
    m_name = other.m_name;
    m_keys = other.m_keys;
    m_windowHandle = other.m_windowHandle;
    m_appTitle = other.m_appTitle;
    std::vector<std::unique_ptr<SenStateCondition>> conditions;
    conditions.reserve(other.m_conditions.size());
    for (const auto& condition : other.m_conditions) {
        conditions.push_back(std::make_unique<SenStateCondition>(*condition));
    }
    m_conditions = std::move(conditions);
    m_dwellTime = other.m_dwellTime;
    m_cooldownTime = other.m_cooldownTime;
    m_rearmTime = other.m_rearmTime;
    m_pauseToggle = other.m_pauseToggle;
    m_alreadySent = false;
    m_holdingSince.reset();
    m_offSince.reset();
    m_lastFired.reset();
}

bool SenMapping::conditionsHold(SenStateHandle state) const
{
    if (state == nullptr) {
        return false;
    }
    bool anyEnabled = false;
    for (const auto& condition : m_conditions) {
        if (!condition->enabled()) {
            continue;
        }
        if (!condition->isTriggered(state)) {
            return false;
        }
        anyEnabled = true;
    }
    return anyEnabled;
}

bool SenMapping::conditionsHold(SenStateHandle state, StateTime time)
{
    bool holds = state != nullptr;
    bool anyEnabled = false;
    for (const auto& condition : m_conditions) {
        if (!condition->enabled()) {
            continue;
        }
        anyEnabled = true;
        if (holds) {
            holds = condition->hasMemory() ? condition->evaluate(state, time) : condition->isTriggered(state);
        } else if (condition->hasMemory()) {
            // Its average and its holding must follow every state, not only those where the others hold.
            condition->evaluate(state, time);
        }
    }
    holds = holds && anyEnabled;
    if (holds) {
        m_offSince.reset();
        if (!m_holdingSince) {
            m_holdingSince = time;
        }
    } else {
        m_holdingSince.reset();
        if (!m_offSince) {
            m_offSince = time;
        }
    }
    return holds;
}

bool SenMapping::mayFire(StateTime time) const
{
    // Zero times are checked first: they keep the behaviour of a rule without timing whatever the clock does.
    using std::chrono::milliseconds;
    const bool dwelt = m_dwellTime == 0 || (m_holdingSince && time - *m_holdingSince >= milliseconds(m_dwellTime));
    const bool cooled = m_cooldownTime == 0 || !m_lastFired || time - *m_lastFired >= milliseconds(m_cooldownTime);
    return dwelt && cooled;
}

void SenMapping::noteFired(StateTime time)
{
    m_lastFired = time;
}

bool SenMapping::rearmed(StateTime time) const
{
    return m_rearmTime == 0 || (m_offSince && time - *m_offSince >= std::chrono::milliseconds(m_rearmTime));
}

void SenMapping::resetConditioning()
{
    m_holdingSince.reset();
    m_offSince.reset();
    m_lastFired.reset();
    for (const auto& condition : m_conditions) {
        condition->resetMemory();
    }
}

void SenMapping::addCondition(const SenStateCondition& condition)
{
    auto copy = std::make_unique<SenStateCondition>(condition);
    // The stored copy is owned by this list alone, never by the source's parent.
    copy->setParent(nullptr);
    m_conditions.push_back(std::move(copy));
}

void SenMapping::removeCondition(int index)
{
    if (index >= 0 && index < conditionCount()) {
        m_conditions.erase(m_conditions.begin() + index);
    }
}

void SenMapping::setCondition(int index, const SenStateCondition& condition)
{
    if (SenStateCondition* stored = this->condition(index)) {
        stored->copyFrom(condition);
    }
}

SenStateCondition* SenMapping::condition(int index) const
{
    if (index < 0 || index >= conditionCount()) {
        return nullptr;
    }
    return m_conditions[static_cast<std::size_t>(index)].get();
}

QList<SenStateCondition> SenMapping::conditions() const
{
    QList<SenStateCondition> list;
    list.reserve(conditionCount());
    for (const auto& condition : m_conditions) {
        list.append(*condition);
    }
    return list;
}

void SenMapping::setConditions(const QList<SenStateCondition>& conditions)
{
    m_conditions.clear();
    for (const SenStateCondition& condition : conditions) {
        addCondition(condition);
    }
}

void SenMapping::triggerKeys(bool) {}

void SenMapping::releaseKeys() {}
