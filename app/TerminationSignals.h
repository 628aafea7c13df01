#pragma once

#include <QObject>

class QSocketNotifier;

/// Turns SIGINT and SIGTERM into the signal received() on the thread that made this object, so the
/// program ends through its event loop and releases what it holds. One instance per process.
class TerminationSignals : public QObject
{
    Q_OBJECT

public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

    /// False when the handlers could not be installed; the default handling then stays.
    bool isInstalled() const { return notifier != nullptr; }

signals:
    void received();

private:
    void drain();

    int fds[2] = {-1, -1};
    QSocketNotifier* notifier = nullptr;
};
