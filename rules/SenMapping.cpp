#include "SenMapping.h"

#include "ApplicationFilter.h"

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
    m_onlyInApps = other.m_onlyInApps;
    m_neverInApps = other.m_neverInApps;
    std::vector<std::unique_ptr<SenStateCondition>> conditions;
    conditions.reserve(other.m_conditions.size());
    for (const auto& condition : other.m_conditions) {
        conditions.push_back(std::make_unique<SenStateCondition>(*condition));
    }
    m_conditions = std::move(conditions);
    m_alreadySent = false;
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

void SenMapping::setOnlyInApps(const QStringList& names)
{
    m_onlyInApps = parseApplicationNames(joinApplicationNames(names));
}

void SenMapping::setNeverInApps(const QStringList& names)
{
    m_neverInApps = parseApplicationNames(joinApplicationNames(names));
}

bool SenMapping::allowsFocus(const FocusedApplication& focus) const
{
    return applicationFilterAllows(m_onlyInApps, m_neverInApps, focus);
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
