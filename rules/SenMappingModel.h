#pragma once

#include <QList>
#include <QObject>
#include <functional>
#include <memory>
#include <vector>

#include "SenMapping.h"

/// The mappings of the open mapping file, in the user's order, announcing every change.
/// The model's name is its object name. Used on the user-interface thread only.
class SenMappingModel : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QList<SenMapping> mappings READ mappings WRITE setMappings)

public:
    /// Called with every mapping that leaves the model, before it is destroyed, so that whatever it
    /// holds down (a key, a mouse button) can be released.
    using ReleaseHandler = std::function<void(const SenMapping&)>;

    explicit SenMappingModel(const QString& name = QString(), QObject* parent = nullptr);
    ~SenMappingModel() override;

    void setReleaseHandler(ReleaseHandler handler) { m_releaseHandler = std::move(handler); }
    /// Passes the mapping at `index` to the release handler, for an edit after which the mapping's own
    /// release would no longer reach what it holds (another player, other keys). Out of range: nothing.
    void releaseHeld(int index) const;

    void addMapping(const SenMapping& mapping);
    /// Replaces every mapping and the name by those of `source`, which is left empty: one
    /// mappingCleared(), one mappingsAppended() and one modelEdited() instead of a signal per mapping.
    void takeMappingsFrom(SenMappingModel& source);
    void removeMapping(int index);
    /// Removes every mapping; the name stays.
    void clearMappings();
    /// Removes every mapping and empties the name.
    void clear();
    /// The stored mapping itself, null out of range. Valid until it is removed or the list is replaced.
    SenMapping* mapping(int index) const;
    int mappingCount() const { return static_cast<int>(m_mappings.size()); }

    void addCondition(int mappingIndex, const SenStateCondition& condition);
    void removeCondition(int mappingIndex, int index);
    void setCondition(int mappingIndex, int index, const SenStateCondition& condition);

    QList<SenMapping> mappings() const;
    /// Replaces the whole list without any signal.
    void setMappings(const QList<SenMapping>& mappings);

signals:
    void mappingAdded(int index);
    /// `count` mappings were appended at once from `first` on; modelEdited() follows once.
    void mappingsAppended(int first, int count);
    void mappingChanged(int index);
    void mappingRemoved(int index);
    void mappingSwapped(int index1, int index2);
    void mappingCleared();
    void conditionAdded(int mappingIndex, int index);
    void conditionChanged(int mappingIndex, int index);
    void conditionRemoved(int mappingIndex, int index);
    void conditionSwapped(int mappingIndex, int index1, int index2);
    void conditionCleared(int mappingIndex);
    void modelEdited();

public slots:
    void triggerModelEdited();

private:
    bool isValid(int index) const { return index >= 0 && index < mappingCount(); }
    void releaseAll();

    std::vector<std::unique_ptr<SenMapping>> m_mappings;
    ReleaseHandler m_releaseHandler;
};
