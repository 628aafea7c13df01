#pragma once

#include <QMetaType>

#include <chrono>
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

    using Clock = std::chrono::steady_clock;

    /// A new record holding a copy of the event's state; null when the event carries none. `arrival` is
    /// when the program received the state.
    static SenStateSnapshot fromEvent(SenEngineEventHandle event, Clock::time_point arrival = Clock::now());
    /// A new record holding a copy of 632 bytes.
    static SenStateSnapshot fromBytes(const void* bytes, Clock::time_point arrival = Clock::now());

    bool isNull() const { return !record_; }
    /// The record for the nxlState accessors; valid as long as this snapshot or a copy of it lives.
    SenStateHandle handle() const { return record_.get(); }
    /// When the state was received from the engine (taken off the client library's queue).
    Clock::time_point arrival() const { return arrival_; }

private:
    SenStateSnapshot(SenStateHandle record, Clock::time_point arrival);

    std::shared_ptr<void> record_;
    Clock::time_point arrival_{};
};

Q_DECLARE_METATYPE(SenStateSnapshot)
