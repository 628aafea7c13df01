#pragma once

#include <QStringList>
#include <QWidget>

class QLineEdit;
class QPushButton;
class WindowSystem;

/// The "Only in applications" and "Never in applications" fields of a rule, each with a "Pick…" button
/// that lists the open applications. Names are separated by ';'; only printable ASCII can be typed.
class ApplicationListsEditor : public QWidget
{
    Q_OBJECT

public:
    /// Without a window system the "Pick…" buttons are disabled.
    explicit ApplicationListsEditor(WindowSystem* windowSystem, QWidget* parent = nullptr);

    void setLists(const QStringList& onlyIn, const QStringList& neverIn);
    /// The names of the fields, trimmed, without empty or overlong ones.
    QStringList onlyIn() const;
    QStringList neverIn() const;

private:
    QLineEdit* addRow(const QString& label, const QString& name);
    void pick(QLineEdit* field);

    WindowSystem* m_windowSystem;
    QLineEdit* m_onlyIn = nullptr;
    QLineEdit* m_neverIn = nullptr;
};
