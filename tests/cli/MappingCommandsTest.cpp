#include "MappingCommands.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "MappingSummary.h"
#include "SenMapping.h"

namespace {

const QString kDemo = QStringLiteral(SENKEY_SOURCE_DIR "/examples/demo.skm");

QByteArray readAll(const QString& name)
{
    QFile file(name);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
    return file.readAll();
}

void writeFile(const QString& name, const QByteArray& bytes)
{
    QFile file(name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray contents(std::FILE* file)
{
    std::fflush(file);
    std::rewind(file);
    QByteArray all;
    char buffer[4096];
    while (std::size_t n = std::fread(buffer, 1, sizeof buffer, file)) {
        all.append(buffer, static_cast<qsizetype>(n));
    }
    return all;
}

} // namespace

TEST(MappingCommands, WritingBackTheDemoFileReproducesItByteForByte)
{
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("copy.skm"));
    EXPECT_EQ(writeMappings(kDemo, out, stderr), ExitOk);
    EXPECT_EQ(readAll(out), readAll(kDemo));

    EXPECT_EQ(writeMappings(kDemo, dir.filePath(QStringLiteral("no/such/dir/x.skm")), stderr), ExitFailure);
}

TEST(MappingCommands, CheckPrintsEveryRuleWithItsConditionsAndEmission)
{
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    EXPECT_EQ(checkMappings(kDemo, out, err), ExitOk);
    EXPECT_EQ(contents(out).toStdString(),
              "1. \"Blink types hi\" [player 0, enabled, once per activation]\n"
              "   when Blink occurs\n"
              "   -> types \"hi\" to the application in focus\n"
              "2. \"Push holds w\" [player 0, enabled, once per activation]\n"
              "   when Push is greater than 0.3\n"
              "   -> types \"w\", holding a single key while the rule holds to the application in focus\n"
              "3. \"Smile saves with Ctrl+S\" [player 0, enabled, once per activation]\n"
              "   when Smile is greater than 0.5\n"
              "   -> presses the hot key Ctrl + S to the application in focus\n"
              "4. \"Player 1 clench right-clicks\" [player 1, enabled, once per activation]\n"
              "   when Clench is greater than 0.5\n"
              "   -> sends a right click to the application in focus\n");
    EXPECT_TRUE(contents(err).isEmpty());
    std::fclose(out);
    std::fclose(err);
}

TEST(MappingCommands, CheckPrintsTheConditioningOfARule)
{
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    EXPECT_EQ(checkMappings(QStringLiteral(SENKEY_SOURCE_DIR "/examples/noisy-smile.skm"), out, err), ExitOk);
    EXPECT_EQ(contents(out).toStdString(),
              "1. \"Smile types s\" [player 0, enabled, once per activation, dwell 100 ms, cooldown 1000 ms, "
              "re-arm after 200 ms]\n"
              "   when Smile is greater than 0.5, release below 0.3, smoothed over 100 ms\n"
              "   -> types \"s\" to the application in focus\n");
    std::fclose(out);
    std::fclose(err);
}

TEST(MappingCommands, FilesThatAreNotMappingFilesAreRefusedWithAReason)
{
    QTemporaryDir dir;
    struct Case {
        const char* name;
        QByteArray bytes; // empty name: not created
        const char* reason;
    };
    const Case cases[] = {
        {"missing.skm", {}, "no such file"},
        {"notes.txt", "just some notes\n", "is not a mapping file"},
        {"other.xml", "<Other mappingName=\"x\" >\n</Other>\n", "is not a mapping file"},
        {"empty.skm", "", "is not a mapping file"},
        {"cut.skm", "<SenMappingModel mappingName=\"x\" >\n    <SenMapping enabled=", "is not a mapping file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QString::fromLatin1(c.name));
        if (QByteArray(c.reason) != "no such file") {
            writeFile(path, c.bytes);
        }
        std::FILE* out = std::tmpfile();
        std::FILE* err = std::tmpfile();
        EXPECT_EQ(checkMappings(path, out, err), ExitUsage);
        EXPECT_TRUE(contents(out).isEmpty());
        EXPECT_TRUE(contents(err).contains(c.reason)) << contents(err).toStdString();
        EXPECT_EQ(writeMappings(path, dir.filePath(QStringLiteral("out.skm")), err), ExitUsage);
        EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("out.skm"))));
        std::fclose(out);
        std::fclose(err);
    }
    std::FILE* err = std::tmpfile();
    EXPECT_EQ(checkMappings(dir.path(), stdout, err), ExitUsage);
    EXPECT_TRUE(contents(err).contains("cannot be read"));
    std::fclose(err);
}

TEST(MappingCommands, CheckShowsEveryCharacterThatIsNotPrintableEscaped)
{
    struct Case {
        QString keys;
        const char* shown;
    };
    const Case cases[] = {
        {QStringLiteral("hi\rxterm\r"), R"("hi\rxterm\r")"},
        {QStringLiteral("a\tb\nc"), R"("a\tb\nc")"},
        {QStringLiteral("quote \" and \\"), R"("quote \" and \\")"},
        {QString::fromUtf16(u"safe\u202Eexe.txt"), R"("safe\u202eexe.txt")"},
        {QString::fromUtf16(u"\u200B\u2066x\u2069\u00A0\u2028\x7F\x1B[2J"), R"("\u200b\u2066x\u2069\u00a0\u2028\u007f\u001b[2J")"},
        {QString::fromUtf16(u"\U000E0041 tag"), R"("\U000e0041 tag")"},
        {QString::fromUtf16(u"caf\u00E9 \u65E5\u672C"), "\"caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC\""},
    };
    for (const Case& c : cases) {
        SenMapping mapping(QStringLiteral("r"), nullptr);
        mapping.setKeys(c.keys);
        mapping.setSendToFocus(true);
        EXPECT_TRUE(describeMapping(0, mapping).contains(QStringLiteral("-> types %1 to").arg(QString::fromUtf8(c.shown))))
            << describeMapping(0, mapping).toStdString();
    }
}

TEST(MappingCommands, CheckOfAFileShowsTheCarriageReturnsItTypes)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("tricky.skm"));
    QByteArray text = readAll(kDemo);
    text.replace("keys=\"hi\"", "keys=\"hi&#13;xterm&#13;\"");
    text.replace("name=\"Blink types hi\"", "name=\"Blink&#x202E;ih sepyt\"");
    writeFile(path, text);
    std::FILE* out = std::tmpfile();
    EXPECT_EQ(checkMappings(path, out, stderr), ExitOk);
    const QByteArray shown = contents(out);
    EXPECT_TRUE(shown.startsWith("1. \"Blink\\u202eih sepyt\" [")) << shown.toStdString();
    EXPECT_TRUE(shown.contains("   -> types \"hi\\rxterm\\r\" to the application in focus\n")) << shown.toStdString();
    std::fclose(out);
}
