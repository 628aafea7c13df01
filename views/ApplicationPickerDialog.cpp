#include "ApplicationPickerDialog.h"

#include "WindowSystem.h"

#include <QDialogButtonBox>
#include <QEventLoop>
#include <QHeaderView>
#include <QLabel>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int kNameRole = Qt::UserRole;
constexpr int kDelayedRole = Qt::UserRole + 1;

QString nameOf(const WindowApplication& application)
{
    return application.className.isEmpty() ? application.instance : application.className;
}

} // namespace

ApplicationPickerDialog::ApplicationPickerDialog(WindowSystem& windowSystem, QWidget* parent)
    : QDialog(parent), m_windowSystem(windowSystem), m_list(new QTreeWidget(this))
{
    setWindowTitle(tr("Pick an application"));
    auto* label = new QLabel(tr("&Applications of the open windows:"), this);
    label->setBuddy(m_list);
    m_list->setObjectName(QStringLiteral("applicationList"));
    m_list->setHeaderLabels({tr("Name"), tr("Class"), tr("Window title")});
    m_list->setRootIsDecorated(false);
    m_list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &ApplicationPickerDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &ApplicationPickerDialog::reject);
    connect(m_list, &QTreeWidget::itemActivated, this, &ApplicationPickerDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(m_list);
    layout->addWidget(buttons);
    resize(560, 320);
    fill();
}

void ApplicationPickerDialog::fill()
{
    auto* delayed = new QTreeWidgetItem(m_list, {tr("The application that has the focus in 3 seconds")});
    delayed->setData(0, kDelayedRole, true);
    delayed->setFirstColumnSpanned(true);
    for (WindowHandle window : m_windowSystem.topLevelWindows()) {
        const WindowApplication application = m_windowSystem.windowApplication(window);
        if (nameOf(application).isEmpty()) {
            continue;
        }
        auto* item = new QTreeWidgetItem(
            m_list, {application.instance, application.className, m_windowSystem.windowCaption(window)});
        item->setData(0, kNameRole, nameOf(application));
    }
    m_list->setCurrentItem(m_list->topLevelItemCount() > 1 ? m_list->topLevelItem(1) : delayed);
    m_list->setFocus();
}

void ApplicationPickerDialog::accept()
{
    const QTreeWidgetItem* item = m_list->currentItem();
    if (item == nullptr) {
        return;
    }
    if (!item->data(0, kDelayedRole).toBool()) {
        m_chosen = item->data(0, kNameRole).toString();
        QDialog::accept();
        return;
    }
    // Out of the way, so that the user can bring the application forward.
    hide();
    QEventLoop wait;
    QTimer::singleShot(kDelayMs, &wait, &QEventLoop::quit);
    wait.exec();
    m_chosen = nameOf(m_windowSystem.windowApplication(m_windowSystem.foregroundWindow()));
    if (m_chosen.isEmpty()) {
        reject();
    } else {
        QDialog::accept();
    }
}
