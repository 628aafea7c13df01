#pragma once

#include <QMetaType>

#include <memory>

#include "nxl.h"

/// One state as the engine sent it, shared read-only between the poller and whoever evaluates it.
/// Each state-updated event gets its own record, so a later poll never writes into a record that the
/// user-interface thread is still reading; the record is freed with its last copy, also when a queued
/// signal carrying it is dropped.
class SenStateSnapshot
{
public:
    SenStateSnapshot() = default;

    /// A new record holding a copy of the event's state; null when the event carries none.
    static SenStateSnapshot fromEvent(SenEngineEventHandle event);
    /// A new record holding a copy of 632 bytes.
    static SenStateSnapshot fromBytes(const void* bytes);

    bool isNull() const { return !record_; }
    /// The record for the nxlState accessors; valid as long as this snapshot or a copy of it lives.
    SenStateHandle handle() const { return record_.get(); }

private:
    explicit SenStateSnapshot(SenStateHandle record);

    std::shared_ptr<void> record_;
};

Q_DECLARE_METATYPE(SenStateSnapshot)
