#include "SenKeyOptions.h"

#include <QCommandLineParser>

std::optional<EngineTarget> parseEngineTarget(const QString& text)
{
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0) {
        return std::nullopt;
    }
    bool ok = false;
    const uint port = text.mid(colon + 1).toUInt(&ok, 10);
    if (!ok || port == 0 || port > 0xFFFF) {
        return std::nullopt;
    }
    return EngineTarget{text.left(colon), port};
}

SenKeyCommandLine parseSenKeyCommandLine(const QStringList& arguments)
{
    SenKeyCommandLine result;
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Turns an EEG headset's detections into keystrokes and clicks."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help."));
    const QCommandLineOption backend(
        QStringLiteral("backend"), QStringLiteral("How input is sent: auto, uinput, x11 or recording (sends nothing)."),
        QStringLiteral("KIND"), QStringLiteral("auto"));
    const QCommandLineOption engine(QStringLiteral("engine"),
                                    QStringLiteral("Where the Control Panel engine listens (default 127.0.0.1:3008)."),
                                    QStringLiteral("HOST:PORT"));
    const QCommandLineOption composer(QStringLiteral("composer"),
                                      QStringLiteral("Where SenComposer listens (default 127.0.0.1:1726)."),
                                      QStringLiteral("HOST:PORT"));
    const QCommandLineOption load(QStringLiteral("load"), QStringLiteral("Load a mapping file at start."),
                                  QStringLiteral("FILE"));
    const QCommandLineOption hidden(QStringLiteral("hidden"), QStringLiteral("Start in the tray."));
    const QCommandLineOption togglePause(QStringLiteral("toggle-pause"),
                                         QStringLiteral("Pause or resume the running SenKey, then end."));
    parser.addOptions({help, backend, engine, composer, load, hidden, togglePause});

    if (!parser.parse(arguments)) {
        result.ok = false;
        result.message = parser.errorText();
        return result;
    }
    if (parser.isSet(help)) {
        result.helpOnly = true;
        result.message = parser.helpText();
        return result;
    }
    if (!parser.positionalArguments().isEmpty()) {
        result.ok = false;
        result.message = QStringLiteral("Unexpected argument: %1").arg(parser.positionalArguments().constFirst());
        return result;
    }
    if (parser.isSet(togglePause)) {
        result.togglePause = true;
        if (parser.optionNames().size() != 1) {
            result.ok = false;
            result.message = QStringLiteral("--toggle-pause takes no other option");
        }
        return result;
    }
    const std::optional<BackendKind> kind = parseBackendKind(parser.value(backend));
    if (!kind) {
        result.ok = false;
        result.message = QStringLiteral("Unknown backend: %1").arg(parser.value(backend));
        return result;
    }
    result.options.platform.kind = *kind;
    for (const auto& [option, target] :
         {std::pair{&engine, &result.options.controlPanel}, std::pair{&composer, &result.options.senComposer}}) {
        if (!parser.isSet(*option)) {
            continue;
        }
        const std::optional<EngineTarget> parsed = parseEngineTarget(parser.value(*option));
        if (!parsed) {
            result.ok = false;
            result.message = QStringLiteral("Not HOST:PORT: %1").arg(parser.value(*option));
            return result;
        }
        *target = *parsed;
    }
    result.options.mappingFile = parser.value(load);
    result.options.startHidden = parser.isSet(hidden);
    return result;
}
