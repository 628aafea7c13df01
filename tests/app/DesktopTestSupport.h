#pragma once
// Shared by the desktop program's widget tests: one QApplication for the process, a private home
// folder per test, and answers to modal dialogs so that no test can wait for a user.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <functional>
#include <memory>

#include "QtApplicationEnvironment.h"
#include "SenKey.h"

inline ::testing::Environment* const desktopEnvironment =
    TestSupport::addApplicationEnvironment<QApplication>({.name = "SenKeyDesktopTest"});

inline QApplication& desktopApplication()
{
    return *qApp;
}

/// Runs `answer` on the next modal widget, polling every 10 ms for up to 30 s; a test fails when none
/// comes up unless `required` is false. Deleting the returned timer withdraws the answer.
inline QPointer<QTimer> answerNextModal(std::function<void(QWidget*)> answer, bool required = true)
{
    auto* timer = new QTimer(&desktopApplication());
    auto deadline = std::make_shared<QDeadlineTimer>(30000);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, deadline, required, answer = std::move(answer)] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            answer(modal);
        } else if (deadline->hasExpired()) {
            timer->stop();
            timer->deleteLater();
            if (required) {
                ADD_FAILURE() << "no dialog came up";
            }
        }
    });
    timer->start(10);
    return timer;
}

/// Answers the next message box with `button`.
inline void answerMessageBox(QMessageBox::StandardButton button, QString* text = nullptr)
{
    answerNextModal([button, text](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr) << "not a message box: " << modal->metaObject()->className();
        if (text) {
            *text = box->text();
        }
        box->button(button)->click();
    });
}

/// Types `name` into the file-name dialog and presses OK, or Cancel when `accept` is false.
inline void answerFileNameDialog(const QString& name, bool accept = true, QString* shownText = nullptr)
{
    answerNextModal([=](QWidget* modal) {
        auto* edit = modal->findChild<QLineEdit*>(QStringLiteral("lineEdit"));
        ASSERT_NE(edit, nullptr) << "not the file-name dialog";
        if (shownText) {
            *shownText = edit->text();
        }
        edit->setText(name);
        modal->findChild<QPushButton*>(accept ? QStringLiteral("okButton") : QStringLiteral("cancelButton"))->click();
    });
}

inline bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 5000)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        QApplication::processEvents();
        if (condition()) {
            return true;
        }
        QThread::msleep(5);
    }
    return condition();
}

/// A window on the recording backend in a home folder of its own, aimed at no engine unless told.
class DesktopTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        desktopApplication();
        ASSERT_TRUE(home.isValid());
        qputenv("HOME", home.path().toLocal8Bit());
        options.platform.kind = BackendKind::Recording;
        // A port nothing listens on: the first connection attempt fails at once.
        options.controlPanel = {QStringLiteral("127.0.0.1"), 1};
        options.senComposer = {QStringLiteral("127.0.0.1"), 1};
        options.systemTray = true;
    }

    SenKey& window()
    {
        if (!senKey) {
            senKey = std::make_unique<SenKey>(options);
        }
        return *senKey;
    }

    template <typename T> T* child(const char* name) { return window().findChild<T*>(QString::fromLatin1(name)); }

    QString mappingFolder() const { return home.path() + QStringLiteral("/Documents/Velmor/SenKeyMappingFiles"); }

    QTemporaryDir home;
    SenKeyOptions options;
    std::unique_ptr<SenKey> senKey;
};
