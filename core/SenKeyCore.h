#pragma once

#include <QObject>
#include <QString>

#include "EngineHandOver.h"
#include "MappingEvaluation.h"
#include "SenStateSnapshot.h"

class FocusTracker;
class InputInjector;
class KeepAliveThread;
class KeyboardEventSimulator;
class SenMappingModel;
class WindowSystem;

/// What both programs share between the engine and the input backend: the connection thread, the
/// mappings it evaluates, the keyboard event simulator, the headset type, the release policy and the
/// order of teardown. The front ends (the desktop window, the headless runner) only show what it reports.
///
/// Release policy: disabling keystrokes, losing the engine and shutting down release every key and button
/// the rules hold and reopen their send-once latches; losing a headset does so for that player's rules;
/// removing, replacing or clearing a mapping releases what it holds.
///
/// Events come from the connection thread through a bounded hand-over (EngineHandOver) and are handled
/// in order on the thread that made the core; nothing between the socket and the injector grows
/// without bound.
class SenKeyCore : public QObject
{
    Q_OBJECT

public:
    /// The injector and window system must outlive the core. Nothing runs before start().
    SenKeyCore(InputInjector& injector, WindowSystem& windowSystem, QObject* parent = nullptr);
    /// Shuts down (see shutdown()) if that has not happened yet.
    ~SenKeyCore() override;

    SenMappingModel* mappingModel() const { return m_model; }
    KeyboardEventSimulator* simulator() const { return m_simulator; }
    KeepAliveThread* connection() const { return m_connection; }

    /// The engine of the first automatic attempt and of a reconnect; call before start().
    void setEngineAddress(const QString& host, uint port);
    /// Where each mapping's activity on each state is reported (the mapping table); may be empty.
    void setActivityReport(MappingActivityReport report);
    /// Whether the program's own window is active, so nothing is typed into it; empty means never.
    void setActiveWindowQuery(ActiveWindowQuery query);

    /// Where the focused application comes from, for the rules limited to applications; must outlive the
    /// core. Without one the focus counts as unknown. Call before start().
    void setFocusTracker(FocusTracker* tracker);
    /// The application in focus now; nothing when it cannot be known.
    FocusedApplication focusedApplication() const;
    /// When the focus cannot be known and some rules are limited to applications: what that means for
    /// them, naming them, for the user to be told once. Empty otherwise.
    QString focusLimitNotice() const;

    /// Starts the simulator and the connection thread, which makes the first connection attempt.
    void start();
    /// Ends the session in the one safe order: the connection goes first and is joined, so no state
    /// arrives after the releases; then everything held is released and the simulator's thread ends.
    /// Signals of the connection's last moments (its disconnect) are still forwarded. Safe to call twice.
    void shutdown();
    bool isShutDown() const { return m_shutDown; }

    /// Closes the connection (emits engineDisconnected() when there was one); see KeepAliveThread.
    void disconnectEngine();

    bool keystrokesEnabled() const { return m_keystrokesEnabled; }
    /// While disabled no state is evaluated; disabling releases everything.
    void setKeystrokesEnabled(bool enabled);

    /// "ORVA" until a headset reports its type.
    QString headsetType() const { return m_headsetType; }
    /// "ORVA" applies "ORVA", any other text "TESSARA", to the detection catalogue too.
    void setHeadsetType(const QString& stringMode);

    /// Runs the evaluation pass for one state of `userId` (low 12 bits), unless keystrokes are disabled
    /// or the session has ended.
    void evaluateState(uint userId, const SenStateSnapshot& state);

    /// Lets go of every key and button the rules hold and reopens their send-once latches.
    void releaseEverything();
    /// The same for the rules of one player, for a headset that went away.
    void releasePlayer(uint userId);

signals:
    void engineConnected();
    void engineDisconnected();
    void engineCannotBeConnected();
    void headsetConnected(uint userId);
    void headsetDisconnected(uint userId);
    /// After the focus moved to another application while rules are limited to applications, once the
    /// rules that may no longer fire there have let go of what they held.
    void focusChanged(const WindowApplication& application);
    /// After a headset reported its type; `type` is "ORVA" or "TESSARA".
    void headsetTypeChanged(const QString& type);
    /// Something the user should know about that ends nothing (states skipped, requests dropped); once
    /// per occurrence, not once per state.
    void notice(const QString& message);

private:
    void onEngineLost();
    void onHeadsetLost(uint userId);
    void onFocusChanged();
    /// From any thread: queues the event and makes sure the core's thread handles it.
    void handOver(HandOverItem item);
    /// Handles waiting events on the core's thread, a bounded number per turn of its event loop.
    void handleHandOver();
    void handle(const HandOverItem& item);

    SenMappingModel* m_model = nullptr;
    KeyboardEventSimulator* m_simulator = nullptr;
    KeepAliveThread* m_connection = nullptr;
    MappingActivityReport m_activityReport;
    ActiveWindowQuery m_activeWindowQuery;
    FocusTracker* m_focusTracker = nullptr;
    QString m_headsetType = QStringLiteral("ORVA");
    bool m_keystrokesEnabled = true;
    bool m_shutDown = false;
    /// Whether a state was evaluated since everything was last released.
    bool m_mayHold = false;
    EngineHandOver m_handOver;
    std::uint64_t m_reportedDrops = 0;
    bool m_skippingStates = false;
};
