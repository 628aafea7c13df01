#include "MappingFile.h"

#include <QDebug>
#include <QDomDocument>
#include <QDomElement>
#include <QFile>
#include <QSaveFile>
#include <QStringConverter>
#include <QStringList>
#include <QXmlStreamReader>

#include <optional>
#include <utility>

#include "SenActionFactory.h"
#include "SenMapping.h"
#include "SenMappingModel.h"
#include "SenStateCondition.h"

namespace {

const QString kModelElement = QString::fromLatin1(SenMappingModel::staticMetaObject.className());
const QString kMappingElement = QString::fromLatin1(SenMapping::staticMetaObject.className());
const QString kConditionElement = QStringLiteral("SenStateCondition");

QString indent(int level)
{
    return QString(qsizetype{level} * 4, QLatin1Char(' '));
}

QString flag(bool value)
{
    return value ? QStringLiteral("1") : QStringLiteral("0");
}

bool isXmlChar(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0x10FFFF);
}

// Line ends and tabs go out as character references because a parser folds them to spaces inside an
// attribute; characters that XML cannot carry at all are left out rather than making the file unreadable.
QString escape(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (char32_t c : text.toUcs4()) {
        switch (c) {
        case '&':
            out += QLatin1String("&amp;");
            break;
        case '<':
            out += QLatin1String("&lt;");
            break;
        case '>':
            out += QLatin1String("&gt;");
            break;
        case '"':
            out += QLatin1String("&quot;");
            break;
        case '\t':
            out += QLatin1String("&#9;");
            break;
        case '\n':
            out += QLatin1String("&#10;");
            break;
        case '\r':
            out += QLatin1String("&#13;");
            break;
        default:
            if (isXmlChar(c)) {
                out += QString::fromUcs4(&c, 1);
            }
        }
    }
    return out;
}

QString thresholdType(const QVariant& threshold)
{
    return threshold.isValid() ? QString::fromLatin1(threshold.typeName()) : QString();
}

QString thresholdValue(const QVariant& threshold)
{
    switch (threshold.typeId()) {
    case QMetaType::UnknownType:
        return {};
    case QMetaType::Bool:
        return threshold.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case QMetaType::Double:
        return QString::asprintf("%.15g", threshold.toDouble());
    default:
        return escape(threshold.toString());
    }
}

// Written only when set, so that a file without conditioning is written as before.
QString conditioningAttributes(const SenStateCondition& condition)
{
    QString text;
    if (const std::optional<double> release = condition.releaseLevel()) {
        text += QStringLiteral(" release=\"%1\"").arg(QString::asprintf("%.15g", *release));
    }
    if (condition.smoothingTime() != 0) {
        text += QStringLiteral(" smoothing=\"%1\"").arg(condition.smoothingTime());
    }
    return text;
}

QString timingAttributes(const SenMapping& mapping)
{
    QString text;
    const std::pair<const char*, uint> times[] = {{"dwellTime", mapping.dwellTime()},
                                                  {"cooldownTime", mapping.cooldownTime()},
                                                  {"rearmTime", mapping.rearmTime()}};
    for (const auto& [name, value] : times) {
        if (value != 0) {
            text += QStringLiteral(" %1=\"%2\"").arg(QLatin1String(name)).arg(value);
        }
    }
    return text;
}

// Older readers see a pause rule as one with empty keys, which types nothing.
QString pauseAttribute(const SenMapping& mapping)
{
    return mapping.pauseToggle() ? QStringLiteral(" pauseToggle=\"1\"") : QString();
}

// A conditioning time in ms: missing is 0; anything but an unsigned decimal up to the limit reads as 0.
uint readTime(const QDomElement& element, const QString& name, const QString& owner)
{
    if (!element.hasAttribute(name)) {
        return 0;
    }
    const QString text = element.attribute(name);
    bool ok = false;
    const uint value = text.toUInt(&ok);
    if (!ok || value > kMaxConditioningTime) {
        qDebug("Bad %s (%s) in (%s), taken as 0", qPrintable(name), qPrintable(text), qPrintable(owner));
        return 0;
    }
    return value;
}

// Mapping flags are true only for the number 1; words and other numbers read as false.
bool asOne(const QString& text)
{
    return text.toInt() == 1;
}

// Refuses, before the DOM parser sees it, anything that could make it expand, recurse or fail.
bool looksLikeSafeXml(const QString& text)
{
    if (text.size() > kMaxMappingFileSize) {
        qDebug("Error analysing text : larger than %lld characters", static_cast<long long>(kMaxMappingFileSize));
        return false;
    }
    QXmlStreamReader reader(text);
    int depth = 0;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::DTD:
            qDebug("Error analysing text : document type declarations are not accepted, at line %lld",
                   static_cast<long long>(reader.lineNumber()));
            return false;
        case QXmlStreamReader::StartElement:
            if (++depth > kMaxMappingFileDepth) {
                qDebug("Error analysing text : nested deeper than %d elements, at line %lld", kMaxMappingFileDepth,
                       static_cast<long long>(reader.lineNumber()));
                return false;
            }
            break;
        case QXmlStreamReader::EndElement:
            --depth;
            break;
        default:
            break;
        }
    }
    if (reader.hasError()) {
        qDebug("Error analysing text : %s, at line %lld column %lld", qPrintable(reader.errorString()),
               static_cast<long long>(reader.lineNumber()), static_cast<long long>(reader.columnNumber()));
        return false;
    }
    return true;
}

const QStringList& neededAttributes()
{
    static const QStringList names{
        QStringLiteral("enabled"),     QStringLiteral("name"),        QStringLiteral("keys"),
        QStringLiteral("sendOnce"),    QStringLiteral("sendToFocus"), QStringLiteral("targetApp"),
        QStringLiteral("sendHotKeys"), QStringLiteral("ctrlKey"),     QStringLiteral("altKey"),
        QStringLiteral("shiftKey"),    QStringLiteral("winKey"),      QStringLiteral("hotKey"),
        QStringLiteral("holdKey"),     QStringLiteral("holdTime"),    QStringLiteral("triggerDelayTime")};
    return names;
}

bool hasNeededAttributes(const QDomElement& element)
{
    for (const QString& name : neededAttributes()) {
        if (!element.hasAttribute(name)) {
            return false;
        }
    }
    return true;
}

bool readPauseToggle(const QDomElement& element, const QString& owner)
{
    const QString text = element.attribute(QStringLiteral("pauseToggle"), QStringLiteral("0"));
    if (text != QLatin1String("0") && text != QLatin1String("1")) {
        qDebug("Bad pauseToggle (%s) in (%s), taken as 0", qPrintable(text), qPrintable(owner));
        return false;
    }
    return text == QLatin1String("1");
}

SenMapping readMapping(const QDomElement& e)
{
    SenMapping m(e.attribute(QStringLiteral("name")), nullptr);
    m.setEnabled(asOne(e.attribute(QStringLiteral("enabled"))));
    m.setKeys(e.attribute(QStringLiteral("keys")));
    m.setSendOnce(asOne(e.attribute(QStringLiteral("sendOnce"))));
    m.setSendToFocus(asOne(e.attribute(QStringLiteral("sendToFocus"))));
    m.setAppTitle(e.attribute(QStringLiteral("targetApp")));
    m.setSendHotKeys(asOne(e.attribute(QStringLiteral("sendHotKeys"))));
    m.setCtrlKey(asOne(e.attribute(QStringLiteral("ctrlKey"))));
    m.setAltKey(asOne(e.attribute(QStringLiteral("altKey"))));
    m.setShiftKey(asOne(e.attribute(QStringLiteral("shiftKey"))));
    m.setWinKey(asOne(e.attribute(QStringLiteral("winKey"))));
    m.setEnterKey(asOne(e.attribute(QStringLiteral("enterKey"))));
    m.setHotKey(e.attribute(QStringLiteral("hotKey")).toInt());
    m.setHoldKey(asOne(e.attribute(QStringLiteral("holdKey"))));
    m.setHoldTime(e.attribute(QStringLiteral("holdTime")).toUInt());
    m.setTriggerDelayTime(e.attribute(QStringLiteral("triggerDelayTime")).toUInt());
    m.setPlayerNum(e.attribute(QStringLiteral("player")).toInt());
    m.setMouseclickset(asOne(e.attribute(QStringLiteral("mouseclickset"))));
    m.setMousebutnum(e.attribute(QStringLiteral("mousebutnum")).toInt());
    m.setDwellTime(readTime(e, QStringLiteral("dwellTime"), m.name()));
    m.setCooldownTime(readTime(e, QStringLiteral("cooldownTime"), m.name()));
    m.setRearmTime(readTime(e, QStringLiteral("rearmTime"), m.name()));
    m.setPauseToggle(readPauseToggle(e, m.name()));
    return m;
}

// The optional release level and smoothing on a condition's threshold element; a bad one reads as unset.
void readConditioning(const QDomElement& threshold, SenStateCondition& condition)
{
    const QString owner = SenActionFactory::actionName(condition.actionType());
    if (threshold.hasAttribute(QStringLiteral("release"))) {
        const QString text = threshold.attribute(QStringLiteral("release"));
        bool ok = false;
        const double level = text.toDouble(&ok);
        if (ok && condition.acceptsReleaseLevel(level)) {
            condition.setReleaseLevel(level);
        } else {
            qDebug("Bad release (%s) for a condition on (%s), taken as the threshold", qPrintable(text),
                   qPrintable(owner));
        }
    }
    const uint smoothing = readTime(threshold, QStringLiteral("smoothing"), owner);
    if (smoothing != 0 && !condition.takesSmoothing()) {
        qDebug("Bad smoothing (%u) for a condition on (%s), which has no strength: taken as 0", smoothing,
               qPrintable(owner));
    } else {
        condition.setSmoothingTime(smoothing);
    }
}

} // namespace

QString conditionToXml(const SenStateCondition* condition, int level)
{
    if (condition == nullptr) {
        return {};
    }
    const QString outer = indent(level);
    const QString inner = indent(level + 1);
    const QVariant threshold = condition->threshold();
    const QStringList lines{
        QStringLiteral("%1<%2>").arg(outer, kConditionElement),
        QStringLiteral("%1<enabled value=\"%2\" />").arg(inner, flag(condition->enabled())),
        QStringLiteral("%1<action value=\"%2\" />").arg(inner, QString::number(condition->actionType())),
        QStringLiteral("%1<threshold type=\"%2\" value=\"%3\"%4 />")
            .arg(inner, thresholdType(threshold), thresholdValue(threshold), conditioningAttributes(*condition)),
        QStringLiteral("%1<actionRule value=\"%2\" />").arg(inner, QString::number(condition->actionRule().rule())),
        QStringLiteral("%1</%2>").arg(outer, kConditionElement),
    };
    return lines.join(QLatin1Char('\n'));
}

QString modelToXml(const SenMappingModel* model, int level)
{
    if (model == nullptr) {
        return {};
    }
    QStringList lines;
    lines.append(
        QStringLiteral("%1<%2 mappingName=\"%3\" >").arg(indent(level), kModelElement, escape(model->objectName())));
    const QString mappingIndent = indent(level + 1);
    for (int i = 0; i < model->mappingCount(); ++i) {
        const SenMapping* m = model->mapping(i);
        qDebug("Processing mapping (%s) with %d conditions...", qPrintable(m->name()), m->conditionCount());
        // QString::arg takes at most nine strings at once, so the start tag is built in parts.
        QString start =
            QStringLiteral("%1<%2 enabled=\"%3\" name=\"%4\" keys=\"%5\" sendOnce=\"%6\" sendToFocus=\"%7\"")
                .arg(mappingIndent, kMappingElement, flag(m->enabled()), escape(m->name()), escape(m->keys()),
                     flag(m->sendOnce()), flag(m->sendToFocus()));
        start += QStringLiteral(" targetApp=\"%1\" sendHotKeys=\"%2\" ctrlKey=\"%3\" altKey=\"%4\" shiftKey=\"%5\"")
                     .arg(escape(m->appTitle()), flag(m->sendHotKeys()), flag(m->ctrlKey()), flag(m->altKey()),
                          flag(m->shiftKey()));
        start += QStringLiteral(" winKey=\"%1\" enterKey=\"%2\" hotKey=\"%3\" holdKey=\"%4\" holdTime=\"%5\"")
                     .arg(flag(m->winKey()), flag(m->enterKey()), QString::number(m->hotKey()), flag(m->holdKey()),
                          QString::number(m->holdTime()));
        start += QStringLiteral(" triggerDelayTime=\"%1\" player=\"%2\" mouseclickset=\"%3\" mousebutnum=\"%4\"")
                     .arg(QString::number(m->triggerDelayTime()), QString::number(m->playerNum()),
                          flag(m->mouseclickset()), QString::number(m->mousebutnum()));
        start += timingAttributes(*m) + pauseAttribute(*m) + QLatin1Char('>');
        lines.append(start);
        for (int c = 0; c < m->conditionCount(); ++c) {
            lines.append(conditionToXml(m->condition(c), level + 2));
        }
        lines.append(QStringLiteral("%1</%2>").arg(mappingIndent, kMappingElement));
    }
    lines.append(QStringLiteral("%1</%2>\n").arg(indent(level), kModelElement));
    return lines.join(QLatin1Char('\n'));
}

bool saveMappingFile(const QString& fileName, const SenMappingModel* model)
{
    if (model == nullptr) {
        return false;
    }
    // Written beside the target and renamed over it, so a failed save never leaves half a file.
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        qDebug("Cannot open (%s) for writing: %s", qPrintable(fileName), qPrintable(file.errorString()));
        return false;
    }
    QStringEncoder encoder(QStringConverter::System);
    const QByteArray bytes = encoder.encode(modelToXml(model, 0));
    if (encoder.hasError() || file.write(bytes) != bytes.size() || !file.commit()) {
        qDebug("Cannot write (%s): %s", qPrintable(fileName), qPrintable(file.errorString()));
        return false;
    }
    return true;
}

bool loadMappingFile(const QString& fileName, SenMappingModel* model)
{
    if (model == nullptr) {
        return false;
    }
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        qDebug("Cannot open (%s) for reading: %s", qPrintable(fileName), qPrintable(file.errorString()));
        return false;
    }
    // Read one byte past the limit so that an oversized file (or one that grows) is noticed.
    const QByteArray bytes = file.read(kMaxMappingFileSize + 1);
    if (bytes.size() > kMaxMappingFileSize) {
        qDebug("Error analysing text : (%s) is larger than %lld bytes", qPrintable(fileName),
               static_cast<long long>(kMaxMappingFileSize));
        return false;
    }
    QStringDecoder decoder(QStringConverter::System);
    const QString text = decoder.decode(bytes);
    if (decoder.hasError()) {
        qDebug("Error analysing text : (%s) is not in the system encoding", qPrintable(fileName));
        return false;
    }
    return parseModelXml(text, model);
}

bool parseModelXml(const QString& text, SenMappingModel* model)
{
    if (model == nullptr || !looksLikeSafeXml(text)) {
        return false;
    }
    QDomDocument document;
    QString message;
    int line = 0;
    int column = 0;
    if (!document.setContent(text, &message, &line, &column)) {
        qDebug("Error analysing text : %s, at line %d column %d", qPrintable(message), line, column);
        return false;
    }
    const QDomElement root = document.documentElement();
    if (root.tagName() != kModelElement) {
        qDebug("class type miss match : (%s) in XML vs (%s) in QObject", qPrintable(root.tagName()),
               qPrintable(kModelElement));
        return false;
    }
    model->setObjectName(root.attribute(QStringLiteral("mappingName")));

    for (QDomNode node = root.firstChild(); !node.isNull(); node = node.nextSibling()) {
        if (node.nodeName() != kMappingElement) {
            qDebug("Unknown node (%s), skipping...", qPrintable(node.nodeName()));
            continue;
        }
        const QDomElement element = node.toElement();
        if (element.isNull() || !hasNeededAttributes(element)) {
            qDebug("Error parsing node (%s), skipping...", qPrintable(node.nodeName()));
            continue;
        }
        model->addMapping(readMapping(element));
        const int mappingIndex = model->mappingCount() - 1;
        for (QDomNode child = node.firstChild(); !child.isNull(); child = child.nextSibling()) {
            SenStateCondition condition(SenAction::Blink, nullptr);
            if (parseCondition(child, &condition)) {
                model->addCondition(mappingIndex, condition);
            }
        }
    }
    return true;
}

bool parseCondition(const QDomNode& node, SenStateCondition* condition)
{
    if (condition == nullptr) {
        return false;
    }
    if (node.nodeName() != kConditionElement) {
        qDebug("Error parsing node (%s), skipping...", qPrintable(node.nodeName()));
        return false;
    }
    const QDomNodeList children = node.childNodes();
    if (children.count() != 4) {
        qDebug("Error parsing node (%s): not enough attributes, skipping...", qPrintable(node.nodeName()));
        return false;
    }
    QDomElement thresholdElement;
    for (int i = 0; i < children.count(); ++i) {
        const QDomElement child = children.at(i).toElement();
        if (child.isNull()) {
            return false;
        }
        const QString type = child.attribute(QStringLiteral("type"));
        const QString value = child.attribute(QStringLiteral("value"));
        const QString name = child.tagName();
        if (name == QLatin1String("enabled")) {
            condition->setEnabled(value.toInt() != 0);
        } else if (name == QLatin1String("action")) {
            condition->setAction(static_cast<SenAction::ActionType>(value.toInt()));
        } else if (name == QLatin1String("threshold")) {
            thresholdElement = child;
            if (type == QLatin1String("bool")) {
                condition->setThreshold(value == QLatin1String("true"));
            } else if (type == QLatin1String("double")) {
                bool ok = false;
                const double number = value.toDouble(&ok);
                condition->setThreshold(ok ? number : 0.0);
            } else {
                condition->setThreshold(QVariant());
            }
        } else if (name == QLatin1String("actionRule")) {
            condition->setActionRule(static_cast<SenActionRule::Rule>(value.toInt()));
        } else {
            return false;
        }
    }
    // Read last: whether a release level fits depends on the detection, the rule and the threshold.
    if (!thresholdElement.isNull()) {
        readConditioning(thresholdElement, *condition);
    }
    return true;
}
