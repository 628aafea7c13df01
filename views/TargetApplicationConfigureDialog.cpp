#include "TargetApplicationConfigureDialog.h"

#include "WindowHandlePicker.h"
#include "WindowInspection.h"
#include "ui_TargetApplicationConfigureDialog.h"

#include <QGuiApplication>
#include <QLayout>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <utility>

namespace {

const QString kNoWindow = QStringLiteral("<no window selected>");
const QString kNotAvailable = QStringLiteral("<not available>");
constexpr int kFieldLength = 200;

QString orEmpty(const QString& text)
{
    return text == kNotAvailable ? QString() : text;
}

} // namespace

TargetApplicationConfigureDialog::TargetApplicationConfigureDialog(WindowSystem& windows, QWidget* windowToHide,
                                                                   QWidget* parent)
    : QDialog(parent), ui(new Ui::targetApplicationConfigureDialog), m_windows(windows), m_windowToHide(windowToHide)
{
    ui->setupUi(this);
    m_picker = new WindowHandlePicker(windows, ui->appWindowHandleFrame);
    m_picker->setObjectName(QStringLiteral("windowHandlePicker"));
    m_picker->setAlignment(Qt::AlignCenter);
    m_picker->setMinimumSize(ui->dummyFinderToolLabel->minimumSize().expandedTo(m_picker->size()));
    // The picker takes the place, and so the position and size, of the place holder; the layout hands
    // back the place holder's item for the caller to free.
    delete ui->appWindowHandleFrame->layout()->replaceWidget(ui->dummyFinderToolLabel, m_picker);
    ui->dummyFinderToolLabel->hide();

    connect(m_picker, &WindowHandlePicker::foundWindow, this, &TargetApplicationConfigureDialog::displayWindowInfo);
    connect(ui->hideSenKeyCheckBox, &QCheckBox::toggled, this,
            &TargetApplicationConfigureDialog::onHideMainWindowToggled);

    // The texts decide the size: "<no window selected>" and a rectangle must show whole.
    const int fieldWidth = fontMetrics().horizontalAdvance(kNoWindow + QStringLiteral("MM"));
    for (QLineEdit* edit : {ui->appHandleLineEdit, ui->appCaptionLineEdit, ui->appClassLineEdit, ui->appRectLineEdit}) {
        edit->setMinimumWidth(fieldWidth);
    }
    m_picker->setToolTip(tr("Press on the window finder and drag it over the window the rule should send to"));
    m_picker->setAccessibleName(tr("Window finder"));
    ui->windowListComboBox->setToolTip(tr("The open application windows, by title and class"));
    ui->focusInThreeSecondsButton->setToolTip(
        tr("Switch to the window within three seconds (for example with Alt+Tab); it is then chosen"));
    ui->hideSenKeyCheckBox->setToolTip(tr("Hide the main window while this dialog is open"));
    ui->okButton->setToolTip(tr("Keep this target"));
    ui->cancelButton->setToolTip(tr("Leave the target as it was"));

    m_focusTimer = new QTimer(this);
    m_focusTimer->setInterval(250);
    connect(m_focusTimer, &QTimer::timeout, this, &TargetApplicationConfigureDialog::countDown);
    connect(ui->focusInThreeSecondsButton, &QPushButton::clicked, this,
            &TargetApplicationConfigureDialog::startFocusCountdown);
    connect(ui->windowListComboBox, &QComboBox::activated, this, [this](int index) {
        chooseWindow(ui->windowListComboBox->itemData(index).toUInt());
    });
    refreshWindowList();
    // The specified 465 by 260 is the least it takes; its texts decide what more it needs.
    layout()->setSizeConstraint(QLayout::SetMinimumSize);
    resize(sizeHint().expandedTo(QSize(465, 260)));
}

QList<WindowHandle> TargetApplicationConfigureDialog::ownWindows() const
{
    QList<WindowHandle> own;
    for (QWindow* window : QGuiApplication::allWindows()) {
        if (window->handle() != nullptr) {
            own.append(static_cast<WindowHandle>(window->winId()));
        }
    }
    return own;
}

void TargetApplicationConfigureDialog::refreshWindowList()
{
    const QList<WindowHandle> own = ownWindows();
    ui->windowListComboBox->clear();
    const QList<WindowHandle> windows = m_windows.clientWindows();
    // The top of the stack first: the window the user last worked in is near the top.
    for (auto it = windows.crbegin(); it != windows.crend(); ++it) {
        if (own.contains(*it)) {
            continue;
        }
        const QString caption = m_windows.windowCaption(*it);
        const QString className = m_windows.windowClassName(*it);
        ui->windowListComboBox->addItem(
            QStringLiteral("%1 (%2)").arg(caption.isEmpty() ? kNotAvailable : caption,
                                          className.isEmpty() ? kNotAvailable : className),
            *it);
    }
    ui->windowListComboBox->setCurrentIndex(-1);
    ui->windowListComboBox->setEnabled(ui->windowListComboBox->count() > 0);
}

void TargetApplicationConfigureDialog::chooseWindow(WindowHandle window)
{
    if (window == 0 || ownWindows().contains(window)) {
        return;
    }
    ui->selectAppWithTitle->setChecked(true);
    displayWindowInfo(window, m_windows.windowCaption(window), m_windows.windowClassName(window),
                      windowQRect(m_windows, window));
}

void TargetApplicationConfigureDialog::startFocusCountdown()
{
    m_focusRemainingMs = m_focusDelayMs;
    ui->focusInThreeSecondsButton->setEnabled(false);
    countDown();
    m_focusTimer->start();
}

void TargetApplicationConfigureDialog::countDown()
{
    if (m_focusRemainingMs > 0) {
        ui->focusInThreeSecondsButton->setText(tr("Switch now... %1").arg((m_focusRemainingMs + 999) / 1000));
        m_focusRemainingMs -= m_focusTimer->interval();
        return;
    }
    m_focusTimer->stop();
    ui->focusInThreeSecondsButton->setText(tr("Window in focus in &3 s"));
    ui->focusInThreeSecondsButton->setEnabled(true);
    const WindowHandle focused = m_windows.foregroundWindow();
    const WindowHandle client = m_windows.clientWindow(focused);
    chooseWindow(client != 0 ? client : focused);
    refreshWindowList();
    // Back to the dialog, which shows what was chosen.
    raise();
    activateWindow();
}

TargetApplicationConfigureDialog::~TargetApplicationConfigureDialog()
{
    if (m_windowToHide) {
        m_windowToHide->show();
    }
    delete ui;
}

void TargetApplicationConfigureDialog::setTargetWindow(bool sendToFocus, uint winHandle, const QString& caption,
                                                       const QString& className, const QRect& rect)
{
    if (sendToFocus) {
        ui->selectAppInFocus->setChecked(true);
        displayWindowInfo(0, {}, {}, {});
    } else {
        ui->selectAppWithTitle->setChecked(true);
        displayWindowInfo(winHandle, caption, className, rect);
    }
}

void TargetApplicationConfigureDialog::getTargetWindow(bool& sendToFocus, uint& winHandle, QString& caption,
                                                       QString& className, QRect& rect) const
{
    if (!ui->selectAppWithTitle->isChecked()) {
        sendToFocus = true;
        winHandle = 0;
        caption.clear();
        className.clear();
        rect = QRect();
        return;
    }
    sendToFocus = false;
    bool ok = false;
    QString handleText = ui->appHandleLineEdit->text();
    if (handleText.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        handleText.remove(0, 2);
    }
    const uint parsed = handleText.toUInt(&ok, 16);
    winHandle = ok ? parsed : 0;
    caption = orEmpty(ui->appCaptionLineEdit->text());
    className = orEmpty(ui->appClassLineEdit->text());
    rect = m_displayedRect;
}

void TargetApplicationConfigureDialog::onHideMainWindowToggled(bool checked)
{
    if (!m_windowToHide) {
        return;
    }
    if (checked) {
        m_windowToHide->hide();
    } else {
        m_windowToHide->show();
    }
}

void TargetApplicationConfigureDialog::displayWindowInfo(uint winHandle, const QString& caption,
                                                         const QString& className, const QRect& rect)
{
    QLineEdit* handleEdit = ui->appHandleLineEdit;
    if (winHandle == 0) {
        handleEdit->setText(kNoWindow);
    } else {
        handleEdit->setText(QString::asprintf("0x%08X", winHandle));
    }
    const bool vanished = winHandle != 0 && !m_windows.isValidWindow(winHandle);
    handleEdit->setStyleSheet(vanished ? QStringLiteral("background-color: red;")
                                       : QStringLiteral("background-color: white;"));

    // The fields are read back, and a window is found again by its whole title: never cut a long one.
    for (const auto& [edit, text] : {std::pair{ui->appCaptionLineEdit, &caption}, {ui->appClassLineEdit, &className}}) {
        edit->setMaxLength(std::max<int>(kFieldLength, static_cast<int>(text->size())));
        edit->setText(text->isEmpty() ? kNotAvailable : *text);
    }
    if (rect.width() == 0 && rect.height() == 0) {
        ui->appRectLineEdit->setText(kNotAvailable);
    } else {
        ui->appRectLineEdit->setText(
            QStringLiteral("{%1,%2}-{%3,%4}").arg(rect.left()).arg(rect.top()).arg(rect.right()).arg(rect.bottom()));
    }
    for (QLineEdit* edit : {handleEdit, ui->appCaptionLineEdit, ui->appClassLineEdit, ui->appRectLineEdit}) {
        edit->setCursorPosition(0);
    }
    m_displayedRect = rect;
}
