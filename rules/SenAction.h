#pragma once

#include <QObject>
#include <QVariant>

#include "nxl.h"

/// One detection of the engine and how its current value is read from a SenState.
/// The base class is the unknown detection: its value is always empty.
class SenAction : public QObject
{
    Q_OBJECT
    Q_PROPERTY(ActionType actionType READ actionType WRITE setActionType)
    Q_PROPERTY(TriggerType triggerType READ triggerType WRITE setTriggerType)

public:
    /// The numbers are stored in mapping files and must never be renumbered.
    enum ActionType : qint32 {
        UnknownAction = -1,
        Blink = 0,
        WinkLeft,
        WinkRight,
        Eyebrows,
        Furrow,
        LookLeft,
        LookRight,
        Smile,
        Clench,
        Laugh,
        SmirkLeft,
        SmirkRight,
        ExciteShortTerm,
        ExciteLongTerm,
        EngagementBoredom,
        Meditation,
        Frustration,
        Interest,
        Neutral,
        Push,
        Pull,
        Lift,
        Drop,
        Left,
        Right,
        RotateLeft,
        RotateRight,
        RotateClockwise,
        RotateCounterClockwise,
        RotateForward,
        RotateReverse,
        Disappear,
        MAX_ACTION_TYPE
    };
    Q_ENUM(ActionType)

    enum TriggerType : qint32 { UnknownTrigger = -1, Binary = 0, Range = 1 };
    Q_ENUM(TriggerType)

    explicit SenAction(QObject* parent = nullptr);

    ActionType actionType() const { return m_actionType; }
    void setActionType(ActionType type) { m_actionType = type; }
    TriggerType triggerType() const { return m_triggerType; }
    void setTriggerType(TriggerType type) { m_triggerType = type; }

    /// Bool for Binary detections, double for Range ones; empty for a null state or an unknown detection.
    virtual QVariant value(SenStateHandle state) const;

    /// The display name under the current headset type.
    QString name() const;

protected:
    SenAction(ActionType action, TriggerType trigger, QObject* parent);

private:
    ActionType m_actionType = UnknownAction;
    TriggerType m_triggerType = UnknownTrigger;
};
