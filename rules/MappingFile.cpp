#include "MappingFile.h"

#include <QDebug>
#include <QDomDocument>
#include <QDomElement>
#include <QFile>
#include <QSaveFile>
#include <QStringConverter>
#include <QStringList>
#include <QXmlStreamReader>

#include <cerrno>
#include <cstring>
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

QString lineOf(const QString& text, qsizetype position)
{
    return QString::number(QStringView(text).left(position).count(QLatin1Char('\n')) + 1);
}

bool isXmlSpace(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r');
}

bool endsName(QChar c)
{
    return isXmlSpace(c) || c == QLatin1Char('/') || c == QLatin1Char('>') || c == QLatin1Char('=') ||
           c == QLatin1Char('<') || c == QLatin1Char('"') || c == QLatin1Char('\'');
}

// One pass over the markup that counts what the file limits bound, before any XML reader sees the text
// (the reader's check for repeated attributes takes time quadratic in the attributes of one element).
// It follows the lexical structure of XML only as far as needed to find tags, attributes and texts;
// where the text is not well-formed it stops, and the XML reader, which reads no further than that
// point either, reports the fault.
class LimitScanner
{
public:
    explicit LimitScanner(const QString& text) : m_text(text) {}

    QString problem()
    {
        const qsizetype size = m_text.size();
        while (m_position < size) {
            const qsizetype open = m_text.indexOf(QLatin1Char('<'), m_position);
            if ((open < 0 ? size : open) - m_position > kMaxMappingTextLength) {
                return textTooLong(m_position);
            }
            if (open < 0) {
                break;
            }
            m_position = open;
            QString found;
            if (!markup(found)) {
                break;
            }
            if (!found.isEmpty()) {
                return found;
            }
        }
        return {};
    }

private:
    bool at(QLatin1String prefix) const { return QStringView(m_text).mid(m_position).startsWith(prefix); }

    QString textTooLong(qsizetype position) const
    {
        return QStringLiteral("a text at line %1 is longer than %2 characters")
            .arg(lineOf(m_text, position))
            .arg(kMaxMappingTextLength);
    }

    // Skips a section from its opening to the end of `close`; false when it is not closed.
    bool skipSection(qsizetype openLength, QLatin1String close, QString& problem)
    {
        const qsizetype end = m_text.indexOf(close, m_position + openLength);
        if (end < 0) {
            return false;
        }
        if (end - m_position > kMaxMappingTextLength) {
            problem = textTooLong(m_position);
        }
        m_position = end + close.size();
        return true;
    }

    // One piece of markup starting at '<'. False where the text stops being well-formed.
    bool markup(QString& problem)
    {
        if (at(QLatin1String("<!--"))) {
            return skipSection(4, QLatin1String("-->"), problem);
        }
        if (at(QLatin1String("<![CDATA["))) {
            return skipSection(9, QLatin1String("]]>"), problem);
        }
        if (at(QLatin1String("<!DOCTYPE"))) {
            problem = QStringLiteral("it is not a mapping file (it holds a document type declaration)");
            return true;
        }
        if (at(QLatin1String("<!"))) {
            return false;
        }
        if (at(QLatin1String("<?"))) {
            return skipSection(2, QLatin1String("?>"), problem);
        }
        if (at(QLatin1String("</"))) {
            if (!skipSection(2, QLatin1String(">"), problem)) {
                return false;
            }
            --m_depth;
            return true;
        }
        return startTag(problem);
    }

    qsizetype nameEnd(qsizetype from) const
    {
        while (from < m_text.size() && !endsName(m_text.at(from))) {
            ++from;
        }
        return from;
    }

    void skipSpace()
    {
        while (m_position < m_text.size() && isXmlSpace(m_text.at(m_position))) {
            ++m_position;
        }
    }

    // Counts an element opening at the next depth; an empty problem when it is within the limits.
    QString countElement(QStringView name)
    {
        const int depth = m_depth + 1;
        if (++m_elements > kMaxMappingFileElements) {
            return QStringLiteral("it has more than %1 elements").arg(kMaxMappingFileElements);
        }
        if (depth > kMaxMappingFileDepth) {
            return QStringLiteral("it is not a mapping file (its elements nest deeper than %1 levels, line %2)")
                .arg(kMaxMappingFileDepth)
                .arg(lineOf(m_text, m_position));
        }
        if (depth == 2) {
            m_inMapping = name == kMappingElement;
            if (m_inMapping && ++m_mappings > kMaxMappings) {
                return QStringLiteral("it has more than %1 rules").arg(kMaxMappings);
            }
            m_mappingConditions = 0;
        } else if (depth == 3 && m_inMapping) {
            if (++m_mappingConditions > kMaxConditionsPerMapping) {
                return QStringLiteral("rule %1 has more than %2 conditions (line %3)")
                    .arg(m_mappings)
                    .arg(kMaxConditionsPerMapping)
                    .arg(lineOf(m_text, m_position));
            }
            if (++m_conditions > kMaxConditions) {
                return QStringLiteral("it has more than %1 conditions in all").arg(kMaxConditions);
            }
        }
        return {};
    }

    bool startTag(QString& problem)
    {
        const qsizetype tagStart = m_position;
        const qsizetype nameStart = m_position + 1;
        m_position = nameEnd(nameStart);
        if (m_position - nameStart > kMaxMappingTextLength) {
            problem = textTooLong(tagStart);
            return true;
        }
        problem = countElement(QStringView(m_text).mid(nameStart, m_position - nameStart));
        if (!problem.isEmpty()) {
            return true;
        }
        int attributes = 0;
        while (true) {
            skipSpace();
            if (m_position >= m_text.size()) {
                return false;
            }
            if (m_text.at(m_position) == QLatin1Char('>')) {
                ++m_position;
                ++m_depth;
                return true;
            }
            if (at(QLatin1String("/>"))) {
                m_position += 2;
                return true;
            }
            if (++attributes > kMaxAttributesPerElement) {
                problem = QStringLiteral("an element at line %1 has more than %2 attributes")
                              .arg(lineOf(m_text, tagStart))
                              .arg(kMaxAttributesPerElement);
                return true;
            }
            if (!attribute(problem)) {
                return false;
            }
            if (!problem.isEmpty()) {
                return true;
            }
        }
    }

    // name = "value" or name = 'value'
    bool attribute(QString& problem)
    {
        const qsizetype nameStart = m_position;
        m_position = nameEnd(m_position);
        if (m_position == nameStart) {
            return false;
        }
        if (m_position - nameStart > kMaxMappingTextLength) {
            problem = textTooLong(nameStart);
            return true;
        }
        skipSpace();
        if (m_position >= m_text.size() || m_text.at(m_position) != QLatin1Char('=')) {
            return false;
        }
        ++m_position;
        skipSpace();
        if (m_position >= m_text.size()) {
            return false;
        }
        const QChar quote = m_text.at(m_position);
        if (quote != QLatin1Char('"') && quote != QLatin1Char('\'')) {
            return false;
        }
        const qsizetype end = m_text.indexOf(quote, m_position + 1);
        if (end < 0) {
            return false;
        }
        if (end - m_position - 1 > kMaxMappingTextLength) {
            problem = textTooLong(m_position);
        }
        m_position = end + 1;
        return true;
    }

    const QString& m_text;
    qsizetype m_position = 0;
    int m_depth = 0;
    int m_elements = 0;
    int m_mappings = 0;
    int m_mappingConditions = 0;
    int m_conditions = 0;
    bool m_inMapping = false;
};

// After the limits hold, the XML reader confirms that the text is well-formed before the DOM parser
// builds anything from it.
QString wellFormedProblem(const QString& text)
{
    QXmlStreamReader reader(text);
    int depth = 0;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::DTD:
            return QStringLiteral("it is not a mapping file (it holds a document type declaration)");
        case QXmlStreamReader::StartElement:
            // Also checked by the scanner; kept here so that the DOM parser never recurses deeper.
            if (++depth > kMaxMappingFileDepth) {
                return QStringLiteral("it is not a mapping file (its elements nest deeper than %1 levels, line %2)")
                    .arg(kMaxMappingFileDepth)
                    .arg(reader.lineNumber());
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
        return QStringLiteral("it is not a mapping file (not well-formed XML: %1 at line %2, column %3)")
            .arg(reader.errorString())
            .arg(reader.lineNumber())
            .arg(reader.columnNumber());
    }
    return {};
}

void setReason(QString* reason, const QString& text)
{
    if (reason != nullptr) {
        *reason = text;
    }
}

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
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

SenMapping readMapping(const QDomElement& e)
{
    SenMapping m(e.attribute(QStringLiteral("name")), nullptr);
    m.setEnabled(asOne(e.attribute(QStringLiteral("enabled"))));
    m.setKeys(e.attribute(QStringLiteral("keys")));
    m.setSendOnce(asOne(e.attribute(QStringLiteral("sendOnce"))));
    m.setSendToFocus(asOne(e.attribute(QStringLiteral("sendToFocus"))));
    m.setAppTitle(e.attribute(QStringLiteral("targetApp")));
    m.setAppClass(e.attribute(QStringLiteral("targetClass")));
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
        start += timingAttributes(*m);
        // Optional: older readers ignore it, and a file without a class is written as it always was.
        if (!m->appClass().isEmpty()) {
            start += QStringLiteral(" targetClass=\"%1\"").arg(escape(m->appClass()));
        }
        start += QLatin1Char('>');
        lines.append(start);
        for (int c = 0; c < m->conditionCount(); ++c) {
            lines.append(conditionToXml(m->condition(c), level + 2));
        }
        lines.append(QStringLiteral("%1</%2>").arg(mappingIndent, kMappingElement));
    }
    lines.append(QStringLiteral("%1</%2>\n").arg(indent(level), kModelElement));
    return lines.join(QLatin1Char('\n'));
}

namespace {

// The limits of the reader, applied to a model before it is written, in the words of the user's rules.
QString modelProblem(const SenMappingModel& model)
{
    if (model.mappingCount() > kMaxMappings) {
        return QStringLiteral("it has more than %1 rules").arg(kMaxMappings);
    }
    // Measured as written: escapes make a text longer.
    const auto tooLong = [](const QString& text) { return escape(text).size() > kMaxMappingTextLength; };
    if (tooLong(model.objectName())) {
        return QStringLiteral("its name is longer than %1 characters").arg(kMaxMappingTextLength);
    }
    int conditions = 0;
    for (int i = 0; i < model.mappingCount(); ++i) {
        const SenMapping* m = model.mapping(i);
        if (m->conditionCount() > kMaxConditionsPerMapping) {
            return QStringLiteral("rule %1 has more than %2 conditions").arg(i + 1).arg(kMaxConditionsPerMapping);
        }
        conditions += m->conditionCount();
        if (tooLong(m->name()) || tooLong(m->keys()) || tooLong(m->appTitle())) {
            return QStringLiteral("the name, keys or window title of rule %1 is longer than %2 characters")
                .arg(i + 1)
                .arg(kMaxMappingTextLength);
        }
    }
    if (conditions > kMaxConditions) {
        return QStringLiteral("it has more than %1 conditions in all").arg(kMaxConditions);
    }
    return {};
}

} // namespace

bool saveMappingFile(const QString& fileName, const SenMappingModel* model, QString* reason)
{
    if (model == nullptr) {
        return false;
    }
    // What the reader would refuse is not written: a file saved here always loads again.
    QString problem = modelProblem(*model);
    const QString text = problem.isEmpty() ? modelToXml(model, 0) : QString();
    if (problem.isEmpty()) {
        problem = mappingTextProblem(text);
    }
    QStringEncoder encoder(QStringConverter::System);
    const QByteArray bytes = problem.isEmpty() ? encoder.encode(text) : QByteArray();
    if (problem.isEmpty() && encoder.hasError()) {
        problem = QStringLiteral("it holds characters that the system's encoding cannot write");
    } else if (problem.isEmpty() && bytes.size() > kMaxMappingFileSize) {
        problem = QStringLiteral("it would be larger than %1 MiB").arg(kMaxMappingFileSize / (1024 * 1024));
    }
    if (!problem.isEmpty()) {
        qDebug("Cannot write (%s): %s", qPrintable(fileName), qPrintable(problem));
        setReason(reason, problem);
        return false;
    }
    // Written beside the target and renamed over it, so a failed save never leaves half a file.
    QSaveFile file(fileName);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        const QString why = errno != 0 ? systemError(errno) : file.errorString();
        qDebug("Cannot open (%s) for writing: %s", qPrintable(fileName), qPrintable(why));
        setReason(reason, why);
        return false;
    }
    errno = 0;
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        const QString why = errno != 0 ? systemError(errno) : file.errorString();
        qDebug("Cannot write (%s): %s", qPrintable(fileName), qPrintable(why));
        setReason(reason, why);
        return false;
    }
    return true;
}

bool loadMappingFile(const QString& fileName, SenMappingModel* model, QString* reason)
{
    if (model == nullptr) {
        return false;
    }
    QFile file(fileName);
    errno = 0;
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        const QString why = errno != 0 ? systemError(errno) : file.errorString();
        qDebug("Cannot open (%s) for reading: %s", qPrintable(fileName), qPrintable(why));
        setReason(reason, QStringLiteral("it cannot be read (%1)").arg(why));
        return false;
    }
    // Read one byte past the limit so that an oversized file (or one that grows) is noticed.
    const QByteArray bytes = file.read(kMaxMappingFileSize + 1);
    if (bytes.size() > kMaxMappingFileSize) {
        const QString why = QStringLiteral("it is larger than %1 MiB").arg(kMaxMappingFileSize / (1024 * 1024));
        qDebug("Error analysing text : (%s) %s", qPrintable(fileName), qPrintable(why));
        setReason(reason, why);
        return false;
    }
    QStringDecoder decoder(QStringConverter::System);
    const QString text = decoder.decode(bytes);
    if (decoder.hasError()) {
        qDebug("Error analysing text : (%s) is not in the system encoding", qPrintable(fileName));
        setReason(reason, QStringLiteral("it is not in the system's encoding"));
        return false;
    }
    return parseModelXml(text, model, reason);
}

QString mappingTextProblem(const QString& text)
{
    if (text.size() > kMaxMappingFileSize) {
        return QStringLiteral("it is larger than %1 MiB").arg(kMaxMappingFileSize / (1024 * 1024));
    }
    QString problem = LimitScanner(text).problem();
    return problem.isEmpty() ? wellFormedProblem(text) : problem;
}

bool parseModelXml(const QString& text, SenMappingModel* model, QString* reason)
{
    if (model == nullptr) {
        return false;
    }
    if (const QString problem = mappingTextProblem(text); !problem.isEmpty()) {
        qDebug("Error analysing text : %s", qPrintable(problem));
        setReason(reason, problem);
        return false;
    }
    QDomDocument document;
    QString message;
    int line = 0;
    int column = 0;
    if (!document.setContent(text, &message, &line, &column)) {
        qDebug("Error analysing text : %s, at line %d column %d", qPrintable(message), line, column);
        setReason(reason, QStringLiteral("it is not a mapping file (not well-formed XML: %1 at line %2, column %3)")
                              .arg(message)
                              .arg(line)
                              .arg(column));
        return false;
    }
    const QDomElement root = document.documentElement();
    if (root.tagName() != kModelElement) {
        qDebug("class type miss match : (%s) in XML vs (%s) in QObject", qPrintable(root.tagName()),
               qPrintable(kModelElement));
        setReason(reason, QStringLiteral("it is not a mapping file (its root element is <%1>)").arg(root.tagName()));
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
