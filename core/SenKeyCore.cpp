#include "SenKeyCore.h"

#include "ApplicationFilter.h"
#include "FocusTracker.h"
#include "KeepAliveThread.h"
#include "KeyboardEventSimulator.h"
#include "SenActionFactory.h"
#include "SenMapping.h"
#include "SenMappingModel.h"

#include <QDebug>
#include <QThread>

namespace {

/// Events handled per turn of the event loop, so that a flood never keeps it from a quit request.
constexpr int kEventsPerTurn = 64;

} // namespace

SenKeyCore::SenKeyCore(InputInjector& injector, WindowSystem& windowSystem, QObject* parent)
    : QObject(parent), m_model(new SenMappingModel(QString(), this)),
      m_simulator(new KeyboardEventSimulator(injector, windowSystem, this)), m_connection(new KeepAliveThread(this))
{
    qRegisterMetaType<SenStateSnapshot>("SenStateSnapshot");
    ::releaseRemovedMappings(*m_model, *m_simulator);

    // Every signal of the connection runs here on the thread that emits it and joins the one ordered
    // hand-over; a single queued call per batch, not one per state, brings them to this thread.
    using Kind = HandOverItem::Kind;
    const auto post = [this](Kind kind, uint userId = 0) { handOver(HandOverItem::of(kind, userId)); };
    const auto direct = Qt::DirectConnection;
    connect(m_connection, &KeepAliveThread::engineConnected, this, [post] { post(Kind::EngineConnected); }, direct);
    connect(m_connection, &KeepAliveThread::engineDisconnected, this, [post] { post(Kind::EngineDisconnected); }, direct);
    connect(
        m_connection, &KeepAliveThread::engineCannotBeConnected, this, [post] { post(Kind::EngineCannotBeConnected); },
        direct);
    connect(
        m_connection, &KeepAliveThread::SenStateChanged, this,
        [this](uint userId, SenStateSnapshot state) {
            handOver(HandOverItem::of(Kind::State, userId, {}, std::move(state)));
        },
        direct);
    connect(
        m_connection, &KeepAliveThread::SendModeApp, this,
        [this](QString type) { handOver(HandOverItem::of(Kind::HeadsetType, 0, std::move(type))); }, direct);
    connect(
        m_connection, &KeepAliveThread::headsetConnected, this,
        [post](uint userId) { post(Kind::HeadsetConnected, userId); }, direct);
    connect(
        m_connection, &KeepAliveThread::headsetDisconnected, this,
        [post](uint userId) { post(Kind::HeadsetDisconnected, userId); }, direct);
    connect(m_simulator, &KeyboardEventSimulator::requestsDropped, this, [this](qsizetype waiting) {
        emit notice(tr("Requests are dropped: %1 are waiting to be typed").arg(waiting));
    });
}

void SenKeyCore::handOver(HandOverItem item)
{
    const bool wake = m_handOver.push(std::move(item));
    if (QThread::currentThread() == thread()) {
        // A connect or disconnect of this thread (a menu command, the teardown) is reported before it
        // returns, after whatever came before it.
        handleHandOver();
    } else if (wake) {
        QMetaObject::invokeMethod(this, &SenKeyCore::handleHandOver, Qt::QueuedConnection);
    }
}

void SenKeyCore::handleHandOver()
{
    HandOverItem item;
    for (int handled = 0; handled < kEventsPerTurn; ++handled) {
        if (!m_handOver.take(item)) {
            // The burst is over: say how much of it was skipped.
            if (m_skippingStates) {
                m_skippingStates = false;
                const std::uint64_t dropped = m_handOver.droppedStates();
                qDebug("%llu states were skipped while the evaluation fell behind",
                       static_cast<unsigned long long>(dropped - m_reportedDrops));
                m_reportedDrops = dropped;
            }
            return;
        }
        if (!m_skippingStates && m_handOver.droppedStates() != m_reportedDrops) {
            m_skippingStates = true;
            emit notice(tr("States arrive faster than they can be evaluated: older states are skipped"));
        }
        handle(item);
    }
    // More is waiting: the rest comes after the event loop has looked at its other work.
    QMetaObject::invokeMethod(this, &SenKeyCore::handleHandOver, Qt::QueuedConnection);
}

void SenKeyCore::handle(const HandOverItem& item)
{
    using Kind = HandOverItem::Kind;
    switch (item.kind) {
    case Kind::EngineConnected:
        emit engineConnected();
        break;
    case Kind::EngineDisconnected:
        // No more states will come to release what the rules hold.
        onEngineLost();
        emit engineDisconnected();
        break;
    case Kind::EngineCannotBeConnected:
        onEngineLost();
        emit engineCannotBeConnected();
        break;
    case Kind::HeadsetType:
        setHeadsetType(item.text);
        break;
    case Kind::HeadsetConnected:
        emit headsetConnected(item.userId);
        break;
    case Kind::HeadsetDisconnected:
        // A headset that goes away sends no more states that would release what its rules hold.
        onHeadsetLost(item.userId);
        emit headsetDisconnected(item.userId);
        break;
    case Kind::State:
        evaluateState(item.userId, item.state);
        break;
    }
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
    m_handOver.clear();
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
