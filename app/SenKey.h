#pragma once

#include <QCloseEvent>
#include <QIcon>
#include <QMainWindow>
#include <QSystemTrayIcon>

#include <memory>

#include "PlatformFactory.h"
#include "SenKeyOptions.h"
#include "SenStateSnapshot.h"

class PauseControlServer;
class SenKeyCore;
class QAction;
class QDialog;
class QLabel;
class QSpinBox;
class QMenu;
class SenMappingModel;
class SenMappingView;
class SenStateConditionView;

namespace Ui {
class SaveFileDialog;
class SenKeyClass;
} // namespace Ui

/// The main window: owns the mappings being edited, their two tables, the keyboard event simulator,
/// the engine connection and the tray icon. Closing it hides it to the tray; Quit ends the program.
class SenKey : public QMainWindow
{
    Q_OBJECT

public:
    static constexpr const char* kVersionText = "3.5.0";
    static constexpr const char* kBuildText = "f7708ef";

    explicit SenKey(QWidget* parent = nullptr, Qt::WindowFlags flags = {});
    /// As above, with the platform backend, the engine addresses and the start-up file of `options`.
    explicit SenKey(const SenKeyOptions& options, QWidget* parent = nullptr, Qt::WindowFlags flags = {});
    /// Ends the connection first, so no state arrives after the simulator has released everything.
    ~SenKey() override;

    /// The rich text of the About box for a headset type ("ORVA" or "TESSARA").
    static QString aboutText(const QString& headsetType);
    /// The name entered in the file-name dialog with ".skm" ensured.
    static QString mappingFileName(const QString& entered);

    SenMappingModel* mappingModel() const { return model; }
    bool isSaved() const { return saved; }
    QString mappingFolderPath() const { return mappingFolder; }
    QString currentHeadsetType() const;
    QSystemTrayIcon* systemTrayIcon() const { return trayIcon.get(); }
    const Platform& platform() const { return platformBackends; }
    SenKeyCore* senKeyCore() const { return core; }

    /// Asks to save unsaved changes; true when the caller may go on (saved, discarded or nothing to save).
    bool maybeSave();
    /// Replaces the mappings with those of `fileName`. A file that is not a mapping file leaves the
    /// current mappings as they were and is reported in the status bar.
    bool loadMappingFrom(const QString& fileName);
    bool loadMapping();
    bool saveMapping();
    bool saveMappingAs();

signals:
    void connectEngine(const QString& hostAddress, uint hostPort);
    void reconnectEngine();
    /// Every tray balloon as it is shown, also where no tray can show it.
    void trayMessageShown(const QString& title, const QString& message);

public slots:
    void show();
    void closeEvent(QCloseEvent* event) override;
    void iconActivated(QSystemTrayIcon::ActivationReason reason);
    void on_newMappingButton_clicked();
    void on_removeMappingButton_clicked();
    void on_newConditionButton_clicked();
    void on_removeConditionButton_clicked();
    void updateWindowTitle();
    void onEngineConnected();
    void onEngineDisconnected();
    void onEngineCannotBeConnected();
    void onSenStateChanged(uint userID, const SenStateSnapshot& state);
    void on_action_newMapping_triggered();
    void on_action_loadMapping_triggered();
    void on_action_saveMapping_triggered();
    void on_action_saveMappingAs_triggered();
    void on_action_aboutSenKey_triggered();
    void on_action_connectToControlPanel_triggered();
    void on_action_connectToSenComposer_triggered();
    void on_action_reconnectEngine_triggered();
    void getModeApp(QString stringMode);
    void showStatusMessage(QString message);
    void onMappingSelectionChanged(int idx);
    void onConditionSelectionChanged(int idx);
    void onInvalidWindowHandleDetected();
    void onModelEdited();
    void onQuit();

private slots:
    void setFilenameToSave();
    void setKeystrokesEnabled(bool enabled);

private:
    void createTrayIcon();
    /// The pause state and the stale time in the status bar, fed by the core.
    void createSafetyControls();
    void onKeystrokesEnabledChanged(bool enabled);
    /// The tray icon and tool tip for the connection state and whether keystrokes are paused.
    void refreshTray();
    void setupActions();
    void applyHeadsetType(const QString& key);
    void showHeadsetType();
    QString engineDisplayName() const;
    void showTrayMessage(const QString& title, const QString& message, QSystemTrayIcon::MessageIcon icon,
                         int milliseconds);
    /// Whether closing may hide the window: only where a tray icon can bring it back.
    bool trayIconUsable() const;
    bool saveTo(const QString& name);

    SenKeyOptions options;
    QIcon connectedIcon;
    QIcon disconnectedIcon;
    Platform platformBackends;
    SenMappingModel* model = nullptr;
    SenMappingView* mappingView = nullptr;
    SenStateConditionView* conditionView = nullptr;
    std::unique_ptr<Ui::SaveFileDialog> saveFileUi;
    std::unique_ptr<QDialog> saveFileDialog;
    std::unique_ptr<Ui::SenKeyClass> ui;
    std::unique_ptr<QSystemTrayIcon> trayIcon;
    QMenu* trayMenu = nullptr;
    QAction* trayEnableKeystrokesAction = nullptr;
    QLabel* m_pausedLabel = nullptr;
    QSpinBox* m_staleTimeSpinBox = nullptr;
    PauseControlServer* m_pauseControl = nullptr;
    bool m_engineConnected = false;
    QString m_connectionText;
    bool closeHintShown = false;
    bool cannotConnectShown = false;
    SenKeyCore* core = nullptr;
    QString mappingFolder;
    QString filenameToSave;
    bool saved = true;
};
