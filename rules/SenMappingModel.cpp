#include "SenMappingModel.h"

SenMappingModel::SenMappingModel(const QString& name, QObject* parent) : QObject(parent)
{
    setObjectName(name);
}

SenMappingModel::~SenMappingModel() = default;

void SenMappingModel::addMapping(const SenMapping& mapping)
{
    auto copy = std::make_unique<SenMapping>(mapping);
    // Owned by the list alone: a parent of the source must not delete the stored copy.
    copy->setParent(nullptr);
    m_mappings.push_back(std::move(copy));
    emit mappingAdded(mappingCount() - 1);
    emit modelEdited();
}

void SenMappingModel::takeMappingsFrom(SenMappingModel& source)
{
    releaseAll();
    m_mappings.clear();
    emit mappingCleared();
    m_mappings = std::move(source.m_mappings);
    source.m_mappings.clear();
    for (const auto& mapping : m_mappings) {
        mapping->setParent(nullptr);
    }
    setObjectName(source.objectName());
    if (!m_mappings.empty()) {
        emit mappingsAppended(0, mappingCount());
    }
    emit modelEdited();
}

void SenMappingModel::removeMapping(int index)
{
    const bool removed = isValid(index);
    if (removed) {
        auto it = m_mappings.begin() + index;
        std::unique_ptr<SenMapping> gone = std::move(*it);
        m_mappings.erase(it);
        if (m_releaseHandler) {
            m_releaseHandler(*gone);
        }
        gone.reset();
        emit mappingRemoved(index);
    }
    if (m_mappings.empty()) {
        emit mappingCleared();
    }
    if (removed || m_mappings.empty()) {
        emit modelEdited();
    }
}

void SenMappingModel::clearMappings()
{
    releaseAll();
    m_mappings.clear();
    emit mappingCleared();
    emit modelEdited();
}

void SenMappingModel::clear()
{
    releaseAll();
    m_mappings.clear();
    emit mappingCleared();
    setObjectName(QString());
    emit modelEdited();
}

SenMapping* SenMappingModel::mapping(int index) const
{
    return isValid(index) ? m_mappings[static_cast<std::size_t>(index)].get() : nullptr;
}

void SenMappingModel::addCondition(int mappingIndex, const SenStateCondition& condition)
{
    SenMapping* target = mapping(mappingIndex);
    if (target == nullptr) {
        return;
    }
    target->addCondition(condition);
    emit conditionAdded(mappingIndex, target->conditionCount() - 1);
    emit modelEdited();
}

void SenMappingModel::removeCondition(int mappingIndex, int index)
{
    SenMapping* target = mapping(mappingIndex);
    if (target == nullptr) {
        return;
    }
    target->removeCondition(index);
    emit conditionRemoved(mappingIndex, index);
    emit modelEdited();
}

void SenMappingModel::setCondition(int mappingIndex, int index, const SenStateCondition& condition)
{
    SenMapping* target = mapping(mappingIndex);
    if (target == nullptr) {
        return;
    }
    target->setCondition(index, condition);
    emit conditionChanged(mappingIndex, index);
    emit modelEdited();
}

QList<SenMapping> SenMappingModel::mappings() const
{
    QList<SenMapping> list;
    list.reserve(mappingCount());
    for (const auto& stored : m_mappings) {
        list.append(*stored);
    }
    return list;
}

void SenMappingModel::setMappings(const QList<SenMapping>& mappings)
{
    releaseAll();
    m_mappings.clear();
    for (const SenMapping& mapping : mappings) {
        auto copy = std::make_unique<SenMapping>(mapping);
        copy->setParent(nullptr);
        m_mappings.push_back(std::move(copy));
    }
}

void SenMappingModel::triggerModelEdited()
{
    emit modelEdited();
}

void SenMappingModel::releaseHeld(int index) const
{
    if (m_releaseHandler && isValid(index)) {
        m_releaseHandler(*m_mappings[static_cast<std::size_t>(index)]);
    }
}

void SenMappingModel::releaseAll()
{
    if (!m_releaseHandler) {
        return;
    }
    for (const auto& stored : m_mappings) {
        m_releaseHandler(*stored);
    }
}
