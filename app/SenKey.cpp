#include "SenKey.h"

#include <QActionGroup>
#include <QApplication>
#include <QDebug>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QSpinBox>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>

#include "KeepAliveThread.h"
#include "MappingFile.h"
#include "PauseControl.h"
#include "ResourcePath.h"
#include "SenKeyCore.h"
#include "SenMapping.h"
#include "SenMappingModel.h"
#include "SenMappingView.h"
#include "SenStateCondition.h"
#include "SenStateConditionView.h"
#include "ui_SaveFileDialog.h"
#include "ui_SenKeyClass.h"

namespace {

/// Numbers the rules added with "Add Rule" for the whole run; New and loading leave it alone.
int ruleCounter = 0;

constexpr int kStatusMessageMs = 3000;

const char* const kLegalNotice =
    "<p>Copyright &copy; 2026 Velmor. All rights reserved. This program is provided as is, without warranty "
    "of any kind.</p><p><a href='https://velmor.example/'>velmor.example</a></p>";

/// `base` with two bars across it, so that a paused program looks different in the tray.
QIcon pausedIcon(const QIcon& base)
{
    QPixmap pixmap = base.pixmap(32, 32);
    if (pixmap.isNull()) {
        pixmap = QPixmap(32, 32);
        pixmap.fill(Qt::transparent);
    }
    QPainter painter(&pixmap);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(250, 160, 0));
    painter.drawRect(8, 6, 6, 20);
    painter.drawRect(18, 6, 6, 20);
    return QIcon(pixmap);
}

} // namespace

SenKey::SenKey(QWidget* parent, Qt::WindowFlags flags) : SenKey(SenKeyOptions{}, parent, flags) {}

SenKey::SenKey(const SenKeyOptions& startOptions, QWidget* parent, Qt::WindowFlags flags)
    : QMainWindow(parent, flags), options(startOptions), saveFileUi(std::make_unique<Ui::SaveFileDialog>()),
      ui(std::make_unique<Ui::SenKeyClass>())
{
    ui->setupUi(this);

    QFile styleSheet(resourcePath(QStringLiteral("senKey.qss")));
    if (styleSheet.open(QIODevice::ReadOnly)) {
        qApp->setStyleSheet(QString::fromLatin1(styleSheet.readAll()));
    }
    connectedIcon = QIcon(resourcePath(QStringLiteral("velmor_icon.png")));
    disconnectedIcon = QIcon(resourcePath(QStringLiteral("velmor_disconnected.png")));

    mappingFolder = QDir::homePath() + QStringLiteral("/Documents/Velmor/SenKeyMappingFiles");
    QDir().mkpath(mappingFolder);

    platformBackends = createPlatform(options.platform);
    core = new SenKeyCore(*platformBackends.injector, *platformBackends.windowSystem, this);
    core->setEngineAddress(options.controlPanel.host, options.controlPanel.port);

    model = core->mappingModel();
    mappingView = new SenMappingView(ui->mappingsTableWidget, model, *platformBackends.windowSystem, this);
    conditionView = new SenStateConditionView(ui->conditionsTableWidget, model, this);

    saveFileDialog = std::make_unique<QDialog>();
    saveFileUi->setupUi(saveFileDialog.get());
    connect(saveFileUi->okButton, &QPushButton::clicked, this, &SenKey::setFilenameToSave);

    saved = true;
    createTrayIcon();

    connect(ui->action_Quit, &QAction::triggered, this, &SenKey::onQuit);
    connect(model, &SenMappingModel::modelEdited, this, &SenKey::onModelEdited);
    connect(mappingView, &SenMappingView::mappingSelectionChanged, this, &SenKey::onMappingSelectionChanged);
    connect(mappingView, &SenMappingView::invalidWindowHandleDetected, this, &SenKey::onInvalidWindowHandleDetected);
    connect(mappingView, &SenMappingView::mappingSelectionChanged, conditionView,
            &SenStateConditionView::onMappingSelectionChanged);
    connect(conditionView, &SenStateConditionView::conditionSelectionChanged, this,
            &SenKey::onConditionSelectionChanged);

    // The core evaluates the states, holds the headset type and releases what the rules hold.
    core->setActivityReport(mappingView->activityReport());
    core->setActiveWindowQuery([this] { return isActiveWindow(); });
    connect(ui->mappingsGroupBox, &QGroupBox::toggled, core, &SenKeyCore::setKeystrokesEnabled);
    connect(core, &SenKeyCore::engineConnected, this, &SenKey::onEngineConnected);
    connect(core, &SenKeyCore::engineDisconnected, this, &SenKey::onEngineDisconnected);
    connect(core, &SenKeyCore::engineCannotBeConnected, this, &SenKey::onEngineCannotBeConnected);
    connect(core, &SenKeyCore::headsetTypeChanged, this, &SenKey::showHeadsetType);
    createSafetyControls();
    connect(this, &SenKey::connectEngine, core->connection(), &KeepAliveThread::onConnectEngine);
    connect(this, &SenKey::reconnectEngine, core->connection(), &KeepAliveThread::onReconnectEngine);

    core->start();

    setupActions();

    // The factory has logged the reason already; the status bar keeps it until the next message.
    if (!platformBackends.fallbackReason.isEmpty()) {
        statusBar()->showMessage(tr("No input can be sent: %1").arg(platformBackends.fallbackReason));
    }
    if (!options.mappingFile.isEmpty()) {
        loadMappingFrom(options.mappingFile);
    }
}

SenKey::~SenKey()
{
    hide();
    trayIcon->setVisible(false);
    // No request from outside may reach the core once it is shutting down.
    delete m_pauseControl;
    m_pauseControl = nullptr;
    // The connection's last signals must not reach a window that is half destroyed.
    core->disconnect(this);
    core->shutdown();
    // The views use the model and the window system, which are gone after this body.
    delete conditionView;
    delete mappingView;
    delete core;
}

void SenKey::createTrayIcon()
{
    trayMenu = new QMenu(this);
    QAction* showAction = trayMenu->addAction(tr("Show SenKey"));
    showAction->setObjectName(QStringLiteral("trayShowAction"));
    trayMenu->addSeparator();
    trayEnableKeystrokesAction = trayMenu->addAction(tr("Enable Keystrokes"));
    trayEnableKeystrokesAction->setObjectName(QStringLiteral("trayEnableKeystrokesAction"));
    trayEnableKeystrokesAction->setCheckable(true);
    trayEnableKeystrokesAction->setChecked(true);
    trayMenu->addSeparator();
    QAction* quitAction = trayMenu->addAction(tr("Quit"));
    quitAction->setObjectName(QStringLiteral("trayQuitAction"));
    trayMenu->setDefaultAction(showAction);

    connect(showAction, &QAction::triggered, this, &SenKey::show);
    connect(quitAction, &QAction::triggered, this, &SenKey::onQuit);
    connect(trayEnableKeystrokesAction, &QAction::triggered, this, [this](bool checked) {
        ui->mappingsGroupBox->setChecked(checked);
        setKeystrokesEnabled(checked);
    });
    connect(ui->mappingsGroupBox, &QGroupBox::clicked, this, [this](bool checked) {
        trayEnableKeystrokesAction->setChecked(checked);
        setKeystrokesEnabled(checked);
    });

    trayIcon = std::make_unique<QSystemTrayIcon>(disconnectedIcon);
    trayIcon->setContextMenu(trayMenu);
    m_connectionText = tr("Connecting...");
    refreshTray();
    trayIcon->setVisible(true);
    connect(trayIcon.get(), &QSystemTrayIcon::activated, this, &SenKey::iconActivated);
    connect(trayIcon.get(), &QSystemTrayIcon::messageClicked, this, &SenKey::show);
}

void SenKey::createSafetyControls()
{
    m_pausedLabel = new QLabel(tr("Keystrokes paused"), this);
    m_pausedLabel->setObjectName(QStringLiteral("pausedLabel"));
    m_pausedLabel->setVisible(false);
    statusBar()->addPermanentWidget(m_pausedLabel);

    auto* staleLabel = new QLabel(tr("&Release after silence:"), this);
    m_staleTimeSpinBox = new QSpinBox(this);
    m_staleTimeSpinBox->setObjectName(QStringLiteral("staleTimeSpinBox"));
    m_staleTimeSpinBox->setRange(0, 60000);
    m_staleTimeSpinBox->setSingleStep(100);
    m_staleTimeSpinBox->setSuffix(tr(" ms"));
    m_staleTimeSpinBox->setSpecialValueText(tr("never"));
    m_staleTimeSpinBox->setValue(static_cast<int>(core->staleTime()));
    m_staleTimeSpinBox->setToolTip(
        tr("When a headset sends no states for this long, the keys and buttons its rules hold are released"));
    staleLabel->setBuddy(m_staleTimeSpinBox);
    statusBar()->addPermanentWidget(staleLabel);
    statusBar()->addPermanentWidget(m_staleTimeSpinBox);
    connect(m_staleTimeSpinBox, &QSpinBox::valueChanged, core,
            [this](int value) { core->setStaleTime(static_cast<uint>(value)); });

    connect(core, &SenKeyCore::keystrokesEnabledChanged, this, &SenKey::onKeystrokesEnabledChanged);
    m_pauseControl = new PauseControlServer(*core, QStringLiteral("senkey"), this);
    QString controlError;
    if (!m_pauseControl->listen(controlError)) {
        qDebug("No keyboard stop (--toggle-pause): %s", qUtf8Printable(controlError));
    }
    connect(core, &SenKeyCore::headsetSilent, this, [this](uint userId, uint staleTime) {
        showStatusMessage(SenKeyCore::silentHeadsetMessage(userId, staleTime));
    });
    connect(core, &SenKeyCore::headsetStatesBack, this,
            [this](uint userId) { showStatusMessage(SenKeyCore::headsetBackMessage(userId)); });
}

void SenKey::onKeystrokesEnabledChanged(bool enabled)
{
    // A pause rule or a toggle from outside: the box, the tray menu and the icon follow. Setting the box
    // hands the same value back to the core, which then changes nothing.
    ui->mappingsGroupBox->setChecked(enabled);
    trayEnableKeystrokesAction->setChecked(enabled);
    setKeystrokesEnabled(enabled);
    m_pausedLabel->setVisible(!enabled);
    refreshTray();
    showStatusMessage(enabled ? tr("Keystrokes resumed") : tr("Keystrokes paused"));
}

void SenKey::refreshTray()
{
    const bool paused = core != nullptr && !core->keystrokesEnabled();
    const QIcon& base = m_engineConnected ? connectedIcon : disconnectedIcon;
    trayIcon->setIcon(paused ? pausedIcon(base) : base);
    trayIcon->setToolTip(tr("SenKey - %1").arg(m_connectionText) + (paused ? tr(" - Keystrokes paused") : QString()));
}

void SenKey::setKeystrokesEnabled(bool enabled)
{
    // Re-enabling gives the conditions back only when a rule is selected to show them. The core follows
    // the group box itself, and releases everything when it is unchecked.
    ui->conditionsGroupBox->setEnabled(enabled && mappingView->currentRow() != -1);
}

void SenKey::setupActions()
{
    auto* connectGroup = new QActionGroup(this);
    connectGroup->setExclusive(true);
    for (QAction* action : {ui->action_connectToControlPanel, ui->action_connectToSenComposer}) {
        action->setCheckable(true);
        connectGroup->addAction(action);
    }
    ui->action_connectToControlPanel->setChecked(true);

    ui->action_newMapping->setShortcut(QKeySequence(tr("Ctrl+N")));
    ui->action_loadMapping->setShortcut(QKeySequence(tr("Ctrl+L")));
    ui->action_saveMapping->setShortcut(QKeySequence(tr("Ctrl+S")));
    ui->action_Quit->setShortcut(QKeySequence(tr("Ctrl+Q")));
    ui->action_connectToControlPanel->setShortcut(QKeySequence(tr("Ctrl+Alt+F1")));
    ui->action_connectToSenComposer->setShortcut(QKeySequence(tr("Ctrl+Alt+F2")));
    ui->action_reconnectEngine->setShortcut(QKeySequence(tr("Ctrl+Alt+R")));

    ui->action_newMapping->setStatusTip(tr("Create a new SenKey Mapping"));
    ui->action_loadMapping->setStatusTip(tr("Load an existing SenKey Mapping"));
    ui->action_saveMapping->setStatusTip(tr("Save the current SenKey Mapping"));
    ui->action_saveMappingAs->setStatusTip(tr("Save the current SenKey Mapping to another location"));
    ui->action_Quit->setStatusTip(tr("Quit SenKey"));
    ui->action_connectToControlPanel->setStatusTip(tr("Switch current connection to Velmor Control Panel"));
    ui->action_connectToSenComposer->setStatusTip(tr("Switch current connection to SenComposer"));
    ui->action_reconnectEngine->setStatusTip(tr("Re-establish the selected connection"));
    ui->action_aboutSenKey->setStatusTip(tr("About SenKey"));

    ui->action_loadMapping->setIcon(QIcon(resourcePath(QStringLiteral("load.png"))));
    ui->action_saveMapping->setIcon(QIcon(resourcePath(QStringLiteral("save.png"))));
    ui->action_reconnectEngine->setIcon(QIcon(resourcePath(QStringLiteral("reload.png"))));
    ui->action_aboutSenKey->setIcon(QIcon(resourcePath(QStringLiteral("help.png"))));
    const QIcon addIcon(resourcePath(QStringLiteral("edit_add.png")));
    const QIcon removeIcon(resourcePath(QStringLiteral("edit_remove.png")));
    ui->newMappingButton->setIcon(addIcon);
    ui->removeMappingButton->setIcon(removeIcon);
    ui->newConditionButton->setIcon(addIcon);
    ui->removeConditionButton->setIcon(removeIcon);

    ui->removeMappingButton->setEnabled(false);
    ui->newConditionButton->setEnabled(false);
    ui->removeConditionButton->setEnabled(false);
    ui->conditionsGroupBox->setEnabled(false);

    updateWindowTitle();
}

void SenKey::show()
{
    QMainWindow::show();
    setWindowState(windowState() & ~Qt::WindowMinimized);
    raise();
    activateWindow();
}

void SenKey::iconActivated(QSystemTrayIcon::ActivationReason reason)
{
    if (reason == QSystemTrayIcon::DoubleClick) {
        show();
        activateWindow();
    }
}

bool SenKey::trayIconUsable() const
{
    return trayIcon && trayIcon->isVisible() && options.systemTray.value_or(QSystemTrayIcon::isSystemTrayAvailable());
}

void SenKey::closeEvent(QCloseEvent* event)
{
    if (!trayIconUsable()) {
        // Without a tray the hidden window could never come back, so closing ends the program, and
        // unsaved changes are asked about as for Quit.
        if (!maybeSave()) {
            event->ignore();
        }
        return;
    }
    if (!closeHintShown) {
        closeHintShown = true;
        showTrayMessage(tr("SenKey is still running!"), tr("To quit the application, choose \"Quit\" in the menu."),
                        QSystemTrayIcon::Information, 10000);
    }
    hide();
    event->ignore();
}

void SenKey::onQuit()
{
    if (maybeSave()) {
        QCoreApplication::quit();
    }
}

void SenKey::updateWindowTitle()
{
    setWindowTitle(QStringLiteral("Velmor Orrin SenKey %1").arg(QLatin1String(kVersionText)));
}

void SenKey::showStatusMessage(QString message)
{
    statusBar()->showMessage(message, kStatusMessageMs);
}

void SenKey::showTrayMessage(const QString& title, const QString& message, QSystemTrayIcon::MessageIcon icon,
                             int milliseconds)
{
    trayIcon->showMessage(title, message, icon, milliseconds);
    emit trayMessageShown(title, message);
}

void SenKey::onInvalidWindowHandleDetected()
{
    showTrayMessage(tr("Invalid target application"),
                    tr("SenKey has detected that one of the target applications no longer exists, click here to "
                       "reconfigure the rule..."),
                    QSystemTrayIcon::Warning, 10000);
}

QString SenKey::aboutText(const QString& type)
{
    QString head;
    if (type == QLatin1String("TESSARA")) {
        head = QStringLiteral("<p><b><font color='orange' size=4>Velmor Orrin SenKey</font></b></p>"
                              "<p><b>Release version %1</b></p><p></p>")
                   .arg(QLatin1String(kVersionText));
    } else {
        head = QStringLiteral("<p><b><font color='orange' size=4>Velmor Orrin SenKey&#8482;</font></b></p>"
                              "<p><b>Version %1. Build %2</b></p><p></p>")
                   .arg(QLatin1String(kVersionText), QLatin1String(kBuildText));
    }
    return head + QLatin1String(kLegalNotice);
}

void SenKey::on_action_aboutSenKey_triggered()
{
    const QString headsetType = currentHeadsetType();
    const QString icon =
        headsetType == QLatin1String("TESSARA") ? QStringLiteral("velmor_icon.bmp") : QStringLiteral("velmor_icon.png");
    QMessageBox box;
    box.setObjectName(QStringLiteral("aboutBox"));
    box.setWindowTitle(tr("About Velmor Orrin SenKey"));
    box.setTextFormat(Qt::RichText);
    box.setText(tr(qPrintable(aboutText(headsetType))));
    box.setIconPixmap(QPixmap(resourcePath(icon)));
    box.setStandardButtons(QMessageBox::Ok);
    box.setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    box.exec();
}

// Rules, conditions and the buttons that follow the selection.

void SenKey::on_newMappingButton_clicked()
{
    ++ruleCounter;
    const SenMapping mapping(QStringLiteral("Rule %1").arg(ruleCounter));
    model->addMapping(mapping);
}

void SenKey::on_removeMappingButton_clicked()
{
    model->removeMapping(mappingView->currentRow());
}

void SenKey::on_newConditionButton_clicked()
{
    const SenStateCondition condition(SenAction::Blink);
    model->addCondition(mappingView->currentRow(), condition);
}

void SenKey::on_removeConditionButton_clicked()
{
    model->removeCondition(mappingView->currentRow(), conditionView->currentRow());
}

void SenKey::onMappingSelectionChanged(int idx)
{
    const bool selected = idx != -1;
    ui->removeMappingButton->setEnabled(selected);
    ui->conditionsGroupBox->setEnabled(selected);
    ui->newConditionButton->setEnabled(selected);
    if (const SenMapping* mapping = selected ? model->mapping(idx) : nullptr) {
        ui->removeConditionButton->setEnabled(mapping->conditionCount() > 0);
    }
}

void SenKey::onConditionSelectionChanged(int idx)
{
    ui->removeConditionButton->setEnabled(idx != -1);
}

// The engine connection.

QString SenKey::engineDisplayName() const
{
    return ui->action_connectToSenComposer->isChecked() ? QStringLiteral("SenComposer")
                                                        : QStringLiteral("Velmor Control Panel");
}

void SenKey::onEngineConnected()
{
    m_engineConnected = true;
    m_connectionText = tr("Connected");
    refreshTray();
    showTrayMessage(tr("SenKey"), tr("%1 has been connected!").arg(engineDisplayName()), QSystemTrayIcon::Information,
                    3000);
    cannotConnectShown = false;
}

void SenKey::onEngineDisconnected()
{
    m_engineConnected = false;
    m_connectionText = tr("Disconnected");
    refreshTray();
    showTrayMessage(tr("SenKey"), tr("%1 has been disconnected!").arg(engineDisplayName()),
                    QSystemTrayIcon::Information, 3000);
}

void SenKey::onEngineCannotBeConnected()
{
    onEngineDisconnected();
    if (cannotConnectShown) {
        return;
    }
    cannotConnectShown = true;
    const QString name = engineDisplayName();
    showTrayMessage(
        tr("SenKey cannot connect to %1").arg(name),
        tr("Please make sure that %1 is running, and select Reconnect from SenKey's Connect menu to try again.")
            .arg(name),
        QSystemTrayIcon::Warning, 6000);
}

void SenKey::onSenStateChanged(uint userID, const SenStateSnapshot& state)
{
    core->evaluateState(userID, state);
}

void SenKey::on_action_connectToControlPanel_triggered()
{
    qDebug() << "Switching to Control Panel...";
    cannotConnectShown = false;
    core->disconnectEngine();
    emit connectEngine(options.controlPanel.host, options.controlPanel.port);
}

void SenKey::on_action_connectToSenComposer_triggered()
{
    qDebug() << "Switching to SenComposer...";
    cannotConnectShown = false;
    core->disconnectEngine();
    emit connectEngine(options.senComposer.host, options.senComposer.port);
}

void SenKey::on_action_reconnectEngine_triggered()
{
    qDebug() << "Reconnecting...";
    cannotConnectShown = false;
    emit reconnectEngine();
}

void SenKey::getModeApp(QString stringMode)
{
    applyHeadsetType(stringMode);
}

void SenKey::applyHeadsetType(const QString& key)
{
    // The core applies it to the detection catalogue and reports back through showHeadsetType().
    core->setHeadsetType(key);
}

void SenKey::showHeadsetType()
{
    ui->action_connectToControlPanel->setText(tr(" To ControlPanel "));
    ui->action_connectToSenComposer->setText(tr(" To Orrin Composer "));
}

QString SenKey::currentHeadsetType() const
{
    return core->headsetType();
}

// Mapping files.

bool SenKey::maybeSave()
{
    if (saved) {
        return true;
    }
    show();
    const QMessageBox::StandardButton answer = QMessageBox::warning(
        this, tr("SenKey"), tr("The current Mapping has been modified.\nDo you want to save your changes?"),
        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::NoButton);
    if (answer == QMessageBox::Save) {
        return saveMapping();
    }
    return answer != QMessageBox::Cancel;
}

void SenKey::on_action_newMapping_triggered()
{
    if (!maybeSave()) {
        return;
    }
    model->clear();
    saved = true;
    updateWindowTitle();
}

void SenKey::on_action_loadMapping_triggered()
{
    loadMapping();
}

void SenKey::on_action_saveMapping_triggered()
{
    saveMapping();
}

void SenKey::on_action_saveMappingAs_triggered()
{
    saveMappingAs();
}

bool SenKey::loadMapping()
{
    if (!maybeSave()) {
        return false;
    }
    const QString fileName =
        QFileDialog::getOpenFileName(this, tr("Load SenKey Mapping"), mappingFolder, tr("SenKey Mapping (*.skm)"));
    if (fileName.isEmpty()) {
        return false;
    }
    return loadMappingFrom(fileName);
}

bool SenKey::loadMappingFrom(const QString& fileName)
{
    // Read into a model of its own first, so a file that is not a mapping file costs the user nothing.
    SenMappingModel loaded;
    if (!loadMappingFile(fileName, &loaded)) {
        const QString text =
            QStringLiteral("SenKey Mapping [%1] could not be loaded.").arg(QFileInfo(fileName).fileName());
        qWarning().noquote() << text;
        showStatusMessage(text);
        return false;
    }
    conditionView->clearTable();
    mappingView->clearTable();
    model->clearMappings();
    model->setObjectName(loaded.objectName());
    for (int i = 0; i < loaded.mappingCount(); ++i) {
        model->addMapping(*loaded.mapping(i));
    }
    saved = true;
    updateWindowTitle();
    showStatusMessage(QStringLiteral("SenKey Mapping [%1] loaded.").arg(QFileInfo(fileName).fileName()));
    return true;
}

bool SenKey::saveTo(const QString& name)
{
    // The folder may have been removed since start-up.
    QDir().mkpath(mappingFolder);
    if (!saveMappingFile(mappingFolder + QLatin1Char('/') + name, model)) {
        const QString text = QStringLiteral("SenKey Mapping [%1] could not be saved.").arg(name);
        qWarning().noquote() << text;
        showStatusMessage(text);
        return false;
    }
    saved = true;
    updateWindowTitle();
    showStatusMessage(QStringLiteral("SenKey Mapping [%1] saved.").arg(name));
    return true;
}

bool SenKey::saveMapping()
{
    const QString name = model->objectName();
    if (name.isEmpty()) {
        return saveMappingAs();
    }
    return saveTo(name);
}

bool SenKey::saveMappingAs()
{
    if (saveFileDialog->exec() != QDialog::Accepted) {
        return false;
    }
    // The name becomes the file's name in the mapping folder; a path or nothing at all is not one.
    const QString entered = saveFileUi->lineEdit->text();
    if (entered.trimmed().isEmpty() || entered.contains(QLatin1Char('/'))) {
        showStatusMessage(QStringLiteral("Not a file name: [%1]").arg(entered));
        return false;
    }
    const QString path = mappingFolder + QLatin1Char('/') + filenameToSave;
    model->setObjectName(QFileInfo(path).fileName());
    return saveTo(model->objectName());
}

QString SenKey::mappingFileName(const QString& entered)
{
    const qsizetype at = entered.indexOf(QLatin1String(".skm"));
    if (at != -1 && at + 4 == entered.size()) {
        return entered;
    }
    return entered + QLatin1String(".skm");
}

void SenKey::setFilenameToSave()
{
    filenameToSave = mappingFileName(saveFileUi->lineEdit->text());
}

void SenKey::onModelEdited()
{
    saved = false;
    updateWindowTitle();
}
