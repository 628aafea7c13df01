#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "MappingFile.h"
#include "SenMappingModel.h"

namespace {

const char* const kExample =
    "<SenMappingModel mappingName=\"example.skm\" >\n"
    "    <SenMapping enabled=\"1\" name=\"Rule 1\" keys=\"a\" sendOnce=\"1\" sendToFocus=\"1\" targetApp=\"\" "
    "sendHotKeys=\"0\" ctrlKey=\"0\" altKey=\"0\" shiftKey=\"0\" winKey=\"0\" enterKey=\"0\" hotKey=\"0\" "
    "holdKey=\"0\" holdTime=\"20\" triggerDelayTime=\"20\" player=\"0\" mouseclickset=\"0\" mousebutnum=\"-1\">\n"
    "        <SenStateCondition>\n"
    "            <enabled value=\"1\" />\n"
    "            <action value=\"0\" />\n"
    "            <threshold type=\"bool\" value=\"true\" />\n"
    "            <actionRule value=\"0\" />\n"
    "        </SenStateCondition>\n"
    "        <SenStateCondition>\n"
    "            <enabled value=\"1\" />\n"
    "            <action value=\"19\" />\n"
    "            <threshold type=\"double\" value=\"0.2\" />\n"
    "            <actionRule value=\"2\" />\n"
    "        </SenStateCondition>\n"
    "    </SenMapping>\n"
    "</SenMappingModel>\n";

// The one mapping of the example: type "a" when both eyes are closed while Push is above 0.2.
void fillExample(SenMappingModel& model)
{
    model.setObjectName(QStringLiteral("example.skm"));
    SenMapping rule(QStringLiteral("Rule 1"), nullptr);
    rule.setKeys(QStringLiteral("a"));
    model.addMapping(rule);
    model.addCondition(0, SenStateCondition(SenAction::Blink, nullptr));
    SenStateCondition push(SenAction::Push, nullptr);
    push.setActionRule(SenActionRule::GreaterThan);
    model.addCondition(0, push);
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QString mappingElement(const QString& attributes, const QString& body = QString())
{
    return QStringLiteral("<SenMappingModel mappingName=\"m\" >\n<SenMapping %1>%2</SenMapping>\n</SenMappingModel>\n")
        .arg(attributes, body);
}

const QString kAllNeeded = QStringLiteral(
    "enabled=\"1\" name=\"n\" keys=\"k\" sendOnce=\"1\" sendToFocus=\"1\" targetApp=\"\" sendHotKeys=\"0\" "
    "ctrlKey=\"0\" altKey=\"0\" shiftKey=\"0\" winKey=\"0\" hotKey=\"0\" holdKey=\"0\" holdTime=\"20\" "
    "triggerDelayTime=\"20\"");

QString conditionElement(const QString& children)
{
    return QStringLiteral("<SenStateCondition>%1</SenStateCondition>").arg(children);
}

const QString kGoodChildren = QStringLiteral("<enabled value=\"1\" /><action value=\"19\" />"
                                             "<threshold type=\"double\" value=\"0.5\" /><actionRule value=\"2\" />");

void expectSameMapping(const SenMapping& a, const SenMapping& b)
{
    EXPECT_EQ(a.name(), b.name());
    EXPECT_EQ(a.enabled(), b.enabled());
    EXPECT_EQ(a.playerNum(), b.playerNum());
    EXPECT_EQ(a.sendOnce(), b.sendOnce());
    EXPECT_EQ(a.sendToFocus(), b.sendToFocus());
    EXPECT_EQ(a.sendHotKeys(), b.sendHotKeys());
    EXPECT_EQ(a.ctrlKey(), b.ctrlKey());
    EXPECT_EQ(a.altKey(), b.altKey());
    EXPECT_EQ(a.shiftKey(), b.shiftKey());
    EXPECT_EQ(a.winKey(), b.winKey());
    EXPECT_EQ(a.mouseclickset(), b.mouseclickset());
    EXPECT_EQ(a.mousebutnum(), b.mousebutnum());
    EXPECT_EQ(a.hotKey(), b.hotKey());
    EXPECT_EQ(a.holdKey(), b.holdKey());
    EXPECT_EQ(a.enterKey(), b.enterKey());
    EXPECT_EQ(a.holdTime(), b.holdTime());
    EXPECT_EQ(a.triggerDelayTime(), b.triggerDelayTime());
    EXPECT_EQ(a.keys(), b.keys());
    EXPECT_EQ(a.appTitle(), b.appTitle());
    EXPECT_EQ(a.dwellTime(), b.dwellTime());
    EXPECT_EQ(a.cooldownTime(), b.cooldownTime());
    EXPECT_EQ(a.rearmTime(), b.rearmTime());
    EXPECT_EQ(a.pauseToggle(), b.pauseToggle());
    ASSERT_EQ(a.conditionCount(), b.conditionCount());
    for (int i = 0; i < a.conditionCount(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(a.condition(i)->enabled(), b.condition(i)->enabled());
        EXPECT_EQ(a.condition(i)->actionType(), b.condition(i)->actionType());
        EXPECT_EQ(a.condition(i)->actionRule().rule(), b.condition(i)->actionRule().rule());
        EXPECT_EQ(a.condition(i)->threshold(), b.condition(i)->threshold());
        EXPECT_EQ(a.condition(i)->releaseLevel(), b.condition(i)->releaseLevel());
        EXPECT_EQ(a.condition(i)->smoothingTime(), b.condition(i)->smoothingTime());
    }
}

// Counts the reader's complaints about bad settings while it lives.
class BadSettingLines
{
public:
    BadSettingLines() { s_count = 0, m_previous = qInstallMessageHandler(&count); }
    ~BadSettingLines() { qInstallMessageHandler(m_previous); }
    int count() const { return s_count; }

private:
    static void count(QtMsgType, const QMessageLogContext&, const QString& message)
    {
        s_count += message.startsWith(QLatin1String("Bad ")) ? 1 : 0;
    }

    static inline int s_count = 0;
    QtMessageHandler m_previous;
};

class MappingFile : public ::testing::Test
{
protected:
    QString path(const QString& name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
};

} // namespace

TEST_F(MappingFile, ExampleIsWrittenByteForByteAndReadBack)
{
    SenMappingModel model;
    fillExample(model);
    EXPECT_EQ(modelToXml(&model, 0), QString::fromLatin1(kExample));

    ASSERT_TRUE(saveMappingFile(path("example.skm"), &model));
    EXPECT_EQ(readAll(path("example.skm")), QByteArray(kExample));
    EXPECT_EQ(readAll(QStringLiteral(SENKEY_EXAMPLES_DIR "/example.skm")), QByteArray(kExample));

    SenMappingModel loaded;
    ASSERT_TRUE(loadMappingFile(QStringLiteral(SENKEY_EXAMPLES_DIR "/example.skm"), &loaded));
    EXPECT_EQ(loaded.objectName(), QStringLiteral("example.skm"));
    ASSERT_EQ(loaded.mappingCount(), 1);
    expectSameMapping(*loaded.mapping(0), *model.mapping(0));
    EXPECT_EQ(modelToXml(&loaded, 0), QString::fromLatin1(kExample));
}

TEST_F(MappingFile, EveryExampleFileLoadsAndSavesUnchanged)
{
    const QStringList files = QDir(QStringLiteral(SENKEY_EXAMPLES_DIR)).entryList({"*.skm"}, QDir::Files);
    ASSERT_FALSE(files.isEmpty());
    for (const QString& name : files) {
        SCOPED_TRACE(name.toStdString());
        const QString source = QStringLiteral(SENKEY_EXAMPLES_DIR "/") + name;
        SenMappingModel model;
        ASSERT_TRUE(loadMappingFile(source, &model));
        EXPECT_GT(model.mappingCount(), 0);
        ASSERT_TRUE(saveMappingFile(path(name), &model));
        EXPECT_EQ(readAll(path(name)), readAll(source));
    }
}

TEST_F(MappingFile, EmptyModelAndNullArguments)
{
    SenMappingModel model;
    EXPECT_EQ(modelToXml(&model, 0), QStringLiteral("<SenMappingModel mappingName=\"\" >\n</SenMappingModel>\n"));
    EXPECT_TRUE(modelToXml(nullptr, 0).isEmpty());
    EXPECT_TRUE(conditionToXml(nullptr, 2).isEmpty());
    EXPECT_FALSE(saveMappingFile(path("x.skm"), nullptr));
    EXPECT_FALSE(QFile::exists(path("x.skm")));
    EXPECT_FALSE(loadMappingFile(QStringLiteral(SENKEY_EXAMPLES_DIR "/example.skm"), nullptr));
    EXPECT_FALSE(loadMappingFile(path("missing.skm"), &model));
    EXPECT_FALSE(saveMappingFile(path("no/such/folder/x.skm"), &model));

    SenStateCondition condition(SenAction::Lift, nullptr);
    condition.setThreshold(0.35);
    EXPECT_EQ(conditionToXml(&condition, 1), QStringLiteral("    <SenStateCondition>\n"
                                                            "        <enabled value=\"1\" />\n"
                                                            "        <action value=\"21\" />\n"
                                                            "        <threshold type=\"double\" value=\"0.35\" />\n"
                                                            "        <actionRule value=\"0\" />\n"
                                                            "    </SenStateCondition>"));
}

TEST_F(MappingFile, SaveAndLoadKeepEveryFieldButWindowAndLatch)
{
    SenMappingModel model(QStringLiteral("a&b<c>\"d\".skm"), nullptr);
    SenMapping full(QStringLiteral("Tom & \"Jerry\" <3>"), nullptr);
    full.setEnabled(false);
    full.setPlayerNum(1);
    full.setSendOnce(false);
    full.setSendToFocus(false);
    full.setSendHotKeys(true);
    full.setCtrlKey(true);
    full.setAltKey(true);
    full.setShiftKey(true);
    full.setWinKey(true);
    full.setMouseclickset(true);
    full.setMousebutnum(4);
    full.setHotKey(0x01000034);
    full.setHoldKey(true);
    full.setEnterKey(true);
    full.setHoldTime(1234);
    full.setTriggerDelayTime(4294967295U);
    full.setKeys(QStringLiteral("a&<>\"b\nc\td  é€日本"));
    full.setAppTitle(QStringLiteral("  Untitled & <Editor>  "));
    full.setWindowHandle(0x4400007);
    full.setAlreadySent(true);
    full.setDwellTime(300);
    full.setCooldownTime(600000);
    full.setRearmTime(1);
    model.addMapping(full);

    const struct {
        SenAction::ActionType type;
        QVariant threshold;
        int rule;
        bool enabled;
    } conditions[] = {
        {SenAction::Push, 0.123456789012345, SenActionRule::LessThan, true},
        {SenAction::Smile, 1e-07, SenActionRule::NotEqual, false},
        {SenAction::Blink, false, SenActionRule::NotEqual, true},
        {SenAction::Interest, QVariant(), SenActionRule::Equal, true},
        {SenAction::Disappear, -2.5e+300, 7, true},
    };
    for (const auto& c : conditions) {
        SenStateCondition condition(c.type, nullptr);
        condition.setThreshold(c.threshold);
        condition.setActionRule(static_cast<SenActionRule::Rule>(c.rule));
        condition.setEnabled(c.enabled);
        model.addCondition(0, condition);
    }
    model.mapping(0)->condition(0)->setReleaseLevel(0.987654321098765);
    model.mapping(0)->condition(1)->setSmoothingTime(25);
    model.addMapping(SenMapping(QString(), nullptr));

    ASSERT_TRUE(saveMappingFile(path("full.skm"), &model));
    const QByteArray bytes = readAll(path("full.skm"));
    EXPECT_TRUE(bytes.contains("value=\"1e-07\""));
    EXPECT_TRUE(bytes.contains("type=\"bool\" value=\"false\""));
    EXPECT_TRUE(bytes.contains("type=\"\" value=\"\""));
    EXPECT_TRUE(bytes.contains(QStringLiteral("d  é€日本").toUtf8())) << "the system encoding here is UTF-8";
    EXPECT_FALSE(bytes.startsWith("\xEF\xBB\xBF"));

    SenMappingModel loaded;
    ASSERT_TRUE(loadMappingFile(path("full.skm"), &loaded));
    EXPECT_EQ(loaded.objectName(), model.objectName());
    ASSERT_EQ(loaded.mappingCount(), 2);
    expectSameMapping(*loaded.mapping(0), *model.mapping(0));
    expectSameMapping(*loaded.mapping(1), *model.mapping(1));
    EXPECT_EQ(loaded.mapping(0)->windowHandle(), 0U);
    EXPECT_FALSE(loaded.mapping(0)->alreadySent());

    // Saving what was loaded gives the same bytes again.
    ASSERT_TRUE(saveMappingFile(path("again.skm"), &loaded));
    EXPECT_EQ(readAll(path("again.skm")), bytes);
}

TEST_F(MappingFile, SavingReplacesTheWholeFile)
{
    ASSERT_TRUE(writeAll(path("old.skm"), QByteArray(100000, 'x')));
    SenMappingModel model;
    ASSERT_TRUE(saveMappingFile(path("old.skm"), &model));
    EXPECT_EQ(readAll(path("old.skm")), QByteArray("<SenMappingModel mappingName=\"\" >\n</SenMappingModel>\n"));
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files), QStringList{"old.skm"}) << "no temporary file left";
}

TEST_F(MappingFile, ReaderTakesAttributesAsWritten)
{
    SenMappingModel model;
    const QString optionalMissing = mappingElement(kAllNeeded);
    const QString sparse = mappingElement(
        QString(kAllNeeded).replace("sendOnce=\"1\"", "sendOnce=\"true\"").replace("ctrlKey=\"0\"", "ctrlKey=\"2\"") +
        QStringLiteral(" enterKey=\"yes\" player=\"-3\" mouseclickset=\"1\" mousebutnum=\"9\" hotKey=\"x\""));
    ASSERT_TRUE(parseModelXml(optionalMissing, &model));
    ASSERT_TRUE(parseModelXml(QString(sparse).replace(" hotKey=\"x\"", ""), &model));
    ASSERT_EQ(model.mappingCount(), 2);

    const SenMapping* a = model.mapping(0);
    EXPECT_FALSE(a->enterKey());
    EXPECT_EQ(a->playerNum(), 0);
    EXPECT_FALSE(a->mouseclickset());
    EXPECT_EQ(a->mousebutnum(), 0) << "a missing mousebutnum reads as 0, not -1";
    EXPECT_TRUE(a->sendOnce());
    EXPECT_EQ(a->keys(), QStringLiteral("k"));

    const SenMapping* b = model.mapping(1);
    EXPECT_FALSE(b->sendOnce()) << "only the number 1 is true";
    EXPECT_FALSE(b->ctrlKey());
    EXPECT_FALSE(b->enterKey());
    EXPECT_EQ(b->playerNum(), -3);
    EXPECT_TRUE(b->mouseclickset());
    EXPECT_EQ(b->mousebutnum(), 9);
}

TEST_F(MappingFile, MappingWithoutANeededAttributeIsSkippedAlone)
{
    const QString text =
        QStringLiteral("<SenMappingModel mappingName=\"m\" >"
                       "<SenMapping %1>%3</SenMapping>"
                       "<!-- a note -->"
                       "<Other/>"
                       "<SenMapping %2>%3</SenMapping>"
                       "</SenMappingModel>")
            .arg(QString(kAllNeeded).replace("winKey=\"0\" ", ""),
                 QString(kAllNeeded).replace("name=\"n\"", "name=\"kept\""), conditionElement(kGoodChildren));
    SenMappingModel model;
    ASSERT_TRUE(parseModelXml(text, &model));
    ASSERT_EQ(model.mappingCount(), 1);
    EXPECT_EQ(model.mapping(0)->name(), QStringLiteral("kept"));
    EXPECT_EQ(model.mapping(0)->conditionCount(), 1);
    EXPECT_EQ(model.objectName(), QStringLiteral("m"));
}

TEST_F(MappingFile, BadConditionsAreDroppedAndTheirMappingKept)
{
    const QString children3 =
        QStringLiteral("<enabled value=\"1\" /><action value=\"19\" /><actionRule value=\"2\" />");
    const struct {
        const char* what;
        QString body;
    } bad[] = {
        {"three children", conditionElement(children3)},
        {"five children", conditionElement(kGoodChildren + "<enabled value=\"1\" />")},
        {"a comment as fourth child", conditionElement(children3 + "<!-- x -->")},
        {"text as fourth child", conditionElement(children3 + "text")},
        {"an unknown child", conditionElement(children3 + "<colour value=\"1\" />")},
        {"another element name", QStringLiteral("<Condition>%1</Condition>").arg(kGoodChildren)},
    };
    for (const auto& c : bad) {
        SCOPED_TRACE(c.what);
        SenMappingModel model;
        ASSERT_TRUE(parseModelXml(mappingElement(kAllNeeded, c.body + conditionElement(kGoodChildren)), &model));
        ASSERT_EQ(model.mappingCount(), 1);
        ASSERT_EQ(model.mapping(0)->conditionCount(), 1);
        EXPECT_EQ(model.mapping(0)->condition(0)->threshold().toDouble(), 0.5);
    }

    SenStateCondition condition;
    EXPECT_FALSE(parseCondition(QDomNode(), &condition));
    EXPECT_FALSE(parseCondition(QDomNode(), nullptr));
}

TEST_F(MappingFile, ConditionValuesAreTakenAsTheyAre)
{
    const struct {
        const char* children;
        bool enabled;
        int action;
        QVariant threshold;
        int rule;
    } cases[] = {
        {R"(<enabled value="2" /><action value="40" /><threshold type="int" value="3" /><actionRule value="7" />)",
         true, -1, QVariant(), 7},
        {R"(<enabled value="0" /><action value="21" /><threshold type="double" value="abc" /><actionRule value="3" />)",
         false, 21, 0.0, 3},
        {R"(<enabled value="x" /><action value="5" /><threshold type="bool" value="True" /><actionRule value="1" />)",
         false, 5, false, 1},
        {R"(<enabled value="1" /><action value="19" /><threshold type="double" value="1e400" /><actionRule value="2" />)",
         true, 19, 0.0, 2},
        // Any order; a repeated child is applied again and the later one wins.
        {R"(<actionRule value="2" /><threshold type="double" value="0.75" /><action value="19" /><action value="20" />)",
         true, 20, 0.75, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.children);
        SenMappingModel model;
        ASSERT_TRUE(parseModelXml(mappingElement(kAllNeeded, conditionElement(QString::fromUtf8(c.children))), &model));
        ASSERT_EQ(model.mapping(0)->conditionCount(), 1);
        const SenStateCondition* read = model.mapping(0)->condition(0);
        EXPECT_EQ(read->enabled(), c.enabled);
        EXPECT_EQ(read->actionType(), c.action);
        EXPECT_EQ(read->threshold(), c.threshold);
        EXPECT_EQ(read->actionRule().rule(), c.rule);
    }
}

TEST_F(MappingFile, TextsThatAreNotMappingFilesAreRefused)
{
    QString deep;
    for (int i = 0; i < 40000; ++i) {
        deep += QStringLiteral("<a>");
    }
    const QString laughs = QStringLiteral(
        "<?xml version=\"1.0\"?>\n<!DOCTYPE SenMappingModel [\n<!ENTITY a \"aaaaaaaaaaaaaaaaaaaa\">\n"
        "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">\n<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">\n"
        "<!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\">\n<!ENTITY e \"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\">\n"
        "<!ENTITY f \"&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;\">\n<!ENTITY g \"&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;\">\n"
        "<!ENTITY h \"&g;&g;&g;&g;&g;&g;&g;&g;&g;&g;\">\n<!ENTITY i \"&h;&h;&h;&h;&h;&h;&h;&h;&h;&h;\">\n]>\n"
        "<SenMappingModel mappingName=\"&i;\" ></SenMappingModel>\n");
    const QString example = QString::fromLatin1(kExample);
    const struct {
        const char* what;
        QString text;
    } cases[] = {
        {"plain text", QStringLiteral("hello")},
        {"empty", QString()},
        {"truncated", example.left(example.size() / 2)},
        {"another root",
         QStringLiteral("<MappingModel mappingName=\"x\" >%1</MappingModel>").arg(mappingElement(kAllNeeded))},
        {"a billion laughs", laughs},
        {"40000 levels deep", deep},
        {"65 levels deep",
         mappingElement(kAllNeeded, QStringLiteral("<a>").repeated(62) + "<b/>" + QStringLiteral("</a>").repeated(62))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SenMappingModel model(QStringLiteral("kept"), nullptr);
        EXPECT_FALSE(parseModelXml(c.text, &model));
        EXPECT_EQ(model.mappingCount(), 0);
        EXPECT_EQ(model.objectName(), QStringLiteral("kept"));

        ASSERT_TRUE(writeAll(path("bad.skm"), c.text.toUtf8()));
        EXPECT_FALSE(loadMappingFile(path("bad.skm"), &model));
        EXPECT_EQ(model.mappingCount(), 0);
    }

    // 64 levels are still a mapping file: root, mapping and 62 unknown levels inside it.
    SenMappingModel model;
    EXPECT_TRUE(parseModelXml(
        mappingElement(kAllNeeded, QStringLiteral("<a>").repeated(61) + "<b/>" + QStringLiteral("</a>").repeated(61)),
        &model));
    EXPECT_EQ(model.mappingCount(), 1);
}

TEST_F(MappingFile, FilesInAnotherEncodingOrTooLargeAreRefused)
{
    SenMappingModel model;
    QByteArray latin1 = QByteArray(kExample).replace("Rule 1", "R\xE8gle 1");
    ASSERT_TRUE(writeAll(path("latin1.skm"), latin1));
    EXPECT_FALSE(loadMappingFile(path("latin1.skm"), &model));

    QByteArray huge = QByteArray(kExample);
    huge.insert(huge.indexOf("</SenMappingModel>"), QByteArray(kMaxMappingFileSize, ' '));
    ASSERT_TRUE(writeAll(path("huge.skm"), huge));
    EXPECT_FALSE(loadMappingFile(path("huge.skm"), &model));
    EXPECT_EQ(model.mappingCount(), 0);

    ASSERT_TRUE(writeAll(path("utf8.skm"), QByteArray(kExample).replace("Rule 1", "R\xC3\xA8gle 1")));
    ASSERT_TRUE(loadMappingFile(path("utf8.skm"), &model));
    EXPECT_EQ(model.mapping(0)->name(), QStringLiteral("Règle 1"));
}

TEST_F(MappingFile, ConditioningIsWrittenOnlyWhenSetAndReadBack)
{
    SenMappingModel model;
    fillExample(model);
    EXPECT_EQ(modelToXml(&model, 0), QString::fromLatin1(kExample)) << "defaults add no attribute";

    SenMapping* rule = model.mapping(0);
    rule->setDwellTime(300);
    rule->setRearmTime(200);
    SenStateCondition* push = rule->condition(1);
    push->setThreshold(0.5);
    push->setReleaseLevel(0.35);
    push->setSmoothingTime(150);
    const QString text = modelToXml(&model, 0);
    EXPECT_TRUE(text.contains("mousebutnum=\"-1\" dwellTime=\"300\" rearmTime=\"200\">")) << qPrintable(text);
    EXPECT_TRUE(text.contains("<threshold type=\"double\" value=\"0.5\" release=\"0.35\" smoothing=\"150\" />"));
    EXPECT_TRUE(text.contains("<threshold type=\"bool\" value=\"true\" />"));

    SenMappingModel back;
    ASSERT_TRUE(parseModelXml(text, &back));
    ASSERT_EQ(back.mappingCount(), 1);
    const SenMapping* read = back.mapping(0);
    EXPECT_EQ(read->dwellTime(), 300U);
    EXPECT_EQ(read->cooldownTime(), 0U);
    EXPECT_EQ(read->rearmTime(), 200U);
    EXPECT_EQ(read->condition(1)->releaseLevel(), std::optional<double>(0.35));
    EXPECT_EQ(read->condition(1)->smoothingTime(), 150U);
    EXPECT_EQ(read->condition(0)->releaseLevel(), std::nullopt);
    EXPECT_EQ(modelToXml(&back, 0), text);
}

TEST_F(MappingFile, PauseRuleIsWrittenOnlyWhenSetAndBadValuesReadAsNone)
{
    SenMappingModel model;
    fillExample(model);
    model.mapping(0)->setPauseToggle(true);
    const QString text = modelToXml(&model, 0);
    EXPECT_TRUE(text.contains("mousebutnum=\"-1\" pauseToggle=\"1\">")) << qPrintable(text);
    SenMappingModel back;
    ASSERT_TRUE(parseModelXml(text, &back));
    EXPECT_TRUE(back.mapping(0)->pauseToggle());
    EXPECT_EQ(modelToXml(&back, 0), text);

    const struct {
        const char* value;
        bool pause;
        int debugLines;
    } cases[] = {{"1", true, 0}, {"0", false, 0}, {"yes", false, 1}, {"2", false, 1}, {"", false, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        SenMappingModel read;
        const BadSettingLines lines;
        const QString attributes = kAllNeeded + QStringLiteral(" pauseToggle=\"%1\"").arg(QLatin1String(c.value));
        ASSERT_TRUE(parseModelXml(mappingElement(attributes, QString()), &read));
        ASSERT_EQ(read.mappingCount(), 1);
        EXPECT_EQ(read.mapping(0)->pauseToggle(), c.pause);
        EXPECT_EQ(lines.count(), c.debugLines);
    }
}

TEST_F(MappingFile, BadConditioningReadsAsDefaultWithOneDebugLine)
{
    struct Case {
        const char* name;
        QString mappingAttributes;
        QString threshold;
        uint dwell, cooldown, rearm, smoothing;
        std::optional<double> release;
        int debugLines;
    };
    const QString greater = QStringLiteral("<actionRule value=\"2\" />");
    const QString less = QStringLiteral("<actionRule value=\"3\" />");
    const std::vector<Case> cases{
        {"good values", " dwellTime=\"600000\" cooldownTime=\"1\" rearmTime=\"0\"",
         "type=\"double\" value=\"0.5\" release=\"0.35\" smoothing=\"150\"", 600000, 1, 0, 150, 0.35, 0},
        {"negative", " dwellTime=\"-5\"", "type=\"double\" value=\"0.5\" smoothing=\"-1\"", 0, 0, 0, 0, {}, 2},
        {"not a number", " cooldownTime=\"soon\"", "type=\"double\" value=\"0.5\" release=\"low\"", 0, 0, 0, 0, {}, 2},
        {"above the limit",
         " rearmTime=\"600001\"",
         "type=\"double\" value=\"0.5\" smoothing=\"4294967296\"",
         0,
         0,
         0,
         0,
         {},
         2},
        {"release above the threshold of greater-than",
         "",
         "type=\"double\" value=\"0.5\" release=\"0.6\"",
         0,
         0,
         0,
         0,
         {},
         1},
        {"release at the threshold", "", "type=\"double\" value=\"0.5\" release=\"0.5\"", 0, 0, 0, 0, 0.5, 0},
        {"release not a finite number", "", "type=\"double\" value=\"0.5\" release=\"nan\"", 0, 0, 0, 0, {}, 1},
        {"release on a boolean threshold", "", "type=\"bool\" value=\"true\" release=\"0.1\"", 0, 0, 0, 0, {}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString condition =
            conditionElement(QStringLiteral("<enabled value=\"1\" /><action value=\"7\" /><threshold %1 />%2")
                                 .arg(c.threshold, greater));
        SenMappingModel model;
        const BadSettingLines lines;
        ASSERT_TRUE(parseModelXml(mappingElement(kAllNeeded + c.mappingAttributes, condition), &model));
        EXPECT_EQ(lines.count(), c.debugLines);
        ASSERT_EQ(model.mappingCount(), 1);
        const SenMapping* m = model.mapping(0);
        EXPECT_EQ(m->dwellTime(), c.dwell);
        EXPECT_EQ(m->cooldownTime(), c.cooldown);
        EXPECT_EQ(m->rearmTime(), c.rearm);
        ASSERT_EQ(m->conditionCount(), 1) << "a bad setting never drops its condition";
        EXPECT_EQ(m->condition(0)->smoothingTime(), c.smoothing);
        EXPECT_EQ(m->condition(0)->releaseLevel(), c.release);
    }

    // The side of the release level follows the rule, whatever order the children come in.
    SenMappingModel model;
    const QString lessThan =
        conditionElement(less + QStringLiteral("<enabled value=\"1\" /><action value=\"7\" />"
                                               "<threshold type=\"double\" value=\"0.3\" release=\"0.45\" />"));
    const QString blink = conditionElement(QStringLiteral("<enabled value=\"1\" /><action value=\"0\" />"
                                                          "<threshold type=\"bool\" value=\"true\" smoothing=\"50\" />"
                                                          "<actionRule value=\"0\" />"));
    ASSERT_TRUE(parseModelXml(mappingElement(kAllNeeded, lessThan + blink), &model));
    ASSERT_EQ(model.mapping(0)->conditionCount(), 2);
    EXPECT_EQ(model.mapping(0)->condition(0)->releaseLevel(), std::optional<double>(0.45));
    EXPECT_EQ(model.mapping(0)->condition(1)->smoothingTime(), 0U) << "a detection without strength is not smoothed";
}
