#include "SenKey.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QStatusBar>

#include "DesktopTestSupport.h"
#include "MappingFile.h"
#include "SenMapping.h"
#include "SenMappingModel.h"

namespace {

using SenKeyFiles = DesktopTest;

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

/// Fails the test, and closes the dialog so it cannot block, should a dialog come up.
QPointer<QTimer> expectNoDialog(bool* appeared)
{
    return answerNextModal(
        [appeared](QWidget* modal) {
            *appeared = true;
            if (auto* dialog = qobject_cast<QDialog*>(modal)) {
                dialog->reject();
            }
        },
        false);
}

TEST_F(SenKeyFiles, StartUpCreatesTheMappingFolderUnderHome)
{
    ASSERT_FALSE(QDir(mappingFolder()).exists());
    EXPECT_EQ(window().mappingFolderPath(), mappingFolder());
    EXPECT_TRUE(QDir(mappingFolder()).exists());
}

TEST_F(SenKeyFiles, EnteredNamesEndInSkm)
{
    const struct {
        const char* entered;
        const char* stored;
    } cases[] = {
        {"game", "game.skm"},
        {"game.skm", "game.skm"},
        {"game.SKM", "game.SKM.skm"},
        {"a.skm.b", "a.skm.b.skm"},
        {".skm.skm", ".skm.skm.skm"},
        {"a.skm.skm", "a.skm.skm.skm"},
        {"", ".skm"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SenKey::mappingFileName(QString::fromLatin1(c.entered)), c.stored) << c.entered;
    }
}

TEST_F(SenKeyFiles, FirstSaveAsksForANameLaterSavesDoNot)
{
    SenKey& w = window();
    child<QPushButton>("newMappingButton")->click();
    EXPECT_FALSE(w.isSaved());

    answerFileNameDialog(QStringLiteral("test"));
    child<QAction>("action_saveMapping")->trigger();
    const QString file = mappingFolder() + QStringLiteral("/test.skm");
    ASSERT_TRUE(QFile::exists(file));
    EXPECT_TRUE(w.isSaved());
    EXPECT_EQ(w.mappingModel()->objectName(), "test.skm");
    EXPECT_EQ(w.statusBar()->currentMessage(), "SenKey Mapping [test.skm] saved.");

    w.mappingModel()->mapping(0)->setName(QStringLiteral("renamed"));
    w.mappingModel()->triggerModelEdited();
    EXPECT_FALSE(w.isSaved());
    bool dialogAppeared = false;
    QPointer<QTimer> watch = expectNoDialog(&dialogAppeared);
    EXPECT_TRUE(w.saveMapping());
    delete watch.data();
    EXPECT_FALSE(dialogAppeared);
    EXPECT_TRUE(readAll(file).contains("name=\"renamed\""));

    // The dialog remembers the name typed before.
    QString shown;
    answerFileNameDialog(QStringLiteral("second"), true, &shown);
    EXPECT_TRUE(w.saveMappingAs());
    EXPECT_EQ(shown, "test");
    EXPECT_TRUE(QFile::exists(mappingFolder() + QStringLiteral("/second.skm")));
    EXPECT_EQ(w.mappingModel()->objectName(), "second.skm");
}

TEST_F(SenKeyFiles, SaveAsThatIsCancelledOrNotAFileNameWritesNothing)
{
    SenKey& w = window();
    child<QPushButton>("newMappingButton")->click();
    for (const auto& [entered, accept] : {std::pair{"cancelled", false}, std::pair{"", true},
                                          std::pair{"../escape", true}, std::pair{"sub/name", true}}) {
        SCOPED_TRACE(entered);
        answerFileNameDialog(QString::fromLatin1(entered), accept);
        EXPECT_FALSE(w.saveMappingAs());
        EXPECT_FALSE(w.isSaved());
        EXPECT_TRUE(w.mappingModel()->objectName().isEmpty());
    }
    EXPECT_TRUE(QDir(mappingFolder()).isEmpty());
    EXPECT_FALSE(QFile::exists(home.path() + QStringLiteral("/Documents/Velmor/escape.skm")));
}

TEST_F(SenKeyFiles, QuitWithSaveThenCancelledNameKeepsEverything)
{
    SenKey& w = window();
    child<QPushButton>("newMappingButton")->click();
    answerNextModal([](QWidget* modal) {
        qobject_cast<QMessageBox*>(modal)->button(QMessageBox::Save)->click();
        answerFileNameDialog(QStringLiteral("never"), false);
    });
    EXPECT_FALSE(w.maybeSave());
    EXPECT_EQ(w.mappingModel()->mappingCount(), 1);
    EXPECT_FALSE(w.isSaved());
    EXPECT_TRUE(QDir(mappingFolder()).isEmpty());
}

TEST_F(SenKeyFiles, NewAsksFirstDiscardEmptiesCancelKeeps)
{
    SenKey& w = window();
    child<QPushButton>("newMappingButton")->click();
    w.mappingModel()->setObjectName(QStringLiteral("named.skm"));

    answerMessageBox(QMessageBox::Cancel);
    child<QAction>("action_newMapping")->trigger();
    EXPECT_EQ(w.mappingModel()->mappingCount(), 1);
    EXPECT_FALSE(w.isSaved());

    answerMessageBox(QMessageBox::Discard);
    child<QAction>("action_newMapping")->trigger();
    EXPECT_EQ(w.mappingModel()->mappingCount(), 0);
    EXPECT_TRUE(w.mappingModel()->objectName().isEmpty());
    EXPECT_TRUE(w.isSaved());
    EXPECT_TRUE(QDir(mappingFolder()).isEmpty());
}

TEST_F(SenKeyFiles, LoadedFileIsSavedIntoTheMappingFolderUnderItsRecordedName)
{
    QTemporaryDir elsewhere;
    SenMappingModel source(QStringLiteral("recorded.skm"));
    source.addMapping(SenMapping(QStringLiteral("from elsewhere")));
    const QString original = elsewhere.filePath(QStringLiteral("picked.skm"));
    ASSERT_TRUE(saveMappingFile(original, &source));
    const QByteArray originalText = readAll(original);

    SenKey& w = window();
    child<QPushButton>("newMappingButton")->click();
    w.mappingModel()->setObjectName(QStringLiteral("current.skm"));
    // The prompt first, then the load dialog, which starts in the mapping folder; choosing no file
    // changes nothing.
    answerNextModal([&](QWidget* prompt) {
        qobject_cast<QMessageBox*>(prompt)->button(QMessageBox::Discard)->click();
        answerNextModal([&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            ASSERT_NE(dialog, nullptr) << modal->metaObject()->className();
            EXPECT_EQ(dialog->directory().absolutePath(), mappingFolder());
            EXPECT_EQ(dialog->windowTitle(), "Load SenKey Mapping");
            EXPECT_EQ(dialog->nameFilters(), QStringList{"SenKey Mapping (*.skm)"});
            dialog->reject();
        });
    });
    child<QAction>("action_loadMapping")->trigger();
    EXPECT_EQ(w.mappingModel()->mappingCount(), 1);
    EXPECT_EQ(w.mappingModel()->objectName(), "current.skm");

    EXPECT_TRUE(w.loadMappingFrom(original));
    ASSERT_EQ(w.mappingModel()->mappingCount(), 1);
    EXPECT_EQ(w.mappingModel()->mapping(0)->name(), "from elsewhere");
    EXPECT_EQ(w.mappingModel()->objectName(), "recorded.skm");
    EXPECT_TRUE(w.isSaved());
    EXPECT_EQ(w.statusBar()->currentMessage(), "SenKey Mapping [picked.skm] loaded.");

    child<QPushButton>("newMappingButton")->click();
    EXPECT_TRUE(w.saveMapping());
    EXPECT_TRUE(readAll(mappingFolder() + QStringLiteral("/recorded.skm")).contains("from elsewhere"));
    EXPECT_EQ(readAll(original), originalText);
}

// A file that is not a mapping file must cost the user nothing and must not be announced as loaded.
TEST_F(SenKeyFiles, FailedLoadIsReportedAndKeepsTheCurrentMappings)
{
    SenKey& w = window();
    child<QPushButton>("newMappingButton")->click();
    child<QPushButton>("newMappingButton")->click();
    answerFileNameDialog(QStringLiteral("kept"));
    ASSERT_TRUE(w.saveMapping());

    QTemporaryDir elsewhere;
    const struct {
        const char* name;
        QByteArray text;
        const char* reason;
    } files[] = {
        {"garbage.skm", "this is not XML", "it is not a mapping file (not well-formed XML: "},
        {"other.skm", "<?xml version=\"1.0\"?><SomethingElse/>",
         "it is not a mapping file (its root element is <SomethingElse>)."},
        {"missing.skm", {}, "it cannot be read (No such file or directory)."},
    };
    for (const auto& file : files) {
        SCOPED_TRACE(file.name);
        const QString path = elsewhere.filePath(QString::fromLatin1(file.name));
        if (!file.text.isNull()) {
            QFile out(path);
            ASSERT_TRUE(out.open(QIODevice::WriteOnly));
            out.write(file.text);
        }
        EXPECT_FALSE(w.loadMappingFrom(path));
        EXPECT_TRUE(w.statusBar()->currentMessage().startsWith(
            QStringLiteral("SenKey Mapping [%1] could not be loaded: ").arg(QString::fromLatin1(file.name))))
            << w.statusBar()->currentMessage().toStdString();
        EXPECT_TRUE(w.statusBar()->currentMessage().contains(QString::fromLatin1(file.reason)))
            << w.statusBar()->currentMessage().toStdString();
        EXPECT_EQ(w.mappingModel()->mappingCount(), 2);
        EXPECT_EQ(w.mappingModel()->objectName(), "kept.skm");
        EXPECT_TRUE(w.isSaved());
    }
}

TEST_F(SenKeyFiles, SaveMakesTheMappingFolderAgainWhenItWasRemoved)
{
    SenKey& w = window();
    child<QPushButton>("newMappingButton")->click();
    w.mappingModel()->setObjectName(QStringLiteral("again.skm"));
    ASSERT_TRUE(QDir(mappingFolder()).removeRecursively());
    EXPECT_TRUE(w.saveMapping());
    EXPECT_TRUE(QFile::exists(mappingFolder() + QStringLiteral("/again.skm")));
}

TEST_F(SenKeyFiles, FailedSaveIsReportedAndCancelsTheQuit)
{
    SenKey& w = window();
    child<QPushButton>("newMappingButton")->click();
    w.mappingModel()->setObjectName(QStringLiteral("blocked.skm"));
    // A file where the folder should be: nothing can be written into it.
    ASSERT_TRUE(QDir(mappingFolder()).removeRecursively());
    QFile blocker(mappingFolder());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    EXPECT_FALSE(w.saveMapping());
    EXPECT_FALSE(w.isSaved());
    EXPECT_EQ(w.statusBar()->currentMessage(), "SenKey Mapping [blocked.skm] could not be saved: Not a directory.");

    answerMessageBox(QMessageBox::Save);
    EXPECT_FALSE(w.maybeSave());
}

} // namespace
