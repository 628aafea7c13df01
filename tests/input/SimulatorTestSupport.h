#pragma once

#include "RecordingBackend.h"

#include <gtest/gtest.h>

#include "QtApplicationEnvironment.h"

#include <QCoreApplication>
#include <QStringList>

#include <chrono>
#include <mutex>
#include <thread>

namespace testsupport {

using Ms = std::chrono::milliseconds;
using RE = RecordedEvent;

/// Waits until the backend holds at least count events, or a generous timeout passes.
inline std::vector<RecordedEvent> waitForEvents(const RecordingBackend& backend, std::size_t count)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (backend.events().size() < count && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(Ms(2));
    }
    return backend.events();
}

/// Debug output collected while the object lives.
class MessageCapture
{
public:
    MessageCapture()
    {
        previous_ = qInstallMessageHandler(&MessageCapture::handle);
        messages().clear();
    }
    ~MessageCapture() { qInstallMessageHandler(previous_); }
    QStringList taken() const
    {
        std::lock_guard lock(mutex());
        return messages();
    }

private:
    static QStringList& messages()
    {
        static QStringList list;
        return list;
    }
    static std::mutex& mutex()
    {
        static std::mutex m;
        return m;
    }
    // Called from whichever thread writes the line.
    static void handle(QtMsgType, const QMessageLogContext&, const QString& message)
    {
        std::lock_guard lock(mutex());
        messages() << message;
    }
    QtMessageHandler previous_ = nullptr;
};

inline long long elapsedMs(const RecordedEvent& from, const RecordedEvent& to)
{
    return std::chrono::duration_cast<Ms>(to.time - from.time).count();
}

} // namespace testsupport
