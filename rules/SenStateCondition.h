#pragma once

#include <QObject>
#include <QVariant>

#include "SenAction.h"
#include "SenActionRule.h"
#include "nxl.h"

/// One trigger condition: a detection, a comparison rule and a threshold. Copied as a value;
/// each copy owns its own detection object.
class SenStateCondition : public QObject
{
    Q_OBJECT

public:
    /// Enabled, rule Equal, threshold true for Binary detections, 0.2 for Range ones, empty otherwise.
    explicit SenStateCondition(SenAction::ActionType type = SenAction::Blink, QObject* parent = nullptr);
    /// Takes the parent of `other`.
    SenStateCondition(const SenStateCondition& other);
    /// As copyFrom; the QObject parent stays.
    SenStateCondition& operator=(const SenStateCondition& other);

public slots:
    /// Takes every field of `other`; the old detection is scheduled for deletion.
    virtual void copyFrom(const SenStateCondition& other);
    virtual bool hasActionType(SenAction::ActionType type) const;
    /// Ignores `enabled`: leaving out disabled conditions is the mapping's work.
    virtual bool isTriggered(SenStateHandle state) const;

public:
    /// Replaces the detection and keeps the threshold.
    void setAction(SenAction::ActionType type);
    SenAction* action() const { return m_action; }
    SenAction::ActionType actionType() const;

    bool enabled() const { return m_enabled; }
    void setEnabled(bool enabled) { m_enabled = enabled; }
    QVariant threshold() const { return m_threshold; }
    void setThreshold(const QVariant& threshold) { m_threshold = threshold; }
    const SenActionRule& actionRule() const { return m_actionRule; }
    SenActionRule& actionRule() { return m_actionRule; }
    void setActionRule(SenActionRule::Rule rule) { m_actionRule.setRule(rule); }

    /// The threshold a new condition of this trigger type starts with.
    static QVariant defaultThreshold(SenAction::TriggerType type);

private:
    bool m_enabled = true;
    SenAction* m_action = nullptr;
    QVariant m_threshold;
    SenActionRule m_actionRule;
};
