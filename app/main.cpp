#include <QApplication>

#include <cstdio>

#include "SenKey.h"
#include "SenKeyOptions.h"
#include "TerminationSignals.h"

int main(int argc, char* argv[])
{
    {
        // Help and version are answered before the GUI application exists, so they need no display.
        // Options of Qt's own (-platform, ...) fail this early read; the full read below has them removed.
        const QCoreApplication early(argc, argv);
        const SenKeyCommandLine request = parseSenKeyCommandLine(QCoreApplication::arguments());
        if (request.helpOnly) {
            std::fputs(qPrintable(request.message), stdout);
            return 0;
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
