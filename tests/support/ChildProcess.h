#pragma once
// Programs the tests start as separate processes.

#include <QProcess>

namespace TestSupport {

/// Ends `process` if it still runs, so that no test leaves one behind, whatever it failed on.
inline void killIfRunning(QProcess& process)
{
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(5000);
    }
}

/// The exit code once `process` ends, or -1 when it crashes or is still running after `timeoutMs`.
inline int exitCodeWithin(QProcess& process, int timeoutMs = 10000)
{
    if (!process.waitForFinished(timeoutMs) || process.exitStatus() != QProcess::NormalExit) {
        return -1;
    }
    return process.exitCode();
}

} // namespace TestSupport
