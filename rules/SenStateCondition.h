#pragma once

#include <QObject>
#include <QVariant>

#include <chrono>
#include <optional>

#include "SenAction.h"
#include "SenActionRule.h"
#include "nxl.h"

/// When a state arrived, on the steady clock; the conditioning of conditions and mappings runs on it.
using StateTime = std::chrono::steady_clock::time_point;

/// The longest smoothing, dwell, cooldown or re-arm time a rule may have, in milliseconds.
inline constexpr uint kMaxConditioningTime = 600000;

/// One trigger condition: a detection, a comparison rule and a threshold. Copied as a value;
/// each copy owns its own detection object. A condition on a strength may also have a release level
/// (hysteresis) and a smoothing time; those make it remember earlier states, which copies do not take.
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
    /// Ignores `enabled`: leaving out disabled conditions is the mapping's work. Uses neither the release
    /// level nor smoothing: the given state alone decides.
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

    /// Where a holding condition lets go: below it for "is greater than", above it for "is less than".
    /// Unset: the threshold itself. Takes effect only where takesReleaseLevel().
    std::optional<double> releaseLevel() const { return m_releaseLevel; }
    void setReleaseLevel(std::optional<double> level);
    /// Time constant in ms of the moving average of the detection's value; 0 is off. Takes effect only
    /// where takesSmoothing().
    uint smoothingTime() const { return m_smoothingTime; }
    void setSmoothingTime(uint milliseconds);

    /// A strength detection: its value can be smoothed.
    bool takesSmoothing() const { return m_action != nullptr && m_action->triggerType() == SenAction::Range; }
    /// A strength detection compared with "is greater than" or "is less than" against a number.
    bool takesReleaseLevel() const
    {
        const SenActionRule::Rule rule = m_actionRule.rule();
        return takesSmoothing() && (rule == SenActionRule::GreaterThan || rule == SenActionRule::LessThan) &&
               m_threshold.typeId() == QMetaType::Double;
    }
    /// Whether `level` lies on the releasing side of the threshold (or on it); false where the condition
    /// takes no release level or `level` is not a finite number.
    bool acceptsReleaseLevel(double level) const;

    /// The evaluation of one state that arrived at `time`, with the release level and smoothing; the same
    /// as isTriggered when the condition has neither. States must come in the order of their times.
    bool evaluate(SenStateHandle state, StateTime time);
    /// Whether evaluate() depends on earlier states, so that it must see every state of its player.
    bool hasMemory() const { return m_smoothingTime != 0 || m_releaseLevel.has_value(); }
    /// Forgets earlier states: the next one is evaluated as the first.
    void resetMemory();

    /// The threshold a new condition of this trigger type starts with.
    static QVariant defaultThreshold(SenAction::TriggerType type);

private:
    double smoothed(double value, StateTime time);
    /// Whether a holding condition lets go at `value`; needs a release level and takesReleaseLevel().
    bool released(double value, double threshold) const;

    bool m_enabled = true;
    SenAction* m_action = nullptr;
    QVariant m_threshold;
    SenActionRule m_actionRule;
    std::optional<double> m_releaseLevel;
    uint m_smoothingTime = 0;

    // What evaluate() remembers of earlier states.
    bool m_holding = false;
    double m_average = 0.0;
    std::optional<StateTime> m_lastSample;
};
