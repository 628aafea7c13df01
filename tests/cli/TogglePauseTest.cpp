// The keyboard stop: `senkey-run --toggle-pause`, run as its own process, reaches the core of a running
// instance through the control socket in the runtime folder, and nothing else does.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <unistd.h>

#include "ChildProcess.h"
#include "PauseControl.h"
#include "QtApplicationEnvironment.h"
#include "RecordingBackend.h"
#include "SenKeyCore.h"

namespace {

const auto* const kEnvironment = TestSupport::addApplicationEnvironment<QCoreApplication>();

struct Outcome {
    int exitCode = -1;
    QString out;
    QString err;
};

class TogglePause : public ::testing::Test
{
protected:
    TogglePause()
    {
        m_previousRuntime = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", m_runtime.path().toLocal8Bit());
    }
    ~TogglePause() override { qputenv("XDG_RUNTIME_DIR", m_previousRuntime); }

    /// Runs `senkey-run --toggle-pause` while this process serves its requests.
    Outcome runToggle()
    {
        QProcess process;
        process.start(QStringLiteral(SENKEY_RUN_PATH), {QStringLiteral("--toggle-pause")});
        QDeadlineTimer deadline(10000);
        while (!process.waitForFinished(5) && !deadline.hasExpired()) {
            QCoreApplication::processEvents();
        }
        Outcome outcome;
        outcome.exitCode = process.state() == QProcess::NotRunning ? process.exitCode() : -1;
        outcome.out = QString::fromUtf8(process.readAllStandardOutput()).trimmed();
        outcome.err = QString::fromUtf8(process.readAllStandardError()).trimmed();
        TestSupport::killIfRunning(process);
        return outcome;
    }

    QTemporaryDir m_runtime;
    QByteArray m_previousRuntime;
    RecordingBackend m_recording;
    SenKeyCore m_core{m_recording, m_recording};
};

} // namespace

TEST_F(TogglePause, AnotherProcessPausesAndResumesTheRunningInstance)
{
    PauseControlServer server(m_core, QStringLiteral("senkey-run"));
    QString error;
    ASSERT_TRUE(server.listen(error)) << error.toStdString();
    struct stat info {};
    ASSERT_EQ(::stat(server.path().toLocal8Bit().constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0077, 0U) << "the socket is the owner's alone";

    const Outcome paused = runToggle();
    EXPECT_EQ(paused.exitCode, 0) << paused.err.toStdString();
    EXPECT_EQ(paused.out, QStringLiteral("paused"));
    EXPECT_FALSE(m_core.keystrokesEnabled());
    const Outcome resumed = runToggle();
    EXPECT_EQ(resumed.out, QStringLiteral("resumed"));
    EXPECT_TRUE(m_core.keystrokesEnabled());

    // A second instance does not take the socket from the first.
    PauseControlServer second(m_core, QStringLiteral("senkey-run"));
    EXPECT_FALSE(second.listen(error));
    EXPECT_TRUE(error.contains(QStringLiteral("already listens"))) << error.toStdString();
}

TEST_F(TogglePause, RefusedWithoutAnInstanceOrForAnotherUsersSocket)
{
    const Outcome none = runToggle();
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_TRUE(none.err.contains(QStringLiteral("not running"))) << none.err.toStdString();

    PauseControlServer server(m_core, QStringLiteral("senkey-run"));
    QString error;
    ASSERT_TRUE(server.listen(error)) << error.toStdString();
    if (::getuid() != 0) {
        GTEST_SKIP() << "giving the socket to another user needs root";
    }
    const QByteArray path = server.path().toLocal8Bit();
    ASSERT_EQ(::chown(path.constData(), 65534, 65534), 0);
    const Outcome refused = runToggle();
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(refused.err.contains(QStringLiteral("refusing"))) << refused.err.toStdString();
    EXPECT_TRUE(m_core.keystrokesEnabled()) << "the request must not have reached the core";

    // A runtime folder that others may write to is not trusted either.
    ASSERT_EQ(::chown(path.constData(), ::getuid(), ::getgid()), 0);
    ASSERT_TRUE(QFile::setPermissions(m_runtime.path(), QFile::permissions(m_runtime.path()) | QFile::WriteOther));
    QString reply;
    EXPECT_FALSE(requestTogglePause(QStringLiteral("senkey-run"), reply));
    EXPECT_TRUE(reply.contains(QStringLiteral("not private"))) << reply.toStdString();
    EXPECT_TRUE(m_core.keystrokesEnabled());
}
