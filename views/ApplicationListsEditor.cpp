#include "ApplicationListsEditor.h"

#include "ApplicationFilter.h"
#include "ApplicationPickerDialog.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>

namespace {

QStringList namesOf(const QLineEdit* field)
{
    QStringList names = parseApplicationNames(field->text());
    names.removeIf([](const QString& name) { return !isValidApplicationName(name); });
    return names;
}

} // namespace

ApplicationListsEditor::ApplicationListsEditor(WindowSystem* windowSystem, QWidget* parent)
    : QWidget(parent), m_windowSystem(windowSystem)
{
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_onlyIn = addRow(tr("&Only in applications:"), QStringLiteral("onlyInApps"));
    m_neverIn = addRow(tr("&Never in applications:"), QStringLiteral("neverInApps"));
}

QLineEdit* ApplicationListsEditor::addRow(const QString& label, const QString& name)
{
    auto* layout = static_cast<QGridLayout*>(this->layout());
    const int row = layout->rowCount();
    auto* field = new QLineEdit(this);
    field->setObjectName(name + QStringLiteral("_lineEdit"));
    field->setPlaceholderText(tr("every application"));
    field->setToolTip(tr("Application names (the class or instance of a window's WM_CLASS), separated by ';'"));
    field->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[\\x20-\\x7E]*")), field));
    auto* caption = new QLabel(label, this);
    caption->setBuddy(field);
    auto* button = new QPushButton(tr("Pick…"), this);
    button->setObjectName(name + QStringLiteral("_pickButton"));
    button->setEnabled(m_windowSystem != nullptr);
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, [this, field] { pick(field); });
    layout->addWidget(caption, row, 0);
    layout->addWidget(field, row, 1);
    layout->addWidget(button, row, 2);
    return field;
}

void ApplicationListsEditor::setLists(const QStringList& onlyIn, const QStringList& neverIn)
{
    m_onlyIn->setText(onlyIn.join(QStringLiteral("; ")));
    m_neverIn->setText(neverIn.join(QStringLiteral("; ")));
}

QStringList ApplicationListsEditor::onlyIn() const
{
    return namesOf(m_onlyIn);
}

QStringList ApplicationListsEditor::neverIn() const
{
    return namesOf(m_neverIn);
}

void ApplicationListsEditor::pick(QLineEdit* field)
{
    if (m_windowSystem == nullptr) {
        return;
    }
    ApplicationPickerDialog picker(*m_windowSystem, this);
    if (picker.exec() != QDialog::Accepted || picker.chosenName().isEmpty()) {
        return;
    }
    QStringList names = parseApplicationNames(field->text());
    if (!names.contains(picker.chosenName(), Qt::CaseInsensitive)) {
        names.append(picker.chosenName());
    }
    field->setText(names.join(QStringLiteral("; ")));
    field->setFocus();
}
