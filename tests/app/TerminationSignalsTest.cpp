#include "TerminationSignals.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <csignal>

namespace {

// SIGINT and SIGTERM reach the event loop instead of ending the process where it stands, and the
// default handling comes back once the object is gone.
TEST(TerminationSignals, SignalsArriveThroughTheEventLoop)
{
    int argc = 1;
    char name[] = "TerminationSignalsTest";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);

    for (int signal : {SIGTERM, SIGINT}) {
        TerminationSignals termination;
        ASSERT_TRUE(termination.isInstalled());
        int received = 0;
        QObject::connect(&termination, &TerminationSignals::received, [&] { ++received; });
        ASSERT_EQ(std::raise(signal), 0);
        EXPECT_EQ(received, 0) << "nothing runs inside the handler";
        QDeadlineTimer deadline(5000);
        while (received == 0 && !deadline.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        EXPECT_EQ(received, 1) << signal;
    }
    struct sigaction current {
    };
    ::sigaction(SIGTERM, nullptr, &current);
    EXPECT_EQ(current.sa_handler, SIG_DFL);
}

} // namespace
