#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

#include "SenStateCondition.h"
#include "WindowSystem.h"
#include "nxl.h"

/// One rule of the user: what to emit, where, for which player, and the conditions that must all hold.
/// Copied as a value; copies hold their own conditions.
class SenMapping : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool enabled READ enabled WRITE setEnabled)
    Q_PROPERTY(int playerNum READ playerNum WRITE setPlayerNum)
    Q_PROPERTY(bool sendOnce READ sendOnce WRITE setSendOnce)
    Q_PROPERTY(QString name READ name WRITE setName)
    Q_PROPERTY(QString keys READ keys WRITE setKeys)
    Q_PROPERTY(bool sendToFocus READ sendToFocus WRITE setSendToFocus)
    Q_PROPERTY(QString appTitle READ appTitle WRITE setAppTitle)
    Q_PROPERTY(QList<SenStateCondition> conditions READ conditions WRITE setConditions)

public:
    explicit SenMapping(const QString& name = QString(), QObject* parent = nullptr);
    /// Takes the parent of `other` and every field but the send-once latch, which starts false.
    SenMapping(const SenMapping& other);
    /// As the copy constructor, except that the QObject parent stays.
    SenMapping& operator=(const SenMapping& other);
    ~SenMapping() override;

    /// True when at least one condition is enabled and every enabled one holds; stops at the first failure.
    /// The given state alone decides: no release level, smoothing or timing.
    bool conditionsHold(SenStateHandle state) const;
    /// The same for a state of this mapping's player that arrived at `time`, with the conditions' release
    /// levels and smoothing; conditions that remember earlier states see it even after a failure. Also
    /// notes since when the conditions hold or have stopped holding.
    bool conditionsHold(SenStateHandle state, StateTime time);

    /// Whether the conditions have held for the dwell time and the cooldown since the last firing is over.
    bool mayFire(StateTime time) const;
    /// Starts the cooldown.
    void noteFired(StateTime time);
    /// Whether the conditions have been off for the re-arm time, so that the send-once latch may open.
    bool rearmed(StateTime time) const;
    /// Forgets the timing and every condition's memory, as for a mapping that has seen no state.
    void resetConditioning();

    void addCondition(const SenStateCondition& condition);
    /// Out-of-range indexes are ignored.
    void removeCondition(int index);
    /// Applies copyFrom to the stored condition; out-of-range indexes are ignored.
    void setCondition(int index, const SenStateCondition& condition);
    /// The stored condition itself, null out of range. Valid until that condition is removed or replaced.
    SenStateCondition* condition(int index) const;
    int conditionCount() const { return static_cast<int>(m_conditions.size()); }
    QList<SenStateCondition> conditions() const;
    void setConditions(const QList<SenStateCondition>& conditions);

    bool enabled() const { return m_enabled; }
    void setEnabled(bool value) { m_enabled = value; }
    int playerNum() const { return m_playerNum; }
    void setPlayerNum(int value) { m_playerNum = value; }
    bool sendOnce() const { return m_sendOnce; }
    void setSendOnce(bool value) { m_sendOnce = value; }
    bool sendToFocus() const { return m_sendToFocus; }
    void setSendToFocus(bool value) { m_sendToFocus = value; }
    bool sendHotKeys() const { return m_sendHotKeys; }
    void setSendHotKeys(bool value) { m_sendHotKeys = value; }
    bool ctrlKey() const { return m_ctrlKey; }
    void setCtrlKey(bool value) { m_ctrlKey = value; }
    bool altKey() const { return m_altKey; }
    void setAltKey(bool value) { m_altKey = value; }
    bool shiftKey() const { return m_shiftKey; }
    void setShiftKey(bool value) { m_shiftKey = value; }
    bool winKey() const { return m_winKey; }
    void setWinKey(bool value) { m_winKey = value; }
    bool mouseclickset() const { return m_mouseclickset; }
    void setMouseclickset(bool value) { m_mouseclickset = value; }
    /// 0 left, 1 middle, 2 right, 3 double click, 4 held left button; -1 none.
    int mousebutnum() const { return m_mousebutnum; }
    void setMousebutnum(int value) { m_mousebutnum = value; }
    /// A Qt::Key value; 0 none.
    int hotKey() const { return m_hotKey; }
    void setHotKey(int value) { m_hotKey = value; }
    bool holdKey() const { return m_holdKey; }
    void setHoldKey(bool value) { m_holdKey = value; }
    bool enterKey() const { return m_enterKey; }
    void setEnterKey(bool value) { m_enterKey = value; }
    /// Milliseconds between press and release.
    uint holdTime() const { return m_holdTime; }
    void setHoldTime(uint value) { m_holdTime = value; }
    /// Milliseconds of pause after each character of the key string.
    uint triggerDelayTime() const { return m_triggerDelayTime; }
    void setTriggerDelayTime(uint value) { m_triggerDelayTime = value; }
    QString name() const { return m_name; }
    void setName(const QString& value) { m_name = value; }
    QString keys() const { return m_keys; }
    void setKeys(const QString& value) { m_keys = value; }
    /// Kept only while the program runs; never stored in files.
    WindowHandle windowHandle() const { return m_windowHandle; }
    void setWindowHandle(WindowHandle value) { m_windowHandle = value; }
    QString appTitle() const { return m_appTitle; }
    void setAppTitle(const QString& value) { m_appTitle = value; }
    /// Milliseconds the conditions must hold without a break before the mapping fires; 0 at once.
    uint dwellTime() const { return m_dwellTime; }
    void setDwellTime(uint value) { m_dwellTime = std::min(value, kMaxConditioningTime); }
    /// Milliseconds after firing during which the mapping does not fire again; 0 none.
    uint cooldownTime() const { return m_cooldownTime; }
    void setCooldownTime(uint value) { m_cooldownTime = std::min(value, kMaxConditioningTime); }
    /// Milliseconds the conditions must be off without a break before the send-once latch opens; 0 on the
    /// first state in which they are off.
    uint rearmTime() const { return m_rearmTime; }
    void setRearmTime(uint value) { m_rearmTime = std::min(value, kMaxConditioningTime); }
    /// A pause rule emits nothing: when it fires it switches keystrokes off, or on again when they are off.
    /// It fires at most once per period of activity and is the only kind of rule evaluated while paused.
    bool pauseToggle() const { return m_pauseToggle; }
    void setPauseToggle(bool value) { m_pauseToggle = value; }
    /// The dwell time a rule gets when it is made a pause rule, so that an ordinary blink cannot pause.
    static constexpr uint kDefaultPauseDwellTime = 1500;
    /// The send-once latch: set once the mapping has emitted in its current period of activity.
    bool alreadySent() const { return m_alreadySent; }
    void setAlreadySent(bool value) { m_alreadySent = value; }

public slots:
    /// Not used by the evaluation pass, which owns emission because it knows the simulator.
    void triggerKeys(bool isActiveWindow);
    void releaseKeys();

private:
    void copyFields(const SenMapping& other);

    bool m_enabled = true;
    int m_playerNum = 0;
    bool m_sendOnce = true;
    bool m_sendToFocus = true;
    bool m_sendHotKeys = false;
    bool m_ctrlKey = false;
    bool m_altKey = false;
    bool m_shiftKey = false;
    bool m_winKey = false;
    bool m_mouseclickset = false;
    int m_mousebutnum = -1;
    int m_hotKey = 0;
    bool m_holdKey = false;
    bool m_enterKey = false;
    uint m_holdTime = 20;
    uint m_triggerDelayTime = 20;
    QString m_name;
    QString m_keys;
    WindowHandle m_windowHandle = 0;
    QString m_appTitle;
    // Held by pointer so that condition(i) stays valid while other conditions are added.
    std::vector<std::unique_ptr<SenStateCondition>> m_conditions;
    uint m_dwellTime = 0;
    uint m_cooldownTime = 0;
    uint m_rearmTime = 0;
    bool m_pauseToggle = false;
    bool m_alreadySent = false;

    // Timing of the states seen, kept only while the program runs and never copied.
    std::optional<StateTime> m_holdingSince;
    std::optional<StateTime> m_offSince;
    std::optional<StateTime> m_lastFired;
};
