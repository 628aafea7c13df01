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
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QThread>
#include <QWindow>

#include <algorithm>

#include "KeepAliveThread.h"
#include "MappingFile.h"
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
    m_engineAddress = QStringLiteral("%1:%2").arg(options.controlPanel.host).arg(options.controlPanel.port);

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
    core->setActiveWindowQuery([this] { return ownWindowHasFocus(); });
    connect(ui->mappingsGroupBox, &QGroupBox::toggled, core, &SenKeyCore::setKeystrokesEnabled);
    connect(core, &SenKeyCore::engineConnected, this, &SenKey::onEngineConnected);
    connect(core, &SenKeyCore::engineDisconnected, this, &SenKey::onEngineDisconnected);
    connect(core, &SenKeyCore::engineCannotBeConnected, this, &SenKey::onEngineCannotBeConnected);
    connect(core, &SenKeyCore::headsetTypeChanged, this, &SenKey::showHeadsetType);
    connect(core, &SenKeyCore::notice, this, &SenKey::showStatusMessage);
    connect(core, &SenKeyCore::headsetConnected, this, &SenKey::onHeadsetConnected);
    connect(core, &SenKeyCore::headsetDisconnected, this, &SenKey::onHeadsetLost);
    connect(this, &SenKey::connectEngine, core->connection(), &KeepAliveThread::onConnectEngine);
    connect(this, &SenKey::reconnectEngine, core->connection(), &KeepAliveThread::onReconnectEngine);

    // Only Quit, a termination signal, or closing without a tray ends the program: a dialog that closes
    // while the main window is in the tray is no reason to.
    QGuiApplication::setQuitOnLastWindowClosed(false);
    // Whatever is still queued or held would land in the window of ours that just took the keyboard.
    connect(qApp, &QGuiApplication::focusWindowChanged, this, [this](QWindow* focused) {
        if (focused != nullptr) {
            core->releaseEverything();
        }
    });

    core->start();

    setupActions();
    m_connectionField = new QLabel(this);
    m_connectionField->setObjectName(QStringLiteral("connectionField"));
    m_connectionField->setAccessibleName(tr("Connection"));
    statusBar()->addPermanentWidget(m_connectionField);
    updateConnectionField();

    // The factory has logged the reason already; the status bar keeps it until the next message.
    if (!platformBackends.fallbackReason.isEmpty()) {
        statusBar()->showMessage(tr("No input can be sent: %1").arg(platformBackends.fallbackReason));
    }
    if (!options.mappingFile.isEmpty()) {
        loadMappingFrom(options.mappingFile);
    }
    // The keyboard starts in the rules' table, where Enter and F2 open a rule's dialogs.
    ui->mappingsTableWidget->setFocus(Qt::OtherFocusReason);
}

SenKey::~SenKey()
{
    hide();
    trayIcon->setVisible(false);
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
    QAction* showAction = trayMenu->addAction(tr("&Show SenKey"));
    showAction->setObjectName(QStringLiteral("trayShowAction"));
    trayMenu->addSeparator();
    trayEnableKeystrokesAction = trayMenu->addAction(tr("&Enable Keystrokes"));
    trayEnableKeystrokesAction->setObjectName(QStringLiteral("trayEnableKeystrokesAction"));
    trayEnableKeystrokesAction->setCheckable(true);
    trayEnableKeystrokesAction->setChecked(true);
    trayMenu->addSeparator();
    QAction* quitAction = trayMenu->addAction(tr("&Quit"));
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
    trayIcon->setToolTip(tr("SenKey - Connecting..."));
    trayIcon->setVisible(true);
    connect(trayIcon.get(), &QSystemTrayIcon::activated, this, &SenKey::iconActivated);
    connect(trayIcon.get(), &QSystemTrayIcon::messageClicked, this, &SenKey::show);
}

void SenKey::setKeystrokesEnabled(bool enabled)
{
    // Re-enabling gives the conditions back only when a rule is selected to show them. The core follows
    // the group box itself, and releases everything when it is unchecked.
    ui->conditionsGroupBox->setEnabled(enabled && mappingView->currentRow() != -1);
}

bool SenKey::ownWindowHasFocus() const
{
    // A window of this process has the keyboard: the main window, any dialog (the file dialogs and
    // message boxes included) or an open menu, the tray's among them.
    // Only a shown window counts: some platforms keep naming a window active after it was hidden.
    const QWindow* focused = QGuiApplication::focusWindow();
    const QWidget* active = QApplication::activeWindow();
    return (focused != nullptr && focused->isVisible()) || QApplication::activePopupWidget() != nullptr ||
           (active != nullptr && active->isVisible());
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
    ui->action_saveMappingAs->setShortcut(QKeySequence(tr("Ctrl+Shift+S")));
    ui->action_Quit->setShortcut(QKeySequence(tr("Ctrl+Q")));
    ui->action_aboutSenKey->setShortcut(QKeySequence(tr("F1")));
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

    // What a pointer's hover and a screen reader tell about each control.
    const struct {
        QWidget* widget;
        QString name;
        QString tip;
    } described[] = {
        {ui->newMappingButton, tr("Add Rule"), tr("Add a new rule at the end of the table (Alt+R)")},
        {ui->removeMappingButton, tr("Delete Rule"), tr("Delete the selected rule (Alt+D)")},
        {ui->newConditionButton, tr("Add Condition"), tr("Add a trigger condition to the selected rule (Alt+N)")},
        {ui->removeConditionButton, tr("Delete Condition"), tr("Delete the selected trigger condition (Alt+I)")},
        {ui->mappingsTableWidget, tr("Rules"),
         tr("One rule per row. Enter or F2 on Key(s) or Target Application opens its dialog; Tab leaves the table")},
        {ui->conditionsTableWidget, tr("Trigger conditions"),
         tr("The conditions of the selected rule, all of which must hold. Enter or F2 opens a condition")},
        {ui->mappingsGroupBox, tr("Enable Keystrokes"), tr("Unchecked, no rule sends anything (Alt+E)")},
        {ui->conditionsGroupBox, tr("Trigger Conditions"), {}},
    };
    for (const auto& [widget, name, tip] : described) {
        widget->setAccessibleName(name);
        if (!tip.isEmpty()) {
            widget->setToolTip(tip);
        }
    }

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
    if (m_quitting) {
        event->accept();
        return;
    }
    if (!trayIconUsable()) {
        // Without a tray the hidden window could never come back, so closing ends the program, and
        // unsaved changes are asked about as for Quit.
        if (!maybeSave()) {
            event->ignore();
            return;
        }
        event->accept();
        quitWithoutAsking();
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
        quitWithoutAsking();
    }
}

void SenKey::quitWithoutAsking()
{
    if (m_quitting) {
        return;
    }
    m_quitting = true;
    core->releaseEverything();
    emit quitRequested();
    // Not quit(): in Qt 6 it first asks every window to close, and this window refuses while a tray
    // can take it. exit() also ends the loop of a dialog or prompt that is open, and no new one opens.
    if (QThread::currentThread()->loopLevel() > 0) {
        QCoreApplication::exit(0);
    }
}

void SenKey::updateWindowTitle()
{
    // A star marks changes that are not saved yet.
    const QString title = QStringLiteral("Velmor Orrin SenKey %1").arg(QLatin1String(kVersionText));
    setWindowTitle(saved ? title : title + QStringLiteral(" *"));
}

void SenKey::showStatusMessage(QString message)
{
    m_errorShown = false;
    statusBar()->showMessage(message, kStatusMessageMs);
}

void SenKey::showStatusError(const QString& message)
{
    qWarning().noquote() << message;
    statusBar()->showMessage(message);
    m_errorShown = true;
}

void SenKey::updateConnectionField()
{
    if (m_connectionField == nullptr) {
        return;
    }
    QString state;
    switch (m_engineState) {
    case EngineState::Connecting:
        state = tr("connecting");
        break;
    case EngineState::Connected:
        state = tr("connected");
        break;
    case EngineState::Disconnected:
        state = tr("not connected");
        break;
    }
    QStringList players;
    QList<int> playerNumbers;
    for (const uint player : m_playersSeen) {
        players << QString::number(player + 1);
        playerNumbers << static_cast<int>(player);
    }
    if (mappingView != nullptr) {
        mappingView->setPlayersWithHeadset(playerNumbers);
    }
    const QString text = tr("%1 %2: %3 | headset %4 | players: %5")
                             .arg(engineDisplayName(), m_engineAddress, state,
                                  m_headsetReported ? core->headsetType() : tr("unknown"),
                                  players.isEmpty() ? tr("none") : players.join(QLatin1String(", ")));
    m_connectionField->setText(text);
    m_connectionField->setAccessibleDescription(text);
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
    m_engineState = EngineState::Connected;
    updateConnectionField();
    trayIcon->setIcon(connectedIcon);
    trayIcon->setToolTip(tr("SenKey - Connected"));
    showTrayMessage(tr("SenKey"), tr("%1 has been connected!").arg(engineDisplayName()), QSystemTrayIcon::Information,
                    3000);
    cannotConnectShown = false;
}

void SenKey::onEngineDisconnected()
{
    m_engineState = EngineState::Disconnected;
    m_playersSeen.clear();
    m_headsetReported = false;
    updateConnectionField();
    trayIcon->setIcon(disconnectedIcon);
    trayIcon->setToolTip(tr("SenKey - Disconnected"));
    showTrayMessage(tr("SenKey"), tr("%1 has been disconnected!").arg(engineDisplayName()),
                    QSystemTrayIcon::Information, 3000);
    // No more states will come to put the lights out; the core has let go of what the rules held.
    mappingView->showIdle();
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

void SenKey::onHeadsetConnected(uint userId)
{
    const uint player = userId & 0xFFFU;
    if (!m_playersSeen.contains(player)) {
        m_playersSeen.append(player);
        std::sort(m_playersSeen.begin(), m_playersSeen.end());
        updateConnectionField();
    }
}

void SenKey::onHeadsetLost(uint userId)
{
    const uint player = userId & 0xFFFU;
    // Its states stop: the core lets go of what its rules hold, the lights must go out here.
    mappingView->showIdle(static_cast<int>(player));
    m_playersSeen.removeAll(player);
    updateConnectionField();
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
    m_engineAddress = QStringLiteral("%1:%2").arg(options.controlPanel.host).arg(options.controlPanel.port);
    m_engineState = EngineState::Connecting;
    updateConnectionField();
    emit connectEngine(options.controlPanel.host, options.controlPanel.port);
}

void SenKey::on_action_connectToSenComposer_triggered()
{
    qDebug() << "Switching to SenComposer...";
    cannotConnectShown = false;
    core->disconnectEngine();
    m_engineAddress = QStringLiteral("%1:%2").arg(options.senComposer.host).arg(options.senComposer.port);
    m_engineState = EngineState::Connecting;
    updateConnectionField();
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
    m_headsetReported = true;
    updateConnectionField();
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
    if (m_quitting) {
        return false;
    }
    if (saved) {
        return true;
    }
    show();
    QMessageBox prompt(QMessageBox::Warning, tr("SenKey"),
                       tr("The current Mapping has been modified.\nDo you want to save your changes?"),
                       QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, this);
    prompt.setObjectName(QStringLiteral("unsavedChangesPrompt"));
    prompt.button(QMessageBox::Save)->setText(tr("&Save"));
    prompt.button(QMessageBox::Discard)->setText(tr("&Discard"));
    prompt.button(QMessageBox::Cancel)->setText(tr("&Cancel"));
    prompt.setDefaultButton(QMessageBox::NoButton);
    prompt.setEscapeButton(QMessageBox::Cancel);
    prompt.exec();
    const auto answer = static_cast<QMessageBox::StandardButton>(prompt.standardButton(prompt.clickedButton()));
    // A termination signal that came while the prompt was open answers it: nothing more happens.
    if (m_quitting) {
        return false;
    }
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
    QString reason;
    if (!loadMappingFile(fileName, &loaded, &reason)) {
        const QString text =
            QStringLiteral("SenKey Mapping [%1] could not be loaded: %2.").arg(QFileInfo(fileName).fileName(), reason);
        qWarning().noquote() << text;
        showStatusError(text);
        return false;
    }
    conditionView->clearTable();
    mappingView->clearTable();
    model->takeMappingsFrom(loaded);
    saved = true;
    updateWindowTitle();
    showStatusMessage(QStringLiteral("SenKey Mapping [%1] loaded.").arg(QFileInfo(fileName).fileName()));
    return true;
}

bool SenKey::saveTo(const QString& name)
{
    // The folder may have been removed since start-up.
    QDir().mkpath(mappingFolder);
    QString reason;
    if (!saveMappingFile(mappingFolder + QLatin1Char('/') + name, model, &reason)) {
        const QString text = QStringLiteral("SenKey Mapping [%1] could not be saved: %2.").arg(name, reason);
        qWarning().noquote() << text;
        showStatusError(text);
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
        showStatusError(QStringLiteral("Not a file name: [%1]").arg(entered));
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
    if (m_errorShown) {
        m_errorShown = false;
        statusBar()->clearMessage();
    }
}
