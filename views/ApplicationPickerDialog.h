#pragma once

#include <QDialog>
#include <QString>

class QTreeWidget;
class WindowSystem;

/// Lists the applications of the open top-level windows (name, class, window title), and one entry that
/// takes the application that has the focus three seconds after the dialog is accepted, so that the user
/// can switch to it. Usable from the keyboard alone: arrows choose, Enter accepts, Escape cancels.
class ApplicationPickerDialog : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kDelayMs = 3000;

    explicit ApplicationPickerDialog(WindowSystem& windowSystem, QWidget* parent = nullptr);

    /// The chosen application's name (its class, else its instance); empty when nothing was chosen.
    QString chosenName() const { return m_chosen; }

public slots:
    void accept() override;

private:
    void fill();

    WindowSystem& m_windowSystem;
    QTreeWidget* m_list = nullptr;
    QString m_chosen;
};
