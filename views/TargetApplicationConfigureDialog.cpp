#include "TargetApplicationConfigureDialog.h"

#include "WindowHandlePicker.h"
#include "ui_TargetApplicationConfigureDialog.h"

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
