#pragma once

#include <QApplication>
#include <QDialog>
#include <QTimer>

#include <functional>

namespace TestSupport {

/// Runs `act` on the modal dialog once it is up; `act` must close it. Gives up after about a second
/// (the dialog never came), so a test cannot hang on it.
inline void whenModal(const std::function<void(QDialog&)>& act, int triesLeft = 100)
{
    QTimer::singleShot(10, [act, triesLeft] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            act(*dialog);
        } else if (triesLeft > 0) {
            whenModal(act, triesLeft - 1);
        }
    });
}

} // namespace TestSupport
