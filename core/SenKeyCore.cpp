#include "SenKeyCore.h"

#include "ApplicationFilter.h"
#include "FocusTracker.h"
#include "KeepAliveThread.h"
#include "KeyboardEventSimulator.h"
#include "SenActionFactory.h"
#include "SenMapping.h"
#include "SenMappingModel.h"

SenKeyCore::SenKeyCore(InputInjector& injector, WindowSystem& windowSystem, QObject* parent)
    : QObject(parent), m_model(new SenMappingModel(QString(), this)),
      m_simulator(new KeyboardEventSimulator(injector, windowSystem, this)), m_connection(new KeepAliveThread(this))
{
    qRegisterMetaType<SenStateSnapshot>("SenStateSnapshot");
    ::releaseRemovedMappings(*m_model, *m_simulator);

    connect(m_connection, &KeepAliveThread::engineConnected, this, &SenKeyCore::engineConnected);
    connect(m_connection, &KeepAliveThread::engineDisconnected, this, [this] {
        // No more states will come to release what the rules hold.
        onEngineLost();
        emit engineDisconnected();
    });
    connect(m_connection, &KeepAliveThread::engineCannotBeConnected, this, [this] {
        onEngineLost();
        emit engineCannotBeConnected();
    });
    connect(m_connection, &KeepAliveThread::SenStateChanged, this, &SenKeyCore::evaluateState);
    connect(m_connection, &KeepAliveThread::SendModeApp, this, &SenKeyCore::setHeadsetType);
    connect(m_connection, &KeepAliveThread::headsetConnected, this, &SenKeyCore::headsetConnected);
    // A headset that goes away sends no more states that would release what its rules hold.
    connect(m_connection, &KeepAliveThread::headsetDisconnected, this, [this](uint userId) {
        onHeadsetLost(userId);
        emit headsetDisconnected(userId);
    });
}

SenKeyCore::~SenKeyCore()
{
    shutdown();
}

void SenKeyCore::setEngineAddress(const QString& host, uint port)
{
    m_connection->setEngineAddress(host, port);
}

void SenKeyCore::setActivityReport(MappingActivityReport report)
{
    m_activityReport = std::move(report);
}

void SenKeyCore::setActiveWindowQuery(ActiveWindowQuery query)
{
    m_activeWindowQuery = std::move(query);
}

void SenKeyCore::setFocusTracker(FocusTracker* tracker)
{
    if (m_focusTracker) {
        m_focusTracker->setChangeHandler({});
    }
    m_focusTracker = tracker;
    if (m_focusTracker) {
        m_focusTracker->setChangeHandler([this] { onFocusChanged(); });
    }
}

FocusedApplication SenKeyCore::focusedApplication() const
{
    return m_focusTracker ? m_focusTracker->focusedApplication() : std::nullopt;
}

QString SenKeyCore::focusLimitNotice() const
{
    const bool known = m_focusTracker && m_focusTracker->isAvailable();
    return known ? QString() : focusUnknownNotice(*m_model);
}

void SenKeyCore::start()
{
    if (m_shutDown) {
        return;
    }
    m_simulator->start();
    m_connection->start();
}

void SenKeyCore::shutdown()
{
    if (m_shutDown) {
        return;
    }
    m_shutDown = true;
    // The connection goes first and is joined, not terminated: no state may arrive once the keys are
    // released. Its destructor disconnects, which still reaches the front end.
    delete m_connection;
    m_connection = nullptr;
    // Nothing may stay pressed: release, then end the simulator's loop and join it.
    m_simulator->releaseAll();
    m_simulator->stop();
    // The receivers of the report and the query may be gone after this.
    m_activityReport = {};
    m_activeWindowQuery = {};
    setFocusTracker(nullptr);
    m_model->setReleaseHandler({});
}

void SenKeyCore::disconnectEngine()
{
    if (m_connection) {
        m_connection->disconnectEngine();
    }
}

void SenKeyCore::setKeystrokesEnabled(bool enabled)
{
    m_keystrokesEnabled = enabled;
    if (!enabled) {
        releaseEverything();
    }
}

void SenKeyCore::setHeadsetType(const QString& stringMode)
{
    m_headsetType = stringMode == QLatin1String("ORVA") ? QStringLiteral("ORVA") : QStringLiteral("TESSARA");
    SenActionFactory::setHeadsetType(m_headsetType);
    emit headsetTypeChanged(m_headsetType);
}

void SenKeyCore::evaluateState(uint userId, const SenStateSnapshot& state)
{
    if (m_shutDown || state.isNull() || !m_keystrokesEnabled) {
        return;
    }
    m_mayHold = true;
    evaluateMappings(m_model, userId, state.handle(), m_simulator, m_activityReport, m_activeWindowQuery,
                     focusedApplication());
}

void SenKeyCore::releaseEverything()
{
    // Only states press anything: a second release in a row (a lost engine reports the disconnect and
    // then that it cannot be reached) would only repeat key releases.
    if (!m_mayHold) {
        return;
    }
    m_mayHold = false;
    // Reopening the latches lets a rule whose conditions still hold press again once states count again.
    QList<int> players;
    for (int i = 0; i < m_model->mappingCount(); ++i) {
        const int player = m_model->mapping(i)->playerNum();
        if (!players.contains(player)) {
            players.append(player);
            ::releasePlayer(*m_model, static_cast<uint>(player), *m_simulator);
        }
    }
    m_simulator->releaseAll();
}

void SenKeyCore::releasePlayer(uint userId)
{
    ::releasePlayer(*m_model, userId & 0xFFFU, *m_simulator);
}

void SenKeyCore::onEngineLost()
{
    releaseEverything();
}

void SenKeyCore::onHeadsetLost(uint userId)
{
    if (!m_shutDown) {
        releasePlayer(userId);
    }
}

void SenKeyCore::onFocusChanged()
{
    if (m_shutDown) {
        return;
    }
    bool anyFilter = false;
    for (int i = 0; i < m_model->mappingCount() && !anyFilter; ++i) {
        anyFilter = m_model->mapping(i)->hasApplicationFilter();
    }
    if (!anyFilter) {
        return;
    }
    const FocusedApplication focus = focusedApplication();
    releaseOutOfFocus(m_model, focus, m_keystrokesEnabled ? m_simulator : nullptr, m_activityReport);
    if (focus) {
        emit focusChanged(*focus);
    }
}
