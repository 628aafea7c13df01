#include <QApplication>

#include <cstdio>
#include <cstring>

#include "PauseControl.h"
#include "SenKey.h"
#include "SenKeyOptions.h"
#include "TerminationSignals.h"

namespace {

/// The keyboard stop needs no display: a desktop shortcut may run it wherever.
int togglePause(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const SenKeyCommandLine commandLine = parseSenKeyCommandLine(QCoreApplication::arguments());
    if (!commandLine.ok) {
        std::fprintf(stderr, "senkey: %s\n", qPrintable(commandLine.message));
        return 2;
    }
    QString reply;
    const bool ok = requestTogglePause(QStringLiteral("senkey"), reply);
    std::fprintf(ok ? stdout : stderr, "%s%s\n", ok ? "" : "senkey: ", qUtf8Printable(reply));
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--toggle-pause") == 0 || std::strcmp(argv[i], "-toggle-pause") == 0) {
            return togglePause(argc, argv);
        }
    }
    QApplication app(argc, argv);
    const SenKeyCommandLine commandLine = parseSenKeyCommandLine(QApplication::arguments());
    if (commandLine.helpOnly) {
        std::fputs(qPrintable(commandLine.message), stdout);
        return 0;
    }
    if (!commandLine.ok) {
        std::fprintf(stderr, "senkey: %s\n", qPrintable(commandLine.message));
        return 2;
    }

    int exitCode = 0;
    {
        SenKey window(commandLine.options);
        if (!commandLine.options.startHidden) {
            window.show();
        }
        QObject::connect(&app, &QApplication::lastWindowClosed, &app, &QApplication::quit);
        // A termination request ends the program as Quit does, but asks nothing: nobody may be there to answer.
        TerminationSignals termination;
        QObject::connect(&termination, &TerminationSignals::received, &app, &QApplication::quit);
        exitCode = QApplication::exec();
    }
    return exitCode;
}
